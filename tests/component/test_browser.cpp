// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>
#include <QWindow>

#include "browser/frm_main.h"
#include "browser/frm_q_in_base_room.h"
#include "browser/main_desk.h"
#include "corvan/controls/sheet.h"
#include "entry/cls_main.h"
#include "ui/active_bar.h"

#include "core/relocation/move_bts_state.h"
#include "history/frm_view_history.h"
#include "relocation/frm_move_bts.h"
#include "support/fixture.h"
#include "support/pg_servers.h"
#include "support/test_host.h"

using namespace corvan;
using corvan::test::Fixture;
using corvan::test::TestDatabase;
using corvan::test::TestHost;

namespace {

template <class T> T* child(QWidget* parent, const char* name)
{
    T* found = parent ? parent->findChild<T*>(QString::fromLatin1(name)) : nullptr;
    EXPECT_NE(found, nullptr) << name;
    return found;
}

QString key(const QTreeWidgetItem* item)
{
    return item->data(0, frmQInBaseRoom::KeyRole).toString();
}

// Every node of the tree as "key=text", depth first, each opened as a user opens it (a
// county's rooms become nodes when it opens).
QStringList nodes(const QTreeWidget* tree)
{
    QStringList out;
    std::function<void(QTreeWidgetItem*)> walk = [&](QTreeWidgetItem* item) {
        out << key(item) + QLatin1Char('=') + item->text(0);
        item->setExpanded(true);
        for (int i = 0; i < item->childCount(); ++i)
            walk(item->child(i));
    };
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        walk(tree->topLevelItem(i));
    return out;
}

// A role whose cities were all taken away after the room search loaded.
class NoCities : public QObject, public RightService {
    Q_OBJECT
    Q_INTERFACES(corvan::RightService)

public:
    QString GetRightCityList(const QString&) override { return QStringLiteral(" "); }
    bool HasCityRight(const QString&, const QString&) override { return false; }
};

class BrowserTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Fixture::load(db);
        component.initEnv(host.objectArray());
        component.ShowMainForm();
        main = qobject_cast<frmMain*>(component.loaded<frmMain>());
        ASSERT_NE(main, nullptr);
        search = main->roomSearch();
        tree = child<QTreeWidget>(search, "tvwRoom");
        host.recorder()->clear();
    }
    void TearDown() override { component.clearEnv(); }

    QStringList sentLike(const QString& start) const
    {
        QStringList found;
        for (const QString& sql : host.recorder()->statements())
            if (sql.startsWith(start))
                found << sql;
        return found;
    }

    void query(int city, const QString& name, const QString& number)
    {
        child<QComboBox>(search, "cboCity")->setCurrentIndex(city);
        child<QLineEdit>(search, "txtName")->setText(name);
        child<QLineEdit>(search, "txtNo")->setText(number);
        QTest::mouseClick(child<QPushButton>(search, "cmdOk"), Qt::LeftButton);
    }

    QStringList sheetRow(const QString& net, int row) const
    {
        Sheet* sheet = main->sheet(net);
        return {sheet->TextRC(row, 1), sheet->TextRC(row, 2), sheet->TextRC(row, 3)};
    }

    TestDatabase db;
    TestHost host{db};
    clsMain component;
    frmMain* main = nullptr;
    frmQInBaseRoom* search = nullptr;
    QTreeWidget* tree = nullptr;
};

TEST_F(BrowserTest, CityListAndEmptyTreeOnLoad)
{
    auto* cities = child<QComboBox>(search, "cboCity");
    auto* ids = child<QComboBox>(search, "cboCityBack");
    ASSERT_EQ(cities->count(), 3);
    EXPECT_EQ(cities->itemText(0), QStringLiteral("全部"));
    EXPECT_EQ(cities->itemText(1), QStringLiteral("乙市"));
    EXPECT_EQ(ids->itemText(2), QStringLiteral("11"));
    EXPECT_FALSE(ids->isVisibleTo(search));
    EXPECT_EQ(tree->topLevelItemCount(), 0);
    // All cities are the cities the user may query.
    EXPECT_TRUE(search->roomQuery().contains(QStringLiteral(" city in ( '11','12' ) ")))
        << search->roomQuery().toStdString();
    EXPECT_EQ(main->windowTitle(), QStringLiteral("基站调整"));
    EXPECT_EQ(child<QPushButton>(search, "cmdOk")->text(), QStringLiteral("查  询"));
    EXPECT_TRUE(child<QLabel>(search, "lblEmpty")->isHidden());
}

