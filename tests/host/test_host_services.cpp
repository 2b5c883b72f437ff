// SPDX-License-Identifier: MIT
// The reference services as the component meets them through initEnv's object array.

#include "corvan/attr_table.h"
#include "corvan/component.h"
#include "corvan/services.h"
#include "desktop/application_service_impl.h"
#include "data/context_service_impl.h"
#include "desktop/host_services.h"
#include "desktop/message_service_impl.h"
#include "data/right_service_impl.h"
#include "desktop/ui_service_impl.h"
#include "support/test_database.h"
#include "support/test_host.h"

#include <QApplication>
#include <QCursor>
#include <QFile>
#include <QMessageBox>
#include <QMetaObject>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

using corvan::host::ContextServiceImpl;
using corvan::host::HostServices;
using corvan::host::UiServiceImpl;
using corvan::test::TestDatabase;
using corvan::test::TestHost;
namespace HostSlot = corvan::HostSlot;

namespace {

const QString System = QStringLiteral("systemDB");

void addProvincesAndRights(TestDatabase& db)
{
    db.exec(
        QStringLiteral("insert into com_province(pro_id, pro_name) values ('10', '浙江'), ('4', '江苏')"));
    db.exec(QStringLiteral("insert into com_city(city_id, city_name, pro_id, showserial) values "
                           "('9', '常州', '4', 4), ('11', '南京', '4', 1), ('12', '无锡', '4', 2), "
                           "('13', '徐州', '4', 3)"));
    db.exec(QStringLiteral(
        "insert into host_user(username, fullname) values ('demo', 'Demo'), ('admin', 'Admin')"));
    db.exec(QStringLiteral(
        "insert into host_right(username, funcno, city_id) values ('demo', '13', '12'), "
        "('demo', '13', '11'), ('demo', '2', '13'), ('admin', '13', '13'), ('admin', '13', '11')"));
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
              QStringLiteral("corvan"));

    // Called by name, as the component does; nothing is found yet, and the out
    // arguments are left empty rather than as the caller passed them.
    QObject* view = array[HostSlot::ResourceView];
    corvan::AttrTable table(3);
    QObject* outObject = view;
    bool found = true;
    ASSERT_TRUE(QMetaObject::invokeMethod(
        view, "GetResourceData", Q_RETURN_ARG(bool, found), Q_ARG(QString, QStringLiteral("v_res_gbts")),
        Q_ARG(QString, QStringLiteral("00000000000000000001")), Q_ARG(corvan::AttrTable*, &table),
        Q_ARG(bool, true), Q_ARG(QString, QStringLiteral("queryfromview")), Q_ARG(bool, true),
        Q_ARG(QObject**, &outObject)));
    EXPECT_FALSE(found);
    EXPECT_EQ(table.FieldCount(), 0);
    EXPECT_EQ(outObject, nullptr);
    found = true;
    ASSERT_TRUE(QMetaObject::invokeMethod(view, "ShowProperty", Q_RETURN_ARG(bool, found),
                                          Q_ARG(QString, QStringLiteral("v_res_gbts")),
                                          Q_ARG(QString, QStringLiteral("00000000000000000001"))));
    EXPECT_FALSE(found);

    // Until the sheet widget exists the sheet service accepts a null sheet and writes nothing.
    auto* sheets = qobject_cast<corvan::SheetService*>(array[HostSlot::Sheet]);
    sheets->StyleRange(nullptr, 1, 1, 2, 2, 0, 0xFFEBB5, -1, 10, -1);
    sheets->ClearSheet(nullptr, true);
    EXPECT_FALSE(sheets->ExportSheet(nullptr, QStringLiteral("调整记录"), true));
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
    EXPECT_EQ(error, QStringLiteral("the database has no province (com_province is empty)"));

    addProvincesAndRights(db);
    // First by pro_id read as a number: 4 before 10.
    context.setSource(db.database(), QString());
    EXPECT_EQ(context.CurrentProvinceId(), 4);
    EXPECT_EQ(context.CurrentProvinceName(), QStringLiteral("江苏"));
    context.setSource(db.database(), QStringLiteral("浙江"));
    ASSERT_TRUE(context.resolve(&error)) << error.toStdString();
    EXPECT_EQ(context.CurrentProvinceId(), 10);
    context.setSource(db.database(), QStringLiteral("10"));
    EXPECT_EQ(context.CurrentProvinceName(), QStringLiteral("浙江"));
    context.setSource(db.database(), QStringLiteral("99"));
    EXPECT_FALSE(context.resolve(&error));
    EXPECT_EQ(error, QStringLiteral("unknown province \"99\""));
    EXPECT_EQ(context.CurrentProvinceId(), 0);
    EXPECT_EQ(context.CurrentProvinceName(), QString());

