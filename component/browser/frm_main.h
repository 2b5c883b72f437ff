// SPDX-License-Identifier: MIT
#pragma once

#include <QMainWindow>
#include <QPointer>

#include "browser/frm_q_in_base_room.h"

class QDockWidget;

namespace corvan {


// The component's main window: the room search pane docked on the left and the
// network tabs in the client area.
class frmMain : public QMainWindow {
    Q_OBJECT

public:
    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

    frmQInBaseRoom* roomSearch() const { return m_roomSearch; }

private:
    QDockWidget* m_treePane = nullptr;
    QPointer<frmQInBaseRoom> m_roomSearch;
};

} // namespace corvan