// A user the rights know nothing of is told so as the window opens, by name, and again by a
// query of all cities, which sends no room statement.
TEST(BrowserStranger, AUserWithoutCitiesIsToldAtStart)
{
    TestDatabase db;
    Fixture::load(db);
    TestHost host(db, QStringLiteral("stranger"));
    clsMain component;
    component.initEnv(host.objectArray());
    component.ShowMainForm();
    auto* main = qobject_cast<frmMain*>(component.loaded<frmMain>());
    ASSERT_NE(main, nullptr);
    frmQInBaseRoom* search = main->roomSearch();
    const QString told = QStringLiteral("用户 stranger 没有任何地市的查询权限，请联系管理员");
    EXPECT_FALSE(child<QLabel>(search, "lblEmpty")->isHidden());
    EXPECT_EQ(child<QLabel>(search, "lblEmpty")->text(), told);
    EXPECT_EQ(child<QComboBox>(search, "cboCity")->count(), 1);
    host.recorder()->clear();
    QTest::mouseClick(child<QPushButton>(search, "cmdOk"), Qt::LeftButton);
    for (const QString& sql : host.recorder()->statements())
        EXPECT_FALSE(sql.startsWith(QStringLiteral("select roomname"))) << sql.toStdString();
    EXPECT_EQ(child<QLabel>(search, "lblEmpty")->text(), told);
    EXPECT_FALSE(child<QLabel>(search, "lblEmpty")->isHidden());
    component.clearEnv();
}

// The main window follows the tree: a query that still finds the room on show keeps it and
// points at it, one that does not clears it. A result of one county or of fewer than fifty
// rooms opens down to its rooms; the count stands under the tree.
TEST_F(BrowserTest, TheShownRoomFollowsTheQueryAndSmallResultsOpen)
{
    QStringList rooms;
    for (int i = 1; i <= 49; ++i)
        rooms << QStringLiteral("('%1','乙市%2号机房','YS-%2','12','1201')")
                     .arg(Fixture::roomCode(900 + i))
                     .arg(i);
    db.exec(QStringLiteral("insert into res_baseroom(roomcode,roomname,roomno,city,county) values ") +
            rooms.join(QLatin1Char(',')));
    const struct {
        int city;
        QString name;
        QString count;
        bool open;
    } results[] = {
        {1, QString(), QStringLiteral("共 50 个机房，1 个区县"), true},  // one county of fifty
        {0, QString(), QStringLiteral("共 53 个机房，3 个区县"), false}, // fifty-three in three
        {0, QStringLiteral("号机房"), QStringLiteral("共 52 个机房，3 个区县"), false},
        {2, QString(), QStringLiteral("共 3 个机房，2 个区县"), true}, // fewer than fifty
    };
    for (const auto& r : results) {
        query(r.city, r.name, QString());
        EXPECT_EQ(child<QLabel>(search, "lblCount")->text(), r.count) << r.city;
        EXPECT_FALSE(child<QLabel>(search, "lblCount")->isHidden());
        for (int c = 0; c < tree->topLevelItem(0)->childCount(); ++c)
            for (int n = 0; n < tree->topLevelItem(0)->child(c)->childCount(); ++n)
                EXPECT_EQ(tree->topLevelItem(0)->child(c)->child(n)->isExpanded(), r.open) << r.city;
    }
    // The node captions are the tree's own, the count stands apart.
    EXPECT_EQ(tree->topLevelItem(0)->child(0)->text(0), QStringLiteral("甲市"));
    EXPECT_EQ(tree->topLevelItem(0)->child(0)->child(0)->child(0)->text(0),
              QStringLiteral("一号机房(JF-001)"));

    main->showBts(QStringLiteral("11"), QStringLiteral("一号机房"));
    const QString shown = QStringLiteral("基站调整     当前基站:甲市—一号机房");
    ASSERT_EQ(main->windowTitle(), shown);
    query(2, QStringLiteral("一号"), QString());
    EXPECT_EQ(main->windowTitle(), shown);
    EXPECT_FALSE(main->sheet(QStringLiteral("G"))->isHidden());
    ASSERT_NE(tree->currentItem(), nullptr);
    EXPECT_EQ(key(tree->currentItem()), QStringLiteral("L411一号机房"));
    query(2, QStringLiteral("三号"), QString());
    EXPECT_EQ(main->windowTitle(), QStringLiteral("基站调整"));
    EXPECT_TRUE(main->sheet(QStringLiteral("G"))->isHidden());
    EXPECT_TRUE(main->shownRoom().isEmpty());
    // Nothing found clears it as well, and says so instead of a count.
    main->showBts(QStringLiteral("11"), QStringLiteral("三号机房"));
    query(2, QStringLiteral("不存在"), QString());
    EXPECT_EQ(main->windowTitle(), QStringLiteral("基站调整"));
    EXPECT_TRUE(child<QLabel>(search, "lblCount")->isHidden());
}

