// SPDX-License-Identifier: MIT
#include "data/schema_version.h"

#include "data/schema.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

namespace corvan::host {

namespace {

using namespace Qt::StringLiterals;

bool fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

// The rows of a catalogue query, each row's first column; nothing when it fails.
bool firstColumn(QSqlDatabase& db, const QString& sql, QStringList* values, QString* error)
{
    QSqlQuery query(db);
    if (!query.exec(sql))
        return fail(error, u"cannot read the database's catalogue: "_s + query.lastError().text());
    while (query.next())
        values->append(query.value(0).toString());
    return true;
}

} // namespace

bool SchemaVersion::read(QSqlDatabase db, int* version, QString* error)
{
    const bool postgresql = engineOf(db) == Engine::PostgreSQL;
    QStringList tables;
    const QString names = u"('com_province','corvan_journal','corvan_schema')"_s;
    if (!firstColumn(db,
                     postgresql
                         ? u"select table_name from information_schema.tables where table_schema = "
                           u"current_schema() and table_name in "_s +
                               names
                         : u"select name from sqlite_master where type = 'table' and name in "_s + names,
                     &tables, error))
        return false;
    if (tables.contains(u"corvan_schema"_s)) {
        QStringList versions;
        if (!firstColumn(db, u"select max(version) from corvan_schema"_s, &versions, error))
            return false;
        bool ok = false;
        *version = versions.value(0).toInt(&ok);
        if (!ok || *version < 1)
            return fail(error, u"the database's table corvan_schema holds no version"_s);
        return true;
    }
    if (!tables.contains(u"com_province"_s))
        *version = None;
    else
        *version = tables.contains(u"corvan_journal"_s) ? Unversioned : 1;
    return true;
}

bool SchemaVersion::mayUpgrade(QSqlDatabase db, QString* owner, QString* error)
{
    if (engineOf(db) == Engine::PostgreSQL) {
        QSqlQuery query(db);
        if (!query.exec(u"select pg_catalog.pg_get_userbyid(c.relowner), pg_catalog.pg_has_role(c.relowner, "
                        u"'USAGE') from pg_catalog.pg_class c where c.oid = 'com_province'::regclass"_s) ||
            !query.next())
            return fail(error, u"cannot read who owns the database's tables: "_s + query.lastError().text());
        *owner = query.value(0).toString();
        return query.value(1).toBool();
    }
    const QFileInfo file(db.databaseName());
    *owner = file.absoluteFilePath();
    // SQLite writes its journal beside the file.
    return file.isWritable() && QFileInfo(file.absolutePath()).isWritable();
}

QString SchemaVersion::describe(int version)
{
    if (version == 1)
        return u"version 1 (corvan 0.1.0)"_s;
    if (version == Unversioned)
        return u"without a version (a development build's)"_s;
    return u"version %1"_s.arg(version);
}

} // namespace corvan::host
