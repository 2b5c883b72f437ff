// SPDX-License-Identifier: MIT
#pragma once

#include "corvan/services.h"
#include "data/database_location.h"
#include "data/schema.h"
#include "data/sql_trace.h"

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
// stay in the engine's compact form until the component reads them.
class SqlDataService : public QObject, public DataService, public TransactionService, public RowCountService {
    Q_OBJECT
    Q_INTERFACES(corvan::DataService corvan::TransactionService corvan::RowCountService)

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

    bool BeginTrans(const QString& database) override;
    bool CommitTrans(const QString& database) override;
    bool RollbackTrans(const QString& database) override;
    bool inTransaction() const { return m_inTransaction; }

    // The PostgreSQL table every transaction of this host locks first (in exclusive mode,
    // which readers do not block and only a role that may write the table can take).
    static constexpr const char* WriterLockTable = "corvan_writer_lock";
    static constexpr int DefaultLockWait = 10000;

private:
    // Clears the last error, or sets it and returns false when the call cannot go on.
    bool checkTarget(const QString& database);
    bool finishTransaction(SqlTrace::Call call, const QString& database);
    // Keeps the driver's account of a failure, and whether it was a lock held by another.
    void setError(const QSqlError& error);

    QString m_connectionName;
    DatabaseLocation m_location;
    // The open connection's engine handle, which record sets are read through.
    sqlite3* m_sqlite = nullptr;
    pg_conn* m_pg = nullptr;
    QString m_lastError;
    bool m_lastErrorBusy = false;
    qint64 m_rowsAffected = -1;
    int m_lockWait = DefaultLockWait;
    bool m_inTransaction = false;
    SqlTrace m_trace;
};

} // namespace corvan::host
