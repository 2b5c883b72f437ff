// SPDX-License-Identifier: MIT
// Which fields a relocation touches, where their options come from, and the checks the
// collected values pass before anything is written.

#include "core/context/list_options.h"
#include "core/relocation/disposition_rules.h"
#include "core/relocation/field_rules.h"
#include "core/relocation/value_checks.h"
#include "support/context_test.h"
#include "support/core_helpers.h"

#include <tuple>

using namespace corvan;
using namespace corvan::test;
using namespace Qt::StringLiterals;
using A = corvan::AttrTable;

namespace {

QString disposed(const AttrTable& table, const QStringList& rules)
{
    BtsFields fields(table);
    DispositionRules::dispose(fields, rules);
    return letters(fields);
}

TEST(DispositionRules, StatementAndTheFirstRuleHoldingTheName)
{
    EXPECT_EQ(DispositionRules::statement(u"G"_s), u"select g_name,g_value from gui_option where g_name "
                                                   "='GBtsDispatchModify' or g_name like 'GBtsDispatch%'"_s);
    EXPECT_EQ(DispositionRules::statement(u"d"_s), u"select g_name,g_value from gui_option where g_name "
                                                   "='DBtsDispatchModify' or g_name like 'DBtsDispatch%'"_s);
    EXPECT_EQ(DispositionRules::statement(u"X"_s), QString());
    EXPECT_EQ(DispositionRules::statement(u"G' or '1'='1"_s), QString());

    const AttrTable bts =
        attrTable({A::FieldName, A::DataType, A::Display},
                  {"basecode|char|Y", "basenum|int|Y", "basename|char|Y", "city|custom|Y",
                   "belongroom|char|Y", "belongbsc|char|Y", "remark|char|N", "photo|pic|Y", "vendor|char|y"});
    const QString modify = u"M:city,belongroom,basenum"_s;
    const QString remove = u"R:belongbsc,city"_s;
    EXPECT_EQ(disposed(bts, {modify, remove, u"N:vendor"_s}), u"C,M,C,M,M,R,,,"_s);
    // The row the database returns first wins.
    EXPECT_EQ(disposed(bts, {remove, modify}), u"C,M,C,R,M,R,,,"_s);
    // No rows: every shown field is kept. A hidden field, a picture or a flag other than "Y"
    // is never shown, whatever the rules say.
    EXPECT_EQ(disposed(bts, {}), u"C,C,C,C,C,C,,,"_s);
    EXPECT_EQ(disposed(bts, {u"M:photo,remark,vendor"_s}), u"C,C,C,C,C,C,,,"_s);
    // A plain substring test: "name" is part of "basename", "M" is the marker, "room" part of "belongroom".
    const AttrTable parts = attrTable({A::FieldName, A::Display}, {"name|Y", "M|Y", "room|Y"});
    EXPECT_EQ(disposed(parts, {u"O:basename"_s, u"M:belongroom"_s}), u"O,M,M"_s);
}

class RulesTest : public ContextTest {
protected:
    // BTS 101 of 甲市 with basenum, basename, county and belongroom to modify and belongbsc
    // to remove; the values are what saveBtsData would have collected from a page without
    // the room's row.
    static MoveBtsState stateFor(const QString& number, const QString& name)
    {
        MoveBtsState state;
        state.net = u"G"_s;
        state.fields =
            btsFields({A::FieldName, A::Caption, A::DisplayValue, A::DataType, A::Required},
                      {"basecode|基站编码|00000000000000000101|char|Y", "basenum|基站编号|101|int|N",
                       "basename|基站名称|甲一G基站|char|N", "county|所属区县|东区|custom|Y",
                       "belongbsc|所属BSC|BSC1|char|N", "belongroom|所属机房|一号机房|char|Y"},
                      "C,M,M,M,R,M");
        const QString values[] = {Fixture::btsCode(101), number, name, u"1101"_s, QString(), QString()};
        for (qsizetype i = 0; i < state.fields.size(); ++i) {
            state.fields[i].value = values[i];
            state.fields[i].onPage = state.fields[i].name != u"belongroom"_s;
        }
        state.newCityName = u"甲市"_s;
        return state;
    }
    // "ok" or "refused", the message for the caller and the field it is about.
    QString check(const MoveBtsState& state)
    {
        host.recorder()->clear();
        const Verdict verdict = FieldRules::checkBtsData(context, state);
        return (verdict.ok ? u"ok|"_s : u"refused|"_s) + verdict.message + u'|' + verdict.field;
    }

