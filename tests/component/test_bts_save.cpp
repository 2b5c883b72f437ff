// SPDX-License-Identifier: MIT
#include "corvan/controls/property_item.h"
#include "corvan/controls/property_items.h"
#include "entry/cls_main.h"
#include "core/mdl_pub_var.h"
#include "core/resource_view.h"
#include "core/bts_page.h"
#include "core/bts_save.h"
#include "core/grid_handlers.h"
#include "core/wizard_prompt.h"
#include "core/value_checks.h"
#include "support/fixture.h"
#include "support/prompt_recorder.h"
#include "support/test_host.h"

#include <gtest/gtest.h>

using namespace corvan;
using corvan::test::Fixture;
using corvan::test::PromptRecorder;
using corvan::test::TestDatabase;
using corvan::test::TestHost;

namespace {

class BtsSaveTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Fixture::load(db);
        db.exec(QStringLiteral("insert into gui_option(g_name,g_value) values "
                               "('GBtsDispatchModify','basenum,city,county,belongroom,remark,belongbsc'),"
                               "('GBtsDispatchRemove','carriers,basename')"));
        db.exec(QStringLiteral(
            "insert into tabledictionarynew(tablename,enfield,getrule,customselectrule) values "
            "('res_gbts','city','select city_id,city_name from com_city where pro_id=''4'' order by "
            "showserial',null),"
            "('res_gbts','county',null,'county_id,county_name;v_com_county;city,city'),"
            "('res_gbts','belongbsc','select ''B9'',''BSC9'' from com_province',null),"
            "('res_gbts','remark','YN',null)"));
        component.initEnv(host.objectArray());
        AttrTable bts;
        ASSERT_TRUE(ResourceView::GetResourceData(QStringLiteral("v_res_gbts"), Fixture::btsCode(101), &bts));
        state.net = QStringLiteral("G");
        state.attrMap.insert(QStringLiteral("G"), bts);
        ASSERT_TRUE(BtsPage::build(state, grid, nullptr, nullptr));
        // What a user relocating the BTS to 二号机房 fills in.
        set("basenum", QStringLiteral("12"));
        set("city", QStringLiteral("甲市"));
        set("county", QStringLiteral("东区"));
        set("belongroom", QStringLiteral("二号机房"));
        set("remark", QStringLiteral("是"));
        set("belongbsc", QStringLiteral("BSC9"));
        set("basename", QStringLiteral("甲一G基站"));
        host.recorder()->clear();
    }
    void TearDown() override { mdlPubVar::instance().reset(); }

    void set(const char* key, const QString& value)
    {
        PropertyItem* item = grid.GetItem(QString::fromUtf8(key));
        ASSERT_NE(item, nullptr) << key;
        item->setValue(value);
    }
    bool save()
    {
        GridHandlers::recordCityAndBaseNum(state, grid, {});
        return BtsSave::saveBtsData(state, grid, prompt);
    }
    bool execute(const QStringList& statements)
    {
        for (const QString& sql : statements)
            if (!mdlPubVar::instance().DataService()->ExecuteSql(QLatin1String(SystemDatabase), sql))
                return false;
        return true;
    }
    QStringList roomColumn()
    {
        return db.rows(QStringLiteral("select roomcode,gbts from res_baseroom order by roomcode"));
    }

    TestDatabase db;
    TestHost host{db};
    clsMain component;
    MoveBtsState state;
    PropertyItems grid;
    PromptRecorder prompt;
};

