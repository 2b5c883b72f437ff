// SPDX-License-Identifier: MIT
#include "browser/frm_main.h"

#include <QDockWidget>

#include "browser/frm_q_in_base_room.h"
#include "entry/mdl_pub_var.h"

namespace corvan {

namespace {
const QString MainCaption = QStringLiteral("基站调整");
}

frmMain::frmMain(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("frmMain"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(MainCaption);

    m_treePane = new QDockWidget(this);
    m_treePane->setObjectName(QStringLiteral("tlbTree"));
    m_treePane->setFeatures(QDockWidget::DockWidgetMovable);
    // The room search window loads with the main window, so it comes first in load order.
    m_roomSearch = new frmQInBaseRoom();
    m_treePane->setWidget(m_roomSearch);
    addDockWidget(Qt::LeftDockWidgetArea, m_treePane);

    auto* back = new QWidget(this);
    back->setObjectName(QStringLiteral("picBack"));
    setCentralWidget(back);
    resize(1024, 700);

    mdlPubVar::instance().registerForm(this);
}

frmMain::~frmMain()
{
    // Unloading only detaches the room search window: it stays loaded on its own.
    if (m_roomSearch && m_treePane && m_treePane->widget() == m_roomSearch) {
        m_treePane->setWidget(nullptr);
        m_roomSearch->setParent(nullptr);
        m_roomSearch->hide();
    }
}

} // namespace corvan
