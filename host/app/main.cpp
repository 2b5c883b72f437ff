// SPDX-License-Identifier: MIT
// corvan: the reference host. Parses its options before any application object exists,
// so that --help, --version and bad options need no display.

#include "command_line.h"
#include "host_launcher.h"

#include <QApplication>
#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

int main(int argc, char* argv[])
{
    using corvan::host::CommandLine;
    using corvan::host::HostLauncher;

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
    case CommandLine::Action::Run:
        break;
    }
    QApplication app(argc, argv);
    return HostLauncher(commandLine).run();
}
