// SPDX-License-Identifier: MIT
#include "data/demo_database.h"
#include "support/test_database.h"

#include <QSet>
#include <QSqlRecord>
#include <algorithm>
#include <gtest/gtest.h>
#include <vector>

using namespace Qt::StringLiterals;
using corvan::host::DemoOptions;
using corvan::host::DemoReport;
using corvan::test::TestDatabase;
namespace host = corvan::host;

namespace {

const QStringList Networks = {u"g"_s, u"c"_s, u"d"_s};

QStringList rows(TestDatabase& db, const QString& sql)
{
    return db.rows(sql, u"<null>"_s);
}

qint64 number(TestDatabase& db, const QString& sql)
{
    const QStringList result = db.rows(sql);
    return result.size() == 1 ? result.first().toLongLong() : -1;
}

// The loader sets indexes aside while it writes; they must all be back afterwards.
QStringList indexes(TestDatabase& db)
{
    return rows(db,
                db.isPostgresql()
                    ? u"select indexname, indexdef from pg_indexes where schemaname = 'public' order by 1"_s
                    : u"select name, sql from sqlite_master where type = 'index' order by 1"_s);
}

void load(TestDatabase& db, const DemoOptions& options, DemoReport* report)
{
    QString error;
    ASSERT_TRUE(host::createDemoData(db.database(), options, report, &error)) << error.toStdString();
    EXPECT_TRUE(error.isEmpty());
}

DemoOptions rooms(int count)
{
    DemoOptions options;
    options.rooms = count;
    return options;
}

QString dump(TestDatabase& db)
{
    QStringList out;
    for (const QString& table : {u"res_baseroom order by roomcode"_s, u"res_gbts order by basecode"_s,
                                 u"res_dcell order by cellcode"_s, u"res_cantline order by linecode"_s})
        out << rows(db, u"select * from "_s + table);
    return out.join(u'\n');
}

} // namespace

TEST(DemoDatabase, SameSeedGivesTheSameRowsAnotherSeedOthers)
{
    TestDatabase first, second, third;
    DemoReport a, b, c;
    DemoOptions options = rooms(200);
    ASSERT_NO_FATAL_FAILURE(load(first, options, &a));
    ASSERT_NO_FATAL_FAILURE(load(second, options, &b));
    options.seed += 1;
    options.reviewRequired = true;
    ASSERT_NO_FATAL_FAILURE(load(third, options, &c));
    EXPECT_EQ(
        rows(third, u"select pro_id, case when required then 1 else 0 end from corvan_review_setting"_s),
        QStringList{u"4|1"_s});

    const QString reference = dump(first);
    EXPECT_GT(reference.size(), 10000);
    EXPECT_EQ(dump(second), reference);
    EXPECT_EQ(a.rowCounts, b.rowCounts);
    EXPECT_NE(dump(third), reference);
    EXPECT_EQ(c.rowCounts.value(u"res_baseroom"_s), 200);
}

