// SPDX-License-Identifier: MIT
#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include "core/journal/journal.h"
#include "core/relocation/move_bts_state.h"
#include "core/relocation/relocation_commit.h"

namespace corvan {

class mdlPubVar;

// Undoing a relocation from its journal entry: the BTS's columns the relocation changed back
// to what they were, the two rooms' network columns back, the deleted cells, antennas and
// feeders restored, and the ones entered for the BTS since deleted. A reversal is itself a
// relocation with a record and a journal entry of its own, so it can be reversed in turn:
// always the latest change still in force first.
class Reversal {
public:
    // A statement of the reversal and the rows it must change.
    struct Write {
        QString sql;
        qint64 rows = 1;
        bool operator==(const Write&) const = default;
    };

    struct Plan {
        QString refusal;      // why the record cannot be reversed; empty when it can
        Journal::Entry entry; // the relocation to reverse
        SummaryRows rows;     // what the user confirms
        QList<Write> writes;  // in the order they run
        MoveBtsState record;  // net, cities and rooms of the reversal's own record
        QJsonObject journal;  // the reversal's own entry: what it overwrites and deletes
        bool ok() const { return refusal.isEmpty(); }
    };

    // Reads what a reversal of the record would change, and whether it may.
    static Plan plan(const mdlPubVar& context, const QString& discode);
    // In one transaction: plans again, refuses when anything differs from what the user
    // confirmed, writes, records and journals the reversal and marks the record reversed.
    // A host without transactions is refused: a reversal is never half done.
    static CommitOutcome run(const mdlPubVar& context, const QString& discode, const SummaryRows& confirmed);
    // Inside a transaction the caller opened, a plan made in it: its writes, the reversal's
    // record and journal entry, the reversed entry's mark. Done with the reversal's record
    // code, or Failed with the database's words; the caller rolls back.
    static CommitOutcome apply(const mdlPubVar& context, const Plan& plan);

    // The title row of a reversal's summary and record.
    static QString title(const QString& cityName, const QString& net, const QString& roomName,
                         const QString& discode);

    static const QString SuccessMessage;
    static const QString UndoneMessage;
    static const QString NoJournal;
    static const QString AlreadyReversed;
    static const QString BtsGone;
    static const QString BtsChanged;
    static const QString LaterFirst;
    static const QString RoomTaken;
    static const QString RoomGone;
    static const QString CodeTaken;
    static const QString NoRight;
    static const QString NotOfRecord;
    static const QString NoTransactions;
    static const QString Changed;
};

} // namespace corvan
