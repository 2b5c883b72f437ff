// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace corvan {

// How the relocation windows and their procedures tell the user something. The windows
// show message boxes titled with their caption (OK only) unless the context names another
// prompt (a host that shows messages its own way, a test that reads back what the user
// was told). Procedures never open boxes themselves.
class WizardPrompt {
public:
    enum class Icon { None, Information, Warning };
    virtual ~WizardPrompt() = default;
    virtual void showMessage(const QString& text, Icon icon = Icon::None) = 0;
    // Asks whether to try the same work again; details holds the database's own words.
    virtual bool askRetry(const QString& text, const QString& details) = 0;
    // A yes-or-no question; true for yes.
    virtual bool ask(const QString& question) = 0;
};

} // namespace corvan