TEST_F(BtsSaveTest, CollectsCodesForListsAndWritesTheBtsAndBothRooms)
{
    ASSERT_TRUE(save()) << prompt.shown.join(QLatin1Char('/')).toStdString();
    EXPECT_TRUE(prompt.shown.isEmpty());

    // basecode basenum basename city county belongroom roomcode belongbsc carriers remark photo:
    // codes for list choices (a Y/N flag as Y, a county as its code), belongbsc as chosen,
    // removed fields empty, kept and hidden ones as the host showed them.
    EXPECT_EQ(state.btsValue,
              (QStringList{Fixture::btsCode(101), QStringLiteral("12"), QString(), QStringLiteral("11"),
                           QStringLiteral("1101"), Fixture::roomCode(2), Fixture::roomCode(1),
                           QStringLiteral("BSC9"), QString(), QStringLiteral("Y"), QString()}));
    EXPECT_EQ(state.btsText,
              (QStringList{Fixture::btsCode(101), QStringLiteral("12"), QString(), QStringLiteral("甲市"),
                           QStringLiteral("东区"), QStringLiteral("二号机房"), Fixture::roomCode(1),
                           QStringLiteral("BSC9"), QString(), QStringLiteral("是"), QString()}));
    EXPECT_EQ(state.newRoomName, QStringLiteral("二号机房"));
    EXPECT_EQ(state.newRoomCode, Fixture::roomCode(2));

    const QStringList statements = BtsSave::updateStatements(state);
    EXPECT_EQ(
        statements,
        (QStringList{QStringLiteral("update res_gbts set basenum=12,basename='',city='11',county='1101',"
                                    "belongroom='二号机房',belongbsc='BSC9',carriers=null,remark='Y' "
                                    "where basecode='00000000000000000101'"),
                     QStringLiteral("update res_baseroom set gbts='12' where roomcode='") +
                         Fixture::roomCode(2) + QLatin1Char('\''),
                     QStringLiteral("update res_baseroom set gbts=null where roomcode='") +
                         Fixture::roomCode(1) + QLatin1Char('\'')}));
    ASSERT_TRUE(execute(statements));
    EXPECT_EQ(
        db.rows(QStringLiteral("select basenum,basename,city,county,belongroom,belongbsc,carriers,remark "
                               "from res_gbts where basecode='00000000000000000101'")),
        QStringList{QStringLiteral("12||11|1101|二号机房|BSC9||Y")});
    EXPECT_EQ(roomColumn().mid(0, 2), (QStringList{Fixture::roomCode(1) + QLatin1Char('|'),
                                                   Fixture::roomCode(2) + QStringLiteral("|12")}));
}

TEST_F(BtsSaveTest, ReportsOnlyTheFirstProblemInFieldOrder)
{
    set("basenum", QString());
    set("city", QString());
    EXPECT_FALSE(save());
    EXPECT_EQ(prompt.shown, QStringList{QStringLiteral("基站编号不能为空")});

    // A removed field that is required still needs an entry, although it is dropped.
    prompt.shown.clear();
    set("basenum", QStringLiteral("12"));
    set("city", QStringLiteral("甲市"));
    set("basename", QString());
    EXPECT_FALSE(save());
    EXPECT_EQ(prompt.shown, QStringList{QStringLiteral("基站名称不能为空")});

    // A room picked before the city changed is no longer among the options.
    prompt.shown.clear();
    set("basename", QStringLiteral("x"));
    set("city", QStringLiteral("乙市"));
    GridHandlers::cityCascade(grid, grid.GetItem(QStringLiteral("city")));
    EXPECT_FALSE(save());
    EXPECT_EQ(prompt.shown, QStringList{QStringLiteral("无法取得机房 二号机房 的机房编号")});
    EXPECT_EQ(state.newRoomName, QStringLiteral("二号机房"));

    // A room that already holds a G BTS: the check's own message, nothing more.
    prompt.shown.clear();
    set("city", QStringLiteral("甲市"));
    GridHandlers::cityCascade(grid, grid.GetItem(QStringLiteral("city")));
    db.exec(QStringLiteral("update res_baseroom set gbts='102' where roomcode='") + Fixture::roomCode(2) +
            QLatin1Char('\''));
    EXPECT_FALSE(save());
    EXPECT_EQ(prompt.shown, QStringList{QStringLiteral("您所选择的机房:甲市的二号机房 已经存在G网基站")});

    // Key values another BTS already has.
    prompt.shown.clear();
    db.exec(QStringLiteral("update res_baseroom set gbts=null where roomcode='") + Fixture::roomCode(2) +
            QLatin1Char('\''));
    db.exec(QStringLiteral("insert into tablebaseinfo(queryfromview,tablename,judgeunique) values "
                           "('v_res_gbts','res_gbts','county')"));
    db.exec(QStringLiteral("insert into res_gbts(basecode,basenum,basename,city,county) values "
                           "('00000000000000000103','103','甲三G基站','11','1101')"));
    EXPECT_FALSE(save());
    EXPECT_EQ(prompt.shown, QStringList{QStringLiteral("关键字段重复")});

    // A failed query refuses without a message.
    prompt.shown.clear();
    host.recorder()->failWhen(
        [](const QString& sql) { return sql.contains(QLatin1String("tablebaseinfo")); });
    EXPECT_FALSE(save());
    EXPECT_TRUE(prompt.shown.isEmpty());
}