TEST(DemoDatabase, DefaultLoadIsConsistent)
{
    TestDatabase db;
    DemoReport report;
    ASSERT_NO_FATAL_FAILURE(load(db, DemoOptions{}, &report));

    // The report tells the truth about every table written.
    EXPECT_EQ(report.rowCounts.size(), 23);
    for (auto it = report.rowCounts.cbegin(); it != report.rowCounts.cend(); ++it)
        EXPECT_EQ(number(db, u"select count(*) from "_s + it.key()), it.value()) << it.key().toStdString();
    EXPECT_EQ(report.rowCounts.value(u"res_baseroom"_s), 1000);

    // Queries that count faults; each must find none. Every city has counties and every room
    // lies in a county of its city; rooms have Chinese names, JF- numbers and 20-digit codes.
    QStringList faults = {
        u"select count(*) from com_city c where not exists "
        u"(select 1 from com_county k where k.city_id = c.city_id)"_s,
        u"select count(*) from res_baseroom r where not exists "
        u"(select 1 from com_county k where k.county_id = r.county and k.city_id = r.city)"_s,
        u"select count(*) from res_baseroom where roomname not like '%机房'"_s,
        u"select count(*) from res_baseroom where roomno not like 'JF-_______'"_s,
        u"select count(*) from res_baseroom where length(roomcode) <> 20"_s,
    };
    // For each network: every BTS stands inside the province's extent, which a typed coordinate
    // is checked against; every room's column names an existing BTS of its city standing in that
    // room; cells lie in their BTS's city with a CI unique within the city; antennas and feeders
    // match a cell by city and CI; codes are 20 digits, and the key a relocation checks is never
    // null.
    for (const QString& n : Networks) {
        faults
            << u"select count(*) from res_%1bts b, corvan_province_extent e where b.longitude is not null "
               u"and "
               u"(b.longitude not between e.lon_min and e.lon_max or b.latitude not between e.lat_min and "
               u"e.lat_max)"_s.arg(n)
            << u"select count(*) from res_baseroom r where r.%1bts is not null and not exists (select 1 from "
               u"res_%1bts b where b.basenum = r.%1bts and b.city = r.city and b.county = r.county and "
               u"b.belongroom = r.roomname)"_s.arg(n)
            << u"select count(*) from res_%1cell c where not exists "
               u"(select 1 from res_%1bts b where b.basenum = c.bts and b.city = c.city)"_s.arg(n)
            << u"select count(*) from (select city, ci from res_%1cell group by city, ci "
               u"having count(*) > 1) d"_s.arg(n)
            << u"select count(*) from res_%1bts where basecode is null or basenum is null"_s.arg(n)
            << u"select count(*) from res_%1bts where length(basecode) <> 20"_s.arg(n)
            << u"select count(*) from res_%1cell where length(cellcode) <> 20"_s.arg(n);
        for (const QString& kind : {u"ant"_s, u"antline"_s})
            faults << u"select count(*) from res_%1%2 a where not exists (select 1 from res_%1cell c "
                      u"where c.city = a.city and c.ci = a.ci)"_s.arg(n, kind);
    }
    for (const QString& sql : faults)
        EXPECT_EQ(number(db, sql), 0) << sql.toStdString();

    // Province 4 with at least eight cities that have counties; room names repeat within a
    // city; nearly every room has a number.
    EXPECT_EQ(rows(db, u"select pro_name from com_province where pro_id = '4'"_s).size(), 1);
    EXPECT_GE(number(db, u"select count(*) from com_city c where pro_id = '4' and exists "
                         u"(select 1 from com_county k where k.city_id = c.city_id)"_s),
              8);
    EXPECT_GT(number(db, u"select count(*) from (select city, roomname from res_baseroom "
                         u"group by city, roomname having count(*) > 1) d"_s),
              0);
    EXPECT_GT(number(db, u"select count(*) from res_baseroom where roomno like 'JF-%'"_s), 950);

    qint64 nullCellNames = 0;
    qint64 nullLineIds = 0;
    qint64 previousShare = 1000;
    for (const QString& n : Networks) {
        SCOPED_TRACE(n.toStdString());
        const qint64 btsCount = report.rowCounts.value(u"res_%1bts"_s.arg(n));
        const qint64 cellCount = report.rowCounts.value(u"res_%1cell"_s.arg(n));
        // Most rooms hold a BTS of each network, G the most and D the fewest; the views pair
        // every BTS with exactly one room.
        const qint64 held = number(db, u"select count(*) from res_baseroom where %1bts is not null"_s.arg(n));
        EXPECT_EQ(held, btsCount);
        EXPECT_GE(held, 400);
        EXPECT_LT(held, previousShare);
        previousShare = held;
        for (const QString& sql : {u"select count(*) from v_res_%1bts where roomcode is not null"_s.arg(n),
                                   u"select count(*) from v_res_%1bts"_s.arg(n),
                                   u"select count(*) from v_res_bts where net = '%1'"_s.arg(n.toUpper())})
            EXPECT_EQ(number(db, sql), btsCount) << sql.toStdString();
        // 1 to 6 cells per BTS; 1 to 3 antennas and feeders per cell.
        EXPECT_EQ(rows(db, u"select min(k), max(k), count(*) from (select count(*) as k from res_%1cell "
                           u"group by bts) d"_s.arg(n)),
                  QStringList{u"1|6|"_s + QString::number(btsCount)});
        for (const QString& kind : {u"ant"_s, u"antline"_s})
            EXPECT_EQ(rows(db, u"select min(k), max(k), count(*) from (select count(*) as k from res_%1%2 "
                               u"group by city, ci) d"_s.arg(n, kind)),
                      QStringList{u"1|3|"_s + QString::number(cellCount)});
        nullCellNames += number(db, u"select count(*) from res_%1cell where cellname is null"_s.arg(n));
        nullLineIds += number(db, u"select count(*) from res_%1antline where lineid is null"_s.arg(n));
    }
    EXPECT_GT(nullCellNames, 0);
    EXPECT_GT(nullLineIds, 0);

    // Rights: "demo" lacks exactly one city of the province, "admin" none; "reviewer" reviews
    // every city and relocates in none. Review is off unless asked for.
    const QString missing = u"select count(*) from com_city where pro_id = '4' and city_id not in "
                            u"(select city_id from host_right where username = '%1' and funcno = '%2')"_s;
    const struct {
        QString user, function;
        int missingCities;
    } rights[] = {{u"demo"_s, u"13"_s, 1},
                  {u"admin"_s, u"13"_s, 0},
                  {u"reviewer"_s, u"13"_s, 9},
                  {u"reviewer"_s, u"14"_s, 0},
                  {u"admin"_s, u"14"_s, 9}};
    for (const auto& r : rights)
        EXPECT_EQ(number(db, missing.arg(r.user, r.function)), r.missingCities)
            << r.user.toStdString() << " " << r.function.toStdString();
    EXPECT_EQ(number(db, u"select count(*) from corvan_review_setting"_s), 0);
}

