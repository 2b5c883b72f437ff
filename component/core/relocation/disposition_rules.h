// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

#include "corvan/attr_table.h"

namespace corvan {

class mdlPubVar;

// Which BTS fields a relocation modifies ("M"), clears ("R"), keeps ("C") or hides ("N",
// "O"), as the operator configures it per network in gui_option.
class DispositionRules {
public:
    // The statement that reads a network's option rows; empty for a letter other than
    // G, C or D.
    static QString statement(const QString& net);

    // One rule per option row, in the order the database returns them: a two-character
    // marker ("M:", "R:", "C:", "N:" or "O:") and the row's g_value. Empty when the query
    // gives no row, and on a failed query (ok, when given, tells which).
    static QStringList read(const mdlPubVar& context, const QString& net, bool* ok = nullptr);

    // The marker of an option row named gName for network net.
    static QString marker(const QString& net, const QString& gName);

    // One letter per field 1..N (index 0 is field 1): the first character of the first
    // rule whose text holds the field name; "C" when none does; empty for a field that
    // is never shown (display flag not "Y", or a picture).
    static QStringList dispose(const AttrTable& table, const QStringList& rules);

    // A field that may be shown at all.
    static bool isShown(const AttrTable& table, int field);
};

} // namespace corvan
