// SPDX-License-Identifier: MIT
#include "core/plan/plan_command.h"

#include <QDir>
#include <QFileInfo>

#include "core/context/divisions.h"
#include "core/context/mdl_pub_var.h"
#include "core/plan/plan_reversal.h"
#include "core/plan/plan_review.h"
#include "core/plan/plan_run.h"
#include "core/plan/plan_store.h"
#include "core/plan/plan_template.h"

namespace corvan {

namespace {

constexpr int Passed = 0;
constexpr int Refused = 1;
constexpr int Unusable = 2;

const QString NoFiles = QStringLiteral("主机没有提供工作簿读写服务（TextWorkbookService），无法读写计划文件");

// A message of the core, one line per line of it.
void lines(const QString& message, const PlanCommand::Lines& to)
{
    for (const QString& line : message.split(QStringLiteral("\r\n")))
        to(line);
}

bool writable(const QString& path)
{
    const QFileInfo file(path);
    const QFileInfo folder(file.absolutePath());
    return folder.isDir() && folder.isWritable() && !file.isDir();
}

// The plan of a file, loaded: its sheet and its bytes' digest too.
bool loadFile(const mdlPubVar& context, const QString& path, PlanRun& plan, TextSheet* sheet,
              QByteArray* digest, const PlanCommand::Lines& err)
{
    TextWorkbookService* files = context.TextWorkbookService();
    if (!files) {
        err(NoFiles);
        return false;
    }
    QString error;
    if (!files->ReadTextSheet(path, PlanTemplate::PlanSheet, sheet, digest, &error) ||
        !plan.load(sheet->rows, &error)) {
        err(error);
        return false;
    }
    return true;
}

// Told only for plans long enough to keep a script waiting.
PlanRun::Progress progressOf(const QString& doing, const PlanCommand::Lines& err)
{
    return [doing, err](int done, int total) {
        if (total > PlanCommand::ProgressFrom && (done % PlanCommand::ProgressFrom == 0 || done == total))
            err(QStringLiteral("%1 %2/%3 行").arg(doing).arg(done).arg(total));
        return true;
    };
}

void resultLines(const PlanRun& plan, const PlanCommand::Lines& out)
{
    for (const PlanRowResult& result : plan.results())
        out(PlanTemplate::resultLine(result));
    out(PlanTemplate::totalsLine(plan.totals()));
}

// A review's number from its code, or the unknown code told.
int reviewNumber(const QString& code, const PlanCommand::Lines& err)
{
    const int number = ReviewRules::numberOf(code);
    if (number <= 0)
        err(QStringLiteral("“%1”不是审核计划的编号（如 R12）").arg(code));
    return number;
}

PlanSource sourceOf(const QString& path, const QByteArray& digest)
{
    return {QFileInfo(path).completeBaseName(), QFileInfo(path).fileName(),
            QString::fromLatin1(digest.toHex())};
}

int statusOf(const CommitOutcome& outcome)
{
    return outcome.done() ? Passed : Refused;
}

} // namespace

int PlanCommand::writeTemplate(const mdlPubVar& context, const QString& path, const Lines& out,
                               const Lines& err)
{
    TextWorkbookService* files = context.TextWorkbookService();
    if (!files) {
        err(NoFiles);
        return Unusable;
    }
    QString error;
    if (!files->WriteTextWorkbook(path, PlanTemplate::sheets(context, PlanColumns::of(context)), &error)) {
        err(QStringLiteral("计划模板未能写入 %1：%2").arg(QDir::toNativeSeparators(path), error));
        return Unusable;
    }
    out(QStringLiteral("计划模板已写入：%1")
            .arg(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath())));
    return Passed;
}

int PlanCommand::run(const mdlPubVar& context, const QString& path, bool apply, const QString& report,
                     const Lines& out, const Lines& err)
{
    TextWorkbookService* files = context.TextWorkbookService();
    if (!files) {
        err(NoFiles);
        return Unusable;
    }
    if (!report.isEmpty() && !writable(report)) {
        err(QStringLiteral("无法写入检查结果 %1：文件夹不存在或不可写")
                .arg(QDir::toNativeSeparators(report)));
        return Unusable;
    }
    TextSheet sheet;
    QByteArray digest;
    QString error;
    PlanRun plan(context);
    if (!loadFile(context, path, plan, &sheet, &digest, err))
        return Unusable;
    CommitOutcome outcome = plan.check(progressOf(QStringLiteral("已检查"), err));
    int status = statusOf(outcome);
    if (outcome.done() && apply && PlanReview::required(context, plan.cities())) {
        // Where the province reviews its plans, a file is submitted, never applied as it is.
        outcome =
            CommitOutcome::failed(PlanReview::ReviewNeeded + QStringLiteral("：corvan plan submit ") + path);
        status = Refused;
    } else if (outcome.done() && apply) {
        outcome = plan.apply(sourceOf(path, digest), progressOf(QStringLiteral("已执行"), err));
        status = statusOf(outcome);
    }
    resultLines(plan, out);
    if (!outcome.message.isEmpty() && (outcome.done() || outcome.result != CommitOutcome::Result::Refused))
        lines(outcome.message, outcome.done() ? out : err);
    if (apply && outcome.done() && !outcome.recordCode.isEmpty())
        out(reverseHint(context, outcome.recordCode, plan.results().value(0).record));
    if (!report.isEmpty() && !plan.results().isEmpty() &&
        !files->WriteTextWorkbook(report, {PlanTemplate::resultSheet(plan.results(), plan.totals())},
                                  &error)) {
        err(QStringLiteral("检查结果未能写入 %1：%2").arg(QDir::toNativeSeparators(report), error));
        // An applied plan stays applied; only a check is spoilt by a report it could not leave.
        if (!(apply && outcome.done()))
            status = Unusable;
    }
    return status;
}

