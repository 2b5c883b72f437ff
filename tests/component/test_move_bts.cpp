// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <QAction>
#include <QGuiApplication>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include "ui/active_bar.h"
#include "browser/frm_main.h"
#include "corvan/controls/property_grid.h"
#include "corvan/controls/property_item.h"
#include "corvan/controls/sheet.h"
#include "entry/cls_main.h"
#include "core/mdl_pub_var.h"
#include "relocation/frm_move_bts.h"
#include "support/fixture.h"
#include "support/plain_data_service.h"
#include "support/test_host.h"
#include "support/wizard_fixture.h"
#include "data/sql_data_service.h"

using namespace corvan;
using corvan::test::Fixture;
using corvan::test::TestDatabase;
using corvan::test::TestHost;
using corvan::test::WizardFixture;

namespace {

class MoveBtsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        WizardFixture::load(db);
        component.initEnv(host.objectArray());
        component.ShowMainForm();
        main = qobject_cast<frmMain*>(mdlPubVar::instance().form(QStringLiteral("frmMain")));
        ASSERT_NE(main, nullptr);
        main->showBts(QStringLiteral("11"), QStringLiteral("一号机房"));
        openWizard();
    }
    void TearDown() override
    {
        component.clearEnv();
        mdlPubVar::instance().reset();
        // Whatever a test did, the busy pointer was gone whenever the user was told something.
        EXPECT_EQ(busyWhileTold, 0);
    }

    void openWizard()
    {
        main->bar()->tool(QStringLiteral("mnuDispatch"))->trigger();
        wizard = qobject_cast<frmMoveBts*>(mdlPubVar::instance().form(QStringLiteral("frmMoveBts")));
        ASSERT_NE(wizard, nullptr);
        wizard->setMessagePresenter([this](const QString& text, WizardPrompt::Icon icon) {
            busyWhileTold += QGuiApplication::overrideCursor() != nullptr;
            told << text + (icon == WizardPrompt::Icon::Information ? QStringLiteral(" [i]") : QString());
        });
        wizard->setRetryPresenter([this](const QString& text, const QString& details) {
            busyWhileTold += QGuiApplication::overrideCursor() != nullptr;
            told << text + QStringLiteral(" [?] ") + details;
            return retry && retry();
        });
        grid = wizard->findChild<PropertyGrid*>(QStringLiteral("smBtsNew"));
        ASSERT_NE(grid, nullptr);
    }

    bool choose(const char* key, const QString& value)
    {
        PropertyItem* item = grid->Items().GetItem(QString::fromLatin1(key));
        return item && grid->editValue(item, value);
    }

    QPushButton* button(const char* name) const
    {
        return wizard->findChild<QPushButton*>(QString::fromLatin1(name));
    }

    QStringList summary() const
    {
        QStringList rows;
        const Sheet* sheet = wizard->findChild<Sheet*>(QStringLiteral("fbModify"));
        for (int r = 1; r <= sheet->MaxRow(); ++r) {
            QStringList cells;
            for (int c = 1; c <= 4; ++c)
                cells << sheet->TextRC(r, c);
            rows << cells.join(QLatin1Char('|'));
        }
        return rows;
    }

    void fillAndNext(const QString& room = QStringLiteral("三号机房"))
    {
        ASSERT_TRUE(choose("city", QStringLiteral("甲市")));
        ASSERT_TRUE(choose("belongroom", room));
        ASSERT_TRUE(choose("remark", QStringLiteral("迁至三号机房")));
        QTest::mouseClick(button("cmdNext"), Qt::LeftButton);
    }

    TestDatabase db;
    TestHost host{db};
    clsMain component;
    frmMain* main = nullptr;
    frmMoveBts* wizard = nullptr;
    PropertyGrid* grid = nullptr;
    QStringList told;
    int busyWhileTold = 0;
    std::function<bool()> retry;
};

QStringList keys(const PropertyItems& items)
{
    QStringList out;
    for (long i = 1; i <= items.ItemCount(); ++i)
        out << items.GetItem(i)->Key();
    return out;
}

