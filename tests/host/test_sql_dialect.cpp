// SPDX-License-Identifier: MIT
// The component's statements run unchanged on both engines: to_number, to_date, bare
// numbers against text columns, and the rights list inside an in-list.

#include "data/right_service_impl.h"
#include "data/sqlite_dialect.h"
#include "support/test_database.h"

#include <cmath>
#include <gtest/gtest.h>

using corvan::host::RightServiceImpl;
using corvan::host::SqliteDialect;
using corvan::test::TestDatabase;

namespace {

const QString System = QStringLiteral("systemDB");

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
        rows << fields.join(QLatin1Char('|'));
    }
    return rows;
}

void addCities(TestDatabase& db)
{
    db.exec(QStringLiteral("insert into com_province(pro_id, pro_name) values ('4', '江苏')"));
    db.exec(QStringLiteral("insert into com_city(city_id, city_name, pro_id, showserial) values "
                           "('9', '常州', '4', 4), ('11', '南京', '4', 1), ('12', '无锡', '4', 2), "
                           "('13', '徐州', '4', 3)"));
}

} // namespace

TEST(SqlDialect, ToNumberReadsTextAsTheNumberItSpells)
{
    TestDatabase db;
    EXPECT_EQ(serviceRows(db, QStringLiteral("select to_number('42'), to_number(' 7 '), to_number('abc'), "
                                             "to_number('1.5'), to_number(null), to_number('-.25'), "
                                             "to_number('12a'), to_number('')")),
              QStringList{QStringLiteral("42|7||1.5||-0.25||")});

    // The code generator's statement: the maximum taken by value, not by text.
    db.exec(QStringLiteral("insert into com_province(pro_id, pro_name) values ('9', 'a'), ('10', 'b'), "
                           "('0000000000000000008', 'c'), ('x', 'd')"));
    EXPECT_EQ(serviceRows(db, QStringLiteral("select max(to_number(pro_id)) from com_province")),
              QStringList{QStringLiteral("10")});
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
    const QString insert = QStringLiteral(
        "insert into "
        "h_btsdispatch(discode,distime,disuser,net,fromcity,tocity,fromroom,toroom,simplemode,disinfo)"
        " values('%1',to_date('%2','yyyy-mm-dd'),'demo','%3','12','12','r1','r2','Y','x')");
    db.exec(insert.arg(QStringLiteral("00000000000000000001"), QStringLiteral("2006-10-31"),
                       QStringLiteral("G")));
    db.exec(
        insert.arg(QStringLiteral("00000000000000000002"), QStringLiteral("2006-11-1"), QStringLiteral("G")));
    db.exec(insert.arg(QStringLiteral("00000000000000000003"), QStringLiteral("2006-11-10"),
                       QStringLiteral("G")));
    db.exec(insert.arg(QStringLiteral("00000000000000000004"), QStringLiteral("2006-11-05"),
                       QStringLiteral("C")));
    db.exec(insert.arg(QStringLiteral("00000000000000000005"), QStringLiteral("2006-11-11"),
                       QStringLiteral("G")));

    // The history query exactly as the component sends it.
    EXPECT_EQ(
        serviceRows(db, QStringLiteral("select discode,distime,disuser,net,fromcity,tocity,fromroom,toroom,"
                                       "simplemode from h_btsdispatch where  fromcity='12' and  net='G' and "
                                       "distime >=to_date('2006-11-01','yyyy-mm-dd') and distime "
                                       "<=to_date('2006-11-10','yyyy-mm-dd') order by discode")),
        (QStringList{QStringLiteral("00000000000000000002|2006-11-01|demo|G|12|12|r1|r2|Y"),
                     QStringLiteral("00000000000000000003|2006-11-10|demo|G|12|12|r1|r2|Y")}));
}

TEST(SqlDialect, ToDateRules)
{
    EXPECT_EQ(SqliteDialect::toIsoDate(QStringLiteral(" 2006-1-5 ")), QStringLiteral("2006-01-05"));
    EXPECT_EQ(SqliteDialect::toIsoDate(QStringLiteral("2024-02-29")), QStringLiteral("2024-02-29"));
    EXPECT_EQ(SqliteDialect::toIsoDate(QStringLiteral("999-12-31")), QStringLiteral("0999-12-31"));
    for (const QString& bad :
         {QStringLiteral("2023-02-29"), QStringLiteral("2006-13-01"), QStringLiteral("2006-00-10"),
          QStringLiteral("0000-01-01"), QStringLiteral("2006/11/01"), QStringLiteral("2006-11-01 10:00"),
          QStringLiteral("20061-01-01"), QStringLiteral("2006-011-01"), QStringLiteral(""),
          QStringLiteral("-1-1")})
        EXPECT_TRUE(SqliteDialect::toIsoDate(bad).isNull()) << bad.toStdString();
}

TEST(SqlDialect, SqliteToDateNullsAnInvalidDateAndRefusesOtherFormats)
{
    TestDatabase db;
    if (db.isPostgresql()) {
        // PostgreSQL's own to_date reports an invalid date as an error.
        EXPECT_EQ(
            db.service()->OpenRecordset(QStringLiteral("select to_date('2006-02-30','yyyy-mm-dd')"), System),
            nullptr);
        return;
    }
    EXPECT_EQ(serviceRows(
                  db, QStringLiteral("select to_date('2006-02-30','yyyy-mm-dd') is null, "
                                     "to_date(null,'yyyy-mm-dd') is null, to_date('2006-2-3','YYYY-MM-DD')")),
              QStringList{QStringLiteral("1|1|2006-02-03")});
    EXPECT_EQ(
        db.service()->OpenRecordset(QStringLiteral("select to_date('2006-11-01','dd.mm.yyyy')"), System),
        nullptr);
    EXPECT_TRUE(db.service()->LastError().contains(QLatin1String("yyyy-mm-dd")))
        << db.service()->LastError().toStdString();
}

TEST(SqlDialect, BareNumbersMeetTextColumnsAndRightsFitAnInList)
{
    TestDatabase db;
    addCities(db);
    EXPECT_EQ(serviceRows(db, QStringLiteral("select city_name from com_city where city_id = 12")),
              QStringList{QStringLiteral("无锡")});
    EXPECT_EQ(serviceRows(db, QStringLiteral("select city_name from com_city where pro_id=4 and city_id <> 9 "
                                             "order by showserial")),
              (QStringList{QStringLiteral("南京"), QStringLiteral("无锡"), QStringLiteral("徐州")}));

    db.exec(QStringLiteral("insert into host_user(username, fullname) values ('demo', 'Demo')"));
    db.exec(QStringLiteral("insert into host_right(username, funcno, city_id) values ('demo', '13', '12'), "
                           "('demo', '13', '9'), ('demo', '13', '11')"));
    RightServiceImpl rights;
    rights.setSource(db.database(), QStringLiteral("demo"));
    const QString list = rights.GetRightCityList(QStringLiteral("13"));
    EXPECT_EQ(list, QStringLiteral("'9','11','12'"));
    db.exec(
        QStringLiteral("insert into res_baseroom(roomcode, roomname, city) values ('r1', '鼓楼机房', '11'), "
                       "('r2', '铜山机房', '13'), ('r3', '钟楼机房', '9')"));
    // The room search's statement for "全部": every city the user may query.
    EXPECT_EQ(serviceRows(db, QStringLiteral("select roomname from res_baseroom where  city in ( ") + list +
                                  QStringLiteral(" )  order by roomcode")),
              (QStringList{QStringLiteral("鼓楼机房"), QStringLiteral("钟楼机房")}));
}
