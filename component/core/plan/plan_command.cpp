// SPDX-License-Identifier: MIT
#include "core/plan/plan_command.h"

#include <QDir>
#include <QFileInfo>

#include "core/context/mdl_pub_var.h"
#include "core/plan/plan_run.h"
#include "core/plan/plan_template.h"

namespace corvan {

namespace {

constexpr int Passed = 0;
constexpr int Refused = 1;
constexpr int Unusable = 2;

const QString NoFiles = QStringLiteral("主机没有提供工作簿读写服务（TextWorkbookService），无法读写计划文件");

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
        for (const QString& line : outcome.message.split(QStringLiteral("\r\n")))
            (outcome.done() ? out : err)(line);
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

} // namespace corvan
