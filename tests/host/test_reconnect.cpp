// SPDX-License-Identifier: MIT
// Connections that break: a backend ended by the server, the server restarted or gone, a
// database file moved away, full or read-only; and addresses that name several servers.

#include "data/sql_data_service.h"
#include "files.h"
#include "support/pg_servers.h"
#include "support/test_database.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <functional>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using corvan::ConnectionService;
using corvan::host::SqlDataService;
using corvan::test::PgServers;
using corvan::test::ServerPair;
using corvan::test::TestDatabase;

namespace {

const QString System = u"systemDB"_s;
const QString Count = u"select count(*) from t"_s;
const QString Insert = u"insert into t(n) values (1)"_s;

QString stateName(ConnectionService::State state)
{
    switch (state) {
    case ConnectionService::State::Connected:
        return u"connected"_s;
    case ConnectionService::State::Reconnecting:
        return u"reconnecting"_s;
    case ConnectionService::State::Unreachable:
        return u"unreachable"_s;
    }
    return {};
}

// A data service on a fresh database with one table, traced, with short waits between the
// tries of a reconnect; the states it went through are kept as the signal tells them.
class Reconnect : public ::testing::Test {
protected:
    explicit Reconnect(const QString& server = QString()) : db(TestDatabase::Contents::Nothing, server)
    {
        db.exec(u"create table t(n int)"_s);
        // Every transaction of the host locks it first.
        if (db.isPostgresql())
            db.exec(u"create table %1 ()"_s.arg(QLatin1String(SqlDataService::WriterLockTable)));
        service->setReconnectSchedule({0, 50, 100});
        EXPECT_TRUE(service->setTraceFile(folder.filePath(u"trace"_s)));
        QObject::connect(service, &SqlDataService::connectionChanged, [this] {
            states << stateName(service->ConnectionState()) + u' ' + service->ServerName();
        });
    }

    // The trace from here on.
    void mark() { traced = traceLines().size(); }
    QStringList traceSinceMark() const { return traceLines().mid(traced); }
    QStringList traceLines() const { return corvan::test::fileLines(folder.filePath(u"trace"_s)); }
    QString count() { return db.rows(Count).value(0); }
    QString server() const { return u"127.0.0.1:%1"_s.arg(PgServers::suitePort()); }
    QString backend()
    {
        auto set = service->OpenRecordset(u"select pg_backend_pid()"_s, System);
        return set ? (set->MoveFirst(), set->Text(0)) : QString();
    }
    // What a call came to: "ok", or "fail" and whether the connection was lost.
    QString outcome(bool ok) const
    {
        return ok ? u"ok"_s : service->LastErrorIsConnectionLost() ? u"fail lost"_s : u"fail"_s;
    }

    QTemporaryDir folder;
    TestDatabase db;
    SqlDataService* service = db.service();
    QStringList states;
    qsizetype traced = 0;
};

} // namespace

