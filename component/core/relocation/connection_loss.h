// SPDX-License-Identifier: MIT
#pragma once

#include <optional>

#include <QString>

#include "core/relocation/commit_outcome.h"

namespace corvan {

class SystemDb;
class mdlPubVar;

// What a connection that broke while a change was written means to its user. The server
// keeps nothing of a transaction whose connection broke, so the change was not made and may
// simply be tried again, once the host has connected anew. Only when the connection broke
// while the commit itself was on its way can the server have committed before it went: then
// the record the change wrote tells which it was.
class ConnectionLoss {
public:
    // What was being written, in the words of its messages.
    enum class Work { Relocation, Reversal, RoomMove };

    // "与数据库的连接中断，本次调整未作任何修改，请重试。" and its like for the other works.
    static QString message(Work work);
    // The connection broke while the commit was on its way, and the record could not be read
    // after it to tell whether the change was kept.
    static QString unknownMessage(Work work);

    // When the last call of db failed because the connection broke: the outcome of the
    // change, which was undone, with the host's words after the message. Nothing otherwise.
    static std::optional<CommitOutcome> undone(const SystemDb& db, Work work);
    // After a commit that failed: when the connection broke on its way, the record whose
    // code the change wrote decides. Found, the change was committed (done is returned); not
    // found, it was undone; unreadable, the user is told that nobody can tell yet. Nothing
    // when the commit failed for another reason.
    static std::optional<CommitOutcome> afterCommit(const mdlPubVar& context, Work work,
                                                    const CommitOutcome& done);

    // The check that a record is there.
    static QString recordStatement(const QString& code);
};

} // namespace corvan
