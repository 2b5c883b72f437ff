// SPDX-License-Identifier: MIT
#include "scratch_database.h"
#include "data/demo_database.h"
#include "data/schema.h"

#include <QSet>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>
#include <algorithm>
#include <gtest/gtest.h>
#include <vector>

namespace corvan::test {
namespace {

using namespace Qt::StringLiterals;
using host::DemoOptions;
using host::DemoReport;

const QStringList Networks = {u"g"_s, u"c"_s, u"d"_s};

// Every row of a query, fields joined by '|', null as "<null>".
QStringList rows(QSqlDatabase db, const QString& sql)
{
    QStringList out;
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(sql)) {
        ADD_FAILURE() << "query failed: " << sql.toStdString() << "\n"
                      << query.lastError().text().toStdString();
        return out;
    }
    const int columns = query.record().count();
    while (query.next()) {
        QStringList fields;
        for (int i = 0; i < columns; ++i)
            fields << (query.isNull(i) ? u"<null>"_s : query.value(i).toString());
        out << fields.join(u'|');
    }
    return out;
}

// The loader sets indexes aside while it writes; they must all be back afterwards.
QStringList indexes(QSqlDatabase db)
{
    return rows(db,
                ScratchDatabase::usesPostgreSQL()
                    ? u"select indexname, indexdef from pg_indexes where schemaname = 'public' order by 1"_s
                    : u"select name, sql from sqlite_master where type = 'index' order by 1"_s);
}

qint64 number(QSqlDatabase db, const QString& sql)
{
    const QStringList result = rows(db, sql);
    return result.size() == 1 ? result.first().toLongLong() : -1;
}

class DemoDatabaseTest : public ::testing::Test {
protected:
    // Gives a scratch database the schema and the demo data.
    static void load(ScratchDatabase& scratch, const DemoOptions& options, DemoReport* report)
    {
        ASSERT_TRUE(scratch.isOpen()) << scratch.error().toStdString();
        QString error;
        ASSERT_TRUE(host::createSchema(scratch.db(), &error)) << error.toStdString();
        ASSERT_TRUE(host::createDemoData(scratch.db(), options, report, &error)) << error.toStdString();
        EXPECT_TRUE(error.isEmpty());
    }
};

QString dump(QSqlDatabase db)
{
    QStringList out;
    for (const QString& sql :
         {u"select * from res_baseroom order by roomcode"_s, u"select * from res_gbts order by basecode"_s,
          u"select * from res_dcell order by cellcode"_s, u"select * from res_cantline order by linecode"_s})
        out << rows(db, sql);
    return out.join(u'\n');
}

TEST_F(DemoDatabaseTest, SameSeedGivesTheSameRowsAnotherSeedOthers)
{
    ScratchDatabase first, second, third;
    DemoReport a, b, c;
    DemoOptions options;
    options.rooms = 200;
    ASSERT_NO_FATAL_FAILURE(load(first, options, &a));
    ASSERT_NO_FATAL_FAILURE(load(second, options, &b));
    options.seed += 1;
    ASSERT_NO_FATAL_FAILURE(load(third, options, &c));

    const QString reference = dump(first.db());
    EXPECT_GT(reference.size(), 10000);
    EXPECT_EQ(dump(second.db()), reference);
    EXPECT_EQ(a.rowCounts, b.rowCounts);
    EXPECT_NE(dump(third.db()), reference);
    EXPECT_EQ(c.rowCounts.value(u"res_baseroom"_s), 200);
}

TEST_F(DemoDatabaseTest, DefaultLoadIsConsistent)
{
    ScratchDatabase scratch;
    DemoReport report;
    ASSERT_NO_FATAL_FAILURE(load(scratch, DemoOptions{}, &report));
    QSqlDatabase db = scratch.db();

    // The report tells the truth about every table written.
    EXPECT_EQ(report.rowCounts.size(), 23);
    for (auto it = report.rowCounts.cbegin(); it != report.rowCounts.cend(); ++it)
        EXPECT_EQ(number(db, u"select count(*) from "_s + it.key()), it.value()) << it.key().toStdString();
    const qint64 roomCount = report.rowCounts.value(u"res_baseroom"_s);
    EXPECT_EQ(roomCount, 1000);
    // Every BTS stands inside the province's extent, which a typed coordinate is checked against.
    for (const char* net : {"g", "c", "d"})
        EXPECT_EQ(number(db, u"select count(*) from res_%1bts b, corvan_province_extent e where b.longitude is not null "
                             u"and (b.longitude not between e.lon_min and e.lon_max or b.latitude not between "
                             u"e.lat_min and e.lat_max)"_s.arg(QLatin1String(net))),
                  0);

    // Divisions: province 4 with at least eight cities, each with counties; rooms in their city's counties.
    EXPECT_EQ(rows(db, u"select pro_name from com_province where pro_id = '4'"_s).size(), 1);
    EXPECT_GE(number(db, u"select count(*) from com_city c where pro_id = '4' and exists "
                         u"(select 1 from com_county k where k.city_id = c.city_id)"_s),
              8);
    EXPECT_EQ(number(db, u"select count(*) from com_city c where not exists "
                         u"(select 1 from com_county k where k.city_id = c.city_id)"_s),
              0);
    EXPECT_EQ(number(db,
                     u"select count(*) from res_baseroom r where not exists "
                     u"(select 1 from com_county k where k.county_id = r.county and k.city_id = r.city)"_s),
              0);

    // Rooms: Chinese names, some repeated within a city, JF- numbers, 20-digit codes.
    EXPECT_EQ(number(db, u"select count(*) from res_baseroom where roomname not like '%机房'"_s), 0);
    EXPECT_GT(number(db, u"select count(*) from (select city, roomname from res_baseroom "
                         u"group by city, roomname having count(*) > 1) d"_s),
              0);
    EXPECT_EQ(number(db, u"select count(*) from res_baseroom where roomno not like 'JF-_______'"_s), 0);
    EXPECT_GT(number(db, u"select count(*) from res_baseroom where roomno like 'JF-%'"_s), 950);

    qint64 nullCellNames = 0;
    qint64 nullLineIds = 0;
    qint64 previousShare = 1000;
    for (const QString& n : Networks) {
        SCOPED_TRACE(n.toStdString());
        const QString bts = u"res_"_s + n + u"bts"_s;
        const QString cell = u"res_"_s + n + u"cell"_s;
        const qint64 btsCount = report.rowCounts.value(bts);
        const qint64 cellCount = report.rowCounts.value(cell);

        // Most rooms hold a BTS of each network, G the most and D the fewest.
        const qint64 held =
            number(db, u"select count(*) from res_baseroom where "_s + n + u"bts is not null"_s);
        EXPECT_EQ(held, btsCount);
        EXPECT_GE(held, 400);
        EXPECT_LT(held, previousShare);
        previousShare = held;

        // Every room's column names an existing BTS of its city standing in that room, and the view
        // pairs every BTS with exactly one room.
        EXPECT_EQ(number(db, u"select count(*) from res_baseroom r where r.%1bts is not null and not exists "
                             u"(select 1 from res_%1bts b where b.basenum = r.%1bts and b.city = r.city "
                             u"and b.county = r.county and b.belongroom = r.roomname)"_s.arg(n)),
                  0);
        EXPECT_EQ(number(db, u"select count(*) from v_res_%1bts where roomcode is not null"_s.arg(n)),
                  btsCount);
        EXPECT_EQ(number(db, u"select count(*) from v_res_%1bts"_s.arg(n)), btsCount);
        EXPECT_EQ(number(db, u"select count(*) from v_res_bts where net = '%1'"_s.arg(n.toUpper())),
                  btsCount);

        // Cells: 1 to 6 per BTS, in the BTS's city, CI unique within a city.
        EXPECT_EQ(
            number(db, u"select count(*) from res_%1cell c where not exists "
                       u"(select 1 from res_%1bts b where b.basenum = c.bts and b.city = c.city)"_s.arg(n)),
            0);
        EXPECT_EQ(rows(db, u"select min(k), max(k), count(*) from (select count(*) as k from res_%1cell "
                           u"group by bts) d"_s.arg(n)),
                  QStringList{u"1|6|"_s + QString::number(btsCount)});
        EXPECT_EQ(number(db, u"select count(*) from (select city, ci from res_%1cell group by city, ci "
                             u"having count(*) > 1) d"_s.arg(n)),
                  0);

        // Antennas and feeders: 1 to 3 per cell, each matching a cell by city and CI.
        for (const QString& kind : {u"ant"_s, u"antline"_s}) {
            const QString table = u"res_"_s + n + kind;
            EXPECT_EQ(number(db, u"select count(*) from %1 a where not exists (select 1 from %2 c "
                                 u"where c.city = a.city and c.ci = a.ci)"_s.arg(table, cell)),
                      0);
            EXPECT_EQ(rows(db, u"select min(k), max(k), count(*) from (select count(*) as k from %1 "
                               u"group by city, ci) d"_s.arg(table)),
                      QStringList{u"1|3|"_s + QString::number(cellCount)});
        }

        // Codes are 20 digits; the key a relocation checks is unique.
        for (const QString& column : {u"basecode"_s, u"basenum"_s}) {
            EXPECT_EQ(number(db, u"select count(*) from %1 where %2 is null"_s.arg(bts, column)), 0);
        }
        EXPECT_EQ(number(db, u"select count(*) from %1 where length(basecode) <> 20"_s.arg(bts)), 0);
        EXPECT_EQ(number(db, u"select count(*) from %1 where length(cellcode) <> 20"_s.arg(cell)), 0);
        nullCellNames += number(db, u"select count(*) from %1 where cellname is null"_s.arg(cell));
        nullLineIds += number(db, u"select count(*) from res_%1antline where lineid is null"_s.arg(n));
    }
    EXPECT_GT(nullCellNames, 0);
    EXPECT_GT(nullLineIds, 0);
    EXPECT_EQ(number(db, u"select count(*) from res_baseroom where length(roomcode) <> 20"_s), 0);

    // Rights: "demo" lacks exactly one city of the province, "admin" none.
    const QString missing = u"select count(*) from com_city where pro_id = '4' and city_id not in "
                            u"(select city_id from host_right where username = '%1' and funcno = '13')"_s;
    EXPECT_EQ(number(db, missing.arg(u"demo"_s)), 1);
    EXPECT_EQ(number(db, missing.arg(u"admin"_s)), 0);
}

TEST_F(DemoDatabaseTest, OptionsRulesAndMetadataWork)
{
    ScratchDatabase scratch;
    DemoOptions options;
    options.rooms = 100;
    ASSERT_NO_FATAL_FAILURE(load(scratch, options, nullptr));
    QSqlDatabase db = scratch.db();

    // The rule reading of each network finds its Modify row and the rest of its family.
    for (const QString& net : {u"G"_s, u"C"_s, u"D"_s}) {
        const QStringList found =
            rows(db, u"select g_name,g_value from gui_option where g_name ='"_s + net +
                         u"BtsDispatchModify' or g_name like '"_s + net + u"BtsDispatch%'"_s);
        EXPECT_EQ(found.size(), net == u"G"_s ? 5 : 4) << found.join(u'\n').toStdString();
        EXPECT_TRUE(found.contains(net + u"BtsDispatchNoDisplay|photo"_s));
        EXPECT_EQ(number(db, u"select count(*) from gui_option where g_name = '"_s + net +
                                 u"BtsDispatchModify' and g_value like '%belongroom%'"_s),
                  1);
    }

    // Field rules: the queries they hold run and give what the lists need.
    const QString rule = u"select getrule,customselectrule from tabledictionarynew where tablename='%1' and "
                         u"enfield='%2'"_s;
    const QStringList cityRule = rows(db, rule.arg(u"res_gbts"_s, u"city"_s));
    ASSERT_EQ(cityRule.size(), 1);
    const QStringList cities = rows(db, cityRule.first().section(u'|', 0, 0));
    EXPECT_GE(cities.size(), 8);
    EXPECT_EQ(cities.value(0), u"11|云州市"_s);
    EXPECT_EQ(rows(db, rule.arg(u"res_cbts"_s, u"shared"_s)), QStringList{u"YN|<null>"_s});
    for (const QString& net : Networks) {
        const QString table = u"res_"_s + net + u"bts"_s;
        const QStringList vendor = rows(db, rule.arg(table, u"vendor"_s));
        ASSERT_EQ(vendor.size(), 1);
        EXPECT_FALSE(rows(db, vendor.first().section(u'|', 0, 0)).isEmpty());
        // A custom rule "select list;table;filter column,source field" filters by the BTS's city.
        for (const QString& field : {u"county"_s, u"belongbsc"_s}) {
            const QStringList custom = rows(db, rule.arg(table, field));
            ASSERT_EQ(custom.size(), 1);
            const QStringList parts = custom.first().section(u'|', 1).split(u';');
            ASSERT_EQ(parts.size(), 3);
            EXPECT_EQ(parts[2], u"city,city"_s);
            const QStringList choices =
                rows(db, u"select "_s + parts[0] + u" from "_s + parts[1] + u" where city='11'"_s);
            EXPECT_FALSE(choices.isEmpty()) << field.toStdString();
            for (const QString& option : choices)
                EXPECT_TRUE(option.startsWith(field == u"county"_s ? u"11"_s : u"云州"_s))
                    << option.toStdString();
        }
        EXPECT_EQ(rows(db, u"select judgeunique from tablebaseinfo where queryfromview ='v_res_"_s + net +
                               u"bts'"_s),
                  QStringList{u"basenum,basename"_s});
    }

    // Display metadata: one row per column of each BTS view and each cell, antenna and feeder table,
    // numbered in order; a field marked required ('N') is never empty in the demo data.
    for (const QString& net : Networks) {
        for (const QString& view : {u"v_res_"_s + net + u"bts"_s, u"res_"_s + net + u"cell"_s,
                                    u"res_"_s + net + u"ant"_s, u"res_"_s + net + u"antline"_s}) {
            SCOPED_TRACE(view.toStdString());
            QSqlQuery columns(db);
            ASSERT_TRUE(columns.exec(u"select * from "_s + view + u" where 1 = 0"_s));
            QSet<QString> expected;
            for (int i = 0; i < columns.record().count(); ++i)
                expected << columns.record().fieldName(i);
            columns.finish();
            const QStringList meta =
                rows(db, u"select fieldname, serial, required from host_field where viewname = '"_s + view +
                             u"' order by serial"_s);
            QSet<QString> described;
            for (int i = 0; i < meta.size(); ++i) {
                const QStringList f = meta[i].split(u'|');
                described << f[0];
                EXPECT_EQ(f[1].toInt(), i + 1);
                if (f[2] == u"N"_s) {
                    const QString empty =
                        u"select count(*) from %1 where coalesce(cast(%2 as text), '') = ''"_s;
                    EXPECT_EQ(number(db, empty.arg(view, f[0])), 0) << f[0].toStdString();
                }
            }
            EXPECT_EQ(described, expected);
        }
    }
    EXPECT_EQ(
        rows(db, u"select caption, datatype, groupname, display, emphasis, required, lookup from host_field "
                 u"where viewname = 'v_res_gbts' and fieldname in ('city', 'roomcode', 'basenum') "
                 u"order by fieldname"_s),
        QStringList({u"基站编号|int|基本信息|Y|1|N|<null>"_s, u"所属地市|custom|位置信息|Y|0|N|city"_s,
                     u"机房编码|char|位置信息|N|0|Y|<null>"_s}));
    EXPECT_EQ(
        rows(db,
             u"select caption from host_field where viewname = 'v_res_dbts' and fieldname = 'belongbsc'"_s),
        QStringList{u"所属RNC"_s});
}

TEST_F(DemoDatabaseTest, RefusesBadInputAndDataAlreadyThere)
{
    ScratchDatabase scratch;
    ASSERT_TRUE(scratch.isOpen()) << scratch.error().toStdString();
    QSqlDatabase db = scratch.db();
    QString error;
    DemoOptions options;
    options.rooms = 20;
    EXPECT_FALSE(host::createDemoData(db, options, nullptr, &error));
    EXPECT_TRUE(error.startsWith(u"The database lacks the schema: "_s)) << error.toStdString();

    ASSERT_TRUE(host::createSchema(db, &error)) << error.toStdString();
    const QStringList schemaIndexes = indexes(db);
    EXPECT_GT(schemaIndexes.size(), 40);
    for (const int rooms : {0, -5, 1'000'001}) {
        options.rooms = rooms;
        EXPECT_FALSE(host::createDemoData(db, options, nullptr, &error));
        EXPECT_EQ(error,
                  u"The number of rooms must lie between 1 and 1000000, not "_s + QString::number(rooms));
    }
    EXPECT_EQ(number(db, u"select count(*) from com_city"_s), 0);

    options.rooms = 20;
    std::vector<int> progress;
    options.progress = [&progress](int percent) {
        progress.push_back(percent);
    };
    DemoReport report;
    ASSERT_TRUE(host::createDemoData(db, options, &report, &error)) << error.toStdString();
    EXPECT_EQ(number(db, u"select count(*) from res_baseroom"_s), 20);
    ASSERT_GE(progress.size(), 10u);
    EXPECT_EQ(progress.front(), 0);
    EXPECT_EQ(progress.back(), 100);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_EQ(indexes(db), schemaIndexes);

    const qint64 cells = number(db, u"select count(*) from res_gcell"_s);
    EXPECT_FALSE(host::createDemoData(db, options, &report, &error));
    EXPECT_EQ(error, u"The database already holds data: table com_province is not empty"_s);
    EXPECT_EQ(number(db, u"select count(*) from res_baseroom"_s), 20);
    EXPECT_EQ(number(db, u"select count(*) from res_gcell"_s), cells);
}

TEST_F(DemoDatabaseTest, AFailedLoadLeavesNoRows)
{
    ScratchDatabase scratch;
    ASSERT_TRUE(scratch.isOpen()) << scratch.error().toStdString();
    QSqlDatabase db = scratch.db();
    QString error;
    ASSERT_TRUE(host::createSchema(db, &error)) << error.toStdString();
    // A feeder table the generator cannot write to makes the load fail after other tables got rows.
    ASSERT_TRUE(QSqlQuery(db).exec(u"drop table res_dantline"_s));
    ASSERT_TRUE(QSqlQuery(db).exec(u"create table res_dantline (linecode text, lineid text)"_s));
    const QStringList schemaIndexes = indexes(db);
    DemoOptions options;
    options.rooms = 30;
    EXPECT_FALSE(host::createDemoData(db, options, nullptr, &error));
    EXPECT_TRUE(error.startsWith(u"Cannot write res_dantline: "_s)) << error.toStdString();
    for (const QString& table : {u"com_province"_s, u"host_field"_s, u"res_baseroom"_s, u"res_gcell"_s})
        EXPECT_EQ(number(db, u"select count(*) from "_s + table), 0) << table.toStdString();
    EXPECT_EQ(indexes(db), schemaIndexes);
}

} // namespace
} // namespace corvan::test
