// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <QComboBox>
#include <QTreeWidgetItem>

#include "corvan/controls/property_item.h"
#include "entry/cls_main.h"
#include "core/mdl_pub_var.h"
#include "core/mdl_pub_fun.h"
#include "support/test_host.h"

using namespace corvan;
using namespace corvan::mdlPubFun;
using corvan::test::TestDatabase;
using corvan::test::TestHost;

namespace {

// A province of three cities; the user "demo" may see two of them.
class MdlPubFunTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        db.exec(QStringLiteral("insert into com_province(pro_id,pro_name) values ('4','测试省')"));
        db.exec(QStringLiteral("insert into com_city(city_id,city_name,pro_id,showserial) values "
                               "('11','甲市','4',2),('12','乙市','4',1),('13','丙市','4',3)"));
        db.exec(QStringLiteral("insert into com_county(county_id,county_name,city_id) values "
                               "('1101','东区','11'),('1201','西县','12')"));
        db.exec(QStringLiteral("insert into host_user(username,fullname) values ('demo','演示用户')"));
        db.exec(QStringLiteral("insert into host_right(username,funcno,city_id) values "
                               "('demo','13','11'),('demo','13','12'),('demo','14','13')"));
        db.exec(QStringLiteral("insert into res_baseroom(roomcode,roomname,roomno,city,county,gbts) values "
                               "('00000000000000000001','一号机房','JF-1','11','1101','501'),"
                               "('00000000000000000002','王''家机房','JF-2','11','1101',null),"
                               "('00000000000000000003','一号机房','JF-3','12','1201',null)"));
        db.exec(QStringLiteral("insert into res_gbts(basecode,basenum,basename,city,belongroom) values "
                               "('00000000000000000009','501','甲一基站','11','一号机房')"));
        host = std::make_unique<TestHost>(db);
        component.initEnv(host->objectArray());
        host->recorder()->clear();
    }

    void TearDown() override { mdlPubVar::instance().reset(); }

    QStringList sent() const { return host->recorder()->statements(); }
    void failEverything() const
    {
        host->recorder()->failWhen([](const QString&) { return true; });
    }

    TestDatabase db;
    std::unique_ptr<TestHost> host;
    clsMain component;
};

TEST_F(MdlPubFunTest, NewCodeIncrementsTheLargestNumericCode)
{
    EXPECT_EQ(NewCode(QStringLiteral("h_btsdispatch"), QStringLiteral("discode")),
              QStringLiteral("00000000000000000001"));
    EXPECT_EQ(sent(), QStringList{QStringLiteral("select max(to_number(discode)) from h_btsdispatch")});

    db.exec(QStringLiteral("insert into h_btsdispatch(discode) values ('00000000000000001234'),('77')"));
    EXPECT_EQ(NewCode(QStringLiteral("h_btsdispatch"), QStringLiteral("discode")),
              QStringLiteral("00000000000000001235"));

    // Codes of other lengths count by their value: 99 in any padding gives 100.
    db.exec(QStringLiteral("delete from h_btsdispatch"));
    db.exec(QStringLiteral("insert into h_btsdispatch(discode) values ('0099'),('98')"));
    EXPECT_EQ(NewCode(QStringLiteral("h_btsdispatch"), QStringLiteral("discode")),
              QStringLiteral("00000000000000000100"));

    // Past 15 significant digits the increment stays exact.
    db.exec(QStringLiteral("delete from h_btsdispatch"));
    db.exec(QStringLiteral("insert into h_btsdispatch(discode) values ('00099999999999999999')"));
    EXPECT_EQ(NewCode(QStringLiteral("h_btsdispatch"), QStringLiteral("discode")),
              QStringLiteral("00100000000000000000"));
    db.exec(QStringLiteral("insert into h_btsdispatch(discode) values ('00123456789012345678')"));
    EXPECT_EQ(NewCode(QStringLiteral("h_btsdispatch"), QStringLiteral("discode")),
              QStringLiteral("00123456789012345679"));
    if (db.isPostgresql()) {
        // Exact decimals on the server carry all twenty digits; a code that would need
        // a twenty-first digit is a failure, not a wrap-around to an old code.
        db.exec(QStringLiteral("insert into h_btsdispatch(discode) values ('12345678901234567890')"));
        EXPECT_EQ(NewCode(QStringLiteral("h_btsdispatch"), QStringLiteral("discode")),
                  QStringLiteral("12345678901234567891"));
        db.exec(QStringLiteral("insert into h_btsdispatch(discode) values ('99999999999999999999')"));
        EXPECT_EQ(NewCode(QStringLiteral("h_btsdispatch"), QStringLiteral("discode")), ZeroCode);
    }
}

