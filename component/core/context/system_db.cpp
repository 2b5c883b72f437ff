// SPDX-License-Identifier: MIT
#include "core/context/system_db.h"

#include "core/context/mdl_pub_var.h"

namespace corvan {

namespace {
const QString Database = QLatin1String(SystemDatabase);
} // namespace

std::unique_ptr<RecordSet> SystemDb::open(const QString& sql) const
{
    DataService* data = m_context.DataService();
    if (!data || sql.isEmpty())
        return nullptr;
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
    DataService* data = m_context.DataService();
    return data && data->ExecuteSql(Database, sql);
}

bool SystemDb::hasTransactions() const
{
    return m_context.TransactionService() != nullptr;
}

bool SystemDb::begin() const
{
    TransactionService* transactions = m_context.TransactionService();
    return transactions && transactions->BeginTrans(Database);
}

bool SystemDb::commit() const
{
    TransactionService* transactions = m_context.TransactionService();
    return transactions && transactions->CommitTrans(Database);
}

bool SystemDb::rollback() const
{
    TransactionService* transactions = m_context.TransactionService();
    return transactions && transactions->RollbackTrans(Database);
}

QString SystemDb::lastError() const
{
    DataService* data = m_context.DataService();
    return data ? data->LastError() : QStringLiteral("the host offers no data service");
}

bool SystemDb::lastErrorIsBusy() const
{
    DataService* data = m_context.DataService();
    return data && data->LastErrorIsBusy();
}

} // namespace corvan
