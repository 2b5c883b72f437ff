// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace corvan {

// What one attempt at writing a relocation came to. The messages are for the user, who
// is told only once the work is over. ConnectionLost: the connection broke and the work was
// undone with it; trying again is all it takes once the host has connected anew.
struct CommitOutcome {
    enum class Result { Done, Refused, Busy, RecordFailed, Failed, ConnectionLost };
    Result result = Result::Failed;
    QString message; // what to tell the user; empty where nothing is told
    QString details; // the database's own words
    QString recordCode;
    QString step; // the step that failed, in the user's words
    // Told after the success of a relocation that was written but cannot be reversed (no
    // journal table, or a host without transactions that failed to write the journal).
    QString notice;

    bool done() const { return result == Result::Done; }

    // Work written; what to tell and the record's code where there is something.
    static CommitOutcome succeeded(const QString& message = {}, const QString& recordCode = {})
    {
        return {Result::Done, message, {}, recordCode, {}, {}};
    }
    // Work not attempted: the user is told why; nothing was written.
    static CommitOutcome refused(const QString& message)
    {
        return {Result::Refused, message, {}, {}, {}, {}};
    }
    // Work undone by a failure, with the database's words.
    static CommitOutcome failed(const QString& message, const QString& details = {})
    {
        return {Result::Failed, message, details, {}, {}, {}};
    }
    // Failed, or busy where the database said only that another user held it past the wait.
    static CommitOutcome failedOrBusy(bool busy, const QString& message, const QString& details = {})
    {
        return {busy ? Result::Busy : Result::Failed, message, details, {}, {}, {}};
    }
    static CommitOutcome of(Result result, const QString& message = {}, const QString& details = {})
    {
        return {result, message, details, {}, {}, {}};
    }
};

} // namespace corvan