TEST_F(BrowserTest, AllCitiesTreeHasOneNodePerCityAndCountyAndSkipsDuplicateNames)
{
    query(0, QStringLiteral("  "), QString());
    EXPECT_EQ(
        host.recorder()->statements().value(0),
        QStringLiteral("select roomname,roomno,county,city,gbts,cbts,dbts,roomcode from res_baseroom  where  "
                       "city in ( '11','12' )  order  by city,county, roomno "));
    // A result this small opens at once. Filled without the query button, a county waits
    // closed and shows that it holds rooms before they are nodes.
    QTreeWidgetItem* east = tree->topLevelItem(0)->child(0)->child(0);
    EXPECT_TRUE(east->isExpanded());
    EXPECT_EQ(east->childCount(), 2);
    host.recorder()->clear();
    search->FillRoomTree(search->roomQuery());
    east = tree->topLevelItem(0)->child(0)->child(0);
    EXPECT_EQ(key(east), QStringLiteral("L3111101"));
    EXPECT_EQ(east->childCount(), 0);
    EXPECT_EQ(east->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    EXPECT_EQ(nodes(tree),
              (QStringList{QStringLiteral("L1Root=测试省"), QStringLiteral("L211=甲市"),
                           QStringLiteral("L3111101=东区"), QStringLiteral("L411一号机房=一号机房(JF-001)"),
                           QStringLiteral("L411二号机房=二号机房(JF-002)"), QStringLiteral("L3111102=西区"),
                           QStringLiteral("L411三号机房=三号机房"), QStringLiteral("L212=乙市"),
                           QStringLiteral("L3121201=北县"), QStringLiteral("L412空机房=空机房(JF-005)")}));
    EXPECT_TRUE(tree->topLevelItem(0)->isExpanded());
    EXPECT_EQ(search->node(QStringLiteral("L412空机房"))->data(0, frmQInBaseRoom::TagRole).toString(),
              QStringLiteral("JF-005"));
    // Division names are looked up once per city and county, not once per room.
    EXPECT_EQ(sentLike(QStringLiteral("select city_name from com_city")).size(), 2);
    EXPECT_EQ(sentLike(QStringLiteral("select county_name from com_county")).size(), 3);
}

TEST_F(BrowserTest, OneCityWithNameAndNumber)
{
    query(2, QStringLiteral(" 号 "), QStringLiteral("JF-00"));
    EXPECT_EQ(
        host.recorder()->statements().value(0),
        QStringLiteral("select roomname,roomno,county,city,gbts,cbts,dbts,roomcode from res_baseroom  where  "
                       "city = '11'  and roomname like '%号%'  and roomno like '%JF-00%'  order  by city,"
                       "county, roomno "));
    EXPECT_EQ(nodes(tree).size(), 6); // root, city, two counties, 一号机房 and 二号机房 (三号 has no number)

    query(2, QStringLiteral("不存在"), QString());
    EXPECT_EQ(tree->topLevelItemCount(), 0);
    EXPECT_EQ(child<QLabel>(search, "lblEmpty")->text(), frmQInBaseRoom::NothingFound);

    // A role that holds no city asks for all of them without sending " city in (  ) ", and is
    // told why nothing shows; one city chosen is still asked for.
    NoCities none;
    component.context().setRightService(&none);
    host.recorder()->clear();
    query(0, QString(), QString());
    EXPECT_TRUE(sentLike(QStringLiteral("select roomname")).isEmpty());
    EXPECT_EQ(tree->topLevelItemCount(), 0);
    EXPECT_EQ(child<QLabel>(search, "lblEmpty")->text(),
              QStringLiteral("用户 demo 没有任何地市的查询权限，请联系管理员"));
    query(2, QString(), QString());
    EXPECT_EQ(sentLike(QStringLiteral("select roomname")).size(), 1);
    EXPECT_GT(tree->topLevelItemCount(), 0);
}

TEST_F(BrowserTest, UnknownDivisionsShowAsUnknown)
{
    search->FillRoomTree(
        QStringLiteral("select roomname,roomno,county,city from res_baseroom where city='99'"));
    EXPECT_EQ(nodes(tree), (QStringList{QStringLiteral("L1Root=测试省"), QStringLiteral("L299=未知"),
                                        QStringLiteral("L3999901=未知"),
                                        QStringLiteral("L499远方机房=远方机房(JF-006)")}));
    search->FillRoomTree(QString());
    EXPECT_EQ(tree->topLevelItemCount(), 0);
}

TEST_F(BrowserTest, ClickingARoomNodeShowsItsBtsOnTheNetworkTabs)
{
    query(2, QStringLiteral("一号"), QString());
    QTreeWidgetItem* room = search->node(QStringLiteral("L411一号机房"));
    ASSERT_NE(room, nullptr);
    tree->scrollToItem(room);
    host.recorder()->clear();
    // Clicks on a city or county node do nothing.
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                      tree->visualItemRect(search->node(QStringLiteral("L211"))).center());
    EXPECT_TRUE(host.recorder()->statements().isEmpty());
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(room).center());

    EXPECT_EQ(main->windowTitle(), QStringLiteral("基站调整     当前基站:甲市—一号机房"));
    const QStringList once{QStringLiteral("select net,basecode,basenum,city,county,belongroom from v_res_bts "
                                          "where roomcode='00000000000000000001'")};
    EXPECT_EQ(sentLike(QStringLiteral("select net,")), once);
    // A double click is one action, and so is Enter on the chosen node: the room is shown once each.
    host.recorder()->clear();
    // A double click: the first click, then the second that the view takes as the double one.
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(room).center());
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(room).center());
    EXPECT_EQ(sentLike(QStringLiteral("select net,")), once);
    host.recorder()->clear();
    tree->setCurrentItem(room);
    QTest::keyClick(tree, Qt::Key_Return);
    EXPECT_EQ(sentLike(QStringLiteral("select net,")), once);
    EXPECT_FALSE(main->sheet(QStringLiteral("G"))->isHidden());
    EXPECT_FALSE(main->sheet(QStringLiteral("C"))->isHidden());
    EXPECT_TRUE(main->sheet(QStringLiteral("D"))->isHidden());
    EXPECT_EQ(child<QTabWidget>(main, "sstMain")->currentIndex(), 0);
    EXPECT_EQ(main->attrMap().keys(), (QStringList{QStringLiteral("C"), QStringLiteral("G")}));

    // Hidden fields and pictures leave no gap; divisions show by name.
    Sheet* g = main->sheet(QStringLiteral("G"));
    EXPECT_EQ(g->MaxRow(), 9);
    EXPECT_EQ(g->ColText(1), QStringLiteral("属性组"));
    EXPECT_EQ(sheetRow(QStringLiteral("G"), 1),
              (QStringList{QStringLiteral("基本信息"), QStringLiteral("基站编码"), Fixture::btsCode(101)}));
    EXPECT_EQ(sheetRow(QStringLiteral("G"), 4),
              (QStringList{QStringLiteral("位置信息"), QStringLiteral("所属地市"), QStringLiteral("甲市")}));
    EXPECT_EQ(
        sheetRow(QStringLiteral("G"), 6),
        (QStringList{QStringLiteral("位置信息"), QStringLiteral("所属机房"), QStringLiteral("一号机房")}));
    EXPECT_EQ(sheetRow(QStringLiteral("G"), 7),
              (QStringList{QStringLiteral("设备信息"), QStringLiteral("所属BSC"), QStringLiteral("BSC1")}));
    EXPECT_EQ(sheetRow(QStringLiteral("G"), 9),
              (QStringList{QStringLiteral("其他信息"), QStringLiteral("备注"), QStringLiteral("老站")}));
    // Group ranges are merged blocks of column 1; emphasis marks caption and value cells.
    EXPECT_EQ(g->table()->rowSpan(0, 0), 3);
    EXPECT_EQ(g->table()->rowSpan(3, 0), 3);
    EXPECT_EQ(g->table()->rowSpan(6, 0), 2);
    const QColor emphasis(181, 235, 255);
    EXPECT_EQ(g->CellBackground(2, 2), emphasis);
    EXPECT_EQ(g->CellBackground(3, 3), emphasis);
    EXPECT_NE(g->CellBackground(1, 2), emphasis);
    EXPECT_NE(g->CellBackground(2, 1), emphasis);
    EXPECT_EQ(main->attrMap().value(QStringLiteral("G")).at(AttrTable::DisplayValue, 1),
              Fixture::btsCode(101));
}

