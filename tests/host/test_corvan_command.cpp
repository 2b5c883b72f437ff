// SPDX-License-Identifier: MIT
// corvan run as a process: what it prints, its exit status, and what it leaves on disk.

#include "data/sql_data_service.h"
#include "support/fixture.h"
#include "support/test_database.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using corvan::host::SqlDataService;
using corvan::test::TestDatabase;

namespace {

struct Outcome {
    int exitCode = -1;
    QString out;
    QString err;
    QStringList errLines() const { return err.split(QLatin1Char('\n'), Qt::SkipEmptyParts); }
};

QString corvanBinary()
{
    const QString folder = qEnvironmentVariable("CORVAN_BIN_DIR");
    if (folder.isEmpty())
        throw std::runtime_error("CORVAN_BIN_DIR is not set; run the suite through ctest");
    return QDir(folder).filePath(QStringLiteral("corvan"));
}

QStringList filesUnder(const QString& folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(folder).relativeFilePath(it.next());
    files.sort();
    return files;
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

qint64 sqliteCount(const QString& path, const QString& table)
{
    SqlDataService service;
    QString error;
    if (!service.open(path, &error)) {
        ADD_FAILURE() << error.toStdString();
        return -1;
    }
    auto set =
        service.OpenRecordset(QStringLiteral("select count(*) from ") + table, QStringLiteral("systemDB"));
    return set ? set->Text(0).toLongLong() : -1;
}

class CorvanCommand : public ::testing::Test {
protected:
    // A home of its own, so that the default database lands where the test can see it.
    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), m_home.path());
        env.insert(QStringLiteral("XDG_DATA_HOME"), m_home.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        return env;
    }

    Outcome corvan(const QStringList& arguments) const { return corvan(arguments, environment()); }

    Outcome corvan(const QStringList& arguments, const QProcessEnvironment& env) const
    {
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(corvanBinary(), arguments);
        Outcome outcome;
        if (!process.waitForFinished(120000)) {
            process.kill();
            process.waitForFinished();
            ADD_FAILURE() << "corvan did not finish: " << arguments.join(QLatin1Char(' ')).toStdString();
            return outcome;
        }
        outcome.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        outcome.out = QString::fromUtf8(process.readAllStandardOutput());
        outcome.err = QString::fromUtf8(process.readAllStandardError());
        return outcome;
    }

    // Exit status 2, one line on stderr that starts "corvan: ", nothing on stdout.
    static void expectFailure(const Outcome& outcome, const QString& context)
    {
        EXPECT_EQ(outcome.exitCode, 2) << context.toStdString();
        ASSERT_EQ(outcome.errLines().size(), 1) << context.toStdString() << "\n" << outcome.err.toStdString();
        EXPECT_TRUE(outcome.err.startsWith(QLatin1String("corvan: "))) << outcome.err.toStdString();
        EXPECT_TRUE(outcome.out.isEmpty()) << outcome.out.toStdString();
    }

    QString defaultDatabase() const
    {
        return m_home.filePath(QStringLiteral("data/corvan/corvan-demo.sqlite"));
    }

    QTemporaryDir m_home;
    QTemporaryDir m_runtime;
};

} // namespace

TEST_F(CorvanCommand, HelpAndVersion)
{
    const Outcome help = corvan({QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.startsWith(QLatin1String("Usage: corvan [options]\n"))) << help.out.toStdString();
    for (const char* option :
         {"--database <location>", "--create-demo", "--scale <rooms>", "--force", "--user <name>",
          "--province <id|name>", "--plugin <path>", "--sql-trace <file>", "--version"})
        EXPECT_TRUE(help.out.contains(QLatin1String(option))) << option;
    EXPECT_TRUE(help.err.isEmpty()) << help.err.toStdString();

    const Outcome version = corvan({QStringLiteral("--version")});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("^corvan \\d+\\.\\d+\\.\\d+\\n$")).match(version.out).hasMatch())
        << version.out.toStdString();
    EXPECT_TRUE(filesUnder(m_home.path()).isEmpty());
}

