// SPDX-License-Identifier: MIT
#include "data/sql_data_service.h"

#include "data/pg_rows.h"
#include "data/sqlite_dialect.h"
#include "data/sqlite_rows.h"

#include <sqlite3.h>

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVector>
#include <algorithm>
#include <atomic>

namespace corvan::host {

namespace {

QString nextConnectionName()
{
    static std::atomic<int> counter{0};
    return QStringLiteral("corvan-data-%1").arg(++counter);
}

bool fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

// The engine's own handle of an open Qt connection, when the driver hands out that type.
// A type may be named by its typedef or by the struct behind it.
template <class Handle>
Handle* driverHandle(const QSqlDatabase& db, const char* typeName, const char* structName)
{
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    if (!handle.isValid() ||
        (qstrcmp(handle.typeName(), typeName) != 0 && qstrcmp(handle.typeName(), structName) != 0))
        return nullptr;
    return *static_cast<Handle* const*>(handle.constData());
}

} // namespace

SqlDataService::SqlDataService(QObject* parent) : QObject(parent), m_connectionName(nextConnectionName()) {}

SqlDataService::~SqlDataService()
{
    close();
}

bool SqlDataService::open(const QString& location, QString* error)
{
    DatabaseLocation parsed;
    if (!DatabaseLocation::parse(location, &parsed, error))
        return false;
    return open(parsed, error);
}

bool SqlDataService::open(const DatabaseLocation& location, QString* error)
{
    close();
    const bool sqlite = location.isSqlite();
    const QString driver = sqlite ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL");
    if (!QSqlDatabase::isDriverAvailable(driver))
        return fail(error, QStringLiteral("the Qt SQL driver %1 is not installed").arg(driver));

    QString failure;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(driver, m_connectionName);
        if (sqlite) {
            db.setDatabaseName(location.filePath());
        } else {
            db.setHostName(location.hostName());
            db.setPort(location.port());
            db.setUserName(location.userName());
            db.setPassword(location.password());
            db.setDatabaseName(location.databaseName());
            // The URL's parameters go to libpq as they are; a server that does not answer is
            // given up after ten seconds unless the URL says otherwise.
            QStringList options;
            const auto parameters = location.parameters();
            if (std::none_of(parameters.cbegin(), parameters.cend(),
                             [](const auto& p) { return p.first == QLatin1String("connect_timeout"); }))
                options << QStringLiteral("connect_timeout=10");
            if (!location.connectOptions().isEmpty())
                options << location.connectOptions();
            db.setConnectOptions(options.join(QLatin1Char(';')));
        }
        // Numbers come as exact text, so a NUMERIC column never loses digits to a double.
        db.setNumericalPrecisionPolicy(QSql::HighPrecision);
        if (!db.open()) {
            failure = db.lastError().text();
        } else if (sqlite && !SqliteDialect::install(db, &failure)) {
            db.close();
        } else {
            m_sqlite = sqlite ? driverHandle<sqlite3>(db, "sqlite3*", "sqlite3*") : nullptr;
            m_pg = sqlite ? nullptr : driverHandle<pg_conn>(db, "PGconn*", "pg_conn*");
            if (!m_sqlite && !m_pg) {
                failure = QStringLiteral("the driver hands out no engine handle");
                db.close();
            }
        }
    }
    if (!failure.isNull()) {
        QSqlDatabase::removeDatabase(m_connectionName);
        return fail(
            error,
            QStringLiteral("cannot open the database %1: %2").arg(location.displayText(), failure.trimmed()));
    }
    m_location = location;
    m_lastError.clear();
    m_lastErrorBusy = false;
    setLockWait(m_lockWait);
    return true;
}

bool SqlDataService::setLockWait(int milliseconds, QString* error)
{
    m_lockWait = std::max(0, milliseconds);
    // PostgreSQL takes it per transaction (BeginTrans); SQLite per connection.
    if (!isOpen() || engine() != Engine::SQLite)
        return true;
    QSqlQuery pragma(database());
    if (pragma.exec(QStringLiteral("PRAGMA busy_timeout=%1").arg(m_lockWait)))
        return true;
    if (error)
        *error = pragma.lastError().text().trimmed();
    return false;
}

void SqlDataService::setError(const QSqlError& error)
{
    m_lastError = error.text().trimmed();
    const QString code = error.nativeErrorCode();
    // SQLite: SQLITE_BUSY, SQLITE_LOCKED; PostgreSQL: lock_not_available (a lock_timeout
    // that ran out), deadlock_detected.
    m_lastErrorBusy = engine() == Engine::SQLite
                          ? code == QLatin1String("5") || code == QLatin1String("6")
                          : code == QLatin1String("55P03") || code == QLatin1String("40P01");
}

void SqlDataService::close()
{
    if (!QSqlDatabase::contains(m_connectionName))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        if (m_inTransaction)
            db.rollback();
        db.close();
    }
    m_inTransaction = false;
    m_sqlite = nullptr;
    m_pg = nullptr;
    QSqlDatabase::removeDatabase(m_connectionName);
}

bool SqlDataService::isOpen() const
{
    return QSqlDatabase::contains(m_connectionName) && database().isOpen();
}

QSqlDatabase SqlDataService::database() const
{
    return QSqlDatabase::database(m_connectionName, false);
}

