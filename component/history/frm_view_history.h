// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>

namespace corvan {

// The relocation history window, opened modal from the main window.
class frmViewHistory : public QDialog {
    Q_OBJECT

public:
    static const QString Caption;

    explicit frmViewHistory(QWidget* parent = nullptr);
};

} // namespace corvan
