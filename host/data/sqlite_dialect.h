// SPDX-License-Identifier: MIT
#pragma once

#include <QSqlDatabase>
#include <QString>

namespace corvan::host {

// The component's statements are written in an Oracle-like dialect. PostgreSQL gets
// what it needs from its schema; SQLite gets it here, on every connection, because
// SQLite keeps functions per connection rather than in the database file.
class SqliteDialect {
public:
    // Registers to_number(x) and to_date(text, fmt) and sets the connection's pragmas
    // (foreign keys, WAL journal, busy timeout). Fails when the connection is not an
    // open QSQLITE one or the file is not a database.
    static bool install(QSqlDatabase db, QString* error);

    // The rules behind the SQL functions, exposed so that they can be checked apart.
    enum class NumberKind { Null, Integer, Real };
    struct Number {
        NumberKind kind = NumberKind::Null;
        qint64 integer = 0;
        double real = 0.0;
    };
    static Number toNumber(const QByteArray& text);
    // 'YYYY-MM-DD' for a valid date in the form y-m-d (parts need not be padded), else a null string.
    static QString toIsoDate(const QString& text);
};

} // namespace corvan::host
