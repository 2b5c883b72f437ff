// SPDX-License-Identifier: MIT
#pragma once

#include <QSqlDatabase>
#include <QString>

namespace corvan::host {

// Which schema version a database has, and whether the connected user may bring it up to
// date. Version 1 is the schema of corvan 0.1.0, which kept no version; the component's own
// tables of later versions keep theirs in corvan_schema.
class SchemaVersion {
public:
    // No resource database at all.
    static constexpr int None = 0;
    // The component's own tables without a version: a database made by a build between
    // releases, brought up to date only when its tables are as a known build made them
    // (upgradeDevelopmentSchema).
    static constexpr int Unversioned = -1;

    // The database's version; false with *error when the catalogue cannot be read.
    static bool read(QSqlDatabase db, int* version, QString* error);
    // Whether the connected user may change the schema (on PostgreSQL: is, or is a member
    // of, the role that owns the tables; on SQLite: may write the file and its folder).
    // *owner names who may: the owning role, or the file.
    static bool mayUpgrade(QSqlDatabase db, QString* owner, QString* error);

    // How a version is named to people: "version 1 (corvan 0.1.0)".
    static QString describe(int version);
};

} // namespace corvan::host
