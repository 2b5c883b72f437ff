// SPDX-License-Identifier: MIT
#include "core/history/history_rows.h"
#include "data/schema.h"
#include "support/test_database.h"

#include <QSqlQuery>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using corvan::host::Engine;
using corvan::test::TestDatabase;
namespace host = corvan::host;

namespace {

const QStringList SchemaObjects = {
    u"com_province"_s, u"com_city"_s,   u"com_county"_s,         u"v_com_county"_s,  u"res_baseroom"_s,
    u"res_gbts"_s,     u"res_gcell"_s,  u"res_gant"_s,           u"res_gantline"_s,  u"v_res_gbts"_s,
    u"res_cbts"_s,     u"res_ccell"_s,  u"res_cant"_s,           u"res_cantline"_s,  u"v_res_cbts"_s,
    u"res_dbts"_s,     u"res_dcell"_s,  u"res_dant"_s,           u"res_dantline"_s,  u"v_res_dbts"_s,
    u"v_res_bts"_s,    u"gui_option"_s, u"tabledictionarynew"_s, u"tablebaseinfo"_s, u"h_btsdispatch"_s,
    u"host_field"_s,   u"host_user"_s,  u"host_right"_s};

bool runs(TestDatabase& db, const QString& sql)
{
    return QSqlQuery(db.database()).exec(sql);
}

// The schema objects that can be read, in the order above.
QStringList readable(TestDatabase& db)
{
    QStringList out;
    for (const QString& name : SchemaObjects)
        if (runs(db, u"select * from "_s + name + u" where 1 = 0"_s))
            out << name;
    return out;
}

void create(TestDatabase& db)
{
    QString error;
    ASSERT_TRUE(host::createSchema(db.database(), &error)) << error.toStdString();
}

} // namespace

TEST(SqlSplitter, CutsOnlyAtSemicolonsOutsideQuotesBodiesAndComments)
{
    const QString script = uR"(-- leading comment; not a statement
create table t (a text default 'x;y', "odd;name" text); /* block; comment */
insert into t values ('it''s; fine');
create table u (
  a text, -- it's a note; with a semicolon
  b text);
create function f() returns int language sql as $$ select 1; $$;
do $body$ begin perform 1; end $body$;
select $1;select 2;
create trigger k before delete on t
begin
  select raise(abort, 'kept; always');
  select 1;
end;
create trigger p before insert on t for each row execute function f();
-- trailing comment only
)"_s;
    const QStringList expected = {
        uR"(create table t (a text default 'x;y', "odd;name" text))"_s,
        u"insert into t values ('it''s; fine')"_s,
        u"create table u (\n  a text, \n  b text)"_s,
        u"create function f() returns int language sql as $$ select 1; $$"_s,
        u"do $body$ begin perform 1; end $body$"_s,
        u"select $1"_s,
        u"select 2"_s,
        u"create trigger k before delete on t\nbegin\n  select raise(abort, 'kept; always');\n  "
        u"select 1;\nend"_s,
        u"create trigger p before insert on t for each row execute function f()"_s};
    EXPECT_EQ(host::splitSqlStatements(script), expected);
    EXPECT_TRUE(host::splitSqlStatements(u"  -- nothing\n ; ; /* x */"_s).isEmpty());
}

TEST(SqlSplitter, ExpandsTheNetworkBlockForEveryLetter)
{
    for (const Engine engine : {Engine::SQLite, Engine::PostgreSQL}) {
        const QString all = host::schemaStatements(engine).join(u'\n');
        ASSERT_FALSE(all.isEmpty());
        EXPECT_FALSE(all.contains(u'@'));
        for (const QString& letter : {u"g"_s, u"c"_s, u"d"_s}) {
            EXPECT_TRUE(all.contains(u"create table res_"_s + letter + u"bts ("_s));
            EXPECT_TRUE(all.contains(u"on r."_s + letter + u"bts = b.basenum"_s));
        }
    }
    EXPECT_TRUE(
        host::schemaStatements(Engine::PostgreSQL).join(u'\n').contains(u"function to_number(text)"_s));
}

TEST(Schema, AppliesDropsAndAppliesAgain)
{
    TestDatabase db(TestDatabase::Contents::Nothing);
    EXPECT_EQ(host::engineOf(db.database()), db.isPostgresql() ? Engine::PostgreSQL : Engine::SQLite);
    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE(round);
        create(db);
        EXPECT_EQ(readable(db), SchemaObjects);
        QString error = u"stale"_s;
        ASSERT_TRUE(host::dropSchema(db.database(), &error)) << error.toStdString();
        EXPECT_TRUE(error.isEmpty());
        EXPECT_EQ(readable(db), QStringList());
        if (db.isPostgresql()) {
            EXPECT_FALSE(runs(db, u"select to_number('12')"_s));
        }
    }
    // Dropping again is harmless: a --force over an empty database must not fail.
    QString error;
    EXPECT_TRUE(host::dropSchema(db.database(), &error)) << error.toStdString();
}

