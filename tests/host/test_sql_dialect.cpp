// SPDX-License-Identifier: MIT
// The component's statements run unchanged on both engines: to_number, to_date, bare
// numbers against text columns, and the rights list inside an in-list.

#include "data/right_service_impl.h"
#include "data/sqlite_dialect.h"
#include "support/test_database.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using corvan::host::RightServiceImpl;
using corvan::host::SqliteDialect;
using corvan::test::TestDatabase;

namespace {

const QString System = u"systemDB"_s;

// Every row of a statement sent through the data service, fields joined by "|".
QStringList serviceRows(TestDatabase& db, const QString& sql)
{
    auto set = db.service()->OpenRecordset(sql, System, 0);
    if (!set) {
        ADD_FAILURE() << sql.toStdString() << ": " << db.service()->LastError().toStdString();
        return {};
    }
    QStringList rows;
    for (set->MoveFirst(); !set->isEOF(); set->MoveNext()) {
        QStringList fields;
        for (int i = 0; i < set->FieldCount(); ++i)
            fields << set->Text(i);
        rows << fields.join(u'|');
    }
    return rows;
}

void addCities(TestDatabase& db)
{
    db.exec(u"insert into com_province(pro_id, pro_name) values ('4', '江苏')"_s);
    db.exec(u"insert into com_city(city_id, city_name, pro_id, showserial) values "
            u"('9', '常州', '4', 4), ('11', '南京', '4', 1), ('12', '无锡', '4', 2), "
            u"('13', '徐州', '4', 3)"_s);
}

} // namespace

TEST(SqlDialect, ToNumberReadsTextAsTheNumberItSpells)
{
    TestDatabase db;
    EXPECT_EQ(serviceRows(db, u"select to_number('42'), to_number(' 7 '), to_number('abc'), "
                              u"to_number('1.5'), to_number(null), to_number('-.25'), "
                              u"to_number('12a'), to_number('')"_s),
              QStringList{u"42|7||1.5||-0.25||"_s});

    // The code generator's statement: the maximum taken by value, not by text.
    db.exec(u"insert into com_province(pro_id, pro_name) values ('9', 'a'), ('10', 'b'), "
            u"('0000000000000000008', 'c'), ('x', 'd')"_s);
    EXPECT_EQ(serviceRows(db, u"select max(to_number(pro_id)) from com_province"_s), QStringList{u"10"_s});

    // The next record code, which SQLite answers from the ends of two indexes, is the maximum a
    // pass over every record finds, whatever codes the table holds, under the same name.
    const QString next = u"select max(to_number(discode)) from h_btsdispatch"_s;
    const QString scanned = next + u" where discode is not null"_s;
    const QStringList batches[] = {{},
                                   {u"00000000000000000007"_s, u"00000000000000000012"_s},
                                   {u"x"_s, u"5"_s, u"0000000000000000000a"_s},
                                   {u" 99999999999999999999"_s},
                                   {u"123456789012345678901"_s, u"-1"_s}};
    for (const QStringList& codes : batches) {
        for (const QString& code : codes)
            db.exec(u"insert into h_btsdispatch(discode) values ('%1')"_s.arg(code));
        EXPECT_EQ(serviceRows(db, next), serviceRows(db, scanned)) << codes.join(u',').toStdString();
        if (codes.value(0) == u"00000000000000000007"_s) {
            EXPECT_EQ(serviceRows(db, next), QStringList{u"12"_s});
        }
    }
    EXPECT_EQ(db.service()->OpenRecordset(next, System)->FieldName(0),
              db.service()->OpenRecordset(scanned, System)->FieldName(0));
}

TEST(SqlDialect, ToNumberRules)
{
    using Kind = SqliteDialect::NumberKind;
    const auto number = [](const char* text) {
        return SqliteDialect::toNumber(QByteArray(text));
    };

    EXPECT_EQ(number("  +17\t").kind, Kind::Integer);
    EXPECT_EQ(number("  +17\t").integer, 17);
    EXPECT_EQ(number("-9223372036854775808").integer, std::numeric_limits<qint64>::min());
    EXPECT_EQ(number("-9223372036854775808").kind, Kind::Integer);
    // One past the 64-bit range is still a number, just not an integer.
    EXPECT_EQ(number("9223372036854775808").kind, Kind::Real);
    EXPECT_DOUBLE_EQ(number("9223372036854775808").real, 9223372036854775808.0);
    EXPECT_EQ(number("00000000000000000042").integer, 42);
    EXPECT_EQ(number("5.").kind, Kind::Real);
    EXPECT_DOUBLE_EQ(number("5.").real, 5.0);
    EXPECT_DOUBLE_EQ(number(".5").real, 0.5);
    EXPECT_DOUBLE_EQ(number("-0.125").real, -0.125);
    for (const char* bad : {"", " ", ".", "+", "-", "1e5", "1.2.3", "--1", "1 2", "0x10", "１２"})
        EXPECT_EQ(number(bad).kind, Kind::Null) << bad;
}

