// SPDX-License-Identifier: MIT
#pragma once

#include "corvan/record_set.h"

#include <QSqlError>
#include <QStringList>
#include <QVector>
#include <memory>

struct pg_conn;
struct pg_result;

namespace corvan::host {

// The rows of one PostgreSQL statement as libpq keeps them: the set holds the engine's
// result and reads a cell only when the component asks, with the types and texts Qt's
// PostgreSQL driver would have given (text as QString, numeric as its exact text, integers,
// booleans, dates, bytes).
class PgRows final : public RecordSet::Rows {
public:
    // Sends one statement and reads its first result. Nothing and the failure, worded and
    // coded (SQLSTATE) as Qt's driver words and codes it, when the server refuses it.
    static std::unique_ptr<RecordSet> open(pg_conn* connection, const QString& sql, QSqlError* error);
    // Runs one statement whose "?" outside quoted texts take the values, in order, as texts the
    // server reads by the column they go to (a null text is null). changed: the rows it
    // inserted, updated or deleted, 0 for any other statement, -1 when it fails.
    static bool execute(pg_conn* connection, const QString& sql, const QStringList& values, qint64* changed,
                        QSqlError* error);
    // The statement with its "?" numbered as the server names places for values ($1, $2, ...).
    static QString numberedPlaces(const QString& sql);

    ~PgRows() override;
    PgRows(const PgRows&) = delete;
    PgRows& operator=(const PgRows&) = delete;

    int count() const override { return m_count; }
    QVariant value(int row, int field) const override;
    QString text(int row, int field) const override;
    // The server's own text of the cell: a timestamp keeps its microseconds.
    QString storedText(int row, int field) const override;

private:
    explicit PgRows(pg_result* result);

    pg_result* m_result;
    int m_count;
    // Per field: the type Qt's driver gives its values, and whether the engine's text of a
    // value is already the text the component reads.
    QVector<int> m_types;
    QVector<unsigned> m_oids;
    QVector<bool> m_plainText;
};

} // namespace corvan::host
