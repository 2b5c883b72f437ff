// SPDX-License-Identifier: MIT
#include "entry/cls_main.h"

#include <QPointer>
#include <QWidget>

#include "browser/frm_main.h"
#include "browser/frm_q_in_base_room.h"
#include "core/plan/plan_command.h"
#include "core/plan/plan_review.h"
#include "history/frm_q_dispath_his.h"
#include "history/frm_reverse_bts.h"
#include "history/frm_track.h"
#include "history/frm_view_history.h"
#include "relocation/frm_move_bts.h"
#include "relocation/frm_move_room.h"
#include "relocation/frm_plan.h"
#include "relocation/frm_reviews.h"
#include "ui/window_owner.h"

namespace corvan {

namespace {

// The texts the original platform gave these two failures; hosts may show them.
const QString SubscriptOutOfRangeText = QStringLiteral("Subscript out of range");
const QString TypeMismatchText = QStringLiteral("Type mismatch");

[[noreturn]] void subscriptOutOfRange()
{
    throw ComponentError(int(ComponentErrorNumber::SubscriptOutOfRange), SubscriptOutOfRangeText);
}

[[noreturn]] void typeMismatch()
{
    throw ComponentError(int(ComponentErrorNumber::TypeMismatch), TypeMismatchText);
}

} // namespace

clsMain::clsMain(QObject* parent) : QObject(parent) {}

clsMain::~clsMain()
{
    clearEnv();
}

QList<QWidget*> clsMain::forms() const
{
    QList<QWidget*> windows;
    for (const QPointer<QWidget>& window : m_windows)
        if (window)
            windows.append(window.data());
    return windows;
}

void clsMain::adopt(QWidget* window)
{
    if (!window)
        return;
    m_windows.removeAll(nullptr);
    if (!m_windows.contains(window))
        m_windows.append(window);
}

void clsMain::refreshMain() const
{
    if (m_main)
        m_main->refreshBts();
}

void clsMain::unloadForm(QWidget* form)
{
    if (!form)
        return;
    QPointer<QWidget> guard(form);
    form->close();
    // close() may already have destroyed it (or scheduled it); destroying it now keeps
    // the collection exact for the caller.
    delete guard.data();
}

void clsMain::initEnv(const QVector<QObject*>& objArr)
{
    switch (m_context.setServices(objArr)) {
    case mdlPubVar::Services::Stored:
        return;
    case mdlPubVar::Services::SubscriptOutOfRange:
        subscriptOutOfRange();
    case mdlPubVar::Services::TypeMismatch:
        typeMismatch();
    }
}

void clsMain::clearEnv()
{
    // Unloading one window may take others with it (a docked pane goes with its host
    // window): each is unloaded once, and one already gone is passed over.
    QList<QPointer<QWidget>> guarded;
    for (QWidget* form : forms())
        guarded.append(form);
    for (const QPointer<QWidget>& form : guarded)
        unloadForm(form.data());
}

void clsMain::hildFrm()
{
    const QList<QWidget*> windows = forms();
    m_visible = QVector<bool>(windows.size() + 1, false);
    for (qsizetype i = 0; i < windows.size(); ++i) {
        m_visible[i] = windows.at(i)->isVisible();
        windows.at(i)->setVisible(false);
    }
}

void clsMain::showFrm()
{
    const QList<QWidget*> windows = forms();
    for (qsizetype i = 0; i < windows.size(); ++i) {
        // A window loaded since the last hildFrm reads the spare entry (hidden); two or
        // more such windows run past the record, as does a showFrm without hildFrm.
        if (i >= m_visible.size())
            subscriptOutOfRange();
        windows.at(i)->setVisible(m_visible.at(i));
    }
}

void clsMain::ShowMainForm()
{
    // The host expects this call to come back normally whatever happens.
    try {
        // A room search left by a main window the user closed goes too.
        unloadForm(loaded<frmQInBaseRoom>());
        unloadForm(m_main);
        auto* main = new frmMain(m_context);
        // The room search loads with the main window, docked in it, and so comes first.
        adopt(main->roomSearch());
        adopt(main);
        m_main = main;
        if (m_wizard)
            m_wizard->setMainWindow(main);
        connect(main, &frmMain::relocationRequested, this, &clsMain::openWizard);
        connect(main, &frmMain::historyRequested, this, [this, main] { openHistory(main); });
        connect(main, &frmMain::roomMoveRequested, this,
                [this, main](const QString& roomName, const QMap<QString, AttrTable>& tables) {
                    auto* move = new frmMoveRoom(m_context, roomName, tables);
                    adopt(move);
                    move->setMainWindow(main);
                    setWindowOwner(move, main);
                    connect(move, &frmMoveRoom::moved, this, &clsMain::refreshMain);
                    move->show();
                    // The keys go to the new window at once, as they do to the wizard.
                    move->raise();
                    move->activateWindow();
                });
        connect(main, &frmMain::planRequested, this, [this, main] { openPlan(main); });
        connect(main, &frmMain::planTemplateRequested, this,
                [this, main] { frmPlan::writeTemplate(m_context, main); });
        connect(main, &frmMain::reviewsRequested, this, [this, main] { openReviews(main); });
        connect(main, &frmMain::trackRequested, this,
                [this, main](const QString& net, const QString& basecode, const QString& btsName,
                             const QString& roomCode, const QString& roomName) {
                    openTrack(main, net, basecode, btsName, roomCode, roomName);
                });
        main->show();
        noteWaitingReviews();
        // A history window opened from the earlier main window stays open, now owned by
        // this one.
        if (auto* history = loaded<frmViewHistory>())
            history->setOwnerWindow(main);
    } catch (...) {
    }
}

int clsMain::writePlanTemplate(const QString& path, const Lines& out, const Lines& err)
{
    return PlanCommand::writeTemplate(m_context, path, out, err);
}

int clsMain::runPlan(const QString& path, bool apply, const QString& report, const Lines& out,
                     const Lines& err)
{
    return PlanCommand::run(m_context, path, apply, report, out, err);
}

int clsMain::reversePlan(const QString& code, const Lines& out, const Lines& err)
{
    return PlanCommand::reverse(m_context, code, out, err);
}

int clsMain::submitPlan(const QString& path, const QString& review, const Lines& out, const Lines& err)
{
    return PlanCommand::submit(m_context, path, review, out, err);
}

int clsMain::listPlans(const QString& state, const Lines& out, const Lines& err)
{
    return PlanCommand::list(m_context, state, out, err);
}

int clsMain::showPlan(const QString& review, const Lines& out, const Lines& err)
{
    return PlanCommand::show(m_context, review, out, err);
}

int clsMain::decidePlan(const QString& review, const QString& decision, const QString& comment,
                        const Lines& out, const Lines& err)
{
    return PlanCommand::decide(m_context, review, decision, comment, out, err);
}

int clsMain::applyReviewedPlan(const QString& review, const Lines& out, const Lines& err)
{
    return PlanCommand::applyReviewed(m_context, review, out, err);
}

void clsMain::openWizard(const QString& net, const QMap<QString, AttrTable>& attrMap)
{
    // A wizard already open is filled again, not opened twice; it has no owner.
    auto* wizard = m_wizard.data();
    if (!wizard) {
        wizard = new frmMoveBts(m_context);
        adopt(wizard);
        m_wizard = wizard;
        wizard->setMainWindow(m_main);
        // A relocated BTS no longer stands where the main window (whichever is loaded
        // then) shows it: the room on show is read anew.
        connect(wizard, &frmMoveBts::relocated, this, &clsMain::refreshMain);
    }
    wizard->showBts(net, attrMap, true);
    wizard->show();
    wizard->raise();
    wizard->activateWindow();
}

frmViewHistory* clsMain::openHistory(frmMain* owner)
{
    // The window belongs to the component's collection alone, not to the main window: the
    // host may unload or reload the main window while it is open. It is modal to the main
    // window without a modal loop of its own, so hiding and showing it never ends it.
    auto* history = new frmViewHistory(m_context);
    // Its query panel loads with it, and so comes first.
    adopt(history->queryPanel());
    adopt(history);
    history->setOwnerWindow(owner);
    connect(history, &frmViewHistory::reverseRequested, this,
            [this, history](const QString& discode) { openReversal(history, discode); });
    connect(history, &frmViewHistory::planReversed, this, &clsMain::refreshMain);
    history->show();
    history->raise();
    history->activateWindow();
    return history;
}

void clsMain::openReversal(frmViewHistory* history, const QString& discode)
{
    auto* reversal = new frmReverseBts(m_context, discode);
    adopt(reversal);
    setWindowOwner(reversal, history);
    // The history lists the reversal's own record at once, and shows it in place of the reversed
    // one; a record the user chose meanwhile (the reversed one again, say, while the success
    // message was up) stays on show, as what they act on next.
    const quint64 asked = history->showings();
    connect(reversal, &frmReverseBts::reversed, history,
            [history, asked](const QString&, const QString& code) {
                const bool untouched = history->showings() == asked;
                history->queryPanel()->query();
                if (untouched)
                    history->showHistory(code);
            });
    connect(reversal, &frmReverseBts::reversed, this, &clsMain::refreshMain);
    reversal->show();
    reversal->raise();
    reversal->activateWindow();
}

void clsMain::openPlan(frmMain* owner, int review)
{
    // One plan window at a time; asked again, it comes to the front.
    auto* plan = m_plan.data();
    if (!plan) {
        plan = new frmPlan(m_context);
        adopt(plan);
        m_plan = plan;
        setWindowOwner(plan, owner);
        connect(plan, &frmPlan::applied, this, &clsMain::refreshMain);
        connect(plan, &frmPlan::submitted, this, [this] {
            if (m_reviews)
                m_reviews->refresh();
        });
    }
    if (review > 0)
        plan->setReview(review);
    plan->show();
    plan->raise();
    plan->activateWindow();
}

void clsMain::openReviews(frmMain* owner)
{
    auto* reviews = m_reviews.data();
    if (!reviews) {
        reviews = new frmReviews(m_context);
        adopt(reviews);
        m_reviews = reviews;
        setWindowOwner(reviews, owner);
        connect(reviews, &frmReviews::applied, this, &clsMain::refreshMain);
        connect(reviews, &frmReviews::resubmitRequested, this,
                [this](int number) { openPlan(m_main, number); });
        connect(reviews, &frmReviews::listed, this, &clsMain::noteWaitingReviews);
    } else {
        reviews->refresh();
    }
    reviews->show();
    reviews->raise();
    reviews->activateWindow();
}

void clsMain::noteWaitingReviews() const
{
    // Only a reviewer is asked: others send nothing for it.
    RightService* rights = m_context.RightService();
    if (!m_main || !rights || rights->GetRightCityList(PlanReview::RightFunction).isEmpty())
        return;
    QString error;
    const QList<Review> waiting = PlanReview::list(m_context, ReviewState::Waiting, &error);
    m_main->setWaitingReviews(PlanReview::waitingFor(m_context, waiting));
}

void clsMain::openTrack(frmMain* owner, const QString& net, const QString& basecode, const QString& btsName,
                        const QString& roomCode, const QString& roomName)
{
    auto* track = new frmTrack(m_context, net, basecode, btsName, roomCode, roomName);
    adopt(track);
    setWindowOwner(track, owner);
    // A line chosen opens its record in the history window, the one open or a new one.
    connect(track, &frmTrack::recordChosen, this, [this](const QString& discode) {
        auto* history = loaded<frmViewHistory>();
        if (!history)
            history = openHistory(m_main);
        history->showHistory(discode);
        history->raise();
        history->activateWindow();
    });
    track->show();
}

} // namespace corvan