int PlanCommand::reverse(const mdlPubVar& context, const QString& code, const Lines& out, const Lines& err)
{
    const QString given = code.trimmed();
    // Plan codes and record codes are numbered each on their own, so one code can name a
    // plan and a record applied in another plan: which one was meant is never guessed.
    const QString planOfRecord = PlanReversal::planOf(context, given);
    const bool isPlan = !given.isEmpty() && context.db().firstText(PlanStore::planStatement(given));
    if (isPlan && !planOfRecord.isEmpty() && planOfRecord != given) {
        err(ambiguousCode(given, planOfRecord));
        return Unusable;
    }
    const QString plan = isPlan ? given : planOfRecord;
    if (plan.isEmpty()) {
        err(unknownCode(given));
        return Unusable;
    }
    const PlanReversal::Preview preview = PlanReversal::preview(context, plan);
    if (!preview.ok()) {
        lines(preview.refusal, err);
        return Refused;
    }
    QStringList records;
    const CommitOutcome outcome = PlanReversal::run(context, preview, &records);
    if (!outcome.done()) {
        // Held by another user too: nothing written, and the command can be run again.
        lines(outcome.message, err);
        return Refused;
    }
    for (qsizetype i = 0; i < preview.rows.size(); ++i) {
        const PlanReversal::Row& row = preview.rows.at(i);
        out(QStringLiteral("第 %1 行\t%2\t%3\t%4\t撤销记录 %5")
                .arg(row.line)
                .arg(row.net, row.basecode, row.discode, records.value(i)));
    }
    lines(outcome.message, out);
    return Passed;
}

int PlanCommand::submit(const mdlPubVar& context, const QString& path, const QString& review,
                        const Lines& out, const Lines& err)
{
    const int number = review.isEmpty() ? 0 : reviewNumber(review, err);
    if (!review.isEmpty() && number <= 0)
        return Unusable;
    TextSheet sheet;
    QByteArray digest;
    PlanRun plan(context);
    if (!loadFile(context, path, plan, &sheet, &digest, err))
        return Unusable;
    CommitOutcome outcome = plan.check(progressOf(QStringLiteral("已检查"), err));
    resultLines(plan, out);
    if (!outcome.done()) {
        if (outcome.result != CommitOutcome::Result::Refused)
            lines(outcome.message, err);
        err(QStringLiteral("计划须每一行都可以调整才能提交审核，未作任何修改"));
        return Refused;
    }
    outcome = PlanReview::submit(context, plan, sheet.rows, sourceOf(path, digest), number);
    lines(outcome.message, outcome.done() ? out : err);
    return statusOf(outcome);
}

int PlanCommand::list(const mdlPubVar& context, const QString& state, const Lines& out, const Lines& err)
{
    std::optional<ReviewState> only;
    if (!state.isEmpty() && !(only = ReviewRules::stateOf(state))) {
        err(QStringLiteral("没有“%1”这种状态：可以是 待审核、已批准、已退回、已撤回、已执行、已撤销")
                .arg(state));
        return Unusable;
    }
    QString error;
    const QList<Review> reviews = PlanReview::list(context, only, &error);
    if (!error.isEmpty()) {
        err(error);
        return Refused;
    }
    out(QStringLiteral("编号\t状态\t版本\t行数\t标题\t提交人\t提交时间\t审核人\t审核时间\t计划编号"));
    for (const Review& review : reviews) {
        const std::optional<ReviewStep> decision = review.decision();
        out(QStringList{review.code(), ReviewRules::stateCaption(review.state()),
                        QString::number(review.latest().version), QString::number(review.latest().rows),
                        review.latest().title, review.author(), review.latest().submitted,
                        decision ? decision->actor : QString(), decision ? decision->time : QString(),
                        review.appliedPlan()}
                .join(QLatin1Char('\t')));
    }
    out(QStringLiteral("共 %1 个").arg(reviews.size()));
    return Passed;
}

