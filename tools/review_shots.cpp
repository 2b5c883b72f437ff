// SPDX-License-Identifier: MIT
// Pictures of a plan's review on a demo database whose province requires it, taken at two
// desks as their users click: admin's plan window after a check of twelve rows, with 执行计划
// disabled and 提交审核 offered (plan-submit.png); the reviewer's main window telling them at
// start what waits (main-window-review.png); the reviewer's view of the plan, its rows checked
// now beside their verdicts at submission (review-reviewer.png); then the reviewer returns it,
// admin resubmits it, the reviewer approves it, admin applies it, and the list shows its
// whole log (review-list.png) and is exported (审核计划.xlsx). The demo database is changed.
// corvan-review-shots DATABASE OUT_DIR

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <cstdio>

#include "browser/frm_main.h"
#include "corvan/controls/sheet.h"
#include "entry/cls_main.h"
#include "printed_prompt.h"
#include "relocation/frm_plan.h"
#include "relocation/frm_reviews.h"
#include "shots_host.h"
#include "ui/active_bar.h"

using namespace corvan;

namespace {

bool grab(QWidget* window, const QDir& out, const char* name)
{
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
    const bool saved = window && window->grab().save(out.filePath(QString::fromLatin1(name)));
    std::printf("%s: %s\n", name, saved ? "saved" : "missing");
    return saved;
}

// One user's desk: the component with its main window, on its own connection.
struct Desk {
    Desk(const char* user, const QString& database, const QDir& out) : prompt(user, true)
    {
        opened = host.open(database, QString::fromLatin1(user), out, QStringLiteral("审核计划.xlsx"));
        if (!opened)
            return;
        component.initEnv(host.services().objectArray());
        component.context().setPrompt(&prompt);
        component.ShowMainForm();
        main = component.loaded<frmMain>();
        main->resize(1200, 700);
    }
    ~Desk() { component.clearEnv(); }
    frmReviews* reviews()
    {
        main->bar()->tool(QStringLiteral("mnuReview"))->trigger();
        auto* window = component.loaded<frmReviews>();
        if (window)
            window->resize(1320, 760);
        return window;
    }

    tools::ShotsHost host;
    tools::PrintedPrompt prompt;
    clsMain component;
    frmMain* main = nullptr;
    bool opened = false;
};

bool click(QWidget* window, const char* name)
{
    auto* button = window ? window->findChild<QPushButton*>(QString::fromLatin1(name)) : nullptr;
    if (!button || !button->isEnabled()) {
        std::fprintf(stderr, "%s is not there to press%s%s\n", name, button ? ": " : "",
                     button ? qPrintable(button->toolTip()) : "");
        return false;
    }
    button->click();
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: corvan-review-shots DATABASE OUT_DIR\n");
        return 2;
    }
    const QDir out(args.at(2));
    Desk author("admin", args.at(1), out);
    if (!author.opened)
        return 2;
    QTemporaryDir folder;
    const QString plan = folder.filePath(QStringLiteral("十二个基站割接.csv"));
    if (!tools::writePlan(author.component.context(), plan, 4, false)) {
        std::fprintf(stderr, "no plan of twelve rows could be made on this database\n");
        return 1;
    }
    author.main->bar()->tool(QStringLiteral("mnuPlan"))->trigger();
    auto* planWindow = author.component.loaded<frmPlan>();
    if (!planWindow || !planWindow->openFile(plan) || !click(planWindow, "cmdCheck"))
        return 1;
    planWindow->resize(1400, 460);
    grab(planWindow, out, "plan-submit.png");
    if (!click(planWindow, "cmdSubmit"))
        return 1;
    planWindow->close();

    Desk reviewer("reviewer", args.at(1), out);
    if (!reviewer.opened)
        return 2;
    grab(reviewer.main, out, "main-window-review.png");
    frmReviews* review = reviewer.reviews();
    if (!review)
        return 1;
    grab(review, out, "review-reviewer.png");
    review->findChild<QLineEdit*>(QStringLiteral("txtComment"))
        ->setText(QStringLiteral("请注明割接时间后再提交"));
    if (!click(review, "cmdReturn"))
        return 1;

    // The same file again, as the plan's second version.
    frmReviews* mine = author.reviews();
    if (!click(mine, "cmdResubmit"))
        return 1;
    planWindow = author.component.loaded<frmPlan>();
    if (!planWindow || !planWindow->openFile(plan) || !click(planWindow, "cmdCheck") ||
        !click(planWindow, "cmdSubmit"))
        return 1;
    planWindow->close();
    review->refresh();
    if (!click(review, "cmdApprove"))
        return 1;
    mine->refresh();
    if (!click(mine, "cmdApply"))
        return 1;
    grab(mine, out, "review-list.png");
    return mine->exportList() ? 0 : 1;
}
