// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QSet>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace corvan::bench {

// What many users at once must leave behind in the database, read with plain SQL after a
// run: no room holds two BTSs of one network and no BTS stands in two rooms, no record code
// repeats, every relocation a user was told of is recorded once, and every record agrees
// with its journal entry and with the rooms and BTS rows it names.
class LoadChecks {
public:
    // A relocation a user was told had been committed.
    struct Commit {
        QString net; // G, C or D
        QString basecode;
        QString target; // room code
        QString record; // discode
    };

    explicit LoadChecks(const QSqlDatabase& db) : m_db(db) {}

    // The record codes in the database now, to tell a run's records from earlier ones.
    QSet<QString> recordCodes();
    // One line per violation found; empty when every invariant holds. commits are those of
    // the run that began when the database held the records before.
    QStringList run(const QList<Commit>& commits, const QSet<QString>& before);

private:
    // The rows of a query, each field as text (null as empty); a failed query is a violation.
    QList<QStringList> rows(const QString& sql);
    void checkRooms();
    void checkRecords(const QList<Commit>& commits, const QSet<QString>& before);
    void fail(const QString& text) { m_found << text; }

    QSqlDatabase m_db;
    QStringList m_found;
};

} // namespace corvan::bench
