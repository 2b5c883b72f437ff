// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>
#include <QWindow>

namespace corvan {

// Makes owner the window that window is modal to and stays above, without making it a Qt
// child: the component's windows belong to its collection alone. Window modality follows
// the window system's owner link, which a window without a Qt parent gets only through
// its native handle.
inline void setWindowOwner(QWidget* window, QWidget* owner)
{
    if (!window || !owner)
        return;
    window->winId();
    owner->window()->winId();
    window->windowHandle()->setTransientParent(owner->window()->windowHandle());
}

} // namespace corvan
