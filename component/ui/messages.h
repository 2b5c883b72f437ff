// SPDX-License-Identifier: MIT
#pragma once

#include <QMessageBox>
#include <QString>

class QWidget;

namespace corvan {

// The message boxes the windows show beyond the long-standing ones, all alike: titled with
// the caption of the window that speaks, the icon telling what kind of news it is.
class Messages {
public:
    enum class Kind { Information, Warning, Error };
    static void show(QWidget* window, Kind kind, const QString& text);
    // A yes-or-no question; true for yes. No is the default, so Enter never discards work.
    static bool ask(QWidget* window, const QString& text);
    // A failure that may pass if tried again, the database's own words under the details;
    // true for Retry, which is the default.
    static bool retry(QWidget* window, const QString& text, const QString& details);
    // The box a kind gets, for boxes with buttons of their own.
    static QMessageBox::Icon icon(Kind kind);
};

} // namespace corvan
