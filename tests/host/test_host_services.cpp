// SPDX-License-Identifier: MIT
// The reference services as the component meets them through initEnv's object array.

#include "corvan/attr_table.h"
#include "corvan/component.h"
#include "corvan/services.h"
#include "data/context_service_impl.h"
#include "data/right_service_impl.h"
#include "desktop/application_service_impl.h"
#include "desktop/host_services.h"
#include "desktop/message_service_impl.h"
#include "desktop/ui_service_impl.h"
#include "files.h"
#include "support/test_database.h"
#include "support/test_host.h"

#include <QApplication>
#include <QCursor>
#include <QMessageBox>
#include <QMetaObject>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

using corvan::host::ContextServiceImpl;
using corvan::host::HostServices;
using corvan::host::UiServiceImpl;
using corvan::test::TestDatabase;
using corvan::test::TestHost;
namespace HostSlot = corvan::HostSlot;
using namespace Qt::StringLiterals;

namespace {

const QString System = u"systemDB"_s;

void addProvincesAndRights(TestDatabase& db)
{
    db.exec(u"insert into com_province(pro_id, pro_name) values ('10', '浙江'), ('4', '江苏')"_s);
    db.exec(u"insert into com_city(city_id, city_name, pro_id, showserial) values "
            u"('9', '常州', '4', 4), ('11', '南京', '4', 1), ('12', '无锡', '4', 2), "
            u"('13', '徐州', '4', 3)"_s);
    db.exec(u"insert into host_user(username, fullname) values ('demo', 'Demo'), ('admin', 'Admin')"_s);
    db.exec(u"insert into host_right(username, funcno, city_id) values ('demo', '13', '12'), "
            u"('demo', '13', '11'), ('demo', '2', '13'), ('admin', '13', '13'), ('admin', '13', '11')"_s);
}

int cursorShape()
{
    const QCursor* cursor = QGuiApplication::overrideCursor();
    return cursor ? int(cursor->shape()) : -1;
}

} // namespace

TEST(HostServices, ObjectArrayOffersEachInterfaceAtItsSubscript)
{
    TestDatabase db;
    HostServices services(db.service());
    const QVector<QObject*> array = services.objectArray();
    ASSERT_EQ(array.size(), 15);
    EXPECT_TRUE(qobject_cast<corvan::SheetService*>(array[HostSlot::Sheet]));
    EXPECT_TRUE(qobject_cast<corvan::UiService*>(array[HostSlot::Ui]));
    EXPECT_TRUE(qobject_cast<corvan::ContextService*>(array[HostSlot::Context]));
    EXPECT_TRUE(qobject_cast<corvan::ApplicationService*>(array[HostSlot::Application]));
    EXPECT_TRUE(qobject_cast<corvan::MessageService*>(array[HostSlot::Message]));
    EXPECT_TRUE(qobject_cast<corvan::DataService*>(array[HostSlot::Data]));
    EXPECT_TRUE(qobject_cast<corvan::TransactionService*>(array[HostSlot::Data]));
    EXPECT_TRUE(qobject_cast<corvan::RightService*>(array[HostSlot::Right]));
    EXPECT_TRUE(array[HostSlot::ResourceView]);
    for (int i : {0, 8, 9, 10, 11, 12, 13})
        EXPECT_EQ(array[i], nullptr) << i;
    EXPECT_EQ(qobject_cast<corvan::ApplicationService*>(array[HostSlot::Application])->ApplicationName(),
              u"corvan"_s);

    // Called by name, as the component does; nothing is found yet, and the out
    // arguments are left empty rather than as the caller passed them.
    QObject* view = array[HostSlot::ResourceView];
    corvan::AttrTable table(3);
    QObject* outObject = view;
    bool found = true;
    ASSERT_TRUE(QMetaObject::invokeMethod(
        view, "GetResourceData", Q_RETURN_ARG(bool, found), Q_ARG(QString, u"v_res_gbts"_s),
        Q_ARG(QString, u"00000000000000000001"_s), Q_ARG(corvan::AttrTable*, &table), Q_ARG(bool, true),
        Q_ARG(QString, u"queryfromview"_s), Q_ARG(bool, true), Q_ARG(QObject**, &outObject)));
    EXPECT_FALSE(found);
    EXPECT_EQ(table.FieldCount(), 0);
    EXPECT_EQ(outObject, nullptr);
    found = true;
    ASSERT_TRUE(QMetaObject::invokeMethod(view, "ShowProperty", Q_RETURN_ARG(bool, found),
                                          Q_ARG(QString, u"v_res_gbts"_s),
                                          Q_ARG(QString, u"00000000000000000001"_s)));
    EXPECT_FALSE(found);

    // Until the sheet widget exists the sheet service accepts a null sheet and writes nothing.
    auto* sheets = qobject_cast<corvan::SheetService*>(array[HostSlot::Sheet]);
    sheets->StyleRange(nullptr, 1, 1, 2, 2, 0, 0xFFEBB5, -1, 10, -1);
    sheets->ClearSheet(nullptr, true);
    EXPECT_FALSE(sheets->ExportSheet(nullptr, u"调整记录"_s, true));
    EXPECT_FALSE(sheets->PrintSheet(nullptr));

    QObject other;
    services.replaceDataObject(&other);
    EXPECT_EQ(services.objectArray()[HostSlot::Data], &other);
    services.replaceDataObject(nullptr);
    EXPECT_EQ(services.objectArray()[HostSlot::Data], db.service());
}

