// SPDX-License-Identifier: MIT
#pragma once

#include "corvan/services.h"

#include <QElapsedTimer>
#include <QList>
#include <QPointer>
#include <QString>

#include <QProgressDialog>

namespace corvan::host {

// The progress of long work in a dialog over its window: shown once the work has run past
// the delay, with the steps counted ("已完成 12,000 / 20,000") and a cancel button where the
// work may stop. While it runs, each step (at most every few hundredths of a second) lets the
// windows paint; user input reaches only the dialog. Without a GUI application nothing is
// shown and nothing is ever cancelled.
class ProgressDialogs : public ProgressService {
public:
    ProgressDialogs();
    ~ProgressDialogs() override;
    ProgressDialogs(const ProgressDialogs&) = delete;
    ProgressDialogs& operator=(const ProgressDialogs&) = delete;

    void BeginProgress(QWidget* window, const QString& label, qint64 total, bool cancellable) override;
    bool StepProgress(qint64 done) override;
    void EndProgress() override;

    // How long work runs before the dialog shows.
    static constexpr int DefaultDelayMs = 500;
    void setDelay(int ms) { m_delayMs = ms; }
    // The dialog while work is shown; null otherwise.
    QProgressDialog* dialog() const { return m_dialog; }
    // The line under the label: the steps done, of the total when it is known.
    static QString countText(qint64 done, qint64 total);

    static const QString CancelCaption;

private:
    void update(qint64 done);

    void show();

    struct Work {
        QString label;
        qint64 total = 0;
        bool cancellable = false;
        qint64 done = 0;
    };
    QPointer<QProgressDialog> m_dialog;
    // The work shown, the innermost last.
    QList<Work> m_work;
    int m_delayMs = DefaultDelayMs;
    bool m_cancelled = false;
    QElapsedTimer m_sinceUpdate;
};

} // namespace corvan::host
