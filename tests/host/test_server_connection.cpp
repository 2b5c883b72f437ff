// SPDX-License-Identifier: MIT
// Connecting to a server: libpq's parameters in the URL, verified TLS, and passwords that stay
// out of messages, traces, help and a program's arguments.

#include "data/database_location.h"
#include "data/sql_data_service.h"
#include "server_role.h"
#include "support/fixture.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

using corvan::host::DatabaseLocation;
using corvan::host::SqlDataService;
using corvan::test::Fixture;
using corvan::test::ServerRole;
using corvan::test::TestDatabase;

namespace {

QString u(const char* text)
{
    return QString::fromUtf8(text);
}

TEST(ServerUrl, EveryFormOfLibpqGoesToLibpqAndSecretsStayOut)
{
    struct Case {
        const char* text;
        const char* options; // the query's parameters as the driver gets them; null when refused
        const char* servers; // what libpq may try, in order; or a piece of the refusal
        const char* shown;   // the location as shown; empty when it is the text itself
    };
    const Case cases[] = {
        {"postgresql://li@db.example:6543/res?sslmode=verify-full&sslrootcert=/etc/corvan/root.crt",
         "sslmode='verify-full';sslrootcert='/etc/corvan/root.crt'", "db.example:6543", ""},
        {"postgresql://li@db:5432/res?application_name=corvan%20desk&options=-c%20search_path%3Dres",
         "application_name='corvan desk';options='-c search_path=res'", "db:5432",
         "postgresql://li@db:5432/res?application_name=corvan%20desk&options=-c%20search_path%3Dres"},
        {"postgresql://li@db:5432/res?sslrootcert=/o'k%5Cx", "sslrootcert='/o\\'k\\\\x'", "db:5432",
         "postgresql://li@db:5432/res?sslrootcert=/o%27k%5Cx"},
        {"postgresql://li:s3cret@db:5432/res?sslmode=require", "sslmode='require'", "db:5432",
         "postgresql://li@db:5432/res?sslmode=require"},
        // libpq reads a password up to the '@', whatever it holds; corvan refuses it later.
        {"postgresql://li:s3?cr#et@db/res", "", "db:5432", "postgresql://li@db:5432/res"},
        // Several servers, in every form libpq takes them.
        {"postgresql://demo@db1:5432,db2:5433/corvan?target_session_attrs=read-write",
         "target_session_attrs='read-write'", "db1:5432,db2:5433", ""},
        {"postgresql://demo@db1,db2:5433/corvan", "", "db1:5432,db2:5433",
         "postgresql://demo@db1:5432,db2:5433/corvan"},
        {"postgresql://demo@/corvan?host=db1,db2&port=5432,5433&target_session_attrs=primary",
         "target_session_attrs='primary'", "db1:5432,db2:5433",
         "postgresql://demo@db1:5432,db2:5433/corvan?target_session_attrs=primary"},
        {"postgresql://demo@db1,db2/corvan?port=6000", "", "db1:6000,db2:6000",
         "postgresql://demo@db1:6000,db2:6000/corvan"},
        {"postgresql://demo@[::1]:5432,db2/corvan?target_session_attrs=prefer-standby",
         "target_session_attrs='prefer-standby'", "[::1]:5432,db2:5432",
         "postgresql://demo@[::1]:5432,db2:5432/corvan?target_session_attrs=prefer-standby"},
        {"postgresql://demo@/corvan?host=/var/run/postgresql", "", "/var/run/postgresql:5432",
         "postgresql://demo@%2Fvar%2Frun%2Fpostgresql:5432/corvan"},
        {"POSTGRESQL://demo@db/corvan?connect_timeout=2", "connect_timeout='2'", "db:5432",
         "postgresql://demo@db:5432/corvan?connect_timeout=2"},
        // Refused: secrets, a part said twice, parameters libpq does not know, bad servers.
        {"postgresql://li@db/res?password=s3cret", nullptr, "must not hold the secret 'password'", ""},
        {"postgresql://li@db/res?sslmode=require&sslpassword=s3cret", nullptr, "the secret 'sslpassword'",
         ""},
        {"postgresql://li@db/res?host=elsewhere", nullptr, "'host' is given twice in the database URL", ""},
        {"postgresql://li@db:1/res?port=2", nullptr, "'port' is given twice in the database URL", ""},
        {"postgresql://li@db/res?dbname=other", nullptr, "'dbname' is given twice in the database URL", ""},
        {"postgresql://li@db/res?user=other", nullptr, "'user' is given twice in the database URL", ""},
        {"postgresql://li@db/res?sslmode=require&sslmode=disable", nullptr, "'sslmode' is given twice", ""},
        {"postgresql://li@db/res?SSLMODE=require", nullptr, "'SSLMODE' in the database URL", ""},
        {"postgresql://li@db/res?load_balance_hosts=random", nullptr, "load_balance_hosts came with libpq 16",
         ""},
        {"postgresql://li@db/res?sslrootcert=a%3Bb", nullptr, "holds a ';'", ""},
        {"postgresql://li:s3cret@db:x/res", nullptr, "malformed database URL 'postgresql://li:***@db:x/res'",
         ""},
        {"postgresql://li@db1:1,db2:2,db3:3/res?host=a", nullptr, "'host' is given twice", ""},
        {"postgresql://li@/res?host=a,b,c&port=1,2", nullptr, "gives 2 ports for 3 hosts", ""},
        {"postgresql://li:s3cret@db/res#frag", nullptr, "'postgresql://li:***@db/res#frag' has a fragment",
         ""},
        {"postgresql://li@/res", nullptr, "lacks a host or a database name", ""},
    };
    for (const Case& c : cases) {
        const QString text = u(c.text);
        DatabaseLocation location;
        QString error;
        const bool parsed = DatabaseLocation::parse(text, &location, &error);
        ASSERT_EQ(parsed, c.options != nullptr) << c.text << "\n  " << error.toStdString();
        EXPECT_FALSE(error.contains(u("s3cret"))) << error.toStdString();
        if (!parsed) {
            EXPECT_TRUE(error.contains(u(c.servers))) << c.text << "\n  " << error.toStdString();
            continue;
        }
        EXPECT_EQ(location.connectOptions(), u(c.options)) << c.text;
        EXPECT_EQ(location.servers().join(u(",")), u(c.servers)) << c.text;
        EXPECT_EQ(location.displayText(), *c.shown ? u(c.shown) : text) << c.text;
        EXPECT_EQ(location.passwordInText(), text.contains(u("li:s3"))) << c.text;
        // What is shown reads back as the same location, password left out.
        DatabaseLocation shown;
        ASSERT_TRUE(DatabaseLocation::parse(location.displayText(), &shown, &error)) << error.toStdString();
        EXPECT_EQ(shown.connectOptions(), location.connectOptions());
        EXPECT_EQ(shown.servers(), location.servers());
        EXPECT_FALSE(location.displayText().contains(u("s3")));
    }
}

TEST(VerifiedTls, TheServerIsTrustedOnlyThroughItsRootCertificate)
{
    TestDatabase db;
    if (!db.isPostgresql())
        GTEST_SKIP() << "needs the PostgreSQL server of the postgresql run";
    struct Case {
        QString rootCertificate;
        const char* says; // empty: the connection is made, over TLS
    };
    const Case cases[] = {
        {ServerRole::tlsFile(u("root.crt")), ""},
        {ServerRole::tlsFile(u("stranger.crt")), "certificate verify failed"},
        {QDir(qEnvironmentVariable("CORVAN_TEST_PG_TLS")).filePath(u("missing.crt")), "does not exist"},
    };
    for (const Case& c : cases) {
        SqlDataService data;
        QString error;
        const bool opened =
            data.open(db.location() + u("?sslmode=verify-full&sslrootcert=") + c.rootCertificate, &error);
        EXPECT_EQ(opened, qstrlen(c.says) == 0)
            << c.rootCertificate.toStdString() << "\n  " << error.toStdString();
        EXPECT_TRUE(error.contains(u(c.says))) << error.toStdString();
        if (!opened)
            continue;
        QSqlQuery query(data.database());
        ASSERT_TRUE(query.exec(u("select ssl from pg_stat_ssl where pid = pg_backend_pid()")) &&
                    query.next());
        EXPECT_TRUE(query.value(0).toBool());
    }
}

struct Outcome {
    int exitCode = -1;
    QString output; // stdout and stderr
    QStringList errLines;
};

Outcome corvan(const QStringList& arguments, const QProcessEnvironment& env)
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(QDir(qEnvironmentVariable("CORVAN_BIN_DIR")).filePath(u("corvan")), arguments);
    Outcome run;
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        ADD_FAILURE() << "corvan did not finish: " << arguments.join(u' ').toStdString();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    const QString err = QString::fromUtf8(process.readAllStandardError());
    run.errLines = err.split(u'\n', Qt::SkipEmptyParts);
    run.output = QString::fromUtf8(process.readAllStandardOutput()) + err;
    return run;
}

