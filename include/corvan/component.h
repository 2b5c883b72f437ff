// SPDX-License-Identifier: MIT
#pragma once

// What a host sees of the component: the entry class's interface, the factory a
// plug-in offers, and the one exception type that carries failures back.

#include <exception>
#include <functional>
#include <utility>

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QVector>
#include <QtPlugin>

namespace corvan {

// Error numbers returned to the host, as the original platform numbered them.
enum class ComponentErrorNumber : int { SubscriptOutOfRange = 9, TypeMismatch = 13 };

class ComponentError : public std::exception {
public:
    ComponentError(int number, QString text)
        : m_number(number), m_text(std::move(text)), m_utf8(m_text.toUtf8())
    {}
    int number() const noexcept { return m_number; }
    QString text() const { return m_text; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    int m_number;
    QString m_text;
    QByteArray m_utf8;
};

// Subscripts of the host's object array that initEnv reads.
namespace HostSlot {
inline constexpr int Sheet = 1;
inline constexpr int Ui = 2;
inline constexpr int Context = 3;
inline constexpr int Application = 4;
inline constexpr int Message = 5;
inline constexpr int Data = 6;
inline constexpr int Right = 7;
inline constexpr int ResourceView = 14;
inline constexpr int ArraySize = 15; // subscripts 0..14
} // namespace HostSlot

class Component {
public:
    virtual ~Component() = default;
    // Reads subscripts 1..7 and 14 of the array. Throws ComponentError.
    virtual void initEnv(const QVector<QObject*>& objArr) = 0;
    // Unloads every window. Throws ComponentError.
    virtual void clearEnv() = 0;
    // Hides every window, remembering which were visible. Throws ComponentError.
    virtual void hildFrm() = 0;
    // Restores the visibility remembered by the last hildFrm. Throws ComponentError.
    virtual void showFrm() = 0;
    // (Re)opens the main window; never throws.
    virtual void ShowMainForm() = 0;
};

// Optional second interface of the entry class: relocation plans without a window, for a
// host's command line. Called after initEnv; the plan's files are read and written through
// the host's sheet service. What a person reads goes to out (one line per call), progress
// and failures to err.
class PlanRunner {
public:
    // The statuses a command line exits with.
    enum Status : int {
        Passed = 0,   // every row passes, or the plan was applied, or the template written
        Refused = 1,  // a row is refused, or the apply failed: nothing was written
        Unusable = 2, // the file cannot be read or written, or the work cannot be done here
    };
    using Lines = std::function<void(const QString&)>;

    virtual ~PlanRunner() = default;
    // Writes the plan template (.xlsx) for the networks' rules of the database.
    virtual int writePlanTemplate(const QString& path, const Lines& out, const Lines& err) = 0;
    // Checks the plan (.xlsx or .csv) row by row, in order; with apply, and every row passing,
    // applies it in one commit. One line per row to out; with a report file, the result of
    // every row is written there too (.xlsx).
    virtual int runPlan(const QString& path, bool apply, const QString& report, const Lines& out,
                        const Lines& err) = 0;
    // Reverses an applied plan as one, named by its code or by the record code of any
    // relocation applied in it. One line per reversed row to out; a refusal to err.
    virtual int reversePlan(const QString& code, const Lines& out, const Lines& err) = 0;
};

// Plans that a second person reviews before they are applied, for a host's command line,
// with PlanRunner's statuses and lines. A review is named by its code (R12, or 12).
class PlanReviewer {
public:
    using Lines = PlanRunner::Lines;

    virtual ~PlanReviewer() = default;
    // Checks the plan's file and, when every row passes, submits it for review: a new review,
    // or with review the next version of that one (its author's, after a return).
    virtual int submitPlan(const QString& path, const QString& review, const Lines& out,
                           const Lines& err) = 0;
    // One line per review, newest first; only those in that state (待审核, approved, ...) where given.
    virtual int listPlans(const QString& state, const Lines& out, const Lines& err) = 0;
    // The review: its versions, its rows with their verdicts at submission, its log.
    virtual int showPlan(const QString& review, const Lines& out, const Lines& err) = 0;
    // approve, return (with a comment) or withdraw the review.
    virtual int decidePlan(const QString& review, const QString& decision, const QString& comment,
                           const Lines& out, const Lines& err) = 0;
    // Applies an approved review from its stored rows, checked once more.
    virtual int applyReviewedPlan(const QString& review, const Lines& out, const Lines& err) = 0;
};

// The plug-in's root object implements this; the host asks it for a new clsMain.
class ComponentFactory {
public:
    virtual ~ComponentFactory() = default;
    virtual Component* createComponent(QObject* parent) = 0;
};

} // namespace corvan

#define CorvanComponentFactory_iid "prjCorvan.clsMain"
Q_DECLARE_INTERFACE(corvan::Component, "corvan.Component/1.0")
Q_DECLARE_INTERFACE(corvan::PlanRunner, "corvan.PlanRunner/1.1")
Q_DECLARE_INTERFACE(corvan::PlanReviewer, "corvan.PlanReviewer/1.0")
Q_DECLARE_INTERFACE(corvan::ComponentFactory, CorvanComponentFactory_iid)
