// SPDX-License-Identifier: MIT
#pragma once

#include "core/context/wizard_prompt.h"

class QWidget;

namespace corvan {

// The message boxes of a relocation window, titled with its caption: a message with OK
// only, a question whose default is No, a failure to retry whose default is Retry.
class WindowPrompt final : public WizardPrompt {
public:
    explicit WindowPrompt(QWidget* window) : m_window(window) {}
    void showMessage(const QString& text, Icon icon = Icon::None) override;
    bool askRetry(const QString& text, const QString& details) override;
    bool ask(const QString& question) override;

private:
    QWidget* m_window;
};

} // namespace corvan