TEST_F(CorvanCommand, BadOptionsFailBeforeAnythingIsCreated)
{
    const QList<QStringList> commands = {
        {QStringLiteral("--bogus")},
        {QStringLiteral("stray")},
        {QStringLiteral("--database")},
        {QStringLiteral("--create-demo"), QStringLiteral("--scale"), QStringLiteral("0")},
        {QStringLiteral("--create-demo"), QStringLiteral("--scale"), QStringLiteral("1000001")},
        {QStringLiteral("--create-demo"), QStringLiteral("--scale"), QStringLiteral("many")},
        {QStringLiteral("--scale"), QStringLiteral("5")},
        {QStringLiteral("--force")},
        {QStringLiteral("--database"), QStringLiteral("mysql://u@h/db")},
    };
    for (const QStringList& command : commands)
        expectFailure(corvan(command), command.join(QLatin1Char(' ')));

    EXPECT_EQ(corvan({QStringLiteral("--create-demo"), QStringLiteral("--scale"), QStringLiteral("0")}).err,
              QStringLiteral("corvan: --scale must be a whole number from 1 to 1000000, not '0'\n"));
    EXPECT_EQ(corvan({QStringLiteral("--bogus")}).err, QStringLiteral("corvan: Unknown option 'bogus'.\n"));
    EXPECT_TRUE(filesUnder(m_home.path()).isEmpty())
        << filesUnder(m_home.path()).join(QLatin1Char(' ')).toStdString();
}

TEST_F(CorvanCommand, PluginThatDoesNotLoadFailsBeforeTheDatabaseIsCreated)
{
    QTemporaryDir folder;
    const QString notAPlugin = folder.filePath(QStringLiteral("libprjCorvan.so"));
    {
        QFile file(notAPlugin);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("not a shared library\n");
    }
    Outcome outcome = corvan({QStringLiteral("--plugin"), notAPlugin});
    expectFailure(outcome, QStringLiteral("--plugin text file"));
    EXPECT_TRUE(
        outcome.err.startsWith(QStringLiteral("corvan: cannot load the plug-in %1: ").arg(notAPlugin)))
        << outcome.err.toStdString();

    const QString missing = folder.filePath(QStringLiteral("missing.so"));
    outcome = corvan({QStringLiteral("--plugin"), missing, QStringLiteral("--sql-trace"),
                      m_home.filePath(QStringLiteral("trace.txt"))});
    expectFailure(outcome, QStringLiteral("--plugin missing"));
    EXPECT_EQ(outcome.err, QStringLiteral("corvan: the plug-in %1 does not exist\n").arg(missing));

    EXPECT_TRUE(filesUnder(m_home.path()).isEmpty())
        << filesUnder(m_home.path()).join(QLatin1Char(' ')).toStdString();
}

TEST_F(CorvanCommand, NoDisplayIsReportedAfterTheChecksAndCreatesNothing)
{
    QProcessEnvironment headless = environment();
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        headless.remove(QString::fromLatin1(name));

    // A missing database is still told as such, not as a missing display.
    const QString missing = m_home.filePath(QStringLiteral("missing.sqlite"));
    Outcome outcome = corvan({QStringLiteral("--database"), missing}, headless);
    expectFailure(outcome, QStringLiteral("headless, missing database"));
    EXPECT_EQ(outcome.err,
              QStringLiteral("corvan: the database %1 does not exist (make one with --create-demo)\n").arg(missing));

    // The first run would create the demo database; without a display it must not.
    outcome = corvan({}, headless);
    expectFailure(outcome, QStringLiteral("headless first run"));
    EXPECT_EQ(outcome.err, QStringLiteral("corvan: no display to show the main window on (set DISPLAY, or "
                                          "QT_QPA_PLATFORM=offscreen)\n"));
    EXPECT_TRUE(filesUnder(m_home.path()).isEmpty()) << filesUnder(m_home.path()).join(QLatin1Char(' ')).toStdString();

    // Commands that need no window work without a display.
    outcome = corvan({QStringLiteral("--version")}, headless);
    EXPECT_EQ(outcome.exitCode, 0);
}

