// SPDX-License-Identifier: MIT
#pragma once

#include "corvan/services.h"
#include "desktop/progress_dialogs.h"

#include <QObject>
#include <QString>

namespace corvan::host {

// The busy cursor and a small text helper. Waits nest: each BeginWait pushes the wait
// cursor and each EndWait pops one, so an inner pair never ends an outer wait early,
// and a stray EndWait cannot pop a cursor that someone else set. Long work shows its
// progress in a dialog (ProgressDialogs).
class UiServiceImpl : public QObject, public UiService, public ProgressService {
    Q_OBJECT
    Q_INTERFACES(corvan::UiService corvan::ProgressService)

public:
    explicit UiServiceImpl(QObject* parent = nullptr);
    ~UiServiceImpl() override;

    void BeginWait(QWidget* window) override;
    void EndWait() override;
    int waitDepth() const { return m_depth; }

    QString GetTextField(const QString& text, const QString& separator, int position) override;

    void BeginProgress(QWidget* window, const QString& label, qint64 total, bool cancellable) override;
    bool StepProgress(qint64 done) override;
    void EndProgress() override;
    ProgressDialogs& progress() { return m_progress; }

private:
    ProgressDialogs m_progress;
    int m_depth = 0;
};

} // namespace corvan::host