TEST_F(BrowserTest, RoomWithoutBtsAndUnknownRoomShowTheEmptyState)
{
    main->showBts(QStringLiteral("11"), QStringLiteral("一号机房"));
    child<QTabWidget>(main, "sstMain")->setCurrentIndex(2);
    main->showBts(QStringLiteral("12"), QStringLiteral("空机房"));
    EXPECT_EQ(main->windowTitle(), QStringLiteral("基站调整     当前基站:乙市—空机房"));
    for (const char* net : {"G", "C", "D"})
        EXPECT_TRUE(main->sheet(QString::fromLatin1(net))->isHidden()) << net;
    EXPECT_EQ(child<QTabWidget>(main, "sstMain")->currentIndex(), 0);

    host.recorder()->clear();
    main->showBts(QStringLiteral("12"), QStringLiteral("没有这个机房"));
    EXPECT_EQ(sentLike(QStringLiteral("select net,")).value(0),
              QStringLiteral(
                  "select net,basecode,basenum,city,county,belongroom from v_res_bts where roomcode=''"));
    EXPECT_EQ(main->windowTitle(), QStringLiteral("基站调整     当前基站:乙市—没有这个机房"));

    main->hideBts();
    EXPECT_EQ(main->windowTitle(), QStringLiteral("基站调整"));
}

