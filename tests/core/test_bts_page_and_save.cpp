// SPDX-License-Identifier: MIT
// The BTS page: how it is built from the operator's rules, what its events do, and how
// leaving it becomes the statements that move the BTS.

#include "core/context/list_options.h"
#include "core/context/resource_view.h"
#include "core/relocation/bts_page.h"
#include "core/relocation/bts_save.h"
#include "core/relocation/change_summary.h"
#include "core/relocation/grid_handlers.h"
#include "core/relocation/relocation_commit.h"
#include "core/relocation/relocation_record.h"
#include "desktop/resource_view_service_impl.h"
#include "support/context_test.h"
#include "support/core_helpers.h"

#include <QWidget>
#include <tuple>
#include <vector>

using namespace corvan;
using namespace corvan::test;
using namespace Qt::StringLiterals;
using A = corvan::AttrTable;

namespace {

constexpr auto roomCode = &Fixture::roomCode;

const QStringList YesNo{u"Y=是"_s, u"N=否"_s};

// G BTS 101 of 甲市 as the host shows it, with the options rules of its fields.
class BtsPageTest : public ContextTest {
protected:
    void SetUp() override
    {
        ContextTest::SetUp();
        db.exec(
            u"insert into tabledictionarynew(tablename,enfield,getrule,customselectrule) values ('res_gbts',"
            "'city','select city_id,city_name from com_city where pro_id=''4'' order by showserial',null),"
            "('res_gbts','county',null,'county_id,county_name;v_com_county;city,city'),"
            "('res_gbts','belongroom','select roomcode,roomname from res_baseroom where city=''12''',null),"
            "('res_gbts','belongbsc','select ''B9'',''BSC9'' from com_province',null),"
            // The keyword with blanks around it; in lower case it is no keyword but a query.
            "('res_gbts','remark','  YN  ',null),('res_gbts','carriers','yn',null)"_s);
        ASSERT_TRUE(ResourceView::GetResourceData(context, u"v_res_gbts"_s, Fixture::btsCode(101), &bts101));
        state.net = u"G"_s;
        state.attrMap.insert(u"G"_s, bts101);
    }
    // gui_option's rows for G, then the page.
    bool build(const QString& modify, const QString& remove, const QString& hidden = {})
    {
        db.exec(u"insert into gui_option(g_name,g_value) values ('GBtsDispatchModify','%1'),"
                "('GBtsDispatchRemove','%2'),('GBtsDispatchNoDisplay','%3')"_s.arg(modify, remove, hidden));
        return rebuild();
    }
    bool rebuild()
    {
        host.recorder()->clear();
        return BtsPage::build(context, state, grid, &caption, &number);
    }
    PropertyItem* row(const char* key) const { return grid.GetItem(QString::fromUtf8(key)); }
    QString valueOf(const char* key) const { return variantText(row(key)->Value()); }

