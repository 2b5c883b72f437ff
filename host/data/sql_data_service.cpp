// SPDX-License-Identifier: MIT
#include "data/sql_data_service.h"

#include "data/pg_rows.h"
#include "data/sql_quote.h"
#include "data/sqlite_dialect.h"
#include "data/sqlite_locks.h"
#include "data/sqlite_rows.h"

#include <sqlite3.h>

#include <libpq-fe.h>

#include <QFileInfo>
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

// Drivers explain a broken connection over several lines; the first says what happened.
QString firstLine(const QString& text)
{
    return text.trimmed().section(QLatin1Char('\n'), 0, 0).trimmed();
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

const QString SqlDataService::HeldBy = QStringLiteral("正在写入的用户：");
const QString SqlDataService::NoCityLock = QStringLiteral("没有这些地市的基站调整权限，不能锁定：");

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

// The connection's libpq parameters as Qt's driver takes them. A server that does not answer
// is given up after ten seconds unless the URL says otherwise; a reconnect, which tries several
// times while the user waits, gives each try three.
QString SqlDataService::connectOptions(const DatabaseLocation& location, bool again)
{
    QStringList options;
    const auto parameters = location.parameters();
    if (std::none_of(parameters.cbegin(), parameters.cend(),
                     [](const auto& p) { return p.first == QLatin1String("connect_timeout"); }))
        options << (again ? QStringLiteral("connect_timeout=3") : QStringLiteral("connect_timeout=10"));
    // Several ports (one per host) are one parameter to libpq, never a number.
    if (!location.portList().isEmpty())
        options << QStringLiteral("port='%1'").arg(location.portList());
    if (!location.connectOptions().isEmpty())
        options << location.connectOptions();
    return options.join(QLatin1Char(';'));
}

bool SqlDataService::open(const DatabaseLocation& location, QString* error)
{
    close();
    const bool sqlite = location.isSqlite();
    const QString driver = sqlite ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL");
    if (!QSqlDatabase::isDriverAvailable(driver))
        return fail(error, QStringLiteral("the Qt SQL driver %1 is not installed").arg(driver));

    QString failure;
    // Before the first file is opened: locks that survive a file dialog in the database's folder.
    if (sqlite)
        SqliteLocks::install();
    m_location = location;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(driver, m_connectionName);
        if (sqlite) {
            db.setDatabaseName(location.filePath());
        } else {
            // The hosts go as libpq reads them: one, or a list it tries in turn.
            db.setHostName(location.hostName());
            db.setUserName(location.userName());
            db.setPassword(location.password());
            db.setDatabaseName(location.databaseName());
            db.setConnectOptions(connectOptions(location, false));
        }
        // Numbers come as exact text, so a NUMERIC column never loses digits to a double.
        db.setNumericalPrecisionPolicy(QSql::HighPrecision);
        connectNow(&failure);
    }
    if (!failure.isNull()) {
        m_location = DatabaseLocation();
        QSqlDatabase::removeDatabase(m_connectionName);
        return fail(
            error,
            QStringLiteral("cannot open the database %1: %2").arg(location.displayText(), failure.trimmed()));
    }
    m_lastError.clear();
    m_lastErrorBusy = false;
    m_lastFailure = FailureKind::Other;
    return true;
}

bool SqlDataService::connectNow(QString* failure)
{
    QSqlDatabase db = database();
    const bool sqlite = m_location.isSqlite();
    if (!db.open()) {
        *failure = db.lastError().text();
        return false;
    }
    if (sqlite && !SqliteDialect::install(db, failure)) {
        db.close();
        return false;
    }
    m_sqlite = sqlite ? driverHandle<sqlite3>(db, "sqlite3*", "sqlite3*") : nullptr;
    m_sqliteWrites.attach(m_sqlite);
    m_pg = sqlite ? nullptr : driverHandle<pg_conn>(db, "PGconn*", "pg_conn*");
    if (!m_sqlite && !m_pg) {
        *failure = QStringLiteral("the driver hands out no engine handle");
        db.close();
        return false;
    }
    setLockWait(m_lockWait);
    setIdleTransactionLimit(m_idleLimit);
    m_cityLocks = false;
    m_keeper.connected(connectedServer());
    return true;
}

