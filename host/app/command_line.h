// SPDX-License-Identifier: MIT
#pragma once

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

namespace corvan::host {

// corvan's options. Parsed before any application object exists, so that a bad option
// is reported without a display and before anything is opened or created.
class CommandLine {
public:
    enum class Action { Run, CreateDemo, UpgradeDatabase, Plan, Help, Version };
    // What "corvan plan WHAT FILE" (or "plan reverse CODE") does.
    enum class PlanWork { Template, Check, Apply, Reverse, Submit, List, Show, Review, Withdraw };

    static constexpr int DefaultRooms = 1000;
    static constexpr int MaxRooms = 1000000;

    CommandLine();

    // arguments[0] is the program. False, with a one-line reason, for a bad command line.
    bool parse(const QStringList& arguments, QString* error);

    Action action() const { return m_action; }
    // Empty when --database was not given.
    QString database() const { return m_database; }
    int rooms() const { return m_rooms; }
    bool force() const { return m_force; }
    QString user() const { return m_user; }
    QString province() const { return m_province; }
    QString plugin() const { return m_plugin; }
    QString sqlTrace() const { return m_sqlTrace; }
    // --read-database URL and --read-delay MS: the standby for the history's reads.
    QString readDatabase() const { return m_readDatabase; }
    int readDelay() const { return m_readDelay; }
    // --screenshot: save a picture of the main window to this file and exit.
    QString screenshot() const { return m_screenshot; }
    // --room CITY_ID:ROOM_NAME, the room on show in the screenshot; empty when not given.
    QString roomCity() const { return m_roomCity; }
    QString roomName() const { return m_roomName; }
    // --tab N, the network tab chosen in the screenshot; -1 when not given.
    int tab() const { return m_tab; }
    // "corvan plan WHAT FILE|CODE": the work, the plan's file
    // (or the code of the plan to reverse), and --report OUT.xlsx.
    PlanWork planWork() const { return m_planWork; }
    QString planFile() const { return m_planFile; }
    QString report() const { return m_report; }
    // A plan's review: --review R (submit a new version of R), --state S (list), --approve or
    // --return (review: the decision's word), --comment TEXT.
    QString review() const { return m_review; }
    QString state() const { return m_state; }
    QString decision() const { return m_decision; }
    QString comment() const { return m_comment; }

    QString helpText() const;

private:
    // The program's description, its positional argument and its options, for the parser.
    void setUpParser();
    static bool parsePlan(const QStringList& positional, PlanWork* work, QString* file, QString* error);
    // The review's options, each only with the plan work it belongs to.
    bool parseReview(bool plan, QString* error);
    // Each takes its options' values; false, with what is wrong, for a value that cannot be.
    bool parseConnection(QString* error);
    bool parseScreenshot(bool otherWork, QString* error);
    bool parseScale(QString* error);
    static bool fail(QString* error, const QString& text);

    QCommandLineParser m_parser;
    QCommandLineOption m_databaseOption;
    QCommandLineOption m_createDemoOption;
    QCommandLineOption m_scaleOption;
    QCommandLineOption m_forceOption;
    QCommandLineOption m_userOption;
    QCommandLineOption m_provinceOption;
    QCommandLineOption m_pluginOption;
    QCommandLineOption m_sqlTraceOption;
    QCommandLineOption m_readDatabaseOption;
    QCommandLineOption m_readDelayOption;
    QCommandLineOption m_screenshotOption;
    QCommandLineOption m_roomOption;
    QCommandLineOption m_tabOption;
    QCommandLineOption m_upgradeOption;
    QCommandLineOption m_reportOption;
    QCommandLineOption m_reviewOption;
    QCommandLineOption m_stateOption;
    QCommandLineOption m_approveOption;
    QCommandLineOption m_returnOption;
    QCommandLineOption m_commentOption;
    QCommandLineOption m_helpOption;
    QCommandLineOption m_versionOption;

    Action m_action = Action::Run;
    QString m_database;
    int m_rooms = DefaultRooms;
    bool m_force = false;
    QString m_user;
    QString m_province;
    QString m_plugin;
    QString m_sqlTrace;
    QString m_readDatabase;
    int m_readDelay = 5000;
    QString m_screenshot;
    QString m_roomCity;
    QString m_roomName;
    int m_tab = -1;
    PlanWork m_planWork = PlanWork::Check;
    QString m_planFile;
    QString m_report;
    QString m_review;
    QString m_state;
    QString m_decision;
    QString m_comment;
};

} // namespace corvan::host
