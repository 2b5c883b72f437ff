// SPDX-License-Identifier: MIT
#include "corvan/controls/property_item.h"
#include "corvan/controls/property_items.h"
#include "entry/cls_main.h"
#include "core/mdl_pub_var.h"
#include "core/resource_view.h"
#include "core/bts_page.h"
#include "support/fixture.h"
#include "support/test_host.h"

#include <algorithm>
#include <gtest/gtest.h>

using namespace corvan;
using corvan::test::Fixture;
using corvan::test::TestDatabase;
using corvan::test::TestHost;

namespace {

// Each row as "key|caption|type|value", a hidden row marked with a trailing "|hidden".
QStringList rows(const PropertyItems& items)
{
    QStringList out;
    for (const auto& item : items) {
        QString row = item->Key() + QLatin1Char('|') + item->Caption() + QLatin1Char('|') +
                      QString::number(item->Type()) + QLatin1Char('|') + item->Value().toString();
        if (!item->Visible())
            row += QStringLiteral("|hidden");
        out << row;
    }
    return out;
}

// A row's options as "code=caption".
QStringList options(const PropertyItems& grid, const QString& key)
{
    QStringList out;
    const PropertyItem* item = grid.GetItem(key);
    if (!item)
        return {QStringLiteral("no row ") + key};
    for (const auto& option : item->Children()) {
        EXPECT_EQ(option->Type(), ITEM_OPTION);
        out << option->Key().mid(2) + QLatin1Char('=') + option->Caption();
    }
    return out;
}

QStringList sorted(QStringList list)
{
    std::sort(list.begin(), list.end());
    return list;
}

class BtsPageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Fixture::load(db);
        db.exec(QStringLiteral("insert into gui_option(g_name,g_value) values "
                               "('GBtsDispatchModify','basenum,city,county,belongroom'),"
                               "('GBtsDispatchRemove','belongbsc,carriers'),"
                               "('GBtsDispatchNoDisplay','remark')"));
        db.exec(QStringLiteral(
            "insert into tabledictionarynew(tablename,enfield,getrule,customselectrule) values "
            "('res_gbts','city','select city_id,city_name from com_city where pro_id=''4'' order by "
            "showserial',null),"
            "('res_gbts','county',null,'county_id,county_name;v_com_county;city,city'),"
            "('res_gbts','belongroom','select roomcode,roomname from res_baseroom where city=''12''',null),"
            "('res_gbts','belongbsc','  YN  ',null),"
            "('res_gbts','carriers','yn',null)"));
        component.initEnv(host.objectArray());
        ASSERT_TRUE(
            ResourceView::GetResourceData(QStringLiteral("v_res_gbts"), Fixture::btsCode(101), &bts101));
        state.net = QStringLiteral("G");
        state.attrMap.insert(QStringLiteral("G"), bts101);
        host.recorder()->clear();
    }
    void TearDown() override { mdlPubVar::instance().reset(); }

    QStringList sent() const { return host.recorder()->statements(); }

    TestDatabase db;
    TestHost host{db};
    clsMain component;
    AttrTable bts101;
    MoveBtsState state;
    PropertyItems grid;
    QString caption = QStringLiteral("unchanged");
    QString number = QStringLiteral("unchanged");
};