TEST_F(MdlPubFunTest, NewCodeFallsBackToZerosWhenTheDatabaseFails)
{
    failEverything();
    EXPECT_EQ(NewCode(QStringLiteral("h_btsdispatch"), QStringLiteral("discode")), ZeroCode);
    host->recorder()->failWhen({});
    // A column that does not exist fails in the database itself.
    EXPECT_EQ(NewCode(QStringLiteral("h_btsdispatch"), QStringLiteral("nosuchcolumn")), ZeroCode);
}

TEST_F(MdlPubFunTest, InitQueryCityListsTheCitiesTheUserMaySeeInOrder)
{
    QStringList names;
    QStringList ids;
    InitQueryCity(names, ids, true);
    EXPECT_EQ(names, (QStringList{QStringLiteral("全部"), QStringLiteral("乙市"), QStringLiteral("甲市")}));
    EXPECT_EQ(ids, (QStringList{QStringLiteral("全部"), QStringLiteral("12"), QStringLiteral("11")}));
    EXPECT_EQ(sent(), (QStringList{QStringLiteral(" select * from com_province where pro_name = '测试省'"),
                                   QStringLiteral("select * from com_city where pro_id = 4 order by showserial")}));

    InitQueryCity(names, ids, false);
    EXPECT_EQ(names, (QStringList{QStringLiteral("乙市"), QStringLiteral("甲市")}));
    EXPECT_EQ(ids, (QStringList{QStringLiteral("12"), QStringLiteral("11")}));

    QComboBox cboCity;
    QComboBox cboCityBack;
    cboCity.addItem(QStringLiteral("stale"));
    InitQueryCity(&cboCity, &cboCityBack, true);
    ASSERT_EQ(cboCity.count(), 3);
    ASSERT_EQ(cboCityBack.count(), 3);
    EXPECT_EQ(cboCity.currentIndex(), 0);
    EXPECT_EQ(cboCity.itemText(1), QStringLiteral("乙市"));
    EXPECT_EQ(cboCityBack.itemText(1), QStringLiteral("12"));

    // A failing city query leaves what was added so far.
    host->recorder()->failWhen([](const QString& sql) { return sql.contains(QLatin1String("com_city")); });
    InitQueryCity(names, ids, true);
    EXPECT_EQ(names, QStringList{QStringLiteral("全部")});
    EXPECT_EQ(ids, QStringList{QStringLiteral("全部")});
}

TEST_F(MdlPubFunTest, InitQueryCityFindsAProvinceWhoseNameHasAQuote)
{
    db.exec(QStringLiteral("update com_province set pro_name='O''Neill省' where pro_id='4'"));
    TestHost quoted(db);
    component.initEnv(quoted.objectArray());
    QStringList names;
    QStringList ids;
    InitQueryCity(names, ids, false);
    EXPECT_EQ(names, (QStringList{QStringLiteral("乙市"), QStringLiteral("甲市")}));
    EXPECT_EQ(quoted.recorder()->statements().value(0),
              QStringLiteral(" select * from com_province where pro_name = 'O''Neill省'"));
}

TEST_F(MdlPubFunTest, DivisionLookups)
{
    EXPECT_EQ(GetCityName(QString()), QStringLiteral("未知"));
    EXPECT_EQ(GetCountyName(QString()), QStringLiteral("未知"));
    EXPECT_TRUE(sent().isEmpty());

    EXPECT_EQ(GetCityName(QStringLiteral("11")), QStringLiteral("甲市"));
    EXPECT_EQ(GetCityName(QStringLiteral("99")), QStringLiteral("未知"));
    EXPECT_EQ(GetCountyName(QStringLiteral("1201")), QStringLiteral("西县"));
    EXPECT_EQ(GetCityId(QStringLiteral("乙市")), QStringLiteral("12"));
    EXPECT_EQ(GetCityId(QStringLiteral("无此市")), QString());
    EXPECT_EQ(GetCityId(QString()), QString());
    EXPECT_EQ(sent(), (QStringList{QStringLiteral("select city_name from com_city where city_id = 11"),
                                   QStringLiteral("select city_name from com_city where city_id = 99"),
                                   QStringLiteral("select county_name from com_county where county_id = 1201"),
                                   QStringLiteral("select city_id from com_city where city_name = '乙市'"),
                                   QStringLiteral("select city_id from com_city where city_name = '无此市'")}));

    // An identifier that is no plain number is sent quoted: it can neither break the
    // statement nor reach past it.
    db.exec(QStringLiteral("insert into com_city(city_id,city_name,pro_id,showserial) values ('X1','新市','4',9)"));
    host->recorder()->clear();
    EXPECT_EQ(GetCityName(QStringLiteral("X1")), QStringLiteral("新市"));
    EXPECT_EQ(GetCityName(QStringLiteral("1 or 1=1")), QStringLiteral("未知"));
    EXPECT_EQ(sent(), (QStringList{QStringLiteral("select city_name from com_city where city_id = 'X1'"),
                                   QStringLiteral("select city_name from com_city where city_id = '1 or 1=1'")}));

    failEverything();
    EXPECT_EQ(GetCityName(QStringLiteral("11")), QStringLiteral("未知"));
    EXPECT_EQ(GetCountyName(QStringLiteral("1101")), QStringLiteral("未知"));
    EXPECT_EQ(GetCityId(QStringLiteral("甲市")), QString());
}

