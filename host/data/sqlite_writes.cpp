// SPDX-License-Identifier: MIT
#include "data/sqlite_writes.h"

#include "data/sqlite_rows.h"

#include <sqlite3.h>

namespace corvan::host {

namespace {

// As Qt's driver reports a failure: its own words beside the engine's, the engine's result
// code as the native one.
QSqlError failure(sqlite3* db, const char* words, QSqlError::ErrorType type, int code)
{
    return QSqlError(QString::fromLatin1(words), QString::fromUtf8(sqlite3_errmsg(db)), type,
                     QString::number(code));
}

} // namespace

void SqliteWrites::attach(sqlite3* db)
{
    release();
    m_db = db;
}

void SqliteWrites::release()
{
    for (sqlite3_stmt* stmt : std::as_const(m_kept))
        sqlite3_finalize(stmt);
    m_kept.clear();
    m_keeping = false;
}

bool SqliteWrites::bind(sqlite3_stmt* stmt, const QStringList& values, std::vector<QByteArray>* texts,
                        QSqlError* error)
{
    const int places = sqlite3_bind_parameter_count(stmt);
    if (places != values.size()) {
        *error = QSqlError(QStringLiteral("Unable to bind values"),
                           QStringLiteral("the statement has %1 places for values, %2 were given")
                               .arg(places)
                               .arg(values.size()),
                           QSqlError::StatementError, QString::number(SQLITE_RANGE));
        return false;
    }
    texts->reserve(std::size_t(values.size()));
    for (int i = 0; i < places; ++i) {
        const QString& value = values.at(i);
        int rc = SQLITE_OK;
        if (value.isNull()) {
            rc = sqlite3_bind_null(stmt, i + 1);
        } else {
            texts->push_back(value.toUtf8());
            rc = sqlite3_bind_text(stmt, i + 1, texts->back().constData(), int(texts->back().size()),
                                   SQLITE_STATIC);
        }
        if (rc != SQLITE_OK) {
            *error = failure(m_db, "Unable to bind values", QSqlError::StatementError, rc);
            return false;
        }
    }
    return true;
}

bool SqliteWrites::execute(const QString& sql, qint64* changed, QSqlError* error, const QStringList& values)
{
    *changed = -1;
    if (!m_db) {
        *error = QSqlError(QStringLiteral("Unable to execute statement"),
                           QStringLiteral("no SQLite connection"), QSqlError::ConnectionError);
        return false;
    }
    const QByteArray utf8 = sql.toUtf8();
    sqlite3_stmt* stmt = m_keeping ? m_kept.value(utf8, nullptr) : nullptr;
    const bool known = stmt != nullptr;
    if (!stmt && !(stmt = SqliteRows::prepare(m_db, utf8, error)))
        return false;
    // The texts stay here until the statement has run; the engine reads them where they are.
    std::vector<QByteArray> bound;
    if (!bind(stmt, values, &bound, error)) {
        if (known)
            m_kept.remove(utf8);
        sqlite3_finalize(stmt);
        return false;
    }

    // SQLite counts only insert, update and delete; a statement that changed nothing at all
    // leaves the total where it was, so the count of an earlier one is never taken for its own.
    const qint64 totalBefore = sqlite3_total_changes64(m_db);
    int rc = SQLITE_ROW;
    while (rc == SQLITE_ROW)
        rc = sqlite3_step(stmt);
    const bool ok = rc == SQLITE_DONE;
    if (!ok) {
        // As the driver does: a generic error says what it was only once the statement is reset.
        if (rc == SQLITE_ERROR || rc == SQLITE_CONSTRAINT)
            rc = sqlite3_reset(stmt);
        *error = failure(m_db, "Unable to fetch row", QSqlError::ConnectionError, rc);
    } else {
        *changed = sqlite3_total_changes64(m_db) == totalBefore ? 0 : sqlite3_changes64(m_db);
    }
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    if (m_keeping && ok) {
        if (!known)
            m_kept.insert(utf8, stmt);
    } else {
        if (known)
            m_kept.remove(utf8);
        sqlite3_finalize(stmt);
    }
    return ok;
}

} // namespace corvan::host
