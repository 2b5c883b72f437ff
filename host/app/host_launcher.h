// SPDX-License-Identifier: MIT
#pragma once

#include "command_line.h"
#include "data/database_location.h"

#include <QString>

#include <functional>

namespace corvan {
class Component;
class ComponentFactory;
} // namespace corvan

namespace corvan::host {

class HostServices;
class SqlDataService;

// What corvan does once its command line is understood. Every failure prints one line
// starting "corvan: " on stderr and gives exit status 2; checks that create nothing
// (plug-in, options, trace folder) run before anything is created.
class HostLauncher {
public:
    static constexpr int Failure = 2;

    explicit HostLauncher(const CommandLine& commandLine) : m_commandLine(commandLine) {}

    // Without a display corvan still runs its checks (on Qt's offscreen platform) and
    // then refuses to open a window nobody can see.
    void setHeadless(bool headless) { m_headless = headless; }
    static bool displayAvailable();

    // Opens the database, loads the component, shows its main window and runs until the
    // last window closes. Needs a QApplication.
    int run();
    // --create-demo. Needs a QCoreApplication.
    int createDemo();
    // --upgrade-database. Needs a QCoreApplication.
    int upgradeDatabase();
    // corvan plan WHAT FILE|CODE: the component's plan work, and its review, without a window.
    // Needs a QApplication (the component's libraries are a desktop's).
    int runPlan();

    static QString defaultDatabasePath();
    // --plugin, else libprjCorvan.so in $CORVAN_PLUGIN_DIR, else in ../plugins beside corvan
    // when it is there (a build folder), else in the installed plug-in folder.
    QString pluginPath() const;

    // Prints "corvan: <text>" as one line on stderr and returns Failure.
    static int fail(const QString& text);

    // While corvan checks and opens things, Qt's own diagnostics (a plug-in loader's
    // warning, say) would add lines to the one line a failure prints; they are dropped
    // until the component runs, unless QT_DEBUG_PLUGINS asks for them.
    static void setQuiet(bool quiet);

private:
    // Loads the plug-in, opens the database (bringing its schema up to date), makes the host's
    // services and hands them to a new component; then the work runs on it. With window set the
    // work shows one, which needs a display.
    int withComponent(bool window, const std::function<int(Component&)>& work);
    // The database's schema at this corvan's version: upgraded where the user may, else a
    // refusal that says which version it has and who may upgrade it.
    bool prepareSchema(SqlDataService& data, bool upgrade, QString* error) const;
    bool databaseLocation(DatabaseLocation* location, bool* isDefault, QString* error) const;
    bool ensureDefaultDatabase(const DatabaseLocation& location, QString* error) const;
    static bool checkResourceFile(const QString& path, QString* error);
    // Parts of withComponent: a trace file that can be written (or none), the database opened
    // (the default demo made first where it is missing) with the user identified and the
    // schema brought up to date, and the component run over the host's services.
    static bool traceWritable(const QString& trace, QString* error);
    bool openDatabase(bool window, SqlDataService& data, QString* user, QString* error);
    int runComponent(ComponentFactory& factory, const QString& plugin, HostServices& services,
                     const std::function<int(Component&)>& work);

    bool refuseHeadless(QString* error) const;
    int takeScreenshot() const;

    const CommandLine& m_commandLine;
    bool m_headless = false;
};

} // namespace corvan::host