TEST_F(MdlPubFunTest, RoomLookups)
{
    EXPECT_EQ(GetRoomCodeByName(QStringLiteral("12"), QStringLiteral("一号机房")),
              QStringLiteral("00000000000000000003"));
    EXPECT_EQ(GetRoomCodeByName(QStringLiteral("11"), QStringLiteral("王'家机房")),
              QStringLiteral("00000000000000000002"));
    EXPECT_EQ(GetRoomName(QStringLiteral("00000000000000000002")), QStringLiteral("王'家机房"));
    EXPECT_EQ(GetRoomName(QString()), QString());
    EXPECT_EQ(sent(), (QStringList{
                          QStringLiteral("select roomcode from res_baseroom where city='12' and roomname='一号机房'"),
                          QStringLiteral("select roomcode from res_baseroom where city='11' and roomname='王''家机房'"),
                          QStringLiteral("select roomname from res_baseroom where roomcode='00000000000000000002'"),
                          QStringLiteral("select roomname from res_baseroom where roomcode=''")}));

    host->recorder()->clear();
    EXPECT_EQ(GetRoomCodeByName(QString(), QStringLiteral("一号机房")), QString());
    EXPECT_EQ(GetRoomCodeByName(QStringLiteral("11"), QString()), QString());
    EXPECT_TRUE(sent().isEmpty());

    EXPECT_EQ(GetBtsRoomCode(QStringLiteral("G"), QStringLiteral("11"), QStringLiteral("甲一基站")),
              QStringLiteral("00000000000000000001"));
    EXPECT_EQ(sent(), QStringList{QStringLiteral("select a.roomcode from res_baseroom a,res_gbts b where "
                                                 "b.basenum=a.gbts and b.city='11' and b.basename='甲一基站'")});
    EXPECT_EQ(GetBtsRoomCode(QStringLiteral("g"), QStringLiteral("11"), QStringLiteral("甲一基站")),
              QStringLiteral("00000000000000000001"));
    EXPECT_EQ(GetBtsRoomCode(QStringLiteral("C"), QStringLiteral("11"), QStringLiteral("甲一基站")), QString());

    // Names built into the statement come from the three network letters only.
    host->recorder()->clear();
    EXPECT_EQ(GetBtsRoomCode(QStringLiteral("x"), QStringLiteral("11"), QStringLiteral("甲一基站")), QString());
    EXPECT_EQ(GetBtsRoomCode(QStringLiteral("G"), QString(), QStringLiteral("甲一基站")), QString());
    EXPECT_TRUE(sent().isEmpty());

    failEverything();
    EXPECT_EQ(GetRoomCodeByName(QStringLiteral("12"), QStringLiteral("一号机房")), QString());
    EXPECT_EQ(GetRoomName(QStringLiteral("00000000000000000002")), QString());
}