int modeOf(const QString& path)
{
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 0777) : -1;
}

// corvan logged in as a role of the server (on SQLite: as whoever it is told).
TEST(CorvanAsServerUser, TheRoleIsTheUserAndItsPasswordIsNeverShown)
{
    TestDatabase db;
    Fixture::load(db);
    QTemporaryDir folder;
    const QString trace = folder.filePath(u("trace.txt"));
    const QString picture = folder.filePath(u("main.png"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u("HOME"), folder.path());
    env.insert(u("QT_QPA_PLATFORM"), u("offscreen"));
    const QStringList shot = {u("--sql-trace"), trace,       u("--screenshot"),
                              picture,          u("--room"), u("11:一号机房")};

    if (!db.isPostgresql()) {
        // One person's file: any name will do, and the trace is still that person's alone.
        const Outcome run =
            corvan(QStringList{u("--database"), db.location(), u("--user"), u("anyone")} + shot, env);
        EXPECT_EQ(run.exitCode, 0) << run.output.toStdString();
        EXPECT_EQ(modeOf(trace), 0600);
        return;
    }
    ServerRole role(db, {u("11")});
    env.insert(u("PGPASSWORD"), role.password());
    const QString wrongPassword = role.password() + u("x");
    struct Case {
        QStringList arguments;
        QString password; // PGPASSWORD
        int exitCode;
        QString says; // the one line on stderr, or a piece of the output
    };
    const Case cases[] = {
        {QStringList{u("--database"), role.url(), u("--user"), role.name()} + shot, role.password(), 0,
         u("Saved screenshot: ") + picture},
        {{u("--database"), role.url(), u("--user"), u("postgres")},
         role.password(),
         2,
         u("corvan: --user postgres is refused: the server authenticated the role %1, and on PostgreSQL the "
           "user "
           "is that role (connect as postgres to work as postgres)")
             .arg(role.name())},
        {{u("--database"), role.urlWithPassword()},
         QString(),
         2,
         u("corvan: the database URL must not hold the password (a program's arguments can be read by anyone "
           "on "
           "the machine); put it in PGPASSWORD or ~/.pgpass")},
        {{u("--database"), role.url()},
         wrongPassword,
         2,
         u("password authentication failed for user \"%1\"").arg(role.name())},
        {{u("--help")}, role.password(), 0, u("--user <name>")},
    };
    for (const Case& c : cases) {
        QProcessEnvironment caseEnv = env;
        caseEnv.insert(u("PGPASSWORD"), c.password);
        const Outcome run = corvan(c.arguments, caseEnv);
        const std::string context = c.arguments.join(u' ').toStdString() + "\n" + run.output.toStdString();
        EXPECT_EQ(run.exitCode, c.exitCode) << context;
        if (c.exitCode != 0) {
            ASSERT_EQ(run.errLines.size(), 1) << context;
            EXPECT_TRUE(run.errLines.first() == c.says || run.errLines.first().contains(c.says)) << context;
        } else {
            EXPECT_TRUE(run.output.contains(c.says)) << context;
        }
        EXPECT_FALSE(run.output.contains(role.password())) << context;
        EXPECT_FALSE(run.output.contains(wrongPassword)) << context;
    }
    QFile traced(trace);
    ASSERT_TRUE(traced.open(QIODevice::ReadOnly));
    const QString lines = QString::fromUtf8(traced.readAll());
    EXPECT_TRUE(lines.contains(u("OPEN\tok\t"))) << lines.toStdString();
    EXPECT_FALSE(lines.contains(role.password()));
    EXPECT_EQ(modeOf(trace), 0600);
}

// The demo on a server: its two users become login roles that can log in over verified TLS.
TEST(CorvanAsServerUser, TheDemoMakesItsUsersLoginRoles)
{
    TestDatabase db(TestDatabase::Contents::Nothing);
    if (!db.isPostgresql())
        GTEST_SKIP() << "needs the PostgreSQL server of the postgresql run";
    QTemporaryDir folder;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const QString password = u("demo-%1").arg(QRandomGenerator::global()->generate64(), 0, 16);
    env.insert(u("HOME"), folder.path());
    env.insert(u("CORVAN_DEMO_PASSWORD"), password);
    const Outcome run =
        corvan({u("--create-demo"), u("--scale"), u("3"), u("--database"), db.location()}, env);
    ASSERT_EQ(run.exitCode, 0) << run.output.toStdString();
    EXPECT_TRUE(run.output.contains(u("\nLogin roles: admin, demo, reviewer\n"))) << run.output.toStdString();
    EXPECT_FALSE(run.output.contains(password));

    DatabaseLocation owner;
    QString error;
    ASSERT_TRUE(DatabaseLocation::parse(db.location(), &owner, &error));
    // Each logs in over TLS with the rights the demo gave it: admin and demo relocate; the
    // reviewer reviews every city's plans, relocates none, and the province requires review.
    const struct {
        const char* user;
        int relocateCities;
        bool relocator;
        int reviewCities;
        bool reviewer;
    } cases[] = {{"admin", 9, true, 0, false}, {"demo", 8, true, 0, false}, {"reviewer", 0, false, 9, true}};
    for (const auto& c : cases) {
        SqlDataService data;
        ASSERT_TRUE(data.open(u("postgresql://%1:%2@%3:%4/%5?sslmode=verify-full&sslrootcert=%6")
                                  .arg(u(c.user), password, owner.hostName())
                                  .arg(owner.port())
                                  .arg(owner.databaseName(), ServerRole::tlsFile(u("root.crt"))),
                              &error))
            << error.toStdString();
        QSqlQuery query(data.database());
        ASSERT_TRUE(query.exec(u("select count(*) filter (where funcno = '13'), "
                                 "pg_has_role(session_user, 'corvan_relocator', 'member'), "
                                 "count(*) filter (where funcno = '14'), "
                                 "pg_has_role(session_user, 'corvan_reviewer', 'member'), "
                                 "(select bool_and(required) from corvan_review_setting) "
                                 "from host_right where username = session_user")) &&
                    query.next())
            << query.lastError().text().toStdString();
        EXPECT_EQ(query.value(0).toInt(), c.relocateCities) << c.user;
        EXPECT_EQ(query.value(1).toBool(), c.relocator) << c.user;
        EXPECT_EQ(query.value(2).toInt(), c.reviewCities) << c.user;
        EXPECT_EQ(query.value(3).toBool(), c.reviewer) << c.user;
        EXPECT_TRUE(query.value(4).toBool()) << c.user;
    }
}

} // namespace