TEST(Schema, FailedCreateLeavesTheDatabaseAsItWas)
{
    TestDatabase db(TestDatabase::Contents::Nothing);
    db.exec(u"create table host_right (x text)"_s);
    QString error;
    EXPECT_FALSE(host::createSchema(db.database(), &error));
    EXPECT_TRUE(error.startsWith(u"Cannot create the schema: "_s)) << error.toStdString();
    EXPECT_TRUE(error.contains(u"create table host_right"_s)) << error.toStdString();
    EXPECT_EQ(readable(db), QStringList{u"host_right"_s});
    EXPECT_EQ(db.rows(u"select count(*) from host_right"_s), QStringList{u"0"_s});

    QSqlDatabase closed = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"schema_closed"_s);
    EXPECT_FALSE(host::createSchema(closed, &error));
    EXPECT_EQ(error, u"Cannot create the schema: the database is not open"_s);
    closed = QSqlDatabase();
    QSqlDatabase::removeDatabase(u"schema_closed"_s);
}

// The component's statements use bare numbers against text codes; both engines must take them.
TEST(Schema, RunsTheComponentsStatementsUnchanged)
{
    TestDatabase db;
    db.exec(u"insert into com_province(pro_id,pro_name) values('4','云江省')"_s);
    db.exec(u"insert into com_city(city_id,city_name,pro_id,showserial) values"
            u"('12','江城市','4',2),('11','云州市','4',1)"_s);
    db.exec(u"insert into com_county(county_id,county_name,city_id) values('1201','江城区','12')"_s);
    db.exec(
        u"insert into res_gbts(basecode,basenum,basename,city) values('00000000000000000001','7','X','11')"_s);
    db.exec(u"update res_gbts set basenum=12,carriers=null,longitude=113.25,belongbsc=''"
            u" where basecode='00000000000000000001'"_s);
    EXPECT_EQ(db.rows(u"select max(to_number(discode)) from h_btsdispatch"_s, u"<null>"_s),
              QStringList{u"<null>"_s});
    db.exec(
        u"insert into h_btsdispatch(discode,distime,disuser,net,fromcity,tocity,fromroom,toroom,simplemode,"
        u"disinfo) values('00000000000000000099',to_date('2026-03-07','yyyy-mm-dd'),'demo','G','11','12',"
        u"'1','2','Y','x H=62s2Q')"_s);
    const QList<std::pair<QString, QStringList>> queries = {
        {u"select city_name from com_city where city_id = 12"_s, {u"江城市"_s}},
        {u"select county_name from com_county where county_id = 1201"_s, {u"江城区"_s}},
        {u"select county_id,county_name from com_county where city_id=12"_s, {u"1201|江城区"_s}},
        {u"select city_id from com_city where pro_id = 4 order by showserial"_s, {u"11"_s, u"12"_s}},
        {u"select county_id,county_name from v_com_county where city='12'"_s, {u"1201|江城区"_s}},
        {u"select count(*) from v_res_gbts where basenum=12 and  basename='X'"_s, {u"1"_s}},
        {u"select basenum,longitude,belongbsc from res_gbts"_s, {u"12|113.25|"_s}},
        {u"select max(to_number(discode)) from h_btsdispatch"_s, {u"99"_s}},
        {u"select to_number(' 12.5 '), to_number('00012'), to_number('abc'), to_number('')"_s,
         {u"12.5|12|<null>|<null>"_s}},
        {u"select count(*) from h_btsdispatch where distime >=to_date('2026-03-01','yyyy-mm-dd')"
         u" and distime <=to_date('2026-03-07','yyyy-mm-dd')"_s,
         {u"1"_s}},
    };
    for (const auto& [sql, expected] : queries)
        EXPECT_EQ(db.rows(sql, u"<null>"_s), expected) << sql.toStdString();
    // The server reads the next record code from an index, not from every record.
    if (db.isPostgresql()) {
        db.exec(u"set enable_seqscan = off"_s);
        const QString plan =
            db.rows(u"explain select max(to_number(discode)) from h_btsdispatch"_s).join(u'\n');
        EXPECT_TRUE(plan.contains(u"Index Scan Backward using ix_h_btsdispatch_number"_s))
            << plan.toStdString();
    }
}

