// SPDX-License-Identifier: MIT
#include "core/context/system_db.h"

#include "core/context/mdl_pub_var.h"
#include "core/context/sql_literal.h"

namespace corvan {

namespace {
const QString Database = QLatin1String(SystemDatabase);
} // namespace

std::unique_ptr<RecordSet> SystemDb::open(const QString& sql) const
{
    m_ownError.clear();
    DataService* data = m_context.DataService();
    if (!data || sql.isEmpty())
        return nullptr;
    if (m_reportReads > 0 && !m_inTransaction)
        if (corvan::StandbyReadService* standby = m_context.StandbyReadService())
            return standby->OpenReportRecordset(sql, Database);
    return data->OpenRecordset(sql, Database, 0);
}

std::optional<QString> SystemDb::firstText(const QString& sql) const
{
    auto rs = open(sql);
    if (!rs || rs->RecordCount() <= 0)
        return std::nullopt;
    rs->MoveFirst();
    return rs->Text(0);
}

bool SystemDb::execute(const QString& sql) const
{
    m_ownError.clear();
    DataService* data = m_context.DataService();
    return data && data->ExecuteSql(Database, sql);
}

bool SystemDb::execute(const QString& sql, qint64 expectedRows) const
{
    return execute(sql, {}, expectedRows);
}

bool SystemDb::execute(const QString& sql, const QStringList& values, qint64 expectedRows) const
{
    corvan::BoundWriteService* bound = values.isEmpty() ? nullptr : m_context.BoundWriteService();
    m_ownError.clear();
    if (bound ? !bound->ExecuteBound(Database, sql, values)
              : !execute(values.isEmpty() ? sql : sqlWithValues(sql, values)))
        return false;
    const corvan::RowCountService* counts = m_context.RowCountService();
    const qint64 changed = counts ? counts->RowsAffected() : -1;
    if (changed < 0 || changed == expectedRows)
        return true;
    m_ownError = rowCountError(expectedRows, changed);
    m_ownBusy = false;
    return false;
}

QString SystemDb::rowCountError(qint64 expected, qint64 changed)
{
    return QStringLiteral("语句应修改 %1 行数据，实际修改了 %2 行：数据已被其他用户改变。")
        .arg(expected)
        .arg(changed);
}

bool SystemDb::hasTransactions() const
{
    return m_context.TransactionService() != nullptr;
}

bool SystemDb::locksByCity() const
{
    const corvan::CityLockService* locks = m_context.CityLockService();
    return locks && locks->LocksByCity();
}

bool SystemDb::begin(const QStringList& cities) const
{
    m_ownError.clear();
    TransactionService* transactions = m_context.TransactionService();
    m_inTransaction = transactions && transactions->BeginTrans(Database);
    corvan::CityLockService* locks = m_context.CityLockService();
    if (!m_inTransaction || !locks || locks->LockCities(cities))
        return m_inTransaction;
    // A connection lost on the way is told as such by the host, the transaction gone with it.
    if (lastErrorIsConnectionLost()) {
        transactions->RollbackTrans(Database);
        m_inTransaction = false;
        return false;
    }
    // Why the lock could not be had is what the user is told, not the rollback's answer.
    const QString reason = lastError();
    const bool busy = lastErrorIsBusy();
    transactions->RollbackTrans(Database);
    m_inTransaction = false;
    m_ownError = reason.isEmpty() ? QStringLiteral("locking the cities failed") : reason;
    m_ownBusy = busy;
    return false;
}

bool SystemDb::commit() const
{
    m_ownError.clear();
    TransactionService* transactions = m_context.TransactionService();
    m_inTransaction = false;
    return transactions && transactions->CommitTrans(Database);
}

bool SystemDb::rollback() const
{
    m_ownError.clear();
    TransactionService* transactions = m_context.TransactionService();
    m_inTransaction = false;
    return transactions && transactions->RollbackTrans(Database);
}

QString SystemDb::lastError() const
{
    if (!m_ownError.isEmpty())
        return m_ownError;
    DataService* data = m_context.DataService();
    return data ? data->LastError() : QStringLiteral("the host offers no data service");
}

bool SystemDb::lastErrorIsBusy() const
{
    if (!m_ownError.isEmpty())
        return m_ownBusy;
    DataService* data = m_context.DataService();
    return data && data->LastErrorIsBusy();
}

bool SystemDb::lastCommitNotSent() const
{
    const corvan::CommitOutcomeService* commits = m_context.CommitOutcomeService();
    return commits && commits->LastCommitNotSent();
}

bool SystemDb::lastErrorIsConnectionLost() const
{
    if (!m_ownError.isEmpty())
        return false;
    const corvan::ConnectionService* connection = m_context.ConnectionService();
    return connection && connection->LastErrorIsConnectionLost();
}

} // namespace corvan
