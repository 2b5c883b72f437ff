// SPDX-License-Identifier: MIT
#include "core/plan/plan_command.h"

#include <QDir>
#include <QFileInfo>

#include "core/context/mdl_pub_var.h"
#include "core/plan/plan_reversal.h"
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
    if (!files->ReadTextSheet(path, PlanTemplate::PlanSheet, &sheet, &digest, &error) ||
        !plan.load(sheet.rows, &error)) {
        err(error);
        return Unusable;
    }
    const int rows = plan.rowCount();
    const auto progress = [&](const QString& doing) -> PlanRun::Progress {
        if (rows <= ProgressFrom)
            return {};
        return [doing, err](int done, int total) {
            if (done % ProgressFrom == 0 || done == total)
                err(QStringLiteral("%1 %2/%3 行").arg(doing).arg(done).arg(total));
            return true;
        };
    };
    CommitOutcome outcome = plan.check(progress(QStringLiteral("已检查")));
    int status = outcome.done() ? Passed : Refused;
    if (outcome.done() && apply) {
        outcome = plan.apply({QFileInfo(path).completeBaseName(), QFileInfo(path).fileName(),
                              QString::fromLatin1(digest.toHex())},
                             progress(QStringLiteral("已执行")));
        status = outcome.done() ? Passed : Refused;
    }
    for (const PlanRowResult& result : plan.results())
        out(PlanTemplate::resultLine(result));
    out(PlanTemplate::totalsLine(plan.totals()));
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
