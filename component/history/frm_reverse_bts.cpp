// SPDX-License-Identifier: MIT
#include "history/frm_reverse_bts.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "core/context/mdl_pub_var.h"
#include "core/reversal/reversal.h"
#include "corvan/controls/sheet.h"
#include "ui/busy_cursor.h"
#include "ui/summary_sheet.h"
#include "ui/window_prompt.h"

namespace corvan {

const QString frmReverseBts::Caption = QStringLiteral("撤销调整");

frmReverseBts::frmReverseBts(mdlPubVar& context, const QString& discode, QWidget* parent)
    : QDialog(parent), m_context(context), m_discode(discode),
      m_ownPrompt(std::make_unique<WindowPrompt>(this)),
      m_prompt(context.prompt() ? *context.prompt() : *m_ownPrompt)
{
    setObjectName(QStringLiteral("frmReverseBts"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::WindowModal);
    setWindowTitle(Caption);

    m_fbReverse = new Sheet(this);
    m_fbReverse->setObjectName(QStringLiteral("fbReverse"));
    m_cmdOk = new QPushButton(QStringLiteral("确定"), this);
    m_cmdOk->setObjectName(QStringLiteral("cmdOk"));
    m_cmdCancel = new QPushButton(QStringLiteral("取消"), this);
    m_cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    auto* buttons = new QHBoxLayout();
    buttons->addStretch(1);
    buttons->addWidget(m_cmdOk);
    buttons->addWidget(m_cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_fbReverse, 1);
    layout->addLayout(buttons);
    resize(760, 520);
    connect(m_cmdOk, &QPushButton::clicked, this, &frmReverseBts::cmdOkClick);
    connect(m_cmdCancel, &QPushButton::clicked, this, &frmReverseBts::cmdCancelClick);

    SummarySheet::prepare(m_context.SheetService(), m_fbReverse);
    {
        BusyCursor busy;
        const Reversal::Plan plan = Reversal::plan(m_context, m_discode);
        m_refusal = plan.refusal;
        m_rows = plan.rows;
    }
    SummarySheet::paint(m_context.SheetService(), m_fbReverse, m_rows);
    // Nothing to confirm when the record cannot be reversed; Cancel is what is left.
    m_cmdOk->setEnabled(m_refusal.isEmpty());
    (m_refusal.isEmpty() ? m_cmdOk : m_cmdCancel)->setDefault(true);
}

void frmReverseBts::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Why the record cannot be reversed, once the window is there to say it.
    if (!m_refusal.isEmpty() && !m_told) {
        m_told = true;
        QTimer::singleShot(0, this, [this] { m_prompt.showMessage(m_refusal, WizardPrompt::Icon::Warning); });
    }
}

bool frmReverseBts::cmdOkClick()
{
    if (!m_refusal.isEmpty())
        return false;
    const CommitOutcome outcome = Reversal::run(m_context, m_discode, m_rows);
    if (!outcome.done()) {
        m_prompt.showMessage(outcome.message.isEmpty() ? Reversal::UndoneMessage : outcome.message,
                             WizardPrompt::Icon::Warning);
        return false;
    }
    m_prompt.showMessage(Reversal::SuccessMessage, WizardPrompt::Icon::Information);
    emit reversed(m_discode, outcome.recordCode);
    close();
    return true;
}

void frmReverseBts::cmdCancelClick()
{
    close();
}

} // namespace corvan
