// SPDX-License-Identifier: MIT
#include "corvan/controls/property_item.h"
#include "corvan/controls/property_items.h"
#include "entry/cls_main.h"
#include "core/mdl_pub_var.h"
#include "core/mdl_pub_fun.h"
#include "core/field_rules.h"
#include "core/wizard_prompt.h"
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

struct Field {
    const char* name;
    const char* caption;
    const char* value;
    const char* type;
    const char* required;
};

AttrTable tableOf(std::initializer_list<Field> fields)
{
    AttrTable table;
    for (const Field& f : fields) {
        const int j = table.appendField();
        table.set(AttrTable::FieldName, j, QString::fromUtf8(f.name));
        table.set(AttrTable::Caption, j, QString::fromUtf8(f.caption));
        table.set(AttrTable::DisplayValue, j, QString::fromUtf8(f.value));
        table.set(AttrTable::DataType, j, QString::fromUtf8(f.type));
        table.set(AttrTable::Display, j, QStringLiteral("Y"));
        table.set(AttrTable::Required, j, QString::fromUtf8(f.required));
    }
    return table;
}

class FieldRulesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Fixture::load(db);
        component.initEnv(host.objectArray());
        host.recorder()->clear();
    }
    void TearDown() override { mdlPubVar::instance().reset(); }

    QStringList sent() const { return host.recorder()->statements(); }
    void rule(const char* field, const char* getrule, const char* custom)
    {
        const auto quoted = [](const char* text) {
            return text ? QLatin1Char('\'') + QString::fromUtf8(text) + QLatin1Char('\'')
                        : QStringLiteral("null");
        };
        db.exec(QStringLiteral("insert into tabledictionarynew(tablename,enfield,getrule,customselectrule) "
                               "values ('res_gbts','%1',%2,%3)")
                    .arg(QString::fromUtf8(field), quoted(getrule), quoted(custom)));
    }

    // The BTS 101 of 甲市 with basenum, basename and county to be modified and belongbsc
    // to be removed; the values are what saveBtsData would have collected.
    MoveBtsState stateFor(const QString& number, const QString& name, const QString& county)
    {
        MoveBtsState state;
        state.net = QStringLiteral("G");
        state.btsAttr = tableOf({{"basecode", "基站编码", "00000000000000000101", "char", "Y"},
                                 {"basenum", "基站编号", "101", "int", "N"},
                                 {"basename", "基站名称", "甲一G基站", "char", "N"},
                                 {"county", "所属区县", "东区", "custom", "Y"},
                                 {"belongbsc", "所属BSC", "BSC1", "char", "N"},
                                 {"belongroom", "所属机房", "一号机房", "char", "Y"}});
        state.btsDisp = QStringList{QStringLiteral("C"), QStringLiteral("M"), QStringLiteral("M"),
                                    QStringLiteral("M"), QStringLiteral("R"), QStringLiteral("M")};
        state.btsValue = QStringList{
            state.btsAttr.at(AttrTable::DisplayValue, 1), number, name, county, QString(), QString()};
        state.newCityName = QStringLiteral("甲市");
        return state;
    }

    TestDatabase db;
    TestHost host{db};
    clsMain component;
    PropertyItems grid;
    PromptRecorder prompt;
};

