// SPDX-License-Identifier: MIT
#pragma once

#include <memory>
#include <optional>

#include <QString>
#include <QStringList>

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

    // The same, with values bound to the statement's "?" (a null text is null): where the host
    // cannot bind them, they are written into the statement as quoted texts.
    bool execute(const QString& sql, const QStringList& values, qint64 expectedRows) const;

    // Transactions, where the host's data service offers them.
    bool hasTransactions() const;
    // Begins a transaction that writes in those cities (codes), which the host locks where it
    // locks writers by city; false, and nothing open, when the transaction or a city's lock
    // could not be had.
    bool begin(const QStringList& cities) const;
    // Whether the host locks writers by city, so that a transaction must name its cities.
    bool locksByCity() const;
    bool commit() const;
    bool rollback() const;

    // Why the last call failed, and whether only because another user held the database.
    QString lastError() const;
    bool lastErrorIsBusy() const;
    // Whether the last call failed because the connection to the database broke (or could
    // not be made again): a transaction open then is gone as a whole.
    bool lastErrorIsConnectionLost() const;
    // After a failed commit: the host says it never sent it, so nothing of the transaction was
    // written. False where the host cannot say.
    bool lastCommitNotSent() const;

    // While one lives, the queries of open() and firstText() only report what was written
    // (the history, its chart and exports): the host may answer them from a standby server.
    // Never around a read that a write depends on.
    class ReportReads {
    public:
        explicit ReportReads(const SystemDb& db) : m_db(db) { ++m_db.m_reportReads; }
        ~ReportReads() { --m_db.m_reportReads; }
        ReportReads(const ReportReads&) = delete;
        ReportReads& operator=(const ReportReads&) = delete;

    private:
        const SystemDb& m_db;
    };

    // The reason given when a write changed another number of rows than it had to.
    static QString rowCountError(qint64 expected, qint64 changed);

private:
    const mdlPubVar& m_context;
    // Set when the last call failed here rather than in the host (a row count), cleared by the next.
    mutable QString m_ownError;
    mutable bool m_ownBusy = false;
    mutable int m_reportReads = 0;
    // A transaction this road began and has not ended: its reads stay on its connection.
    mutable bool m_inTransaction = false;
};

} // namespace corvan
