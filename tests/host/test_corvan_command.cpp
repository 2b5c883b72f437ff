// SPDX-License-Identifier: MIT
// corvan run as a process: what it prints, its exit status, and what it leaves on disk.

#include "files.h"
#include "support/fixture.h"
#include "support/plan_fixture.h"
#include "support/test_database.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using corvan::test::TestDatabase;
using namespace corvan::test;

namespace {

struct Outcome {
    int exitCode = -1;
    QString out;
    QString err;
};

QString corvanBinary()
{
    const QString folder = qEnvironmentVariable("CORVAN_BIN_DIR");
    if (folder.isEmpty())
        throw std::runtime_error("CORVAN_BIN_DIR is not set; run the suite through ctest");
    return QDir(folder).filePath(u"corvan"_s);
}

qint64 sqliteCount(const QString& path, const QString& table)
{
    return TestDatabase(path).rows(u"select count(*) from "_s + table).value(0).toLongLong();
}

class CorvanCommand : public ::testing::Test {
protected:
    // A home of its own, so that the default database lands where the test can see it.
    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"HOME"_s, m_home.path());
        env.insert(u"XDG_DATA_HOME"_s, m_home.filePath(u"data"_s));
        env.insert(u"XDG_RUNTIME_DIR"_s, m_runtime.path());
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        return env;
    }

    QProcessEnvironment headless() const
    {
        QProcessEnvironment env = environment();
        for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            env.remove(QString::fromLatin1(name));
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
            ADD_FAILURE() << "corvan did not finish: " << arguments.join(u' ').toStdString();
            return outcome;
        }
        outcome.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        outcome.out = QString::fromUtf8(process.readAllStandardOutput());
        outcome.err = QString::fromUtf8(process.readAllStandardError());
        return outcome;
    }

    // Exit status 2, one line on stderr that starts "corvan: " and, when told, is the message
    // given (one ending in a line break) or starts with it; nothing on stdout.
    static void expectFailure(const Outcome& outcome, const QString& context, const QString& message = {})
    {
        const std::string what = context.toStdString() + "\n" + outcome.err.toStdString();
        EXPECT_EQ(outcome.exitCode, 2) << what;
        ASSERT_EQ(outcome.err.split(u'\n', Qt::SkipEmptyParts).size(), 1) << what;
        EXPECT_TRUE(outcome.err.startsWith(u"corvan: "_s)) << what;
        if (message.endsWith(u'\n'))
            EXPECT_EQ(outcome.err, message) << what;
        else
            EXPECT_TRUE(outcome.err.startsWith(message)) << what;
        EXPECT_TRUE(outcome.out.isEmpty()) << outcome.out.toStdString();
    }

    void expectEmptyHome() const { EXPECT_EQ(entriesUnder(m_home.path()), QStringList()); }

    QTemporaryDir m_home;
    QTemporaryDir m_runtime;
};

} // namespace

TEST_F(CorvanCommand, HelpAndVersion)
{
    const Outcome help = corvan({u"--help"_s});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.startsWith(u"Usage: corvan [options] [plan WHAT FILE|CODE]\n"_s))
        << help.out.toStdString();
    for (const char* option : {"--database <location>", "--create-demo", "--scale <rooms>", "--force",
                               "--user <name>", "--province <id|name>", "--plugin <path>",
                               "--sql-trace <file>", "--version", "--report <file>", "--upgrade-database"})
        EXPECT_TRUE(help.out.contains(QLatin1String(option))) << option;
    EXPECT_TRUE(help.err.isEmpty()) << help.err.toStdString();

    // Commands that need no window work without a display.
    const Outcome version = corvan({u"--version"_s}, headless());
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(QRegularExpression(u"^corvan \\d+\\.\\d+\\.\\d+\\n$"_s).match(version.out).hasMatch())
        << version.out.toStdString();
    expectEmptyHome();
}