TEST_F(MoveBtsTest, OpensOnTheBtsPageWithTwoVisibleSteps)
{
    EXPECT_EQ(wizard->windowTitle(), QStringLiteral("甲市甲一G基站基站调整"));
    const PropertyItems& steps = wizard->findChild<PropertyGrid*>(QStringLiteral("smMoveTask"))->Items();
    EXPECT_EQ(keys(steps), (QStringList{QStringLiteral("k1"), QStringLiteral("k2"), QStringLiteral("k3")}));
    EXPECT_FALSE(steps.GetItem(QStringLiteral("k2"))->Visible());
    EXPECT_TRUE(steps.GetItem(QStringLiteral("k1"))->Selected());
    auto* tabs = wizard->findChild<QTabWidget*>(QStringLiteral("sstMain"));
    EXPECT_FALSE(tabs->isTabVisible(1));
    EXPECT_EQ(tabs->tabText(2), QStringLiteral("完成基站调整"));
    EXPECT_FALSE(tabs->isTabEnabled(2));
    EXPECT_FALSE(button("cmdPrev")->isEnabled());
    EXPECT_TRUE(button("cmdNext")->isVisible());
    EXPECT_FALSE(button("cmdOk")->isVisible());
    EXPECT_EQ(keys(grid->Items()),
              (QStringList{QStringLiteral("G:M"), QStringLiteral("city"), QStringLiteral("belongroom"),
                           QStringLiteral("belongbsc"), QStringLiteral("carriers"), QStringLiteral("remark"),
                           QStringLiteral("G:C"), QStringLiteral("basecode"), QStringLiteral("basenum"),
                           QStringLiteral("basename"), QStringLiteral("county"), QStringLiteral("P:1")}));
    // Every cell, antenna and feeder is loaded, past the old limits of three and nine.
    EXPECT_EQ(wizard->state().cellCount, 4);
    EXPECT_EQ(wizard->state().antCount, 6);
    EXPECT_EQ(wizard->state().lineCount, 5);

    // Clicking the finish tab does not leave the page.
    tabs->tabBar()->tabBarClicked(2);
    EXPECT_EQ(wizard->currentPage(), 0);
}

TEST_F(MoveBtsTest, NextChecksTheValuesAndBuildsTheSummary)
{
    QTest::mouseClick(button("cmdNext"), Qt::LeftButton);
    EXPECT_EQ(told, QStringList{QStringLiteral("所属地市不能为空")});
    EXPECT_EQ(wizard->currentPage(), 0);

    // The room the BTS stands in is refused; its name is shared, so its option shows its number.
    told.clear();
    fillAndNext(QStringLiteral("一号机房(JF-001)"));
    EXPECT_EQ(told, QStringList{QStringLiteral("您所选择的机房:甲市的一号机房 已经存在G网基站")});
    EXPECT_EQ(wizard->currentPage(), 0);

    told.clear();
    ASSERT_TRUE(choose("belongroom", QStringLiteral("三号机房")));
    QTest::mouseClick(button("cmdNext"), Qt::LeftButton);
    EXPECT_TRUE(told.isEmpty()) << told.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(wizard->currentPage(), 2);
    EXPECT_TRUE(button("cmdOk")->isVisible());
    EXPECT_FALSE(button("cmdNext")->isVisible());
    EXPECT_TRUE(button("cmdPrev")->isEnabled());
    const QStringList rows = summary();
    ASSERT_EQ(rows.size(), 1 + 1 + 4 + 1 + 4 + 1 + 11);
    EXPECT_EQ(rows.at(0), QStringLiteral("甲市 G网基站: 一号机房 调整记录|||"));
    EXPECT_EQ(rows.at(1), QStringLiteral("|||"));
    EXPECT_EQ(rows.mid(2, 4), (QStringList{QStringLiteral("BTS|所属机房|一号机房|三号机房"),
                                           QStringLiteral("BTS|所属BSC|BSC1|"), QStringLiteral("BTS|载频数|6|"),
                                           QStringLiteral("BTS|备注|老站|迁至三号机房")}));
    EXPECT_EQ(rows.at(7), QStringLiteral("CELL|小区|3021|删除"));
    EXPECT_EQ(rows.at(12), QStringLiteral("天线|小区3021所属|天线1|删除"));
    EXPECT_EQ(rows.at(18), QStringLiteral("馈线|小区3021所属|L-01|删除"));

    // Back keeps the values; Next again rebuilds the summary from scratch.
    QTest::mouseClick(button("cmdPrev"), Qt::LeftButton);
    EXPECT_EQ(wizard->currentPage(), 0);
    EXPECT_EQ(grid->Items().GetItem(QStringLiteral("belongroom"))->Value().toString(), QStringLiteral("三号机房"));
    QTest::mouseClick(button("cmdNext"), Qt::LeftButton);
    EXPECT_EQ(summary(), rows);
}

