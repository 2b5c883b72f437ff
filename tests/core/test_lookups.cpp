// SPDX-License-Identifier: MIT
// The shared lookups: new codes, the user's cities, division and room names, list
// options, every statement that reads rooms, and how a BTS lies on the property sheet.

#include "core/context/codes.h"
#include "core/context/divisions.h"
#include "core/context/list_options.h"
#include "core/relocation/bts_property_layout.h"
#include "core/rooms/city_rooms.h"
#include "core/rooms/room_lookup.h"
#include "support/context_test.h"
#include "support/core_helpers.h"

#include <functional>
#include <tuple>
#include <vector>

using namespace corvan;
using namespace corvan::mdlPubFun;
using namespace corvan::test;
using namespace Qt::StringLiterals;

namespace {

using LookupsTest = ContextTest;

constexpr auto roomCode = &Fixture::roomCode;

TEST_F(LookupsTest, NewCodeIsTheLargestNumericCodePlusOneExactly)
{
    const auto next = [this] {
        return NewCode(context, u"h_btsdispatch"_s, u"discode"_s);
    };
    EXPECT_EQ(next(), roomCode(1));
    EXPECT_EQ(sent(), QStringList{u"select max(to_number(discode)) from h_btsdispatch"_s});
    // Codes count by their value whatever their padding; past 15 digits the increment stays exact.
    std::vector<std::pair<QString, QString>> cases{
        {u"('00000000000000001234'),('77')"_s, u"00000000000000001235"_s},
        {u"('0099'),('98')"_s, u"00000000000000000100"_s},
        {u"('00099999999999999999')"_s, u"00100000000000000000"_s},
        {u"('00099999999999999999'),('00123456789012345678')"_s, u"00123456789012345679"_s}};
    // Exact decimals on the server carry all twenty digits; a twenty-first is a failure,
    // never a wrap-around to an old code.
    if (db.isPostgresql())
        cases.insert(cases.end(), {{u"('12345678901234567890')"_s, u"12345678901234567891"_s},
                                   {u"('99999999999999999999')"_s, ZeroCode}});
    for (const auto& [rows, code] : cases) {
        db.exec(u"delete from h_btsdispatch"_s);
        db.exec(u"insert into h_btsdispatch(discode) values "_s + rows);
        EXPECT_EQ(next(), code) << rows.toStdString();
    }
    EXPECT_EQ(NewCode(context, u"h_btsdispatch"_s, u"nosuchcolumn"_s), ZeroCode);
    host.recorder()->failWhen([](const QString&) { return true; });
    EXPECT_EQ(next(), ZeroCode);
}

TEST_F(LookupsTest, InitQueryCityListsTheCitiesOfTheUsersRightInOrder)
{
    // A quote in the province's name is doubled, never taken as the end of the literal.
    db.exec(u"update com_province set pro_name='O''Neill省' where pro_id='4'"_s);
    QStringList names;
    QStringList ids;
    InitQueryCity(context, names, ids, true);
    EXPECT_EQ(names + ids, (QStringList{u"全部"_s, u"乙市"_s, u"甲市"_s, u"全部"_s, u"12"_s, u"11"_s}));
    EXPECT_EQ(sent(), (QStringList{u" select * from com_province where pro_name = 'O''Neill省'"_s,
                                   u"select * from com_city where pro_id = 4 order by showserial"_s}));
    InitQueryCity(context, names, ids, false);
    EXPECT_EQ(names + ids, (QStringList{u"乙市"_s, u"甲市"_s, u"12"_s, u"11"_s}));
    // A failing city query leaves what was added before it.
    host.recorder()->failWhen([](const QString& sql) { return sql.contains(u"com_city"_s); });
    InitQueryCity(context, names, ids, true);
    EXPECT_EQ(names + ids, (QStringList{u"全部"_s, u"全部"_s}));
}

TEST_F(LookupsTest, DivisionAndRoomLookupsSendExactTextsAndFallBackOnFailure)
{
    db.exec(u"insert into com_city(city_id,city_name,pro_id,showserial) values ('X1','新市','4',9)"_s);
    db.exec(u"insert into res_baseroom(roomcode,roomname,city) values ('%1','王''家机房','11')"_s.arg(
        roomCode(7)));
    const QString cityName = u"select city_name from com_city where city_id = "_s;
    const QString cityId = u"select city_id from com_city where city_name = "_s;
    const QString roomName = u"select roomname from res_baseroom where roomcode="_s;
    const QString btsRoom = u"select a.roomcode from res_baseroom a,res_%1bts b where b.basenum=a.%1bts "
                            "and b.city='11' and b.basename='甲一G基站'"_s;
    const QString bts = u"甲一G基站"_s;
    const QString none;
    // The call, its answer, and the one statement it sends (none: nothing is asked of the database).
    const std::tuple<std::function<QString()>, QString, QString> cases[] = {
        {[&] { return GetCityName(context, none); }, UnknownName, none},
        {[&] { return GetCountyName(context, none); }, UnknownName, none},
        {[&] { return GetCityName(context, u"11"_s); }, u"甲市"_s, cityName + u"11"_s},
        {[&] { return GetCityName(context, u"99"_s); }, UnknownName, cityName + u"99"_s},
        // An identifier that is no plain number is sent quoted: it can neither break nor extend the
        // statement.
        {[&] { return GetCityName(context, u"X1"_s); }, u"新市"_s, cityName + u"'X1'"_s},
        {[&] { return GetCityName(context, u"1 or 1=1"_s); }, UnknownName, cityName + u"'1 or 1=1'"_s},
        {[&] { return GetCountyName(context, u"1201"_s); }, u"北县"_s,
         u"select county_name from com_county where county_id = 1201"_s},
        {[&] { return GetCityId(context, u"乙市"_s); }, u"12"_s, cityId + u"'乙市'"_s},
        {[&] { return GetCityId(context, u"无此市"_s); }, none, cityId + u"'无此市'"_s},
        {[&] { return GetCityId(context, none); }, none, none},
        {[&] { return RoomLookup::GetRoomCodeByName(context, u"11"_s, u"王'家机房"_s); }, roomCode(7),
         u"select roomcode from res_baseroom where city='11' and roomname='王''家机房'"_s},
        {[&] { return RoomLookup::GetRoomCodeByName(context, none, u"空机房"_s); }, none, none},
        {[&] { return RoomLookup::GetRoomCodeByName(context, u"12"_s, none); }, none, none},
        {[&] { return RoomLookup::GetRoomName(context, roomCode(7)); }, u"王'家机房"_s,
         roomName + u"'00000000000000000007'"_s},
        {[&] { return RoomLookup::GetRoomName(context, none); }, none, roomName + u"''"_s},
        {[&] { return RoomLookup::GetBtsRoomCode(context, u"G"_s, u"11"_s, bts); }, roomCode(1),
         btsRoom.arg(u"g"_s)},
        {[&] { return RoomLookup::GetBtsRoomCode(context, u"g"_s, u"11"_s, bts); }, roomCode(1),
         btsRoom.arg(u"g"_s)},
        {[&] { return RoomLookup::GetBtsRoomCode(context, u"C"_s, u"11"_s, bts); }, none,
         btsRoom.arg(u"c"_s)},
        // Names built into the statement come from the three network letters only.
        {[&] { return RoomLookup::GetBtsRoomCode(context, u"x"_s, u"11"_s, bts); }, none, none},
        {[&] { return RoomLookup::GetBtsRoomCode(context, u"G"_s, none, bts); }, none, none}};
    for (const auto& [call, result, sql] : cases) {
        SCOPED_TRACE(sql.toStdString());
        host.recorder()->failWhen({});
        host.recorder()->clear();
        EXPECT_EQ(call(), result);
        EXPECT_EQ(sent(), sql.isEmpty() ? QStringList() : QStringList{sql});
        // A failed query: a division is unknown by name, anything else is nothing.
        host.recorder()->failWhen([](const QString&) { return true; });
        const bool division = sql.contains(u"_name from com_"_s);
        EXPECT_EQ(call(), sql.isEmpty() ? result : division ? UnknownName : none);
    }
}

TEST_F(LookupsTest, ListOptionsFromPairsAndQueriesAndTheirCodes)
{
    PropertyItems grid;
    PropertyItem* yn = grid.AddItem(0, u"shared"_s, u"共享"_s, ITEM_EDIT);
    EXPECT_TRUE(AddListOptions(yn, u"Y,是;N,否"_s));
    EXPECT_EQ(itemRows(yn->Children()), (QStringList{u"K:Y|是|901|"_s, u"K:N|否|901|"_s}));
    PropertyItem* gaps = grid.AddItem(0, u"gaps"_s, {}, ITEM_EDIT);
    EXPECT_TRUE(AddListOptions(gaps, u"1,甲;;2,乙;"_s));
    EXPECT_EQ(optionsOf(gaps), (QStringList{u"1=甲"_s, u"2=乙"_s}));
    // A malformed pair, or a code the row has already, ends the list there.
    PropertyItem* bad = grid.AddItem(0, u"bad"_s, {}, ITEM_EDIT);
    EXPECT_FALSE(AddListOptions(bad, u"1,甲;broken;2,乙"_s));
    EXPECT_FALSE(AddListOptions(bad, u"1,again"_s));
    EXPECT_EQ(optionsOf(bad), QStringList{u"1=甲"_s});

    // Straight from the rows: a name holding a comma and a semicolon keeps its whole caption.
    db.exec(u"insert into res_baseroom(roomcode,roomname,city) values ('%1','东,南;机房','12')"_s.arg(
        roomCode(8)));
    PropertyItem* rooms = grid.AddItem(0, u"belongroom"_s, {}, ITEM_EDIT);
    const QString sql = u"select roomcode,roomname from res_baseroom where city='12' order by roomcode"_s;
    FillListOptions(context, rooms, sql);
    EXPECT_EQ(sent(), QStringList{sql});
    EXPECT_EQ(optionsOf(rooms), (QStringList{roomCode(5) + u"=空机房"_s, roomCode(8) + u"=东,南;机房"_s}));
    EXPECT_EQ(GetOptionCode(rooms, u"东,南;机房"_s), roomCode(8));
    host.recorder()->clear();
    FillListOptions(context, nullptr, sql);
    EXPECT_TRUE(sent().isEmpty());
    PropertyItem* none = grid.AddItem(0, u"none"_s, {}, ITEM_EDIT);
    FillListOptions(context, none, u"select roomcode,roomname from res_baseroom where city='98'"_s);
    FillListOptions(context, none, u"select nothing from nowhere"_s);
    EXPECT_EQ(optionsOf(none), QStringList());

    // Without options a text is its own code; with them only an exact caption has one.
    PropertyItem* city = grid.AddItem(0, u"city"_s, {}, ITEM_EDIT);
    EXPECT_EQ(GetOptionCode(city, u"甲市"_s), u"甲市"_s);
    AddListOptions(city, u"11,甲市;12,乙市;0012,Ab"_s);
    const std::pair<QString, QString> codes[] = {
        {u"乙市"_s, u"12"_s}, {u"Ab"_s, u"0012"_s}, {u"ab"_s, {}}, {u"丙市"_s, {}}, {{}, {}}};
    for (const auto& [caption, code] : codes)
        EXPECT_EQ(GetOptionCode(city, caption), code) << caption.toStdString();
    EXPECT_EQ(GetOptionCode(nullptr, u"丙市"_s), u"丙市"_s);
}

TEST(RoomStatements, ExactTexts)
{
    const QString base = u"select roomname,roomno,county,city,gbts,cbts,dbts,roomcode from res_baseroom "_s;
    const QString order = u" order  by city,county, roomno "_s;
    const QString all = u" where  city in ( '11','12' ) "_s;
    const QString one = u" where  city = '12' "_s;
    const QString name = u" and roomname like '%一号%' "_s;
    const QString number = u" and roomno like '%JF-1%' "_s;
    // every city of the right list or one, the name and number typed, the conditions
    const std::tuple<bool, QString, QString, QString> cases[] = {
        {true, QString(), QString(), all},
        {true, u"一号"_s, QString(), all + name},
        {true, QString(), u"JF-1"_s, all + number},
        {true, u"一号"_s, u"JF-1"_s, all + name + number},
        {false, QString(), QString(), one},
        {false, u" 一号 "_s, QString(), one + name},
        {false, QString(), u"JF-1"_s, one + number},
        {false, u"一号"_s, u"JF-1"_s, one + name + number},
        // Blanks alone, full-width ones too, add nothing; quotes are doubled.
        {false, u"   "_s, u"\u3000 "_s, one},
        {false, u"  王'家 "_s, QString(), one + u" and roomname like '%王''家%' "_s}};
    for (const auto& [allCities, typedName, typedNumber, where] : cases)
        EXPECT_EQ(RoomLookup::roomSearchStatement(allCities, u"12"_s, u"'11','12'"_s, typedName, typedNumber),
                  base + where + order);
    // No city the user may see leaves an empty in-list, which the database refuses.
    EXPECT_EQ(RoomLookup::roomSearchStatement(true, {}, {}, {}, {}),
              base + u" where  city in (  ) "_s + order);

    const std::pair<QString, QString> texts[] = {
        {RoomLookup::roomOptionsStatement(u"11"_s),
         u"select roomcode,roomname from res_baseroom  where city='11'"_s},
        {RoomLookup::roomOptionsStatement({}), u"select roomcode,roomname from res_baseroom "_s},
        {RoomLookup::cityRoomsStatement(u"1'2"_s),
         u"select roomcode,roomname from res_baseroom where city='1''2'"_s},
        {cityCountiesStatement(u"12"_s), u"select county_id,county_name from com_county where city_id=12"_s},
        {cityCountiesStatement(u"1 or 1"_s),
         u"select county_id,county_name from com_county where city_id='1 or 1'"_s},
        {RoomLookup::roomCountyStatement(u"x'y"_s),
         u"select county from res_baseroom where roomcode='x''y'"_s},
        {RoomLookup::roomCheckStatement(u"C"_s, u"0001"_s),
         u"select cbts from res_baseroom where roomcode='0001'"_s},
        {RoomLookup::roomCheckStatement(u"g"_s, u"x'y"_s),
         u"select gbts from res_baseroom where roomcode='x''y'"_s},
        {RoomLookup::roomCheckStatement(u"X"_s, u"1"_s), {}},
        {CityRooms::statement(u"1'2"_s, u"c"_s),
         u"select roomcode,roomname,roomno,county,cbts from res_baseroom where city='1''2'"_s},
        {CityRooms::statement({}, u"X"_s), u"select roomcode,roomname,roomno,county,'' from res_baseroom"_s},
    };
    for (const auto& [text, expected] : texts)
        EXPECT_EQ(text, expected);
}

TEST(BtsPropertyLayout, ShownFieldsOnlyWithTheirGroupsAndEmphasis)
{
    using A = AttrTable;
    const auto layout = BtsPropertyLayout::of(
        attrTable({A::GroupCaption, A::Caption, A::DisplayValue, A::DataType, A::Display, A::Emphasis},
                  {"A|a1||char|Y|1", "A|hidden||char|N|1", "A|photo||pic|Y|0", "A|a2|a2值|char|Y|0",
                   "B|b1||int|Y|1", "A|a3||date|Y|0"}));
    ASSERT_EQ(layout.rows.size(), 4);
    EXPECT_EQ(layout.rows.at(1).caption + layout.rows.at(1).value + layout.rows.at(2).group, u"a2a2值B"_s);
    // Skipped fields leave no gap, and a group met again starts a range of its own.
    EXPECT_EQ(layout.groups, (QList<BtsPropertyLayout::Range>{{1, 2}, {3, 3}, {4, 4}}));
    // Emphasis counts shown rows only: the hidden emphasised field marks nothing.
    EXPECT_EQ(layout.emphasised, (QList<int>{1, 3}));
    const auto nothing =
        BtsPropertyLayout::of(attrTable({A::Caption, A::DataType, A::Display}, {"x|char|N", "y|pic|Y"}));
    EXPECT_TRUE(nothing.rows.isEmpty() && nothing.groups.isEmpty() && nothing.emphasised.isEmpty());
}

} // namespace
