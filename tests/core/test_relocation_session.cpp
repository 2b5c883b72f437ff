// SPDX-License-Identifier: MIT
// A relocation of G BTS 101 from 一号机房 of 甲市, driven the way the wizard drives it but
// without any window: the page's values are set on its item model, Next and Commit are
// the session's, and what the user is told is what the prompt heard.
#include <gtest/gtest.h>

#include <QDate>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QSignalSpy>

#include "core/context/resource_view.h"
#include "core/history/track.h"
#include "core/relocation/relocation_commit.h"
#include "core/relocation/relocation_session.h"
#include "corvan/controls/property_item.h"
#include "data/sql_data_service.h"
#include "support/context_test.h"
#include "support/plain_data_service.h"
#include "support/prompt_recorder.h"

using namespace corvan;
using corvan::test::Fixture;
using corvan::test::WizardFixture;

namespace {

const QString& Success = RelocationCommit::SuccessMessage;
const QString& Undone = RelocationCommit::UndoneMessage;

class SessionTest : public corvan::test::WizardContextTest {
protected:
    void SetUp() override
    {
        corvan::test::WizardContextTest::SetUp();
        ASSERT_TRUE(ResourceView::GetResourceData(context, QStringLiteral("v_res_gbts"),
                                                  Fixture::btsCode(101), &shown[QStringLiteral("G")]));
        ASSERT_TRUE(session.start(QStringLiteral("G"), shown, true));
        host.recorder()->clear();
    }
    void TearDown() override
    {
        // Whatever a test did, the busy pointer was gone whenever the user was told something.
        EXPECT_EQ(busyWhileTold, 0);
    }

    void set(const char* key, const QString& value)
    {
        PropertyItem* item = page.GetItem(QString::fromLatin1(key));
        ASSERT_NE(item, nullptr) << key;
        item->setValue(value);
        session.valueChanged(item);
        session.edited();
    }
    // What a user moving the BTS to 三号机房 fills in, then Next.
    bool fillAndNext(const QString& room = QStringLiteral("三号机房"))
    {
        set("city", QStringLiteral("甲市"));
        set("belongroom", room);
        set("remark", QStringLiteral("迁至三号机房"));
        return session.next();
    }
    QStringList told() const { return prompt.shown; }

