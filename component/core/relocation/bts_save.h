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
    // "所选机房不属于" + the city's name: a room chosen for another city than the page's.
    static QString notInCityMessage(const QString& cityName);

    // Leaving the page: collect, then the value checks, then checkBtsData. Everything the
    // page itself gets wrong is told at once: one message listing each refusal of the
    // collection and of the value checks, in page order, about the first field it names.
    // The database checks run on a page whose values pass, and answer as they do.
    static Verdict saveBtsData(const mdlPubVar& context, MoveBtsState& state, const PropertyItems& grid);

    // Reads the page into the fields, once: each row's value and the text the user saw
    // for it, then what the field's disposition makes of them; newRoomName and newRoomCode.
    // Returns a refusal per empty required row and per room that names no room, in field
    // order; nothing is read from the page after this. A cleared field's row takes no
    // entry and is not read.
    static QList<Verdict> collect(MoveBtsState& state, const PropertyItems& grid);

    // The refusals as one: their messages one to a line, ordered as their fields' rows
    // stand on the page (those about no row last), about the first field named.
    static Verdict listed(QList<Verdict> refusals, const PropertyItems& grid);

    // The statements that write the collected values, in the order they must run: the BTS
    // row (left out when no field is written), the new room, the old room. Empty for a
    // network letter other than G, C or D.
    static QStringList updateStatements(const MoveBtsState& state);

    static QString roomCodeMissingMessage(const QString& roomValue);
    // What a room row whose value names none of its rooms is told: the room is not of the
    // page's city; the room-code message only when the page has no city at all.
    static QString roomRefusal(const MoveBtsState& state, const PropertyItems& grid,
                               const QString& roomValue);

private:
    // Takes a row's value into its field; false for a room that names no room.
    static bool take(MoveBtsState& state, BtsField& field, const PropertyItem* row);
    // What the field's disposition makes of the value taken.
    static void settle(BtsField& field);
    static QString setPiece(const MoveBtsState& state, const BtsField& field);
};

} // namespace corvan
