// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QVector>

#include "core/context/mdl_pub_var.h"
#include "corvan/attr_table.h"
#include "corvan/component.h"

class QWidget;

namespace corvan {

class frmMain;
class frmMoveBts;
class frmPlan;
class frmReviews;
class frmViewHistory;

// The component's one public class: the host creates it, hands it its services and
// drives the component's windows through it. It owns the component's context, creates
// the windows with it and wires them to each other: a window that needs another asks
// through a signal, and this class opens the window it asks for.
class clsMain : public QObject, public Component, public PlanRunner, public PlanReviewer {
    Q_OBJECT
    Q_INTERFACES(corvan::Component corvan::PlanRunner corvan::PlanReviewer)

public:
    using Lines = PlanRunner::Lines;

    explicit clsMain(QObject* parent = nullptr);
    // Unloads every window still loaded: none may outlive the context it works with.
    ~clsMain() override;

    void initEnv(const QVector<QObject*>& objArr) override;
    void clearEnv() override;
    void hildFrm() override;
    void showFrm() override;
    void ShowMainForm() override;

    // Relocation plans for a host's command line (PlanRunner).
    int writePlanTemplate(const QString& path, const Lines& out, const Lines& err) override;
    int runPlan(const QString& path, bool apply, const QString& report, const Lines& out,
                const Lines& err) override;
    int reversePlan(const QString& code, const Lines& out, const Lines& err) override;
    // Their review (PlanReviewer).
    int submitPlan(const QString& path, const QString& review, const Lines& out, const Lines& err) override;
    int listPlans(const QString& state, const Lines& out, const Lines& err) override;
    int showPlan(const QString& review, const Lines& out, const Lines& err) override;
    int decidePlan(const QString& review, const QString& decision, const QString& comment, const Lines& out,
                   const Lines& err) override;
    int applyReviewedPlan(const QString& review, const Lines& out, const Lines& err) override;

    // The visibility recorded by the last hildFrm: one entry per window then loaded, plus
    // a spare entry that stays false.
    const QVector<bool>& visibilityRecord() const { return m_visible; }
    mdlPubVar& context() { return m_context; }
    // The loaded windows, in load order: a docked query pane before the window that holds
    // it. A window leaves the collection when it is destroyed.
    QList<QWidget*> forms() const;
    // The first loaded window of that class, or nullptr.
    template <class Window> Window* loaded() const
    {
        for (QWidget* form : forms())
            if (auto* window = qobject_cast<Window*>(form))
                return window;
        return nullptr;
    }

    // Runs a window's close handling and destroys it.
    static void unloadForm(QWidget* form);

    // Takes a window into the collection, after those loaded before it; the component takes
    // each window it opens as it loads. One already there keeps its place.
    void adopt(QWidget* window);

private:
    // The main window on show, if any, told to show a room anew after a change.
    void refreshMain() const;
    void openWizard(const QString& net, const QMap<QString, AttrTable>& attrMap);
    frmViewHistory* openHistory(frmMain* owner);
    void openReversal(frmViewHistory* history, const QString& discode);
    void openPlan(frmMain* owner, int review = 0);
    void openReviews(frmMain* owner);
    // Tells a reviewer on the main window how many plans wait for them.
    void noteWaitingReviews() const;
    void openTrack(frmMain* owner, const QString& net, const QString& basecode, const QString& btsName,
                   const QString& roomCode, const QString& roomName);

    mdlPubVar m_context;
    QVector<bool> m_visible;
    QList<QPointer<QWidget>> m_windows;
    // The windows there is one of: asked again, each comes to the front.
    QPointer<frmMain> m_main;
    QPointer<frmMoveBts> m_wizard;
    QPointer<frmPlan> m_plan;
    QPointer<frmReviews> m_reviews;
};

} // namespace corvan
