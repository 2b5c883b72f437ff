// SPDX-License-Identifier: MIT
#include "relocation/frm_move_bts.h"

#include "entry/mdl_pub_var.h"

namespace corvan {

const QString frmMoveBts::Caption = QStringLiteral("基站调整");

frmMoveBts::frmMoveBts(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frmMoveBts"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(Caption);
    resize(800, 560);
    mdlPubVar::instance().registerForm(this);
}

void frmMoveBts::showBts(const QString& net, const QMap<QString, AttrTable>& attrMap, bool simpleMode)
{
    // The arguments are kept before anything else touches the window.
    m_net = net;
    m_attrMap = attrMap;
    m_simpleMode = simpleMode;
}

} // namespace corvan