    db.exec(QStringLiteral("insert into com_province(pro_id, pro_name) values ('40000', '太大')"));
    context.setSource(db.database(), QStringLiteral("40000"));
    EXPECT_FALSE(context.resolve(&error));
    EXPECT_TRUE(error.contains(QLatin1String("40000"))) << error.toStdString();

    context.setUser(QStringLiteral("张三"));
    EXPECT_EQ(context.CurrentUser(), QStringLiteral("张三"));
    context.setUser(QString());
    EXPECT_EQ(context.CurrentUser(), ContextServiceImpl::loginName());
    EXPECT_FALSE(ContextServiceImpl::loginName().isEmpty());
}

TEST(HostServices, RightsAreReadOncePerUserAndFunction)
{
    TestDatabase db;
    addProvincesAndRights(db);
    QTemporaryDir folder;
    const QString trace = folder.filePath(QStringLiteral("trace.txt"));
    ASSERT_TRUE(db.service()->setTraceFile(trace));

    TestHost host(db);
    auto* rights = qobject_cast<corvan::RightService*>(host.objectArray()[HostSlot::Right]);
    auto* context = qobject_cast<corvan::ContextService*>(host.objectArray()[HostSlot::Context]);
    EXPECT_EQ(rights->GetRightCityList(QStringLiteral("13")), QStringLiteral("'11','12'"));
    EXPECT_EQ(rights->GetRightCityList(QStringLiteral("2")), QStringLiteral("'13'"));
    EXPECT_EQ(rights->GetRightCityList(QStringLiteral("99")), QString());
    EXPECT_TRUE(rights->HasCityRight(QStringLiteral("13"), QStringLiteral("12")));
    EXPECT_FALSE(rights->HasCityRight(QStringLiteral("13"), QStringLiteral("13")));
    EXPECT_FALSE(rights->HasCityRight(QStringLiteral("2"), QStringLiteral("12")));
    EXPECT_EQ(context->CurrentUser(), QStringLiteral("demo"));
    EXPECT_EQ(context->CurrentProvinceId(), 4);

    // Read once: a right granted later shows from the next session on.
    db.exec(QStringLiteral("insert into host_right(username, funcno, city_id) values ('demo', '13', '9')"));
    EXPECT_EQ(rights->GetRightCityList(QStringLiteral("13")), QStringLiteral("'11','12'"));
    host.services()->configure(QStringLiteral("demo"), QStringLiteral("4"));
    EXPECT_EQ(rights->GetRightCityList(QStringLiteral("13")), QStringLiteral("'9','11','12'"));
    host.services()->configure(QStringLiteral("nobody"), QStringLiteral("4"));
    EXPECT_EQ(rights->GetRightCityList(QStringLiteral("13")), QString());

    // The host's own queries never reach the data service: no trace lines, no recorded statements.
    QFile file(trace);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray());
    EXPECT_TRUE(host.recorder()->statements().isEmpty());
}

