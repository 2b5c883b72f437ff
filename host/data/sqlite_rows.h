// SPDX-License-Identifier: MIT
#pragma once

#include "corvan/record_set.h"

#include <QSqlError>
#include <cstdlib>
#include <memory>

struct sqlite3;
struct sqlite3_stmt;

namespace corvan::host {

// The rows of one SQLite statement, read straight from the engine into one buffer: per cell
// its kind and where its bytes end, text as the engine stores it (UTF-8). A cell becomes a
// QVariant or a QString only when the component reads it, with the types and texts Qt's
// SQLite driver would have given (integers as qlonglong, reals as double, null as a null
// QString, blobs as QByteArray).
class SqliteRows final : public RecordSet::Rows {
public:
    // Runs one statement to its end on the connection. Nothing and the failure, worded and
    // numbered as Qt's driver words and numbers it, when it cannot be prepared or stepped.
    static std::unique_ptr<RecordSet> open(sqlite3* db, const QString& sql, QSqlError* error);
    // Prepares exactly one statement; nothing and the failure, worded as Qt's driver words it,
    // for a text that does not compile, holds more than one statement or none.
    static sqlite3_stmt* prepare(sqlite3* db, const QByteArray& sql, QSqlError* error);

    int count() const override { return m_count; }
    QVariant value(int row, int field) const override;
    QString text(int row, int field) const override;

private:
    enum Kind : char { Null, Integer, Real, Text, Blob };

    // A block of plain values that grows by reallocation, which the C library does for large
    // blocks by remapping rather than copying.
    template <class T> class Block {
    public:
        Block() = default;
        ~Block() { std::free(m_data); }
        Block(const Block&) = delete;
        Block& operator=(const Block&) = delete;
        // Room for count more values; false when there is no memory for them.
        bool reserve(std::size_t count);
        T* end() { return m_data + m_size; }
        void grow(std::size_t count) { m_size += count; }
        void shrink();
        std::size_t size() const { return m_size; }
        const T& operator[](std::size_t i) const { return m_data[i]; }

    private:
        T* m_data = nullptr;
        std::size_t m_size = 0;
        std::size_t m_capacity = 0;
    };

    explicit SqliteRows(int fields) : m_fields(fields) {}
    // Appends the statement's current row; false when it does not fit in memory.
    bool append(sqlite3_stmt* stmt);
    std::size_t cell(int row, int field) const
    {
        return std::size_t(row) * std::size_t(m_fields) + std::size_t(field);
    }
    const char* bytes(std::size_t cell, qsizetype* size) const;

    int m_fields;
    int m_count = 0;
    // Per cell its kind and where its bytes end; the bytes of all cells one after the other.
    Block<char> m_kinds;
    Block<quint32> m_ends;
    Block<char> m_bytes;
};

} // namespace corvan::host