// A relocation writes the BTS row, then the new room's column, then clears the old room's.
TEST(Schema, RelocationMovesTheBtsInTheViews)
{
    TestDatabase db;
    db.exec(u"insert into res_baseroom(roomcode,roomname,city,county,gbts,cbts) values"
            u"('00000000000000000001','一号机房','11','1101','1000001',null),"
            u"('00000000000000000002','二号机房','12','1201',null,'2000001')"_s);
    db.exec(u"insert into res_gbts(basecode,basenum,basename,city,county,belongroom) values"
            u"('00000000000000000001','1000001','一号G网基站','11','1101','一号机房')"_s);
    db.exec(u"insert into res_cbts(basecode,basenum,basename,city,county,belongroom) values"
            u"('00000000000000000001','2000001','二号C网基站','12','1201','二号机房')"_s);
    const auto byRoom = [&db](int room) {
        return db.rows(u"select net,basecode,basenum,city,county,belongroom from v_res_bts where "
                       u"roomcode='0000000000000000000%1' order by net"_s.arg(room));
    };
    const QString cbts = u"C|00000000000000000001|2000001|12|1201|二号机房"_s;
    EXPECT_EQ(byRoom(1), QStringList{u"G|00000000000000000001|1000001|11|1101|一号机房"_s});
    EXPECT_EQ(byRoom(2), QStringList{cbts});

    db.exec(u"update res_gbts set city='12',county='1201',belongroom='二号机房',belongbsc=''"
            u" where basecode='00000000000000000001'"_s);
    db.exec(u"update res_baseroom set gbts='1000001' where roomcode='00000000000000000002'"_s);
    db.exec(u"update res_baseroom set gbts=null where roomcode='00000000000000000001'"_s);
    EXPECT_EQ(byRoom(1), QStringList());
    EXPECT_EQ(byRoom(2), QStringList({cbts, u"G|00000000000000000001|1000001|12|1201|二号机房"_s}));
    EXPECT_EQ(db.rows(u"select roomcode,belongroom from v_res_gbts"_s),
              QStringList{u"00000000000000000002|二号机房"_s});

    // Back again under a new number: the rooms follow the number, not the old one.
    db.exec(u"update res_gbts set basenum=1000007,city='11',belongroom='一号机房'"
            u" where basecode='00000000000000000001'"_s);
    db.exec(u"update res_baseroom set gbts='1000007' where roomcode='00000000000000000001'"_s);
    db.exec(u"update res_baseroom set gbts=null where roomcode='00000000000000000002'"_s);
    EXPECT_EQ(byRoom(1), QStringList{u"G|00000000000000000001|1000007|11|1201|一号机房"_s});
    EXPECT_EQ(byRoom(2), QStringList{cbts});

    // A relocation that clears the number leaves an empty text in both places; it must not pair up.
    db.exec(u"update res_gbts set basenum='' where basecode='00000000000000000001'"_s);
    db.exec(u"update res_baseroom set gbts='' where roomcode='00000000000000000002'"_s);
    db.exec(u"update res_baseroom set gbts=null where roomcode='00000000000000000001'"_s);
    EXPECT_EQ(db.rows(u"select basecode,roomcode from v_res_gbts"_s, u"<null>"_s),
              QStringList{u"00000000000000000001|<null>"_s});
    EXPECT_EQ(byRoom(2), QStringList{cbts});
}