TEST(HostServices, TextFieldsCountFromOneAndAreEmptyPastTheEnd)
{
    UiServiceImpl ui;
    EXPECT_EQ(ui.GetTextField(QStringLiteral("12,南京"), QStringLiteral(","), 1), QStringLiteral("12"));
    EXPECT_EQ(ui.GetTextField(QStringLiteral("12,南京"), QStringLiteral(","), 2), QStringLiteral("南京"));
    EXPECT_EQ(ui.GetTextField(QStringLiteral("12,南京"), QStringLiteral(","), 3), QString());
    EXPECT_EQ(ui.GetTextField(QStringLiteral("12,南京"), QStringLiteral(","), 0), QString());
    EXPECT_EQ(ui.GetTextField(QStringLiteral("12,南京"), QStringLiteral(","), -1), QString());
    EXPECT_EQ(ui.GetTextField(QStringLiteral("a,,c"), QStringLiteral(","), 2), QString());
    EXPECT_EQ(ui.GetTextField(QStringLiteral("a,,c"), QStringLiteral(","), 3), QStringLiteral("c"));
    EXPECT_EQ(ui.GetTextField(QStringLiteral("plain"), QStringLiteral(","), 1), QStringLiteral("plain"));
    EXPECT_EQ(ui.GetTextField(QString(), QStringLiteral(","), 1), QString());
    EXPECT_EQ(ui.GetTextField(QStringLiteral("a::b"), QStringLiteral("::"), 2), QStringLiteral("b"));
    EXPECT_EQ(ui.GetTextField(QStringLiteral("a,b"), QString(), 1), QStringLiteral("a,b"));
    EXPECT_EQ(ui.GetTextField(QStringLiteral("a,b"), QString(), 2), QString());
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

TEST(HostServices, MessagesAreBoxesTitledWithTheApplicationName)
{
    corvan::host::MessageServiceImpl messages;
    QString title;
    QString text;
    bool seen = false;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(window);
            if (!box || !box->isVisible())
                continue;
            seen = true;
            title = box->windowTitle();
            text = box->text();
            box->done(QMessageBox::Ok);
        }
    });
    closer.start(10);
    messages.ShowMessage(QStringLiteral("请选择基站"));
    EXPECT_TRUE(seen);
    EXPECT_EQ(title, QCoreApplication::applicationName());
    EXPECT_EQ(text, QStringLiteral("请选择基站"));
}

TEST(TestHost, RecordsStatementsAndFailsChosenOnes)
{
    TestDatabase db;
    addProvincesAndRights(db);
    TestHost host(db);
    auto* data = qobject_cast<corvan::DataService*>(host.objectArray()[HostSlot::Data]);
    auto* transactions = qobject_cast<corvan::TransactionService*>(host.objectArray()[HostSlot::Data]);
    auto* messages = qobject_cast<corvan::MessageService*>(host.objectArray()[HostSlot::Message]);
    ASSERT_TRUE(data);
    ASSERT_TRUE(transactions);
    ASSERT_TRUE(messages);

    host.recorder()->failWhen([](const QString& sql) { return sql.contains(QLatin1String("'bad'")); });
    EXPECT_TRUE(data->ExecuteSql(System, QStringLiteral("insert into host_user(username) values ('u1')")));
    EXPECT_FALSE(data->ExecuteSql(System, QStringLiteral("insert into host_user(username) values ('bad')")));
    EXPECT_EQ(data->LastError(), QStringLiteral("simulated failure"));
    EXPECT_EQ(data->OpenRecordset(QStringLiteral("select 'bad'"), System), nullptr);
    auto set =
        data->OpenRecordset(QStringLiteral("select username from host_user where username = 'u1'"), System);
    ASSERT_TRUE(set);
    EXPECT_EQ(set->RecordCount(), 1);
    EXPECT_TRUE(data->LastError().isEmpty());
    ASSERT_TRUE(transactions->BeginTrans(System));
    EXPECT_TRUE(data->ExecuteSql(System, QStringLiteral("delete from host_right")));
    ASSERT_TRUE(transactions->RollbackTrans(System));

    EXPECT_EQ(host.recorder()->statements(),
              (QStringList{QStringLiteral("insert into host_user(username) values ('u1')"),
                           QStringLiteral("insert into host_user(username) values ('bad')"),
                           QStringLiteral("select 'bad'"),
                           QStringLiteral("select username from host_user where username = 'u1'"),
                           QStringLiteral("delete from host_right")}));
    EXPECT_EQ(host.recorder()->calls().mid(4),
              (QStringList{QStringLiteral("BEGIN"), QStringLiteral("EXEC delete from host_right"),
                           QStringLiteral("ROLLBACK")}));
    EXPECT_EQ(db.rows(QStringLiteral("select username from host_user order by username")),
              (QStringList{QStringLiteral("admin"), QStringLiteral("demo"), QStringLiteral("u1")}));
    EXPECT_EQ(db.rows(QStringLiteral("select count(*) from host_right")), QStringList{QStringLiteral("5")});

    messages->ShowMessage(QStringLiteral("基站调整成功"));
    EXPECT_EQ(host.messages()->messages, QStringList{QStringLiteral("基站调整成功")});
    host.recorder()->clear();
    EXPECT_TRUE(host.recorder()->statements().isEmpty());
}
