// SPDX-License-Identifier: MIT
// Who the user is and what the user may change, decided by the PostgreSQL server: a role with
// rights to some cities relocates through the real wizard, and plain SQL from the same role
// cannot reach further. The SQLite half checks that a file stays one person's.

#include "core/context/list_options.h"
#include "core/context/mdl_pub_var.h"
#include "core/context/resource_view.h"
#include "core/relocation/relocation_session.h"
#include "corvan/controls/property_item.h"
#include "data/context_service_impl.h"
#include "data/sql_data_service.h"
#include "desktop/host_services.h"
#include "server_role.h"
#include "support/fixture.h"
#include "support/prompt_recorder.h"
#include "support/wizard_fixture.h"

#include <QAction>
#include <QSqlError>
#include <QSqlQuery>
#include <gtest/gtest.h>

using namespace corvan;
using corvan::host::ContextServiceImpl;
using corvan::host::SqlDataService;
using corvan::test::Fixture;
using corvan::test::ServerRole;
using corvan::test::TestDatabase;
using corvan::test::WizardFixture;

namespace {

// The suite's other half runs these on the server the postgresql CTest run starts.
#define NEEDS_SERVER(db)                                                                                     \
    if (!(db).isPostgresql())                                                                                \
    GTEST_SKIP() << "needs the PostgreSQL server of the postgresql run"

QString u(const char* text)
{
    return QString::fromUtf8(text);
}

TEST(ServerIdentity, TheUserIsTheRoleTheServerAuthenticated)
{
    TestDatabase db;
    QString user;
    QString error;
    if (!db.isPostgresql()) {
        // One person's file: whoever the command line names.
        ASSERT_TRUE(ContextServiceImpl::identify(db.database(), u("anyone"), &user, &error));
        EXPECT_EQ(user, u("anyone"));
        ASSERT_TRUE(ContextServiceImpl::identify(db.database(), QString(), &user, &error));
        EXPECT_EQ(user, ContextServiceImpl::loginName());
        return;
    }
    Fixture::load(db);
    ServerRole role(db, {u("11")});
    SqlDataService data;
    ASSERT_TRUE(data.open(role.urlWithPassword(), &error)) << error.toStdString();
    for (const QString& requested : {QString(), role.name()}) {
        ASSERT_TRUE(ContextServiceImpl::identify(data.database(), requested, &user, &error))
            << error.toStdString();
        EXPECT_EQ(user, role.name());
    }
    EXPECT_FALSE(ContextServiceImpl::identify(data.database(), u("demo"), &user, &error));
    EXPECT_EQ(error,
              u("--user demo is refused: the server authenticated the role %1, and on PostgreSQL the user is "
                "that role (connect as demo to work as demo)")
                  .arg(role.name()));
}

struct Relocation {
    const char* what;
    QStringList cities; // the role's rights of function 13
    const char* city;   // where the BTS goes
    const char* room;
    const char* tocity;
    bool committed;
};

class ServerRights : public ::testing::TestWithParam<Relocation> {};

// G BTS 101 of 甲市 (11) moves out of 一号机房 as the wizard moves it, logged in as the role.
TEST_P(ServerRights, RelocationRunsWhereTheRoleHasTheCities)
{
    const Relocation& c = GetParam();
    TestDatabase db;
    NEEDS_SERVER(db);
    WizardFixture::load(db);
    ServerRole role(db, c.cities);
    const QStringList before = WizardFixture::dump(db);

    SqlDataService data;
    QString error;
    QString user;
    ASSERT_TRUE(data.open(role.urlWithPassword(), &error)) << error.toStdString();
    ASSERT_TRUE(ContextServiceImpl::identify(data.database(), QString(), &user, &error));
    host::HostServices services(&data);
    services.configure(user, u("4"));
    mdlPubVar context;
    ASSERT_EQ(context.setServices(services.objectArray()), mdlPubVar::Services::Stored);
    QMap<QString, AttrTable> shown;
    ASSERT_TRUE(
        ResourceView::GetResourceData(context, u("v_res_gbts"), Fixture::btsCode(101), &shown[u("G")]));
    PropertyItems page;
    corvan::test::PromptRecorder prompt;
    RelocationSession session(context, page, prompt);
    ASSERT_TRUE(session.start(u("G"), shown, true));
    PropertyItem* city = page.GetItem(u("city"));
    if (!c.committed) {
        // This client offers only the role's cities; one that offered every city (an older
        // one, or any SQL client) meets the server's refusal instead.
        EXPECT_TRUE(mdlPubFun::GetOptionCode(city, u(c.city)).isEmpty());
        mdlPubFun::AddListOptions(city, u("%1,%2").arg(u(c.tocity), u(c.city)));
    }
    city->setValue(u(c.city));
    session.valueChanged(city);
    page.GetItem(u("belongroom"))->setValue(u(c.room));
    ASSERT_TRUE(session.next()) << prompt.shown.join(u'\n').toStdString();
    const QStringList& told = prompt.shown;
    EXPECT_EQ(session.commit(), c.committed) << told.join(u'\n').toStdString();
    if (!c.committed) {
        // The server refused the BTS's new city, at its lock before anything was written (a
        // client that locks no city meets row-level security on res_gbts instead); the whole
        // commit went back.
        EXPECT_TRUE(told.join(u'\n').contains(SqlDataService::NoCityLock + u("12")))
            << told.join(u'\n').toStdString();
        EXPECT_EQ(WizardFixture::dump(db), before);
        return;
    }
    const QString target =
        db.rows(u("select roomcode from res_baseroom where roomname='%1'").arg(u(c.room))).value(0);
    EXPECT_EQ(db.rows(u("select roomcode,gbts from res_baseroom where gbts is not null")),
              QStringList{target + u("|101")});
    EXPECT_EQ(db.rows(u("select count(*) from res_gcell where bts='101'")), QStringList{u("0")});
    EXPECT_EQ(db.rows(u("select discode,disuser,fromcity,tocity,fromroom,toroom from h_btsdispatch")),
              QStringList{u("00000000000000000001|%1|11|%2|%3|%4")
                              .arg(role.name(), u(c.tocity), Fixture::roomCode(1), target)});
}

INSTANTIATE_TEST_SUITE_P(
    Cities, ServerRights,
    ::testing::Values(Relocation{"WithinItsCity", {QStringLiteral("11")}, "甲市", "三号机房", "11", true},
                      Relocation{"IntoAnotherOfItsCities",
                                 {QStringLiteral("11"), QStringLiteral("12")},
                                 "乙市",
                                 "空机房",
                                 "12",
                                 true},
                      Relocation{
                          "IntoACityNotItsOwn", {QStringLiteral("11")}, "乙市", "空机房", "12", false}),
    [](const ::testing::TestParamInfo<Relocation>& param) { return std::string(param.param.what); });

// Plain SQL from a relocator of 甲市 (11), sent on its own connection.
TEST(ServerRightsSql, TheServerRefusesWhatTheRightsDoNotCover)
{
    TestDatabase db;
    NEEDS_SERVER(db);
    WizardFixture::load(db);
    db.exec(u("insert into h_btsdispatch(discode,disuser,fromcity,tocity) values "
              "('00000000000000000041','admin','13','13')"));
    db.exec(u("insert into res_gcell(cellcode,ci,city,bts) values ('C12','3099','12','120')"));
    ServerRole role(db, {u("11")});
    ServerRole reader(db, {u("11")}, false);
    const QString room11 = Fixture::roomCode(4);
    const QString room12 = Fixture::roomCode(5);
    struct Statement {
        const ServerRole* as;
        QString sql;
        int rows;         // rows changed or read; -1: refused with an error
        const char* says; // a piece of the refusal
    };
    const Statement statements[] = {
        // Another city's room is out of reach; the role's own is not.
        {&role, u("update res_baseroom set gbts='102' where roomcode='%1'").arg(room12), 0, ""},
        {&role, u("update res_baseroom set gbts='102' where roomcode='%1'").arg(room11), 1, ""},
        {&role, u("update res_baseroom set gbts=null where city<>'11'"), 0, ""},
        {&role, u("update res_gbts set city='12' where basecode='%1'").arg(Fixture::btsCode(102)), -1,
         "new row violates row-level security policy for table \"res_gbts\""},
        {&role, u("update res_baseroom set city='12' where roomcode='%1'").arg(room11), -1,
         "permission denied for table res_baseroom"},
        {&role, u("delete from res_gcell where city='12'"), 0, ""},
        {&role,
         u("insert into h_btsdispatch(discode,disuser,fromcity,tocity) values "
           "('00000000000000000042','%1','11','12')")
             .arg(role.name()),
         -1, "row-level security policy for table \"h_btsdispatch\""},
        {&role,
         u("insert into h_btsdispatch(discode,disuser,fromcity,tocity) values "
           "('00000000000000000042','admin','11','11')"),
         -1, "row-level security policy for table \"h_btsdispatch\""},
        {&role, u("delete from h_btsdispatch"), -1, "permission denied for table h_btsdispatch"},
        {&role, u("insert into host_right(username,funcno,city_id) values ('%1','13','12')").arg(role.name()),
         -1, "permission denied for table host_right"},
        {&role, u("update gui_option set g_value=''"), -1, "permission denied for table gui_option"},
        {&role, u("delete from host_field"), -1, "permission denied for table host_field"},
        {&role, u("update tablebaseinfo set judgeunique=''"), -1,
         "permission denied for table tablebaseinfo"},
        {&role, u("select corvan_add_user('%1', null, array['12'])").arg(role.name()), -1,
         "permission denied"},
        // Reading stays open: every room, and every record when the next code is chosen.
        {&role, u("select * from res_baseroom"), 6, ""},
        {&role, u("select max(to_number(discode)) from h_btsdispatch"), 1, ""},
        {&reader, u("select * from v_res_gbts"), 2, ""},
        {&reader, u("update res_baseroom set gbts='9' where roomcode='%1'").arg(room11), -1,
         "permission denied for table res_baseroom"},
    };
    SqlDataService roleData;
    SqlDataService readerData;
    QString error;
    ASSERT_TRUE(roleData.open(role.urlWithPassword(), &error)) << error.toStdString();
    ASSERT_TRUE(readerData.open(reader.urlWithPassword(), &error)) << error.toStdString();
    for (const Statement& s : statements) {
        QSqlQuery query((s.as == &role ? roleData : readerData).database());
        const bool ok = query.exec(s.sql);
        const int rows = !ok ? -1 : query.isSelect() ? query.size() : query.numRowsAffected();
        EXPECT_EQ(rows, s.rows) << s.sql.toStdString() << "\n  " << query.lastError().text().toStdString();
        EXPECT_TRUE(query.lastError().text().contains(u(s.says))) << s.sql.toStdString();
    }
    QSqlQuery code(roleData.database());
    ASSERT_TRUE(code.exec(u("select max(to_number(discode)) from h_btsdispatch")) && code.next());
    EXPECT_EQ(code.value(0).toString(), u("41"));
    // As the owner sees it: only the role's own room changed.
    EXPECT_EQ(
        db.rows(
            u("select roomcode,gbts from res_baseroom where gbts='102' or roomcode='%1' order by roomcode")
                .arg(room12)),
        (QStringList{room11 + u("|102"), room12 + u("|")}));
    EXPECT_EQ(db.rows(u("select count(*) from res_gcell where city='12'")), QStringList{u("1")});
    EXPECT_EQ(db.rows(u("select city_id from host_right where username='%1'").arg(role.name())),
              QStringList{u("11")});
}

} // namespace
