// SPDX-License-Identifier: MIT
#include "bench_recorder.h"

#include "desktop/resource_view_service_impl.h"

namespace corvan::bench {

BenchRecorder::BenchRecorder(QObject* data, host::ResourceViewServiceImpl* resources)
    : m_data(qobject_cast<DataService*>(data)), m_transactions(qobject_cast<TransactionService*>(data)),
      m_resources(resources)
{
    m_clock.start();
}

std::unique_ptr<RecordSet> BenchRecorder::OpenRecordset(const QString& sql, const QString& database,
                                                        qint32 options)
{
    auto set = m_data->OpenRecordset(sql, database, options);
    m_sent.append({Sent::Kind::Query, sql, {}, now()});
    return set;
}

bool BenchRecorder::ExecuteSql(const QString& database, const QString& sql)
{
    const bool ok = m_data->ExecuteSql(database, sql);
    m_sent.append({Sent::Kind::Command, sql, {}, now()});
    return ok;
}

bool BenchRecorder::BeginTrans(const QString& database)
{
    m_sent.append({Sent::Kind::Begin, {}, {}});
    return m_transactions->BeginTrans(database);
}

bool BenchRecorder::CommitTrans(const QString& database)
{
    m_sent.append({Sent::Kind::Commit, {}, {}});
    return m_rehearsal ? m_transactions->RollbackTrans(database) : m_transactions->CommitTrans(database);
}

bool BenchRecorder::RollbackTrans(const QString& database)
{
    m_sent.append({Sent::Kind::Rollback, {}, {}});
    return m_transactions->RollbackTrans(database);
}

bool BenchRecorder::ShowProperty(const QString& view, const QString& code)
{
    return m_resources->ShowProperty(view, code);
}

bool BenchRecorder::GetResourceData(const QString& view, const QString& code, AttrTable* out, bool withValues,
                                    const QString& keyView, bool withCaptions, QObject** outObject)
{
    const bool found =
        m_resources->GetResourceData(view, code, out, withValues, keyView, withCaptions, outObject);
    m_sent.append({Sent::Kind::Record, m_resources->recordStatement(view), code, now()});
    return found;
}

bool BenchRecorder::GetFieldCaptions(const QString& view, QStringList* fields, QStringList* captions)
{
    return m_resources->GetFieldCaptions(view, fields, captions);
}

int BenchRecorder::statements() const
{
    int count = 0;
    for (const Sent& s : m_sent)
        count += s.kind == Sent::Kind::Query || s.kind == Sent::Kind::Command || s.kind == Sent::Kind::Record;
    return count;
}

} // namespace corvan::bench
