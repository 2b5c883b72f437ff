// SPDX-License-Identifier: MIT
#pragma once

#include <memory>
#include <optional>

#include <QString>

#include "corvan/record_set.h"

namespace corvan {

class mdlPubVar;

// The one road to the host's "systemDB": every statement of the component is read, run
// or bracketed in a transaction here, through the host's data service of its context.
// Nothing throws; a failure is a null set or false, and lastError() says why.
class SystemDb {
public:
    explicit SystemDb(const mdlPubVar& context) : m_context(context) {}

    // The rows of a query, or none when the statement is empty, the host has no data
    // service, or the query fails.
    std::unique_ptr<RecordSet> open(const QString& sql) const;
    // The text of field 0 of the first row; nothing when the query fails or gives no row.
    std::optional<QString> firstText(const QString& sql) const;
    // Runs one statement; false when there is no data service or it fails.
    bool execute(const QString& sql) const;
    // Runs a write that must change exactly that many rows: a host that reports its counts
    // and reports another number makes it a failure, whose reason lastError() gives. The
    // caller rolls its transaction back; nothing changed by it is taken for done.
    bool execute(const QString& sql, qint64 expectedRows) const;

    // Transactions, where the host's data service offers them.
    bool hasTransactions() const;
    bool begin() const;
    bool commit() const;
    bool rollback() const;

    // Why the last call failed, and whether only because another user held the database.
    QString lastError() const;
    bool lastErrorIsBusy() const;

    // The reason given when a write changed another number of rows than it had to.
    static QString rowCountError(qint64 expected, qint64 changed);

private:
    const mdlPubVar& m_context;
    // Set when the last call failed here rather than in the host (a row count), cleared by the next.
    mutable QString m_ownError;
};

} // namespace corvan