TEST_F(BtsPageTest, SplitsTheFieldsIntoGroupsWithTheirOptions)
{
    grid.AddItem(0, QStringLiteral("stale"), QStringLiteral("earlier BTS"), ITEM_TEXT);
    ASSERT_TRUE(BtsPage::build(state, grid, &caption, &number));

    EXPECT_EQ(rows(grid), (QStringList{
                              QStringLiteral("G:M|需要修改的属性|1200|"),
                              QStringLiteral("basenum|基站编号|1206|"),
                              QStringLiteral("city|所属地市|1206|"),
                              QStringLiteral("county|所属区县|1206|"),
                              QStringLiteral("belongroom|所属机房|1206|"),
                              QStringLiteral("belongbsc|所属BSC|1206|"),
                              QStringLiteral("carriers|载频数|1206|"),
                              QStringLiteral("G:C|将被保留的属性|1200|"),
                              QStringLiteral("basecode|基站编码|1201|00000000000000000101"),
                              QStringLiteral("basename|基站名称|1201|甲一G基站"),
                              QStringLiteral("P:1||203||hidden"),
                          }));
    EXPECT_FALSE(grid.GetItem(QStringLiteral("G:M"))->GroupFlag());
    EXPECT_FALSE(grid.GetItem(QStringLiteral("G:C"))->GroupFlag());
    EXPECT_EQ(rows(grid.GetItem(QStringLiteral("P:1"))->Children()),
              QStringList{QStringLiteral("Pop1|查看原有属性|206|")});

    // Only the cities of the user's right: 丙市 is not among them.
    EXPECT_EQ(options(grid, QStringLiteral("city")), (QStringList{QStringLiteral("12=乙市"), QStringLiteral("11=甲市")}));
    EXPECT_EQ(sorted(options(grid, QStringLiteral("county"))),
              (QStringList{QStringLiteral("1101=东区"), QStringLiteral("1102=西区")}));
    // "YN" with blanks around it is the keyword; in lower case it is run as a query.
    EXPECT_EQ(options(grid, QStringLiteral("belongbsc")),
              (QStringList{QStringLiteral("Y=是"), QStringLiteral("N=否")}));
    EXPECT_EQ(options(grid, QStringLiteral("carriers")), QStringList());
    EXPECT_TRUE(sent().contains(QStringLiteral("yn")));
    EXPECT_FALSE(sent().contains(QStringLiteral("  YN  ")));
    // The room rule's options first, then the rooms of the BTS's city.
    const QStringList rooms = options(grid, QStringLiteral("belongroom"));
    ASSERT_EQ(rooms.size(), 5);
    EXPECT_EQ(rooms.first(), Fixture::roomCode(5) + QStringLiteral("=空机房"));
    // Two rooms of one name are told apart by their numbers, and each keeps its own code.
    EXPECT_EQ(sorted(rooms.mid(1)), (QStringList{Fixture::roomCode(1) + QStringLiteral("=一号机房(JF-001)"),
                                                 Fixture::roomCode(2) + QStringLiteral("=二号机房"),
                                                 Fixture::roomCode(3) + QStringLiteral("=一号机房(JF-003)"),
                                                 Fixture::roomCode(4) + QStringLiteral("=三号机房")}));
    EXPECT_TRUE(
        sent().contains(QStringLiteral("select roomcode,roomname from res_baseroom  where city='11'")));
    EXPECT_TRUE(sent().contains(QStringLiteral("select roomcode,roomno from res_baseroom where city='11'")));

    EXPECT_EQ(caption, QStringLiteral("甲市甲一G基站基站调整"));
    EXPECT_EQ(number, QStringLiteral("101"));
    EXPECT_EQ(state.btsAttr, bts101);
    // basecode basenum basename city county belongroom roomcode belongbsc carriers remark photo
    EXPECT_EQ(state.btsDisp.join(QLatin1Char(',')), QStringLiteral("C,M,C,M,M,M,,R,R,N,"));
    EXPECT_EQ(state.btsValue, QStringList(11, QString()));
    EXPECT_EQ(state.btsText, QStringList(11, QString()));
    EXPECT_EQ(state.btsCode, Fixture::btsCode(101));
    EXPECT_EQ(state.cityCode, QStringLiteral("11"));
    EXPECT_EQ(state.oldRoomValue, QStringLiteral("一号机房"));
    EXPECT_EQ(state.oldRoomCode, Fixture::roomCode(1));
}

TEST_F(BtsPageTest, WithoutRulesEveryShownFieldIsKept)
{
    db.exec(QStringLiteral("delete from gui_option"));
    ASSERT_TRUE(BtsPage::build(state, grid, &caption, &number));
    QStringList keys;
    for (const auto& item : grid)
        keys << item->Key();
    // No picture, nothing the host marks as hidden, and an empty group to modify.
    EXPECT_EQ(keys, (QStringList{
                        QStringLiteral("G:M"), QStringLiteral("G:C"), QStringLiteral("basecode"),
                        QStringLiteral("basenum"), QStringLiteral("basename"), QStringLiteral("city"),
                        QStringLiteral("county"), QStringLiteral("belongroom"), QStringLiteral("belongbsc"),
                        QStringLiteral("carriers"), QStringLiteral("remark"), QStringLiteral("P:1")}));
    EXPECT_EQ(grid.GetItem(QStringLiteral("city"))->Value().toString(), QStringLiteral("甲市"));
    EXPECT_EQ(grid.GetItem(QStringLiteral("remark"))->Value().toString(), QStringLiteral("老站"));
    EXPECT_EQ(grid.GetItem(QStringLiteral("belongroom"))->Children().ItemCount(), 0);
}

