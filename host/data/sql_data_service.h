// SPDX-License-Identifier: MIT
#pragma once

#include "corvan/services.h"
#include "data/connection_keeper.h"
#include "data/database_location.h"
#include "data/schema.h"
#include "data/sql_trace.h"
#include "data/sqlite_writes.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <memory>

struct sqlite3;
struct pg_conn;

namespace corvan::host {

// The host's data service over Qt SQL: one connection, reached by the component under
// the name "systemDB". Record sets are read whole into memory, so the component can
// walk them after the statement is gone and no read lock outlives the call. They are read
// through the engine's own interface on the same connection (SqliteRows, PgRows): the cells
// stay in the engine's compact form until the component reads them. A connection that
// breaks (a server restart, a failover, a database file that went away) is made again on
// the next call, as ConnectionService describes. On SQLite the writes go that way too
// (SqliteWrites).
class SqlDataService : public QObject,
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
    explicit SqlDataService(QObject* parent = nullptr);
    ~SqlDataService() override;

    // Opens the connection; a previous one is closed first. On SQLite the dialect
    // functions and pragmas are installed before any statement can run.
    bool open(const DatabaseLocation& location, QString* error);
    bool open(const QString& location, QString* error);
    void close();
    bool isOpen() const;

    // The connection itself, for the host's own queries (context, rights, demo data),
    // which must not show up in the trace.
    QSqlDatabase database() const;
    Engine engine() const { return m_location.engine(); }
    DatabaseLocation location() const { return m_location; }

    // Appends one line per call to the file; an empty path stops tracing.
    bool setTraceFile(const QString& path, QString* error = nullptr);

    std::unique_ptr<RecordSet> OpenRecordset(const QString& sql, const QString& database,
                                             qint32 options = 0) override;
    bool ExecuteSql(const QString& database, const QString& sql) override;
    QString LastError() const override { return m_lastError; }
    bool LastErrorIsBusy() const override { return m_lastErrorBusy; }
    // Rows the last ExecuteSql changed: 0 for a statement that changes none by its nature
    // (a table made), -1 after a failure.
    qint64 RowsAffected() const override { return m_rowsAffected; }

    // How long a writer waits for another one's transaction before its own fails as busy.
    bool setLockWait(int milliseconds, QString* error = nullptr);
    int lockWait() const { return m_lockWait; }
    // How long a transaction of this host may sit idle on a server before the server ends the
    // session, and with it the transaction and its locks: a desk that hangs or dies in the middle
    // of a commit frees what it holds within seconds (PostgreSQL; 0: never). Takes effect on the
    // open connection and on every new one.
    bool setIdleTransactionLimit(int milliseconds, QString* error = nullptr);
    int idleTransactionLimit() const { return m_idleLimit; }

    // Reads that report what was written may go to a standby server of the same database: one
    // that is still in recovery, no more than maxDelay milliseconds behind its primary, and that
    // has replayed every commit of this service. Otherwise, inside a transaction, or when the
    // standby fails, they go where OpenRecordset goes. An empty location stops using one.
    bool setReadDatabase(const QString& location, int maxDelay, QString* error = nullptr);
    std::unique_ptr<RecordSet> OpenReportRecordset(const QString& sql, const QString& database) override;
    // Whether the last report read was answered by the standby.
    bool lastReportFromStandby() const { return m_lastReportFromStandby; }
    static constexpr int DefaultReadDelay = 5000;

    // On PostgreSQL with the cities' locks (schema 5), a transaction takes the writers' lock in
    // a mode its peers share and then the rows of the cities it writes, sorted; a city the
    // role may not relocate in cannot be locked. Elsewhere every transaction holds the whole
    // database (SQLite's file lock, or the writers' lock whole), and this has nothing to add.
    bool LockCities(const QStringList& cityIds) override;
    // Takes the writers' lock whole, as before the cities' locks, for a comparison of the two.
    void setProvinceLock(bool whole) { m_provinceLock = whole; }
    // Whether transactions lock cities (PostgreSQL, schema 5, not set to the province's lock).
    bool locksCities() const { return m_cityLocks && !m_provinceLock; }
    bool LocksByCity() const override { return locksCities(); }

    // CommitOutcomeService
    bool LastCommitNotSent() const override { return m_commitNotSent; }
    // BoundWriteService
    bool ExecuteBound(const QString& database, const QString& sql, const QStringList& values) override;
    // Begins the text of a city lock the role may not take.
    static const QString NoCityLock;