QString SqlDataService::connectedServer() const
{
    if (m_sqlite)
        return m_location.filePath();
    if (!m_pg)
        return configuredServers();
    QString host = QString::fromUtf8(PQhost(m_pg));
    if (host.contains(QLatin1Char(':')))
        host = QLatin1Char('[') + host + QLatin1Char(']');
    return host + QLatin1Char(':') + QString::fromUtf8(PQport(m_pg));
}

QString SqlDataService::configuredServers() const
{
    return m_location.isSqlite() ? m_location.filePath() : m_location.servers().join(QLatin1Char(','));
}

bool SqlDataService::reconnect()
{
    const auto attempt = [this] {
        QString failure;
        bool ok = false;
        {
            QSqlDatabase db = database();
            // What the writes kept prepared would keep the engine from closing the connection.
            m_sqliteWrites.attach(nullptr);
            db.close();
            m_sqlite = nullptr;
            m_pg = nullptr;
            // Opening a file that is not there would make an empty database in its place.
            if (m_location.isSqlite() && !QFileInfo::exists(m_location.filePath())) {
                failure = QStringLiteral("the file is not there");
            } else {
                if (!m_location.isSqlite())
                    db.setConnectOptions(connectOptions(m_location, true));
                ok = connectNow(&failure);
            }
        }
        m_trace.write(SqlTrace::Call::Connect, ok, -1,
                      ok ? m_keeper.server()
                         : configuredServers() + QStringLiteral(": ") + firstLine(failure));
        if (!ok)
            m_lastError = QStringLiteral("cannot connect to the database server %1: %2")
                              .arg(configuredServers(), firstLine(failure));
        return ok;
    };
    if (m_keeper.lost(configuredServers()))
        emit connectionChanged();
    emit reconnecting(true);
    const bool ok = m_keeper.reconnect(attempt, [this] { emit connectionChanged(); });
    emit reconnecting(false);
    if (ok)
        emit reconnected();
    else
        m_lastFailure = m_location.isSqlite() ? FailureKind::FileGone : FailureKind::ConnectionLost;
    if (!ok && m_location.isSqlite())
        m_lastError = ConnectionKeeper::fileFailureText(FailureKind::FileGone, m_location.filePath());
    return ok;
}

bool SqlDataService::recoverConnection()
{
    if (!isOpen() || m_inTransaction)
        return false;
    // The host's own queries go through Qt's driver, which does not say the connection broke:
    // libpq does.
    if ((m_pg && PQstatus(m_pg) == CONNECTION_BAD) ||
        (m_sqlite && ConnectionKeeper::sqliteFileMoved(m_sqlite)))
        if (m_keeper.lost(configuredServers()))
            emit connectionChanged();
    return m_keeper.broken() && reconnect();
}

bool SqlDataService::LastErrorIsConnectionLost() const
{
    return m_lastFailure == FailureKind::ConnectionLost || m_lastFailure == FailureKind::FileGone;
}

bool SqlDataService::isLost() const
{
    return LastErrorIsConnectionLost();
}

void SqlDataService::noticeMovedFile()
{
    // A file deleted or moved away is still readable and writable through the handle SQLite
    // holds, and whatever is written to it is lost with the handle.
    if (m_sqlite && ConnectionKeeper::sqliteFileMoved(m_sqlite) && m_keeper.lost(configuredServers())) {
        emit connectionChanged();
        if (m_inTransaction)
            m_transactionLost = true;
    }
}

