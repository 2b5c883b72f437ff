// SPDX-License-Identifier: MIT
// A relocation whose connection breaks while it is written: the suite's server restarted
// (PostgreSQL, pg_ctl restart -m fast) or the database file moved away (SQLite) at a chosen
// call of the commit. Every table stays as it was, the user is told that nothing was changed,
// and the next Commit works.
#include <gtest/gtest.h>

#include "core/context/resource_view.h"
#include "core/relocation/connection_loss.h"
#include "core/relocation/relocation_commit.h"
#include "core/relocation/relocation_session.h"
#include "corvan/controls/property_item.h"
#include "support/context_test.h"
#include "support/pg_servers.h"
#include "support/prompt_recorder.h"

using namespace corvan;
using corvan::test::Fixture;
using corvan::test::Outage;
using corvan::test::WizardFixture;

namespace {

class ConnectionLossTest : public corvan::test::WizardContextTest {
protected:
    void SetUp() override
    {
        corvan::test::WizardContextTest::SetUp();
        db.service()->setReconnectSchedule({0, 100, 200});
        ASSERT_TRUE(ResourceView::GetResourceData(context, QStringLiteral("v_res_gbts"),
                                                  Fixture::btsCode(101), &shown[QStringLiteral("G")]));
        ASSERT_TRUE(session.start(QStringLiteral("G"), shown, true));
        for (const auto& [key, value] : {std::pair{"city", QStringLiteral("甲市")},
                                         std::pair{"belongroom", QStringLiteral("三号机房")}}) {
            PropertyItem* item = page.GetItem(QLatin1String(key));
            ASSERT_NE(item, nullptr);
            item->setValue(value);
            session.valueChanged(item);
        }
        session.edited();
        ASSERT_TRUE(session.next());
        host.recorder()->clear();
    }
    // Breaks the connection just before the first call that starts with the text.
    void breakBefore(const QString& call)
    {
        host.recorder()->beforeCall([this, call](const QString& made) {
            if (made.startsWith(call) && !broken) {
                broken = true;
                outage.begin();
            }
        });
    }
    QString where()
    {
        return db.rows(QStringLiteral("select belongroom from res_gbts where basenum='101'")).value(0);
    }

    QMap<QString, AttrTable> shown;
    PropertyItems page;
    corvan::test::PromptRecorder prompt;
    RelocationSession session{context, page, prompt};
    Outage outage{db};
    bool broken = false;
};

} // namespace

TEST_F(ConnectionLossTest, ABreakAnywhereInTheCommitLeavesEveryTableAsItWasAndTheNextCommitWorks)
{
    const bool server = db.isPostgresql();
    struct Case {
        const char* before; // the call the connection breaks before
        bool doneAtOnce;    // BEGIN on a server: it begins on the new connection
    };
    // A file gone during the transaction, or just before its commit, is found at the commit,
    // which is then never sent: nothing was written, for certain, though the record cannot be
    // read to tell.
    const Case cases[] = {
        {"EXEC update res_gbts", false},
        {"EXEC delete from res_gcell", false},
        {"EXEC insert into h_btsdispatch", false},
        {"COMMIT", false},
        {"BEGIN", true},
    };
    const QStringList before = WizardFixture::dump(db);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.before);
        broken = false;
        prompt.shown.clear();
        breakBefore(QString::fromLatin1(c.before));
        const bool done = session.commit();
        host.recorder()->beforeCall({});
        outage.end();
        if (server && c.doneAtOnce) {
            EXPECT_TRUE(done);
            EXPECT_EQ(prompt.shown, QStringList{RelocationCommit::SuccessMessage});
            EXPECT_EQ(where(), QStringLiteral("三号机房"));
            return;
        }
        EXPECT_FALSE(done);
        ASSERT_EQ(prompt.shown.size(), 1);
        const QString told = prompt.shown.first();
        EXPECT_TRUE(told.startsWith(ConnectionLoss::message(ConnectionLoss::Work::Relocation) +
                                    QStringLiteral("\r\n")))
            << told.toStdString();
        EXPECT_EQ(WizardFixture::dump(db), before);
    }
    // Once the database is there again, the same Commit goes through.
    prompt.shown.clear();
    EXPECT_TRUE(session.commit());
    EXPECT_EQ(prompt.shown, QStringList{RelocationCommit::SuccessMessage});
    EXPECT_EQ(where(), QStringLiteral("三号机房"));
}

TEST_F(ConnectionLossTest, ACommitWhoseAnswerWasLostIsSettledByItsRecord)
{
    // The server committed, the answer never came: the record is there, so it was done.
    host.recorder()->loseNextCommitsAnswer();
    EXPECT_TRUE(session.commit());
    EXPECT_EQ(prompt.shown, QStringList{RelocationCommit::SuccessMessage});
    EXPECT_TRUE(host.recorder()->calls().contains(
        QStringLiteral("OPEN ") + ConnectionLoss::recordStatement(QStringLiteral("00000000000000000001"))));
    EXPECT_EQ(where(), QStringLiteral("三号机房"));
}

TEST_F(ConnectionLossTest, ACommitThatNobodyCanSettleYetSaysSoInsteadOfUndone)
{
    host.recorder()->loseNextCommitsAnswer();
    host.recorder()->failWhen(
        [](const QString& sql) { return sql.startsWith(QLatin1String("select discode from")); });
    EXPECT_FALSE(session.commit());
    ASSERT_EQ(prompt.shown.size(), 1);
    EXPECT_TRUE(
        prompt.shown.first().startsWith(ConnectionLoss::unknownMessage(ConnectionLoss::Work::Relocation)));
    // It was committed, and the history shows it once the user looks.
    EXPECT_EQ(where(), QStringLiteral("三号机房"));
}
