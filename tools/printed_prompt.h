// SPDX-License-Identifier: MIT
#pragma once

#include <cstdio>

#include <QString>

#include "core/context/wizard_prompt.h"

namespace corvan::tools {

// What the windows tell the user, printed on standard output after a label (nothing with
// no label), so that a picture tool runs unattended: no retry, and no to every question (yes
// where the tool goes on through what the question asks).
class PrintedPrompt final : public WizardPrompt {
public:
    explicit PrintedPrompt(const char* label = nullptr, bool yes = false) : m_label(label), m_yes(yes) {}
    void showMessage(const QString& text, Icon) override { print(text); }
    bool askRetry(const QString& text, const QString&) override
    {
        print(text);
        return false;
    }
    bool ask(const QString& question) override
    {
        print(question);
        return m_yes;
    }

private:
    void print(const QString& text) const
    {
        if (m_label)
            std::printf("%s: %s\n", m_label, qPrintable(text));
    }
    const char* m_label;
    bool m_yes;
};

} // namespace corvan::tools
