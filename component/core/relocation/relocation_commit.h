// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "core/journal/journal.h"
#include "core/relocation/commit_outcome.h"
#include "core/relocation/move_bts_state.h"
#include "core/relocation/summary_row.h"

namespace corvan {

class mdlPubVar;

// The writing of one relocation, without a window: the re-checks a transaction makes
// true, the four steps in their order (BTS and rooms, cells, antennas and feeders, the
// record), and the transaction around them where the host offers one.
class RelocationCommit {
public:
    // Begin, re-check, write, commit; any failure rolls everything back. Without the host's
    // transactions the steps run one by one and a failure keeps what was written before it.
    static CommitOutcome run(const mdlPubVar& context, const MoveBtsState& state, const SummaryRows& summary);

    // Inside an open transaction: why this relocation can no longer go ahead (the target
    // room filled, the BTS moved by someone else), a database failure, or Done.
    static CommitOutcome staleChange(const mdlPubVar& context, const MoveBtsState& state);
    // The four steps and the journal entry of what they overwrote and deleted; Done with
    // the record's code, or the step's failure.
    // A row of a relocation plan names the plan in its journal entry.
    static CommitOutcome write(const mdlPubVar& context, const MoveBtsState& state,
                               const SummaryRows& summary, bool atomic, const Journal::PlanRow& plan = {});
    // saveBtsDataInDB: the BTS row, the new room, the old room, each only after the one
    // before succeeded. Nothing to write is a failure.
    static bool saveBtsDataInDB(const mdlPubVar& context, const MoveBtsState& state);

    // The BTS's number as stored, for the check that it still stands in its room.
    static QString storedNumberStatement(const MoveBtsState& state);

    static const QString SuccessMessage;
    static const QString RecordFailedMessage;
    static const QString UndoneMessage;
    static const QString StaleBtsMessage;
    static const QString BusyMessage;
    // The steps of write, as a message names the one that failed.
    static const QString StepRead;
    static const QString StepBts;
    static const QString StepCells;
    static const QString StepLines;
    static const QString StepRecord;
    static const QString StepJournal;
    static const QString NoJournalNotice;
    static const QString JournalLostNotice;
};

} // namespace corvan