TEST_F(FieldRulesTest, GetResRuleReadsGetruleFirstThenBuildsTheCustomQuery)
{
    const AttrTable bts = tableOf({{"basenum", "基站编号", "101", "int", "N"},
                                   {"city", "所属地市", "甲市", "custom", "N"},
                                   {"belongroom", "所属机房", "王'家机房", "char", "N"}});
    const QString table = QStringLiteral("res_gbts");

    // No metadata row: no rule.
    EXPECT_EQ(FieldRules::getResRule(table, QStringLiteral("basenum"), bts), QString());
    EXPECT_EQ(sent(),
              QStringList{QStringLiteral(
                  "select getrule,customselectrule from tabledictionarynew where tablename='res_gbts' "
                  "and enfield='basenum'")});

    // The keyword comes back as it is stored, blanks and case included; the page decides.
    rule("basenum", " YN ", nullptr);
    EXPECT_EQ(FieldRules::getResRule(table, QStringLiteral("basenum"), bts), QStringLiteral(" YN "));

    // getrule wins over customselectrule.
    rule("belongbsc", "select belongbsc,belongbsc from res_gbts",
         "county_id,county_name;v_com_county;city,city");
    EXPECT_EQ(FieldRules::getResRule(table, QStringLiteral("belongbsc"), bts),
              QStringLiteral("select belongbsc,belongbsc from res_gbts"));

    // A city filter uses the code of the city the record has now.
    rule("county", nullptr, "county_id,county_name;v_com_county;city,city");
    host.recorder()->clear();
    EXPECT_EQ(FieldRules::getResRule(table, QStringLiteral("county"), bts),
              QStringLiteral("select county_id,county_name from v_com_county where city='11'"));
    EXPECT_EQ(sent().value(1), QStringLiteral("select city_id from com_city where city_name = '甲市'"));

    // Any other filter column takes the source field's text as it is, quotes doubled.
    rule("roomno", "", "roomno,roomno;res_baseroom;roomname,belongroom");
    EXPECT_EQ(FieldRules::getResRule(table, QStringLiteral("roomno"), bts),
              QStringLiteral("select roomno,roomno from res_baseroom where roomname='王''家机房'"));
    db.exec(QStringLiteral("insert into res_baseroom(roomcode,roomname,roomno,city) values "
                           "('00000000000000000009','王''家机房','JF-9','11')"));
    PropertyItem* roomno = grid.AddItem(0, QStringLiteral("roomno"), QString(), ITEM_EDIT);
    mdlPubFun::FillListOptions(roomno, FieldRules::getResRule(table, QStringLiteral("roomno"), bts));
    ASSERT_EQ(roomno->Children().ItemCount(), 1);
    EXPECT_EQ(roomno->Children().GetItem(1)->Key(), QStringLiteral("K:JF-9"));
}

TEST_F(FieldRulesTest, GetResRuleGivesNothingForBrokenMetadataOrAFailedQuery)
{
    const AttrTable bts = tableOf({{"city", "所属地市", "甲市", "custom", "N"}});
    const QString table = QStringLiteral("res_gbts");
    rule("a", nullptr, "county_id,county_name;v_com_county");           // no filter part
    rule("b", nullptr, "county_id,county_name;v_com_county;city");      // no source field
    rule("c", nullptr, "county_id,county_name;v_com_county;city,town"); // source not in the table
    rule("d", nullptr, ";v_com_county;city,city");                      // no select list
    rule("e", nullptr, "");
    for (const char* field : {"a", "b", "c", "d", "e"})
        EXPECT_EQ(FieldRules::getResRule(table, QString::fromUtf8(field), bts), QString()) << field;

    rule("f", "YN", nullptr);
    host.recorder()->failWhen(
        [](const QString& sql) { return sql.contains(QLatin1String("tabledictionarynew")); });
    EXPECT_EQ(FieldRules::getResRule(table, QStringLiteral("f"), bts), QString());
}

TEST_F(FieldRulesTest, StatementsAreExactAndBuiltOnlyForKnownNetworks)
{
    EXPECT_EQ(FieldRules::roomCheckStatement(QStringLiteral("C"), QStringLiteral("0001")),
              QStringLiteral("select cbts from res_baseroom where roomcode='0001'"));
    EXPECT_EQ(FieldRules::roomCheckStatement(QStringLiteral("g"), QStringLiteral("x'y")),
              QStringLiteral("select gbts from res_baseroom where roomcode='x''y'"));
    EXPECT_EQ(FieldRules::keyFieldsStatement(QStringLiteral("D")),
              QStringLiteral("select judgeunique from tablebaseinfo where queryfromview ='v_res_dbts'"));
    EXPECT_EQ(FieldRules::roomCheckStatement(QStringLiteral("X"), QStringLiteral("1")), QString());
    EXPECT_EQ(FieldRules::keyFieldsStatement(QStringLiteral("gbts;drop")), QString());

    // Numbers bare, an empty number null, anything else a literal that cannot extend the
    // statement.
    EXPECT_EQ(FieldRules::numberLiteral(QStringLiteral("12")), QStringLiteral("12"));
    EXPECT_EQ(FieldRules::numberLiteral(QStringLiteral("-113.25")), QStringLiteral("-113.25"));
    EXPECT_EQ(FieldRules::numberLiteral(QStringLiteral("1e3")), QStringLiteral("1e3"));
    EXPECT_EQ(FieldRules::numberLiteral(QString()), QStringLiteral("null"));
    EXPECT_EQ(FieldRules::numberLiteral(QStringLiteral("1 or 1=1")), QStringLiteral("'1 or 1=1'"));
    EXPECT_EQ(FieldRules::numberLiteral(QStringLiteral("1' --")), QStringLiteral("'1'' --'"));
}

