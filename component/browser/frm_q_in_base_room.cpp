// SPDX-License-Identifier: MIT
#include "browser/frm_q_in_base_room.h"

#include "entry/mdl_pub_var.h"

namespace corvan {

frmQInBaseRoom::frmQInBaseRoom(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmQInBaseRoom"));
    mdlPubVar::instance().registerForm(this);
}

} // namespace corvan