TEST_F(Reconnect, AfterTheBackendEndsReadsRunAgainWritesAreNotRepeatedAndTransactionsFailWhole)
{
    if (!db.isPostgresql())
        GTEST_SKIP() << "a server's backend; the database file's part is SqliteFile";
    struct Case {
        const char* name;
        std::function<void()> before;       // runs on the working connection
        std::function<QStringList()> after; // runs once the backend is gone
        QStringList outcomes;
        QStringList trace; // after the backend ended; %1 is the server
        const char* rows;  // in t at the end
    };
    const auto call = [this](bool ok) {
        return outcome(ok);
    };
    const Case cases[] = {
        {"a read outside a transaction runs again on the new connection",
         [] {},
         [&] { return QStringList{call(service->OpenRecordset(Count, System) != nullptr)}; },
         {u"ok"_s},
         {u"OPEN\tfail\t-\t"_s + Count, u"CONNECT\tok\t-\t%1"_s, u"OPEN\tok\t1\t"_s + Count},
         "0"},
        {"a write outside a transaction is never sent twice",
         [] {},
         [&] {
             return QStringList{call(service->ExecuteSql(System, Insert)),
                                call(service->ExecuteSql(System, Insert))};
         },
         {u"fail lost"_s, u"ok"_s},
         {u"EXEC\tfail\t-\t"_s + Insert, u"CONNECT\tok\t-\t%1"_s, u"EXEC\tok\t1\t"_s + Insert},
         "1"},
        {"BEGIN on a broken connection begins on the new one",
         [] {},
         [&] {
             return QStringList{call(service->BeginTrans(System)), call(service->ExecuteSql(System, Insert)),
                                call(service->CommitTrans(System))};
         },
         {u"ok"_s, u"ok"_s, u"ok"_s},
         {u"BEGIN\tfail\t-\t"_s, u"CONNECT\tok\t-\t%1"_s, u"BEGIN\tok\t-\t"_s, u"EXEC\tok\t1\t"_s + Insert,
          u"COMMIT\tok\t-\t"_s},
         "1"},
        {"a transaction whose connection broke fails whole, and nothing of it runs elsewhere",
         [&] {
             service->BeginTrans(System);
             service->ExecuteSql(System, Insert);
         },
         [&] {
             return QStringList{call(service->ExecuteSql(System, Insert)),
                                call(service->OpenRecordset(Count, System) != nullptr),
                                call(service->CommitTrans(System)),
                                call(service->OpenRecordset(Count, System) != nullptr)};
         },
         {u"fail lost"_s, u"fail lost"_s, u"fail lost"_s, u"ok"_s},
         {u"EXEC\tfail\t-\t"_s + Insert, u"OPEN\tfail\t-\t"_s + Count, u"COMMIT\tfail\t-\t"_s,
          u"CONNECT\tok\t-\t%1"_s, u"OPEN\tok\t1\t"_s + Count},
         "0"},
        {"a rollback finds the transaction gone with the connection",
         [&] {
             service->BeginTrans(System);
             service->ExecuteSql(System, Insert);
         },
         [&] {
             return QStringList{call(service->RollbackTrans(System)),
                                call(service->ExecuteSql(System, Insert))};
         },
         {u"ok"_s, u"ok"_s},
         {u"ROLLBACK\tok\t-\t"_s, u"CONNECT\tok\t-\t%1"_s, u"EXEC\tok\t1\t"_s + Insert},
         "1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        db.exec(u"delete from t"_s);
        const QString pid = backend();
        c.before();
        ASSERT_TRUE(PgServers::terminate(PgServers::suitePort(), pid));
        mark();
        EXPECT_EQ(c.after(), c.outcomes);
        QStringList trace;
        for (const QString& line : c.trace)
            trace << (line.contains(u"%1"_s) ? line.arg(server()) : line);
        EXPECT_EQ(traceSinceMark(), trace);
        EXPECT_EQ(count(), QString::fromLatin1(c.rows));
        EXPECT_EQ(service->ConnectionState(), ConnectionService::State::Connected);
    }
}

TEST_F(Reconnect, ARestartedServerIsNoticedOnTheNextCallWhichRunsOnTheNewConnection)
{
    if (!db.isPostgresql())
        GTEST_SKIP() << "restarts the suite's PostgreSQL server";
    db.exec(u"insert into t(n) values (7)"_s);
    QList<bool> waiting;
    QObject::connect(service, &SqlDataService::reconnecting, [&](bool active) { waiting << active; });
    QString output;
    ASSERT_TRUE(PgServers::suite(u"restart"_s, &output)) << output.toStdString();
    mark();
    auto set = service->OpenRecordset(u"select n from t"_s, System);
    ASSERT_TRUE(set) << service->LastError().toStdString();
    EXPECT_EQ((set->MoveFirst(), set->Text(0)), u"7"_s);
    EXPECT_EQ(traceSinceMark(),
              (QStringList{u"OPEN\tfail\t-\tselect n from t"_s, u"CONNECT\tok\t-\t"_s + server(),
                           u"OPEN\tok\t1\tselect n from t"_s}));
    // The user saw the connection go and come back, and waited meanwhile.
    EXPECT_EQ(states, (QStringList{u"reconnecting "_s + server(), u"connected "_s + server()}));
    EXPECT_EQ(waiting, (QList<bool>{true, false}));
}

namespace {

// On a server of the suite's pair, which the test can lose for as long as it likes.
class LostServer : public Reconnect {
protected:
    static QString serverOf()
    {
        if (TestDatabase::engineFromEnvironment() != u"postgresql"_s)
            return {};
        ServerPair& pair = ServerPair::shared();
        return pair.url(pair.primaryPort());
    }
    LostServer() : Reconnect(serverOf()) {}
    ServerPair* pair = db.isPostgresql() ? &ServerPair::shared() : nullptr;
};

} // namespace

TEST_F(LostServer, AServerThatStaysAwayIsToldTriedOnEveryCallAndUsedAgainWhenBack)
{
    if (!db.isPostgresql())
        GTEST_SKIP() << "stops a PostgreSQL server";
    const QString primary = u"127.0.0.1:%1"_s.arg(pair->primaryPort());
    ASSERT_TRUE(pair->haltPrimary());
    mark();
    EXPECT_EQ(service->OpenRecordset(Count, System), nullptr);
    EXPECT_TRUE(service->LastErrorIsConnectionLost());
    EXPECT_TRUE(service->LastError().startsWith(u"cannot connect to the database server "_s + primary))
        << service->LastError().toStdString();
    EXPECT_EQ(service->ConnectionState(), ConnectionService::State::Unreachable);
    EXPECT_EQ(service->ServerName(), primary);
    // The whole schedule once: three tries.
    EXPECT_EQ(traceSinceMark().filter(u"CONNECT\tfail\t-\t"_s + primary).size(), 3);
    EXPECT_EQ(states, (QStringList{u"reconnecting "_s + primary, u"unreachable "_s + primary}));

    // Still away: one try per call, and nothing is run without a connection.
    mark();
    EXPECT_FALSE(service->ExecuteSql(System, Insert));
    EXPECT_TRUE(service->LastErrorIsConnectionLost());
    EXPECT_EQ(traceSinceMark().filter(u"CONNECT\tfail"_s).size(), 1);
    EXPECT_TRUE(traceSinceMark().filter(u"EXEC\tok"_s).isEmpty());

    ASSERT_TRUE(pair->resumePrimary());
    mark();
    EXPECT_TRUE(service->ExecuteSql(System, Insert)) << service->LastError().toStdString();
    EXPECT_EQ(traceSinceMark(), (QStringList{u"CONNECT\tok\t-\t"_s + primary, u"EXEC\tok\t1\t"_s + Insert}));
    EXPECT_EQ(service->ConnectionState(), ConnectionService::State::Connected);
    EXPECT_EQ(count(), u"1"_s);
}

TEST(ServerList, LibpqChoosesAmongTheServersOfTheAddressAndTheServiceNamesTheOneReached)
{
    if (TestDatabase::engineFromEnvironment() != u"postgresql"_s)
        GTEST_SKIP() << "needs a PostgreSQL primary and its standby";
    ServerPair& pair = ServerPair::shared();
    const QString p = QString::number(pair.primaryPort());
    const QString s = QString::number(pair.standbyPort());
    struct Case {
        QString url;
        QString reached; // P or S
    };
    const QString both = u"postgresql://postgres@127.0.0.1:"_s + s + u",127.0.0.1:"_s + p + u"/postgres"_s;
    const Case cases[] = {
        {both + u"?target_session_attrs=read-write"_s, u"P"_s},
        {both + u"?target_session_attrs=primary"_s, u"P"_s},
        {both + u"?target_session_attrs=prefer-standby"_s, u"S"_s},
        {both + u"?target_session_attrs=standby"_s, u"S"_s},
        {both, u"S"_s},
        {u"postgresql://postgres@/postgres?host=127.0.0.1,127.0.0.1&port="_s + s + u","_s + p +
             u"&target_session_attrs=read-write"_s,
         u"P"_s},
        {u"postgresql://postgres@127.0.0.1/postgres?port="_s + s, u"S"_s},
        // The first server down (nothing listens on port 1): libpq goes on to the next.
        {u"postgresql://postgres@127.0.0.1:1,127.0.0.1:"_s + p + u"/postgres"_s, u"P"_s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url.toStdString());
        SqlDataService service;
        QString error;
        ASSERT_TRUE(service.open(c.url, &error)) << error.toStdString();
        const QString reached = u"127.0.0.1:"_s + (c.reached == u"P"_s ? p : s);
        EXPECT_EQ(service.ServerName(), reached);
        auto recovery = service.OpenRecordset(u"select pg_is_in_recovery()"_s, System);
        ASSERT_TRUE(recovery);
        EXPECT_EQ((recovery->MoveFirst(), recovery->Value(0).toBool()), c.reached == u"S"_s);
    }
}

TEST(SqliteFile, AFileMovedAwayFullOrReadOnlyIsToldInThoseWordsWithNothingHalfWritten)
{
    if (TestDatabase::engineFromEnvironment() != u"sqlite"_s)
        GTEST_SKIP() << "the database file's part of a broken connection";
    TestDatabase db(TestDatabase::Contents::Nothing);
    SqlDataService* service = db.service();
    service->setReconnectSchedule({0, 20});
    db.exec(u"create table t(n int, text blob)"_s);
    const QString path = service->location().filePath();
    const QString away = path + u".away"_s;
    const auto outcome = [&](bool ok) {
        return ok ? u"ok"_s
                  : (service->LastErrorIsConnectionLost() ? u"lost: "_s : u"fail: "_s) +
                        service->LastError().section(u'（', 0, 0);
    };
    const QString gone =
        u"数据库文件 %1 已不在原处（被删除、移走，或所在的网络共享已断开），未写入任何数据。"_s.arg(path);
    const QString goneShort = gone.section(u'（', 0, 0);

    // Moved away between two calls: nothing reaches the file elsewhere, nor a new empty one.
    ASSERT_TRUE(QFile::rename(path, away));
    EXPECT_EQ(outcome(service->ExecuteSql(System, Insert)), u"lost: "_s + goneShort);
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_EQ(service->ConnectionState(), ConnectionService::State::Unreachable);
    // Back in its place (a share mounted again): the file is opened anew.
    ASSERT_TRUE(QFile::rename(away, path));
    EXPECT_EQ(outcome(service->ExecuteSql(System, Insert)), u"ok"_s);
    EXPECT_EQ(service->ConnectionState(), ConnectionService::State::Connected);

    // Moved away in the middle of a transaction: the transaction fails whole, at its commit,
    // where the file's place is looked at again (not at every statement); the commit is never
    // sent, and the service says so.
    EXPECT_EQ(outcome(service->BeginTrans(System)), u"ok"_s);
    EXPECT_EQ(outcome(service->ExecuteSql(System, Insert)), u"ok"_s);
    EXPECT_FALSE(service->LastCommitNotSent());
    ASSERT_TRUE(QFile::rename(path, away));
    EXPECT_EQ(outcome(service->ExecuteSql(System, Insert)), u"ok"_s);
    EXPECT_EQ(outcome(service->CommitTrans(System)), u"lost: "_s + goneShort);
    EXPECT_TRUE(service->LastCommitNotSent());
    EXPECT_FALSE(QFile::exists(path));
    ASSERT_TRUE(QFile::rename(away, path));
    EXPECT_EQ(outcome(service->OpenRecordset(Count, System) != nullptr), u"ok"_s);
    EXPECT_EQ(db.rows(Count), QStringList{u"1"_s});
    // A commit that goes through clears it.
    EXPECT_EQ(outcome(service->BeginTrans(System)), u"ok"_s);
    EXPECT_EQ(outcome(service->CommitTrans(System)), u"ok"_s);
    EXPECT_FALSE(service->LastCommitNotSent());

    // Full: the disk takes no more pages (a page limit stands in for a full disk).
    db.exec(u"pragma max_page_count = "_s + db.rows(u"pragma page_count"_s).value(0));
    EXPECT_EQ(outcome(service->ExecuteSql(System, u"insert into t values (2, zeroblob(100000))"_s)),
              u"fail: 数据库文件 %1 所在的磁盘已满，未写入任何数据。"_s.arg(path));
    db.exec(u"pragma max_page_count = 1073741823"_s);
    // Read-only: a file that may be read only (query_only stands in for a read-only mount).
    db.exec(u"pragma query_only = 1"_s);
    EXPECT_EQ(outcome(service->ExecuteSql(System, Insert)), u"fail: 数据库文件 %1 现在是只读的"_s.arg(path));
    db.exec(u"pragma query_only = 0"_s);
    EXPECT_EQ(db.rows(Count), QStringList{u"1"_s});
}

// The history's reads on the suite's standby: answered there while it is in step, never inside
// a transaction, by the primary while the standby has not replayed this desk's last commit (the
// user sees what they just did) or lags past the allowed delay, and by the primary while the
// standby cannot be reached.
TEST(StandbyReads, ReportsGoToAStandbyInStepAndToThePrimaryOtherwise)
{
    if (TestDatabase::engineFromEnvironment() != u"postgresql"_s)
        GTEST_SKIP() << "needs a PostgreSQL primary and its standby";
    ServerPair& pair = ServerPair::shared();
    TestDatabase db(TestDatabase::Contents::Schema, pair.url(pair.primaryPort()));
    SqlDataService* service = db.service();
    const QString standbyUrl =
        db.location().replace(u":%1/"_s.arg(pair.primaryPort()), u":%1/"_s.arg(pair.standbyPort()));
    ASSERT_NE(standbyUrl, db.location());
    ASSERT_TRUE(pair.waitForStandby());
    SqlDataService replay;
    QString error;
    ASSERT_TRUE(replay.open(standbyUrl, &error)) << error.toStdString();
    const auto setReplay = [&](bool on) {
        ASSERT_NE(replay.OpenRecordset(
                      on ? u"select pg_wal_replay_resume()"_s : u"select pg_wal_replay_pause()"_s, System),
                  nullptr)
            << replay.LastError().toStdString();
    };
    // Which server answered, and how many provinces it saw.
    const auto report = [&] {
        auto rs = service->OpenReportRecordset(u"select count(*) from com_province"_s, System);
        if (!rs)
            return u"failed: "_s + service->LastError();
        rs->MoveFirst();
        return (service->lastReportFromStandby() ? u"standby "_s : u"primary "_s) + rs->Text(0);
    };
    const auto province = [&](int id) {
        EXPECT_TRUE(service->BeginTrans(System));
        EXPECT_TRUE(service->ExecuteSql(
            System, u"insert into com_province(pro_id, pro_name) values ('%1', '省%1')"_s.arg(id)));
        EXPECT_TRUE(service->CommitTrans(System)) << service->LastError().toStdString();
    };

    EXPECT_EQ(report(), u"primary 0"_s); // none configured
    ASSERT_TRUE(service->setReadDatabase(standbyUrl, 60000, &error)) << error.toStdString();
    EXPECT_EQ(report(), u"standby 0"_s);
    ASSERT_TRUE(service->BeginTrans(System));
    EXPECT_EQ(report(), u"primary 0"_s);
    ASSERT_TRUE(service->RollbackTrans(System));

    // This desk's own commit, not yet replayed: the primary answers, with it.
    setReplay(false);
    province(1);
    EXPECT_EQ(report(), u"primary 1"_s);
    setReplay(true);
    ASSERT_TRUE(pair.waitForStandby());
    QThread::msleep(1100);
    EXPECT_EQ(report(), u"standby 1"_s);

    // Another desk's commit held up on the standby: behind by more than a delay of nothing.
    ASSERT_TRUE(service->setReadDatabase(standbyUrl, 0, &error));
    EXPECT_EQ(report(), u"standby 1"_s);
    setReplay(false);
    db.exec(u"insert into com_province(pro_id, pro_name) values ('2', '省2')"_s);
    QThread::msleep(1100);
    EXPECT_EQ(report(), u"primary 2"_s);
    setReplay(true);
    ASSERT_TRUE(pair.waitForStandby());
    QThread::msleep(1100);
    EXPECT_EQ(report(), u"standby 2"_s);

    // A standby nobody answers at: the primary, every time.
    QString nowhere = standbyUrl;
    ASSERT_TRUE(
        service->setReadDatabase(nowhere.replace(u":%1/"_s.arg(pair.standbyPort()), u":1/"_s), 60000, &error))
        << error.toStdString();
    EXPECT_EQ(report(), u"primary 2"_s);
    EXPECT_FALSE(service->setReadDatabase(u"/tmp/standby.sqlite"_s, 0, &error));
}