TEST(HostServices, ProvinceComesFromTheDatabaseAndUserFromTheCommandLine)
{
    TestDatabase db;
    ContextServiceImpl context;
    QString error;

    context.setSource(db.database(), QString());
    EXPECT_FALSE(context.resolve(&error));
    EXPECT_EQ(error, u"the database has no province (com_province is empty)"_s);

    addProvincesAndRights(db);
    // First by pro_id read as a number: 4 before 10.
    context.setSource(db.database(), QString());
    EXPECT_EQ(context.CurrentProvinceId(), 4);
    EXPECT_EQ(context.CurrentProvinceName(), u"江苏"_s);
    context.setSource(db.database(), u"浙江"_s);
    ASSERT_TRUE(context.resolve(&error)) << error.toStdString();
    EXPECT_EQ(context.CurrentProvinceId(), 10);
    context.setSource(db.database(), u"10"_s);
    EXPECT_EQ(context.CurrentProvinceName(), u"浙江"_s);
    context.setSource(db.database(), u"99"_s);
    EXPECT_FALSE(context.resolve(&error));
    EXPECT_EQ(error, u"unknown province \"99\""_s);
    EXPECT_EQ(context.CurrentProvinceId(), 0);
    EXPECT_EQ(context.CurrentProvinceName(), QString());

    db.exec(u"insert into com_province(pro_id, pro_name) values ('40000', '太大')"_s);
    context.setSource(db.database(), u"40000"_s);
    EXPECT_FALSE(context.resolve(&error));
    EXPECT_TRUE(error.contains(u"40000"_s)) << error.toStdString();

    context.setUser(u"张三"_s);
    EXPECT_EQ(context.CurrentUser(), u"张三"_s);
    context.setUser(QString());
    EXPECT_EQ(context.CurrentUser(), ContextServiceImpl::loginName());
    EXPECT_FALSE(ContextServiceImpl::loginName().isEmpty());
}