    PropertyItems grid;
};

TEST_F(RulesTest, DispositionRulesReadMarksEachOptionRowOfTheNetwork)
{
    db.exec(u"insert into gui_option(g_name,g_value) values ('GBtsDispatchModify','city,belongroom'),"
            "('GBtsDispatchRemove','belongbsc'),('GBtsDispatchChangeless','basenum'),"
            "('GBtsDispatchNoDisplay','remark'),('GBtsDispatchExtra',null),('CBtsDispatchModify','vendor'),"
            "('gBtsDispatchRemove','basename')"_s);
    bool ok = false;
    const QStringList rules = DispositionRules::read(context, u"G"_s, &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(sent(), QStringList{DispositionRules::statement(u"G"_s)});
    // Neither the other network's row nor the lower-case name is this network's (like is
    // case-sensitive on the server; SQLite's is not, and the marker then tells it apart).
    QStringList expected{u"C:basenum"_s, u"M:city,belongroom"_s, u"N:remark"_s, u"O:"_s, u"R:belongbsc"_s};
    if (!db.isPostgresql())
        expected << u"O:basename"_s;
    EXPECT_EQ(sorted(rules), sorted(expected));
    EXPECT_TRUE(DispositionRules::read(context, u"D"_s, &ok).isEmpty() && ok);
    host.recorder()->failWhen([](const QString&) { return true; });
    EXPECT_TRUE(DispositionRules::read(context, u"G"_s, &ok).isEmpty() && !ok);
}

TEST_F(RulesTest, GetResRuleTakesGetruleElseBuildsTheCustomQuery)
{
    db.exec(u"insert into tabledictionarynew(tablename,enfield,getrule,customselectrule) values "
            "('res_gbts','basenum',' YN ',null),"
            "('res_gbts','belongbsc','select belongbsc,belongbsc from res_gbts',"
            "'county_id,county_name;v_com_county;city,city'),"
            "('res_gbts','county',null,'county_id,county_name;v_com_county;city,city'),"
            "('res_gbts','roomno','','roomno,roomno;res_baseroom;roomname,belongroom'),"
            // No filter part, no source field, a source not in the table, no select list, nothing.
            "('res_gbts','a',null,'county_id,county_name;v_com_county'),"
            "('res_gbts','b',null,'county_id,county_name;v_com_county;city'),"
            "('res_gbts','c',null,'county_id,county_name;v_com_county;city,town'),"
            "('res_gbts','d',null,';v_com_county;city,city'),('res_gbts','e',null,'')"_s);
    const BtsFields bts(
        attrTable({A::FieldName, A::DisplayValue}, {"basenum|101", "city|甲市", "belongroom|王'家机房"}));
    const auto rule = [&](const QString& field) {
        return FieldRules::getResRule(context, u"res_gbts"_s, field, bts);
    };
    EXPECT_EQ(rule(u"nosuch"_s), QString());
    EXPECT_EQ(sent(), QStringList{u"select getrule,customselectrule from tabledictionarynew where "
                                  "tablename='res_gbts' and enfield='nosuch'"_s});
    // The keyword as stored, blanks and case included: the page decides what it means.
    EXPECT_EQ(rule(u"basenum"_s), u" YN "_s);
    EXPECT_EQ(rule(u"belongbsc"_s), u"select belongbsc,belongbsc from res_gbts"_s);
    // A city filter takes the code of the city the record has now; any other the source's text.
    host.recorder()->clear();
    EXPECT_EQ(rule(u"county"_s), u"select county_id,county_name from v_com_county where city='11'"_s);
    EXPECT_EQ(sent().value(1), u"select city_id from com_city where city_name = '甲市'"_s);
    const QString roomno = rule(u"roomno"_s);
    EXPECT_EQ(roomno, u"select roomno,roomno from res_baseroom where roomname='王''家机房'"_s);
    db.exec(
        u"insert into res_baseroom(roomcode,roomname,roomno,city) values ('R9','王''家机房','JF-9','11')"_s);
    PropertyItem* row = grid.AddItem(0, u"roomno"_s, {}, ITEM_EDIT);
    mdlPubFun::FillListOptions(context, row, roomno);
    EXPECT_EQ(optionsOf(row), QStringList{u"JF-9=JF-9"_s});
    for (const QString& broken : {u"a"_s, u"b"_s, u"c"_s, u"d"_s, u"e"_s})
        EXPECT_EQ(rule(broken), QString()) << broken.toStdString();
    host.recorder()->failWhen([](const QString& sql) { return sql.contains(u"tabledictionarynew"_s); });
    EXPECT_EQ(rule(u"basenum"_s), QString());
}

TEST_F(RulesTest, CheckBtsDataRefusesATargetRoomHoldingABtsOfTheNetwork)
{
    MoveBtsState state = stateFor(u"101"_s, u"甲一G基站"_s);
    state.fields[5].onPage = true;
    // A blank number counts as none; a BTS of another network does not matter.
    db.exec(u"update res_baseroom set gbts='  ' where roomcode='%1'"_s.arg(Fixture::roomCode(2)));
    // net, room, its code, what the user is told
    const std::tuple<QString, QString, int, QString> cases[] = {
        {u"G"_s, u"一号机房"_s, 1, u"您所选择的机房:甲市的一号机房 已经存在G网基站"_s},
        {u"G"_s, u"二号机房"_s, 2, QString()},
        {u"C"_s, u"二号机房"_s, 2, u"您所选择的机房:甲市的二号机房 已经存在C网基站"_s}};
    for (const auto& [net, name, code, told] : cases) {
        state.net = net;
        state.newRoomName = name;
        state.newRoomCode = Fixture::roomCode(code);
        const MoveBtsState before = state;
        EXPECT_EQ(check(state), told.isEmpty() ? u"ok||"_s : u"refused|"_s + told + u"|belongroom"_s);
        EXPECT_EQ(sent().value(0), u"select %1bts from res_baseroom where roomcode='%2'"_s.arg(
                                       net.toLower(), Fixture::roomCode(code)));
        EXPECT_TRUE(state.fields == before.fields && state.newRoomCode == before.newRoomCode);
    }
    // A failed room query refuses without a word.
    state.net = u"G"_s;
    host.recorder()->failWhen([](const QString& sql) { return sql.contains(u"res_baseroom"_s); });
    EXPECT_EQ(check(state), u"refused||belongroom"_s);
    // A kept room is no target: the BTS stays in the room it stands in, and no room is read;
    // nor is one for a page without the room's row.
    host.recorder()->failWhen({});
    state.fields[5].disposition = Disposition::Keep;
    EXPECT_EQ(check(state), u"ok||"_s);
    state.fields[5].disposition = Disposition::Modify;
    state.fields[5].onPage = false;
    EXPECT_EQ(check(state), u"ok||"_s);
    EXPECT_TRUE(sentLike(u"select gbts"_s).isEmpty());
}

TEST_F(RulesTest, CheckBtsDataReportsEmptyRequiredFieldsThenDuplicateKeys)
{
    EXPECT_EQ(FieldRules::keyFieldsStatement(u"D"_s),
              u"select judgeunique from tablebaseinfo where queryfromview ='v_res_dbts'"_s);
    EXPECT_EQ(FieldRules::keyFieldsStatement(u"gbts;drop"_s), QString());
    // Numbers bare (sign and exponent too), anything else a literal that cannot extend the statement.
    EXPECT_EQ(FieldRules::numberLiteral(u"-1.5e3"_s) + FieldRules::numberLiteral(u"1' or 1=1"_s),
              u"-1.5e3'1'' or 1=1'"_s);
    // Key fields match exactly, removed and kept fields never take part, a key met twice is
    // tested twice; an empty number is null.
    MoveBtsState state = stateFor(QString(), u"甲'一"_s);
    EXPECT_EQ(FieldRules::countStatement(state, {u"basenum"_s, u"basename"_s}),
              u"select count(*) from v_res_gbts where basenum=null and  basename='甲''一'"_s);
    EXPECT_EQ(FieldRules::countStatement(
                  state, {u" basenum"_s, u"belongbsc"_s, u"basecode"_s, u"county"_s, u"county"_s}),
              u"select count(*) from v_res_gbts where county='1101' and  county='1101'"_s);
    EXPECT_EQ(FieldRules::countStatement(state, {u"belongbsc"_s, u"remark"_s}), QString());

    // Without key fields for the view no count is run.
    state = stateFor(u"12"_s, u"X"_s);
    EXPECT_EQ(check(state), u"ok||"_s);
    EXPECT_EQ(sent(),
              QStringList{u"select judgeunique from tablebaseinfo where queryfromview ='v_res_gbts'"_s});

    db.exec(
        u"insert into tablebaseinfo(queryfromview,tablename,judgeunique) values ('v_res_gbts','res_gbts','')"_s);
    db.exec(u"insert into res_gbts(basecode,basenum,basename,city,county) values "
            "('00000000000000000103','103','甲三G基站','11','1101')"_s);
    const QString counted = u"select count(*) from v_res_gbts where basenum=12 and  basename='X'"_s;
    // key fields, number, name, the message and the field it begins with, the count statement sent
    const std::tuple<QString, QString, QString, QString, QString> cases[] = {
        {u"basenum,basename"_s, u"12"_s, u"X"_s, QString(), counted},
        // The BTS keeping its own key values counts itself once.
        {u"basenum,basename"_s, u"101"_s, u"甲一G基站"_s, QString(), QString()},
        // Required parts first, in field order (the removed belongbsc, required and empty, is
        // not one of them), then the key values another BTS already has.
        {u"county"_s, QString(), QString(), u"基站编号不能为空;基站名称不能为空;关键字段重复|basenum"_s,
         QString()},
        {u"county"_s, u"12"_s, u"X"_s, u"关键字段重复|county"_s, QString()},
        // Odd key values reach the database as literals: nothing matches, nothing breaks.
        {u"basenum,basename"_s, u"1 or 1=1"_s, u"x' or 'a'='a"_s + QString(300, QChar(0x7AD9)), QString(),
         QString()}};
    for (const auto& [keys, number, name, message, count] : cases) {
        db.exec(u"update tablebaseinfo set judgeunique='%1' where queryfromview='v_res_gbts'"_s.arg(keys));
        state = stateFor(number, name);
        EXPECT_EQ(check(state), message.isEmpty() ? u"ok||"_s : u"refused|"_s + message);
        EXPECT_TRUE(count.isEmpty() || sent().value(1) == count) << sent().value(1).toStdString();
    }

    // A count that fails leaves the message as far as it was built, its separator included.
    state = stateFor(u"12"_s, {});
    host.recorder()->failWhen([](const QString& sql) { return sql.startsWith(u"select count(*)"_s); });
    EXPECT_EQ(check(state), u"refused|基站名称不能为空;|basename"_s);
    host.recorder()->failWhen([](const QString& sql) { return sql.contains(u"tablebaseinfo"_s); });
    EXPECT_EQ(check(state), u"refused||"_s);
}

// A number field holds a number, and coordinates lie on the globe and, where the database
// knows its extent, in the province.
TEST_F(RulesTest, ValueChecksNumbersAndCoordinates)
{
    MoveBtsState state;
    state.net = u"G"_s;
    state.fields = btsFields({A::FieldName, A::Caption, A::DataType},
                             {"longitude|经度|num", "latitude|纬度|num", "carriers|载频数|int"}, "M,M,M");
    // The message only: every refusal names its own field.
    const auto told = [&](const QString& lon, const QString& lat, const QString& carriers) {
        const QString values[] = {lon, lat, carriers};
        for (qsizetype i = 0; i < state.fields.size(); ++i) {
            state.fields[i].value = values[i];
            state.fields[i].onPage = true;
        }
        const Verdict verdict = ValueChecks::check(context, state);
        EXPECT_TRUE(verdict.ok == verdict.message.isEmpty() &&
                    (verdict.ok || verdict.message.startsWith(state.fields.find(verdict.field)->caption)));
        return verdict.message;
    };
    EXPECT_EQ(told(u"113.2"_s, u"-999"_s, {}), u"纬度超出范围(-90～90)"_s);
    EXPECT_EQ(told(u"180.5"_s, {}, {}), u"经度超出范围(-180～180)"_s);
    EXPECT_EQ(told(u"-180"_s, u"90"_s, u"3"_s), QString());
    EXPECT_EQ(told({}, {}, u"2.5"_s), u"载频数必须是整数"_s);
    for (const QString& word : {u"1e400"_s, u"abc"_s, u" 12"_s, u"12,remark='x'"_s})
        EXPECT_EQ(told(word, {}, {}), u"经度必须是数字"_s) << word.toStdString();
    EXPECT_EQ(told({}, {}, u" 3"_s), u"载频数必须是数字"_s);
    db.exec(u"insert into corvan_province_extent values ('4',110.5,115,26,30.25)"_s);
    EXPECT_EQ(told(u"113.2"_s, u"31"_s, {}), u"纬度超出范围(26～30.25)"_s);
    EXPECT_EQ(told(u"109"_s, {}, {}), u"经度超出范围(110.5～115)"_s);
    EXPECT_EQ(told(u"113.2"_s, u"28"_s, {}), QString());
    // A kept field is not the user's to answer for.
    state.fields[1].disposition = Disposition::Keep;
    EXPECT_EQ(told(u"113.2"_s, u"31"_s, {}), QString());
}

} // namespace
