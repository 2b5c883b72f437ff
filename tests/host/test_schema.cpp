// SPDX-License-Identifier: MIT
#include "scratch_database.h"
#include "data/schema.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>
#include <gtest/gtest.h>

namespace corvan::test {
namespace {

using namespace Qt::StringLiterals;
using host::Engine;

const QStringList SchemaObjects = {
    u"com_province"_s, u"com_city"_s,   u"com_county"_s,         u"v_com_county"_s,  u"res_baseroom"_s,
    u"res_gbts"_s,     u"res_gcell"_s,  u"res_gant"_s,           u"res_gantline"_s,  u"v_res_gbts"_s,
    u"res_cbts"_s,     u"res_ccell"_s,  u"res_cant"_s,           u"res_cantline"_s,  u"v_res_cbts"_s,
    u"res_dbts"_s,     u"res_dcell"_s,  u"res_dant"_s,           u"res_dantline"_s,  u"v_res_dbts"_s,
    u"v_res_bts"_s,    u"gui_option"_s, u"tabledictionarynew"_s, u"tablebaseinfo"_s, u"h_btsdispatch"_s,
    u"host_field"_s,   u"host_user"_s,  u"host_right"_s};

bool exec(QSqlDatabase db, const QString& sql)
{
    QSqlQuery query(db);
    const bool ok = query.exec(sql);
    if (!ok)
        ADD_FAILURE() << "statement failed: " << sql.toStdString() << "\n"
                      << query.lastError().text().toStdString();
    return ok;
}

bool refused(QSqlDatabase db, const QString& sql)
{
    return !QSqlQuery(db).exec(sql);
}

bool readable(QSqlDatabase db, const QString& name)
{
    return QSqlQuery(db).exec(u"select * from "_s + name + u" where 1 = 0"_s);
}

// The rows of a query, fields joined by '|', null as "<null>".
QStringList rows(QSqlDatabase db, const QString& sql)
{
    QStringList out;
    QSqlQuery query(db);
    if (!query.exec(sql)) {
        ADD_FAILURE() << "query failed: " << sql.toStdString() << "\n"
                      << query.lastError().text().toStdString();
        return out;
    }
    while (query.next()) {
        QStringList fields;
        for (int i = 0; i < query.record().count(); ++i)
            fields << (query.isNull(i) ? u"<null>"_s : query.value(i).toString());
        out << fields.join(u'|');
    }
    return out;
}

class SchemaTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(scratch.isOpen()) << scratch.error().toStdString();
        db = scratch.db();
    }
    void createOrFail()
    {
        QString error;
        ASSERT_TRUE(host::createSchema(db, &error)) << error.toStdString();
    }

    ScratchDatabase scratch;
    QSqlDatabase db;
};

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
select $1;select 2
-- trailing comment only
)"_s;
    const QStringList expected = {uR"(create table t (a text default 'x;y', "odd;name" text))"_s,
                                  u"insert into t values ('it''s; fine')"_s,
                                  u"create table u (\n  a text, \n  b text)"_s,
                                  u"create function f() returns int language sql as $$ select 1; $$"_s,
                                  u"do $body$ begin perform 1; end $body$"_s,
                                  u"select $1"_s,
                                  u"select 2"_s};
    EXPECT_EQ(host::splitSqlStatements(script), expected);
    EXPECT_TRUE(host::splitSqlStatements(u"  -- nothing\n ; ; /* x */"_s).isEmpty());
}

TEST(SqlSplitter, ExpandsTheNetworkBlockForEveryLetter)
{
    for (const Engine engine : {Engine::SQLite, Engine::PostgreSQL}) {
        const QStringList statements = host::schemaStatements(engine);
        ASSERT_FALSE(statements.isEmpty());
        const QString all = statements.join(u'\n');
        EXPECT_FALSE(all.contains(u'@'));
        for (const QString& letter : {u"g"_s, u"c"_s, u"d"_s}) {
            EXPECT_TRUE(all.contains(u"create table res_"_s + letter + u"bts ("_s));
            EXPECT_TRUE(all.contains(u"on r."_s + letter + u"bts = b.basenum"_s));
        }
    }
    EXPECT_TRUE(
        host::schemaStatements(Engine::PostgreSQL).join(u'\n').contains(u"function to_number(text)"_s));
}

