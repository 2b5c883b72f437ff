// SPDX-License-Identifier: MIT
// A database made from the schema of corvan 0.1.0, kept as it was released, brought up to
// date: the same tables, columns, indexes, functions, triggers and rules as a database made
// now, its data untouched, and a relocation plan applied and reversed on it afterwards.

#include "core/context/mdl_pub_var.h"
#include "core/plan/plan_columns.h"
#include "core/plan/plan_reversal.h"
#include "core/plan/plan_run.h"
#include "data/schema.h"
#include "data/schema_version.h"
#include "files.h"
#include "support/plan_fixture.h"
#include "support/test_database.h"
#include "support/test_host.h"

#include <QSqlQuery>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using corvan::test::PlanFixture;
using corvan::test::TestDatabase;
namespace host = corvan::host;

namespace {

// The released schema's statements, its network block written out for g, c and d.
QStringList releasedStatements(bool postgresql)
{
    const QString path = qEnvironmentVariable("CORVAN_SOURCE_DIR") + u"/tests/data/schema-0.1.0-"_s +
                         (postgresql ? u"postgresql"_s : u"sqlite"_s) + u".sql"_s;
    const QString script = QString::fromUtf8(corvan::test::fileBytes(path));
    QStringList out;
    QStringList block;
    bool inBlock = false;
    for (const QString& line : script.split(u'\n')) {
        if (line.trimmed() == u"-- @network-begin"_s) {
            inBlock = true;
        } else if (line.trimmed() == u"-- @network-end"_s) {
            inBlock = false;
            for (const char16_t letter : {u'g', u'c', u'd'})
                out << block.join(u'\n').replace(u'@', QChar(letter));
            block.clear();
        } else {
            (inBlock ? block : out) << line;
        }
    }
    return host::splitSqlStatements(out.join(u'\n'));
}

// What the catalogue says the database is made of.
QStringList catalogue(TestDatabase& db)
{
    if (!db.isPostgresql())
        return db.rows(u"select type,name,tbl_name,sql from sqlite_master where name not like 'sqlite_%' "
                       u"order by type,name"_s);
    QStringList all;
    for (const QString& sql :
         {u"select table_name,column_name,data_type,is_nullable,column_default from "
          u"information_schema.columns "
          u"where table_schema=current_schema() order by 1,2"_s,
          u"select indexname,indexdef from pg_indexes where schemaname=current_schema() order by 1"_s,
          u"select c.relname,t.tgname,t.tgdeferrable,pg_get_triggerdef(t.oid) from pg_trigger t join "
          u"pg_class c "
          u"on c.oid=t.tgrelid join pg_namespace n on n.oid=c.relnamespace where n.nspname=current_schema() "
          u"and not t.tgisinternal order by 1,2"_s,
          u"select p.proname,pg_get_function_identity_arguments(p.oid),md5(p.prosrc),p.prosecdef,p.proconfig "
          u"from pg_proc p join pg_namespace n on n.oid=p.pronamespace where n.nspname=current_schema() "
          u"order by 1,2"_s,
          u"select tablename,policyname,cmd,qual,with_check from pg_policies where "
          u"schemaname=current_schema() "
          u"order by 1,2"_s,
          u"select table_name,grantee,privilege_type from information_schema.table_privileges where "
          u"table_schema=current_schema() and grantee like 'corvan%' order by 1,2,3"_s})
        all << db.rows(sql, u"<null>"_s);
    return all;
}

TEST(SchemaUpgrade, TheReleasedSchemaBecomesTodaysWithItsDataAndTakesAPlanAndItsReversal)
{
    TestDatabase fresh;
    TestDatabase old(TestDatabase::Contents::Nothing);
    for (const QString& statement : releasedStatements(old.isPostgresql()))
        old.exec(statement);
    old.exec(u"insert into com_province(pro_id,pro_name) values('9','旧省')"_s);
    int version = 0;
    QString error;
    ASSERT_TRUE(host::SchemaVersion::read(old.database(), &version, &error)) << error.toStdString();
    EXPECT_EQ(version, 1);

    QList<int> reached;
    ASSERT_TRUE(host::upgradeSchema(
        old.database(), version, [&](int v) { reached << v; }, &error))
        << error.toStdString();
    // Version by version: the journal's table (2), the time of its entries (3), the history
    // list's index (4), the cities' locks on PostgreSQL (5), the journal's times by record (6),
    // the history list's pages (7), the plans' review (8).
    EXPECT_EQ(reached, (QList<int>{2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(host::LatestSchemaVersion, 8);
    ASSERT_TRUE(host::SchemaVersion::read(old.database(), &version, &error));
    EXPECT_EQ(version, host::LatestSchemaVersion);
    EXPECT_EQ(old.rows(u"select pro_id,pro_name from com_province"_s), QStringList{u"9|旧省"_s});
    EXPECT_EQ(catalogue(old), catalogue(fresh));

    // The upgraded database holds a province, relocates by plan and reverses the plan.
    old.exec(u"delete from com_province"_s);
    PlanFixture::load(old, 120);
    corvan::test::TestHost host(old, u"admin"_s);
    corvan::mdlPubVar context;
    ASSERT_EQ(context.setServices(host.objectArray()), corvan::mdlPubVar::Services::Stored);
    QStringList headings;
    const corvan::PlanColumns columns = corvan::PlanColumns::of(context);
    for (const corvan::PlanColumn& column : columns.columns())
        headings << column.heading;
    const QStringList before = PlanFixture::resources(old);
    corvan::PlanRun run(context);
    ASSERT_TRUE(run.load(PlanFixture::sheet(headings, PlanFixture::moves(old, 3)), &error))
        << error.toStdString();
    ASSERT_TRUE(run.check().done());
    const corvan::CommitOutcome applied = run.apply({u"升级后"_s, u"升级后.csv"_s, u"00"_s});
    ASSERT_TRUE(applied.done()) << applied.message.toStdString();
    const corvan::PlanReversal::Preview preview = corvan::PlanReversal::preview(context, applied.recordCode);
    ASSERT_TRUE(preview.ok()) << preview.refusal.toStdString();
    ASSERT_TRUE(corvan::PlanReversal::run(context, preview).done());
    EXPECT_EQ(PlanFixture::resources(old), before);
}

// Databases made by development builds between 0.1.0 and the versions: the journal without a
// version, with or without the record codes' index. Upgraded when their tables are exactly
// as such a build made them, their journal entries kept; anything else, and any such
// database on PostgreSQL (whose builds' rules no upgrade knows), is left as it was.
TEST(SchemaUpgrade, ADevelopmentBuildsDatabaseUpgradesOnlyWhenItsTablesAreKnown)
{
    const QString journal =
        u"create table corvan_journal (\n  discode    text not null primary key,\n  net        "
        u"text not null,\n  basecode   text not null,\n  fromroom   text,\n  toroom     text,\n  "
        u"reverses   text,\n  reversedby text,\n  entry      text not null\n)"_s;
    const QString index = u"create index ix_corvan_journal_bts on corvan_journal(basecode, net)"_s;
    const QString extent =
        u"create table corvan_province_extent (\n  pro_id  text not null primary key,\n  lon_min "
        u"real not null,\n  lon_max real not null,\n  lat_min real not null,\n  lat_max real not "
        u"null\n)"_s;
    const QString codes = u"create index ix_h_btsdispatch_other_code on h_btsdispatch(discode)\n  where not "
                          u"(length(discode) = 20 and discode not glob '*[^0-9]*')"_s;
    const struct {
        const char* state;
        QStringList statements;
        bool known;
    } cases[] = {
        {"journal and extent", {journal, index, extent}, true},
        {"and the record codes' index", {journal, index, extent, codes}, true},
        {"a journal column more",
         {QString(journal).replace(u"entry      text not null"_s, u"entry text not null, note text"_s), index,
          extent},
         false},
        {"no journal index", {journal, extent}, false},
        {"a plan table already",
         {journal, index, extent, u"create table corvan_plan (plancode text)"_s},
         false},
    };
    TestDatabase fresh;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.state);
        TestDatabase old(TestDatabase::Contents::Nothing);
        for (const QString& statement : releasedStatements(old.isPostgresql()))
            old.exec(statement);
        for (const QString& statement : c.statements)
            old.exec(old.isPostgresql() ? QString(statement).section(u"\n  where"_s, 0, 0) : statement);
        old.exec(u"insert into corvan_journal(discode,net,basecode,fromroom,toroom,entry) "
                 u"values('00000000000000000007','G','42','1','2','{}')"_s);
        old.exec(u"insert into corvan_province_extent values('9',100,120,20,30)"_s);
        const QStringList before = catalogue(old);
        int version = 0;
        QString error;
        ASSERT_TRUE(host::SchemaVersion::read(old.database(), &version, &error));
        EXPECT_EQ(version, host::SchemaVersion::Unversioned);

        bool known = true;
        ASSERT_TRUE(host::upgradeDevelopmentSchema(old.database(), &known, &error)) << error.toStdString();
        const bool upgraded = c.known && !old.isPostgresql();
        EXPECT_EQ(known, upgraded);
        ASSERT_TRUE(host::SchemaVersion::read(old.database(), &version, &error));
        EXPECT_EQ(version, upgraded ? host::LatestSchemaVersion : host::SchemaVersion::Unversioned);
        EXPECT_EQ(catalogue(old), upgraded ? catalogue(fresh) : before);
        EXPECT_EQ(old.rows(u"select discode,net,basecode,fromroom,toroom,reverses,reversedby,entry from "
                           u"corvan_journal"_s,
                           u"<null>"_s),
                  QStringList{u"00000000000000000007|G|42|1|2|<null>|<null>|{}"_s});
        EXPECT_EQ(old.rows(u"select pro_id,lon_min from corvan_province_extent"_s).size(), 1);
    }
}

} // namespace
