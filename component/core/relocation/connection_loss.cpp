// SPDX-License-Identifier: MIT
#include "core/relocation/connection_loss.h"

#include "core/context/mdl_pub_var.h"
#include "core/context/sql_literal.h"
#include "core/context/system_db.h"

namespace corvan {

namespace {

QString workName(ConnectionLoss::Work work)
{
    switch (work) {
    case ConnectionLoss::Work::Relocation:
        return QStringLiteral("调整");
    case ConnectionLoss::Work::Reversal:
        return QStringLiteral("撤销调整");
    case ConnectionLoss::Work::RoomMove:
        return QStringLiteral("整机房搬迁");
    }
    return {};
}

CommitOutcome lost(const QString& message, const QString& details)
{
    CommitOutcome outcome;
    outcome.result = CommitOutcome::Result::ConnectionLost;
    outcome.message = details.isEmpty() ? message : message + QStringLiteral("\r\n") + details;
    outcome.details = details;
    return outcome;
}

} // namespace

QString ConnectionLoss::message(Work work)
{
    return QStringLiteral("与数据库的连接中断，本次%1未作任何修改，请重试。").arg(workName(work));
}

QString ConnectionLoss::unknownMessage(Work work)
{
    return QStringLiteral("与数据库的连接在提交时中断，无法确认本次%1是否已保存。请在连接恢复后查看调整记录，"
                          "再决定是否重试。")
        .arg(workName(work));
}

QString ConnectionLoss::recordStatement(const QString& code)
{
    return QStringLiteral("select discode from h_btsdispatch where discode='") + sqlText(code) +
           QLatin1Char('\'');
}

std::optional<CommitOutcome> ConnectionLoss::undone(const SystemDb& db, Work work)
{
    if (!db.lastErrorIsConnectionLost())
        return std::nullopt;
    return lost(message(work), db.lastError());
}

std::optional<CommitOutcome> ConnectionLoss::afterCommit(const mdlPubVar& context, Work work,
                                                         const CommitOutcome& done)
{
    const SystemDb& db = context.db();
    if (!db.lastErrorIsConnectionLost())
        return std::nullopt;
    const QString reason = db.lastError();
    // A commit the host never sent wrote nothing: there is nothing to look for.
    if (db.lastCommitNotSent())
        return lost(message(work), reason);
    // A read outside any transaction: the host connects anew for it.
    const auto rows = db.open(recordStatement(done.recordCode));
    if (!rows)
        return lost(unknownMessage(work), reason);
    if (rows->RecordCount() > 0)
        return done;
    return lost(message(work), reason);
}

} // namespace corvan
