// SPDX-License-Identifier: MIT
#include "data/sqlite_rows.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <sqlite3.h>

namespace corvan::host {

namespace {

// Qt's driver reports a failure with its own words beside the engine's and the engine's
// result code as the native one; LastError and the busy test read both.
QSqlError failure(sqlite3* db, const char* words, QSqlError::ErrorType type, int code)
{
    return QSqlError(QString::fromLatin1(words), QString::fromUtf8(sqlite3_errmsg(db)), type,
                     QString::number(code));
}

bool onlyBlanks(const char* text)
{
    for (; text && *text; ++text)
        if (*text != ' ' && *text != '\t' && *text != '\n' && *text != '\r' && *text != '\f' && *text != '\v')
            return false;
    return true;
}

// Text as Qt's driver hands it over: an empty text is empty, never null.
QString textOf(const char* data, qsizetype size)
{
    return size > 0 ? QString::fromUtf8(data, size) : QString(QLatin1StringView(""));
}

} // namespace

sqlite3_stmt* SqliteRows::prepare(sqlite3* db, const QByteArray& sql, QSqlError* error)
{
    sqlite3_stmt* stmt = nullptr;
    const char* tail = nullptr;
    const int rc = sqlite3_prepare_v2(db, sql.constData(), int(sql.size()) + 1, &stmt, &tail);
    if (rc != SQLITE_OK) {
        *error = failure(db, "Unable to execute statement", QSqlError::StatementError, rc);
        sqlite3_finalize(stmt);
        return nullptr;
    }
    // Anything after the statement is refused with it, as the driver refuses it.
    if (tail && !onlyBlanks(tail) && !QString::fromUtf8(tail).trimmed().isEmpty()) {
        *error = failure(db, "Unable to execute multiple statements at a time", QSqlError::StatementError,
                         SQLITE_MISUSE);
        sqlite3_finalize(stmt);
        return nullptr;
    }
    if (!stmt) // nothing but blanks and comments
        *error = QSqlError(QStringLiteral("Unable to fetch row"), QStringLiteral("No query"),
                           QSqlError::ConnectionError);
    return stmt;
}

bool SqliteRows::append(sqlite3_stmt* stmt)
{
    constexpr std::size_t Limit = std::numeric_limits<quint32>::max();
    const std::size_t width = std::size_t(m_fields);
    if (!m_kinds.reserve(width) || !m_ends.reserve(width))
        return false;
    char* kinds = m_kinds.end();
    quint32* ends = m_ends.end();
    for (int i = 0; i < m_fields; ++i) {
        // The kind first: reading a value may convert it.
        const int type = sqlite3_column_type(stmt, i);
        Kind kind = Null;
        const void* data = nullptr;
        std::size_t size = 0;
        qint64 integer = 0;
        double real = 0;
        switch (type) {
        case SQLITE_INTEGER:
            kind = Integer;
            integer = sqlite3_column_int64(stmt, i);
            data = &integer;
            size = sizeof integer;
            break;
        case SQLITE_FLOAT:
            kind = Real;
            real = sqlite3_column_double(stmt, i);
            data = &real;
            size = sizeof real;
            break;
        case SQLITE_NULL:
            break;
        default:
            kind = type == SQLITE_BLOB ? Blob : Text;
            data = kind == Blob ? sqlite3_column_blob(stmt, i) : sqlite3_column_text(stmt, i);
            size = std::size_t(sqlite3_column_bytes(stmt, i));
            break;
        }
        if (size > 0) {
            if (m_bytes.size() + size > Limit || !m_bytes.reserve(size))
                return false;
            std::memcpy(m_bytes.end(), data, size);
            m_bytes.grow(size);
        }
        kinds[i] = kind;
        ends[i] = quint32(m_bytes.size());
    }
    m_kinds.grow(width);
    m_ends.grow(width);
    ++m_count;
    return true;
}

std::unique_ptr<RecordSet> SqliteRows::open(sqlite3* db, const QString& sql, QSqlError* error)
{
    sqlite3_stmt* stmt = prepare(db, sql.toUtf8(), error);
    if (!stmt)
        return nullptr;
    const int fields = sqlite3_column_count(stmt);
    QStringList names;
    names.reserve(fields);
    for (int i = 0; i < fields; ++i)
        names.append(QString::fromUtf8(sqlite3_column_name(stmt, i)).remove(QLatin1Char('"')));

    std::shared_ptr<SqliteRows> rows(new SqliteRows(fields));
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        if (!rows->append(stmt)) {
            *error =
                QSqlError(QStringLiteral("Unable to fetch row"),
                          QStringLiteral("the result does not fit in memory"), QSqlError::ConnectionError);
            sqlite3_finalize(stmt);
            return nullptr;
        }
    }
    if (rc != SQLITE_DONE) {
        // As the driver does: a generic error says what it was only once the statement is reset.
        if (rc == SQLITE_ERROR || rc == SQLITE_CONSTRAINT)
            rc = sqlite3_reset(stmt);
        *error = failure(db, "Unable to fetch row", QSqlError::ConnectionError, rc);
        sqlite3_finalize(stmt);
        return nullptr;
    }
    sqlite3_finalize(stmt);
    rows->m_bytes.shrink();
    rows->m_kinds.shrink();
    rows->m_ends.shrink();
    return std::make_unique<RecordSet>(std::move(names), std::move(rows));
}

template <class T> bool SqliteRows::Block<T>::reserve(std::size_t count)
{
    if (m_size + count <= m_capacity)
        return true;
    const std::size_t capacity = std::max({m_capacity * 2, m_size + count, std::size_t(64)});
    void* grown = std::realloc(m_data, capacity * sizeof(T));
    if (!grown)
        return false;
    m_data = static_cast<T*>(grown);
    m_capacity = capacity;
    return true;
}

template <class T> void SqliteRows::Block<T>::shrink()
{
    if (m_size == m_capacity)
        return;
    if (m_size == 0) {
        std::free(m_data);
        m_data = nullptr;
        m_capacity = 0;
        return;
    }
    if (void* shrunk = std::realloc(m_data, m_size * sizeof(T))) {
        m_data = static_cast<T*>(shrunk);
        m_capacity = m_size;
    }
}

const char* SqliteRows::bytes(std::size_t cell, qsizetype* size) const
{
    const quint32 begin = cell > 0 ? m_ends[cell - 1] : 0;
    *size = qsizetype(m_ends[cell] - begin);
    return m_bytes.size() ? &m_bytes[0] + begin : "";
}

QVariant SqliteRows::value(int row, int field) const
{
    const std::size_t at = cell(row, field);
    qsizetype size = 0;
    const char* data = bytes(at, &size);
    switch (m_kinds[at]) {
    case Integer: {
        qint64 value = 0;
        std::memcpy(&value, data, sizeof value);
        return QVariant(qlonglong(value));
    }
    case Real: {
        double value = 0;
        std::memcpy(&value, data, sizeof value);
        return QVariant(value);
    }
    case Text:
        return QVariant(textOf(data, size));
    case Blob:
        return QVariant(QByteArray(data, size));
    default:
        return QVariant(QMetaType::fromType<QString>());
    }
}

QString SqliteRows::text(int row, int field) const
{
    const std::size_t at = cell(row, field);
    qsizetype size = 0;
    const char* data = bytes(at, &size);
    switch (m_kinds[at]) {
    case Text:
        return textOf(data, size);
    case Integer: {
        qint64 value = 0;
        std::memcpy(&value, data, sizeof value);
        return QString::number(value);
    }
    case Real:
    case Blob:
        return variantText(value(row, field));
    default:
        return {};
    }
}

} // namespace corvan::host
