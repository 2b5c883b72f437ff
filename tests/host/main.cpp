// SPDX-License-Identifier: MIT
// The suite's entry: widgets, cursors and message boxes need a QApplication, and the
// suite must run headless when no platform was chosen.

#include "support/pg_servers.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int failed = RUN_ALL_TESTS();
    corvan::test::ServerPair::releaseShared();
    return failed;
}
