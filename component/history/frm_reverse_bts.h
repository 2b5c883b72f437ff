// SPDX-License-Identifier: MIT
#pragma once

#include <memory>

#include <QDialog>
#include <QList>
#include <QStringList>

#include "core/context/wizard_prompt.h"
#include "core/relocation/summary_row.h"

class QPushButton;

namespace corvan {

class Sheet;
class mdlPubVar;

// Reversing one relocation: the summary of everything the reversal will change, in the
// relocation wizard's four columns, and the user's confirmation. Opened from the history
// window for the record it shows; the work is the core's Reversal.
class frmReverseBts : public QDialog {
    Q_OBJECT

public:
    static const QString Caption;

    frmReverseBts(mdlPubVar& context, const QString& discode, QWidget* parent = nullptr);

    // The record to reverse, and whether it may be (the refusal otherwise).
    const QString& discode() const { return m_discode; }
    const QString& refusal() const { return m_refusal; }
    const SummaryRows& rows() const { return m_rows; }

signals:
    // The record was reversed by the new record.
    void reversed(const QString& discode, const QString& reversal);

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The buttons' work. OK reverses; true when it was done.
    bool cmdOkClick();
    void cmdCancelClick();
    mdlPubVar& m_context;
    QString m_discode;
    QString m_refusal;
    SummaryRows m_rows;
    Sheet* m_fbReverse = nullptr;
    QPushButton* m_cmdOk = nullptr;
    QPushButton* m_cmdCancel = nullptr;
    bool m_told = false;
    // The context's prompt when it names one, else this window's message boxes.
    std::unique_ptr<WizardPrompt> m_ownPrompt;
    WizardPrompt& m_prompt;
};

} // namespace corvan