TEST_F(SchemaTest, AppliesDropsAndAppliesAgain)
{
    EXPECT_EQ(host::engineOf(db), ScratchDatabase::usesPostgreSQL() ? Engine::PostgreSQL : Engine::SQLite);
    createOrFail();
    for (const QString& name : SchemaObjects)
        EXPECT_TRUE(readable(db, name)) << name.toStdString();

    QString error = u"stale"_s;
    ASSERT_TRUE(host::dropSchema(db, &error)) << error.toStdString();
    EXPECT_TRUE(error.isEmpty());
    for (const QString& name : SchemaObjects)
        EXPECT_FALSE(readable(db, name)) << name.toStdString();
    if (ScratchDatabase::usesPostgreSQL()) {
        EXPECT_TRUE(refused(db, u"select to_number('12')"_s));
    }

    createOrFail();
    for (const QString& name : SchemaObjects)
        EXPECT_TRUE(readable(db, name)) << name.toStdString();
    // Dropping twice is harmless: a --force over an empty database must not fail.
    EXPECT_TRUE(host::dropSchema(db, &error)) << error.toStdString();
    EXPECT_TRUE(host::dropSchema(db, &error)) << error.toStdString();
}

TEST_F(SchemaTest, FailedCreateLeavesTheDatabaseAsItWas)
{
    ASSERT_TRUE(exec(db, u"create table host_right (x text)"_s));
    QString error;
    EXPECT_FALSE(host::createSchema(db, &error));
    EXPECT_TRUE(error.startsWith(u"Cannot create the schema: "_s)) << error.toStdString();
    EXPECT_TRUE(error.contains(u"create table host_right"_s)) << error.toStdString();
    EXPECT_FALSE(readable(db, u"com_province"_s));
    EXPECT_FALSE(readable(db, u"v_res_bts"_s));
    EXPECT_EQ(rows(db, u"select count(*) from host_right"_s), QStringList{u"0"_s});

    QSqlDatabase closed = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"schema_closed"_s);
    EXPECT_FALSE(host::createSchema(closed, &error));
    EXPECT_EQ(error, u"Cannot create the schema: the database is not open"_s);
    closed = QSqlDatabase();
    QSqlDatabase::removeDatabase(u"schema_closed"_s);
}

// The component's statements use bare numbers against text codes; both engines must take them.
TEST_F(SchemaTest, RunsTheComponentsStatementsUnchanged)
{
    createOrFail();
    ASSERT_TRUE(exec(db, u"insert into com_province(pro_id,pro_name) values('4','云江省')"_s));
    ASSERT_TRUE(exec(db, u"insert into com_city(city_id,city_name,pro_id,showserial) values"
                         u"('12','江城市','4',2),('11','云州市','4',1)"_s));
    ASSERT_TRUE(
        exec(db, u"insert into com_county(county_id,county_name,city_id) values('1201','江城区','12')"_s));
    EXPECT_EQ(rows(db, u"select city_name from com_city where city_id = 12"_s), QStringList{u"江城市"_s});
    EXPECT_EQ(rows(db, u"select county_name from com_county where county_id = 1201"_s),
              QStringList{u"江城区"_s});
    EXPECT_EQ(rows(db, u"select county_id,county_name from com_county where city_id=12"_s),
              QStringList{u"1201|江城区"_s});
    EXPECT_EQ(rows(db, u"select city_id from com_city where pro_id = 4 order by showserial"_s),
              QStringList({u"11"_s, u"12"_s}));
    EXPECT_EQ(rows(db, u"select county_id,county_name from v_com_county where city='12'"_s),
              QStringList{u"1201|江城区"_s});

    ASSERT_TRUE(exec(db, u"insert into res_gbts(basecode,basenum,basename,city) values"
                         u"('00000000000000000001','7','X','11')"_s));
    ASSERT_TRUE(exec(db, u"update res_gbts set basenum=12,carriers=null,longitude=113.25,belongbsc=''"
                         u" where basecode='00000000000000000001'"_s));
    EXPECT_EQ(rows(db, u"select count(*) from v_res_gbts where basenum=12 and  basename='X'"_s),
              QStringList{u"1"_s});
    EXPECT_EQ(rows(db, u"select basenum,longitude,belongbsc from res_gbts"_s), QStringList{u"12|113.25|"_s});

    if (ScratchDatabase::usesPostgreSQL()) {
        // On SQLite the host registers these functions on its own connection.
        EXPECT_EQ(rows(db, u"select max(to_number(discode)) from h_btsdispatch"_s), QStringList{u"<null>"_s});
        ASSERT_TRUE(exec(db,
                         u"insert into h_btsdispatch(discode,distime,disuser,net,fromcity,tocity,fromroom,"
                         u"toroom,simplemode,disinfo) values('00000000000000000099',to_date('2026-03-07',"
                         u"'yyyy-mm-dd'),'demo','G','11','12','1','2','Y','x H=62s2Q')"_s));
        EXPECT_EQ(rows(db, u"select max(to_number(discode)) from h_btsdispatch"_s), QStringList{u"99"_s});
        EXPECT_EQ(
            rows(db, u"select to_number(' 12.5 '), to_number('00012'), to_number('abc'), to_number('')"_s),
            QStringList{u"12.5|12|<null>|<null>"_s});
        EXPECT_EQ(
            rows(db, u"select count(*) from h_btsdispatch where distime >=to_date('2026-03-01','yyyy-mm-dd')"
                     u" and distime <=to_date('2026-03-07','yyyy-mm-dd')"_s),
            QStringList{u"1"_s});
    }
}