TEST_F(CorvanCommand, ScreenshotShowsTheChosenRoomWithoutADisplay)
{
    TestDatabase db;
    corvan::test::Fixture::load(db);
    QProcessEnvironment headless = environment();
    headless.remove(QStringLiteral("QT_QPA_PLATFORM"));
    headless.remove(QStringLiteral("DISPLAY"));
    const QString picture = m_home.filePath(QStringLiteral("main.png"));
    // On a server the user is the role logged in; --user may only repeat it.
    Outcome outcome = corvan({QStringLiteral("--database"), db.location(), QStringLiteral("--user"),
                              db.isPostgresql() ? QStringLiteral("postgres") : QStringLiteral("demo"),
                              QStringLiteral("--screenshot"), picture,
                              QStringLiteral("--room"), QStringLiteral("11:一号机房"), QStringLiteral("--tab"),
                              QStringLiteral("1")},
                             headless);
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err.toStdString();
    EXPECT_EQ(outcome.out, QStringLiteral("Saved screenshot: %1\n").arg(picture));
    const QImage image(picture);
    EXPECT_GT(image.width(), 600);
    EXPECT_GT(image.height(), 400);

    for (const QStringList& bad : {QStringList{QStringLiteral("--tab"), QStringLiteral("1")},
                                   QStringList{QStringLiteral("--screenshot"), picture, QStringLiteral("--tab"),
                                               QStringLiteral("3")},
                                   QStringList{QStringLiteral("--screenshot"), picture, QStringLiteral("--room"),
                                               QStringLiteral("一号机房")}}) {
        outcome = corvan(bad);
        expectFailure(outcome, bad.join(QLatin1Char(' ')));
    }
}

TEST_F(CorvanCommand, DatabaseThatCannotBeOpenedIsLeftAlone)
{
    QTemporaryDir folder;
    const QString missing = folder.filePath(QStringLiteral("missing.sqlite"));
    Outcome outcome = corvan({QStringLiteral("--database"), missing});
    expectFailure(outcome, QStringLiteral("missing file"));
    EXPECT_EQ(outcome.err,
              QStringLiteral("corvan: the database %1 does not exist (make one with --create-demo)\n")
                  .arg(missing));

    const QString garbage = folder.filePath(QStringLiteral("garbage.sqlite"));
    const QByteArray garbageBytes(4096, 'x');
    {
        QFile file(garbage);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(garbageBytes);
    }
    outcome = corvan({QStringLiteral("--database"), garbage});
    expectFailure(outcome, QStringLiteral("not a database"));
    EXPECT_TRUE(outcome.err.contains(QLatin1String("file is not a database"))) << outcome.err.toStdString();
    EXPECT_EQ(fileBytes(garbage), garbageBytes);

    // An SQLite database of something else is refused as it is, its journal mode untouched.
    const QString foreign = folder.filePath(QStringLiteral("foreign.sqlite"));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("foreign"));
        db.setDatabaseName(foreign);
        ASSERT_TRUE(db.open());
        QSqlQuery query(db);
        ASSERT_TRUE(query.exec(QStringLiteral("create table notes(body text)")));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("foreign"));
    const QByteArray foreignBytes = fileBytes(foreign);
    outcome = corvan({QStringLiteral("--database"), foreign});
    expectFailure(outcome, QStringLiteral("foreign database"));
    EXPECT_EQ(outcome.err,
              QStringLiteral("corvan: %1 is not a resource database (it has no table com_province)\n")
                  .arg(foreign));
    EXPECT_EQ(fileBytes(foreign), foreignBytes);

    outcome =
        corvan({QStringLiteral("--database"), QStringLiteral("postgresql://postgres@127.0.0.1:1/nothing")});
    expectFailure(outcome, QStringLiteral("no server"));
    EXPECT_TRUE(outcome.err.startsWith(
        QLatin1String("corvan: cannot open the database postgresql://postgres@127.0.0.1:1/nothing: ")))
        << outcome.err.toStdString();

    outcome = corvan({QStringLiteral("--create-demo"), QStringLiteral("--database"),
                      folder.filePath(QStringLiteral("no/such/folder/demo.sqlite"))});
    expectFailure(outcome, QStringLiteral("create in a missing folder"));

    EXPECT_EQ(filesUnder(folder.path()),
              (QStringList{QStringLiteral("foreign.sqlite"), QStringLiteral("garbage.sqlite")}));
    EXPECT_TRUE(filesUnder(m_home.path()).isEmpty())
        << filesUnder(m_home.path()).join(QLatin1Char(' ')).toStdString();
}

