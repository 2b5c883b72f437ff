// SPDX-License-Identifier: MIT
// corvan: the reference host. Parses its options before any application object exists,
// so that --help, --version and bad options need no display.

#include "command_line.h"
#include "data/sqlite_locks.h"
#include "desktop/qt_translations.h"
#include "host_launcher.h"

#include <QApplication>
#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

int main(int argc, char* argv[])
{
    using corvan::host::CommandLine;
    using corvan::host::HostLauncher;

    // Before any database file is opened, by any of the actions below.
    corvan::host::SqliteLocks::install();
    HostLauncher::setQuiet(true);
    QCoreApplication::setApplicationName(QStringLiteral("corvan"));
    QCoreApplication::setApplicationVersion(QStringLiteral(CORVAN_VERSION));

    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    CommandLine commandLine;
    QString error;
    if (!commandLine.parse(arguments, &error))
        return HostLauncher::fail(error);

    switch (commandLine.action()) {
    case CommandLine::Action::Help: {
        QCoreApplication app(argc, argv);
        std::fputs(commandLine.helpText().toUtf8().constData(), stdout);
        return 0;
    }
    case CommandLine::Action::Version:
        std::fputs("corvan " CORVAN_VERSION "\n", stdout);
        return 0;
    case CommandLine::Action::CreateDemo: {
        QCoreApplication app(argc, argv);
        return HostLauncher(commandLine).createDemo();
    }
    case CommandLine::Action::UpgradeDatabase: {
        QCoreApplication app(argc, argv);
        return HostLauncher(commandLine).upgradeDatabase();
    }
    case CommandLine::Action::Run:
    case CommandLine::Action::Plan:
        break;
    }
    // Without a display the checks still run, on the offscreen platform, so a bad
    // database or plug-in is reported as such; only then is the missing display.
    const bool headless = !HostLauncher::displayAvailable();
    if (headless)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // Qt's own dialogs and buttons speak the program's language; without the translations
    // installed they stay in English, which is no reason not to run.
    corvan::host::installQtTranslations();
    HostLauncher launcher(commandLine);
    launcher.setHeadless(headless);
    if (commandLine.action() == CommandLine::Action::Plan)
        return launcher.runPlan();
    return launcher.run();
}
