// SPDX-License-Identifier: MIT
// Every suite's entry: widgets, cursors and message boxes need a QApplication, and a suite
// must run headless when no platform was chosen.

#include "data/sqlite_locks.h"
#include "support/pg_servers.h"

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // As the product does at its start, before any fixture opens a database file.
    corvan::host::SqliteLocks::install();
    QApplication app(argc, argv);
    // What the windows remember goes to a folder of the run's own, never the user's settings.
    QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    ::testing::InitGoogleTest(&argc, argv);
    const int failed = RUN_ALL_TESTS();
    corvan::test::ServerPair::releaseShared();
    return failed;
}