TEST_F(BtsPageTest, ABtsWithoutACityIsOfferedEveryRoom)
{
    AttrTable bts;
    const char* const fields[][4] = {{"basecode", "基站编码", "00000000000000000101", "char"},
                                     {"basenum", "基站编号", "101", "int"},
                                     {"basename", "基站名称", "甲一G基站", "char"},
                                     {"belongroom", "所属机房", "一号机房", "char"}};
    for (const auto& f : fields) {
        const int j = bts.appendField();
        bts.set(AttrTable::FieldName, j, QString::fromUtf8(f[0]));
        bts.set(AttrTable::Caption, j, QString::fromUtf8(f[1]));
        bts.set(AttrTable::DisplayValue, j, QString::fromUtf8(f[2]));
        bts.set(AttrTable::DataType, j, QString::fromUtf8(f[3]));
        bts.set(AttrTable::Display, j, QStringLiteral("Y"));
    }
    db.exec(QStringLiteral("delete from tabledictionarynew"));
    state.attrMap.insert(QStringLiteral("G"), bts);
    ASSERT_TRUE(BtsPage::build(state, grid, &caption, &number));
    EXPECT_EQ(caption, QStringLiteral("甲一G基站基站调整"));
    EXPECT_EQ(state.cityCode, QString());
    EXPECT_EQ(state.oldRoomCode, QString());
    EXPECT_EQ(options(grid, QStringLiteral("belongroom")).size(), 6);
    EXPECT_TRUE(sent().contains(QStringLiteral("select roomcode,roomname from res_baseroom ")));
}

TEST_F(BtsPageTest, StopsEarlyWithoutTouchingTheGrid)
{
    grid.AddItem(0, QStringLiteral("stale"), QStringLiteral("earlier BTS"), ITEM_TEXT);
    const QStringList before = rows(grid);

    state.net.clear();
    EXPECT_FALSE(BtsPage::build(state, grid, &caption, &number));
    EXPECT_TRUE(sent().isEmpty());

    // No table for the network, a letter that is no network, unreadable rules.
    state.net = QStringLiteral("C");
    EXPECT_FALSE(BtsPage::build(state, grid, &caption, &number));
    state.net = QStringLiteral("X");
    state.attrMap.insert(QStringLiteral("X"), bts101);
    EXPECT_FALSE(BtsPage::build(state, grid, &caption, &number));
    state.net = QStringLiteral("G");
    host.recorder()->failWhen([](const QString& sql) { return sql.contains(QLatin1String("gui_option")); });
    EXPECT_FALSE(BtsPage::build(state, grid, &caption, &number));

    EXPECT_EQ(rows(grid), before);
    EXPECT_EQ(caption, QStringLiteral("unchanged"));
    EXPECT_EQ(number, QStringLiteral("unchanged"));
    EXPECT_TRUE(state.btsDisp.isEmpty());
}

TEST_F(BtsPageTest, AFailedRuleLeavesOnlyThatFieldWithoutOptions)
{
    db.exec(
        QStringLiteral("update tabledictionarynew set getrule=null,customselectrule='county_id;v_com_county' "
                       "where enfield='county'"));
    db.exec(QStringLiteral("update tabledictionarynew set getrule='select nosuchcolumn from com_city' "
                           "where enfield='city'"));
    host.recorder()->failWhen(
        [](const QString& sql) { return sql.endsWith(QLatin1String("enfield='belongroom'")); });
    ASSERT_TRUE(BtsPage::build(state, grid, &caption, &number));
    EXPECT_EQ(options(grid, QStringLiteral("county")), QStringList());
    EXPECT_EQ(options(grid, QStringLiteral("city")), QStringList());
    // The room rule could not be read; the city's rooms are still offered.
    EXPECT_EQ(options(grid, QStringLiteral("belongroom")).size(), 4);
    EXPECT_EQ(options(grid, QStringLiteral("belongbsc")),
              (QStringList{QStringLiteral("Y=是"), QStringLiteral("N=否")}));
    EXPECT_EQ(caption, QStringLiteral("甲市甲一G基站基站调整"));
    EXPECT_TRUE(grid.HasItem(QStringLiteral("P:1")));
}

} // namespace
