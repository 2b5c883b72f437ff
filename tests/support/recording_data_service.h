// SPDX-License-Identifier: MIT
#pragma once

#include "corvan/services.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace corvan::test {

// Stands between the component and a real data service: records every statement sent,
// in order, and can make chosen statements fail without them reaching the database.
class RecordingDataService : public QObject,
                             public DataService,
                             public TransactionService,
                             public RowCountService,
                             public ConnectionService,
                             public StandbyReadService,
                             public CityLockService,
                             public CommitOutcomeService,
                             public BoundWriteService {
    Q_OBJECT
    Q_INTERFACES(corvan::DataService corvan::TransactionService corvan::RowCountService
                     corvan::ConnectionService corvan::StandbyReadService corvan::CityLockService
                         corvan::CommitOutcomeService corvan::BoundWriteService)

public:
    // real must offer DataService; its TransactionService is used when it offers one.
    explicit RecordingDataService(QObject* real, QObject* parent = nullptr);

    // The SQL texts of OpenRecordset and ExecuteSql calls, in order, failed ones included.
    QStringList statements() const { return m_statements; }
    // Every call in order: "OPEN <sql>", "EXEC <sql>", "BEGIN", "COMMIT", "ROLLBACK".
    QStringList calls() const { return m_calls; }
    void clear();

    // Statements for which the predicate holds fail without reaching the database;
    // LastError() then says so. An empty predicate lets everything through again.
    void failWhen(std::function<bool(const QString& sql)> predicate);
    static QString simulatedError() { return QStringLiteral("simulated failure"); }
    // Called with each call as calls() records it, before it reaches the database: a test
    // restarts the server there, or moves the database file away.
    void beforeCall(std::function<void(const QString& call)> hook) { m_beforeCall = std::move(hook); }
    // The next commit reaches the database and is committed there, but is reported as
    // failed with a broken connection, as when the connection breaks while the answer is on
    // its way.
    void loseNextCommitsAnswer() { m_loseCommitAnswer = true; }
    // The queries that were sent as reports (the history's), which a host may answer from a
    // standby; statements() and calls() hold them as any other query.
    QStringList reportStatements() const { return m_reports; }

    std::unique_ptr<RecordSet> OpenRecordset(const QString& sql, const QString& database,
                                             qint32 options = 0) override;
    bool ExecuteSql(const QString& database, const QString& sql) override;
    // Kept as the host's trace shows it ("<sql> -- 'value',null"); passed on bound where the
    // real service binds, else with the values written into the statement.
    bool ExecuteBound(const QString& database, const QString& sql, const QStringList& values) override;
    QString LastError() const override;
    bool LastErrorIsBusy() const override { return !m_lastSimulated && m_real->LastErrorIsBusy(); }

    // The real service's count, -1 when it cannot tell or the last statement never reached it.
    qint64 RowsAffected() const override;

    bool LastErrorIsConnectionLost() const override;
    State ConnectionState() const override;
    QString ServerName() const override;
    std::unique_ptr<RecordSet> OpenReportRecordset(const QString& sql, const QString& database) override;

    bool BeginTrans(const QString& database) override;
    bool CommitTrans(const QString& database) override;
    bool RollbackTrans(const QString& database) override;
    // Passed on to the real service when it locks cities; each call's cities are kept, joined by
    // commas, apart from the calls (a lock is no statement of the component's).
    bool LockCities(const QStringList& cityIds) override;
    QStringList lockedCities() const { return m_lockedCities; }
    bool LocksByCity() const override { return m_realObject && m_cityLocks && m_cityLocks->LocksByCity(); }
    // What the real service says; a simulated failure or lost answer says nothing of it.
    bool LastCommitNotSent() const override
    {
        return !m_lastSimulated && m_realObject && m_commits && m_commits->LastCommitNotSent();
    }

signals:
    void connectionChanged() override;

private:
    bool simulateFailure(const QString& sql);
    void before(const QString& call);
    bool transactionsOffered();

    QPointer<QObject> m_realObject;
    DataService* m_real = nullptr;
    TransactionService* m_transactions = nullptr;
    RowCountService* m_counts = nullptr;
    ConnectionService* m_connection = nullptr;
    StandbyReadService* m_standby = nullptr;
    CityLockService* m_cityLocks = nullptr;
    CommitOutcomeService* m_commits = nullptr;
    BoundWriteService* m_bound = nullptr;
    QStringList m_lockedCities;
    std::function<void(const QString&)> m_beforeCall;
    bool m_loseCommitAnswer = false;
    bool m_lastLost = false;
    QStringList m_reports;
    std::function<bool(const QString&)> m_failWhen;
    QStringList m_statements;
    QStringList m_calls;
    bool m_lastSimulated = false;
    QString m_ownError;
};

} // namespace corvan::test