    AttrTable bts101;
    MoveBtsState state;
    PropertyItems grid;
    QString caption = u"unchanged"_s;
    QString number = u"unchanged"_s;
};

TEST_F(BtsPageTest, SplitsTheFieldsIntoGroupsWithTheirOptions)
{
    grid.AddItem(0, u"stale"_s, u"earlier BTS"_s, ITEM_TEXT);
    ASSERT_TRUE(build(u"basenum,city,county,belongroom,remark,carriers"_s, u"belongbsc"_s, u"basename"_s));
    // A field the relocation clears takes no entry: its row is read-only and says so.
    EXPECT_EQ(itemRows(grid, false),
              (QStringList{u"G:M|需要修改的属性|1200|"_s, u"basenum|基站编号|1206|"_s,
                           u"city|所属地市|1206|"_s, u"county|所属区县|1206|"_s,
                           u"belongroom|所属机房|1206|"_s, u"belongbsc|所属BSC|1201|调整后清空"_s,
                           u"carriers|载频数|1206|"_s, u"remark|备注|1206|"_s, u"G:C|将被保留的属性|1200|"_s,
                           u"basecode|基站编码|1201|00000000000000000101"_s, u"P:1||203||hidden"_s}));
    EXPECT_FALSE(row("G:M")->GroupFlag() || row("G:C")->GroupFlag());
    EXPECT_EQ(itemRows(row("P:1")->Children()), QStringList{u"Pop1|查看原有属性|206|"_s});
    // Only the cities of the user's right: 丙市 is not among them.
    EXPECT_EQ(optionsOf(row("city")), (QStringList{u"12=乙市"_s, u"11=甲市"_s}));
    EXPECT_EQ(sorted(optionsOf(row("county"))), (QStringList{u"1101=东区"_s, u"1102=西区"_s}));
    EXPECT_EQ(optionsOf(row("belongbsc")), QStringList());
    EXPECT_EQ(sent().filter(u"enfield='belongbsc'"_s), QStringList());
    EXPECT_EQ(optionsOf(row("remark")), YesNo);
    EXPECT_EQ(optionsOf(row("carriers")), QStringList());
    EXPECT_TRUE(sent().contains(u"yn"_s) && !sent().contains(u"  YN  "_s));
    // The room rule's options, then the city's rooms; rooms sharing a name carry their
    // number beside it, and each keeps its own code.
    const QStringList rooms = optionsOf(row("belongroom"));
    ASSERT_EQ(rooms.size(), 5);
    EXPECT_EQ(rooms.first(), roomCode(5) + u"=空机房"_s);
    EXPECT_EQ(sorted(rooms.mid(1)),
              (QStringList{roomCode(1) + u"=一号机房(JF-001)"_s, roomCode(2) + u"=二号机房"_s,
                           roomCode(3) + u"=一号机房(JF-003)"_s, roomCode(4) + u"=三号机房"_s}));
    EXPECT_TRUE(sent().contains(u"select roomcode,roomname from res_baseroom  where city='11'"_s));
    // Only the rooms of a shared name are read for their numbers, not the whole city again.
    EXPECT_EQ(sent().filter(u"roomno"_s),
              QStringList{u"select roomcode,roomno from res_baseroom where roomcode in ('%1','%2')"_s.arg(
                  roomCode(1), roomCode(3))});

    EXPECT_EQ(caption + u'/' + number, u"甲市甲一G基站基站调整/101"_s);
    // One field per field of the host's table, in its order, with what the rules make of it.
    EXPECT_EQ(joined(state.fields, &BtsField::name),
              u"basecode|basenum|basename|city|county|belongroom|roomcode|belongbsc|carriers|remark|photo"_s);
    EXPECT_EQ(letters(state.fields), u"C,M,N,M,M,M,,R,M,M,"_s);
    EXPECT_EQ(state.fields.at(3).shown + state.fields.at(3).caption + state.fields.at(3).type,
              u"甲市所属地市custom"_s);
    EXPECT_EQ((QStringList{state.btsCode, state.cityCode, state.oldRoomValue, state.oldRoomCode}),
              (QStringList{Fixture::btsCode(101), u"11"_s, u"一号机房"_s, roomCode(1)}));
}

TEST_F(BtsPageTest, ABtsWithoutACityIsOfferedEveryRoom)
{
    db.exec(u"delete from tabledictionarynew"_s);
    state.attrMap.insert(
        u"G"_s, attrTable({A::FieldName, A::Caption, A::DisplayValue, A::DataType, A::Display},
                          {"basecode|基站编码|00000000000000000101|char|Y",
                           "basename|基站名称|甲一G基站|char|Y", "belongroom|所属机房|一号机房|char|Y"}));
    ASSERT_TRUE(build(u"belongroom"_s, {}));
    EXPECT_EQ(caption, u"甲一G基站基站调整"_s);
    // The room that holds the BTS's number is its old room even without a city to look it up by
    // name in, so that a move clears it.
    EXPECT_EQ(state.cityCode + u'/' + state.oldRoomCode, u'/' + roomCode(1));
    EXPECT_EQ(optionsOf(row("belongroom")).size(), 6);
    EXPECT_TRUE(sent().contains(u"select roomcode,roomname from res_baseroom "_s));
}

TEST_F(BtsPageTest, StopsEarlyWithoutTouchingTheGridAndWithoutRulesKeepsEveryField)
{
    grid.AddItem(0, u"stale"_s, u"earlier BTS"_s, ITEM_TEXT);
    const QStringList before = itemRows(grid);
    state.net.clear();
    EXPECT_FALSE(rebuild());
    EXPECT_TRUE(sent().isEmpty());
    // No table for the network, a letter that is no network, unreadable rules.
    state.net = u"C"_s;
    EXPECT_FALSE(rebuild());
    state.net = u"X"_s;
    state.attrMap.insert(u"X"_s, bts101);
    EXPECT_FALSE(rebuild());
    state.net = u"G"_s;
    host.recorder()->failWhen([](const QString& sql) { return sql.contains(u"gui_option"_s); });
    EXPECT_FALSE(rebuild());
    EXPECT_EQ(itemRows(grid), before);
    EXPECT_EQ(caption + number, u"unchangedunchanged"_s);
    EXPECT_TRUE(state.fields.isEmpty());
    // Without option rows every shown field is kept as the host shows it: no picture,
    // nothing the host hides, no options, and an empty group to modify.
    host.recorder()->failWhen({});
    ASSERT_TRUE(rebuild());
    EXPECT_EQ(itemRows(grid),
              (QStringList{u"G:M|需要修改的属性|1200|"_s, u"G:C|将被保留的属性|1200|"_s,
                           u"basecode|基站编码|1201|00000000000000000101"_s, u"basenum|基站编号|1201|101"_s,
                           u"basename|基站名称|1201|甲一G基站"_s, u"city|所属地市|1201|甲市"_s,
                           u"county|所属区县|1201|东区"_s, u"belongroom|所属机房|1201|一号机房"_s,
                           u"belongbsc|所属BSC|1201|BSC1"_s, u"carriers|载频数|1201|6"_s,
                           u"remark|备注|1201|老站"_s, u"P:1||203||hidden[Pop1|查看原有属性|206|]"_s}));
}

TEST_F(BtsPageTest, AFailedRuleLeavesOnlyThatFieldWithoutOptions)
{
    db.exec(u"update tabledictionarynew set getrule=null,customselectrule='county_id;v_com_county' "
            "where enfield='county'"_s);
    db.exec(
        u"update tabledictionarynew set getrule='select nosuchcolumn from com_city' where enfield='city'"_s);
    host.recorder()->failWhen([](const QString& sql) { return sql.endsWith(u"enfield='belongroom'"_s); });
    ASSERT_TRUE(build(u"basenum,city,county,belongroom,remark"_s, u"belongbsc,carriers"_s));
    EXPECT_EQ(optionsOf(row("county")) + optionsOf(row("city")), QStringList());
    // The room rule could not be read; the city's rooms are still offered.
    EXPECT_EQ(optionsOf(row("belongroom")).size(), 4);
    EXPECT_EQ(optionsOf(row("remark")), YesNo);
    EXPECT_EQ(caption, u"甲市甲一G基站基站调整"_s);
    EXPECT_TRUE(grid.HasItem(u"P:1"_s));
}

// The last field of the host's table is read, written and summarised like any other, whether
// the relocation modifies or clears it.
TEST_F(BtsPageTest, TheLastFieldIsWrittenWhenModifiedOrCleared)
{
    bts101.resize(bts101.FieldCount() - 1);
    ASSERT_EQ(bts101.at(A::FieldName, bts101.FieldCount()), u"remark"_s);
    state.attrMap.insert(u"G"_s, bts101);
    const QString stored = u"select remark from res_gbts where basecode='%1'"_s.arg(Fixture::btsCode(101));
    // rules: modified, removed; what the user types (a cleared row takes nothing); the row
    // as it stands then; what is written and stored; the record's entry.
    const std::tuple<QString, QString, QString, QString, QString, QString> cases[] = {
        {u"remark"_s, QString(), u"迁走"_s, u"remark|备注|1206|迁走"_s, u"迁走"_s,
         u"BTS属性:备注,从:老站,修改为:迁走;"_s},
        {QString(), u"remark"_s, QString(), u"remark|备注|1201|调整后清空"_s, QString(),
         u"BTS属性:备注,从:老站,修改为:空;"_s}};
    for (const auto& [modify, remove, typed, shown, written, entry] : cases) {
        db.exec(u"delete from gui_option"_s);
        ASSERT_TRUE(build(modify, remove));
        if (!typed.isEmpty())
            row("remark")->setValue(typed);
        EXPECT_EQ(itemRows(grid, false).filter(u"remark|"_s), QStringList{shown});
        ASSERT_TRUE(BtsSave::saveBtsData(context, state, grid).ok);
        EXPECT_EQ(BtsSave::updateStatements(state),
                  QStringList{u"update res_gbts set remark='%1' where basecode='%2'"_s.arg(
                      written, Fixture::btsCode(101))});
        const SummaryRows summary = ChangeSummary::rows(context, state);
        EXPECT_EQ(summary.last().texts(), (QStringList{u"BTS"_s, u"备注"_s, u"老站"_s, written}));
        EXPECT_TRUE(RelocationRecord::disinfo(summary).contains(entry + RelocationRecord::LineMarker))
            << RelocationRecord::disinfo(summary).toStdString();
        ASSERT_TRUE(RelocationCommit::saveBtsDataInDB(context, state));
        EXPECT_EQ(db.rows(stored), QStringList{written});
    }
}

// The page of a relocation to 二号机房, filled in as a user would.
class BtsSaveTest : public BtsPageTest {
protected:
    void SetUp() override
    {
        BtsPageTest::SetUp();
        ASSERT_TRUE(build(u"basenum,city,county,belongroom,remark,belongbsc"_s, u"carriers,basename"_s));
        const char* const values[][2] = {{"basenum", "12"},          {"city", "甲市"}, {"county", "东区"},
                                         {"belongroom", "二号机房"}, {"remark", "是"}, {"belongbsc", "BSC9"}};
        for (const auto& [key, value] : values)
            row(key)->setValue(QString::fromUtf8(value));
        host.recorder()->clear();
    }
    // An edit of the page, as the session takes it.
    void chooseCity(const PropertyItems& page, const QList<PropertyItems*>& cellGrids)
    {
        static_cast<ChosenCity&>(state) = GridHandlers::chosenCity(state, page, cellGrids);
    }
    // Leaving the page: "ok", or what the user is to be told and the field it is about.
    QString save()
    {
        chooseCity(grid, {});
        const Verdict verdict = BtsSave::saveBtsData(context, state, grid);
        return verdict.ok ? u"ok"_s : verdict.message + u'@' + verdict.field;
    }
};

TEST_F(BtsSaveTest, CollectsCodesForListsAndWritesTheBtsAndBothRooms)
{
    ASSERT_EQ(save(), u"ok"_s);
    // basecode basenum basename city county belongroom roomcode belongbsc carriers remark photo:
    // codes for list choices (a Y/N flag as Y, a county as its code), belongbsc as chosen,
    // removed fields empty, kept and hidden ones as the host showed them; beside each the
    // text the user saw.
    EXPECT_EQ(joined(state.fields, &BtsField::value),
              u"%1|12||11|1101|%2|%3|BSC9||Y|"_s.arg(Fixture::btsCode(101), roomCode(2), roomCode(1)));
    EXPECT_EQ(joined(state.fields, &BtsField::text),
              u"%1|12||甲市|东区|二号机房|%2|BSC9||是|"_s.arg(Fixture::btsCode(101), roomCode(1)));
    EXPECT_EQ(state.newRoomName + state.newRoomCode, u"二号机房"_s + roomCode(2));
    const QStringList statements = BtsSave::updateStatements(state);
    EXPECT_EQ(statements,
              (QStringList{u"update res_gbts set basenum=12,basename='',city='11',county='1101',"
                           "belongroom='二号机房',belongbsc='BSC9',carriers=null,remark='Y' "
                           "where basecode='00000000000000000101'"_s,
                           u"update res_baseroom set gbts='12' where roomcode='%1'"_s.arg(roomCode(2)),
                           u"update res_baseroom set gbts=null where roomcode='%1'"_s.arg(roomCode(1))}));
    const QString stored = u"select basenum,basename,city,county,belongroom,belongbsc,carriers,remark from "
                           "res_gbts where basecode='00000000000000000101'"_s;
    ASSERT_TRUE(RelocationCommit::saveBtsDataInDB(context, state));
    EXPECT_EQ(sent().mid(sent().size() - 3), statements);
    EXPECT_EQ(db.rows(stored), QStringList{u"12||11|1101|二号机房|BSC9||Y"_s});
    EXPECT_EQ(db.rows(u"select roomcode,gbts from res_baseroom order by roomcode"_s).mid(0, 2),
              (QStringList{roomCode(1) + u"|"_s, roomCode(2) + u"|12"_s}));

    // A text that is no option's caption is taken as typed: quotes, Chinese and length intact.
    db.exec(u"update res_baseroom set gbts=null where roomcode='%1'"_s.arg(roomCode(2)));
    const QString remark = u"王'家 \"机房\" ''"_s + QString(3000, QChar(0x7AD9));
    row("remark")->setValue(remark);
    row("belongbsc")->setValue(u"B'9"_s);
    ASSERT_EQ(save(), u"ok"_s);
    EXPECT_EQ(state.fields.at(9).value + state.fields.at(9).text + state.fields.at(7).value,
              remark + remark + u"B'9"_s);
    EXPECT_TRUE(BtsSave::updateStatements(state).first().contains(u"remark='王''家 \"机房\" ''''"_s));
    ASSERT_TRUE(RelocationCommit::saveBtsDataInDB(context, state));
    EXPECT_EQ(db.rows(stored), QStringList{u"12||11|1101|二号机房|B'9||"_s + remark});
}

TEST_F(BtsSaveTest, TellsEveryProblemOfThePageAtOnceInPageOrder)
{
    // values set on the page; what the user is told, about the first field it names
    const std::pair<std::vector<std::pair<const char*, QString>>, QString> cases[] = {
        {{{"basenum", QString()}, {"city", QString()}}, u"基站编号不能为空\n所属地市不能为空@basenum"_s},
        // Value checks and empty rows in one list, ordered as the rows stand.
        {{{"basenum", u" 12"_s}, {"city", QString()}, {"county", u"西区"_s}},
         u"基站编号必须是数字\n所属地市不能为空\n所属区县与所选机房所在的区县不一致@basenum"_s},
        {{}, u"ok"_s}};
    for (const auto& [values, told] : cases) {
        for (const auto& [key, value] : values)
            row(key)->setValue(value);
        host.recorder()->clear();
        EXPECT_EQ(save(), told);
        // The database is asked nothing of a page that is wrong in itself.
        if (told != u"ok"_s) {
            EXPECT_EQ(sentLike(u"select judgeunique"_s) + sentLike(u"select gbts"_s), QStringList());
        }
        const char* const typical[][2] = {{"basenum", "12"}, {"city", "甲市"}, {"county", "东区"}};
        for (const auto& [key, value] : typical)
            row(key)->setValue(QString::fromUtf8(value));
    }
    // 基站名称 is required and cleared: its row takes no entry, so it is never told as empty.
    EXPECT_EQ(valueOf("basename"), u"调整后清空"_s);
    // A room picked before the city changed is no longer among the options: it is not of
    // the page's city, which is what the user is told.
    row("city")->setValue(u"乙市"_s);
    GridHandlers::cityCascade(context, grid, row("city"));
    EXPECT_EQ(save(), u"所选机房不属于乙市@belongroom"_s);
    EXPECT_EQ(state.newRoomName, u"二号机房"_s);
    // Key values another BTS has already: the check's message, once.
    row("city")->setValue(u"甲市"_s);
    GridHandlers::cityCascade(context, grid, row("city"));
    db.exec(
        u"insert into tablebaseinfo(queryfromview,tablename,judgeunique) values ('v_res_gbts','res_gbts','county')"_s);
    db.exec(u"insert into res_gbts(basecode,basenum,basename,city,county) values "
            "('00000000000000000103','103','甲三G基站','11','1101')"_s);
    EXPECT_EQ(save(), u"关键字段重复@county"_s);
    // A failed query refuses without a word.
    host.recorder()->failWhen([](const QString& sql) { return sql.contains(u"tablebaseinfo"_s); });
    EXPECT_EQ(save(), u"@"_s);
}

// What the user means is what is written: a value the database would store otherwise is
// refused with a message naming the field, before any check reaches the database.
TEST_F(BtsSaveTest, RefusesValuesTheDatabaseWouldStoreOtherwiseThanMeant)
{
    const std::tuple<const char*, QString, QString> cases[] = {
        {"basenum", u" 12"_s, u"基站编号必须是数字@basenum"_s},
        // The county of another room than the one chosen.
        {"county", u"西区"_s, u"所属区县与所选机房所在的区县不一致@county"_s}};
    for (const auto& [field, value, told] : cases) {
        row(field)->setValue(value);
        host.recorder()->clear();
        EXPECT_EQ(save(), told) << field;
        EXPECT_TRUE(sentLike(u"select judgeunique"_s).isEmpty());
        row("basenum")->setValue(u"12"_s);
        row("county")->setValue(u"东区"_s);
    }
    // Choosing a room sets the county to the room's own; of two rooms sharing a name, the
    // chosen one is reached and the BTS row names it plainly.
    row("belongroom")->setValue(u"一号机房(JF-003)"_s);
    GridHandlers::roomCascade(context, grid, row("belongroom"));
    EXPECT_EQ(valueOf("county"), u"西区"_s);
    ASSERT_EQ(save(), u"ok"_s);
    EXPECT_EQ(state.newRoomCode + state.newRoomName, roomCode(3) + u"一号机房"_s);
    EXPECT_TRUE(BtsSave::updateStatements(state).first().contains(u"belongroom='一号机房',"_s));
}

// Statements from fields made by hand, for the cases a page does not easily produce.
TEST(BtsSaveStatements, RemovedFieldsRoomNameKeptRoomAndAnEmptySetList)
{
    MoveBtsState state;
    state.net = u"C"_s;
    state.btsCode = u"0001"_s;
    state.oldRoomCode = u"R'OLD"_s;
    state.newRoomName = u"新'机房"_s;
    // The statements for fields disposed by the letters, holding the values, with one field
    // the host does not show (the status, unless told otherwise).
    const auto statements = [&state](const char* letters, const QString& values, qsizetype hidden = 7) {
        state.fields = btsFields({A::FieldName, A::DataType, A::Display},
                                 {"basecode|char|Y", "basenum|int|Y", "belongroom|char|Y", "belongbsc|char|Y",
                                  "carriers|num|Y", "longitude|num|Y", "opendate|date|Y", "status|char|N",
                                  "remark|char|Y"},
                                 letters);
        for (BtsField& field : state.fields)
            field.displayed = &field != &state.fields[hidden];
        const QStringList given = values.split(u'|');
        for (qsizetype i = 0; i < state.fields.size(); ++i)
            state.fields[i].value = given.value(i);
        return BtsSave::updateStatements(state);
    };
    const QString oldRoom = u"update res_baseroom set cbts=null where roomcode='R''OLD'"_s;
    EXPECT_EQ(
        statements("M,R,M,R,M,M,M,M,C", u"0001||R'NEW|||113.25|2024-05-01|x|keep"_s),
        (QStringList{u"update res_cbts set basenum=null,belongroom='新''机房',belongbsc='',carriers=null,"
                     "longitude=113.25,opendate='2024-05-01' where basecode='0001'"_s,
                     u"update res_baseroom set cbts='' where roomcode='R''NEW'"_s, oldRoom}));
    EXPECT_TRUE(statements("M,R,M,R,M,M,M,M,C", u"0001||R'NEW|||||x"_s, 0).first().contains(u"status='x'"_s));
    // A number field given words cannot extend the statement: the text is a literal.
    EXPECT_TRUE(statements("M,R,M,R,M,M,M,M,C", u"0001||R'NEW||1,remark='x'"_s)
                    .first()
                    .contains(u"carriers='1,remark=''x''',"_s));
    // Nothing to write on the BTS row (a field the host does not show is not written): the
    // rooms still change hands.
    EXPECT_EQ(statements("M,C,M,C,C,C,C,C,C", u"0001|12|R'NEW"_s, 2),
              (QStringList{u"update res_baseroom set cbts='12' where roomcode='R''NEW'"_s, oldRoom}));
    // A kept room keeps the BTS where it stands: neither room is touched.
    EXPECT_EQ(statements("M,C,C,R,C,C,C,C,C", u"0001|12|R'NEW"_s),
              QStringList{u"update res_cbts set belongbsc='' where basecode='0001'"_s});
    EXPECT_EQ(statements("M,C,C,C,C,C,C,C,C", u"0001|12|R'NEW"_s), QStringList());
    state.net = u"cbts"_s;
    EXPECT_EQ(statements("M,C,C,R,C,C,C,C,C", u"0001|12|R'NEW"_s), QStringList());
}

using GridHandlersTest = BtsSaveTest;

TEST_F(GridHandlersTest, ChoosingACityRefillsRoomsAndCounties)
{
    PropertyItem* city = row("city");
    city->setValue(u"乙市"_s);
    GridHandlers::cityCascade(context, grid, city);
    EXPECT_EQ(sent(), (QStringList{u"select roomcode,roomname from res_baseroom where city='12'"_s,
                                   u"select county_id,county_name from com_county where city_id=12"_s}));
    EXPECT_EQ(optionsOf(row("belongroom")) + optionsOf(row("county")),
              (QStringList{roomCode(5) + u"=空机房"_s, u"1201=北县"_s}));
    // The rows keep what was picked before, offered or not.
    EXPECT_EQ(valueOf("belongroom") + valueOf("county"), u"二号机房东区"_s);
    mdlPubFun::AddListOptions(city, u"13,丙市"_s);
    city->setValue(u"丙市"_s);
    GridHandlers::cityCascade(context, grid, city);
    EXPECT_EQ(optionsOf(row("belongroom")) + optionsOf(row("county")), QStringList{u"1301=南县"_s});
    // Back in a city with two rooms of one name: they are told apart again.
    city->setValue(u"甲市"_s);
    host.recorder()->clear();
    GridHandlers::cityCascade(context, grid, city);
    EXPECT_EQ(sent().filter(u"roomno"_s),
              QStringList{u"select roomcode,roomno from res_baseroom where roomcode in ('%1','%2')"_s.arg(
                  roomCode(1), roomCode(3))});
    EXPECT_EQ(sorted(optionsOf(row("belongroom"))),
              (QStringList{roomCode(1) + u"=一号机房(JF-001)"_s, roomCode(2) + u"=二号机房"_s,
                           roomCode(3) + u"=一号机房(JF-003)"_s, roomCode(4) + u"=三号机房"_s}));

    // Only a known city on the city row cascades.
    host.recorder()->clear();
    city->setValue(u"火星市"_s);
    GridHandlers::cityCascade(context, grid, city);
    row("county")->setValue(u"乙市"_s);
    GridHandlers::cityCascade(context, grid, row("county"));
    GridHandlers::cityCascade(context, grid, nullptr);
    EXPECT_TRUE(sent().isEmpty());
    EXPECT_EQ(sorted(optionsOf(row("county"))), (QStringList{u"1101=东区"_s, u"1102=西区"_s}));
}

TEST_F(GridHandlersTest, RecordsCityAndNumberAndCopiesThemIntoTheCellGrids)
{
    PropertyItems cells[3];
    for (PropertyItems& cell : cells) {
        if (&cell != &cells[2])
            cell.AddItem(0, u"city"_s, {}, ITEM_TEXT)->setValue(u"甲市"_s);
        cell.AddItem(0, u"bts"_s, {}, ITEM_TEXT)->setValue(u"101"_s);
    }
    row("city")->setValue(u"乙市"_s);
    chooseCity(grid, {&cells[0], nullptr, &cells[1], &cells[2]});
    EXPECT_EQ(state.newCityName + u'/' + state.newCityCode + u'/' + state.newBaseNum, u"乙市/12/12"_s);
    EXPECT_EQ(itemRows(cells[0]) + itemRows(cells[1]) + itemRows(cells[2]),
              (QStringList{u"city||1201|乙市"_s, u"bts||1201|12"_s, u"city||1201|乙市"_s, u"bts||1201|12"_s,
                           u"bts||1201|12"_s}));
    // A city that is no option has no code; a grid without the rows leaves everything be.
    row("city")->setValue(u"火星市"_s);
    chooseCity(grid, {});
    PropertyItems empty;
    chooseCity(empty, {&cells[0]});
    EXPECT_EQ(state.newCityName + u'/' + state.newCityCode + u'/' + state.newBaseNum, u"火星市//12"_s);
    EXPECT_EQ(itemRows(cells[0]).first(), u"city||1201|乙市"_s);
    // A kept city shows its name and offers no options: the BTS stays in its city, whose
    // identifier is known; the name never stands in for it.
    PropertyItems kept;
    kept.AddItem(0, u"city"_s, u"所属地市"_s, ITEM_TEXT)->setValue(u"甲市"_s);
    state.fields[3].disposition = Disposition::Keep;
    chooseCity(kept, {});
    EXPECT_EQ(state.newCityName + u'/' + state.newCityCode, u"甲市/11"_s);
}

TEST_F(GridHandlersTest, RightClickSelectsTheRowsUnderThePointAndOpensThePopup)
{
    const std::pair<const char*, float> rows[] = {
        {"city", 0}, {"belongroom", 20}, {"county", 45}, {"basenum", 65}};
    for (const auto& [key, top] : rows)
        row(key)->setGeometry(0, top, 100, 20);
    QStringList popups;
    grid.setPopupPresenter([&popups](PropertyItem* holder, float x, float y) {
        popups << holder->Key() + u"@%1,%2"_s.arg(double(x)).arg(double(y));
    });
    // Bounds are inclusive: a shared edge selects both rows, a corner its row. Another
    // button changes nothing; the gap between rows selects nothing, and the menu still opens.
    const std::tuple<int, float, float> clicks[] = {
        {2, 50, 10}, {2, 50, 20}, {2, 100, 85}, {1, 50, 50}, {2, 50, 42.5f}};
    QStringList selected;
    for (const auto& [button, x, y] : clicks) {
        GridHandlers::rightClickSelect(grid, button, x, y);
        GridHandlers::popup(grid, button, x, y);
        QStringList keys;
        for (const auto& item : grid)
            if (item->Selected())
                keys << item->Key();
        selected << keys.join(u',');
    }
    EXPECT_EQ(selected,
              (QStringList{u"city"_s, u"city,belongroom"_s, u"basenum"_s, u"basenum"_s, QString()}));
    EXPECT_EQ(popups, (QStringList{u"P:1@50,10"_s, u"P:1@50,20"_s, u"P:1@100,85"_s, u"P:1@50,42.5"_s}));
    PropertyItems noMenu;
    noMenu.setPopupPresenter([&popups](PropertyItem*, float, float) { popups << u"wrong"_s; });
    GridHandlers::popup(noMenu, 2, 1, 1);
    EXPECT_EQ(popups.size(), 4);
}

TEST_F(GridHandlersTest, Pop1HasTheHostShowTheBtsAsStored)
{
    PropertyItems menu;
    PropertyItem* entry = menu.AddItem(0, u"Pop1"_s, u"查看原有属性"_s, ITEM_MENUENTRY);
    EXPECT_FALSE(GridHandlers::popupChosen(context, state, menu.AddItem(0, u"Pop2"_s, {}, ITEM_MENUENTRY)) ||
                 GridHandlers::popupChosen(context, state, nullptr));
    // Whatever was edited on the page, the host shows the code the page was built for, in
    // the view of the network: a C code is found in the C view only.
    EXPECT_TRUE(GridHandlers::popupChosen(context, state, entry));
    state.btsCode = Fixture::btsCode(201);
    EXPECT_TRUE(GridHandlers::popupChosen(context, state, entry));
    state.net = u"C"_s;
    EXPECT_TRUE(GridHandlers::popupChosen(context, state, entry));
    const QList<QWidget*> shown = host.services()->resourceView()->propertyWindows();
    ASSERT_EQ(shown.size(), 2);
    EXPECT_EQ(shown.first()->windowTitle() + u'/' + shown.last()->windowTitle(),
              u"资源属性 — %1/资源属性 — %2"_s.arg(Fixture::btsCode(101), Fixture::btsCode(201)));
    state.net = u"cbts"_s;
    EXPECT_FALSE(GridHandlers::popupChosen(context, state, entry));
}

} // namespace
