// SPDX-License-Identifier: MIT
// A plan's review through the windows, as its author (admin) and its reviewer (reviewer) click
// them at two desks on one database whose province requires review: the plan window submits
// instead of applying, the reviewer sees the rows checked now, returns the plan with a reason,
// the author sends the corrected file as its next version, the reviewer approves, the author
// applies it from the review window and exports the list; the main window tells the reviewer
// at start what waits for them.
#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QToolBar>

#include "browser/frm_main.h"
#include "core/context/mdl_pub_var.h"
#include "core/plan/plan_columns.h"
#include "core/plan/plan_review.h"
#include "corvan/controls/sheet.h"
#include "desktop/host_services.h"
#include "desktop/sheet_service_impl.h"
#include "entry/cls_main.h"
#include "history/frm_view_history.h"
#include "relocation/frm_plan.h"
#include "relocation/frm_reviews.h"
#include "support/plan_fixture.h"
#include "support/prompt_recorder.h"
#include "support/test_host.h"

using namespace corvan;
using namespace Qt::StringLiterals;
using corvan::test::PlanFixture;

namespace {

// One user's desk: host services on the shared database, its messages recorded, yes to every
// question.
struct Desk {
    Desk(test::TestDatabase& db, const QString& user) : host(db, user)
    {
        prompt.yes = true;
        context.setPrompt(&prompt);
        EXPECT_EQ(context.setServices(host.objectArray()), mdlPubVar::Services::Stored);
    }
    QString told()
    {
        const QString last = prompt.shown.value(prompt.shown.size() - 1);
        prompt.shown.clear();
        return last;
    }
    test::TestHost host;
    test::PromptRecorder prompt;
    mdlPubVar context;
};

QPushButton* button(QWidget* window, const char* name)
{
    return window->findChild<QPushButton*>(QString::fromLatin1(name));
}

TEST(ReviewWindows, SubmittedReturnedResubmittedApprovedAndAppliedByClicks)
{
    test::TestDatabase db;
    PlanFixture::load(db, 60);
    db.exec(u"insert into corvan_review_setting(pro_id, required) values ('4', '1')"_s);
    Desk author(db, u"admin"_s);
    Desk reviewer(db, u"reviewer"_s);
    QStringList headings;
    const PlanColumns columns = PlanColumns::of(author.context);
    for (const PlanColumn& column : columns.columns())
        headings << column.heading;
    const QList<PlanFixture::Move> moves = PlanFixture::moves(db, 3);
    QTemporaryDir folder;
    const QString file = folder.filePath(u"割接计划.csv"_s);
    const auto save = [&](const QList<PlanFixture::Move>& rows) {
        QByteArray bytes;
        for (const QStringList& row : PlanFixture::sheet(headings, rows))
            bytes += row.join(u',').toUtf8() + "\r\n";
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size());
    };
    save(moves.mid(0, 2));
    const QStringList before = PlanFixture::resources(db);

    // The plan window submits; 执行计划 stays disabled and says why.
    {
        frmPlan plan(author.context);
        plan.setChooser([&](bool, const QString&) { return file; });
        button(&plan, "cmdOpen")->click();
        button(&plan, "cmdCheck")->click();
        EXPECT_TRUE(plan.reviewRequired());
        EXPECT_FALSE(button(&plan, "cmdApply")->isEnabled());
        EXPECT_EQ(button(&plan, "cmdApply")->toolTip(), PlanReview::ReviewNeeded);
        EXPECT_EQ(plan.findChild<QLabel*>(u"lblTotal"_s)->text(),
                  plan.totalsText() + u"；须经审核批准后执行：请点“提交审核”"_s);
        ASSERT_TRUE(button(&plan, "cmdSubmit")->isEnabled());
        button(&plan, "cmdSubmit")->click();
        EXPECT_EQ(author.told(), u"计划已提交审核：R1（第 1 版，2 行）"_s);
        EXPECT_FALSE(button(&plan, "cmdSubmit")->isEnabled());
    }

