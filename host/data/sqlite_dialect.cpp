// SPDX-License-Identifier: MIT
#include "data/sqlite_dialect.h"

#include <QDate>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>
#include <cctype>
#include <charconv>
#include <sqlite3.h>

namespace corvan::host {

namespace {

bool fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

QByteArray valueBytes(sqlite3_value* value)
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
    const int size = sqlite3_value_bytes(value);
    return text ? QByteArray(text, size) : QByteArray();
}

void toNumberFunction(sqlite3_context* context, int, sqlite3_value** argv)
{
    switch (sqlite3_value_type(argv[0])) {
    case SQLITE_NULL:
        sqlite3_result_null(context);
        return;
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
        sqlite3_result_value(context, argv[0]);
        return;
    default:
        break;
    }
    const SqliteDialect::Number number = SqliteDialect::toNumber(valueBytes(argv[0]));
    switch (number.kind) {
    case SqliteDialect::NumberKind::Integer:
        sqlite3_result_int64(context, number.integer);
        break;
    case SqliteDialect::NumberKind::Real:
        sqlite3_result_double(context, number.real);
        break;
    case SqliteDialect::NumberKind::Null:
        sqlite3_result_null(context);
        break;
    }
}

// corvan_blob(hex): the bytes a hex text spells, as PostgreSQL's decode(text, 'hex') gives
// them; a text that is not hex is an error rather than a half-written picture.
void blobFunction(sqlite3_context* context, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const QByteArray hex = valueBytes(argv[0]);
    for (const char c : hex)
        if (!std::isxdigit(static_cast<unsigned char>(c))) {
            sqlite3_result_error(context, "corvan_blob: not a hex text", -1);
            return;
        }
    if (hex.size() % 2 != 0) {
        sqlite3_result_error(context, "corvan_blob: not a hex text", -1);
        return;
    }
    const QByteArray bytes = QByteArray::fromHex(hex);
    sqlite3_result_blob(context, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
}

void toDateFunction(sqlite3_context* context, int, sqlite3_value** argv)
{
    const QByteArray format = valueBytes(argv[1]).trimmed().toLower();
    if (format != "yyyy-mm-dd") {
        // A format the host does not know is a fault in the statement, not in the data.
        sqlite3_result_error(context, "to_date: only the format 'yyyy-mm-dd' is supported", -1);
        return;
    }
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const QString date = SqliteDialect::toIsoDate(QString::fromUtf8(valueBytes(argv[0])));
    if (date.isNull()) {
        sqlite3_result_null(context);
        return;
    }
    const QByteArray utf8 = date.toUtf8();
    sqlite3_result_text(context, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

bool runPragma(QSqlDatabase& db, const QString& pragma, QString* error)
{
    QSqlQuery query(db);
    if (!query.exec(pragma)) {
        // SQLite's own words ("file is not a database") say more than Qt's wrapper text.
        const QSqlError sqlError = query.lastError();
        return fail(error, sqlError.databaseText().isEmpty() ? sqlError.text() : sqlError.databaseText());
    }
    return true;
}

} // namespace

SqliteDialect::Number SqliteDialect::toNumber(const QByteArray& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isSpace(text.at(begin)))
        ++begin;
    while (end > begin && isSpace(text.at(end - 1)))
        --end;

    // The accepted shape matches the PostgreSQL schema's to_number:
    // [-+]? ( digits [. digits?] | . digits ), nothing else.
    qsizetype pos = begin;
    const bool negative = pos < end && text.at(pos) == '-';
    if (pos < end && (text.at(pos) == '-' || text.at(pos) == '+'))
        ++pos;
    const qsizetype digitsBegin = pos;
    qsizetype intDigits = 0;
    while (pos < end && isDigit(text.at(pos))) {
        ++pos;
        ++intDigits;
    }
    bool point = false;
    qsizetype fracDigits = 0;
    if (pos < end && text.at(pos) == '.') {
        point = true;
        ++pos;
        while (pos < end && isDigit(text.at(pos))) {
            ++pos;
            ++fracDigits;
        }
    }
    if (pos != end || intDigits + fracDigits == 0)
        return {};

    // from_chars takes a leading minus but no plus, so the sign is put back by hand.
    QByteArray unsignedText = text.mid(digitsBegin, end - digitsBegin);
    if (negative)
        unsignedText.prepend('-');
    const char* first = unsignedText.constData();
    const char* last = first + unsignedText.size();

    Number number;
    if (!point) {
        qint64 value = 0;
        const auto [ptr, ec] = std::from_chars(first, last, value);
        if (ec == std::errc() && ptr == last) {
            number.kind = NumberKind::Integer;
            number.integer = value;
            return number;
        }
    }
    double value = 0.0;
    const auto [ptr, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || ptr != last)
        return {};
    number.kind = NumberKind::Real;
    number.real = value;
    return number;
}

QString SqliteDialect::toIsoDate(const QString& text)
{
    const QStringList parts = text.trimmed().split(QLatin1Char('-'));
    if (parts.size() != 3)
        return {};
    const qsizetype maxLength[3] = {4, 2, 2};
    int values[3] = {0, 0, 0};
    for (qsizetype i = 0; i < 3; ++i) {
        const QString& part = parts.at(i);
        if (part.isEmpty() || part.size() > maxLength[i])
            return {};
        for (const QChar c : part)
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return {};
        values[i] = part.toInt();
    }
    const QDate date(values[0], values[1], values[2]);
    if (values[0] < 1 || !date.isValid())
        return {};
    return QStringLiteral("%1-%2-%3")
        .arg(values[0], 4, 10, QLatin1Char('0'))
        .arg(values[1], 2, 10, QLatin1Char('0'))
        .arg(values[2], 2, 10, QLatin1Char('0'));
}

const QString& SqliteDialect::statement(const QString& sql)
{
    static const QString nextCode = QStringLiteral("select max(to_number(discode)) from h_btsdispatch");
    // The condition is the partial index's, word for word: SQLite uses such an index only for a
    // query whose condition contains the index's own.
    static const QString indexed =
        QStringLiteral("select max(code) as \"max(to_number(discode))\" from ("
                       "select to_number(max(discode)) as code from h_btsdispatch"
                       " where length(discode) = 20 and discode not glob '*[^0-9]*'"
                       " union all "
                       "select max(to_number(discode)) from h_btsdispatch"
                       " where not (length(discode) = 20 and discode not glob '*[^0-9]*'))");
    return sql == nextCode ? indexed : sql;
}

bool SqliteDialect::install(QSqlDatabase db, QString* error)
{
    if (!db.isOpen() || !db.driver())
        return fail(error, QStringLiteral("the SQLite connection is not open"));
    const QVariant handleVariant = db.driver()->handle();
    if (!handleVariant.isValid() || qstrcmp(handleVariant.typeName(), "sqlite3*") != 0)
        return fail(error, QStringLiteral("the connection is not an SQLite connection"));
    sqlite3* handle = *static_cast<sqlite3* const*>(handleVariant.constData());
    if (!handle)
        return fail(error, QStringLiteral("the SQLite connection has no handle"));

    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    if (sqlite3_create_function_v2(handle, "to_number", 1, flags, nullptr, toNumberFunction, nullptr, nullptr,
                                   nullptr) != SQLITE_OK ||
        sqlite3_create_function_v2(handle, "to_date", 2, flags, nullptr, toDateFunction, nullptr, nullptr,
                                   nullptr) != SQLITE_OK ||
        sqlite3_create_function_v2(handle, "corvan_blob", 1, flags, nullptr, blobFunction, nullptr, nullptr,
                                   nullptr) != SQLITE_OK)
        return fail(error, QStringLiteral("cannot register the SQL functions: %1")
                               .arg(QString::fromUtf8(sqlite3_errmsg(handle))));

    // busy_timeout first, so that the pragmas after it wait for a lock instead of failing.
    // journal_mode is the first statement that reads the file, so it is the one that
    // reports a file which is not a database.
    return runPragma(db, QStringLiteral("PRAGMA busy_timeout=10000"), error) &&
           runPragma(db, QStringLiteral("PRAGMA foreign_keys=ON"), error) &&
           runPragma(db, QStringLiteral("PRAGMA journal_mode=WAL"), error);
}

} // namespace corvan::host