bool SqlDataService::ready()
{
    // Inside a transaction the file's place is looked at again when it ends, and a commit into a
    // file gone away is never sent: a look at every statement cost a tenth of a commit.
    if (!m_inTransaction)
        noticeMovedFile();
    if (!m_keeper.broken())
        return true;
    if (m_inTransaction) {
        m_lastFailure = m_location.isSqlite() ? FailureKind::FileGone : FailureKind::ConnectionLost;
        m_lastError = m_location.isSqlite()
                          ? ConnectionKeeper::fileFailureText(FailureKind::FileGone, m_location.filePath())
                          : QStringLiteral("the connection to the database server broke in the middle of the "
                                           "transaction; the server kept nothing of it");
        return false;
    }
    return reconnect();
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

bool SqlDataService::setIdleTransactionLimit(int milliseconds, QString* error)
{
    m_idleLimit = std::max(0, milliseconds);
    if (!isOpen() || engine() != Engine::PostgreSQL)
        return true;
    QSqlQuery set(database());
    if (set.exec(QStringLiteral("set idle_in_transaction_session_timeout = %1").arg(m_idleLimit)))
        return true;
    if (error)
        *error = set.lastError().text().trimmed();
    return false;
}

// Who holds what the user waited on, as the server tells any role (the role of each session
// and since when, not what it is doing), put before the busy failure's text.
void SqlDataService::tellHolders(const QString& sql)
{
    QSqlQuery holders(database());
    if (!holders.exec(sql))
        return;
    QStringList who;
    while (holders.next())
        who << QStringLiteral("%1（%2 起）").arg(holders.value(0).toString(), holders.value(1).toString());
    if (!who.isEmpty())
        m_lastError = HeldBy + who.join(QStringLiteral("，")) + QStringLiteral("\n") + m_lastError;
}

void SqlDataService::setError(const QSqlError& error)
{
    const QString text = error.text().trimmed();
    m_lastError = text;
    const QString code = error.nativeErrorCode();
    m_lastFailure = engine() == Engine::SQLite ? ConnectionKeeper::sqliteFailure(code)
                                               : ConnectionKeeper::postgresqlFailure(code, m_pg);
    m_lastErrorBusy = m_lastFailure == FailureKind::Busy;
    const QString words = ConnectionKeeper::fileFailureText(m_lastFailure, m_location.filePath());
    if (engine() == Engine::SQLite && !words.isEmpty())
        m_lastError = words + QStringLiteral("（") + text + QStringLiteral("）");
    if (isLost()) {
        if (engine() == Engine::PostgreSQL)
            m_lastError = QStringLiteral("the connection to the database server %1 broke: %2")
                              .arg(m_keeper.server(), firstLine(text));
        if (m_inTransaction)
            m_transactionLost = true;
        if (m_keeper.lost(configuredServers()))
            emit connectionChanged();
    }
}

void SqlDataService::close()
{
    if (!QSqlDatabase::contains(m_connectionName))
        return;
    // What the writes kept prepared would keep the engine from closing the connection.
    m_sqliteWrites.attach(nullptr);
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        if (m_inTransaction && !m_transactionLost)
            db.rollback();
        db.close();
    }
    m_inTransaction = false;
    m_transactionLost = false;
    m_sqlite = nullptr;
    m_pg = nullptr;
    QSqlDatabase::removeDatabase(m_connectionName);
}

bool SqlDataService::isOpen() const
{
    // Opened and not closed: a connection that broke is still this service's to make again.
    return QSqlDatabase::contains(m_connectionName);
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
    m_lastFailure = FailureKind::Other;
    m_lastErrorBusy = false;
    if (database != QLatin1String(SystemDatabase)) {
        m_lastError = QStringLiteral("unknown database \"%1\": the only database is \"%2\"")
                          .arg(database, QLatin1String(SystemDatabase));
        return false;
    }
    if (!isOpen()) {
        m_lastError = QStringLiteral("no database is open");
        return false;
    }
    m_lastError.clear();
    return true;
}

// While cities are locked apart, two of them may commit at once: the next record or plan code
// comes from the server's sequence instead of the largest code committed so far, which both
// would read alike.
QString SqlDataService::serverStatement(const QString& sql) const
{
    if (!locksCities())
        return sql;
    static const QString records = QStringLiteral("select max(to_number(discode)) from h_btsdispatch");
    static const QString plans = QStringLiteral("select max(to_number(plancode)) from corvan_plan");
    if (sql == records)
        return QStringLiteral("select corvan_next_code('h_btsdispatch') - 1");
    if (sql == plans)
        return QStringLiteral("select corvan_next_code('corvan_plan') - 1");
    return sql;
}

std::unique_ptr<RecordSet> SqlDataService::readRows(const QString& sql, QSqlError* failure)
{
    return m_sqlite ? SqliteRows::open(m_sqlite, SqliteDialect::statement(sql), failure)
                    : PgRows::open(m_pg, serverStatement(sql), failure);
}

