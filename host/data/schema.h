// SPDX-License-Identifier: MIT
#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <functional>

namespace corvan::host {

enum class Engine { SQLite, PostgreSQL };

// PostgreSQL for the QPSQL driver; every other driver is treated as SQLite, the embedded default.
Engine engineOf(const QSqlDatabase& db);

// Cuts an SQL script into statements at the semicolons that stand outside quotes, double-quoted
// names, $tag$ bodies and comments. Comments are left out; pieces without any SQL are dropped.
QStringList splitSqlStatements(const QString& script);

// The schema version this program makes and upgrades databases to. Version 1 is the schema
// of corvan 0.1.0; each later one is what a release added (db/, "-- @since-begin N").
inline constexpr int LatestSchemaVersion = 8;

// The statements of the engine's schema file, the network block expanded for g, c and d.
QStringList schemaStatements(Engine engine);
// The statements that bring a database of the version before to this one.
QStringList schemaStatements(Engine engine, int version);
// The row of corvan_schema that says the database is at that version.
QString schemaVersionStatement(Engine engine, int version);

// Creates every table, view, index and function of the engine's schema in one transaction,
// at the latest version.
// False and a readable error text on failure; the database is then left as it was.
bool createSchema(QSqlDatabase db, QString* error);

// Brings a database of schema version from up to LatestSchemaVersion, each version in a
// transaction of its own (a failure keeps the versions done before it); upgraded is told
// each version reached. The specified tables' data is never touched.
bool upgradeSchema(QSqlDatabase db, int from, const std::function<void(int)>& upgraded, QString* error);

// A database made by a development build between corvan 0.1.0 and the schema versions: the
// journal (and the province's extent, and perhaps the record codes' index) without a version.
// On SQLite, when its own tables are exactly as one of those builds made them, it is brought
// to version 2 in one transaction (the journal's entries kept), then on to LatestSchemaVersion;
// *known is false and nothing is changed when they are not, or on PostgreSQL, whose
// development builds' rules and rights no upgrade knows.
bool upgradeDevelopmentSchema(QSqlDatabase db, bool* known, QString* error);

// Drops everything createSchema made, in one transaction. The PostgreSQL casts stay: they
// belong to the database, and other schemas may rely on them.
bool dropSchema(QSqlDatabase db, QString* error);

} // namespace corvan::host
