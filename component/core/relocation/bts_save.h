// SPDX-License-Identifier: MIT
#pragma once

#include "core/relocation/move_bts_state.h"
#include "core/relocation/verdict.h"

#include <QString>
#include <QStringList>

namespace corvan {

class PropertyItem;
class PropertyItems;
class mdlPubVar;

// Turns the BTS page into database changes: collects one value per BTS field when the
// user leaves the page, and makes the statements that write the BTS row and move its
// number from the old room to the new one.
class BtsSave {
public:
    // Leaving the page: collect, then the value checks, then checkBtsData; the first that
    // refuses gives the verdict, which the caller tells the user.
    static Verdict saveBtsData(const mdlPubVar& context, MoveBtsState& state, const PropertyItems& grid);

    // Reads the page into the fields, once: each row's value and the text the user saw
    // for it, then what the field's disposition makes of them; newRoomName and newRoomCode.
    // Refuses at the first empty required row, and at a room that names no room, in field
    // order; nothing is read from the page after this.
    static Verdict collect(MoveBtsState& state, const PropertyItems& grid);

    // The statements that write the collected values, in the order they must run: the BTS
    // row (left out when no field is written), the new room, the old room. Empty for a
    // network letter other than G, C or D.
    static QStringList updateStatements(const MoveBtsState& state);

    static QString roomCodeMissingMessage(const QString& roomValue);

private:
    // Takes a row's value into its field; false for a room that names no room.
    static bool take(MoveBtsState& state, BtsField& field, const PropertyItem* row);
    // What the field's disposition makes of the value taken.
    static void settle(BtsField& field);
    static QString setPiece(const MoveBtsState& state, const BtsField& field);
};

} // namespace corvan