// A relocation writes the BTS row, then the new room's column, then clears the old room's.
TEST_F(SchemaTest, RelocationMovesTheBtsInTheViews)
{
    createOrFail();
    ASSERT_TRUE(exec(db, u"insert into res_baseroom(roomcode,roomname,city,county,gbts,cbts) values"
                         u"('00000000000000000001','一号机房','11','1101','1000001',null),"
                         u"('00000000000000000002','二号机房','12','1201',null,'2000001')"_s));
    ASSERT_TRUE(exec(db, u"insert into res_gbts(basecode,basenum,basename,city,county,belongroom) values"
                         u"('00000000000000000001','1000001','一号G网基站','11','1101','一号机房')"_s));
    ASSERT_TRUE(exec(db, u"insert into res_cbts(basecode,basenum,basename,city,county,belongroom) values"
                         u"('00000000000000000001','2000001','二号C网基站','12','1201','二号机房')"_s));
    const QString byRoom =
        u"select net,basecode,basenum,city,county,belongroom from v_res_bts where roomcode='%1'"
        u" order by net"_s;
    const QString room1 = u"00000000000000000001"_s;
    const QString room2 = u"00000000000000000002"_s;
    EXPECT_EQ(rows(db, byRoom.arg(room1)), QStringList{u"G|00000000000000000001|1000001|11|1101|一号机房"_s});
    EXPECT_EQ(rows(db, byRoom.arg(room2)), QStringList{u"C|00000000000000000001|2000001|12|1201|二号机房"_s});

    ASSERT_TRUE(exec(db, u"update res_gbts set city='12',county='1201',belongroom='二号机房',belongbsc=''"
                         u" where basecode='00000000000000000001'"_s));
    ASSERT_TRUE(exec(db, u"update res_baseroom set gbts='1000001' where roomcode='00000000000000000002'"_s));
    ASSERT_TRUE(exec(db, u"update res_baseroom set gbts=null where roomcode='00000000000000000001'"_s));
    EXPECT_TRUE(rows(db, byRoom.arg(room1)).isEmpty());
    EXPECT_EQ(rows(db, byRoom.arg(room2)),
              QStringList({u"C|00000000000000000001|2000001|12|1201|二号机房"_s,
                           u"G|00000000000000000001|1000001|12|1201|二号机房"_s}));
    EXPECT_EQ(rows(db, u"select roomcode,belongroom from v_res_gbts"_s), QStringList{room2 + u"|二号机房"_s});

    // Back again under a new number: the rooms follow the number, not the old one.
    ASSERT_TRUE(exec(db, u"update res_gbts set basenum=1000007,city='11',belongroom='一号机房'"
                         u" where basecode='00000000000000000001'"_s));
    ASSERT_TRUE(exec(db, u"update res_baseroom set gbts='1000007' where roomcode='00000000000000000001'"_s));
    ASSERT_TRUE(exec(db, u"update res_baseroom set gbts=null where roomcode='00000000000000000002'"_s));
    EXPECT_EQ(rows(db, byRoom.arg(room1)), QStringList{u"G|00000000000000000001|1000007|11|1201|一号机房"_s});
    EXPECT_EQ(rows(db, byRoom.arg(room2)), QStringList{u"C|00000000000000000001|2000001|12|1201|二号机房"_s});

    // A relocation that clears the number leaves an empty text in both places; it must not pair up.
    ASSERT_TRUE(exec(db, u"update res_gbts set basenum='' where basecode='00000000000000000001'"_s));
    ASSERT_TRUE(exec(db, u"update res_baseroom set gbts='' where roomcode='00000000000000000002'"_s));
    ASSERT_TRUE(exec(db, u"update res_baseroom set gbts=null where roomcode='00000000000000000001'"_s));
    EXPECT_EQ(rows(db, u"select basecode,roomcode from v_res_gbts"_s),
              QStringList{u"00000000000000000001|<null>"_s});
    EXPECT_EQ(rows(db, byRoom.arg(room2)), QStringList{u"C|00000000000000000001|2000001|12|1201|二号机房"_s});
}