TEST(HostServices, RightsAreReadOncePerUserAndFunction)
{
    TestDatabase db;
    addProvincesAndRights(db);
    QTemporaryDir folder;
    const QString trace = folder.filePath(u"trace.txt"_s);
    ASSERT_TRUE(db.service()->setTraceFile(trace));

    TestHost host(db);
    auto* rights = qobject_cast<corvan::RightService*>(host.objectArray()[HostSlot::Right]);
    auto* context = qobject_cast<corvan::ContextService*>(host.objectArray()[HostSlot::Context]);
    EXPECT_EQ(rights->GetRightCityList(u"13"_s), u"'11','12'"_s);
    EXPECT_EQ(rights->GetRightCityList(u"2"_s), u"'13'"_s);
    EXPECT_EQ(rights->GetRightCityList(u"99"_s), QString());
    EXPECT_TRUE(rights->HasCityRight(u"13"_s, u"12"_s));
    EXPECT_FALSE(rights->HasCityRight(u"13"_s, u"13"_s));
    EXPECT_FALSE(rights->HasCityRight(u"2"_s, u"12"_s));
    EXPECT_EQ(context->CurrentUser(), u"demo"_s);
    EXPECT_EQ(context->CurrentProvinceId(), 4);

    // Read once: a right granted later shows from the next session on.
    db.exec(u"insert into host_right(username, funcno, city_id) values ('demo', '13', '9')"_s);
    EXPECT_EQ(rights->GetRightCityList(u"13"_s), u"'11','12'"_s);
    host.services()->configure(u"demo"_s, u"4"_s);
    EXPECT_EQ(rights->GetRightCityList(u"13"_s), u"'9','11','12'"_s);
    host.services()->configure(u"nobody"_s, u"4"_s);
    EXPECT_EQ(rights->GetRightCityList(u"13"_s), QString());

    // The host's own queries never reach the data service: no trace lines, no recorded statements.
    EXPECT_EQ(corvan::test::fileBytes(trace), QByteArray());
    EXPECT_TRUE(host.recorder()->statements().isEmpty());
}

TEST(HostServices, TextFieldsCountFromOneAndAreEmptyPastTheEnd)
{
    UiServiceImpl ui;
    EXPECT_EQ(ui.GetTextField(u"12,南京"_s, u","_s, 1), u"12"_s);
    EXPECT_EQ(ui.GetTextField(u"12,南京"_s, u","_s, 2), u"南京"_s);
    for (int outside : {3, 0, -1})
        EXPECT_EQ(ui.GetTextField(u"12,南京"_s, u","_s, outside), QString()) << outside;
    EXPECT_EQ(ui.GetTextField(u"a,,c"_s, u","_s, 2), QString());
    EXPECT_EQ(ui.GetTextField(u"a,,c"_s, u","_s, 3), u"c"_s);
    EXPECT_EQ(ui.GetTextField(u"plain"_s, u","_s, 1), u"plain"_s);
    EXPECT_EQ(ui.GetTextField(QString(), u","_s, 1), QString());
    EXPECT_EQ(ui.GetTextField(u"a::b"_s, u"::"_s, 2), u"b"_s);
    EXPECT_EQ(ui.GetTextField(u"a,b"_s, QString(), 1), u"a,b"_s);
    EXPECT_EQ(ui.GetTextField(u"a,b"_s, QString(), 2), QString());
}

TEST(HostServices, WaitsNestAndStayBalanced)
{
    ASSERT_EQ(QGuiApplication::overrideCursor(), nullptr);
    {
        UiServiceImpl ui;
        ui.EndWait(); // without a BeginWait: nothing happens
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

        ui.BeginWait(nullptr);
        EXPECT_EQ(cursorShape(), int(Qt::WaitCursor));
        ui.BeginWait(nullptr);
        ui.EndWait();
        EXPECT_EQ(cursorShape(), int(Qt::WaitCursor)) << "an inner EndWait ended the outer wait";
        ui.EndWait();
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

        // A stray EndWait never pops a cursor that someone else set.
        QGuiApplication::setOverrideCursor(QCursor(Qt::CrossCursor));
        ui.BeginWait(nullptr);
        ui.EndWait();
        ui.EndWait();
        EXPECT_EQ(cursorShape(), int(Qt::CrossCursor));
        QGuiApplication::restoreOverrideCursor();

        ui.BeginWait(nullptr);
        ui.BeginWait(nullptr);
        EXPECT_EQ(ui.waitDepth(), 2);
    }
    // Waits still open when the service goes are ended with it.
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(HostServices, MessagesAreBoxesTitledWithTheWindowThatSpeaks)
{
    corvan::host::MessageServiceImpl messages;
    QStringList shown;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&shown] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(window); box && box->isVisible()) {
                shown << box->windowTitle() + u'|' + box->text();
                box->done(QMessageBox::Ok);
            }
        }
    });
    closer.start(10);
    messages.ShowMessage(u"请选择基站"_s);
    EXPECT_EQ(shown, QStringList{QCoreApplication::applicationName() + u"|请选择基站"_s});
    QWidget window;
    window.setWindowTitle(u"基站调整"_s);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    messages.ShowMessage(u"请选择基站"_s);
    EXPECT_EQ(shown.value(1), u"基站调整|请选择基站"_s);
}