    // The reviewer's list and detail: the rows checked now beside their verdict at submission.
    frmReviews review(reviewer.context);
    ASSERT_EQ(review.list()->MaxRow(), 1);
    EXPECT_EQ(review.list()->TextRC(1, 1), u"R1"_s);
    EXPECT_EQ(review.list()->TextRC(1, 2), u"待审核"_s);
    EXPECT_EQ(review.list()->TextRC(1, 6), u"admin"_s);
    ASSERT_EQ(review.rows()->MaxRow(), 2);
    EXPECT_EQ(review.rows()->TextRC(1, 6), u"可以调整"_s);
    EXPECT_EQ(review.rows()->TextRC(1, 11), u"可以调整"_s);
    const struct {
        const char* name;
        bool enabled;
        QString tip;
    } reviewerSees[] = {
        {"cmdApprove", true, u"批准这一版计划：批准后可以执行"_s},
        {"cmdReturn", true, u"把计划退回提交人修改（须写明原因）"_s},
        {"cmdWithdraw", false, u"只有计划的提交人 admin 能撤回"_s},
        {"cmdResubmit", false, u"只有计划的提交人 admin 能提交"_s},
        {"cmdApply", false, u"该计划待审核，不能执行"_s},
    };
    for (const auto& seen : reviewerSees) {
        EXPECT_EQ(button(&review, seen.name)->isEnabled(), seen.enabled) << seen.name;
        EXPECT_EQ(button(&review, seen.name)->toolTip(), seen.tip) << seen.name;
    }
    // A return without a reason is not sent; with one, it is.
    button(&review, "cmdReturn")->click();
    EXPECT_EQ(reviewer.told(), u"退回计划须写明原因：请在“审核意见”中填写。"_s);
    EXPECT_EQ(review.list()->TextRC(1, 2), u"待审核"_s);
    review.findChild<QLineEdit*>(u"txtComment"_s)->setText(u"少了第三个基站"_s);
    button(&review, "cmdReturn")->click();
    EXPECT_EQ(reviewer.told(), u"计划 R1 已退回"_s);
    EXPECT_EQ(review.list()->TextRC(1, 2), u"已退回"_s);
    EXPECT_EQ(review.list()->TextRC(1, 8), u"reviewer"_s);

    // The author reads the reason and sends the corrected file as the next version.
    frmReviews mine(author.context);
    EXPECT_TRUE(mine.logText().contains(u"退回  reviewer  第 1 版  少了第三个基站"_s))
        << mine.logText().toStdString();
    ASSERT_TRUE(button(&mine, "cmdResubmit")->isEnabled())
        << button(&mine, "cmdResubmit")->toolTip().toStdString();
    QSignalSpy resubmit(&mine, &frmReviews::resubmitRequested);
    button(&mine, "cmdResubmit")->click();
    ASSERT_EQ(resubmit.size(), 1);
    save(moves);
    {
        frmPlan plan(author.context);
        plan.setReview(resubmit.at(0).at(0).toInt());
        EXPECT_EQ(plan.windowTitle(), u"批量调整计划 - 重新提交审核计划 R1"_s);
        plan.setChooser([&](bool, const QString&) { return file; });
        button(&plan, "cmdOpen")->click();
        button(&plan, "cmdCheck")->click();
        button(&plan, "cmdSubmit")->click();
        EXPECT_EQ(author.told(), u"计划已提交审核：R1（第 2 版，3 行）"_s);
    }

    review.refresh();
    ASSERT_TRUE(button(&review, "cmdApprove")->isEnabled());
    button(&review, "cmdApprove")->click();
    EXPECT_EQ(reviewer.told(), u"计划 R1 已批准"_s);
    EXPECT_EQ(PlanFixture::resources(db), before);