int PlanCommand::show(const mdlPubVar& context, const QString& code, const Lines& out, const Lines& err)
{
    const int number = reviewNumber(code, err);
    if (number <= 0)
        return Unusable;
    QString error;
    const std::optional<Review> review = PlanReview::read(context, number, true, &error);
    if (!review) {
        err(error.isEmpty() ? QStringLiteral("没有审核计划 %1").arg(ReviewRules::codeText(number)) : error);
        return error.isEmpty() ? Unusable : Refused;
    }
    const ReviewVersion& latest = review->latest();
    out(QStringLiteral("审核计划 %1：%2（%3，第 %4 版，%5 行）")
            .arg(review->code(), latest.title, latest.fileName)
            .arg(latest.version)
            .arg(latest.rows));
    out(QStringLiteral("状态：") + ReviewRules::stateCaption(review->state()));
    out(QStringLiteral("提交人：%1（%2）").arg(review->author(), latest.submitted));
    QStringList cityNames;
    for (const QString& city : latest.cities)
        cityNames << mdlPubFun::GetCityName(context, city);
    out(QStringLiteral("地市：") + cityNames.join(QStringLiteral("、")));
    out(QStringLiteral("提交时的检查结果："));
    for (const PlanRowResult& result : latest.verdicts)
        out(PlanTemplate::resultLine(result));
    out(PlanTemplate::totalsLine(PlanRun::totalsOf(latest.verdicts)));
    // Before it is applied, what its rows would do now, whoever asks: the reviewer decides on
    // the database as it stands.
    if (review->state() == ReviewState::Waiting || review->state() == ReviewState::Approved) {
        PlanRun now(context);
        now.setReviewing(true);
        if (now.load(latest.sheet, &error)) {
            const CommitOutcome checked = now.check();
            out(QStringLiteral("现在检查的结果："));
            if (checked.result == CommitOutcome::Result::Failed ||
                checked.result == CommitOutcome::Result::Busy)
                out(checked.message);
            for (const PlanRowResult& result : now.results())
                out(PlanTemplate::resultLine(result));
            if (!now.results().isEmpty())
                out(PlanTemplate::totalsLine(now.totals()));
        }
    }
    out(QStringLiteral("审核记录："));
    for (const ReviewStep& step : review->log)
        out(QStringList{QStringLiteral("第 %1 步").arg(step.step),
                        QStringLiteral("第 %1 版").arg(step.version), ReviewRules::actionCaption(step.action),
                        step.actor, step.time,
                        step.plan.isEmpty() ? step.comment : QStringLiteral("计划编号 ") + step.plan}
                .join(QLatin1Char('\t')));
    return Passed;
}

int PlanCommand::decide(const mdlPubVar& context, const QString& code, const QString& decision,
                        const QString& comment, const Lines& out, const Lines& err)
{
    static const QList<ReviewAction> decisions{ReviewAction::Approve, ReviewAction::Return,
                                               ReviewAction::Withdraw};
    const std::optional<ReviewAction> action = ReviewRules::actionOf(decision);
    if (!action || !decisions.contains(*action)) {
        err(QStringLiteral("审核只能批准（approve）、退回（return）或撤回（withdraw），不能“%1”")
                .arg(decision));
        return Unusable;
    }
    const int number = reviewNumber(code, err);
    if (number <= 0)
        return Unusable;
    const CommitOutcome outcome = PlanReview::decide(context, number, *action, comment);
    lines(outcome.message, outcome.done() ? out : err);
    return statusOf(outcome);
}

int PlanCommand::applyReviewed(const mdlPubVar& context, const QString& code, const Lines& out,
                               const Lines& err)
{
    const int number = ReviewRules::numberOf(code);
    if (number <= 0) {
        err(QStringLiteral("“%1”既不是计划文件，也不是审核计划的编号（如 R12）").arg(code));
        return Unusable;
    }
    PlanRun plan(context);
    const CommitOutcome outcome =
        PlanReview::apply(context, number, plan, progressOf(QStringLiteral("已执行"), err));
    if (!plan.results().isEmpty())
        resultLines(plan, out);
    lines(outcome.message, outcome.done() ? out : err);
    if (outcome.done())
        out(reverseHint(context, outcome.recordCode, plan.results().value(0).record));
    return statusOf(outcome);
}

QString PlanCommand::reverseHint(const mdlPubVar& context, const QString& plan, const QString& firstRecord)
{
    // A plan's code that is also the code of a record of an earlier plan would be refused as
    // ambiguous; the record of its own first row names it alone.
    const QString other = PlanReversal::planOf(context, plan);
    const QString code = other.isEmpty() || other == plan || firstRecord.isEmpty() ? plan : firstRecord;
    return QStringLiteral("计划编号：%1（撤销整个计划：corvan plan reverse %2）").arg(plan, code);
}

QString PlanCommand::unknownCode(const QString& code)
{
    return QStringLiteral("“%1”既不是批量调整计划的编号，也不是计划中调整的记录编号").arg(code);
}

QString PlanCommand::ambiguousCode(const QString& code, const QString& otherPlan)
{
    return QStringLiteral("“%1”既是计划 %1 的编号，又是计划 %2 中一个调整的记录编号，未作任何修改；"
                          "请改用要撤销的计划中另一个调整的记录编号")
        .arg(code, otherPlan);
}

} // namespace corvan