TEST_F(MdlPubFunTest, ListOptionsFromPairsAndQueries)
{
    PropertyItems grid;
    PropertyItem* yn = grid.AddItem(0, QStringLiteral("shared"), QStringLiteral("共享"), ITEM_EDIT);
    EXPECT_TRUE(AddListOptions(yn, QStringLiteral("Y,是;N,否")));
    ASSERT_EQ(yn->Children().ItemCount(), 2);
    EXPECT_EQ(yn->Children().GetItem(1L)->Key(), QStringLiteral("K:Y"));
    EXPECT_EQ(yn->Children().GetItem(1L)->Caption(), QStringLiteral("是"));
    EXPECT_EQ(yn->Children().GetItem(2L)->Type(), ITEM_OPTION);

    PropertyItem* gaps = grid.AddItem(0, QStringLiteral("gaps"), QString(), ITEM_EDIT);
    EXPECT_TRUE(AddListOptions(gaps, QStringLiteral("1,甲;;2,乙;")));
    EXPECT_EQ(gaps->Children().ItemCount(), 2);

    PropertyItem* bad = grid.AddItem(0, QStringLiteral("bad"), QString(), ITEM_EDIT);
    EXPECT_FALSE(AddListOptions(bad, QStringLiteral("1,甲;broken;2,乙")));
    EXPECT_EQ(bad->Children().ItemCount(), 1);
    EXPECT_FALSE(AddListOptions(bad, QStringLiteral("1,again")));

    db.exec(QStringLiteral("insert into res_baseroom(roomcode,roomname,city) values "
                           "('00000000000000000004','东,南;机房','12')"));
    PropertyItem* room = grid.AddItem(0, QStringLiteral("belongroom"), QStringLiteral("所属机房"), ITEM_EDIT);
    const QString roomQuery =
        QStringLiteral("select roomcode,roomname from res_baseroom where city='12' order by roomcode");
    FillListOptions(room, roomQuery);
    EXPECT_EQ(sent(), QStringList{roomQuery});
    ASSERT_EQ(room->Children().ItemCount(), 2);
    EXPECT_EQ(room->Children().GetItem(1L)->Key(), QStringLiteral("K:00000000000000000003"));
    // A name holding a comma and a semicolon keeps its whole caption.
    EXPECT_EQ(room->Children().GetItem(2L)->Caption(), QStringLiteral("东,南;机房"));
    EXPECT_EQ(GetOptionCode(room, QStringLiteral("东,南;机房")), QStringLiteral("00000000000000000004"));

    host->recorder()->clear();
    FillListOptions(nullptr, roomQuery);
    EXPECT_TRUE(sent().isEmpty());
    PropertyItem* none = grid.AddItem(0, QStringLiteral("none"), QString(), ITEM_EDIT);
    FillListOptions(none, QStringLiteral("select roomcode,roomname from res_baseroom where city='99'"));
    FillListOptions(none, QStringLiteral("select nothing from nowhere"));
    EXPECT_EQ(none->Children().ItemCount(), 0);
}

TEST_F(MdlPubFunTest, OptionCodes)
{
    PropertyItems grid;
    PropertyItem* city = grid.AddItem(0, QStringLiteral("city"), QStringLiteral("地市"), ITEM_EDIT);
    EXPECT_EQ(GetOptionCode(city, QStringLiteral("甲市")), QStringLiteral("甲市"));
    EXPECT_EQ(GetOptionCode(city, QString()), QString());
    AddListOptions(city, QStringLiteral("11,甲市;12,乙市;0012,Ab"));
    EXPECT_EQ(GetOptionCode(city, QStringLiteral("乙市")), QStringLiteral("12"));
    EXPECT_EQ(GetOptionCode(city, QStringLiteral("Ab")), QStringLiteral("0012"));
    EXPECT_EQ(GetOptionCode(city, QStringLiteral("ab")), QString());
    EXPECT_EQ(GetOptionCode(city, QStringLiteral("丙市")), QString());
    EXPECT_EQ(GetOptionCode(nullptr, QStringLiteral("丙市")), QStringLiteral("丙市"));

    QHash<QString, QTreeWidgetItem*> nodes;
    QTreeWidgetItem node;
    nodes.insert(QStringLiteral("L211"), &node);
    EXPECT_TRUE(NodeExists(nodes, QStringLiteral("L211")));
    EXPECT_FALSE(NodeExists(nodes, QStringLiteral("L212")));
}

TEST(DecimalIncrement, CarriesThroughEveryDigit)
{
    EXPECT_EQ(incrementDecimal(QStringLiteral("0")), QStringLiteral("1"));
    EXPECT_EQ(incrementDecimal(QStringLiteral("0099")), QStringLiteral("100"));
    EXPECT_EQ(incrementDecimal(QStringLiteral("999999999999999999999")), QStringLiteral("1000000000000000000000"));
    EXPECT_EQ(incrementDecimal(QStringLiteral("12345678901234567890")), QStringLiteral("12345678901234567891"));
}

} // namespace
