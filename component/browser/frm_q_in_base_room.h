// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

namespace corvan {

// The room search window, docked in the main window's left pane. It stays loaded when
// the main window closes, until the component unloads it.
class frmQInBaseRoom : public QWidget {
    Q_OBJECT

public:
    explicit frmQInBaseRoom(QWidget* parent = nullptr);
};

} // namespace corvan
