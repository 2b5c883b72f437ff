// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace corvan {

// How the wizard's procedures tell the user something: through the window, which shows
// a message box titled with its caption (OK only). Procedures never open boxes
// themselves, so what the user was told can be read back.
class WizardPrompt {
public:
    enum class Icon { None, Information };
    virtual ~WizardPrompt() = default;
    virtual void showMessage(const QString& text, Icon icon = Icon::None) = 0;
    // Asks whether to try the same work again; details holds the database's own words.
    virtual bool askRetry(const QString& text, const QString& details) = 0;
};

} // namespace corvan