bool SqlDataService::setTraceFile(const QString& path, QString* error)
{
    return m_trace.setFile(path, error);
}

bool SqlDataService::checkTarget(const QString& database)
{
    if (database != QLatin1String(SystemDatabase)) {
        m_lastErrorBusy = false;
        m_lastError = QStringLiteral("unknown database \"%1\": the only database is \"%2\"")
                          .arg(database, QLatin1String(SystemDatabase));
        return false;
    }
    m_lastErrorBusy = false;
    if (!isOpen()) {
        m_lastError = QStringLiteral("no database is open");
        return false;
    }
    m_lastError.clear();
    return true;
}

// options: the original platform's cursor flags; every set is read whole into memory,
// so they change nothing here.
std::unique_ptr<RecordSet> SqlDataService::OpenRecordset(const QString& sql, const QString& database,
                                                         qint32 options)
{
    Q_UNUSED(options)
    if (!checkTarget(database)) {
        m_trace.write(SqlTrace::Call::Open, false, -1, sql);
        return nullptr;
    }
    QSqlError failure;
    std::unique_ptr<RecordSet> set = m_sqlite
                                         ? SqliteRows::open(m_sqlite, SqliteDialect::statement(sql), &failure)
                                         : PgRows::open(m_pg, sql, &failure);
    if (!set) {
        setError(failure);
        m_trace.write(SqlTrace::Call::Open, false, -1, sql);
        return nullptr;
    }
    m_trace.write(SqlTrace::Call::Open, true, set->RecordCount(), sql);
    return set;
}

bool SqlDataService::ExecuteSql(const QString& database, const QString& sql)
{
    m_rowsAffected = -1;
    if (!checkTarget(database)) {
        m_trace.write(SqlTrace::Call::Exec, false, -1, sql);
        return false;
    }
    QSqlQuery query(this->database());
    // SQLite counts only insert, update and delete; a statement that changed nothing at all
    // leaves the total where it was, so the count of an earlier one is never taken for its own.
    const qint64 totalBefore = m_sqlite ? sqlite3_total_changes64(m_sqlite) : 0;
    const bool ok = query.exec(sql);
    m_rowsAffected = -1;
    if (!ok)
        setError(query.lastError());
    else if (m_sqlite)
        m_rowsAffected = sqlite3_total_changes64(m_sqlite) == totalBefore ? 0 : sqlite3_changes64(m_sqlite);
    else
        m_rowsAffected = std::max(0, query.numRowsAffected());
    m_trace.write(SqlTrace::Call::Exec, ok, m_rowsAffected, sql);
    return ok;
}

bool SqlDataService::BeginTrans(const QString& database)
{
    bool ok = checkTarget(database);
    if (ok && m_inTransaction) {
        // PostgreSQL would only warn about a nested BEGIN; refuse it on every engine alike.
        m_lastError = QStringLiteral("a transaction is already open on \"%1\"").arg(database);
        ok = false;
    }
    if (ok) {
        QSqlDatabase db = this->database();
        // Writers are serialised from the start, on both engines: the checks a client makes
        // inside its transaction (a room still free, the next code) then hold until it
        // commits, and two clients can never deadlock on upgrading a read to a write.
        if (engine() == Engine::SQLite) {
            QSqlQuery begin(db);
            ok = begin.exec(QStringLiteral("BEGIN IMMEDIATE"));
            if (!ok)
                setError(begin.lastError());
        } else {
            ok = db.transaction();
            if (!ok) {
                setError(db.lastError());
            } else {
                // A table lock that needs a write privilege, not an advisory lock: any role may
                // take an advisory lock, and a reader holding it would stop everyone's commit.
                QSqlQuery lock(db);
                ok = lock.exec(QStringLiteral("set local lock_timeout = %1").arg(m_lockWait)) &&
                     lock.exec(QStringLiteral("lock table %1 in exclusive mode")
                                   .arg(QLatin1String(WriterLockTable)));
                if (!ok) {
                    setError(lock.lastError());
                    db.rollback();
                }
            }
        }
        if (ok)
            m_inTransaction = true;
    }
    m_trace.write(SqlTrace::Call::Begin, ok, -1, QString());
    return ok;
}

bool SqlDataService::CommitTrans(const QString& database)
{
    return finishTransaction(SqlTrace::Call::Commit, database);
}

bool SqlDataService::RollbackTrans(const QString& database)
{
    return finishTransaction(SqlTrace::Call::Rollback, database);
}

bool SqlDataService::finishTransaction(SqlTrace::Call call, const QString& database)
{
    bool ok = checkTarget(database);
    if (ok && !m_inTransaction) {
        m_lastError = QStringLiteral("no transaction is open on \"%1\"").arg(database);
        ok = false;
    }
    if (ok) {
        QSqlDatabase db = this->database();
        ok = call == SqlTrace::Call::Commit ? db.commit() : db.rollback();
        if (!ok) {
            setError(db.lastError());
            // SQLite keeps a transaction whose COMMIT failed (PostgreSQL has already rolled
            // it back); end it, so that a failed commit never leaves half of the work
            // waiting for a later one.
            if (call == SqlTrace::Call::Commit && engine() == Engine::SQLite)
                db.rollback();
        }
        m_inTransaction = false;
    }
    m_trace.write(call, ok, -1, QString());
    return ok;
}

} // namespace corvan::host
