// SPDX-License-Identifier: MIT
#pragma once

#include "core/context/mdl_pub_var.h"

namespace corvan {

// The host's busy indication for as long as the object lives, ended on every way out.
// Work that may wait for the database runs inside one; a message to the user comes after.
class BusyScope {
public:
    explicit BusyScope(const mdlPubVar& context) : m_ui(context.UiService())
    {
        if (m_ui)
            m_ui->BeginWait(nullptr);
    }
    ~BusyScope()
    {
        if (m_ui)
            m_ui->EndWait();
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    UiService* m_ui;
};

} // namespace corvan