TEST_F(CorvanCommand, BadCommandsFailBeforeAnythingIsCreated)
{
    QTemporaryDir folder;
    const auto file = [&folder](const QString& name) {
        return folder.filePath(name);
    };
    const QString notAPlugin = file(u"libprjCorvan.so"_s);
    writeFile(notAPlugin, "not a shared library\n");
    const QByteArray garbage(4096, 'x');
    writeFile(file(u"garbage.sqlite"_s), garbage);
    // An SQLite database of something else is refused as it is, its journal mode untouched.
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"foreign"_s);
        db.setDatabaseName(file(u"foreign.sqlite"_s));
        ASSERT_TRUE(db.open());
        ASSERT_TRUE(QSqlQuery(db).exec(u"create table notes(body text)"_s));
        db.close();
    }
    QSqlDatabase::removeDatabase(u"foreign"_s);
    const QByteArray foreign = fileBytes(file(u"foreign.sqlite"_s));
    const QString picture = m_home.filePath(u"main.png"_s);
    const QString noServer = u"postgresql://postgres@127.0.0.1:1/nothing"_s;

    const QList<std::pair<QStringList, QString>> commands = {
        {{u"--bogus"_s}, u"corvan: Unknown option 'bogus'.\n"_s},
        {{u"stray"_s}, {}},
        {{u"--database"_s}, {}},
        {{u"--create-demo"_s, u"--scale"_s, u"0"_s},
         u"corvan: --scale must be a whole number from 1 to 1000000, not '0'\n"_s},
        {{u"--create-demo"_s, u"--scale"_s, u"1000001"_s}, {}},
        {{u"--create-demo"_s, u"--scale"_s, u"many"_s}, {}},
        {{u"--scale"_s, u"5"_s}, {}},
        {{u"--force"_s}, {}},
        {{u"--database"_s, u"mysql://u@h/db"_s}, {}},
        {{u"--tab"_s, u"1"_s}, {}},
        {{u"--screenshot"_s, picture, u"--tab"_s, u"3"_s}, {}},
        {{u"--screenshot"_s, picture, u"--room"_s, u"一号机房"_s}, {}},
        // A plug-in that does not load fails before the database is created.
        {{u"--plugin"_s, notAPlugin}, u"corvan: cannot load the plug-in %1: "_s.arg(notAPlugin)},
        {{u"--plugin"_s, file(u"missing.so"_s), u"--sql-trace"_s, m_home.filePath(u"trace.txt"_s)},
         u"corvan: the plug-in %1 does not exist\n"_s.arg(file(u"missing.so"_s))},
        // A database that cannot be opened is left alone.
        {{u"--database"_s, file(u"missing.sqlite"_s)},
         u"corvan: the database %1 does not exist (make one with --create-demo)\n"_s.arg(
             file(u"missing.sqlite"_s))},
        {{u"--database"_s, file(u"garbage.sqlite"_s)},
         u"corvan: cannot open the database %1: file is not a database"_s.arg(file(u"garbage.sqlite"_s))},
        {{u"--database"_s, file(u"foreign.sqlite"_s)},
         u"corvan: %1 is not a resource database (it has no table com_province)\n"_s.arg(
             file(u"foreign.sqlite"_s))},
        {{u"--database"_s, noServer}, u"corvan: cannot open the database %1: "_s.arg(noServer)},
        {{u"--create-demo"_s, u"--database"_s, file(u"no/such/folder/demo.sqlite"_s)}, {}},
        {{u"plan"_s, u"reverse"_s},
         u"corvan: plan takes template, check, apply or submit and one file; reverse, show, review, withdraw "
         u"or apply and one code; or list: corvan plan check FILE, corvan plan reverse CODE, corvan plan list\n"_s},
        {{u"plan"_s, u"review"_s, u"R1"_s},
         u"corvan: plan review takes --approve or --return (with --comment)\n"_s},
        {{u"plan"_s, u"list"_s, u"--comment"_s, u"x"_s},
         u"corvan: --comment is only used with plan review or plan withdraw\n"_s},
        {{u"plan"_s, u"check"_s, file(u"p.csv"_s), u"--review"_s, u"R1"_s},
         u"corvan: --review takes a review's code, and only with plan submit\n"_s},
        {{u"plan"_s, u"reverse"_s, u"1"_s, u"--report"_s, file(u"r.xlsx"_s)},
         u"corvan: --report takes a file, and only with plan check or plan apply\n"_s},
    };
    for (const auto& [arguments, message] : commands)
        expectFailure(corvan(arguments), arguments.join(u' '), message);

    EXPECT_EQ(fileBytes(file(u"garbage.sqlite"_s)), garbage);
    EXPECT_EQ(fileBytes(file(u"foreign.sqlite"_s)), foreign);
    EXPECT_EQ(entriesUnder(folder.path()),
              (QStringList{u"foreign.sqlite"_s, u"garbage.sqlite"_s, u"libprjCorvan.so"_s}));
    expectEmptyHome();
}