TEST_F(CorvanCommand, CreateDemoRefusesAnExistingDatabaseUnlessForced)
{
    const QString engine = TestDatabase::engineFromEnvironment();
    QTemporaryDir folder;
    std::unique_ptr<TestDatabase> server;
    QString location = folder.filePath(QStringLiteral("demo.sqlite"));
    if (engine == QLatin1String("postgresql")) {
        server = std::make_unique<TestDatabase>(TestDatabase::Contents::Nothing);
        location = server->location();
    }
    const auto rooms = [&]() -> qint64 {
        if (server)
            return server->rows(QStringLiteral("select count(*) from res_baseroom")).value(0).toLongLong();
        return sqliteCount(location, QStringLiteral("res_baseroom"));
    };

    Outcome outcome = corvan({QStringLiteral("--create-demo"), QStringLiteral("--scale"), QStringLiteral("3"),
                              QStringLiteral("--database"), location});
    ASSERT_EQ(outcome.exitCode, 0) << outcome.err.toStdString();
    QStringList lines = outcome.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.first(), QStringLiteral("Created demo database: ") + location);
    EXPECT_TRUE(lines.contains(QStringLiteral("  %1 %2").arg(QStringLiteral("res_baseroom"), -24).arg(3)))
        << outcome.out.toStdString();
    EXPECT_TRUE(outcome.err.isEmpty()) << outcome.err.toStdString();
    EXPECT_EQ(rooms(), 3);
    const QByteArray created = server ? QByteArray() : fileBytes(location);

    outcome = corvan({QStringLiteral("--create-demo"), QStringLiteral("--scale"), QStringLiteral("5"),
                      QStringLiteral("--database"), location});
    expectFailure(outcome, QStringLiteral("second --create-demo"));
    EXPECT_TRUE(outcome.err.contains(QLatin1String("--force"))) << outcome.err.toStdString();
    EXPECT_EQ(rooms(), 3);
    if (!server) {
        EXPECT_EQ(fileBytes(location), created);
    }

    // The database is usable as it is: an unknown province is the one thing wrong here.
    outcome =
        corvan({QStringLiteral("--database"), location, QStringLiteral("--province"), QStringLiteral("99")});
    expectFailure(outcome, QStringLiteral("--province 99"));
    EXPECT_EQ(outcome.err, QStringLiteral("corvan: unknown province \"99\"\n"));

    outcome = corvan({QStringLiteral("--create-demo"), QStringLiteral("--scale"), QStringLiteral("4"),
                      QStringLiteral("--force"), QStringLiteral("--database"), location});
    ASSERT_EQ(outcome.exitCode, 0) << outcome.err.toStdString();
    EXPECT_EQ(rooms(), 4);
    if (!server) {
        EXPECT_EQ(filesUnder(folder.path()), QStringList{QStringLiteral("demo.sqlite")});
    }
    EXPECT_TRUE(filesUnder(m_home.path()).isEmpty());
}

TEST_F(CorvanCommand, FirstRunCreatesTheDemoDatabaseAndTracesWhatTheComponentSends)
{
    const QString trace = m_runtime.filePath(QStringLiteral("trace.txt"));
    QProcess process;
    process.setProcessEnvironment(environment());
    process.start(corvanBinary(), {QStringLiteral("--sql-trace"), trace});
    QElapsedTimer timer;
    timer.start();
    QString out;
    // corvan goes on to show its window and waits for the user: wait for the first line
    // and for the main window's first statements, then stop it.
    const auto traced = [&] {
        return fileBytes(trace).contains('\n');
    };
    while ((!out.contains(QLatin1Char('\n')) || !traced()) && timer.elapsed() < 60000 &&
           process.state() != QProcess::NotRunning) {
        process.waitForReadyRead(200);
        out += QString::fromUtf8(process.readAllStandardOutput());
    }
    process.kill();
    process.waitForFinished();
    out += QString::fromUtf8(process.readAllStandardOutput());
    EXPECT_TRUE(out.startsWith(QStringLiteral("Created demo database: %1\n").arg(defaultDatabase())))
        << out.toStdString() << process.readAllStandardError().toStdString();
    EXPECT_EQ(sqliteCount(defaultDatabase(), QStringLiteral("res_baseroom")), 1000);

    const QStringList lines =
        QString::fromUtf8(fileBytes(trace)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_FALSE(lines.isEmpty()) << "the component sent nothing to the data service";
    const QRegularExpression format(QStringLiteral("^((OPEN\t(ok\t\\d+|fail\t-)|EXEC\t(ok|fail)\t-)\t[^\t\r]+"
                                                   "|(BEGIN|COMMIT|ROLLBACK)\t(ok|fail)\t-\t)$"));
    for (const QString& line : lines)
        EXPECT_TRUE(format.match(line).hasMatch()) << line.toStdString();
}
