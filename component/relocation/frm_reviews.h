// SPDX-License-Identifier: MIT
#pragma once

#include <memory>
#include <optional>

#include <QList>
#include <QString>
#include <QWidget>

#include "core/plan/plan_review.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace corvan {

class Sheet;
class WindowPrompt;
class WizardPrompt;
class mdlPubVar;

// 审核计划: the plans submitted for review, by state, with their author, reviewer, dates and
// counts (exported to a workbook as listed). The plan chosen shows its stored rows with what
// each would do and delete if applied now beside its verdict at submission, and its log; its
// reviewer approves or returns it with a comment, its author withdraws it or sends a corrected
// file as its next version, and an approved plan is applied here. A step the user may not take
// is disabled, with the reason in its tip.
class frmReviews : public QWidget {
    Q_OBJECT

public:
    static const QString Caption;

    explicit frmReviews(mdlPubVar& context, QWidget* parent = nullptr);
    ~frmReviews() override;

    // Reads the list again (in the state chosen), keeping the plan on show where it is listed.
    void refresh();
    // Shows that review in the detail pane; false when it is not listed.
    bool showReview(int number);
    int shown() const { return m_review ? m_review->number : 0; }

    Sheet* list() const { return m_fbReviews; }
    Sheet* rows() const { return m_fbRows; }
    QString logText() const;

    // The steps of the buttons, for hosts and tests: as a click, true when taken.
    bool decide(ReviewAction action);
    bool applyShown();
    bool exportList();

signals:
    // The author asks to send a corrected file as the review's next version.
    void resubmitRequested(int number);
    // A review was applied as that plan.
    void applied(const QString& plan);
    // The list was read again (after a step, say): what waits for whom may have changed.
    void listed();

private:
    void makeLayout();
    QPushButton* makeButton(const QString& text, const QString& name);
    void showRows();
    void enableSteps();
    void tell(const QString& text, bool information = false);

    mdlPubVar& m_context;
    std::unique_ptr<WindowPrompt> m_ownPrompt;
    WizardPrompt& m_prompt;
    QList<Review> m_reviews;
    std::optional<Review> m_review;
    QList<PlanRowResult> m_now; // the rows checked now; empty once applied, withdrawn or reversed
    QComboBox* m_cboState = nullptr;
    Sheet* m_fbReviews = nullptr;
    QLabel* m_lblReview = nullptr;
    Sheet* m_fbRows = nullptr;
    QPlainTextEdit* m_txtLog = nullptr;
    QLineEdit* m_txtComment = nullptr;
    QPushButton* m_cmdRefresh = nullptr;
    QPushButton* m_cmdExport = nullptr;
    QPushButton* m_cmdApprove = nullptr;
    QPushButton* m_cmdReturn = nullptr;
    QPushButton* m_cmdWithdraw = nullptr;
    QPushButton* m_cmdResubmit = nullptr;
    QPushButton* m_cmdApply = nullptr;
    QPushButton* m_cmdClose = nullptr;
};

} // namespace corvan