TEST_F(CorvanCommand, NoDisplayIsReportedAfterTheChecksAndCreatesNothing)
{
    // A missing database is still told as such, not as a missing display.
    const QString missing = m_home.filePath(u"missing.sqlite"_s);
    expectFailure(corvan({u"--database"_s, missing}, headless()), u"headless, missing database"_s,
                  u"corvan: the database %1 does not exist (make one with --create-demo)\n"_s.arg(missing));
    // The first run would create the demo database; without a display it must not.
    expectFailure(
        corvan({}, headless()), u"headless first run"_s,
        u"corvan: no display to show the main window on (set DISPLAY, or QT_QPA_PLATFORM=offscreen)\n"_s);
    expectEmptyHome();
}

TEST_F(CorvanCommand, ScreenshotShowsTheChosenRoomWithoutADisplay)
{
    TestDatabase db;
    corvan::test::Fixture::load(db);
    const QString picture = m_home.filePath(u"main.png"_s);
    // On a server the user is the role logged in; --user may only repeat it.
    const Outcome outcome =
        corvan({u"--database"_s, db.location(), u"--user"_s, db.isPostgresql() ? u"postgres"_s : u"demo"_s,
                u"--screenshot"_s, picture, u"--room"_s, u"11:一号机房"_s, u"--tab"_s, u"1"_s},
               headless());
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err.toStdString();
    EXPECT_EQ(outcome.out, u"Saved screenshot: %1\n"_s.arg(picture));
    const QImage image(picture);
    EXPECT_GT(image.width(), 600);
    EXPECT_GT(image.height(), 400);
}

TEST_F(CorvanCommand, CreateDemoRefusesAnExistingDatabaseUnlessForced)
{
    QTemporaryDir folder;
    std::unique_ptr<TestDatabase> server;
    QString location = folder.filePath(u"demo.sqlite"_s);
    if (TestDatabase::engineFromEnvironment() == u"postgresql"_s) {
        server = std::make_unique<TestDatabase>(TestDatabase::Contents::Nothing);
        location = server->location();
    }
    const auto rooms = [&]() -> qint64 {
        if (server)
            return server->rows(u"select count(*) from res_baseroom"_s).value(0).toLongLong();
        return sqliteCount(location, u"res_baseroom"_s);
    };
    const auto create = [&](const QString& scale, const QStringList& more = {}) {
        return corvan(QStringList{u"--create-demo"_s, u"--scale"_s, scale} + more +
                      QStringList{u"--database"_s, location});
    };

    Outcome outcome = create(u"3"_s);
    ASSERT_EQ(outcome.exitCode, 0) << outcome.err.toStdString();
    const QStringList lines = outcome.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.first(), u"Created demo database: "_s + location);
    EXPECT_TRUE(lines.contains(u"  %1 %2"_s.arg(u"res_baseroom"_s, -24).arg(3))) << outcome.out.toStdString();
    EXPECT_TRUE(outcome.err.isEmpty()) << outcome.err.toStdString();
    EXPECT_EQ(rooms(), 3);
    const QByteArray created = server ? QByteArray() : fileBytes(location);

    outcome = create(u"5"_s);
    expectFailure(outcome, u"second --create-demo"_s);
    EXPECT_TRUE(outcome.err.contains(u"--force"_s)) << outcome.err.toStdString();
    EXPECT_EQ(rooms(), 3);
    if (!server) {
        EXPECT_EQ(fileBytes(location), created);
    }

    // The database is usable as it is: an unknown province is the one thing wrong here.
    expectFailure(corvan({u"--database"_s, location, u"--province"_s, u"99"_s}), u"--province 99"_s,
                  u"corvan: unknown province \"99\"\n"_s);

    outcome = create(u"4"_s, {u"--force"_s});
    ASSERT_EQ(outcome.exitCode, 0) << outcome.err.toStdString();
    EXPECT_EQ(rooms(), 4);
    if (!server) {
        EXPECT_EQ(entriesUnder(folder.path()), QStringList{u"demo.sqlite"_s});
    }
    expectEmptyHome();
}

