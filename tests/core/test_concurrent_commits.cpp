// SPDX-License-Identifier: MIT
// Two users, each in a process of its own, pass Next and then commit at the same moment.

#include "support/fixture.h"
#include "support/test_database.h"
#include "support/wizard_fixture.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

using corvan::test::Fixture;
using namespace Qt::StringLiterals;

namespace {

class ConcurrentCommits : public ::testing::Test {
protected:
    void SetUp() override
    {
        corvan::test::WizardFixture::load(db);
        // A second G BTS, standing in 二号机房, so two users can move G BTSs at once.
        db.exec(u"update res_baseroom set gbts='102' where roomcode='%1'"_s.arg(Fixture::roomCode(2)));
        db.exec(u"update res_gbts set belongroom='二号机房',county='1101' where basecode='%1'"_s.arg(
            Fixture::btsCode(102)));
    }

    // Users relocating the BTS of network net in each room of 甲市 to 三号机房: each passes
    // Next, leaves a ready file and waits for the go file, which is made once both are
    // ready (or one has given up). What each printed.
    QStringList relocate(const std::vector<std::pair<QString, QString>>& roomsAndNets)
    {
        std::vector<std::unique_ptr<QProcess>> users;
        for (const auto& [room, net] : roomsAndNets) {
            users.push_back(std::make_unique<QProcess>());
            users.back()->start(
                QDir(qEnvironmentVariable("CORVAN_BIN_DIR")).filePath(u"corvan-commit-probe"_s),
                {db.location(), u"11"_s, room, net, u"三号机房"_s, folder.filePath(u"go"_s)});
            EXPECT_TRUE(users.back()->waitForStarted());
        }
        const auto waiting = [&] {
            bool running = true;
            for (const auto& user : users)
                running = running && user->state() != QProcess::NotRunning;
            return running &&
                   QDir(folder.path()).entryList({u"go.ready.*"_s}).size() < qsizetype(users.size());
        };
        for (int slept = 0; waiting() && slept < 120000; slept += 5)
            QThread::msleep(5);
        QFile(folder.filePath(u"go"_s)).open(QIODevice::WriteOnly);
        QStringList outcomes;
        for (const auto& user : users) {
            EXPECT_TRUE(user->waitForFinished(60000));
            outcomes << QString::fromUtf8(user->readAllStandardOutput()).trimmed();
        }
        return outcomes;
    }

    corvan::test::TestDatabase db;
    QTemporaryDir folder;
};

TEST_F(ConcurrentCommits, OnlyOneBtsGetsARoomTwoUsersChoseAtOnce)
{
    const QStringList outcomes = relocate({{u"一号机房"_s, u"G"_s}, {u"二号机房"_s, u"G"_s}});
    ASSERT_EQ(outcomes.count(u"COMMITTED"_s), 1) << outcomes.join(u" / "_s).toStdString();
    EXPECT_EQ(outcomes.value(outcomes.indexOf(u"COMMITTED"_s) == 0 ? 1 : 0),
              u"REFUSED 您所选择的机房:甲市的三号机房 已经存在G网基站"_s);
    EXPECT_EQ(db.rows(u"select count(*) from h_btsdispatch"_s), QStringList{u"1"_s});
    // The room holds one BTS, and the BTS that lost is still where it was.
    EXPECT_EQ(db.rows(u"select roomcode from res_baseroom where gbts is not null"_s).size(), 2);
    EXPECT_EQ(db.rows(u"select count(*) from v_res_gbts where roomcode='%1'"_s.arg(Fixture::roomCode(4))),
              QStringList{u"1"_s});
}

TEST_F(ConcurrentCommits, TwoRelocationsAtOnceGetTheirOwnRecordCodes)
{
    EXPECT_EQ(relocate({{u"一号机房"_s, u"G"_s}, {u"二号机房"_s, u"C"_s}}),
              (QStringList{u"COMMITTED"_s, u"COMMITTED"_s}));
    EXPECT_EQ(db.rows(u"select discode from h_btsdispatch order by discode"_s),
              (QStringList{Fixture::roomCode(1), Fixture::roomCode(2)}));
    EXPECT_EQ(db.rows(u"select gbts,cbts from res_baseroom where roomcode='%1'"_s.arg(Fixture::roomCode(4))),
              QStringList{u"101|202"_s});
}

} // namespace