// options: the original platform's cursor flags; every set is read whole into memory,
// so they change nothing here.
std::unique_ptr<RecordSet> SqlDataService::OpenRecordset(const QString& sql, const QString& database,
                                                         qint32 options)
{
    Q_UNUSED(options)
    if (!checkTarget(database) || !ready()) {
        m_trace.write(SqlTrace::Call::Open, false, -1, sql);
        return nullptr;
    }
    QSqlError failure;
    std::unique_ptr<RecordSet> set = readRows(sql, &failure);
    if (!set) {
        setError(failure);
        m_trace.write(SqlTrace::Call::Open, false, -1, sql);
        // A read outside a transaction changes nothing: it runs again on the new connection.
        if (!isLost() || m_inTransaction || !reconnect())
            return nullptr;
        set = readRows(sql, &failure);
        if (!set) {
            setError(failure);
            m_trace.write(SqlTrace::Call::Open, false, -1, sql);
            return nullptr;
        }
        m_lastError.clear();
        m_lastFailure = FailureKind::Other;
    }
    m_trace.write(SqlTrace::Call::Open, true, set->RecordCount(), sql);
    return set;
}

bool SqlDataService::ExecuteSql(const QString& database, const QString& sql)
{
    return write(database, sql, nullptr);
}

bool SqlDataService::ExecuteBound(const QString& database, const QString& sql, const QStringList& values)
{
    return write(database, sql, &values);
}

bool SqlDataService::write(const QString& database, const QString& sql, const QStringList* values)
{
    m_rowsAffected = -1;
    const auto trace = [&](bool ok) {
        if (m_trace.isActive())
            m_trace.write(SqlTrace::Call::Exec, ok, m_rowsAffected,
                          values ? SqlTrace::bound(sql, *values) : sql);
    };
    if (!checkTarget(database) || !ready()) {
        trace(false);
        return false;
    }
    bool ok = false;
    if (m_sqlite) {
        QSqlError failure;
        ok = m_sqliteWrites.execute(SqliteDialect::statement(sql), &m_rowsAffected, &failure,
                                    values ? *values : QStringList());
        if (!ok)
            setError(failure);
    } else if (values) {
        QSqlError failure;
        ok = PgRows::execute(m_pg, sql, *values, &m_rowsAffected, &failure);
        if (!ok)
            setError(failure);
    } else {
        QSqlQuery query(this->database());
        ok = query.exec(sql);
        if (!ok)
            setError(query.lastError());
        else // The server counts the rows a select read; it changed none.
            m_rowsAffected = query.isSelect() ? 0 : std::max(0, query.numRowsAffected());
    }
    trace(ok);
    // A write is never sent twice: whether the server ran it before the connection broke
    // cannot be known. The connection is made again for the calls that follow.
    if (!ok && isLost() && !m_inTransaction) {
        const QString lost = m_lastError;
        reconnect();
        m_lastError = lost;
        m_lastFailure = m_location.isSqlite() ? FailureKind::FileGone : FailureKind::ConnectionLost;
    }
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
    ok = ok && ready();
    if (ok) {
        ok = beginNow();
        // Nothing of the transaction existed when BEGIN found the connection broken: it
        // begins on the new one.
        if (!ok && isLost()) {
            m_trace.write(SqlTrace::Call::Begin, false, -1, QString());
            ok = reconnect() && beginNow();
        }
        if (ok) {
            m_inTransaction = true;
            m_sqliteWrites.keep();
        }
    }
    m_trace.write(SqlTrace::Call::Begin, ok, -1, QString());
    return ok;
}

bool SqlDataService::beginNow()
{
    QSqlDatabase db = this->database();
    // Writers are serialised from the start, on both engines: the checks a client makes
    // inside its transaction (a room still free, the next code) then hold until it
    // commits, and two clients can never deadlock on upgrading a read to a write.
    if (engine() == Engine::SQLite) {
        QSqlQuery begin(db);
        if (begin.exec(QStringLiteral("BEGIN IMMEDIATE")))
            return true;
        setError(begin.lastError());
        return false;
    }
    if (!db.transaction()) {
        setError(db.lastError());
        return false;
    }
    // A table lock that needs a write privilege, not an advisory lock: any role may take an
    // advisory lock, and a reader holding it would stop everyone's commit. Where cities are
    // locked, in a mode that writers of this version share and an older one's whole lock waits
    // for; each transaction then locks its cities (LockCities).
    QSqlQuery lock(db);
    // The schema may have been brought to the cities' locks since the connection was made.
    if (!m_cityLocks)
        m_cityLocks = lock.exec(QStringLiteral("select to_regclass('corvan_city_lock') is not null")) &&
                      lock.next() && lock.value(0).toBool();
    if (lock.exec(QStringLiteral("set local lock_timeout = %1").arg(m_lockWait)) &&
        lock.exec(QStringLiteral("lock table %1 in %2 mode")
                      .arg(QLatin1String(WriterLockTable),
                           locksCities() ? QLatin1String("row exclusive") : QLatin1String("exclusive"))))
        return true;
    setError(lock.lastError());
    db.rollback();
    if (m_lastErrorBusy)
        tellHolders(
            QStringLiteral("select a.usename, to_char(a.xact_start, 'HH24:MI:SS') from pg_locks l join "
                           "pg_stat_activity a on a.pid = l.pid where l.locktype = 'relation' and "
                           "l.relation = to_regclass('%1') and l.granted and l.pid <> pg_backend_pid() "
                           "order by a.xact_start")
                .arg(QLatin1String(WriterLockTable)));
    return false;
}