TEST_F(MoveBtsTest, CommitWritesEverythingInOneTransaction)
{
    fillAndNext();
    ASSERT_EQ(wizard->currentPage(), 2);
    host.recorder()->clear();
    QPointer<frmMoveBts> guard(wizard);
    QTest::mouseClick(button("cmdOk"), Qt::LeftButton);
    EXPECT_EQ(told, QStringList{QStringLiteral("基站调整成功\r\n请在资源维护中添加小区、天线、馈线的信息 [i]")});
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(guard.isNull());
    EXPECT_EQ(main->windowTitle(), QStringLiteral("基站调整"));
    EXPECT_TRUE(main->sheet(QStringLiteral("G"))->isHidden());

    const QStringList calls = host.recorder()->calls();
    ASSERT_GE(calls.size(), 5);
    EXPECT_EQ(calls.first(), QStringLiteral("BEGIN"));
    EXPECT_EQ(calls.last(), QStringLiteral("COMMIT"));
    const QStringList sent = host.recorder()->statements();
    const qsizetype update = sent.indexOf(QStringLiteral(
        "update res_gbts set city='11',belongroom='三号机房',belongbsc='',carriers=null,remark='迁至三号机房' "
        "where basecode='%1'").arg(Fixture::btsCode(101)));
    ASSERT_GE(update, 0) << sent.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(sent.mid(update + 1, 3),
              (QStringList{QStringLiteral("update res_baseroom set gbts='101' where roomcode='%1'")
                               .arg(Fixture::roomCode(4)),
                           QStringLiteral("update res_baseroom set gbts=null where roomcode='%1'")
                               .arg(Fixture::roomCode(1)),
                           QStringLiteral("delete from res_gcell where  cellcode='%1' or cellcode='%2' or "
                                          "cellcode='%3' or cellcode='%4'")
                               .arg(Fixture::roomCode(301), Fixture::roomCode(302), Fixture::roomCode(303),
                                    Fixture::roomCode(304))}));
    EXPECT_EQ(sent.at(update + 4), QStringLiteral("delete from res_gant where antcode='%1'").arg(Fixture::roomCode(401)));
    EXPECT_EQ(sent.at(update + 15), QStringLiteral("select max(to_number(discode)) from h_btsdispatch"));
    EXPECT_TRUE(sent.at(update + 16).startsWith(QStringLiteral(
        "insert into h_btsdispatch(discode,distime,disuser,net,fromcity,tocity,fromroom,toroom,simplemode,disinfo) "
        "values('00000000000000000001',to_date('")));

    EXPECT_EQ(db.rows(QStringLiteral("select city,belongroom,belongbsc,carriers,remark from res_gbts where "
                                     "basecode='%1'").arg(Fixture::btsCode(101))),
              QStringList{QStringLiteral("11|三号机房|||迁至三号机房")});
    EXPECT_EQ(db.rows(QStringLiteral("select roomcode,gbts from res_baseroom where gbts is not null")),
              QStringList{Fixture::roomCode(4) + QStringLiteral("|101")});
    EXPECT_EQ(db.rows(QStringLiteral("select count(*) from res_gcell where bts='101'")), QStringList{QStringLiteral("0")});
    // Only the antenna of the other BTS on CI 3031 is left; every feeder of the cells is gone.
    EXPECT_EQ(db.rows(QStringLiteral("select antcode from res_gant")), QStringList{Fixture::roomCode(407)});
    EXPECT_EQ(db.rows(QStringLiteral("select count(*) from res_gantline")), QStringList{QStringLiteral("0")});
    const QStringList record = db.rows(QStringLiteral(
        "select discode,disuser,net,fromcity,tocity,fromroom,toroom,simplemode from h_btsdispatch"));
    EXPECT_EQ(record, QStringList{QStringLiteral("00000000000000000001|demo|G|11|11|%1|%2|Y")
                                      .arg(Fixture::roomCode(1), Fixture::roomCode(4))});
    const QString disinfo = db.rows(QStringLiteral("select disinfo from h_btsdispatch")).value(0);
    EXPECT_TRUE(disinfo.startsWith(QStringLiteral("甲市 G网基站: 一号机房 调整记录 H=62s2QH=62s2QBTS属性:所属机房,从:一号机房,"
                                                  "修改为:三号机房;H=62s2QBTS属性:所属BSC,从:BSC1,修改为:空;H=62s2Q")))
        << disinfo.toStdString();
    EXPECT_TRUE(disinfo.endsWith(QStringLiteral("删除:小区3024所属馈线L-05;H=62s2Q"))) << disinfo.toStdString();
    // The room now on show in the view is the new one.
    EXPECT_EQ(db.rows(QStringLiteral("select roomcode from v_res_bts where basecode='%1'").arg(Fixture::btsCode(101))),
              QStringList{Fixture::roomCode(4)});
}

