// SPDX-License-Identifier: MIT
#include "command_line.h"

namespace corvan::host {

CommandLine::CommandLine()
    : m_databaseOption(QStringLiteral("database"),
                       QStringLiteral("The resource database: a file path, sqlite:PATH, or "
                                      "postgresql://USER@HOST:PORT/NAME, optionally followed by libpq "
                                      "connection parameters such as "
                                      "?sslmode=verify-full&sslrootcert=FILE. The password goes in "
                                      "PGPASSWORD or ~/.pgpass, never in the URL. Default: the demo database "
                                      "in the user's data folder, created on first run."),
                       QStringLiteral("location")),
      m_createDemoOption(QStringLiteral("create-demo"),
                         QStringLiteral("Create the demo database at --database (or the default place), "
                                        "print its row counts and exit. On PostgreSQL its users demo and "
                                        "admin become login roles, with the password in CORVAN_DEMO_PASSWORD "
                                        "(none when it is not set).")),
      m_scaleOption(QStringLiteral("scale"),
                    QStringLiteral("With --create-demo: the number of machine rooms, 1 to 1000000 "
                                   "(default 1000)."),
                    QStringLiteral("rooms")),
      m_forceOption(QStringLiteral("force"),
                    QStringLiteral("With --create-demo: replace a database that already exists.")),
      m_userOption(QStringLiteral("user"),
                   QStringLiteral("The user whose rights apply and who is recorded (default: the login "
                                  "name). On PostgreSQL the user is the role the server authenticated, and "
                                  "--user may only repeat its name."),
                   QStringLiteral("name")),
      m_provinceOption(QStringLiteral("province"),
                       QStringLiteral("The province, by pro_id or name (default: the first one in the "
                                      "database)."),
                       QStringLiteral("id|name")),
      m_pluginOption(
          QStringLiteral("plugin"),
          QStringLiteral("The component plug-in (default: libprjCorvan.so in $CORVAN_PLUGIN_DIR, "
                         "else in ../plugins beside corvan, else in the installed plug-in folder)."),
          QStringLiteral("path")),
      m_sqlTraceOption(QStringLiteral("sql-trace"),
                       QStringLiteral("Append one line per call that reaches the data service to this file "
                                      "(a new file is readable by you only)."),
                       QStringLiteral("file")),
      m_readDatabaseOption(
          QStringLiteral("read-database"),
          QStringLiteral("A standby of the PostgreSQL database (same URL form as --database) that answers "
                         "the history window's list, chart and exports while it is no more than "
                         "--read-delay behind; nothing that a write depends on is read there."),
          QStringLiteral("url")),
      m_readDelayOption(QStringLiteral("read-delay"),
                        QStringLiteral("How far behind its primary the --read-database standby may be, in "
                                       "milliseconds (default 5000)."),
                        QStringLiteral("ms")),
      m_screenshotOption(
          QStringLiteral("screenshot"),
          QStringLiteral("Show the main window, save a PNG picture of it to this file and exit."),
          QStringLiteral("file")),
      m_roomOption(QStringLiteral("room"),
                   QStringLiteral("With --screenshot: the room on show, as CITY_ID:ROOM_NAME."),
                   QStringLiteral("city:name")),
      m_tabOption(QStringLiteral("tab"),
                  QStringLiteral("With --screenshot: the network tab chosen, 0 (G), 1 (C) or 2 (D)."),
                  QStringLiteral("n")),
      m_upgradeOption(QStringLiteral("upgrade-database"),
                      QStringLiteral("Bring the database's schema up to this corvan's version and exit (done "
                                     "anyway when corvan opens an older database, if the user may change its "
                                     "schema).")),
      m_reportOption(
          QStringLiteral("report"),
          QStringLiteral("With plan check or plan apply: also write the result of every row to this "
                         ".xlsx workbook."),
          QStringLiteral("file")),
      m_reviewOption(QStringLiteral("review"),
                     QStringLiteral("With plan submit: submit the file as the next version of this review "
                                    "(its author's, after a return or a withdrawal)."),
                     QStringLiteral("code")),
      m_stateOption(
          QStringLiteral("state"),
          QStringLiteral("With plan list: only the reviews in this state: waiting (待审核), approved "
                         "(已批准), returned (已退回), withdrawn (已撤回), applied (已执行) or reversed "
                         "(已撤销)."),
          QStringLiteral("state")),
      m_approveOption(QStringLiteral("approve"), QStringLiteral("With plan review: approve the plan.")),
      m_returnOption(QStringLiteral("return"),
                     QStringLiteral("With plan review: return the plan to its author (--comment says why).")),
      m_commentOption(
          QStringLiteral("comment"),
          QStringLiteral("With plan review or plan withdraw: the comment kept in the review's log."),
          QStringLiteral("text")),
      m_helpOption(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                   QStringLiteral("Show this help and exit.")),
      m_versionOption(QStringLiteral("version"), QStringLiteral("Show the version and exit."))
{
    setUpParser();
}

void CommandLine::setUpParser()
{
    m_parser.setApplicationDescription(QStringLiteral(
        "The reference host of the BTS relocation component: opens the resource database, "
        "loads the component and shows its main window.\n\n"
        "corvan plan template FILE      write a relocation plan template (.xlsx)\n"
        "corvan plan check FILE         check a plan (.xlsx or .csv): one line per row\n"
        "corvan plan apply FILE         check it and, when every row passes, apply it in one "
        "commit\n"
        "corvan plan reverse CODE       reverse an applied plan as one, last row first in one "
        "transaction; CODE is the plan's code or the record code of any relocation in it\n"
        "corvan plan submit FILE        check a plan and, when every row passes, submit it for review "
        "(--review R: as the next version of R)\n"
        "corvan plan list               the reviews, newest first (--state S: in that state only)\n"
        "corvan plan show R             a review: its rows, their verdicts at submission, its log\n"
        "corvan plan review R           --approve, or --return --comment TEXT: a reviewer's decision\n"
        "corvan plan withdraw R         the author takes the plan back from review\n"
        "corvan plan apply R            apply an approved review from its stored rows, checked again "
        "(a FILE that exists is applied as above)\n"
        "Exit status of plan: 0 every row passes (or the plan was applied, reversed, submitted or "
        "reviewed), 1 a row is refused or the work was refused or failed (nothing written), 2 a file or "
        "usage error or an unknown code."));
    m_parser.addPositionalArgument(QStringLiteral("plan"),
                                   QStringLiteral("plan template|check|apply|submit FILE, plan "
                                                  "reverse|show|review|withdraw|apply CODE, or plan list"),
                                   QStringLiteral("[plan WHAT FILE|CODE]"));
    m_parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    m_parser.addOptions({m_databaseOption,     m_createDemoOption, m_scaleOption,      m_forceOption,
                         m_userOption,         m_provinceOption,   m_pluginOption,     m_sqlTraceOption,
                         m_readDatabaseOption, m_readDelayOption,  m_screenshotOption, m_roomOption,
                         m_tabOption,          m_upgradeOption,    m_reportOption,     m_reviewOption,
                         m_stateOption,        m_approveOption,    m_returnOption,     m_commentOption,
                         m_helpOption,         m_versionOption});
}

bool CommandLine::parsePlan(const QStringList& positional, PlanWork* work, QString* file, QString* error)
{
    // In the order of PlanWork.
    static const QStringList works{
        QStringLiteral("template"), QStringLiteral("check"),  QStringLiteral("apply"),
        QStringLiteral("reverse"),  QStringLiteral("submit"), QStringLiteral("list"),
        QStringLiteral("show"),     QStringLiteral("review"), QStringLiteral("withdraw")};
    const qsizetype which = works.indexOf(positional.value(1));
    const bool list = which == qsizetype(PlanWork::List);
    if (which < 0 || positional.size() != (list ? 2 : 3) || (!list && positional.at(2).trimmed().isEmpty())) {
        if (error)
            *error =
                QStringLiteral("plan takes template, check, apply or submit and one file; reverse, show, "
                               "review, withdraw or apply and one code; or list: corvan plan check FILE, "
                               "corvan plan reverse CODE, corvan plan list");
        return false;
    }
    *work = PlanWork(which);
    *file = positional.value(2);
    return true;
}

bool CommandLine::parse(const QStringList& arguments, QString* error)
{
    if (!m_parser.parse(arguments))
        return fail(error, m_parser.errorText());
    const QStringList positional = m_parser.positionalArguments();
    const bool plan = !positional.isEmpty() && positional.constFirst() == QLatin1String("plan");
    if (!positional.isEmpty() && !plan)
        return fail(error,
                    QStringLiteral("unexpected argument '%1' (see --help)").arg(positional.constFirst()));

    if (m_parser.isSet(m_helpOption)) {
        m_action = Action::Help;
        return true;
    }
    if (m_parser.isSet(m_versionOption)) {
        m_action = Action::Version;
        return true;
    }

    const bool createDemo = m_parser.isSet(m_createDemoOption);
    const bool upgrade = m_parser.isSet(m_upgradeOption);
    m_action = createDemo ? Action::CreateDemo
               : upgrade  ? Action::UpgradeDatabase
               : plan     ? Action::Plan
                          : Action::Run;
    if (int(createDemo) + int(upgrade) + int(plan) > 1)
        return fail(error, QStringLiteral("plan, --create-demo and --upgrade-database each go alone"));
    if (plan && !parsePlan(positional, &m_planWork, &m_planFile, error))
        return false;
    m_report = m_parser.value(m_reportOption);
    if (m_parser.isSet(m_reportOption) && (!plan || m_planWork == PlanWork::Template ||
                                           m_planWork == PlanWork::Reverse || m_report.trimmed().isEmpty()))
        return fail(error, QStringLiteral("--report takes a file, and only with plan check or plan apply"));
    if (!parseReview(plan, error))
        return false;
    m_force = m_parser.isSet(m_forceOption);
    m_user = m_parser.value(m_userOption);
    m_province = m_parser.value(m_provinceOption);
    if (!parseConnection(error))
        return false;
    if (!createDemo && m_parser.isSet(m_scaleOption))
        return fail(error, QStringLiteral("--scale is only used with --create-demo"));
    if (!createDemo && m_force)
        return fail(error, QStringLiteral("--force is only used with --create-demo"));
    return parseScreenshot(createDemo || upgrade || plan, error) && parseScale(error);
}

bool CommandLine::parseReview(bool plan, QString* error)
{
    const auto with = [&](PlanWork work) {
        return plan && m_planWork == work;
    };
    m_review = m_parser.value(m_reviewOption);
    m_state = m_parser.value(m_stateOption);
    m_comment = m_parser.value(m_commentOption);
    if (m_parser.isSet(m_reviewOption) && (!with(PlanWork::Submit) || m_review.trimmed().isEmpty()))
        return fail(error, QStringLiteral("--review takes a review's code, and only with plan submit"));
    if (m_parser.isSet(m_stateOption) && (!with(PlanWork::List) || m_state.trimmed().isEmpty()))
        return fail(error, QStringLiteral("--state takes a state, and only with plan list"));
    if (m_parser.isSet(m_commentOption) && !with(PlanWork::Review) && !with(PlanWork::Withdraw))
        return fail(error, QStringLiteral("--comment is only used with plan review or plan withdraw"));
    const bool approve = m_parser.isSet(m_approveOption);
    const bool giveBack = m_parser.isSet(m_returnOption);
    if ((approve || giveBack) && !with(PlanWork::Review))
        return fail(error, QStringLiteral("--approve and --return are only used with plan review"));
    if (with(PlanWork::Review) && approve == giveBack)
        return fail(error, QStringLiteral("plan review takes --approve or --return (with --comment)"));
    m_decision = approve ? QStringLiteral("approve") : giveBack ? QStringLiteral("return") : QString();
    return true;
}

bool CommandLine::fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

bool CommandLine::parseConnection(QString* error)
{
    m_database = m_parser.value(m_databaseOption);
    m_plugin = m_parser.value(m_pluginOption);
    m_sqlTrace = m_parser.value(m_sqlTraceOption);
    if (m_parser.isSet(m_databaseOption) && m_database.trimmed().isEmpty())
        return fail(error, QStringLiteral("--database needs a location"));
    if (m_parser.isSet(m_sqlTraceOption) && m_sqlTrace.isEmpty())
        return fail(error, QStringLiteral("--sql-trace needs a file"));
    m_readDatabase = m_parser.value(m_readDatabaseOption);
    if (m_parser.isSet(m_readDatabaseOption) && m_readDatabase.trimmed().isEmpty())
        return fail(error, QStringLiteral("--read-database needs a location"));
    if (m_parser.isSet(m_readDelayOption)) {
        bool number = false;
        m_readDelay = m_parser.value(m_readDelayOption).toInt(&number);
        if (!number || m_readDelay < 0)
            return fail(error, QStringLiteral("--read-delay takes a number of milliseconds"));
        if (m_readDatabase.isEmpty())
            return fail(error, QStringLiteral("--read-delay is only used with --read-database"));
    }
    if (m_parser.isSet(m_pluginOption) && m_plugin.isEmpty())
        return fail(error, QStringLiteral("--plugin needs a path"));
    return true;
}

bool CommandLine::parseScreenshot(bool otherWork, QString* error)
{
    m_screenshot = m_parser.value(m_screenshotOption);
    if (m_parser.isSet(m_screenshotOption) && m_screenshot.isEmpty())
        return fail(error, QStringLiteral("--screenshot needs a file"));
    if (otherWork && m_parser.isSet(m_screenshotOption))
        return fail(error, QStringLiteral("--screenshot shows the main window; it goes with no other work"));
    if (m_parser.isSet(m_roomOption)) {
        if (m_screenshot.isEmpty())
            return fail(error, QStringLiteral("--room is only used with --screenshot"));
        const QString room = m_parser.value(m_roomOption);
        const qsizetype colon = room.indexOf(QLatin1Char(':'));
        if (colon <= 0 || colon == room.size() - 1)
            return fail(error, QStringLiteral("--room must be CITY_ID:ROOM_NAME, not '%1'").arg(room));
        m_roomCity = room.left(colon);
        m_roomName = room.mid(colon + 1);
    }
    if (m_parser.isSet(m_tabOption)) {
        if (m_screenshot.isEmpty())
            return fail(error, QStringLiteral("--tab is only used with --screenshot"));
        bool ok = false;
        const QString text = m_parser.value(m_tabOption);
        m_tab = text.toInt(&ok);
        if (!ok || m_tab < 0 || m_tab > 2)
            return fail(error, QStringLiteral("--tab must be 0, 1 or 2, not '%1'").arg(text));
    }
    return true;
}

bool CommandLine::parseScale(QString* error)
{
    if (m_parser.isSet(m_scaleOption)) {
        bool ok = false;
        const QString text = m_parser.value(m_scaleOption);
        const int rooms = text.trimmed().toInt(&ok);
        if (!ok || rooms < 1 || rooms > MaxRooms)
            return fail(error, QStringLiteral("--scale must be a whole number from 1 to %1, not '%2'")
                                   .arg(QString::number(MaxRooms), text));
        m_rooms = rooms;
    }
    return true;
}

QString CommandLine::helpText() const
{
    // The parser names the program by its full path; the user knows it as corvan.
    QString text = m_parser.helpText();
    const qsizetype lineEnd = text.indexOf(QLatin1Char('\n'));
    return QStringLiteral("Usage: corvan [options] [plan WHAT FILE|CODE]") +
           (lineEnd < 0 ? QString() : text.mid(lineEnd));
}

} // namespace corvan::host