TEST_F(BrowserTest, LowerCaseNetworkAndTheLaterOfTwoRowsWins)
{
    // A view that hands back what an operator's database might: a lower-case letter,
    // two BTSs of one network in one room, and a network the window does not know.
    db.exec(QStringLiteral(
        "create table t_rows (serial integer, net text, basecode text, basenum text, city text, "
        "county text, belongroom text, roomcode text)"));
    db.exec(QStringLiteral(
                "insert into t_rows values (1,'g','%1','101','11','1101','一号机房','%3'),"
                "(2,'G','%2','102','11','1102','一号机房','%3'),(3,'X','%1','101','11','1101','','%3')")
                .arg(Fixture::btsCode(101), Fixture::btsCode(102), Fixture::roomCode(1)));
    db.exec(QStringLiteral("drop view v_res_bts"));
    db.exec(
        QStringLiteral("create view v_res_bts as select net,basecode,basenum,city,county,belongroom,roomcode "
                       "from t_rows order by serial"));
    main->showBts(QStringLiteral("11"), QStringLiteral("一号机房"));
    EXPECT_FALSE(main->sheet(QStringLiteral("G"))->isHidden());
    EXPECT_TRUE(main->sheet(QStringLiteral("C"))->isHidden());
    EXPECT_EQ(main->sheet(QStringLiteral("G"))->TextRC(1, 3), Fixture::btsCode(102));
    EXPECT_EQ(main->attrMap().value(QStringLiteral("G")).at(AttrTable::DisplayValue, 3),
              QStringLiteral("甲二G基站"));
    EXPECT_EQ(main->attrMap().size(), 1);
}