TEST_F(MoveBtsTest, EveryInjectedFailureLeavesTheDatabaseAsItWas)
{
    fillAndNext();
    ASSERT_EQ(wizard->currentPage(), 2);
    const QStringList before = WizardFixture::dump(db);
    int injected = 0;
    int changed = 0;
    bool committed = false;
    // Fail the k-th statement of the commit, for every k, until a commit goes through.
    for (int k = 1; k < 40 && !committed; ++k) {
        int seen = 0;
        host.recorder()->failWhen([&seen, k](const QString&) { return ++seen == k; });
        told.clear();
        committed = wizard->commit();
        host.recorder()->failWhen({});
        if (committed)
            break;
        ++injected;
        changed += WizardFixture::dump(db) != before;
        EXPECT_EQ(wizard->currentPage(), 2);
        // A failed statement, the checks' own queries included, is the database's failure.
        ASSERT_EQ(told.size(), 1) << "statement " << k;
        EXPECT_TRUE(told.first().startsWith(QStringLiteral("基站调整未能完成，数据库未作任何修改。\r\nsimulated failure")) ||
                    told.first() == QStringLiteral("保存调整记录失败"))
            << "statement " << k << ": " << told.first().toStdString();
    }
    std::printf("[ figures ] %d injected failures, %d left the database changed\n", injected, changed);
    EXPECT_TRUE(committed);
    EXPECT_GE(injected, 18);
    EXPECT_EQ(changed, 0);
    EXPECT_EQ(db.rows(QStringLiteral("select count(*) from h_btsdispatch")), QStringList{QStringLiteral("1")});
}

// Without a BTS page the wizard has nothing to check and nothing to write: it never reaches
// the finish page, and a commit forced on it writes no row, record included.
TEST_F(MoveBtsTest, AWizardWhosePageCouldNotBeBuiltWritesNothing)
{
    const QStringList before = WizardFixture::dump(db);
    const auto failed = [&](const char* why) {
        EXPECT_FALSE(button("cmdNext")->isEnabled()) << why;
        QTest::mouseClick(button("cmdNext"), Qt::LeftButton);
        wizard->cmdNextClick();
        EXPECT_EQ(wizard->currentPage(), 0) << why;
        EXPECT_FALSE(wizard->commit()) << why;
        EXPECT_FALSE(wizard->saveBtsDataInDB()) << why;
        EXPECT_EQ(WizardFixture::dump(db), before) << why;
        EXPECT_FALSE(told.join(QLatin1Char('/')).contains(QStringLiteral("成功"))) << why;
    };
    host.recorder()->failWhen([](const QString& sql) { return sql.contains(QLatin1String("gui_option")); });
    wizard->showBts(QStringLiteral("G"), main->attrMap(), true);
    failed("rules unreadable");
    host.recorder()->failWhen({});
    wizard->showBts(QStringLiteral("D"), main->attrMap(), true);
    failed("no table for the network");
    // Built again for a real BTS, Next is open once more.
    wizard->showBts(QStringLiteral("G"), main->attrMap(), true);
    EXPECT_TRUE(button("cmdNext")->isEnabled());
}

// What the rules keep stays as it is, and the BTS and its rooms still name each other: a
// kept room means the BTS stays where it stands, a kept city that it stays in its city.
TEST_F(MoveBtsTest, KeptRoomAndCityLeaveTheBtsWhereItStands)
{
    db.exec(QStringLiteral("update gui_option set g_value='remark' where g_name='GBtsDispatchModify'"));
    db.exec(QStringLiteral("update gui_option set g_value='basecode,basenum,basename,county,city,belongroom' "
                           "where g_name='GBtsDispatchChangeless'"));
    wizard->showBts(QStringLiteral("G"), main->attrMap(), true);
    ASSERT_TRUE(choose("remark", QStringLiteral("留在原机房")));
    QTest::mouseClick(button("cmdNext"), Qt::LeftButton);
    ASSERT_EQ(wizard->currentPage(), 2) << told.join(QLatin1Char('/')).toStdString();
    host.recorder()->clear();
    ASSERT_TRUE(wizard->commit()) << told.join(QLatin1Char('/')).toStdString();
    EXPECT_FALSE(host.recorder()->statements().join(QLatin1Char('/')).contains(QStringLiteral("update res_baseroom")));
    EXPECT_EQ(db.rows(QStringLiteral("select roomcode from res_baseroom where gbts='101'")),
              QStringList{Fixture::roomCode(1)});
    EXPECT_EQ(db.rows(QStringLiteral("select city,belongroom,remark from res_gbts where basenum='101'")),
              QStringList{QStringLiteral("11|一号机房|留在原机房")});
    EXPECT_EQ(db.rows(QStringLiteral("select fromcity,tocity,fromroom,toroom from h_btsdispatch")),
              QStringList{QStringLiteral("11|11|%1|%1").arg(Fixture::roomCode(1))});
}

