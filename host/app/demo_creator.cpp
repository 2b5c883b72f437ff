// SPDX-License-Identifier: MIT
#include "demo_creator.h"

#include "data/schema.h"
#include "data/sql_data_service.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace corvan::host {

namespace {

bool fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

// An SQLite database in WAL mode may leave its journal files beside it.
void removeSqliteFiles(const QString& path)
{
    QFile::remove(path);
    QFile::remove(path + QLatin1String("-wal"));
    QFile::remove(path + QLatin1String("-shm"));
    QFile::remove(path + QLatin1String("-journal"));
}

bool hasResourceTables(const QSqlDatabase& db)
{
    return db.tables().contains(QLatin1String("res_baseroom"), Qt::CaseInsensitive);
}

// On a server the user is the role that logs in: every demo user becomes a login role with
// the cities the demo gave it, the way the owner adds any user.
bool enrolDemoUsers(QSqlDatabase& db, QStringList* roles, QString* error)
{
    QSqlQuery users(db);
    users.setForwardOnly(true);
    if (!users.exec(QStringLiteral("select username from host_user order by username")))
        return fail(error, users.lastError().text().trimmed());
    QStringList names;
    while (users.next())
        names << users.value(0).toString();
    const QString password = qEnvironmentVariable("CORVAN_DEMO_PASSWORD");
    for (const QString& name : std::as_const(names)) {
        // A user without the relocation right of any city (the reviewer) logs in as a reader.
        QSqlQuery add(db);
        add.prepare(QStringLiteral("select corvan_add_user(?, ?, array(select city_id from host_right where "
                                   "username = ? and funcno = '13'), exists(select 1 from host_right where "
                                   "username = ? and funcno = '13'))"));
        add.addBindValue(name);
        add.addBindValue(password.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(password));
        add.addBindValue(name);
        add.addBindValue(name);
        if (!add.exec())
            return fail(error, add.lastError().text().trimmed());
        QSqlQuery review(db);
        review.prepare(
            QStringLiteral("select corvan_add_reviewer(?, array(select city_id from host_right where "
                           "username = ? and funcno = '14')) where exists(select 1 from host_right "
                           "where username = ? and funcno = '14')"));
        for (int i = 0; i < 3; ++i)
            review.addBindValue(name);
        if (!review.exec())
            return fail(error, review.lastError().text().trimmed());
        roles->append(name);
    }
    return true;
}

} // namespace

bool DemoCreator::create(const DatabaseLocation& location, int rooms, bool replace,
                         const std::function<void(int percent)>& progress, DemoReport* report, QString* error)
{
    DemoOptions options;
    options.rooms = rooms;
    options.progress = progress;
    // The demo is where a plan's review is tried: its province requires it.
    options.reviewRequired = true;
    return location.isSqlite() ? createSqlite(location, options, replace, report, error)
                               : createPostgresql(location, options, replace, report, error);
}

bool DemoCreator::createSqlite(const DatabaseLocation& location, const DemoOptions& options, bool replace,
                               DemoReport* report, QString* error)
{
    const QString path = location.filePath();
    const QFileInfo info(path);
    if (info.exists() && !replace)
        return fail(error,
                    QStringLiteral("the database %1 already exists (use --force to replace it)").arg(path));
    if (info.exists() && !info.isFile())
        return fail(error, QStringLiteral("%1 is not a file").arg(path));
    if (!info.absoluteDir().exists())
        return fail(error, QStringLiteral("cannot create the database %1: the folder %2 does not exist")
                               .arg(path, info.absolutePath()));

    const QString building = path + QLatin1String(".creating");
    removeSqliteFiles(building);
    QString failure;
    {
        SqlDataService service;
        if (!service.open(DatabaseLocation::sqliteFile(building), &failure)) {
            removeSqliteFiles(building);
            return fail(error, failure);
        }
        if (!createSchema(service.database(), &failure) ||
            !createDemoData(service.database(), options, report, &failure)) {
            service.close();
            removeSqliteFiles(building);
            return fail(error, QStringLiteral("cannot create the demo database %1: %2").arg(path, failure));
        }
    }
    if (replace)
        removeSqliteFiles(path);
    if (!QFile::rename(building, path)) {
        removeSqliteFiles(building);
        return fail(error, QStringLiteral("cannot move the new database to %1").arg(path));
    }
    return true;
}

bool DemoCreator::createPostgresql(const DatabaseLocation& location, const DemoOptions& options, bool replace,
                                   DemoReport* report, QString* error)
{
    SqlDataService service;
    if (!service.open(location, error))
        return false;
    QSqlDatabase db = service.database();
    const bool existed = hasResourceTables(db);
    if (existed && !replace)
        return fail(error, QStringLiteral("the database %1 already holds resource tables (use --force to "
                                          "replace them)")
                               .arg(location.displayText()));
    QString failure;
    if (existed && !dropSchema(db, &failure))
        return fail(
            error,
            QStringLiteral("cannot drop the old tables of %1: %2").arg(location.displayText(), failure));
    if (!createSchema(db, &failure))
        return fail(
            error, QStringLiteral("cannot create the tables of %1: %2").arg(location.displayText(), failure));
    DemoReport written;
    QString what;
    if (!createDemoData(db, options, &written, &failure))
        what = QStringLiteral("cannot fill the demo database %1: %2");
    else if (!enrolDemoUsers(db, &written.loginRoles, &failure))
        what = QStringLiteral("cannot make the users of the demo database %1 login roles: %2");
    if (!what.isEmpty()) {
        // Half-filled tables would be refused by the next --create-demo; take them away.
        QString ignored;
        dropSchema(db, &ignored);
        return fail(error, what.arg(location.displayText(), failure));
    }
    if (report)
        *report = written;
    return true;
}

} // namespace corvan::host
