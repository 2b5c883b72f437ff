// SPDX-License-Identifier: MIT
#include "recording_data_service.h"

#include "core/context/sql_literal.h"
#include "data/sql_trace.h"

namespace corvan::test {

RecordingDataService::RecordingDataService(QObject* real, QObject* parent)
    : QObject(parent), m_realObject(real), m_real(qobject_cast<DataService*>(real)),
      m_transactions(qobject_cast<TransactionService*>(real)), m_counts(qobject_cast<RowCountService*>(real)),
      m_connection(qobject_cast<ConnectionService*>(real)),
      m_standby(qobject_cast<StandbyReadService*>(real)), m_cityLocks(qobject_cast<CityLockService*>(real)),
      m_commits(qobject_cast<CommitOutcomeService*>(real)), m_bound(qobject_cast<BoundWriteService*>(real))
{
    Q_ASSERT_X(m_real, "RecordingDataService", "the wrapped object offers no DataService");
    if (m_connection)
        connect(real, SIGNAL(connectionChanged()), this, SIGNAL(connectionChanged()));
}

void RecordingDataService::before(const QString& call)
{
    m_calls.append(call);
    m_lastLost = false;
    if (m_beforeCall)
        m_beforeCall(call);
}

bool RecordingDataService::LastErrorIsConnectionLost() const
{
    if (m_lastLost)
        return true;
    return !m_lastSimulated && m_realObject && m_connection && m_connection->LastErrorIsConnectionLost();
}

ConnectionService::State RecordingDataService::ConnectionState() const
{
    return m_realObject && m_connection ? m_connection->ConnectionState() : State::Connected;
}

QString RecordingDataService::ServerName() const
{
    return m_realObject && m_connection ? m_connection->ServerName() : QString();
}

std::unique_ptr<RecordSet> RecordingDataService::OpenReportRecordset(const QString& sql,
                                                                     const QString& database)
{
    m_statements.append(sql);
    m_reports.append(sql);
    before(QStringLiteral("OPEN ") + sql);
    if (simulateFailure(sql))
        return nullptr;
    return m_realObject && m_standby ? m_standby->OpenReportRecordset(sql, database)
                                     : m_real->OpenRecordset(sql, database, 0);
}

void RecordingDataService::clear()
{
    m_statements.clear();
    m_calls.clear();
}

void RecordingDataService::failWhen(std::function<bool(const QString& sql)> predicate)
{
    m_failWhen = std::move(predicate);
}

bool RecordingDataService::simulateFailure(const QString& sql)
{
    if (!m_realObject || !m_real) {
        m_lastSimulated = true;
        m_ownError = QStringLiteral("the wrapped object is gone or offers no data service");
        return true;
    }
    m_lastSimulated = m_failWhen && m_failWhen(sql);
    m_ownError = m_lastSimulated ? simulatedError() : QString();
    return m_lastSimulated;
}

std::unique_ptr<RecordSet> RecordingDataService::OpenRecordset(const QString& sql, const QString& database,
                                                               qint32 options)
{
    m_statements.append(sql);
    before(QStringLiteral("OPEN ") + sql);
    if (simulateFailure(sql))
        return nullptr;
    return m_real->OpenRecordset(sql, database, options);
}

bool RecordingDataService::ExecuteSql(const QString& database, const QString& sql)
{
    m_statements.append(sql);
    before(QStringLiteral("EXEC ") + sql);
    if (simulateFailure(sql))
        return false;
    return m_real->ExecuteSql(database, sql);
}

bool RecordingDataService::ExecuteBound(const QString& database, const QString& sql,
                                        const QStringList& values)
{
    const QString shown = host::SqlTrace::bound(sql, values);
    m_statements.append(shown);
    before(QStringLiteral("EXEC ") + shown);
    if (simulateFailure(shown))
        return false;
    return m_bound ? m_bound->ExecuteBound(database, sql, values)
                   : m_real->ExecuteSql(database, sqlWithValues(sql, values));
}

qint64 RecordingDataService::RowsAffected() const
{
    return m_lastSimulated || !m_realObject || !m_counts ? -1 : m_counts->RowsAffected();
}

QString RecordingDataService::LastError() const
{
    if (m_lastSimulated)
        return m_ownError;
    return m_real->LastError();
}

bool RecordingDataService::transactionsOffered()
{
    const bool offered = m_realObject && m_transactions;
    m_lastSimulated = !offered;
    m_ownError = offered ? QString() : QStringLiteral("the wrapped data service has no transactions");
    return offered;
}

bool RecordingDataService::BeginTrans(const QString& database)
{
    before(QStringLiteral("BEGIN"));
    return transactionsOffered() && m_transactions->BeginTrans(database);
}

bool RecordingDataService::LockCities(const QStringList& cityIds)
{
    m_lockedCities << cityIds.join(QLatin1Char(','));
    return !m_realObject || !m_cityLocks || m_cityLocks->LockCities(cityIds);
}

bool RecordingDataService::CommitTrans(const QString& database)
{
    before(QStringLiteral("COMMIT"));
    const bool committed = transactionsOffered() && m_transactions->CommitTrans(database);
    if (!committed || !m_loseCommitAnswer)
        return committed;
    m_loseCommitAnswer = false;
    m_lastSimulated = true;
    m_lastLost = true;
    m_ownError = QStringLiteral("simulated: the connection broke while the commit's answer was on its way");
    return false;
}

bool RecordingDataService::RollbackTrans(const QString& database)
{
    before(QStringLiteral("ROLLBACK"));
    return transactionsOffered() && m_transactions->RollbackTrans(database);
}

} // namespace corvan::test
