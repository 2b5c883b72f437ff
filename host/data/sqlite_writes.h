// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QHash>
#include <QSqlError>
#include <QString>
#include <QStringList>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace corvan::host {

// The statements ExecuteSql sends on SQLite, run through the engine's own interface on the
// connection Qt opened, as the reads are (SqliteRows). A transaction keeps what it prepared,
// by text, until it ends: a statement it sends again is not compiled again. Failures are worded
// and numbered as Qt's driver words and numbers them, so LastError and the busy test read the
// same whichever way a statement went.
class SqliteWrites {
public:
    SqliteWrites() = default;
    ~SqliteWrites() { release(); }
    SqliteWrites(const SqliteWrites&) = delete;
    SqliteWrites& operator=(const SqliteWrites&) = delete;

    // The connection the statements run on; what was kept for the one before is finalized.
    void attach(sqlite3* db);

    // Runs one statement to its end. changed: the rows it inserted, updated or deleted, and 0
    // for one that changes none by its nature (a table made, a select); -1 when it fails.
    // values: one text for each "?" of the statement, in order (a null text binds null); a
    // statement with another number of places for values is refused.
    bool execute(const QString& sql, qint64* changed, QSqlError* error, const QStringList& values = {});

    // From begin to the transaction's end, prepared statements are kept for it.
    void keep() { m_keeping = true; }
    // The transaction is over: what it kept is finalized. Nothing is kept afterwards.
    void release();

    // Statements kept now, for the tests of this class.
    qsizetype kept() const { return m_kept.size(); }

private:
    bool bind(sqlite3_stmt* stmt, const QStringList& values, std::vector<QByteArray>* texts,
              QSqlError* error);

    sqlite3* m_db = nullptr;
    bool m_keeping = false;
    QHash<QByteArray, sqlite3_stmt*> m_kept;
};

} // namespace corvan::host