TEST_F(BtsSaveTest, TypedValuesReachTheDatabaseExactly)
{
    // Not an option caption: taken as typed, quotes, Chinese and length intact.
    const QString remark = QStringLiteral("王'家 \"机房\" ''") + QString(3000, QChar(0x7AD9));
    set("remark", remark);
    set("belongbsc", QStringLiteral("B'9"));
    ASSERT_TRUE(save());
    EXPECT_EQ(state.btsValue.at(9), remark);
    EXPECT_EQ(state.btsText.at(9), remark);
    EXPECT_EQ(state.btsValue.at(7), QStringLiteral("B'9"));
    const QStringList statements = BtsSave::updateStatements(state);
    ASSERT_EQ(statements.size(), 3);
    EXPECT_TRUE(statements.first().contains(QStringLiteral("remark='王''家 \"机房\" ''''")));
    ASSERT_TRUE(execute(statements));
    EXPECT_EQ(db.rows(QStringLiteral("select remark from res_gbts where basecode='00000000000000000101'")),
              QStringList{remark});
    EXPECT_EQ(db.rows(QStringLiteral("select belongbsc from res_gbts where basecode='00000000000000000101'")),
              QStringList{QStringLiteral("B'9")});

}

// What the user means is what is written: values the database would store otherwise are
// refused at Next, with a message naming the field, before any check reaches the database.
TEST_F(BtsSaveTest, RefusesValuesThatWouldBeStoredOtherwiseThanMeant)
{
    struct Case {
        const char* field;
        QString value;
        QString told;
    };
    const Case cases[] = {
        {"basenum", QStringLiteral("abc"), QStringLiteral("基站编号必须是数字")},
        {"basenum", QStringLiteral("12,remark='x'"), QStringLiteral("基站编号必须是数字")},
        {"basenum", QStringLiteral(" 12"), QStringLiteral("基站编号必须是数字")},
        // The county of another room than the one chosen.
        {"county", QStringLiteral("西区"), QStringLiteral("所属区县与所选机房所在的区县不一致")},
    };
    for (const Case& c : cases) {
        set(c.field, c.value);
        prompt.shown.clear();
        host.recorder()->clear();
        EXPECT_FALSE(save()) << c.field;
        EXPECT_EQ(prompt.shown, QStringList{c.told}) << c.field;
        EXPECT_FALSE(host.recorder()->statements().join(QLatin1Char('/')).contains(QLatin1String("tablebaseinfo")));
        set("basenum", QStringLiteral("12"));
        set("county", QStringLiteral("东区"));
    }

    // Choosing a room sets the county to the room's own; of two rooms sharing a name, the
    // second is the one reached.
    PropertyItem* room = grid.GetItem(QStringLiteral("belongroom"));
    room->setValue(QStringLiteral("一号机房(JF-003)"));
    GridHandlers::roomCascade(grid, room);
    EXPECT_EQ(variantText(grid.GetItem(QStringLiteral("county"))->Value()), QStringLiteral("西区"));
    prompt.shown.clear();
    ASSERT_TRUE(save()) << prompt.shown.join(QLatin1Char('/')).toStdString();
    EXPECT_EQ(state.newRoomCode, Fixture::roomCode(3));
    EXPECT_EQ(state.newRoomName, QStringLiteral("一号机房"));
    EXPECT_TRUE(BtsSave::updateStatements(state).first().contains(QStringLiteral("belongroom='一号机房'")));
}

// Coordinates lie on the globe, and within the province where the database knows its extent.
TEST_F(BtsSaveTest, CoordinatesStayOnTheGlobeAndInTheProvince)
{
    MoveBtsState coordinates;
    coordinates.net = QStringLiteral("G");
    PropertyItems rows;
    for (const auto& [name, caption, type] : {std::tuple{"longitude", "经度", "num"},
                                              std::tuple{"latitude", "纬度", "num"},
                                              std::tuple{"carriers", "载频数", "int"}}) {
        const int j = coordinates.btsAttr.appendField();
        coordinates.btsAttr.set(AttrTable::FieldName, j, QString::fromUtf8(name));
        coordinates.btsAttr.set(AttrTable::Caption, j, QString::fromUtf8(caption));
        coordinates.btsAttr.set(AttrTable::DataType, j, QString::fromUtf8(type));
        coordinates.btsDisp << QStringLiteral("M");
        rows.AddItem(0, QString::fromUtf8(name), QString::fromUtf8(caption), ITEM_EDIT);
    }
    const auto told = [&](const QString& lon, const QString& lat, const QString& carriers) {
        coordinates.btsValue = QStringList{lon, lat, carriers};
        return ValueChecks::check(coordinates, rows, QStringLiteral("4"));
    };
    EXPECT_EQ(told(QStringLiteral("113.2"), QStringLiteral("-999"), QString()), QStringLiteral("纬度超出范围(-90～90)"));
    EXPECT_EQ(told(QStringLiteral("180.5"), QString(), QString()), QStringLiteral("经度超出范围(-180～180)"));
    EXPECT_EQ(told(QStringLiteral("-180"), QStringLiteral("90"), QStringLiteral("3")), QString());
    EXPECT_EQ(told(QString(), QString(), QStringLiteral("2.5")), QStringLiteral("载频数必须是整数"));
    EXPECT_EQ(told(QStringLiteral("1e400"), QString(), QString()), QStringLiteral("经度必须是数字"));
    db.exec(QStringLiteral("insert into corvan_province_extent values ('4',110.5,115,26,30.25)"));
    EXPECT_EQ(told(QStringLiteral("113.2"), QStringLiteral("31"), QString()), QStringLiteral("纬度超出范围(26～30.25)"));
    EXPECT_EQ(told(QStringLiteral("109"), QString(), QString()), QStringLiteral("经度超出范围(110.5～115)"));
    EXPECT_EQ(told(QStringLiteral("113.2"), QStringLiteral("28"), QString()), QString());
    // A field that is kept is not the user's to answer for.
    coordinates.btsDisp[1] = QStringLiteral("C");
    EXPECT_EQ(told(QStringLiteral("113.2"), QStringLiteral("31"), QString()), QString());
}