TEST_F(FieldRulesTest, CountStatementJoinsTheModifiedKeyFields)
{
    MoveBtsState state = stateFor(QStringLiteral("12"), QStringLiteral("X"), QStringLiteral("1101"));
    const QStringList keys{QStringLiteral("basenum"), QStringLiteral("basename")};
    EXPECT_EQ(FieldRules::countStatement(state, keys),
              QStringLiteral("select count(*) from v_res_gbts where basenum=12 and  basename='X'"));

    // Keys match exactly, removed and kept fields never take part, and a key met twice
    // is tested twice.
    EXPECT_EQ(FieldRules::countStatement(state, {QStringLiteral(" basenum"), QStringLiteral("belongbsc"),
                                                 QStringLiteral("basecode"), QStringLiteral("county"),
                                                 QStringLiteral("county")}),
              QStringLiteral("select count(*) from v_res_gbts where county='1101' and  county='1101'"));
    EXPECT_EQ(FieldRules::countStatement(state, {QStringLiteral("belongbsc"), QStringLiteral("remark")}),
              QString());

    state.btsValue[1] = QString();
    state.btsValue[2] = QStringLiteral("甲'一");
    EXPECT_EQ(FieldRules::countStatement(state, keys),
              QStringLiteral("select count(*) from v_res_gbts where basenum=null and  basename='甲''一'"));
}

TEST_F(FieldRulesTest, CheckBtsDataRefusesARoomThatHoldsABtsOfTheNetwork)
{
    MoveBtsState state = stateFor(QStringLiteral("101"), QStringLiteral("甲一G基站"), QStringLiteral("1101"));
    PropertyItem* room = grid.AddItem(0, QStringLiteral("belongroom"), QStringLiteral("所属机房"), ITEM_EDIT);
    mdlPubFun::AddListOptions(room, Fixture::roomCode(1) + QStringLiteral(",一号机房;") +
                                        Fixture::roomCode(2) + QStringLiteral(",二号机房"));

    // The room the BTS stands in now holds its own number.
    room->setValue(QStringLiteral("一号机房"));
    FieldRules::Check check = FieldRules::checkBtsData(state, grid, prompt);
    EXPECT_FALSE(check.ok);
    EXPECT_EQ(check.message, QString());
    EXPECT_EQ(prompt.shown, QStringList{QStringLiteral("您所选择的机房:甲市的一号机房 已经存在G网基站")});
    EXPECT_EQ(state.newRoomName, QStringLiteral("一号机房"));
    EXPECT_EQ(state.newRoomCode, Fixture::roomCode(1));
    EXPECT_EQ(sent(), QStringList{QStringLiteral("select gbts from res_baseroom where roomcode='") +
                                  Fixture::roomCode(1) + QLatin1Char('\'')});

    // Another network's BTS in the room does not matter; a blank number counts as none.
    prompt.shown.clear();
    room->setValue(QStringLiteral("二号机房"));
    db.exec(QStringLiteral("update res_baseroom set gbts='  ' where roomcode='") + Fixture::roomCode(2) +
            QLatin1Char('\''));
    check = FieldRules::checkBtsData(state, grid, prompt);
    EXPECT_TRUE(check.ok);
    EXPECT_EQ(check.message, QString());
    EXPECT_TRUE(prompt.shown.isEmpty());
    EXPECT_EQ(state.newRoomCode, Fixture::roomCode(2));

    state.net = QStringLiteral("C");
    check = FieldRules::checkBtsData(state, grid, prompt);
    EXPECT_FALSE(check.ok);
    EXPECT_EQ(prompt.shown, QStringList{QStringLiteral("您所选择的机房:甲市的二号机房 已经存在C网基站")});

    // A failed room query refuses without a word.
    prompt.shown.clear();
    state.net = QStringLiteral("G");
    host.recorder()->failWhen([](const QString& sql) { return sql.contains(QLatin1String("res_baseroom")); });
    check = FieldRules::checkBtsData(state, grid, prompt);
    EXPECT_FALSE(check.ok);
    EXPECT_EQ(check.message, QString());
    EXPECT_TRUE(prompt.shown.isEmpty());
}

