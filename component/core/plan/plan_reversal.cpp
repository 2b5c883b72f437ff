// SPDX-License-Identifier: MIT
#include "core/plan/plan_reversal.h"

#include "core/context/busy_scope.h"
#include "core/context/mdl_pub_var.h"
#include "core/plan/plan_review.h"
#include "core/plan/plan_store.h"
#include "core/reversal/reversal.h"

namespace corvan {

const QString PlanReversal::NotPlanned = QStringLiteral("这条调整记录不属于任何批量调整计划。");
const QString PlanReversal::AllReversed = QStringLiteral("计划 %1 的调整都已撤销，不能再次撤销。");
const QString PlanReversal::Changed =
    QStringLiteral("计划中的调整已被其他用户改变，未作任何修改。请重新撤销计划。");

namespace {

QString who(const PlanReversal::Row& row)
{
    return QStringLiteral("第 %1 行（%2网，调整记录 %3）").arg(row.line).arg(row.net, row.discode);
}

// The plan's title and its relocations, last row first; a refusal when one of them was
// reversed on its own since.
bool readPlan(const mdlPubVar& context, PlanReversal::Preview& preview)
{
    const SystemDb& db = context.db();
    auto plan = db.open(PlanStore::planStatement(preview.plan));
    auto entries = db.open(PlanStore::entriesStatement(preview.plan));
    if (!plan || !entries) {
        preview.refusal = QStringLiteral("计划无法读取：") + db.lastError();
        return false;
    }
    if (plan->RecordCount() == 0 || entries->RecordCount() == 0) {
        preview.refusal = PlanReversal::NotPlanned;
        return false;
    }
    plan->MoveFirst();
    preview.title = plan->Text(0);
    // A plan reversed as a whole has every row reversed: that is what the user is told, not
    // that its first row was reversed on its own.
    QString reversedAlone;
    int reversed = 0;
    for (entries->MoveFirst(); !entries->isEOF(); entries->MoveNext()) {
        PlanReversal::Row row{
            entries->Text(1).toInt(), entries->Text(0), entries->Text(2), entries->Text(3), {}};
        preview.cities << entries->Text(5) << entries->Text(6);
        if (!entries->Text(4).isEmpty()) {
            ++reversed;
            if (reversedAlone.isEmpty())
                reversedAlone =
                    who(row) + QStringLiteral("：该调整已被记录 %1 单独撤销，计划不能再整体撤销。")
                                   .arg(entries->Text(4));
        }
        preview.rows.prepend(row);
    }
    if (reversed == 0)
        return true;
    preview.refusal =
        reversed == entries->RecordCount() ? PlanReversal::AllReversed.arg(preview.plan) : reversedAlone;
    preview.rows.clear();
    return false;
}

// Every row's reversal in the open transaction, last row first; against what the user
// confirmed when there is something confirmed.
CommitOutcome reverseAll(const mdlPubVar& context, QList<PlanReversal::Row>& rows,
                         const QList<PlanReversal::Row>* confirmed, QStringList* records)
{
    for (qsizetype i = 0; i < rows.size(); ++i) {
        PlanReversal::Row& row = rows[i];
        const Reversal::Plan plan = Reversal::plan(context, row.discode);
        if (!plan.ok())
            return CommitOutcome::refused(who(row) + QStringLiteral("：") + plan.refusal);
        if (confirmed && (confirmed->size() != rows.size() || confirmed->at(i).summary != plan.rows))
            return CommitOutcome::refused(PlanReversal::Changed);
        row.summary = plan.rows;
        const CommitOutcome written = Reversal::apply(context, plan);
        if (!written.done())
            return CommitOutcome::of(
                written.result == CommitOutcome::Result::Refused ? written.result
                                                                 : CommitOutcome::Result::Failed,
                who(row) + QStringLiteral("：") + Reversal::UndoneMessage +
                    (written.details.isEmpty() ? QString() : QStringLiteral("\r\n") + written.details),
                written.details);
        if (records)
            *records << written.recordCode;
    }
    return CommitOutcome::succeeded();
}

CommitOutcome begin(const SystemDb& db, const QStringList& cities)
{
    if (!db.hasTransactions())
        return CommitOutcome::refused(Reversal::NoTransactions);
    if (db.begin(cities))
        return CommitOutcome::succeeded();
    const QString reason = db.lastError();
    return CommitOutcome::failedOrBusy(db.lastErrorIsBusy(),
                                       Reversal::UndoneMessage + QStringLiteral("\r\n") + reason, reason);
}

} // namespace

QString PlanReversal::planOf(const mdlPubVar& context, const QString& discode)
{
    if (discode.isEmpty())
        return {};
    const auto plan = context.db().firstText(PlanStore::planOfRecordStatement(discode));
    return plan.value_or(QString()).trimmed();
}

PlanReversal::Preview PlanReversal::preview(const mdlPubVar& context, const QString& plan)
{
    Preview preview{plan, {}, {}, {}, {}};
    if (plan.isEmpty()) {
        preview.refusal = NotPlanned;
        return preview;
    }
    BusyScope busy(context);
    if (!readPlan(context, preview))
        return preview;
    const SystemDb& db = context.db();
    const CommitOutcome begun = begin(db, preview.cities);
    if (!begun.done()) {
        preview.refusal = begun.message;
        return preview;
    }
    // Tried for real and rolled back: a row whose reversal needs an earlier one's (a room
    // freed by it) is judged as the reversal will find it.
    const CommitOutcome tried = reverseAll(context, preview.rows, nullptr, nullptr);
    db.rollback();
    if (!tried.done())
        preview.refusal = tried.message;
    return preview;
}

CommitOutcome PlanReversal::run(const mdlPubVar& context, const Preview& confirmed, QStringList* records)
{
    if (!confirmed.ok())
        return CommitOutcome::refused(confirmed.refusal);
    const SystemDb& db = context.db();
    BusyScope busy(context);
    Preview now{confirmed.plan, {}, {}, {}, {}};
    if (!readPlan(context, now))
        return CommitOutcome::refused(now.refusal);
    CommitOutcome result = begin(db, now.cities);
    if (!result.done())
        return result;
    QStringList written;
    result = reverseAll(context, now.rows, &confirmed.rows, &written);
    if (!result.done()) {
        const bool busyNow = db.lastErrorIsBusy();
        db.rollback();
        if (busyNow)
            result.result = CommitOutcome::Result::Busy;
        return result;
    }
    // A plan applied from a review closes its review with the same commit.
    if (!PlanReview::noteReversed(context, now.plan)) {
        const CommitOutcome failed = CommitOutcome::failedOrBusy(
            db.lastErrorIsBusy(), Reversal::UndoneMessage + QStringLiteral("\r\n") + db.lastError(),
            db.lastError());
        db.rollback();
        return failed;
    }
    if (!db.commit())
        return CommitOutcome::failed(Reversal::UndoneMessage + QStringLiteral("\r\n") + db.lastError(),
                                     db.lastError());
    if (records)
        *records = written;
    result = CommitOutcome::succeeded(successMessage(int(written.size())));
    result.recordCode = written.value(0);
    return result;
}

QString PlanReversal::confirmation(const Preview& preview)
{
    return QStringLiteral(
               "将撤销计划“%1”的全部 %2 个调整：从最后一行起逐行撤销，恢复被删除的小区、天线、馈线，"
               "在一个事务中完成，任何一行不能撤销则全部不做。是否继续？")
        .arg(preview.title)
        .arg(preview.rows.size());
}

QString PlanReversal::successMessage(int reversed)
{
    return QStringLiteral("计划撤销成功：撤销调整 %1 个").arg(reversed);
}

} // namespace corvan