TEST(SqlDialect, ToDateMakesComparableDates)
{
    TestDatabase db;
    const QString insert =
        u"insert into "
        u"h_btsdispatch(discode,distime,disuser,net,fromcity,tocity,fromroom,toroom,simplemode,disinfo)"
        u" values('%1',to_date('%2','yyyy-mm-dd'),'demo','%3','12','12','r1','r2','Y','x')"_s;
    db.exec(insert.arg(u"00000000000000000001"_s, u"2006-10-31"_s, u"G"_s));
    db.exec(insert.arg(u"00000000000000000002"_s, u"2006-11-1"_s, u"G"_s));
    db.exec(insert.arg(u"00000000000000000003"_s, u"2006-11-10"_s, u"G"_s));
    db.exec(insert.arg(u"00000000000000000004"_s, u"2006-11-05"_s, u"C"_s));
    db.exec(insert.arg(u"00000000000000000005"_s, u"2006-11-11"_s, u"G"_s));

    // The history query exactly as the component sends it.
    EXPECT_EQ(serviceRows(db, u"select discode,distime,disuser,net,fromcity,tocity,fromroom,toroom,"
                              u"simplemode from h_btsdispatch where  fromcity='12' and  net='G' and "
                              u"distime >=to_date('2006-11-01','yyyy-mm-dd') and distime "
                              u"<=to_date('2006-11-10','yyyy-mm-dd') order by discode"_s),
              (QStringList{u"00000000000000000002|2006-11-01|demo|G|12|12|r1|r2|Y"_s,
                           u"00000000000000000003|2006-11-10|demo|G|12|12|r1|r2|Y"_s}));
}

TEST(SqlDialect, ToDateRules)
{
    EXPECT_EQ(SqliteDialect::toIsoDate(u" 2006-1-5 "_s), u"2006-01-05"_s);
    EXPECT_EQ(SqliteDialect::toIsoDate(u"2024-02-29"_s), u"2024-02-29"_s);
    EXPECT_EQ(SqliteDialect::toIsoDate(u"999-12-31"_s), u"0999-12-31"_s);
    for (const QString& bad :
         {u"2023-02-29"_s, u"2006-13-01"_s, u"2006-00-10"_s, u"0000-01-01"_s, u"2006/11/01"_s,
          u"2006-11-01 10:00"_s, u"20061-01-01"_s, u"2006-011-01"_s, u""_s, u"-1-1"_s})
        EXPECT_TRUE(SqliteDialect::toIsoDate(bad).isNull()) << bad.toStdString();
}

TEST(SqlDialect, SqliteToDateNullsAnInvalidDateAndRefusesOtherFormats)
{
    TestDatabase db;
    if (db.isPostgresql()) {
        // PostgreSQL's own to_date reports an invalid date as an error.
        EXPECT_EQ(db.service()->OpenRecordset(u"select to_date('2006-02-30','yyyy-mm-dd')"_s, System),
                  nullptr);
        return;
    }
    EXPECT_EQ(serviceRows(db, u"select to_date('2006-02-30','yyyy-mm-dd') is null, "
                              u"to_date(null,'yyyy-mm-dd') is null, to_date('2006-2-3','YYYY-MM-DD')"_s),
              QStringList{u"1|1|2006-02-03"_s});
    EXPECT_EQ(db.service()->OpenRecordset(u"select to_date('2006-11-01','dd.mm.yyyy')"_s, System), nullptr);
    EXPECT_TRUE(db.service()->LastError().contains(u"yyyy-mm-dd"_s))
        << db.service()->LastError().toStdString();
}

TEST(SqlDialect, BareNumbersMeetTextColumnsAndRightsFitAnInList)
{
    TestDatabase db;
    addCities(db);
    EXPECT_EQ(serviceRows(db, u"select city_name from com_city where city_id = 12"_s),
              QStringList{u"无锡"_s});
    EXPECT_EQ(serviceRows(db, u"select city_name from com_city where pro_id=4 and city_id <> 9 "
                              u"order by showserial"_s),
              (QStringList{u"南京"_s, u"无锡"_s, u"徐州"_s}));

    db.exec(u"insert into host_user(username, fullname) values ('demo', 'Demo')"_s);
    db.exec(u"insert into host_right(username, funcno, city_id) values ('demo', '13', '12'), "
            u"('demo', '13', '9'), ('demo', '13', '11')"_s);
    RightServiceImpl rights;
    rights.setSource(db.database(), u"demo"_s);
    const QString list = rights.GetRightCityList(u"13"_s);
    EXPECT_EQ(list, u"'9','11','12'"_s);
    db.exec(u"insert into res_baseroom(roomcode, roomname, city) values ('r1', '鼓楼机房', '11'), "
            u"('r2', '铜山机房', '13'), ('r3', '钟楼机房', '9')"_s);
    // The room search's statement for "全部": every city the user may query.
    EXPECT_EQ(serviceRows(db, u"select roomname from res_baseroom where  city in ( "_s + list +
                                  u" )  order by roomcode"_s),
              (QStringList{u"鼓楼机房"_s, u"钟楼机房"_s}));
}
