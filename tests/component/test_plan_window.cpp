// SPDX-License-Identifier: MIT
// The relocation plan window through its own buttons: a refused row blocks the apply, the
// check result is exported with its headings, and the corrected file applies in one commit.
#include <gtest/gtest.h>

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>

#include "core/context/mdl_pub_var.h"
#include "core/plan/plan_columns.h"
#include "core/plan/plan_template.h"
#include "corvan/controls/sheet.h"
#include "desktop/host_services.h"
#include "desktop/sheet_service_impl.h"
#include "relocation/frm_plan.h"
#include "support/plan_fixture.h"
#include "support/prompt_recorder.h"
#include "support/test_host.h"

using namespace corvan;
using corvan::test::PlanFixture;

namespace {

TEST(PlanWindow, ARefusedRowBlocksTheApplyTheResultIsExportedAndTheCorrectedFileApplies)
{
    test::TestDatabase db;
    PlanFixture::load(db, 60);
    test::TestHost host{db, QStringLiteral("admin")};
    test::PromptRecorder prompt;
    mdlPubVar context;
    context.setPrompt(&prompt);
    ASSERT_EQ(context.setServices(host.objectArray()), mdlPubVar::Services::Stored);
    const PlanColumns columns = PlanColumns::of(context);
    QStringList headings;
    for (const PlanColumn& column : columns.columns())
        headings << column.heading;
    const QList<PlanFixture::Move> moves = PlanFixture::moves(db, 3);
    // A planner's file: UTF-8 with a byte-order mark and CRLF lines; its row 3 names no C BTS.
    QTemporaryDir folder;
    const auto writeCsv = [&](const QString& name, const QString& number) {
        QList<QStringList> rows = PlanFixture::sheet(headings, moves);
        rows[2][headings.indexOf(QStringLiteral("基站编号"))] = number;
        QByteArray bytes("\xEF\xBB\xBF");
        for (const QStringList& row : std::as_const(rows))
            bytes += row.join(QLatin1Char(',')).toUtf8() + "\r\n";
        QFile file(folder.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        return file.fileName();
    };
    QString chosen = writeCsv(QStringLiteral("割接计划.csv"), QStringLiteral("9999999"));
    host::SheetServiceImpl* books = host.services()->sheets();
    books->setFileChooser([&](const QString&) { return folder.filePath(QStringLiteral("检查结果.xlsx")); });
    books->setDoneNotifier([](const QString&) {}); // no box to wait on
    const QStringList before = PlanFixture::resources(db);

    frmPlan window(context);
    window.setChooser([&chosen](bool save, const QString&) { return save ? QString() : chosen; });
    const auto click = [&window](const char* name) {
        window.findChild<QPushButton*>(QString::fromLatin1(name))->click();
    };
    click("cmdOpen");
    click("cmdCheck");
    EXPECT_EQ(window.sheet()->TextRC(2, 6), QStringLiteral("找不到编号为 9999999 的C网基站"));
    EXPECT_EQ(prompt.shown, QStringList{QStringLiteral(
                                "计划中有 1 行不能调整（见“结果”一列），请修改计划文件后重新选择并检查。")});
    EXPECT_FALSE(window.cmdApplyClick());
    EXPECT_EQ(PlanFixture::resources(db), before);

    // The exported result names its columns under the title, then the rows as shown.
    click("cmdExport");
    TextSheet written;
    ASSERT_TRUE(books->ReadTextSheet(folder.filePath(QStringLiteral("检查结果.xlsx")), {}, &written, nullptr,
                                     nullptr));
    EXPECT_EQ(written.rows.value(1).mid(0, PlanTemplate::resultHeadings().size()),
              PlanTemplate::resultHeadings());
    EXPECT_EQ(written.rows.value(3).value(5), QStringLiteral("找不到编号为 9999999 的C网基站"));

    // The corrected file chosen again, checked and applied once, the plan kept with its file's
    // name; what a plan's commit writes row by row is the core's to show.
    chosen = writeCsv(QStringLiteral("割接计划-改.csv"), moves.at(1).number);
    prompt.yes = true;
    click("cmdOpen");
    click("cmdCheck");
    click("cmdApply");
    EXPECT_EQ(prompt.shown.value(1),
              QStringLiteral("计划执行成功：调整基站 3 个\r\n请在资源维护中添加小区、天线、馈线的信息"));
    EXPECT_EQ(db.rows(QStringLiteral("select filename,planuser,rowcount from corvan_plan")),
              QStringList{QStringLiteral("割接计划-改.csv|admin|3")});
}

} // namespace