TEST_F(CorvanCommand, FirstRunCreatesTheDemoDatabaseAndTracesWhatTheComponentSends)
{
    const QString trace = m_runtime.filePath(u"trace.txt"_s);
    QProcess process;
    process.setProcessEnvironment(environment());
    process.start(corvanBinary(), {u"--sql-trace"_s, trace});
    QElapsedTimer timer;
    timer.start();
    QString out;
    // corvan goes on to show its window and waits for the user: wait for the first line
    // and for the main window's first statements, then stop it.
    while ((!out.contains(u'\n') || !fileBytes(trace).contains('\n')) && timer.elapsed() < 60000 &&
           process.state() != QProcess::NotRunning) {
        process.waitForReadyRead(200);
        out += QString::fromUtf8(process.readAllStandardOutput());
    }
    process.kill();
    process.waitForFinished();
    out += QString::fromUtf8(process.readAllStandardOutput());
    const QString database = m_home.filePath(u"data/corvan/corvan-demo.sqlite"_s);
    EXPECT_TRUE(out.startsWith(u"Created demo database: %1\n"_s.arg(database)))
        << out.toStdString() << process.readAllStandardError().toStdString();
    EXPECT_EQ(sqliteCount(database, u"res_baseroom"_s), 1000);

    const QStringList lines = QString::fromUtf8(fileBytes(trace)).split(u'\n', Qt::SkipEmptyParts);
    ASSERT_FALSE(lines.isEmpty()) << "the component sent nothing to the data service";
    const QRegularExpression format(u"^((OPEN\t(ok\t\\d+|fail\t-)|EXEC\t(ok|fail)\t-)\t[^\t\r]+"
                                    u"|(BEGIN|COMMIT|ROLLBACK)\t(ok|fail)\t-\t)$"_s);
    for (const QString& line : lines)
        EXPECT_TRUE(format.match(line).hasMatch()) << line.toStdString();
}

