// SPDX-License-Identifier: MIT
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

#include "core/context/mdl_pub_var.h"
#include "corvan/services.h"

namespace corvan {

// Long work of a window shown through the host's progress where the host offers it, begun
// when this is made and ended on every way out; without it, the busy cursor alone and the
// work never cancelled.
class ProgressScope {
public:
    ProgressScope(const mdlPubVar& context, QWidget* window, const QString& label, qint64 total,
                  bool cancellable)
        : m_progress(context.ProgressService()), m_ui(context.UiService())
    {
        if (m_ui)
            m_ui->BeginWait(window);
        if (m_progress)
            m_progress->BeginProgress(window, label, total, cancellable);
    }
    ~ProgressScope()
    {
        if (m_progress)
            m_progress->EndProgress();
        if (m_ui)
            m_ui->EndWait();
    }
    ProgressScope(const ProgressScope&) = delete;
    ProgressScope& operator=(const ProgressScope&) = delete;

    bool offered() const { return m_progress != nullptr; }
    // So many steps are done; false once the user asked to cancel.
    bool step(qint64 done)
    {
        if (!m_cancelled && m_progress && !m_progress->StepProgress(done))
            m_cancelled = true;
        return !m_cancelled;
    }
    bool cancelled() const { return m_cancelled; }

private:
    corvan::ProgressService* m_progress;
    corvan::UiService* m_ui;
    bool m_cancelled = false;
};

} // namespace corvan