    bool BeginTrans(const QString& database) override;
    bool CommitTrans(const QString& database) override;
    bool RollbackTrans(const QString& database) override;
    bool inTransaction() const { return m_inTransaction; }

    bool LastErrorIsConnectionLost() const override;
    State ConnectionState() const override { return m_keeper.state(); }
    QString ServerName() const override { return m_keeper.server(); }
    // Why the last call failed, in the host's own terms.
    FailureKind lastFailure() const { return m_lastFailure; }
    // The waits before each try of a reconnect, in milliseconds.
    void setReconnectSchedule(const QList<int>& waits) { m_keeper.setSchedule(waits); }
    // For the host's own queries, which do not pass through the calls above: when the
    // connection was found broken and no transaction is open, makes it again. True when a
    // new connection is up, so that the query may run again.
    bool recoverConnection();

    // The PostgreSQL table every transaction of this host locks first (in exclusive mode,
    // which readers do not block and only a role that may write the table can take).
    static constexpr const char* WriterLockTable = "corvan_writer_lock";
    static constexpr int DefaultLockWait = 10000;
    static constexpr int DefaultIdleTransactionLimit = 15000;
    // Begins the busy failure's text: who holds the writers' lock and since when, as the server
    // tells it to any role.
    static const QString HeldBy;

signals:
    void connectionChanged() override;
    // A new connection replaced a broken one: whatever was prepared on the old one is gone.
    void reconnected();
    // The tries of connecting anew begin (true) and end (false): the user waits meanwhile.
    void reconnecting(bool active);

private:
    // Clears the last error, or sets it and returns false when the call cannot go on.
    bool checkTarget(const QString& database);
    // Before a call: a connection found broken is made again when no transaction of it is
    // open; false, with the reason kept, when the call cannot run.
    bool ready();
    void noticeMovedFile();
    static QString connectOptions(const DatabaseLocation& location, bool again);
    // Connects the configured connection, on open and again after a break.
    bool connectNow(QString* failure);
    // The tries of connecting again; false, with the reason kept, when none succeeded.
    bool reconnect();
    // A failure just kept was a broken connection: no call may use it any more.
    bool isLost() const;
    bool beginNow();
    void tellHolders(const QString& sql);
    QString serverStatement(const QString& sql) const;
    // Whether the standby may answer a report read now; asked of the server once a second at most.
    bool standbyFresh();
    std::unique_ptr<RecordSet> readRows(const QString& sql, QSqlError* failure);
    // ExecuteSql, and ExecuteBound with its values.
    bool write(const QString& database, const QString& sql, const QStringList* values);
    bool finishTransaction(SqlTrace::Call call, const QString& database);
    // Keeps the driver's account of a failure and what kind of failure it was; a broken
    // connection is noticed here.
    void setError(const QSqlError& error);
    // The server the connection reaches now, and the ones a reconnect tries.
    QString connectedServer() const;
    QString configuredServers() const;

    QString m_connectionName;
    DatabaseLocation m_location;
    // The open connection's engine handle, which record sets are read through.
    sqlite3* m_sqlite = nullptr;
    pg_conn* m_pg = nullptr;
    SqliteWrites m_sqliteWrites;
    QString m_lastError;
    bool m_lastErrorBusy = false;
    FailureKind m_lastFailure = FailureKind::Other;
    ConnectionKeeper m_keeper;
    // The connection broke while a transaction was open: it is gone, and so is the connection.
    bool m_transactionLost = false;
    // The last commit failed before it was sent: nothing of its transaction was written.
    bool m_commitNotSent = false;
    qint64 m_rowsAffected = -1;
    int m_lockWait = DefaultLockWait;
    int m_idleLimit = DefaultIdleTransactionLimit;
    bool m_cityLocks = false;
    bool m_provinceLock = false;
    std::unique_ptr<SqlDataService> m_standby;
    int m_readDelay = DefaultReadDelay;
    // Where the primary's log stood after this service's last commit: a standby that has not
    // replayed that far would not show the user what they just did.
    QString m_committedLsn;
    QElapsedTimer m_standbyAsked;
    // Since the standby last could not be reached: it is tried again after a while, not on
    // every read, each of which would wait for its connection to time out.
    QElapsedTimer m_standbyDown;
    QString m_standbyAskedLsn;
    bool m_standbyFresh = false;
    bool m_lastReportFromStandby = false;
    bool m_inTransaction = false;
    SqlTrace m_trace;
};

} // namespace corvan::host
