// SPDX-License-Identifier: MIT
#pragma once

#include <QStringList>

#include "core/context/wizard_prompt.h"

namespace corvan::test {

// Stands in for the windows' message boxes: keeps what the user was told and asked, and
// answers a question to try again, or a yes-or-no question, as a test says.
class PromptRecorder : public WizardPrompt {
public:
    void showMessage(const QString& text, Icon) override { shown << text; }
    bool askRetry(const QString& text, const QString&) override
    {
        shown << text;
        return retries-- > 0;
    }
    bool ask(const QString& question) override
    {
        asked << question;
        return yes;
    }
    QStringList shown;
    QStringList asked;
    int retries = 0;
    bool yes = false;
};

} // namespace corvan::test