TEST(Schema, KeysRefuseDuplicateCodesAndNumbers)
{
    TestDatabase db;
    const QString dispatch = u"insert into h_btsdispatch(discode,net) values(%1)"_s;
    const QString room = u"insert into res_baseroom(roomcode,roomname) values(%1)"_s;
    const QString bts = u"insert into res_%1bts(basecode,basenum) values('%2',%3)"_s;
    const QString field =
        u"insert into host_field(viewname,fieldname,serial,caption,datatype,display,emphasis,"
        u"required) values('v_res_gbts',%1)"_s;
    // Each statement in turn, and whether the schema takes it. Numbers are unique per
    // network only; cleared numbers (empty or null) may repeat.
    const QList<std::pair<QString, bool>> statements = {
        {dispatch.arg(u"'00000000000000000001','G'"_s), true},
        {dispatch.arg(u"'00000000000000000001','C'"_s), false},
        {dispatch.arg(u"null,'C'"_s), false},
        {room.arg(u"'00000000000000000001','一号机房'"_s), true},
        {room.arg(u"'00000000000000000001','二号机房'"_s), false},
        {room.arg(u"null,'三号机房'"_s), false},
        {room.arg(u"'00000000000000000002',null"_s), false},
        {bts.arg(u"g"_s, u"01"_s, u"'1000001'"_s), true},
        {bts.arg(u"g"_s, u"02"_s, u"'1000001'"_s), false},
        {bts.arg(u"g"_s, u"01"_s, u"'1000002'"_s), false},
        {bts.arg(u"c"_s, u"01"_s, u"'1000001'"_s), true},
        {bts.arg(u"g"_s, u"03"_s, u"''"_s), true},
        {bts.arg(u"g"_s, u"04"_s, u"''"_s), true},
        {bts.arg(u"g"_s, u"05"_s, u"null"_s), true},
        {bts.arg(u"g"_s, u"06"_s, u"null"_s), true},
        {u"insert into res_dcell(cellcode) values('00000000000000000001')"_s, true},
        {u"insert into res_dcell(cellcode) values('00000000000000000001')"_s, false},
        {u"insert into res_dant(antcode) values('00000000000000000001')"_s, true},
        {u"insert into res_dant(antcode) values('00000000000000000001')"_s, false},
        {u"insert into res_dantline(linecode) values('00000000000000000001')"_s, true},
        {u"insert into res_dantline(linecode) values('00000000000000000001')"_s, false},
        {field.arg(u"'a',1,'x','char','Y','1','N'"_s), true},
        {field.arg(u"'a',1,'x','char','Y','0','Y'"_s), false},
        {field.arg(u"'b',1,'x','text','Y','0','Y'"_s), false},
        {field.arg(u"'c',1,'x','char','y','0','Y'"_s), false},
        {field.arg(u"'d',1,'x','char','Y','2','Y'"_s), false},
    };
    for (const auto& [sql, taken] : statements)
        EXPECT_EQ(runs(db, sql), taken) << sql.toStdString();
    EXPECT_EQ(db.rows(u"select count(*) from res_gbts"_s), QStringList{u"5"_s});
}

namespace {

// The history list's reads of the journal's times, answered from the index of record codes and
// times alone: never from the entries, a few kilobytes of text each, which an SQLite row holds
// before its time. The server keeps long entries out of line, so only its read of every time
// matters there: it is asked with the table vacuumed (as autovacuum keeps a table in use) and
// sequential and bitmap scans off, so that a table of a few rows shows which index it would use.
// The history list's reads come from indexes, never from the records' or entries' text: a
// page newest first straight from the index ordered so (no sort of the year's records), and
// the journal's times.
TEST(Schema, TheHistoryListsReadsComeFromTheirIndexes)
{
    TestDatabase db;
    const QString list =
        u"select discode,distime,disuser,net,fromcity,tocity,fromroom,toroom,simplemode from "
        u"h_btsdispatch where distime >=to_date('2025-01-01','yyyy-mm-dd') and distime "
        u"<=to_date('2025-12-31','yyyy-mm-dd')"_s;
    const struct {
        QString sql;
        QString sqlite; // what the plan must hold, on each engine
        QString postgresql;
    } reads[] = {
        {corvan::HistoryRows::pageStatement(list, 100, corvan::HistoryRows::Page),
         u"COVERING INDEX ix_h_btsdispatch_list"_s,
         u"Index Only Scan Backward using ix_h_btsdispatch_page"_s},
        {u"select entrytime,discode from corvan_journal where entrytime is not null"_s,
         u"COVERING INDEX ix_corvan_journal_time"_s, u"Index Only Scan using ix_corvan_journal_time"_s},
        // The server keeps long texts out of line: its per-record read does not walk them.
        {corvan::HistoryRows::timesStatement(list), u"COVERING INDEX ix_corvan_journal_time"_s, QString()},
    };
    if (db.isPostgresql()) {
        db.exec(u"vacuum analyze corvan_journal"_s);
        db.exec(u"vacuum analyze h_btsdispatch"_s);
        db.exec(u"set enable_seqscan = off"_s);
        db.exec(u"set enable_bitmapscan = off"_s);
    }
    for (const auto& [sql, sqlite, postgresql] : reads) {
        const QString wanted = db.isPostgresql() ? postgresql : sqlite;
        if (wanted.isEmpty())
            continue;
        const QString plan =
            db.rows((db.isPostgresql() ? u"explain "_s : u"explain query plan "_s) + sql).join(u'\n');
        EXPECT_TRUE(plan.contains(wanted)) << sql.toStdString() << "\n" << plan.toStdString();
        EXPECT_FALSE(plan.contains(u"TEMP B-TREE"_s) || plan.contains(u"Sort"_s)) << plan.toStdString();
    }
}

} // namespace