TEST_F(BrowserTest, DispatchNeedsTheShownBtsOfTheCurrentTab)
{
    ActiveBar* bar = main->bar();
    EXPECT_EQ(bar->tool(QStringLiteral("mnuDispatch"))->text(), QStringLiteral("基站调整"));
    EXPECT_EQ(bar->tool(QStringLiteral("mnuDispatch"))->toolTip(), QStringLiteral("调整当前显示的基站"));
    EXPECT_EQ(bar->tool(QStringLiteral("mnuHistory"))->toolTip(), QStringLiteral("查看基站调整记录"));
    EXPECT_EQ(bar->tool(QStringLiteral("mnuExit"))->text(), QStringLiteral("    退   出   "));

    // No room on show: nothing to relocate.
    bar->tool(QStringLiteral("mnuDispatch"))->trigger();
    EXPECT_EQ(host.messages()->messages, QStringList{frmMain::NoBtsMessage});
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // A room with only a C BTS after a room with a G one: the map still holds G, but its
    // sheet is hidden.
    main->showBts(QStringLiteral("11"), QStringLiteral("一号机房"));
    main->showBts(QStringLiteral("11"), QStringLiteral("二号机房"));
    EXPECT_TRUE(main->attrMap().contains(QStringLiteral("G")));
    bar->tool(QStringLiteral("mnuDispatch"))->trigger();
    EXPECT_EQ(host.messages()->messages.size(), 2);
    EXPECT_EQ(component.loaded<frmMoveBts>(), nullptr);

    child<QTabWidget>(main, "sstMain")->setCurrentIndex(1);
    // Somewhere the wizard would not stand by chance; the main window gets its place back, as
    // the windows of later tests remember it.
    const QRect placed = main->geometry();
    main->setGeometry(200, 150, 400, 400);
    bar->tool(QStringLiteral("mnuDispatch"))->trigger();
    EXPECT_EQ(host.messages()->messages.size(), 2);
    auto* wizard = qobject_cast<frmMoveBts*>(component.loaded<frmMoveBts>());
    ASSERT_NE(wizard, nullptr);
    EXPECT_TRUE(wizard->isVisible());
    // It opens over the main window, which its entry class told it.
    EXPECT_LE((wizard->frameGeometry().center() - main->frameGeometry().center()).manhattanLength(), 2);
    main->setGeometry(placed);
    EXPECT_EQ(wizard->state().net, QStringLiteral("C"));
    EXPECT_TRUE(wizard->state().simpleMode);
    EXPECT_EQ(wizard->state().attrMap.value(QStringLiteral("C")).at(AttrTable::DisplayValue, 1),
              Fixture::btsCode(202));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // A wizard already open is filled again, not opened twice.
    bar->tool(QStringLiteral("mnuDispatch"))->trigger();
    int wizards = 0;
    for (QWidget* form : component.forms())
        wizards += form->objectName() == QLatin1String("frmMoveBts");
    EXPECT_EQ(wizards, 1);
}

TEST_F(BrowserTest, HistoryWindowOutlivesTheHostsCallsAndStaysModalToTheMainWindow)
{
    main->bar()->tool(QStringLiteral("mnuHistory"))->trigger();
    QPointer<QWidget> history = component.loaded<frmViewHistory>();
    ASSERT_TRUE(history);
    const auto modalToMain = [&](QWidget* owner) {
        return history->isVisible() && QApplication::activeModalWidget() == history &&
               history->windowModality() == Qt::WindowModal && history->parentWidget() == nullptr &&
               history->windowHandle()->transientParent() == owner->windowHandle();
    };
    EXPECT_TRUE(modalToMain(main));
    EXPECT_EQ(history->windowTitle(), QStringLiteral("基站调整历史记录"));

    // Hidden and shown by the host: back exactly as it was, still modal.
    component.hildFrm();
    EXPECT_FALSE(history->isVisible());
    component.showFrm();
    EXPECT_TRUE(modalToMain(main));

    // A fresh main window leaves it open, now owned by the new one.
    component.ShowMainForm();
    auto* second = qobject_cast<frmMain*>(component.loaded<frmMain>());
    ASSERT_TRUE(history);
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(modalToMain(second));

    // Unloading everything with it open unloads each window once, none left behind.
    QStringList unloaded;
    for (QWidget* form : component.forms())
        QObject::connect(form, &QObject::destroyed,
                         [&unloaded, name = form->objectName()] { unloaded << name; });
    component.clearEnv();
    EXPECT_TRUE(history.isNull());
    EXPECT_TRUE(component.forms().isEmpty());
    // In load order: the history windows came before the fresh main window.
    EXPECT_EQ(unloaded, (QStringList{QStringLiteral("frmQDispathHis"), QStringLiteral("frmViewHistory"),
                                     QStringLiteral("frmQInBaseRoom"), QStringLiteral("frmMain")}));
}