bool SqlDataService::LockCities(const QStringList& cityIds)
{
    if (!m_inTransaction || !locksCities())
        return true;
    QStringList cities;
    for (const QString& city : cityIds)
        if (!city.trimmed().isEmpty() && !cities.contains(city.trimmed()))
            cities << city.trimmed();
    if (cities.isEmpty())
        return true;
    cities.sort();
    QStringList quoted;
    for (const QString& city : std::as_const(cities))
        quoted << sqlQuoted(city);
    // Locked as they come, in the order of their codes: two writers never wait for each other
    // in a circle.
    QSqlQuery lock(database());
    const QString sql = QStringLiteral("select city_id from corvan_city_lock where city_id in (%1) "
                                       "order by city_id for update")
                            .arg(quoted.join(QLatin1Char(',')));
    bool ok = lock.exec(sql);
    QStringList locked;
    if (ok) {
        while (lock.next())
            locked << lock.value(0).toString();
    } else {
        setError(lock.lastError());
    }
    if (!ok) {
        // The wait ran out and took the transaction with it. In a fresh one, which the caller
        // rolls back as it would have this one, ask who holds the cities: a city's row names, as
        // its xmax, the transaction that locked it.
        const QString reason = m_lastError;
        QSqlDatabase db = database();
        if (m_lastErrorBusy && db.rollback() && beginNow()) {
            m_lastError = reason;
            m_lastErrorBusy = true;
            m_lastFailure = FailureKind::Busy;
            tellHolders(QStringLiteral("select a.usename, to_char(a.xact_start, 'HH24:MI:SS') from "
                                       "corvan_city_lock c join pg_stat_activity a on a.backend_xid = c.xmax "
                                       "where c.city_id in (%1) and a.pid <> pg_backend_pid() order by "
                                       "a.xact_start")
                            .arg(quoted.join(QLatin1Char(','))));
        }
    } else {
        QStringList missing;
        for (const QString& city : std::as_const(cities))
            if (!locked.contains(city))
                missing << city;
        if (!missing.isEmpty()) {
            ok = false;
            m_lastError = NoCityLock + missing.join(QLatin1Char(','));
            m_lastErrorBusy = false;
            m_lastFailure = FailureKind::Other;
        }
    }
    m_trace.write(SqlTrace::Call::Open, ok, ok ? cities.size() : -1, sql);
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
    m_commitNotSent = false;
    bool ok = checkTarget(database);
    if (ok && !m_inTransaction) {
        m_lastError = QStringLiteral("no transaction is open on \"%1\"").arg(database);
        ok = false;
    }
    // A commit is never written into a file that has gone from its place.
    if (ok)
        noticeMovedFile();
    // The statements a transaction kept prepared end with it.
    if (ok)
        m_sqliteWrites.release();
    if (ok && m_transactionLost) {
        // The server dropped the transaction with the connection: a rollback finds it done,
        // a commit finds nothing to commit. An SQLite file gone away still has its handle,
        // whose transaction is ended so that nothing of it is ever written.
        if (m_sqlite)
            this->database().rollback();
        ok = call == SqlTrace::Call::Rollback;
        m_commitNotSent = !ok;
        if (!ok)
            ready();
        m_inTransaction = false;
        m_transactionLost = false;
    } else if (ok) {
        QSqlDatabase db = this->database();
        ok = call == SqlTrace::Call::Commit ? db.commit() : db.rollback();
        if (!ok) {
            setError(db.lastError());
            // A rollback that finds the connection broken finds the transaction gone with it.
            if (call == SqlTrace::Call::Rollback && isLost())
                ok = true;
            // SQLite keeps a transaction whose COMMIT failed (PostgreSQL has already rolled
            // it back); end it, so that a failed commit never leaves half of the work
            // waiting for a later one.
            if (call == SqlTrace::Call::Commit && engine() == Engine::SQLite)
                db.rollback();
        }
        m_inTransaction = false;
        m_transactionLost = false;
        if (ok && call == SqlTrace::Call::Commit && m_standby && engine() == Engine::PostgreSQL) {
            QSqlQuery lsn(db);
            m_committedLsn = lsn.exec(QStringLiteral("select pg_current_wal_insert_lsn()")) && lsn.next()
                                 ? lsn.value(0).toString()
                                 : QString();
        }
    }
    m_trace.write(call, ok, -1, QString());
    return ok;
}