    QMap<QString, AttrTable> shown;
    PropertyItems page;
    // Notes whether the host's busy pointer was up whenever the user was told something.
    struct Prompt : corvan::test::PromptRecorder {
        explicit Prompt(int& counter) : busy(counter) {}
        void showMessage(const QString& text, Icon icon) override
        {
            busy += QGuiApplication::overrideCursor() != nullptr;
            PromptRecorder::showMessage(
                text + (icon == Icon::Information ? QStringLiteral(" [i]") : QString()), icon);
        }
        bool askRetry(const QString& text, const QString& details) override
        {
            busy += QGuiApplication::overrideCursor() != nullptr;
            shown << text + QStringLiteral(" [?] ") + details;
            return retry && retry();
        }
        int& busy;
        std::function<bool()> retry;
    };
    int busyWhileTold = 0;
    Prompt prompt{busyWhileTold};
    RelocationSession session{context, page, prompt};
};

TEST_F(SessionTest, NextChecksThePageAndMakesTheSummary)
{
    EXPECT_EQ(session.caption(), QStringLiteral("甲市甲一G基站基站调整"));
    // Every cell, antenna and feeder is loaded, past the old limits of three and nine.
    EXPECT_EQ(session.state().cellCount, 4);
    EXPECT_EQ(session.state().antCount, 6);
    EXPECT_EQ(session.state().lineCount, 5);
    EXPECT_FALSE(session.next());
    EXPECT_EQ(told(), QStringList{QStringLiteral("所属地市不能为空\n所属机房不能为空")});
    EXPECT_EQ(session.refusedField(), QStringLiteral("city"));

    // The room the BTS stands in is refused; its name is shared, so its option shows its number.
    prompt.shown.clear();
    EXPECT_FALSE(fillAndNext(QStringLiteral("一号机房(JF-001)")));
    EXPECT_EQ(told(), QStringList{QStringLiteral("您所选择的机房:甲市的一号机房 已经存在G网基站")});

    prompt.shown.clear();
    ASSERT_TRUE(fillAndNext()) << told().join(QLatin1Char('/')).toStdString();
    EXPECT_TRUE(told().isEmpty());
    const QList<QStringList> rows = summaryTexts(session.summary());
    ASSERT_EQ(rows.size(), 1 + 1 + 4 + 1 + 4 + 1 + 11);
    EXPECT_EQ(rows.at(0), (QStringList{QStringLiteral("甲市 G网基站: 一号机房 调整记录"), {}, {}, {}}));
    EXPECT_EQ(rows.at(1), QStringList(4, QString()));
    EXPECT_EQ(
        rows.mid(2, 4),
        (QList<QStringList>{{QStringLiteral("BTS"), QStringLiteral("所属机房"), QStringLiteral("一号机房"),
                             QStringLiteral("三号机房")},
                            {QStringLiteral("BTS"), QStringLiteral("所属BSC"), QStringLiteral("BSC1"), {}},
                            {QStringLiteral("BTS"), QStringLiteral("载频数"), QStringLiteral("6"), {}},
                            {QStringLiteral("BTS"), QStringLiteral("备注"), QStringLiteral("老站"),
                             QStringLiteral("迁至三号机房")}}));
    EXPECT_EQ(rows.at(7), (QStringList{QStringLiteral("CELL"), QStringLiteral("小区"), QStringLiteral("3021"),
                                       QStringLiteral("删除")}));
    EXPECT_EQ(rows.at(12).join(QLatin1Char('|')), QStringLiteral("天线|小区3021所属|天线1|删除"));
    EXPECT_EQ(rows.at(18).join(QLatin1Char('|')), QStringLiteral("馈线|小区3021所属|L-01|删除"));
    // Next again makes the same summary from scratch.
    ASSERT_TRUE(session.next());
    EXPECT_EQ(summaryTexts(session.summary()), rows);
}

TEST_F(SessionTest, CommitWritesEverythingInOneTransaction)
{
    ASSERT_TRUE(fillAndNext());
    host.recorder()->clear();
    QSignalSpy relocated(&session, &RelocationSession::relocated);
    ASSERT_TRUE(session.commit());
    EXPECT_EQ(told(), QStringList{Success + QStringLiteral(" [i]")});
    ASSERT_EQ(relocated.size(), 1);
    EXPECT_EQ(relocated.at(0),
              (QVariantList{QStringLiteral("G"), Fixture::btsCode(101), Fixture::roomCode(1)}));

    const QStringList calls = host.recorder()->calls();
    EXPECT_EQ(calls.first(), QStringLiteral("BEGIN"));
    EXPECT_EQ(calls.last(), QStringLiteral("COMMIT"));
    const QStringList sent = host.recorder()->statements();
    // The re-checks inside the transaction, then the four steps in their order.
    EXPECT_EQ(
        sent.mid(0, 3),
        (QStringList{
            QStringLiteral("select gbts from res_baseroom where roomcode='%1'").arg(Fixture::roomCode(4)),
            QStringLiteral("select basenum from res_gbts where basecode='%1'").arg(Fixture::btsCode(101)),
            QStringLiteral("select gbts from res_baseroom where roomcode='%1'").arg(Fixture::roomCode(1))}));
    // What the steps will overwrite and delete, read for the journal before they run.
    EXPECT_EQ(
        sent.mid(3, 6),
        (QStringList{
            QStringLiteral("select * from res_gbts where basecode='%1'").arg(Fixture::btsCode(101)),
            QStringLiteral("select gbts from res_baseroom where roomcode='%1'").arg(Fixture::roomCode(1)),
            QStringLiteral("select gbts from res_baseroom where roomcode='%1'").arg(Fixture::roomCode(4)),
            QStringLiteral("select * from res_gcell where cellcode in ('%1','%2','%3','%4')")
                .arg(Fixture::roomCode(301), Fixture::roomCode(302), Fixture::roomCode(303),
                     Fixture::roomCode(304)),
            QStringLiteral("select * from res_gant where antcode in ('%1','%2','%3','%4','%5','%6')")
                .arg(Fixture::roomCode(401), Fixture::roomCode(402), Fixture::roomCode(403),
                     Fixture::roomCode(404), Fixture::roomCode(405), Fixture::roomCode(406)),
            QStringLiteral("select * from res_gantline where linecode in ('%1','%2','%3','%4','%5')")
                .arg(Fixture::roomCode(501), Fixture::roomCode(502), Fixture::roomCode(503),
                     Fixture::roomCode(504), Fixture::roomCode(505))}));
    EXPECT_EQ(
        sent.mid(9, 5),
        (QStringList{
            QStringLiteral("update res_gbts set city='11',belongroom='三号机房',belongbsc='',"
                           "carriers=null,remark='迁至三号机房' where basecode='%1'")
                .arg(Fixture::btsCode(101)),
            QStringLiteral("update res_baseroom set gbts='101' where roomcode='%1'")
                .arg(Fixture::roomCode(4)),
            QStringLiteral("update res_baseroom set gbts=null where roomcode='%1'").arg(Fixture::roomCode(1)),
            QStringLiteral("delete from res_gcell where  cellcode='%1' or cellcode='%2' or "
                           "cellcode='%3' or cellcode='%4'")
                .arg(Fixture::roomCode(301), Fixture::roomCode(302), Fixture::roomCode(303),
                     Fixture::roomCode(304)),
            QStringLiteral("delete from res_gant where antcode='%1'").arg(Fixture::roomCode(401))}));
    EXPECT_EQ(sent.at(24), QStringLiteral("select max(to_number(discode)) from h_btsdispatch"));
    EXPECT_TRUE(sent.at(25).startsWith(QStringLiteral(
        "insert into "
        "h_btsdispatch(discode,distime,disuser,net,fromcity,tocity,fromroom,toroom,simplemode,disinfo) "
        "values('00000000000000000001',to_date('")));
    // The journal entry, after the record: the BTS row as it stands now, then the entry.
    EXPECT_EQ(sent.at(26),
              QStringLiteral("select * from res_gbts where basecode='%1'").arg(Fixture::btsCode(101)));
    // Its values are bound, not quoted into the statement: the entry's text runs to kilobytes.
    EXPECT_TRUE(sent.at(27).startsWith(
        QStringLiteral(
            "insert into corvan_journal(discode,net,basecode,fromroom,toroom,reverses,entry,entrytime) "
            "values(?,?,?,?,?,?,?,?) -- '00000000000000000001','G','%1','%2','%3',null,'{")
            .arg(Fixture::btsCode(101), Fixture::roomCode(1), Fixture::roomCode(4))));
    // The entry ends with the time of day it was written, as the record's day reads it.
    EXPECT_TRUE(
        QRegularExpression(
            QStringLiteral("}','%1 \\d\\d:\\d\\d:\\d\\d'$").arg(QDate::currentDate().toString(Qt::ISODate)))
            .match(sent.at(27))
            .hasMatch())
        << sent.at(27).toStdString();
    EXPECT_EQ(sent.size(), 28);

    EXPECT_EQ(db.rows(QStringLiteral("select city,belongroom,belongbsc,carriers,remark from res_gbts where "
                                     "basecode='%1'")
                          .arg(Fixture::btsCode(101))),
              QStringList{QStringLiteral("11|三号机房|||迁至三号机房")});
    EXPECT_EQ(db.rows(QStringLiteral("select roomcode,gbts from res_baseroom where gbts is not null")),
              QStringList{Fixture::roomCode(4) + QStringLiteral("|101")});
    EXPECT_EQ(db.rows(QStringLiteral("select count(*) from res_gcell where bts='101'")),
              QStringList{QStringLiteral("0")});
    // Only the antenna of the other BTS on CI 3031 is left; every feeder of the cells is gone.
    EXPECT_EQ(db.rows(QStringLiteral("select antcode from res_gant")), QStringList{Fixture::roomCode(407)});
    EXPECT_EQ(db.rows(QStringLiteral("select count(*) from res_gantline")), QStringList{QStringLiteral("0")});
    EXPECT_EQ(
        db.rows(QStringLiteral(
            "select discode,disuser,net,fromcity,tocity,fromroom,toroom,simplemode from h_btsdispatch")),
        QStringList{QStringLiteral("00000000000000000001|demo|G|11|11|%1|%2|Y")
                        .arg(Fixture::roomCode(1), Fixture::roomCode(4))});
    const QString disinfo = db.rows(QStringLiteral("select disinfo from h_btsdispatch")).value(0);
    EXPECT_TRUE(disinfo.startsWith(
        QStringLiteral("甲市 G网基站: 一号机房 调整记录 H=62s2QH=62s2QBTS属性:所属机房,从:一号机房,"
                       "修改为:三号机房;H=62s2QBTS属性:所属BSC,从:BSC1,修改为:空;H=62s2Q")))
        << disinfo.toStdString();
    EXPECT_TRUE(disinfo.endsWith(QStringLiteral("删除:小区3024所属馈线L-05;H=62s2Q")))
        << disinfo.toStdString();
    EXPECT_EQ(
        db.rows(
            QStringLiteral("select roomcode from v_res_bts where basecode='%1'").arg(Fixture::btsCode(101))),
        QStringList{Fixture::roomCode(4)});
}

TEST_F(SessionTest, EveryInjectedFailureLeavesTheDatabaseAsItWas)
{
    ASSERT_TRUE(fillAndNext());
    const QStringList before = WizardFixture::dump(db);
    int injected = 0;
    int changed = 0;
    bool committed = false;
    // Fail the k-th statement of the commit, for every k, until a commit goes through.
    for (int k = 1; k < 40 && !committed; ++k) {
        int seen = 0;
        host.recorder()->failWhen([&seen, k](const QString&) { return ++seen == k; });
        prompt.shown.clear();
        committed = session.commit();
        host.recorder()->failWhen({});
        if (committed)
            break;
        ++injected;
        changed += WizardFixture::dump(db) != before;
        // A failed statement, the checks' own queries included, is the database's failure.
        ASSERT_EQ(told().size(), 1) << "statement " << k;
        EXPECT_TRUE(told().first().startsWith(Undone + QStringLiteral("\r\nsimulated failure")) ||
                    told().first() == RelocationCommit::RecordFailedMessage)
            << "statement " << k << ": " << told().first().toStdString();
    }
    std::printf("[ figures ] %d injected failures, %d left the database changed\n", injected, changed);
    EXPECT_TRUE(committed);
    EXPECT_EQ(injected, 28);
    EXPECT_EQ(changed, 0);
    EXPECT_EQ(db.rows(QStringLiteral("select count(*) from h_btsdispatch")),
              QStringList{QStringLiteral("1")});
}

// Between Next and Commit someone else deletes the target room, so that the statement
// giving it the BTS changes no row: the commit fails as a whole and says why, where it used
// to report a relocation into a room that no longer exists.
TEST_F(SessionTest, AWriteThatChangesNoRowFailsTheCommit)
{
    ASSERT_TRUE(fillAndNext());
    db.exec(QStringLiteral("delete from res_baseroom where roomname='三号机房'"));
    const QStringList before = WizardFixture::dump(db);
    EXPECT_FALSE(session.commit());
    EXPECT_EQ(WizardFixture::dump(db), before);
    EXPECT_EQ(told(), QStringList{Undone + QStringLiteral("\r\n") + SystemDb::rowCountError(1, 0)});
    EXPECT_EQ(sent().filter(QStringLiteral("update res_baseroom")),
              QStringList{QStringLiteral("update res_baseroom set gbts='101' where roomcode='%1'")
                              .arg(Fixture::roomCode(4))});
}

// Without a BTS page there is nothing to check and nothing to write, record included.
TEST_F(SessionTest, ASessionWhosePageCouldNotBeBuiltWritesNothing)
{
    const QStringList before = WizardFixture::dump(db);
    const auto nothing = [&](const char* why) {
        EXPECT_FALSE(session.ready()) << why;
        EXPECT_FALSE(session.next()) << why;
        EXPECT_FALSE(session.commit()) << why;
        EXPECT_FALSE(RelocationCommit::saveBtsDataInDB(context, session.state())) << why;
        EXPECT_EQ(WizardFixture::dump(db), before) << why;
        EXPECT_TRUE(told().isEmpty()) << why;
    };
    host.recorder()->failWhen([](const QString& sql) { return sql.contains(QLatin1String("gui_option")); });
    EXPECT_FALSE(session.start(QStringLiteral("G"), shown, true));
    nothing("rules unreadable");
    host.recorder()->failWhen({});
    EXPECT_FALSE(session.start(QStringLiteral("D"), shown, true));
    nothing("no table for the network");
    ASSERT_TRUE(session.start(QStringLiteral("G"), shown, true));
    EXPECT_FALSE(session.start(QString(), shown, true));
    nothing("no network");
}

// What the rules keep stays as it is, and the BTS and its rooms still name each other: a
// kept room means the BTS stays where it stands, a kept city that it stays in its city.
TEST_F(SessionTest, KeptRoomAndCityLeaveTheBtsWhereItStands)
{
    db.exec(QStringLiteral("update gui_option set g_value='remark' where g_name='GBtsDispatchModify'"));
    db.exec(QStringLiteral("update gui_option set g_value='basecode,basenum,basename,county,city,belongroom' "
                           "where g_name='GBtsDispatchChangeless'"));
    ASSERT_TRUE(session.start(QStringLiteral("G"), shown, true));
    set("remark", QStringLiteral("留在原机房"));
    ASSERT_TRUE(session.next()) << told().join(QLatin1Char('/')).toStdString();
    host.recorder()->clear();
    ASSERT_TRUE(session.commit()) << told().join(QLatin1Char('/')).toStdString();
    EXPECT_TRUE(host.recorder()->statements().filter(QStringLiteral("update res_baseroom")).isEmpty());
    EXPECT_EQ(db.rows(QStringLiteral("select roomcode from res_baseroom where gbts='101'")),
              QStringList{Fixture::roomCode(1)});
    EXPECT_EQ(db.rows(QStringLiteral("select city,belongroom,remark from res_gbts where basenum='101'")),
              QStringList{QStringLiteral("11|一号机房|留在原机房")});
    EXPECT_EQ(db.rows(QStringLiteral("select fromcity,tocity,fromroom,toroom from h_btsdispatch")),
              QStringList{QStringLiteral("11|11|%1|%1").arg(Fixture::roomCode(1))});
}

// Of two rooms sharing a name the one chosen is the one reached; a number the host shows
// in its own format does not make the commit think the BTS was moved meanwhile.
TEST_F(SessionTest, TheChosenRoomOfASharedNameIsReached)
{
    AttrTable& bts = shown[QStringLiteral("G")];
    bts.set(AttrTable::DisplayValue, bts.findField(QStringLiteral("basenum")), QStringLiteral("101号"));
    ASSERT_TRUE(session.start(QStringLiteral("G"), shown, true));
    ASSERT_TRUE(fillAndNext(QStringLiteral("一号机房(JF-003)")))
        << told().join(QLatin1Char('/')).toStdString();
    ASSERT_TRUE(session.commit()) << told().join(QLatin1Char('/')).toStdString();
    EXPECT_EQ(
        db.rows(QStringLiteral("select roomcode from res_baseroom where gbts is not null and gbts<>''")),
        QStringList{Fixture::roomCode(3)});
    EXPECT_EQ(
        db.rows(
            QStringLiteral("select belongroom from res_gbts where basecode='%1'").arg(Fixture::btsCode(101))),
        QStringList{QStringLiteral("一号机房")});
    EXPECT_EQ(db.rows(QStringLiteral("select toroom from h_btsdispatch")), QStringList{Fixture::roomCode(3)});
}

// Two BTSs of a city may share a name: each leaves the room that holds its own number, and
// the other's room keeps its BTS.
TEST_F(SessionTest, EachOfTwoBtssSharingANameLeavesItsOwnRoom)
{
    db.exec(QStringLiteral("update res_gbts set basename='甲一G基站' where basecode='%1'")
                .arg(Fixture::btsCode(102)));
    db.exec(
        QStringLiteral("update res_baseroom set gbts='102' where roomcode='%1'").arg(Fixture::roomCode(2)));
    for (const auto& [bts, room] : {std::pair{101, 1}, {102, 2}}) {
        ASSERT_TRUE(ResourceView::GetResourceData(context, QStringLiteral("v_res_gbts"),
                                                  Fixture::btsCode(bts), &shown[QStringLiteral("G")]));
        ASSERT_TRUE(session.start(QStringLiteral("G"), shown, true));
        EXPECT_EQ(session.state().oldRoomCode, Fixture::roomCode(room)) << bts;
    }
    ASSERT_TRUE(fillAndNext()) << told().join(QLatin1Char('/')).toStdString();
    ASSERT_TRUE(session.commit()) << told().join(QLatin1Char('/')).toStdString();
    EXPECT_EQ(db.rows(QStringLiteral(
                  "select roomcode,gbts from res_baseroom where gbts is not null order by roomcode")),
              (QStringList{Fixture::roomCode(1) + QStringLiteral("|101"),
                           Fixture::roomCode(4) + QStringLiteral("|102")}));
}

// Another user's commit holds the database: the wait shows the busy pointer, the user is
// told in Chinese that nothing changed and may try again; the database's words come along.
TEST_F(SessionTest, ABusyDatabaseIsToldAndTriedAgain)
{
    ASSERT_TRUE(fillAndNext());
    db.service()->setLockWait(200);
    host::SqlDataService other;
    QString error;
    ASSERT_TRUE(other.open(db.location(), &error)) << error.toStdString();
    ASSERT_TRUE(other.BeginTrans(QLatin1String(SystemDatabase))) << other.LastError().toStdString();
    // A relocation in the same city (on PostgreSQL the cities are locked apart).
    ASSERT_TRUE(other.LockCities({QStringLiteral("11")})) << other.LastError().toStdString();
    const QStringList before = WizardFixture::dump(db);

    // Cancel: nothing written.
    EXPECT_FALSE(session.commit());
    ASSERT_EQ(told().size(), 1);
    EXPECT_TRUE(told().first().startsWith(RelocationCommit::BusyMessage + QStringLiteral(" [?] ")));
    EXPECT_GT(told().first().size(), RelocationCommit::BusyMessage.size() + 10) << "the database's words";
    EXPECT_EQ(WizardFixture::dump(db), before);

    // Retry once the other user is done: the commit goes through.
    prompt.shown.clear();
    prompt.retry = [&] {
        return other.RollbackTrans(QLatin1String(SystemDatabase));
    };
    EXPECT_TRUE(session.commit());
    ASSERT_EQ(told().size(), 2);
    EXPECT_EQ(told().last(), Success + QStringLiteral(" [i]"));
    EXPECT_EQ(db.rows(QStringLiteral("select count(*) from h_btsdispatch")),
              QStringList{QStringLiteral("1")});
}

TEST_F(SessionTest, QuotesAndTheMarkerInValuesAreStoredAsTyped)
{
    const QString remark =
        QStringLiteral("O'Neil's 机房H=62s2Q') ; delete from res_gbts; --") + QString(300, QChar(0x4E2D));
    set("city", QStringLiteral("甲市"));
    set("belongroom", QStringLiteral("三号机房"));
    set("remark", remark);
    ASSERT_TRUE(session.next());
    ASSERT_TRUE(session.commit());
    EXPECT_EQ(
        db.rows(QStringLiteral("select remark from res_gbts where basecode='%1'").arg(Fixture::btsCode(101))),
        QStringList{remark});
    EXPECT_EQ(db.rows(QStringLiteral("select count(*) from res_gbts")), QStringList{QStringLiteral("2")});
    const QString disinfo = db.rows(QStringLiteral("select disinfo from h_btsdispatch")).value(0);
    EXPECT_TRUE(disinfo.contains(QStringLiteral("BTS属性:备注,从:老站,修改为:") + remark +
                                 QStringLiteral(";H=62s2Q")));
}

TEST_F(SessionTest, WithoutTransactionsTheStepsRunOneByOneAsBefore)
{
    ASSERT_TRUE(fillAndNext());
    // A host whose data service offers no transactions: the steps run one by one, and a
    // failure keeps what the steps before it wrote.
    corvan::test::PlainDataService plain(host.recorder());
    ASSERT_TRUE(context.setDataService(&plain));
    ASSERT_FALSE(context.db().hasTransactions());

    plain.failWhen(
        [](const QString& sql) { return sql.startsWith(QStringLiteral("delete from res_gcell")); });
    EXPECT_FALSE(session.commit());
    // Nothing is said for the first three steps, as before.
    EXPECT_TRUE(told().isEmpty()) << told().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(
        db.rows(
            QStringLiteral("select gbts from res_baseroom where roomcode='%1'").arg(Fixture::roomCode(4))),
        QStringList{QStringLiteral("101")});
    EXPECT_EQ(db.rows(QStringLiteral("select count(*) from res_gcell where bts='101'")),
              QStringList{QStringLiteral("4")});
    EXPECT_FALSE(host.recorder()->calls().contains(QStringLiteral("BEGIN")));

    // The record failing is told; a second Commit then runs all four steps again.
    plain.failWhen(
        [](const QString& sql) { return sql.startsWith(QStringLiteral("insert into h_btsdispatch")); });
    EXPECT_FALSE(session.commit());
    EXPECT_EQ(told(), QStringList{RelocationCommit::RecordFailedMessage});
    EXPECT_EQ(db.rows(QStringLiteral("select count(*) from res_gcell where bts='101'")),
              QStringList{QStringLiteral("0")});

    // The journal failing after the record was written: the relocation stands, and the user
    // is told exactly that, so that nobody presses Commit again and records it twice.
    plain.failWhen(
        [](const QString& sql) { return sql.startsWith(QStringLiteral("insert into corvan_journal")); });
    prompt.shown.clear();
    EXPECT_TRUE(session.commit());
    EXPECT_EQ(told(),
              (QStringList{Success + QStringLiteral(" [i]"),
                           RelocationCommit::JournalLostNotice.arg(QStringLiteral("00000000000000000001"))}));
    EXPECT_EQ(db.rows(QStringLiteral("select count(*) from h_btsdispatch")),
              QStringList{QStringLiteral("1")});
    EXPECT_EQ(db.rows(QStringLiteral("select count(*) from corvan_journal")),
              QStringList{QStringLiteral("0")});
}

// A database without the journal's table still relocates; the user learns that this one
// cannot be reversed, and the track finds the record by its rooms.
TEST_F(SessionTest, ADatabaseWithoutTheJournalRelocatesAndSaysItCannotBeReversed)
{
    db.exec(QStringLiteral("drop table corvan_journal"));
    // Another data service: what was known of the database is looked at again.
    ASSERT_TRUE(context.setDataService(host.recorder()));
    ASSERT_TRUE(session.start(QStringLiteral("G"), shown, true));
    ASSERT_TRUE(fillAndNext());
    EXPECT_TRUE(session.commit());
    EXPECT_EQ(told(), (QStringList{Success + QStringLiteral(" [i]"), RelocationCommit::NoJournalNotice}));
    EXPECT_EQ(db.rows(QStringLiteral("select count(*) from h_btsdispatch")),
              QStringList{QStringLiteral("1")});
    const QList<Track::Item> track =
        Track::ofBts(context, QStringLiteral("G"), Fixture::btsCode(101), Fixture::roomCode(4));
    ASSERT_EQ(track.size(), 1);
    EXPECT_TRUE(track.first().inferred);
}

TEST_F(SessionTest, StartingOverForAnotherBtsKeepsNothingOfTheFirst)
{
    ASSERT_TRUE(fillAndNext());
    ASSERT_TRUE(ResourceView::GetResourceData(context, QStringLiteral("v_res_cbts"), Fixture::btsCode(202),
                                              &shown[QStringLiteral("C")]));
    ASSERT_TRUE(session.start(QStringLiteral("C"), shown, true));
    EXPECT_EQ(session.state().btsCode, Fixture::btsCode(202));
    EXPECT_EQ(session.state().cellCount, 0);
    EXPECT_TRUE(session.summary().isEmpty());
    EXPECT_TRUE(variantText(page.GetItem(QStringLiteral("belongroom"))->Value()).isEmpty());
}

} // namespace