TEST_F(BrowserTest, ExitClosesTheMainWindowAndKeepsTheRoomSearch)
{
    QPointer<frmMain> guard(main);
    main->bar()->tool(QStringLiteral("mnuExit"))->trigger();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(guard.isNull());
    // The room search window stays loaded on its own, until a fresh main window brings its own.
    QPointer<frmQInBaseRoom> left = component.loaded<frmQInBaseRoom>();
    ASSERT_FALSE(left.isNull());
    component.ShowMainForm();
    EXPECT_TRUE(left.isNull());
    QStringList names;
    for (QWidget* form : component.forms())
        names << form->objectName();
    EXPECT_EQ(names, (QStringList{QStringLiteral("frmQInBaseRoom"), QStringLiteral("frmMain")}));
}

} // namespace

TEST_F(BrowserTest, ADatabaseOutOfReachIsToldInTheTreeTheTabsAndTheStatusBarNeverAsNothingFound)
{
    db.service()->setReconnectSchedule({0, 50});
    auto* empty = child<QLabel>(search, "lblEmpty");
    auto* status = child<QLabel>(main, "lblConnection");
    ASSERT_NE(status, nullptr);
    const QString server = db.service()->ServerName();
    const QString connected =
        (db.isPostgresql() ? QStringLiteral("已连接 ") : QStringLiteral("已打开 ")) + server;
    EXPECT_EQ(status->text(), connected);
    EXPECT_TRUE(MainDesk::aboutText(component.context()).endsWith(QStringLiteral("\n连接：") + connected));

    // A query that fails for another reason is a failure too, not an empty province.
    host.recorder()->failWhen(
        [](const QString& sql) { return sql.startsWith(QLatin1String("select roomname")); });
    query(0, QString(), QString());
    EXPECT_EQ(empty->text(), frmQInBaseRoom::QueryFailed);
    host.recorder()->failWhen({});

    test::Outage outage(db, test::Outage::Kind::Lasting);
    outage.begin();
    query(0, QString(), QString());
    const QString away = db.isPostgresql() ? QStringLiteral("无法连接数据库服务器 %1，正在重试").arg(server)
                                           : QStringLiteral("无法打开数据库文件 %1，正在重试").arg(server);
    EXPECT_EQ(tree->topLevelItemCount(), 0);
    EXPECT_FALSE(empty->isHidden());
    EXPECT_EQ(empty->text(), away + QStringLiteral("。") + frmQInBaseRoom::AskAgain);
    EXPECT_EQ(status->text(), away);
    // A room's BTSs that cannot be read are not said to be none.
    main->showBts(QStringLiteral("11"), QStringLiteral("一号机房"));
    EXPECT_TRUE(child<QLabel>(main, "lblEmptyG")->text().startsWith(away))
        << child<QLabel>(main, "lblEmptyG")->text().toStdString();

    outage.end();
    query(0, QString(), QString());
    EXPECT_GT(tree->topLevelItemCount(), 0);
    EXPECT_TRUE(empty->isHidden());
    EXPECT_EQ(status->text(), connected);
}

#include "test_browser.moc"

// What a user waits on when the tree of one city fills and when a room is shown, statement
// by statement: the room list, then one name per city and county on show (not per room); a
// room's code, its BTSs and its city's name for the caption. A change that reads per room or
// reads a room's BTSs twice fails here, on both engines.
TEST_F(BrowserTest, TheTreeOfOneCityAndShowingARoomSendOnlyTheirOwnStatements)
{
    query(2, QString(), QString());
    EXPECT_EQ(host.recorder()->statements(),
              (QStringList{QStringLiteral("select roomname,roomno,county,city,gbts,cbts,dbts,roomcode from "
                                          "res_baseroom  where  city = '11'  order  by city,county, roomno "),
                           QStringLiteral("select city_name from com_city where city_id = 11"),
                           QStringLiteral("select county_name from com_county where county_id = 1101"),
                           QStringLiteral("select county_name from com_county where county_id = 1102")}));
    host.recorder()->clear();
    QTreeWidgetItem* room = search->node(QStringLiteral("L411一号机房"));
    ASSERT_NE(room, nullptr);
    tree->scrollToItem(room);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(room).center());
    EXPECT_EQ(host.recorder()->statements(),
              (QStringList{
                  QStringLiteral("select roomcode from res_baseroom where city='11' and roomname='一号机房'"),
                  QStringLiteral("select net,basecode,basenum,city,county,belongroom from v_res_bts where "
                                 "roomcode='00000000000000000001'"),
                  QStringLiteral("select city_name from com_city where city_id = 11")}));
}