    mine.refresh();
    ASSERT_TRUE(button(&mine, "cmdApply")->isEnabled()) << button(&mine, "cmdApply")->toolTip().toStdString();
    QSignalSpy applied(&mine, &frmReviews::applied);
    button(&mine, "cmdApply")->click();
    ASSERT_EQ(applied.size(), 1);
    const QString plan = applied.at(0).at(0).toString();
    EXPECT_TRUE(author.told().endsWith(u"\r\n计划编号："_s + plan));
    EXPECT_EQ(mine.list()->TextRC(1, 2), u"已执行"_s);
    EXPECT_EQ(mine.list()->TextRC(1, 10), plan);
    EXPECT_EQ(mine.rows()->TextRC(3, 10),
              db.rows(u"select discode from corvan_journal where plancode = '%1' and planrow = 4"_s.arg(plan))
                  .value(0));
    EXPECT_EQ(db.rows(u"select rowcount, planuser from corvan_plan where plancode = '%1'"_s.arg(plan)),
              QStringList{u"3|admin"_s});
    EXPECT_NE(PlanFixture::resources(db), before);

    // The record view names the plan, its author and its reviewer.
    {
        frmViewHistory history(author.context);
        history.showHistory(
            db.rows(u"select discode from corvan_journal where plancode = '%1' and planrow = 2"_s.arg(plan))
                .value(0));
        const QLabel* origin = history.findChild<QLabel*>(u"lblPlan"_s);
        ASSERT_NE(origin, nullptr);
        EXPECT_FALSE(origin->isHidden());
        EXPECT_TRUE(origin->text().startsWith(
            u"批量调整计划 %1（割接计划）第 2 行：提交人 admin，审核人 reviewer（审核计划 R1，"_s.arg(plan)))
            << origin->text().toStdString();
    }

    // The list as a workbook, beside the plan file.
    host::SheetServiceImpl* books = author.host.services()->sheets();
    books->setFileChooser([&](const QString&) { return folder.filePath(u"审核计划.xlsx"_s); });
    books->setDoneNotifier([](const QString&) {});
    EXPECT_TRUE(mine.exportList());
    EXPECT_GT(QFileInfo(folder.filePath(u"审核计划.xlsx"_s)).size(), 0);
}

TEST(ReviewWindows, TheMainWindowTellsAReviewerAtStartHowManyPlansWaitForThem)
{
    test::TestDatabase db;
    PlanFixture::load(db, 40);
    Desk author(db, u"admin"_s);
    QStringList headings;
    const PlanColumns columns = PlanColumns::of(author.context);
    for (const PlanColumn& column : columns.columns())
        headings << column.heading;
    const QList<QStringList> sheet = PlanFixture::sheet(headings, PlanFixture::moves(db, 2));
    for (int i = 0; i < 2; ++i) {
        PlanRun run(author.context);
        QString error;
        ASSERT_TRUE(run.load(sheet, &error));
        ASSERT_TRUE(run.check().done());
        ASSERT_TRUE(PlanReview::submit(author.context, run, sheet, {u"t"_s, u"t.csv"_s, u"0"_s}).done());
    }
    // The author is no reviewer of their own plans; the reviewer has two waiting.
    for (const auto& [user, tool, status] :
         {std::tuple{u"reviewer"_s, u"审核计划(2)"_s, u"有 2 个调整计划等待您审核：请点“审核计划”"_s},
          std::tuple{u"admin"_s, u"审核计划"_s, QString()}}) {
        test::TestHost host(db, user);
        clsMain component;
        component.initEnv(host.objectArray());
        component.ShowMainForm();
        auto* main = component.loaded<frmMain>();
        ASSERT_NE(main, nullptr);
        QAction* review = nullptr;
        for (QAction* action : main->findChild<QToolBar*>(u"tlbToolBar"_s)->actions())
            if (action->objectName() == u"mnuReview"_s || action->text().startsWith(u"审核计划"_s))
                review = action;
        ASSERT_NE(review, nullptr);
        EXPECT_EQ(review->text(), tool) << user.toStdString();
        EXPECT_EQ(main->statusBar()->currentMessage(), status) << user.toStdString();
        component.clearEnv();
    }
}

} // namespace
