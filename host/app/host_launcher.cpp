// SPDX-License-Identifier: MIT
#include "host_launcher.h"

#include "corvan/component.h"
#include "data/context_service_impl.h"
#include "data/schema.h"
#include "data/schema_version.h"
#include "data/sql_data_service.h"
#include "data/sqlite_locks.h"
#include "demo_creator.h"
#include "desktop/host_services.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPixmap>
#include <QPluginLoader>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTreeWidget>
#include <QWidget>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <unistd.h>

namespace corvan::host {

namespace {

void printLine(const QString& text)
{
    std::fputs(text.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

bool anyVisibleWindow()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::any_of(windows.cbegin(), windows.cend(), [](const QWidget* w) { return w->isVisible(); });
}

QString componentErrorText(const ComponentError& error)
{
    return QStringLiteral("%1 (error %2)").arg(error.text()).arg(error.number());
}

void dropMessage(QtMsgType, const QMessageLogContext&, const QString&) {}

} // namespace

void HostLauncher::setQuiet(bool quiet)
{
    if (quiet && qEnvironmentVariableIsEmpty("QT_DEBUG_PLUGINS"))
        qInstallMessageHandler(dropMessage);
    else
        qInstallMessageHandler(nullptr);
}

int HostLauncher::fail(const QString& text)
{
    // Driver messages can span lines; support scripts read exactly one.
    QString line = text;
    line.replace(QLatin1String("\r\n"), QLatin1String(" "));
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    line.replace(QLatin1Char('\r'), QLatin1Char(' '));
    std::fputs((QStringLiteral("corvan: ") + line.trimmed() + QLatin1Char('\n')).toUtf8().constData(),
               stderr);
    std::fflush(stderr);
    return Failure;
}

QString HostLauncher::defaultDatabasePath()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return folder.isEmpty() ? QString() : QDir(folder).filePath(QStringLiteral("corvan-demo.sqlite"));
}

QString HostLauncher::pluginPath() const
{
    if (!m_commandLine.plugin().isEmpty())
        return m_commandLine.plugin();
    const QString fileName = QStringLiteral("libprjCorvan.so");
    const QString folder = qEnvironmentVariable("CORVAN_PLUGIN_DIR");
    if (!folder.isEmpty())
        return QDir(folder).filePath(fileName);
    // A build folder keeps the plug-in in ../plugins; an installed corvan finds it in its
    // private library folder, by a path relative to its own so that an unpacked tree
    // anywhere runs as well as one installed under /usr.
    const QDir programFolder(QCoreApplication::applicationDirPath());
    const QString built = QDir::cleanPath(programFolder.filePath(QLatin1String("../plugins/") + fileName));
    if (QFileInfo::exists(built))
        return built;
    return QDir::cleanPath(
        programFolder.filePath(QLatin1String(CORVAN_PLUGINDIR_FROM_BINDIR "/") + fileName));
}

bool HostLauncher::databaseLocation(DatabaseLocation* location, bool* isDefault, QString* error) const
{
    *isDefault = m_commandLine.database().isEmpty();
    if (!*isDefault) {
        if (!DatabaseLocation::parse(m_commandLine.database(), location, error))
            return false;
        if (location->passwordInText()) {
            if (error)
                *error =
                    QStringLiteral("the database URL must not hold the password (a program's arguments can "
                                   "be read by anyone on the machine); put it in PGPASSWORD or ~/.pgpass");
            return false;
        }
        return true;
    }
    const QString path = defaultDatabasePath();
    if (path.isEmpty()) {
        if (error)
            *error =
                QStringLiteral("there is no data folder for the default database; name one with --database");
        return false;
    }
    *location = DatabaseLocation::sqliteFile(path);
    return true;
}

bool HostLauncher::ensureDefaultDatabase(const DatabaseLocation& location, QString* error) const
{
    const QFileInfo info(location.filePath());
    if (!QDir().mkpath(info.absolutePath())) {
        if (error)
            *error = QStringLiteral("cannot create the folder %1").arg(info.absolutePath());
        return false;
    }
    DemoReport report;
    if (!DemoCreator::create(location, CommandLine::DefaultRooms, false, {}, &report, error))
        return false;
    printLine(QStringLiteral("Created demo database: %1").arg(info.absoluteFilePath()));
    return true;
}

bool HostLauncher::checkResourceFile(const QString& path, QString* error)
{
    // Opening through the data service switches the file to WAL journaling: a change that
    // a file which is not a resource database must not get. Reading its catalogue does not.
    const QString connection = QStringLiteral("corvan-probe");
    QString failure;
    SqliteLocks::install();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        QSqlQuery query(db);
        if (!db.open()) {
            failure = QStringLiteral("cannot open the database %1: %2").arg(path, db.lastError().text());
        } else if (!query.exec(QStringLiteral("select count(*) from sqlite_master where type = 'table' and "
                                              "name = 'com_province'"))) {
            const QSqlError sqlError = query.lastError();
            failure =
                QStringLiteral("cannot open the database %1: %2")
                    .arg(path, sqlError.databaseText().isEmpty() ? sqlError.text() : sqlError.databaseText());
        } else if (!query.next() || query.value(0).toInt() == 0) {
            failure =
                QStringLiteral("%1 is not a resource database (it has no table com_province)").arg(path);
        }
        query.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    if (failure.isEmpty())
        return true;
    if (error)
        *error = failure;
    return false;
}

bool HostLauncher::displayAvailable()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

bool HostLauncher::refuseHeadless(QString* error) const
{
    // A screenshot needs no screen: it is drawn offscreen.
    if (!m_headless || !m_commandLine.screenshot().isEmpty())
        return false;
    *error =
        QStringLiteral("no display to show the main window on (set DISPLAY, or QT_QPA_PLATFORM=offscreen)");
    return true;
}

int HostLauncher::run()
{
    return withComponent(true, [this](Component& component) {
        component.ShowMainForm();
        if (!m_commandLine.screenshot().isEmpty())
            return takeScreenshot();
        if (anyVisibleWindow())
            return QApplication::exec();
        return fail(QStringLiteral("the component showed no window"));
    });
}

int HostLauncher::runPlan()
{
    const auto out = [](const QString& line) {
        printLine(line);
    };
    const auto err = [](const QString& line) {
        std::fputs((line + QLatin1Char('\n')).toUtf8().constData(), stderr);
        std::fflush(stderr);
    };
    return withComponent(false, [&](Component& component) {
        auto* runner = qobject_cast<PlanRunner*>(dynamic_cast<QObject*>(&component));
        auto* reviewer = qobject_cast<PlanReviewer*>(dynamic_cast<QObject*>(&component));
        if (!runner)
            return fail(QStringLiteral("the plug-in %1 cannot work on relocation plans").arg(pluginPath()));
        const QString file = m_commandLine.planFile();
        switch (m_commandLine.planWork()) {
        case CommandLine::PlanWork::Template:
            return runner->writePlanTemplate(file, out, err);
        case CommandLine::PlanWork::Check:
            return runner->runPlan(file, false, m_commandLine.report(), out, err);
        case CommandLine::PlanWork::Apply:
            // A file that exists is applied as it is; anything else names a review.
            if (QFileInfo::exists(file) || !reviewer)
                return runner->runPlan(file, true, m_commandLine.report(), out, err);
            return reviewer->applyReviewedPlan(file, out, err);
        case CommandLine::PlanWork::Reverse:
            return runner->reversePlan(file, out, err);
        default:
            break;
        }
        if (!reviewer)
            return fail(QStringLiteral("the plug-in %1 cannot review relocation plans").arg(pluginPath()));
        switch (m_commandLine.planWork()) {
        case CommandLine::PlanWork::Submit:
            return reviewer->submitPlan(file, m_commandLine.review(), out, err);
        case CommandLine::PlanWork::List:
            return reviewer->listPlans(m_commandLine.state(), out, err);
        case CommandLine::PlanWork::Show:
            return reviewer->showPlan(file, out, err);
        case CommandLine::PlanWork::Review:
            return reviewer->decidePlan(file, m_commandLine.decision(), m_commandLine.comment(), out, err);
        case CommandLine::PlanWork::Withdraw:
            return reviewer->decidePlan(file, QStringLiteral("withdraw"), m_commandLine.comment(), out, err);
        default:
            break;
        }
        return int(Failure);
    });
}

bool HostLauncher::prepareSchema(SqlDataService& data, bool upgrade, QString* error) const
{
    int version = SchemaVersion::None;
    if (!SchemaVersion::read(data.database(), &version, error))
        return false;
    const QString where = data.location().displayText();
    const auto refuse = [error](const QString& text) {
        *error = text;
        return false;
    };
    if (version == SchemaVersion::None)
        return refuse(
            QStringLiteral("%1 is not a resource database (it has no table com_province)").arg(where));
    if (version > LatestSchemaVersion)
        return refuse(
            QStringLiteral("the database %1 has schema %2, made by a newer corvan; this corvan knows "
                           "versions up to %3")
                .arg(where, SchemaVersion::describe(version))
                .arg(LatestSchemaVersion));
    if (version == LatestSchemaVersion) {
        if (upgrade)
            printLine(QStringLiteral("The database %1 has schema %2, this corvan's; nothing to upgrade")
                          .arg(where, SchemaVersion::describe(version)));
        return true;
    }
    QString owner;
    QString failure;
    if (!SchemaVersion::mayUpgrade(data.database(), &owner, &failure)) {
        if (!failure.isEmpty())
            return refuse(failure);
        const QString who = data.location().isSqlite()
                                ? QStringLiteral("someone who may write the file %1").arg(owner)
                                : QStringLiteral("the owner of its tables, the role %1,").arg(owner);
        return refuse(QStringLiteral("the database %1 has schema %2 and this corvan needs %3; only %4 may "
                                     "upgrade it: corvan --upgrade-database --database %1")
                          .arg(where, SchemaVersion::describe(version),
                               SchemaVersion::describe(LatestSchemaVersion), who));
    }
    if (version == SchemaVersion::Unversioned) {
        bool known = false;
        if (!upgradeDevelopmentSchema(data.database(), &known, error))
            return false;
        if (!known)
            return refuse(
                QStringLiteral("the database %1 was made by a development build of corvan (it has the "
                               "component's own tables but no schema version), and its tables are "
                               "not as any build this corvan knows made them; nothing was changed. "
                               "Make a new one with --create-demo --force")
                    .arg(where));
        printLine(
            QStringLiteral("Upgraded the database %1 from schema %2 to %3")
                .arg(where, SchemaVersion::describe(version), SchemaVersion::describe(LatestSchemaVersion)));
        return true;
    }
    return upgradeSchema(
        data.database(), version,
        [&](int reached) {
            printLine(
                QStringLiteral("Upgraded the database %1 from schema %2 to %3")
                    .arg(where, SchemaVersion::describe(reached - 1), SchemaVersion::describe(reached)));
        },
        error);
}

int HostLauncher::upgradeDatabase()
{
    QString error;
    DatabaseLocation location;
    bool isDefault = false;
    if (!databaseLocation(&location, &isDefault, &error))
        return fail(error);
    if (location.isSqlite() && !QFileInfo::exists(location.filePath()))
        return fail(QStringLiteral("the database %1 does not exist").arg(location.filePath()));
    if (location.isSqlite() && !checkResourceFile(location.filePath(), &error))
        return fail(error);
    SqlDataService data;
    if (!data.open(location, &error) || !prepareSchema(data, true, &error))
        return fail(error);
    return 0;
}

int HostLauncher::withComponent(bool window, const std::function<int(Component&)>& work)
{
    // The checks that create nothing come first: a bad plug-in or trace folder must not
    // leave a fresh demo database behind.
    const QString plugin = pluginPath();
    if (!QFileInfo::exists(plugin))
        return fail(QStringLiteral("the plug-in %1 does not exist").arg(plugin));
    QPluginLoader loader(plugin);
    QObject* root = loader.instance();
    if (!root)
        return fail(QStringLiteral("cannot load the plug-in %1: %2").arg(plugin, loader.errorString()));
    auto* factory = qobject_cast<ComponentFactory*>(root);
    if (!factory)
        return fail(QStringLiteral("%1 is not a component plug-in (it offers no %2 factory)")
                        .arg(plugin, QLatin1String(CorvanComponentFactory_iid)));

    const QString trace = m_commandLine.sqlTrace();
    QString error;
    if (!traceWritable(trace, &error))
        return fail(error);
    SqlDataService data;
    QString user;
    if (!openDatabase(window, data, &user, &error))
        return fail(error);
    HostServices services(&data);
    services.configure(user, m_commandLine.province());
    if (!services.context()->resolve(&error))
        return fail(error);
    if (window && refuseHeadless(&error))
        return fail(error);
    if (!trace.isEmpty() && !data.setTraceFile(trace, &error))
        return fail(error);
    if (!m_commandLine.readDatabase().isEmpty() &&
        !data.setReadDatabase(m_commandLine.readDatabase(), m_commandLine.readDelay(), &error))
        return fail(error);
    return runComponent(*factory, plugin, services, work);
}

bool HostLauncher::traceWritable(const QString& trace, QString* error)
{
    if (trace.isEmpty())
        return true;
    const QFileInfo info(trace);
    if (!info.absoluteDir().exists())
        *error = QStringLiteral("cannot write the SQL trace %1: the folder %2 does not exist")
                     .arg(trace, info.absolutePath());
    else if (info.exists() && (!info.isFile() || !info.isWritable()))
        *error = QStringLiteral("cannot write the SQL trace %1").arg(trace);
    else
        return true;
    return false;
}

bool HostLauncher::openDatabase(bool window, SqlDataService& data, QString* user, QString* error)
{
    DatabaseLocation location;
    bool isDefault = false;
    if (!databaseLocation(&location, &isDefault, error))
        return false;
    if (location.isSqlite() && !QFileInfo::exists(location.filePath())) {
        // Opening would create an empty file; only the default place gets a demo database.
        if (!isDefault) {
            *error = QStringLiteral("the database %1 does not exist (make one with --create-demo)")
                         .arg(location.filePath());
            return false;
        }
        if ((window && refuseHeadless(error)) || !ensureDefaultDatabase(location, error))
            return false;
    }
    // A database of an earlier release is brought up to date before the component sees it,
    // where the user may; anyone else is told who may.
    return (!location.isSqlite() || checkResourceFile(location.filePath(), error)) &&
           data.open(location, error) &&
           ContextServiceImpl::identify(data.database(), m_commandLine.user(), user, error) &&
           prepareSchema(data, false, error);
}

int HostLauncher::runComponent(ComponentFactory& factory, const QString& plugin, HostServices& services,
                               const std::function<int(Component&)>& work)
{
    setQuiet(false);
    std::unique_ptr<Component> component(factory.createComponent(nullptr));
    if (!component)
        return fail(QStringLiteral("the plug-in %1 made no component").arg(plugin));
    try {
        component->initEnv(services.objectArray());
    } catch (const ComponentError& e) {
        return fail(
            QStringLiteral("the component refused the host's services: %1").arg(componentErrorText(e)));
    }
    int status = work(*component);
    try {
        component->clearEnv();
    } catch (const ComponentError& e) {
        status = fail(QStringLiteral("the component failed to close: %1").arg(componentErrorText(e)));
    }
    return status;
}

int HostLauncher::takeScreenshot() const
{
    // The host drives the component only through what any host can reach: the window
    // and control names and the window's invokable operations.
    QWidget* main = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("frmMain") && w->isVisible())
            main = w;
    if (!main)
        return fail(QStringLiteral("the component showed no main window"));
    if (!m_commandLine.roomCity().isEmpty()) {
        // Search the room the way a user would, so the tree shows it too.
        auto* cities = main->findChild<QComboBox*>(QStringLiteral("cboCity"));
        auto* cityIds = main->findChild<QComboBox*>(QStringLiteral("cboCityBack"));
        auto* name = main->findChild<QLineEdit*>(QStringLiteral("txtName"));
        auto* search = main->findChild<QAbstractButton*>(QStringLiteral("cmdOk"));
        const int city = cityIds ? cityIds->findText(m_commandLine.roomCity()) : -1;
        if (cities && name && search && city > 0) {
            cities->setCurrentIndex(city);
            name->setText(m_commandLine.roomName());
            search->click();
            // Open the tree down to the room, as a user who clicked it would see it.
            if (auto* tree = main->findChild<QTreeWidget*>(QStringLiteral("tvwRoom"))) {
                const auto found =
                    tree->findItems(m_commandLine.roomName(), Qt::MatchStartsWith | Qt::MatchRecursive);
                if (!found.isEmpty()) {
                    tree->scrollToItem(found.constFirst());
                    tree->setCurrentItem(found.constFirst());
                }
            }
        }
        if (!QMetaObject::invokeMethod(main, "showBts", Qt::DirectConnection,
                                       Q_ARG(QString, m_commandLine.roomCity()),
                                       Q_ARG(QString, m_commandLine.roomName())))
            return fail(QStringLiteral("the main window cannot show a room"));
    }
    if (m_commandLine.tab() >= 0) {
        auto* tabs = main->findChild<QTabWidget*>(QStringLiteral("sstMain"));
        if (!tabs)
            return fail(QStringLiteral("the main window has no network tabs"));
        tabs->setCurrentIndex(m_commandLine.tab());
    }
    // Let layouts and pending paints settle before the picture is taken.
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
    const QPixmap picture = main->grab();
    if (picture.isNull() || !picture.save(m_commandLine.screenshot(), "PNG"))
        return fail(QStringLiteral("cannot save the screenshot %1").arg(m_commandLine.screenshot()));
    printLine(
        QStringLiteral("Saved screenshot: %1").arg(QFileInfo(m_commandLine.screenshot()).absoluteFilePath()));
    return 0;
}

