// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

#include "core/relocation/bts_field.h"
#include "corvan/attr_table.h"

namespace corvan {

class mdlPubVar;

// Which BTS fields a relocation modifies, clears, keeps or hides, as the operator
// configures it per network in gui_option.
class DispositionRules {
public:
    // The statement that reads a network's option rows; empty for a letter other than
    // G, C or D.
    static QString statement(const QString& net);

    // One rule per option row, in the order the database returns them: the disposition's
    // letter and a colon ("M:", "R:", "C:", "N:" or "O:") before the row's g_value. Empty
    // when the query gives no row, and on a failed query (ok, when given, tells which).
    static QStringList read(const mdlPubVar& context, const QString& net, bool* ok = nullptr);

    // The marker of an option row named gName for network net.
    static QString marker(const QString& net, const QString& gName);

    // Gives every field the disposition of the first rule whose text holds its name, Keep
    // when none does, and Never to a field that is never shown (display flag not "Y", or a
    // picture).
    static void dispose(BtsFields& fields, const QStringList& rules);

    // A field of a resource table that may be shown at all.
    static bool isShown(const AttrTable& table, int field);
};

} // namespace corvan