TEST(HostServices, TheDatabaseIsDescribedWithoutItsPassword)
{
    qputenv("PGPASSWORD", "s3cret-word");
    corvan::host::DatabaseLocation server;
    QString error;
    ASSERT_TRUE(corvan::host::DatabaseLocation::parse(
        u"postgresql://li@db.example.org:5433/corvan?sslmode=require"_s, &server, &error));
    qunsetenv("PGPASSWORD");
    ASSERT_EQ(server.password(), u"s3cret-word"_s);
    EXPECT_EQ(corvan::host::ApplicationServiceImpl::describe(server),
              u"PostgreSQL 数据库 corvan（服务器 db.example.org:5433，用户 li）"_s);
    EXPECT_EQ(corvan::host::ApplicationServiceImpl::describe(
                  corvan::host::DatabaseLocation::sqliteFile(u"/tmp/a.sqlite"_s)),
              u"SQLite 文件 /tmp/a.sqlite"_s);
}

TEST(TestHost, RecordsStatementsAndFailsChosenOnes)
{
    TestDatabase db;
    addProvincesAndRights(db);
    TestHost host(db);
    auto* data = qobject_cast<corvan::DataService*>(host.objectArray()[HostSlot::Data]);
    auto* transactions = qobject_cast<corvan::TransactionService*>(host.objectArray()[HostSlot::Data]);
    auto* messages = qobject_cast<corvan::MessageService*>(host.objectArray()[HostSlot::Message]);
    ASSERT_TRUE(data && transactions && messages);

    host.recorder()->failWhen([](const QString& sql) { return sql.contains(u"'bad'"_s); });
    EXPECT_TRUE(data->ExecuteSql(System, u"insert into host_user(username) values ('u1')"_s));
    EXPECT_FALSE(data->ExecuteSql(System, u"insert into host_user(username) values ('bad')"_s));
    EXPECT_EQ(data->LastError(), u"simulated failure"_s);
    EXPECT_EQ(data->OpenRecordset(u"select 'bad'"_s, System), nullptr);
    auto set = data->OpenRecordset(u"select username from host_user where username = 'u1'"_s, System);
    ASSERT_TRUE(set);
    EXPECT_EQ(set->RecordCount(), 1);
    EXPECT_TRUE(data->LastError().isEmpty());
    ASSERT_TRUE(transactions->BeginTrans(System));
    EXPECT_TRUE(data->ExecuteSql(System, u"delete from host_right"_s));
    ASSERT_TRUE(transactions->RollbackTrans(System));

    EXPECT_EQ(host.recorder()->statements(),
              (QStringList{u"insert into host_user(username) values ('u1')"_s,
                           u"insert into host_user(username) values ('bad')"_s, u"select 'bad'"_s,
                           u"select username from host_user where username = 'u1'"_s,
                           u"delete from host_right"_s}));
    EXPECT_EQ(host.recorder()->calls().mid(4),
              (QStringList{u"BEGIN"_s, u"EXEC delete from host_right"_s, u"ROLLBACK"_s}));
    EXPECT_EQ(db.rows(u"select username from host_user order by username"_s),
              (QStringList{u"admin"_s, u"demo"_s, u"u1"_s}));
    EXPECT_EQ(db.rows(u"select count(*) from host_right"_s), QStringList{u"5"_s});

    messages->ShowMessage(u"基站调整成功"_s);
    EXPECT_EQ(host.messages()->messages, QStringList{u"基站调整成功"_s});
    host.recorder()->clear();
    EXPECT_TRUE(host.recorder()->statements().isEmpty());
}
