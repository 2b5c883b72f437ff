// SPDX-License-Identifier: MIT
#include "bench_recorder.h"

#include "desktop/resource_view_service_impl.h"

#include <QHash>
#include <QRegularExpression>
#include <QStringList>

namespace corvan::bench {

BenchRecorder::BenchRecorder(QObject* data, host::ResourceViewServiceImpl* resources)
    : m_data(qobject_cast<DataService*>(data)), m_transactions(qobject_cast<TransactionService*>(data)),
      m_counts(qobject_cast<RowCountService*>(data)), m_bound(qobject_cast<BoundWriteService*>(data)),
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

bool BenchRecorder::ExecuteBound(const QString& database, const QString& sql, const QStringList& values)
{
    // The benchmark stands in front of the host's own service, which binds.
    const bool ok = m_bound && m_bound->ExecuteBound(database, sql, values);
    m_sent.append({Sent::Kind::Command, sql, values, now()});
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
    m_sent.append({Sent::Kind::Record, m_resources->recordStatement(view), {code}, now()});
    return found;
}

bool BenchRecorder::GetFieldCaptions(const QString& view, QStringList* fields, QStringList* captions)
{
    return m_resources->GetFieldCaptions(view, fields, captions);
}

int BenchRecorder::statements(const QVector<Sent>& sent)
{
    int count = 0;
    for (const Sent& s : sent)
        count += s.kind == Sent::Kind::Query || s.kind == Sent::Kind::Command || s.kind == Sent::Kind::Record;
    return count;
}

QString BenchRecorder::shapes(const QVector<Sent>& sent)
{
    // Quoted texts and bare numbers are the values; what is left is the statement's kind.
    static const QRegularExpression literal(QStringLiteral("'(?:[^']|'')*'"));
    static const QRegularExpression number(QStringLiteral("\\b[0-9]+(?:\\.[0-9]+)?\\b"));
    static const QRegularExpression list(QStringLiteral("'…'(?:\\s*,\\s*'…')+"));
    static const QRegularExpression rows(QStringLiteral("\\([^()]*\\)(?:\\s*,\\s*\\([^()]*\\))+"));
    constexpr qsizetype Longest = 110;
    QStringList order;
    QHash<QString, int> counts;
    for (const Sent& s : sent) {
        if (s.kind != Sent::Kind::Query && s.kind != Sent::Kind::Command && s.kind != Sent::Kind::Record)
            continue;
        QString shape = s.sql.simplified();
        shape.replace(literal, QStringLiteral("'…'")).replace(number, QStringLiteral("…"));
        shape.replace(list, QStringLiteral("'…',…")).replace(rows, QStringLiteral("(…),…"));
        if (shape.size() > Longest)
            shape = shape.left(Longest - 1) + QStringLiteral("…");
        if (!counts.contains(shape))
            order << shape;
        ++counts[shape];
    }
    QStringList out;
    for (const QString& shape : order)
        out << QStringLiteral("%1× %2").arg(counts.value(shape)).arg(shape);
    return out.join(QStringLiteral(" | "));
}

} // namespace corvan::bench
