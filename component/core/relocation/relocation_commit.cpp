// SPDX-License-Identifier: MIT
#include "core/relocation/relocation_commit.h"

#include "core/context/mdl_pub_var.h"
#include "core/context/sql_literal.h"
#include "core/journal/journal.h"
#include "core/relocation/bts_save.h"
#include "core/relocation/commit_steps.h"
#include "core/relocation/connection_loss.h"
#include "core/relocation/field_rules.h"
#include "core/relocation/relocation_record.h"
#include "core/rooms/room_lookup.h"

namespace corvan {

const QString RelocationCommit::SuccessMessage =
    QStringLiteral("基站调整成功\r\n请在资源维护中添加小区、天线、馈线的信息");
const QString RelocationCommit::RecordFailedMessage = QStringLiteral("保存调整记录失败");
// Told when a commit did not go through and left the database as it was; the reason follows.
const QString RelocationCommit::UndoneMessage = QStringLiteral("基站调整未能完成，数据库未作任何修改。");
const QString RelocationCommit::StaleBtsMessage =
    QStringLiteral("该基站已被其他用户调整，本次调整未作任何修改。请重新选择机房和基站后再调整。");
const QString RelocationCommit::StepRead = QStringLiteral("读取调整前的数据");
const QString RelocationCommit::StepBts = QStringLiteral("修改基站和机房");
const QString RelocationCommit::StepCells = QStringLiteral("删除小区");
const QString RelocationCommit::StepLines = QStringLiteral("删除天线和馈线");
const QString RelocationCommit::StepRecord = QStringLiteral("保存调整记录");
const QString RelocationCommit::StepJournal = QStringLiteral("保存调整日志");
const QString RelocationCommit::NoJournalNotice =
    QStringLiteral("数据库中没有调整日志表，此次调整已保存，但不能撤销。");
const QString RelocationCommit::JournalLostNotice =
    QStringLiteral("基站调整已保存（调整记录 %1），但调整日志未能保存，此次调整不能撤销。");
const QString RelocationCommit::BusyMessage =
    QStringLiteral("其他用户正在保存数据，数据库暂时无法写入，本次调整未作任何修改。\r\n是否重试？");

namespace {

// What the commit is about to overwrite and delete, as the journal keeps it.
Journal::Subject journalSubject(const MoveBtsState& state)
{
    Journal::Subject subject{state.net, state.btsCode, {state.oldRoomCode}, {}, {}, {}};
    if (state.movesRoom())
        subject.roomCodes << state.newRoomCode;
    for (const CellTable& cell : state.cellMap)
        subject.cellCodes << cell.cellcode;
    for (const LineEntry& line : state.lineList)
        (line.kind == LineEntry::Kind::Antenna ? subject.antennaCodes : subject.feederCodes) << line.code;
    return subject;
}

const QString NewLine = QStringLiteral("\r\n");

// A failed step: the database's words, and whether trying again may help. Only work
// undone as a whole may simply be tried again; without a transaction a failed step says
// nothing, as it always did.
CommitOutcome failure(const SystemDb& db, bool atomic,
                      CommitOutcome::Result result = CommitOutcome::Result::Failed)
{
    if (atomic)
        if (auto lost = ConnectionLoss::undone(db, ConnectionLoss::Work::Relocation))
            return *lost;
    CommitOutcome failed = CommitOutcome::of(result, {}, db.lastError());
    if (atomic && db.lastErrorIsBusy())
        failed.result = CommitOutcome::Result::Busy;
    if (atomic && failed.result == CommitOutcome::Result::Failed)
        failed.message = RelocationCommit::UndoneMessage +
                         (failed.details.isEmpty() ? QString() : NewLine + failed.details);
    return failed;
}

} // namespace

QString RelocationCommit::storedNumberStatement(const MoveBtsState& state)
{
    return QStringLiteral("select basenum from res_") + state.tableLetter() +
           QStringLiteral("bts where basecode='") + sqlText(state.btsCode) + QLatin1Char('\'');
}

bool RelocationCommit::saveBtsDataInDB(const mdlPubVar& context, const MoveBtsState& state)
{
    const QStringList statements = BtsSave::updateStatements(state);
    // A network without tables has nothing to write, which is a failure, not a success.
    if (statements.isEmpty())
        return false;
    // Each changes the one row it names: the BTS, the new room, the old room. The old room's
    // statement comes last and names no room when the BTS stood in none.
    for (qsizetype i = 0; i < statements.size(); ++i) {
        const bool noOldRoom = state.movesRoom() && i == statements.size() - 1 && state.oldRoomCode.isEmpty();
        if (!context.db().execute(statements.at(i), noOldRoom ? 0 : 1))
            return false;
    }
    return true;
}

CommitOutcome RelocationCommit::staleChange(const mdlPubVar& context, const MoveBtsState& state)
{
    const SystemDb& db = context.db();
    if (state.tableLetter().isEmpty())
        return CommitOutcome::refused(StaleBtsMessage);
    // A query that fails is the database's failure, not a sign that someone else was here.
    bool failed = false;
    const auto read = [&](const QString& sql) {
        auto rs = db.open(sql);
        failed = failed || !rs;
        if (!rs || rs->RecordCount() <= 0)
            return std::optional<QString>();
        rs->MoveFirst();
        return std::optional<QString>(rs->Text(0).trimmed());
    };
    if (state.movesRoom()) {
        const auto target = read(RoomLookup::roomCheckStatement(state.net, state.newRoomCode));
        if (failed)
            return failure(db, true);
        if (target && !target->isEmpty())
            return CommitOutcome::refused(FieldRules::roomTakenMessage(state));
    }
    // The BTS must still stand where the wizard found it: its room holds its number, as
    // stored (a number the host shows in its own format never matches its display text).
    if (!state.oldRoomCode.isEmpty()) {
        const auto number = read(storedNumberStatement(state));
        const auto room =
            failed ? std::nullopt : read(RoomLookup::roomCheckStatement(state.net, state.oldRoomCode));
        if (failed)
            return failure(db, true);
        if (!number || !room || *number != *room)
            return CommitOutcome::refused(StaleBtsMessage);
    }
    return CommitOutcome::succeeded();
}

CommitOutcome RelocationCommit::write(const mdlPubVar& context, const MoveBtsState& state,
                                      const SummaryRows& summary, bool atomic, const Journal::PlanRow& plan)
{
    const SystemDb& db = context.db();
    const auto failed = [&](const QString& step,
                            CommitOutcome::Result result = CommitOutcome::Result::Failed) {
        CommitOutcome outcome = failure(db, atomic, result);
        outcome.step = step;
        return outcome;
    };
    // What the steps overwrite and delete, read before they run, so that nothing is lost; a
    // database without the journal's table still relocates, only not reversibly.
    const bool journaled = context.journalTable().value_or(true);
    std::optional<Journal::Draft> journal;
    if (journaled && !(journal = Journal::before(context, journalSubject(state))))
        return failed(StepRead);
    if (!saveBtsDataInDB(context, state))
        return failed(StepBts);
    // The deletions remove exactly the rows the journal found: a cell deleted by someone else
    // since the wizard opened is no longer there to delete, any other difference is a failure.
    if (!CommitSteps::delCellDataFromDB(context, state,
                                        journal ? std::optional(journal->cellCodes) : std::nullopt))
        return failed(StepCells);
    if (!CommitSteps::delLineDataFromDB(
            context, state,
            journal ? std::optional(std::pair{journal->antennaCodes, journal->feederCodes}) : std::nullopt))
        return failed(StepLines);
    QString code;
    if (!RelocationRecord::saveModifyLog(context, state, summary, &code))
        return failed(StepRecord, CommitOutcome::Result::RecordFailed);
    CommitOutcome done = CommitOutcome::succeeded();
    done.recordCode = code;
    if (!journal) {
        done.notice = NoJournalNotice;
    } else if (!Journal::write(context, *journal, code, state.oldRoomCode,
                               state.movesRoom() ? state.newRoomCode : state.oldRoomCode, {}, plan)) {
        if (atomic)
            return failed(StepJournal);
        // Without a transaction the relocation and its record stand: say so, so that nobody
        // presses Commit again and writes it twice.
        const QString reason = db.lastError();
        done.notice = JournalLostNotice.arg(code) + (reason.isEmpty() ? QString() : NewLine + reason);
    }
    return done;
}

CommitOutcome RelocationCommit::run(const mdlPubVar& context, const MoveBtsState& state,
                                    const SummaryRows& summary)
{
    const SystemDb& db = context.db();
    // The four steps are one transaction where the host offers one: any failure undoes
    // them all, and the database is as it was before Commit.
    const bool atomic = db.hasTransactions();
    // Looked at outside the transaction, which a failed read would end on some engines.
    Journal::available(context);
    if (!atomic)
        return write(context, state, summary, false);
    // Without its transaction the commit could be left half done: it does not start.
    // The BTS's city and the target room's: writers of other cities go on meanwhile.
    if (!db.begin({state.cityCode, state.newCityCode}))
        return failure(db, true);
    // Another user may have filled the target room, or moved this BTS, since Next; the
    // lock the transaction holds keeps the answer true until the commit ends.
    CommitOutcome result = staleChange(context, state);
    if (result.done())
        result = write(context, state, summary, true);
    if (!result.done()) {
        db.rollback();
        return result;
    }
    if (!db.commit()) {
        if (auto settled = ConnectionLoss::afterCommit(context, ConnectionLoss::Work::Relocation, result))
            return *settled;
        return failure(db, true);
    }
    return result;
}

} // namespace corvan
