// SPDX-License-Identifier: MIT
#pragma once

#include <QStringList>

#include "core/relocation/wizard_prompt.h"

namespace corvan::test {

// Stands in for the wizard window: keeps what the user was told, and answers a question
// to try again as a test says.
class PromptRecorder : public WizardPrompt {
public:
    void showMessage(const QString& text, Icon) override { shown << text; }
    bool askRetry(const QString& text, const QString&) override
    {
        shown << text;
        return retries-- > 0;
    }
    QStringList shown;
    int retries = 0;
};

} // namespace corvan::test