// Of two rooms sharing a name the one chosen is the one reached; a number the host shows
// in its own format does not make the commit think the BTS was moved meanwhile.
TEST_F(MoveBtsTest, TheChosenRoomOfASharedNameIsReached)
{
    QMap<QString, AttrTable> shown = main->attrMap();
    AttrTable& bts = shown[QStringLiteral("G")];
    bts.set(AttrTable::DisplayValue, bts.findField(QStringLiteral("basenum")), QStringLiteral("101号"));
    wizard->showBts(QStringLiteral("G"), shown, true);
    ASSERT_TRUE(choose("city", QStringLiteral("甲市")));
    ASSERT_TRUE(choose("belongroom", QStringLiteral("一号机房(JF-003)")));
    QTest::mouseClick(button("cmdNext"), Qt::LeftButton);
    ASSERT_EQ(wizard->currentPage(), 2) << told.join(QLatin1Char('/')).toStdString();
    ASSERT_TRUE(wizard->commit()) << told.join(QLatin1Char('/')).toStdString();
    EXPECT_EQ(db.rows(QStringLiteral("select roomcode from res_baseroom where gbts is not null and gbts<>''")),
              QStringList{Fixture::roomCode(3)});
    EXPECT_EQ(db.rows(QStringLiteral("select belongroom from res_gbts where basecode='%1'").arg(Fixture::btsCode(101))),
              QStringList{QStringLiteral("一号机房")});
    EXPECT_EQ(db.rows(QStringLiteral("select toroom from h_btsdispatch")), QStringList{Fixture::roomCode(3)});
}

// Another user's commit holds the database: the wait shows the busy pointer, the user is
// told in Chinese that nothing changed and may try again; the database's words come along.
TEST_F(MoveBtsTest, ABusyDatabaseIsToldAndTriedAgain)
{
    fillAndNext();
    ASSERT_EQ(wizard->currentPage(), 2);
    db.service()->setLockWait(200);
    host::SqlDataService other;
    QString error;
    ASSERT_TRUE(other.open(db.location(), &error)) << error.toStdString();
    ASSERT_TRUE(other.BeginTrans(QLatin1String(SystemDatabase))) << other.LastError().toStdString();
    const QStringList before = WizardFixture::dump(db);

    // Cancel: nothing written, the wizard stays on its last page.
    EXPECT_FALSE(wizard->commit());
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told.first().startsWith(
        QStringLiteral("其他用户正在保存数据，数据库暂时无法写入，本次调整未作任何修改。\r\n是否重试？ [?] ")));
    EXPECT_GT(told.first().size(), 45);
    EXPECT_EQ(wizard->currentPage(), 2);
    EXPECT_EQ(WizardFixture::dump(db), before);

    // Retry once the other user is done: the commit goes through.
    told.clear();
    retry = [&] { return other.RollbackTrans(QLatin1String(SystemDatabase)); };
    EXPECT_TRUE(wizard->commit());
    ASSERT_EQ(told.size(), 2);
    EXPECT_EQ(told.last(), QStringLiteral("基站调整成功\r\n请在资源维护中添加小区、天线、馈线的信息 [i]"));
    EXPECT_EQ(db.rows(QStringLiteral("select count(*) from h_btsdispatch")), QStringList{QStringLiteral("1")});
}