TEST_F(CorvanCommand, PlanTemplateCheckAndApplyWithoutAWindow)
{
    QTemporaryDir folder;
    const QString database = folder.filePath(u"plan.sqlite"_s);
    ASSERT_EQ(corvan({u"--create-demo"_s, u"--database"_s, database, u"--scale"_s, u"120"_s}).exitCode, 0);
    const auto planAs = [&](const QString& user, const QStringList& arguments) {
        return corvan(QStringList{u"plan"_s} + arguments +
                          QStringList{u"--database"_s, database, u"--user"_s, user},
                      headless());
    };
    const auto plan = [&](const QStringList& arguments) {
        return planAs(u"admin"_s, arguments);
    };
    const QString made = folder.filePath(u"模板.xlsx"_s);
    const Outcome written = plan({u"template"_s, made});
    EXPECT_EQ(written.exitCode, 0) << written.err.toStdString();
    EXPECT_TRUE(written.out.startsWith(u"计划模板已写入："_s)) << written.out.toStdString();

    // The demo's province requires review: a file is not applied as it stands.
    const Outcome unreviewed = plan({u"apply"_s, made});
    EXPECT_EQ(unreviewed.exitCode, 1);
    EXPECT_TRUE(unreviewed.err.contains(u"请先提交审核：corvan plan submit "_s))
        << unreviewed.err.toStdString();
    EXPECT_EQ(sqliteCount(database, u"corvan_plan"_s), 0);
    TestDatabase(database).exec(u"delete from corvan_review_setting"_s);

    // The template's example row passes; a CSV row naming no BTS is refused, and nothing is written.
    const Outcome checked = plan({u"check"_s, made});
    EXPECT_EQ(checked.exitCode, 0) << checked.out.toStdString() << checked.err.toStdString();
    EXPECT_TRUE(checked.out.startsWith(u"第 2 行\t"_s)) << checked.out.toStdString();
    EXPECT_TRUE(checked.out.contains(u"\t可以调整\n共 1 行：可以调整 1 行，不能调整 0 行；"_s))
        << checked.out.toStdString();
    const QString bad = folder.filePath(u"bad.csv"_s);
    writeFile(bad, u"网络类型,所属地市,基站编号,目标机房名称\r\nG,云州市,9999999,某机房\r\n"_s.toUtf8());
    const Outcome refused = plan({u"check"_s, bad});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.out, u"第 2 行\tG\t9999999\t → 某机房\t找不到编号为 9999999 的G网基站\n共 1 "
                           u"行：可以调整 0 行，不能调整 1 行；"
                           u"将删除小区 0 个、天线 0 个、馈线 0 个\n"_s);
    EXPECT_EQ(plan({u"apply"_s, bad}).exitCode, 1);
    EXPECT_EQ(sqliteCount(database, u"corvan_plan"_s), 0);

    // A file that is no plan, and a plan command without a file: status 2.
    EXPECT_EQ(plan({u"check"_s, folder.filePath(u"none.csv"_s)}).exitCode, 2);
    EXPECT_EQ(plan({u"check"_s}).exitCode, 2);

    // Applied with a report: one plan, one record, the report beside it, and the plan's code.
    const QString report = folder.filePath(u"结果.xlsx"_s);
    const qint64 records = sqliteCount(database, u"h_btsdispatch"_s);
    const QStringList before = PlanFixture::resources(*std::make_unique<TestDatabase>(database));
    const Outcome applied = plan({u"apply"_s, made, u"--report"_s, report});
    EXPECT_EQ(applied.exitCode, 0) << applied.out.toStdString() << applied.err.toStdString();
    EXPECT_TRUE(applied.out.contains(u"计划执行成功：调整基站 1 个"_s)) << applied.out.toStdString();
    EXPECT_EQ(sqliteCount(database, u"corvan_plan"_s), 1);
    EXPECT_EQ(sqliteCount(database, u"h_btsdispatch"_s), records + 1);
    EXPECT_TRUE(QFileInfo::exists(report));
    TestDatabase after(database);
    const QString code = after.rows(u"select plancode from corvan_plan"_s).value(0);
    EXPECT_TRUE(applied.out.endsWith(u"\n计划编号：%1（撤销整个计划：corvan plan reverse %1）\n"_s.arg(code)))
        << applied.out.toStdString();

    // Reversed by its code: the row, the record its journal entry says reversed it, the
    // resources as they were; once reversed, neither its code nor its record's reverses it again.
    const Outcome reversed = plan({u"reverse"_s, code});
    EXPECT_EQ(reversed.exitCode, 0) << reversed.err.toStdString();
    const QStringList entry =
        after.rows(u"select discode,net,basecode,reversedby from corvan_journal order by discode"_s)
            .value(0)
            .split(u'|');
    EXPECT_EQ(reversed.out, u"第 2 行\t%1\t%2\t%3\t撤销记录 %4\n计划撤销成功：撤销调整 1 个\n"_s.arg(
                                entry.value(1), entry.value(2), entry.value(0), entry.value(3)));
    EXPECT_EQ(PlanFixture::resources(after), before);
    for (const QString& again : {code, entry.value(0)}) {
        const Outcome twice = plan({u"reverse"_s, again});
        EXPECT_EQ(twice.exitCode, 1);
        EXPECT_EQ(twice.err, u"计划 %1 的调整都已撤销，不能再次撤销。\n"_s.arg(code));
    }
    const Outcome unknown = plan({u"reverse"_s, u"9'9"_s});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_EQ(unknown.err, u"“9'9”既不是批量调整计划的编号，也不是计划中调整的记录编号\n"_s);

    // With review on again, the same file goes through its whole life from the command line:
    // each step is taken by whom it may be, in the order the review allows, and nothing else.
    TestDatabase(database).exec(u"insert into corvan_review_setting(pro_id, required) values ('4', 1)"_s);
    const qint64 plans = sqliteCount(database, u"corvan_plan"_s);
    const struct {
        QString user;
        QStringList arguments;
        int exitCode;
        QString said; // the last line on standard output (status 0) or standard error
    } life[] = {
        {u"admin"_s, {u"submit"_s, made}, 0, u"计划已提交审核：R1（第 1 版，1 行）"_s},
        {u"admin"_s, {u"review"_s, u"R1"_s, u"--approve"_s}, 1, u"不能审核自己提交的计划"_s},
        {u"demo"_s, {u"review"_s, u"R1"_s, u"--approve"_s}, 1, u"没有审核这些地市计划的权限："_s},
        {u"reviewer"_s,
         {u"review"_s, u"R1"_s, u"--return"_s, u"--comment"_s, u" "_s},
         1,
         u"退回计划须写明原因"_s},
        {u"admin"_s, {u"apply"_s, u"R1"_s}, 1, u"该计划待审核，不能执行"_s},
        {u"reviewer"_s,
         {u"review"_s, u"R1"_s, u"--return"_s, u"--comment"_s, u"请核对目标机房"_s},
         0,
         u"计划 R1 已退回"_s},
        {u"admin"_s, {u"apply"_s, u"R1"_s}, 1, u"该计划已退回，不能执行"_s},
        {u"demo"_s, {u"submit"_s, made, u"--review"_s, u"R1"_s}, 1, u"只有计划的提交人 admin 能提交"_s},
        {u"admin"_s,
         {u"submit"_s, made, u"--review"_s, u"R1"_s},
         0,
         u"计划已提交审核：R1（第 2 版，1 行）"_s},
        {u"reviewer"_s, {u"review"_s, u"R1"_s, u"--approve"_s}, 0, u"计划 R1 已批准"_s},
        {u"reviewer"_s, {u"review"_s, u"R1"_s, u"--approve"_s}, 1, u"该计划已批准，不能批准"_s},
        {u"admin"_s, {u"apply"_s, u"R2"_s}, 1, u"没有审核计划 R2，不能执行"_s},
        {u"admin"_s, {u"apply"_s, u"R1"_s}, 0, u"（撤销整个计划：corvan plan reverse "_s},
        {u"admin"_s, {u"apply"_s, u"R1"_s}, 1, u"该计划已执行，不能执行"_s},
        {u"admin"_s, {u"list"_s, u"--state"_s, u"applied"_s}, 0, u"共 1 个"_s},
        {u"admin"_s, {u"list"_s, u"--state"_s, u"done"_s}, 2, u"没有“done”这种状态："_s},
    };
    for (const auto& step : life) {
        const Outcome got = planAs(step.user, step.arguments);
        const QString said = (got.exitCode == 0 ? got.out : got.err).trimmed().section(u'\n', -1);
        EXPECT_EQ(got.exitCode, step.exitCode) << step.arguments.join(u' ').toStdString() << "\n"
                                               << got.out.toStdString() << got.err.toStdString();
        EXPECT_TRUE(said.contains(step.said))
            << step.user.toStdString() << ": " << step.arguments.join(u' ').toStdString() << " said "
            << said.toStdString();
    }
    EXPECT_EQ(sqliteCount(database, u"corvan_plan"_s), plans + 1);
    TestDatabase reviewed(database);
    EXPECT_EQ(
        reviewed.rows(u"select step, version, action, actor, coalesce(comment, '') from corvan_review_log "
                      u"where reviewno = 1 order by step"_s),
        (QStringList{u"1|1|submit|admin|"_s, u"2|1|return|reviewer|请核对目标机房"_s, u"3|2|submit|admin|"_s,
                     u"4|2|approve|reviewer|"_s, u"5|2|apply|admin|"_s}));
    const QString reviewedPlan =
        reviewed.rows(u"select plancode from corvan_review_log where step = 5"_s).value(0);
    const Outcome shown = plan({u"show"_s, u"R1"_s});
    EXPECT_TRUE(shown.out.contains(u"状态：已执行\n提交人：admin"_s)) << shown.out.toStdString();
    EXPECT_TRUE(shown.out.contains(u"第 5 步\t第 2 版\t执行\tadmin\t"_s + QString()))
        << shown.out.toStdString();
    EXPECT_TRUE(shown.out.contains(u"\t计划编号 "_s + reviewedPlan)) << shown.out.toStdString();
    EXPECT_EQ(plan({u"reverse"_s, reviewedPlan}).exitCode, 0);
    EXPECT_EQ(
        reviewed.rows(u"select action, plancode from corvan_review_log where reviewno = 1 and step = 6"_s),
        QStringList{u"reverse|"_s + reviewedPlan});
}