TEST_F(FieldRulesTest, CheckBtsDataReportsEmptyRequiredFieldsThenDuplicateKeys)
{
    // Without key fields for the view no count is run.
    MoveBtsState state = stateFor(QStringLiteral("12"), QStringLiteral("X"), QStringLiteral("1101"));
    FieldRules::Check check = FieldRules::checkBtsData(state, grid, prompt);
    EXPECT_TRUE(check.ok);
    EXPECT_EQ(sent(), QStringList{QStringLiteral(
                          "select judgeunique from tablebaseinfo where queryfromview ='v_res_gbts'")});

    db.exec(QStringLiteral("insert into tablebaseinfo(queryfromview,tablename,judgeunique) values "
                           "('v_res_gbts','res_gbts','basenum,basename')"));
    host.recorder()->clear();
    check = FieldRules::checkBtsData(state, grid, prompt);
    EXPECT_TRUE(check.ok);
    EXPECT_EQ(sent().value(1),
              QStringLiteral("select count(*) from v_res_gbts where basenum=12 and  basename='X'"));

    // The BTS keeping its own key values counts itself once and passes.
    state = stateFor(QStringLiteral("101"), QStringLiteral("甲一G基站"), QStringLiteral("1101"));
    check = FieldRules::checkBtsData(state, grid, prompt);
    EXPECT_TRUE(check.ok);
    EXPECT_EQ(check.message, QString());

    // Two BTSs already with the county's key: duplicates. Required parts come first, in
    // field order; the removed belongbsc, required and empty, is not reported.
    db.exec(QStringLiteral("update tablebaseinfo set judgeunique='county' where queryfromview='v_res_gbts'"));
    db.exec(QStringLiteral("insert into res_gbts(basecode,basenum,basename,city,county) values "
                           "('00000000000000000103','103','甲三G基站','11','1101')"));
    state = stateFor(QString(), QString(), QStringLiteral("1101"));
    check = FieldRules::checkBtsData(state, grid, prompt);
    EXPECT_FALSE(check.ok);
    EXPECT_EQ(check.message, QStringLiteral("基站编号不能为空;基站名称不能为空;关键字段重复"));

    state = stateFor(QStringLiteral("12"), QStringLiteral("X"), QStringLiteral("1101"));
    check = FieldRules::checkBtsData(state, grid, prompt);
    EXPECT_FALSE(check.ok);
    EXPECT_EQ(check.message, QStringLiteral("关键字段重复"));

    // Odd key values reach the database as literals: nothing matches, nothing breaks.
    db.exec(QStringLiteral(
        "update tablebaseinfo set judgeunique='basenum,basename' where queryfromview='v_res_gbts'"));
    state = stateFor(QStringLiteral("1 or 1=1"), QStringLiteral("x' or 'a'='a") + QString(300, QChar(0x7AD9)),
                     QStringLiteral("1101"));
    check = FieldRules::checkBtsData(state, grid, prompt);
    EXPECT_TRUE(check.ok) << check.message.toStdString();
    EXPECT_TRUE(prompt.shown.isEmpty());
}

TEST_F(FieldRulesTest, CheckBtsDataFailsQuietlyWhenAQueryFails)
{
    db.exec(QStringLiteral("insert into tablebaseinfo(queryfromview,tablename,judgeunique) values "
                           "('v_res_gbts','res_gbts','basenum')"));
    MoveBtsState state = stateFor(QStringLiteral("12"), QString(), QStringLiteral("1101"));
    host.recorder()->failWhen(
        [](const QString& sql) { return sql.startsWith(QLatin1String("select count(*)")); });
    FieldRules::Check check = FieldRules::checkBtsData(state, grid, prompt);
    EXPECT_FALSE(check.ok);
    // The message as far as it was built when the check stopped, its separator included.
    EXPECT_EQ(check.message, QStringLiteral("基站名称不能为空;"));

    host.recorder()->failWhen(
        [](const QString& sql) { return sql.contains(QLatin1String("tablebaseinfo")); });
    check = FieldRules::checkBtsData(state, grid, prompt);
    EXPECT_FALSE(check.ok);
    EXPECT_EQ(check.message, QString());
    EXPECT_TRUE(prompt.shown.isEmpty());
}

} // namespace
