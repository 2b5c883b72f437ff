// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace corvan {

// What a check of the BTS page found, and nothing more: a check changes nothing and tells
// nobody. Its caller tells the user the message once (a check that could not be made has
// none) and may take the user to the field.
struct Verdict {
    bool ok = true;
    QString message;
    QString field; // the name of the field the message is about; empty for none

    static Verdict refused(const QString& message, const QString& field = {})
    {
        return Verdict{false, message, field};
    }
};

} // namespace corvan