namespace {
constexpr qint64 StandbyRetryMs = 30000;
} // namespace

bool SqlDataService::setReadDatabase(const QString& location, int maxDelay, QString* error)
{
    m_standby.reset();
    m_standbyAsked.invalidate();
    m_readDelay = std::max(0, maxDelay);
    if (location.trimmed().isEmpty())
        return true;
    DatabaseLocation parsed;
    if (!DatabaseLocation::parse(location, &parsed, error))
        return false;
    if (parsed.isSqlite() || engine() != Engine::PostgreSQL)
        return fail(error, QStringLiteral("a read database is a standby of the PostgreSQL server read and "
                                          "written, not %1")
                               .arg(parsed.displayText()));
    auto standby = std::make_unique<SqlDataService>();
    // A standby that is not there now may be later: its reads go to the primary meanwhile.
    QString failure;
    m_standbyDown.invalidate();
    if (!standby->open(parsed, &failure)) {
        standby->m_location = parsed;
        m_standbyDown.start();
    }
    standby->setReconnectSchedule({0});
    m_standby = std::move(standby);
    return true;
}

bool SqlDataService::standbyFresh()
{
    if (m_standbyAsked.isValid() && m_standbyAsked.elapsed() < 1000 && m_standbyAskedLsn == m_committedLsn)
        return m_standbyFresh;
    m_standbyAsked.start();
    m_standbyAskedLsn = m_committedLsn;
    m_standbyFresh = false;
    if (!m_standby->isOpen()) {
        if (m_standbyDown.isValid() && m_standbyDown.elapsed() < StandbyRetryMs)
            return false;
        if (!m_standby->open(m_standby->m_location, nullptr)) {
            m_standbyDown.start();
            return false;
        }
    }
    // Behind by nothing while it has replayed all it received; otherwise by the age of the
    // last transaction it replayed. A server no longer in recovery is no standby of ours.
    const QString lsn = m_committedLsn.isEmpty() ? QStringLiteral("0/0") : m_committedLsn;
    const auto rs = m_standby->OpenRecordset(
        QStringLiteral(
            "select pg_is_in_recovery() and coalesce(pg_last_wal_replay_lsn() >= '%1'::pg_lsn, false) "
            "and (pg_last_wal_receive_lsn() = pg_last_wal_replay_lsn() or now() - "
            "pg_last_xact_replay_timestamp() <= make_interval(secs => %2 / 1000.0))")
            .arg(lsn)
            .arg(m_readDelay),
        QLatin1String(SystemDatabase), 0);
    if (!rs || rs->RecordCount() <= 0)
        return false;
    rs->MoveFirst();
    m_standbyFresh = rs->Value(0).toBool();
    return m_standbyFresh;
}

std::unique_ptr<RecordSet> SqlDataService::OpenReportRecordset(const QString& sql, const QString& database)
{
    m_lastReportFromStandby = false;
    if (m_standby && !m_inTransaction && checkTarget(database) && standbyFresh()) {
        if (auto rows = m_standby->OpenRecordset(sql, database, 0)) {
            m_lastReportFromStandby = true;
            m_trace.write(SqlTrace::Call::Open, true, rows->RecordCount(),
                          QStringLiteral("[standby] ") + sql);
            return rows;
        }
        // A standby that fails is asked again in a second; the primary answers meanwhile.
        m_standbyFresh = false;
    }
    return OpenRecordset(sql, database, 0);
}

} // namespace corvan::host