// Statements from a state made by hand, for the cases a page does not easily produce.
TEST(BtsSaveStatements, RemovedFieldsRoomNameAndEmptySetList)
{
    MoveBtsState state;
    state.net = QStringLiteral("C");
    state.btsCode = QStringLiteral("0001");
    state.oldRoomCode = QStringLiteral("R'OLD");
    state.newRoomName = QStringLiteral("新'机房");
    const char* const fields[][4] = {
        {"basecode", "char", "Y", "M"},  {"basenum", "int", "Y", "R"},  {"belongroom", "char", "Y", "M"},
        {"belongbsc", "char", "Y", "R"}, {"carriers", "num", "Y", "M"}, {"longitude", "num", "Y", "M"},
        {"opendate", "date", "Y", "M"},  {"status", "char", "N", "M"},  {"remark", "char", "Y", "C"},
    };
    const QStringList values{QStringLiteral("0001"),
                             QString(),
                             QStringLiteral("R'NEW"),
                             QString(),
                             QString(),
                             QStringLiteral("113.25"),
                             QStringLiteral("2024-05-01"),
                             QStringLiteral("x"),
                             QStringLiteral("keep")};
    for (const auto& f : fields) {
        const int j = state.btsAttr.appendField();
        state.btsAttr.set(AttrTable::FieldName, j, QString::fromUtf8(f[0]));
        state.btsAttr.set(AttrTable::DataType, j, QString::fromUtf8(f[1]));
        state.btsAttr.set(AttrTable::Display, j, QString::fromUtf8(f[2]));
        state.btsDisp << QString::fromUtf8(f[3]);
    }
    state.btsValue = values;
    EXPECT_EQ(BtsSave::updateStatements(state),
              (QStringList{QStringLiteral(
                               "update res_cbts set basenum=null,belongroom='新''机房',belongbsc='',"
                               "carriers=null,longitude=113.25,opendate='2024-05-01' where basecode='0001'"),
                           QStringLiteral("update res_baseroom set cbts='' where roomcode='R''NEW'"),
                           QStringLiteral("update res_baseroom set cbts=null where roomcode='R''OLD'")}));

    // A number field given words cannot extend the statement: the text is a literal.
    state.btsValue[4] = QStringLiteral("1,remark='x'");
    EXPECT_TRUE(BtsSave::updateStatements(state).first().contains(QStringLiteral("carriers='1,remark=''x''',")));

    // Nothing to write on the BTS row: the rooms still change hands.
    for (QString& letter : state.btsDisp)
        letter = QStringLiteral("C");
    state.btsDisp[0] = QStringLiteral("M");
    // The room moves, but a field that is not shown is not written.
    state.btsDisp[2] = QStringLiteral("M");
    state.btsAttr.set(AttrTable::Display, 3, QStringLiteral("N"));
    state.btsValue[1] = QStringLiteral("12");
    EXPECT_EQ(BtsSave::updateStatements(state),
              (QStringList{QStringLiteral("update res_baseroom set cbts='12' where roomcode='R''NEW'"),
                           QStringLiteral("update res_baseroom set cbts=null where roomcode='R''OLD'")}));
    // A kept room keeps the BTS where it stands: neither room is touched.
    state.btsDisp[2] = QStringLiteral("C");
    state.btsDisp[3] = QStringLiteral("R");
    EXPECT_EQ(BtsSave::updateStatements(state),
              QStringList{QStringLiteral("update res_cbts set belongbsc='' where basecode='0001'")});
    state.btsDisp[3] = QStringLiteral("C");
    EXPECT_EQ(BtsSave::updateStatements(state), QStringList());

    state.net = QStringLiteral("cbts");
    EXPECT_EQ(BtsSave::updateStatements(state), QStringList());
}

} // namespace
