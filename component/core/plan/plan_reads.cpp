// SPDX-License-Identifier: MIT
#include "core/plan/plan_reads.h"

#include "core/context/sql_literal.h"

#include <QRegularExpression>

namespace corvan {

PlanReads::PlanReads(QObject* data, QObject* parent) : QObject(parent), m_data(data) {}

bool PlanReads::keepable(const QString& sql)
{
    // A name a relocation writes, or reads through a view of what it writes.
    static const QRegularExpression Written(
        QStringLiteral("\\b(res_\\w+|v_res_\\w+|h_btsdispatch|corvan_journal|corvan_plan)\\b"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression Query(QStringLiteral("^\\s*select\\b"),
                                          QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression Locking(QStringLiteral("\\bfor\\s+(update|share)\\b"),
                                            QRegularExpression::CaseInsensitiveOption);
    // Names inside quotes are texts compared with, not tables read: the field rules of
    // res_gbts are read from tabledictionarynew where tablename='res_gbts'.
    static const QRegularExpression Quoted(QStringLiteral("'(?:[^']|'')*'"));
    const QString names = QString(sql).replace(Quoted, QStringLiteral("''"));
    return Query.match(names).hasMatch() && !Written.match(names).hasMatch() &&
           !Locking.match(names).hasMatch();
}

std::unique_ptr<RecordSet> PlanReads::OpenRecordset(const QString& sql, const QString& database,
                                                    qint32 options)
{
    auto* data = qobject_cast<DataService*>(m_data);
    if (!data)
        return nullptr;
    const bool keep = keepable(sql);
    const QString key = database + QLatin1Char('\n') + sql;
    if (keep) {
        const auto kept = m_kept.constFind(key);
        if (kept != m_kept.cend())
            return std::make_unique<RecordSet>(*kept);
    }
    ++m_sent;
    auto rows = data->OpenRecordset(sql, database, options);
    if (rows && keep)
        m_kept.insert(key, *rows);
    return rows;
}

bool PlanReads::ExecuteSql(const QString& database, const QString& sql)
{
    auto* data = qobject_cast<DataService*>(m_data);
    ++m_sent;
    return data && data->ExecuteSql(database, sql);
}

bool PlanReads::ExecuteBound(const QString& database, const QString& sql, const QStringList& values)
{
    if (auto* bound = qobject_cast<BoundWriteService*>(m_data)) {
        ++m_sent;
        return bound->ExecuteBound(database, sql, values);
    }
    return ExecuteSql(database, sqlWithValues(sql, values));
}

QString PlanReads::LastError() const
{
    auto* data = qobject_cast<DataService*>(m_data);
    return data ? data->LastError() : QStringLiteral("the host offers no data service");
}

bool PlanReads::LastErrorIsBusy() const
{
    auto* data = qobject_cast<DataService*>(m_data);
    return data && data->LastErrorIsBusy();
}

bool PlanReads::BeginTrans(const QString& database)
{
    auto* transactions = qobject_cast<TransactionService*>(m_data);
    return transactions && transactions->BeginTrans(database);
}

bool PlanReads::CommitTrans(const QString& database)
{
    auto* transactions = qobject_cast<TransactionService*>(m_data);
    return transactions && transactions->CommitTrans(database);
}

bool PlanReads::RollbackTrans(const QString& database)
{
    auto* transactions = qobject_cast<TransactionService*>(m_data);
    return transactions && transactions->RollbackTrans(database);
}

bool PlanReads::LockCities(const QStringList& cityIds)
{
    auto* locks = qobject_cast<CityLockService*>(m_data);
    return !locks || locks->LockCities(cityIds);
}

bool PlanReads::LocksByCity() const
{
    auto* locks = qobject_cast<CityLockService*>(m_data);
    return locks && locks->LocksByCity();
}

qint64 PlanReads::RowsAffected() const
{
    auto* counts = qobject_cast<RowCountService*>(m_data);
    return counts ? counts->RowsAffected() : -1;
}

} // namespace corvan