TEST_F(SchemaTest, KeysRefuseDuplicateCodesAndNumbers)
{
    createOrFail();
    ASSERT_TRUE(exec(db, u"insert into h_btsdispatch(discode,net) values('00000000000000000001','G')"_s));
    EXPECT_TRUE(refused(db, u"insert into h_btsdispatch(discode,net) values('00000000000000000001','C')"_s));
    EXPECT_TRUE(refused(db, u"insert into h_btsdispatch(discode,net) values(null,'C')"_s));

    ASSERT_TRUE(
        exec(db, u"insert into res_baseroom(roomcode,roomname) values('00000000000000000001','一号机房')"_s));
    EXPECT_TRUE(refused(
        db, u"insert into res_baseroom(roomcode,roomname) values('00000000000000000001','二号机房')"_s));
    EXPECT_TRUE(refused(db, u"insert into res_baseroom(roomcode,roomname) values(null,'三号机房')"_s));
    EXPECT_TRUE(
        refused(db, u"insert into res_baseroom(roomcode,roomname) values('00000000000000000002',null)"_s));

    const QString bts = u"insert into res_%1bts(basecode,basenum) values('%2',%3)"_s;
    ASSERT_TRUE(exec(db, bts.arg(u"g"_s, u"01"_s, u"'1000001'"_s)));
    EXPECT_TRUE(refused(db, bts.arg(u"g"_s, u"02"_s, u"'1000001'"_s)));
    EXPECT_TRUE(refused(db, bts.arg(u"g"_s, u"01"_s, u"'1000002'"_s)));
    // Numbers are unique per network only; cleared numbers (empty or null) may repeat.
    EXPECT_TRUE(exec(db, bts.arg(u"c"_s, u"01"_s, u"'1000001'"_s)));
    EXPECT_TRUE(exec(db, bts.arg(u"g"_s, u"03"_s, u"''"_s)));
    EXPECT_TRUE(exec(db, bts.arg(u"g"_s, u"04"_s, u"''"_s)));
    EXPECT_TRUE(exec(db, bts.arg(u"g"_s, u"05"_s, u"null"_s)));
    EXPECT_TRUE(exec(db, bts.arg(u"g"_s, u"06"_s, u"null"_s)));
    EXPECT_EQ(rows(db, u"select count(*) from res_gbts"_s), QStringList{u"5"_s});

    for (const QString& table :
         {u"res_dcell(cellcode"_s, u"res_dant(antcode"_s, u"res_dantline(linecode"_s}) {
        const QString insert = u"insert into "_s + table + u") values('00000000000000000001')"_s;
        ASSERT_TRUE(exec(db, insert));
        EXPECT_TRUE(refused(db, insert)) << table.toStdString();
    }

    const QString field =
        u"insert into host_field(viewname,fieldname,serial,caption,datatype,display,emphasis,"
        u"required) values('v_res_gbts','%1',1,'x','%2','%3','%4','%5')"_s;
    EXPECT_TRUE(exec(db, field.arg(u"a"_s, u"char"_s, u"Y"_s, u"1"_s, u"N"_s)));
    EXPECT_TRUE(refused(db, field.arg(u"a"_s, u"char"_s, u"Y"_s, u"0"_s, u"Y"_s)));
    EXPECT_TRUE(refused(db, field.arg(u"b"_s, u"text"_s, u"Y"_s, u"0"_s, u"Y"_s)));
    EXPECT_TRUE(refused(db, field.arg(u"c"_s, u"char"_s, u"y"_s, u"0"_s, u"Y"_s)));
    EXPECT_TRUE(refused(db, field.arg(u"d"_s, u"char"_s, u"Y"_s, u"2"_s, u"Y"_s)));
}

} // namespace
} // namespace corvan::test
