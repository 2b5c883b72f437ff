// SPDX-License-Identifier: MIT
// corvan-example-host: the smallest complete host of the BTS relocation component.
//
//   corvan-example-host DATABASE          open the component's main window on an SQLite file
//                                         (made from the installed schema when it is missing)
//                                         and run until the window is closed
//   corvan-example-host --check DATABASE  the same walk without a user: initEnv, ShowMainForm,
//                                         a look at the main window, clearEnv; status 0 when
//                                         every step worked

#include "example_data_service.h"
#include "example_services.h"

#include <corvan/component.h>

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QPluginLoader>
#include <QWidget>
#include <cstdio>
#include <memory>

namespace {

void say(const QString& line)
{
    std::fputs((line + QLatin1Char('\n')).toUtf8().constData(), stdout);
}

int fail(const QString& line)
{
    std::fputs(("corvan-example-host: " + line + QLatin1Char('\n')).toUtf8().constData(), stderr);
    return 1;
}

// The schema holds the tables of one network once, between two marker lines, with '@'
// where the network letter goes; they are written out for g, c and d.
QStringList schemaStatements(const QString& script)
{
    QString text;
    QString block;
    bool inBlock = false;
    for (const QString& line : script.split(QLatin1Char('\n'))) {
        if (line.trimmed() == QLatin1String("-- @network-begin"))
            inBlock = true;
        else if (line.trimmed() == QLatin1String("-- @network-end")) {
            inBlock = false;
            for (const QChar letter : {QLatin1Char('g'), QLatin1Char('c'), QLatin1Char('d')})
                text += QString(block).replace(QLatin1Char('@'), letter);
        } else if (!line.trimmed().startsWith(QLatin1String("--")))
            (inBlock ? block : text) += line + QLatin1Char('\n');
    }
    QStringList statements;
    for (const QString& statement : text.split(QLatin1String(";\n")))
        if (!statement.trimmed().isEmpty())
            statements << statement.trimmed();
    return statements;
}

// The tables, and a province with two cities and a room to look at.
bool createDatabase(example::ExampleDataService& data, QString* error)
{
    QFile file(QStringLiteral(CORVAN_SCHEMA_DIR "/schema-sqlite.sql"));
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1").arg(file.fileName());
        return false;
    }
    QStringList statements = schemaStatements(QString::fromUtf8(file.readAll()));
    statements << QStringLiteral("insert into com_province values ('1', '示例省')")
               << QStringLiteral(
                      "insert into com_city values ('11', '东城市', '1', 1), ('12', '西城市', '1', 2)")
               << QStringLiteral("insert into com_county values ('1101', '东城区', '11')")
               << QStringLiteral("insert into res_baseroom (roomcode, roomname, roomno, city, county) "
                                 "values ('R0001', '东城区通信机房', '1', '11', '1101')");
    const QString db = QLatin1String(corvan::SystemDatabase);
    bool ok = data.BeginTrans(db);
    for (qsizetype i = 0; ok && i < statements.size(); ++i)
        ok = data.ExecuteSql(db, statements.at(i));
    if (ok && data.CommitTrans(db))
        return true;
    *error = data.LastError();
    data.RollbackTrans(db);
    return false;
}

QWidget* visibleWindow(const QString& name)
{
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible() && (name.isEmpty() || window->objectName() == name))
            return window;
    return nullptr;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QStringList arguments = QApplication::arguments().mid(1);
    const bool check = arguments.removeAll(QStringLiteral("--check")) > 0;
    if (arguments.size() != 1)
        return fail(QStringLiteral("usage: corvan-example-host [--check] DATABASE"));

    // The services: the data on the SQLite file, the rest from one object.
    const QString path = arguments.first();
    const bool fresh = !QFileInfo::exists(path);
    example::ExampleDataService data;
    QString error;
    if (!data.open(path) || (fresh && !createDatabase(data, &error)))
        return fail(QStringLiteral("cannot make the database %1: %2").arg(path, error + data.LastError()));
    example::ExampleServices services;
    if (!services.open(data.database()))
        return fail(QStringLiteral("%1 holds no province").arg(path));

    // The component: the plug-in's root object is a factory of clsMain objects.
    QPluginLoader loader(QStringLiteral(CORVAN_PLUGIN));
    auto* factory = qobject_cast<corvan::ComponentFactory*>(loader.instance());
    if (!factory)
        return fail(
            QStringLiteral("%1 is no corvan component: %2").arg(loader.fileName(), loader.errorString()));
    std::unique_ptr<corvan::Component> component(factory->createComponent(nullptr));

    // The object array: subscripts 1 to 7 and 14; 0 and 8 to 13 stay empty.
    QVector<QObject*> objects(corvan::HostSlot::ArraySize, nullptr);
    for (const int slot : {corvan::HostSlot::Sheet, corvan::HostSlot::Ui, corvan::HostSlot::Context,
                           corvan::HostSlot::Application, corvan::HostSlot::Message, corvan::HostSlot::Right,
                           corvan::HostSlot::ResourceView})
        objects[slot] = &services;
    objects[corvan::HostSlot::Data] = &data;
    try {
        component->initEnv(objects);
    } catch (const corvan::ComponentError& e) {
        return fail(
            QStringLiteral("initEnv refused the services: %1 (error %2)").arg(e.text()).arg(e.number()));
    }
    say(QStringLiteral("initEnv: the component took the services of %1").arg(services.ApplicationName()));

    component->ShowMainForm();
    QWidget* main = visibleWindow(QStringLiteral("frmMain"));
    if (!main)
        return fail(QStringLiteral("ShowMainForm showed no main window"));
    // The room search lists the province's cities, read through the data service.
    QStringList cities;
    if (auto* box = main->findChild<QComboBox*>(QStringLiteral("cboCity")))
        for (int i = 0; i < box->count(); ++i)
            if (!box->itemText(i).isEmpty())
                cities << box->itemText(i);
    say(QStringLiteral("ShowMainForm: \"%1\" is shown; cities: %2")
            .arg(main->windowTitle(), cities.join(u' ')));

    if (!check)
        QApplication::exec();
    try {
        component->clearEnv();
    } catch (const corvan::ComponentError& e) {
        return fail(QStringLiteral("clearEnv failed: %1 (error %2)").arg(e.text()).arg(e.number()));
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    if (QWidget* left = visibleWindow(QString()))
        return fail(QStringLiteral("clearEnv left the window \"%1\" open").arg(left->objectName()));
    say(QStringLiteral("clearEnv: no window of the component is left"));
    return 0;
}
