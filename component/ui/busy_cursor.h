// SPDX-License-Identifier: MIT
#pragma once

#include <QGuiApplication>

namespace corvan {

// The hourglass for as long as the object lives, restored on every way out.
class BusyCursor {
public:
    BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

} // namespace corvan
