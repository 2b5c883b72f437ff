// SPDX-License-Identifier: MIT
#pragma once

#include "corvan/record_set.h"

#include <QSqlError>
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