TEST_F(MoveBtsTest, CancelWritesNothing)
{
    const QStringList before = WizardFixture::dump(db);
    fillAndNext();
    QPointer<frmMoveBts> guard(wizard);
    QTest::mouseClick(button("cmdCancel"), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(guard.isNull());
    EXPECT_EQ(WizardFixture::dump(db), before);
}

TEST_F(MoveBtsTest, ShowBtsWhileOpenStartsOverForTheNewBts)
{
    fillAndNext();
    ASSERT_EQ(wizard->currentPage(), 2);
    // The main window shows another room and the user starts a relocation of its C BTS.
    main->showBts(QStringLiteral("11"), QStringLiteral("二号机房"));
    main->findChild<QTabWidget*>(QStringLiteral("sstMain"))->setCurrentIndex(1);
    main->bar()->tool(QStringLiteral("mnuDispatch"))->trigger();
    EXPECT_EQ(mdlPubVar::instance().form(QStringLiteral("frmMoveBts")), wizard);
    EXPECT_EQ(wizard->currentPage(), 0);
    EXPECT_EQ(wizard->state().btsCode, Fixture::btsCode(202));
    EXPECT_EQ(wizard->state().cellCount, 0);
    EXPECT_TRUE(grid->Items().GetItem(QStringLiteral("belongroom"))->Value().toString().isEmpty());
    EXPECT_EQ(summary(), QStringList{QStringLiteral("|||")});
}

TEST_F(MoveBtsTest, QuotesAndTheMarkerInValuesAreStoredAsTyped)
{
    const QString remark = QStringLiteral("O'Neil's 机房H=62s2Q') ; delete from res_gbts; --") + QString(300, QChar(0x4E2D));
    ASSERT_TRUE(choose("city", QStringLiteral("甲市")));
    ASSERT_TRUE(choose("belongroom", QStringLiteral("三号机房")));
    ASSERT_TRUE(choose("remark", remark));
    QTest::mouseClick(button("cmdNext"), Qt::LeftButton);
    ASSERT_EQ(wizard->currentPage(), 2);
    ASSERT_TRUE(wizard->commit());
    EXPECT_EQ(db.rows(QStringLiteral("select remark from res_gbts where basecode='%1'").arg(Fixture::btsCode(101))),
              QStringList{remark});
    EXPECT_EQ(db.rows(QStringLiteral("select count(*) from res_gbts")), QStringList{QStringLiteral("2")});
    const QString disinfo = db.rows(QStringLiteral("select disinfo from h_btsdispatch")).value(0);
    EXPECT_TRUE(disinfo.contains(QStringLiteral("BTS属性:备注,从:老站,修改为:") + remark + QStringLiteral(";H=62s2Q")));
}

TEST_F(MoveBtsTest, WithoutTransactionsTheStepsRunOneByOneAsBefore)
{
    fillAndNext();
    ASSERT_EQ(wizard->currentPage(), 2);
    // A host whose data service offers no transactions: the steps run one by one, and a
    // failure keeps what the steps before it wrote.
    corvan::test::PlainDataService plain(host.recorder());
    QVector<QObject*> objArr = host.objectArray();
    objArr[HostSlot::Data] = &plain;
    component.initEnv(objArr);
    ASSERT_EQ(mdlPubVar::instance().TransactionService(), nullptr);

    plain.failWhen([](const QString& sql) { return sql.startsWith(QStringLiteral("delete from res_gcell")); });
    EXPECT_FALSE(wizard->commit());
    // Nothing is said for the first three steps, as before.
    EXPECT_TRUE(told.isEmpty()) << told.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(db.rows(QStringLiteral("select gbts from res_baseroom where roomcode='%1'").arg(Fixture::roomCode(4))),
              QStringList{QStringLiteral("101")});
    EXPECT_EQ(db.rows(QStringLiteral("select count(*) from res_gcell where bts='101'")), QStringList{QStringLiteral("4")});
    EXPECT_FALSE(host.recorder()->calls().contains(QStringLiteral("BEGIN")));

    // The record failing is told; a second Commit then runs all four steps again.
    plain.failWhen([](const QString& sql) { return sql.startsWith(QStringLiteral("insert into h_btsdispatch")); });
    EXPECT_FALSE(wizard->commit());
    EXPECT_EQ(told, QStringList{QStringLiteral("保存调整记录失败")});
    EXPECT_EQ(db.rows(QStringLiteral("select count(*) from res_gcell where bts='101'")), QStringList{QStringLiteral("0")});
    EXPECT_EQ(wizard->currentPage(), 2);

    plain.failWhen({});
    told.clear();
    EXPECT_TRUE(wizard->commit());
    EXPECT_EQ(told.size(), 1);
    EXPECT_EQ(db.rows(QStringLiteral("select count(*) from h_btsdispatch")), QStringList{QStringLiteral("1")});
}

} // namespace
