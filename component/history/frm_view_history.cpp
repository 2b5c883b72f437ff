// SPDX-License-Identifier: MIT
#include "history/frm_view_history.h"

#include "entry/mdl_pub_var.h"

namespace corvan {

const QString frmViewHistory::Caption = QStringLiteral("基站调整历史记录");

frmViewHistory::frmViewHistory(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmViewHistory"));
    setWindowTitle(Caption);
    resize(900, 600);
    mdlPubVar::instance().registerForm(this);
}

} // namespace corvan