TEST(DemoDatabase, OptionsRulesAndMetadataWork)
{
    TestDatabase db;
    ASSERT_NO_FATAL_FAILURE(load(db, rooms(100), nullptr));

    // The rule reading of each network finds its Modify row and the rest of its family.
    for (const QString& net : {u"G"_s, u"C"_s, u"D"_s}) {
        const QStringList found = rows(db, u"select g_name,g_value from gui_option where g_name ='%1"
                                           u"BtsDispatchModify' or g_name like '%1BtsDispatch%'"_s.arg(net));
        EXPECT_EQ(found.size(), net == u"G"_s ? 5 : 4) << found.join(u'\n').toStdString();
        EXPECT_TRUE(found.contains(net + u"BtsDispatchNoDisplay|photo"_s));
        EXPECT_EQ(number(db, u"select count(*) from gui_option where g_name = '%1BtsDispatchModify' and "
                             u"g_value like '%belongroom%'"_s.arg(net)),
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
                rows(db, u"select %1 from %2 where city='11'"_s.arg(parts[0], parts[1]));
            EXPECT_FALSE(choices.isEmpty()) << field.toStdString();
            for (const QString& option : choices)
                EXPECT_TRUE(option.startsWith(field == u"county"_s ? u"11"_s : u"云州"_s))
                    << option.toStdString();
        }
        EXPECT_EQ(
            rows(db, u"select judgeunique from tablebaseinfo where queryfromview ='v_res_%1bts'"_s.arg(net)),
            QStringList{u"basenum,basename"_s});
    }

    // Display metadata: one row per column of each BTS view and each cell, antenna and feeder table,
    // numbered in order; a field marked required ('N') is never empty in the demo data.
    for (const QString& net : Networks) {
        for (const QString& kind : {u"v_res_%1bts"_s, u"res_%1cell"_s, u"res_%1ant"_s, u"res_%1antline"_s}) {
            const QString view = kind.arg(net);
            SCOPED_TRACE(view.toStdString());
            const QSqlRecord columns = db.database().record(view);
            QSet<QString> expected;
            for (int i = 0; i < columns.count(); ++i)
                expected << columns.fieldName(i);
            const QStringList meta = rows(
                db,
                u"select fieldname, serial, required from host_field where viewname = '%1' order by serial"_s
                    .arg(view));
            QSet<QString> described;
            for (int i = 0; i < meta.size(); ++i) {
                const QStringList f = meta[i].split(u'|');
                described << f[0];
                EXPECT_EQ(f[1].toInt(), i + 1);
                if (f[2] == u"N"_s) {
                    EXPECT_EQ(
                        number(db, u"select count(*) from %1 where coalesce(cast(%2 as text), '') = ''"_s.arg(
                                       view, f[0])),
                        0)
                        << f[0].toStdString();
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

TEST(DemoDatabase, RefusesBadInputAndDataAlreadyThere)
{
    TestDatabase db(TestDatabase::Contents::Nothing);
    QString error;
    DemoOptions options = rooms(20);
    EXPECT_FALSE(host::createDemoData(db.database(), options, nullptr, &error));
    EXPECT_TRUE(error.startsWith(u"The database lacks the schema: "_s)) << error.toStdString();

    ASSERT_TRUE(host::createSchema(db.database(), &error)) << error.toStdString();
    const QStringList schemaIndexes = indexes(db);
    EXPECT_GT(schemaIndexes.size(), 40);
    for (const int count : {0, -5, 1'000'001}) {
        EXPECT_FALSE(host::createDemoData(db.database(), rooms(count), nullptr, &error));
        EXPECT_EQ(error,
                  u"The number of rooms must lie between 1 and 1000000, not "_s + QString::number(count));
    }
    EXPECT_EQ(number(db, u"select count(*) from com_city"_s), 0);

    std::vector<int> progress;
    options.progress = [&progress](int percent) {
        progress.push_back(percent);
    };
    ASSERT_NO_FATAL_FAILURE(load(db, options, nullptr));
    EXPECT_EQ(number(db, u"select count(*) from res_baseroom"_s), 20);
    ASSERT_GE(progress.size(), 10u);
    EXPECT_EQ(progress.front(), 0);
    EXPECT_EQ(progress.back(), 100);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_EQ(indexes(db), schemaIndexes);

    const qint64 cells = number(db, u"select count(*) from res_gcell"_s);
    DemoReport report;
    EXPECT_FALSE(host::createDemoData(db.database(), options, &report, &error));
    EXPECT_EQ(error, u"The database already holds data: table com_province is not empty"_s);
    EXPECT_EQ(number(db, u"select count(*) from res_baseroom"_s), 20);
    EXPECT_EQ(number(db, u"select count(*) from res_gcell"_s), cells);
}

TEST(DemoDatabase, AFailedLoadLeavesNoRows)
{
    TestDatabase db;
    // A feeder table the generator cannot write to makes the load fail after other tables got rows.
    db.exec(u"drop table res_dantline"_s);
    db.exec(u"create table res_dantline (linecode text, lineid text)"_s);
    const QStringList schemaIndexes = indexes(db);
    QString error;
    EXPECT_FALSE(host::createDemoData(db.database(), rooms(30), nullptr, &error));
    EXPECT_TRUE(error.startsWith(u"Cannot write res_dantline: "_s)) << error.toStdString();
    for (const QString& table : {u"com_province"_s, u"host_field"_s, u"res_baseroom"_s, u"res_gcell"_s})
        EXPECT_EQ(number(db, u"select count(*) from "_s + table), 0) << table.toStdString();
    EXPECT_EQ(indexes(db), schemaIndexes);
}
