// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include "support/fixture.h"
#include "support/test_database.h"
#include "support/wizard_fixture.h"

using corvan::test::Fixture;
using corvan::test::TestDatabase;
using corvan::test::WizardFixture;

namespace {

// Two users, each in a process of its own, pass Next and then commit at the same moment.
class ConcurrentCommits : public ::testing::Test {
protected:
    void SetUp() override
    {
        WizardFixture::load(db);
        // A second G BTS, standing in 二号机房, so two users can move G BTSs at once.
        db.exec(QStringLiteral("update res_baseroom set gbts='102' where roomcode='%1'").arg(Fixture::roomCode(2)));
        db.exec(QStringLiteral("update res_gbts set belongroom='二号机房',county='1101' where basecode='%1'")
                    .arg(Fixture::btsCode(102)));
    }

    QProcess* start(const QStringList& arguments)
    {
        auto* process = new QProcess();
        process->setProgram(QDir(qEnvironmentVariable("CORVAN_BIN_DIR")).filePath(QStringLiteral("corvan-commit-probe")));
        process->setArguments(QStringList{db.location()} + arguments + QStringList{go()});
        process->start();
        EXPECT_TRUE(process->waitForStarted());
        return process;
    }

    QString go() const { return folder.filePath(QStringLiteral("go")); }

    // Lets both commit once both are ready, and returns what each printed.
    QStringList release(const QList<QProcess*>& processes)
    {
        // Each probe leaves a ready file once it has passed Next, then waits for the go file.
        QElapsedTimer waited;
        waited.start();
        const auto readyCount = [this] {
            return QDir(folder.path()).entryList({QStringLiteral("go.ready.*")}, QDir::Files).size();
        };
        while (readyCount() < processes.size() && waited.elapsed() < 120000) {
            for (QProcess* process : processes)
                if (process->state() == QProcess::NotRunning)
                    waited.invalidate();
            if (!waited.isValid())
                break;
            QThread::msleep(5);
        }
        QFile(go()).open(QIODevice::WriteOnly);
        QStringList outcomes;
        for (QProcess* process : processes) {
            EXPECT_TRUE(process->waitForFinished(60000));
            outcomes << QString::fromUtf8(process->readAllStandardOutput()).trimmed();
            delete process;
        }
        return outcomes;
    }

    TestDatabase db;
    QTemporaryDir folder;
};

TEST_F(ConcurrentCommits, OnlyOneBtsGetsARoomTwoUsersChoseAtOnce)
{
    QProcess* first = start({QStringLiteral("11"), QStringLiteral("一号机房"), QStringLiteral("0"),
                             QStringLiteral("三号机房")});
    QProcess* second = start({QStringLiteral("11"), QStringLiteral("二号机房"), QStringLiteral("0"),
                              QStringLiteral("三号机房")});
    const QStringList outcomes = release({first, second});
    std::printf("[ figures ] %s / %s\n", qPrintable(outcomes.value(0)), qPrintable(outcomes.value(1)));
    EXPECT_EQ(outcomes.count(QStringLiteral("COMMITTED")), 1) << outcomes.join(QLatin1String(" / ")).toStdString();
    const QString refused = outcomes.value(outcomes.indexOf(QStringLiteral("COMMITTED")) == 0 ? 1 : 0);
    EXPECT_EQ(refused, QStringLiteral("REFUSED 您所选择的机房:甲市的三号机房 已经存在G网基站"));
    EXPECT_EQ(db.rows(QStringLiteral("select count(*) from h_btsdispatch")), QStringList{QStringLiteral("1")});
    // The room holds one BTS, and the BTS that lost is still where it was.
    const QStringList rooms = db.rows(QStringLiteral("select roomcode,gbts from res_baseroom where gbts is not null "
                                                     "order by roomcode"));
    EXPECT_EQ(rooms.size(), 2);
    EXPECT_EQ(db.rows(QStringLiteral("select count(*) from v_res_gbts where roomcode='%1'").arg(Fixture::roomCode(4))),
              QStringList{QStringLiteral("1")});
}

TEST_F(ConcurrentCommits, TwoRelocationsAtOnceGetTheirOwnRecordCodes)
{
    QProcess* first = start({QStringLiteral("11"), QStringLiteral("一号机房"), QStringLiteral("0"),
                             QStringLiteral("三号机房")});
    QProcess* second = start({QStringLiteral("11"), QStringLiteral("二号机房"), QStringLiteral("1"),
                              QStringLiteral("三号机房")});
    const QStringList outcomes = release({first, second});
    EXPECT_EQ(outcomes, (QStringList{QStringLiteral("COMMITTED"), QStringLiteral("COMMITTED")}));
    const QStringList codes = db.rows(QStringLiteral("select discode from h_btsdispatch order by discode"));
    EXPECT_EQ(codes, (QStringList{QStringLiteral("00000000000000000001"), QStringLiteral("00000000000000000002")}));
    EXPECT_EQ(db.rows(QStringLiteral("select gbts,cbts from res_baseroom where roomcode='%1'").arg(Fixture::roomCode(4))),
              QStringList{QStringLiteral("101|202")});
}

} // namespace