int HostLauncher::createDemo()
{
    QString error;
    DatabaseLocation location;
    bool isDefault = false;
    if (!databaseLocation(&location, &isDefault, &error))
        return fail(error);
    if (isDefault && !QDir().mkpath(QFileInfo(location.filePath()).absolutePath()))
        return fail(
            QStringLiteral("cannot create the folder %1").arg(QFileInfo(location.filePath()).absolutePath()));

    // Progress only for a person watching; scripts and tests read the lines that follow.
    std::function<void(int)> progress;
    if (isatty(fileno(stderr))) {
        progress = [](int percent) {
            std::fprintf(stderr, "\rCreating the demo database: %3d%%", percent);
            if (percent >= 100)
                std::fputc('\n', stderr);
            std::fflush(stderr);
        };
    }
    DemoReport report;
    if (!DemoCreator::create(location, m_commandLine.rooms(), m_commandLine.force(), progress, &report,
                             &error))
        return fail(error);

    const QString shown =
        location.isSqlite() ? QFileInfo(location.filePath()).absoluteFilePath() : location.displayText();
    printLine(QStringLiteral("Created demo database: %1").arg(shown));
    for (auto it = report.rowCounts.cbegin(); it != report.rowCounts.cend(); ++it)
        printLine(QStringLiteral("  %1 %2").arg(it.key(), -24).arg(it.value()));
    const QString unchanged =
        QStringLiteral(" (passwords left as they were: the owner sets one with psql's \\password NAME)");
    if (!report.loginRoles.isEmpty())
        printLine(QStringLiteral("Login roles: %1%2")
                      .arg(report.loginRoles.join(QLatin1String(", ")),
                           qEnvironmentVariableIsEmpty("CORVAN_DEMO_PASSWORD") ? unchanged : QString()));
    return 0;
}

} // namespace corvan::host
