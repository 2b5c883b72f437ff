// SPDX-License-Identifier: MIT
#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace corvan::host {

enum class Engine { SQLite, PostgreSQL };

// PostgreSQL for the QPSQL driver; every other driver is treated as SQLite, the embedded default.
Engine engineOf(const QSqlDatabase& db);

// Cuts an SQL script into statements at the semicolons that stand outside quotes, double-quoted
// names, $tag$ bodies and comments. Comments are left out; pieces without any SQL are dropped.
QStringList splitSqlStatements(const QString& script);

// The statements of the engine's schema file, the network block expanded for g, c and d.
QStringList schemaStatements(Engine engine);

// Creates every table, view, index and function of the engine's schema in one transaction.
// False and a readable error text on failure; the database is then left as it was.
bool createSchema(QSqlDatabase db, QString* error);

// Drops everything createSchema made, in one transaction. The PostgreSQL casts stay: they
// belong to the database, and other schemas may rely on them.
bool dropSchema(QSqlDatabase db, QString* error);

} // namespace corvan::host
