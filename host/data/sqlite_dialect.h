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

    // The statement SQLite runs for one the component sent: the same, except the next record
    // code's "select max(to_number(discode)) from h_btsdispatch". An index on to_number(discode)
    // would leave the file to programs that know the function, so that one is answered in two
    // index searches with the same result: codes of twenty digits from the end of the primary
    // key (their text order is their numeric order), every other code through the partial
    // index ix_h_btsdispatch_other_code, which holds only those.
    static const QString& statement(const QString& sql);

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
