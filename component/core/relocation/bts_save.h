// SPDX-License-Identifier: MIT
#pragma once

#include "core/relocation/move_bts_state.h"

#include <QString>
#include <QStringList>

namespace corvan {

class PropertyItems;
class mdlPubVar;
class WizardPrompt;

// Turns the BTS page into database changes: collects one value per BTS field when the
// user leaves the page, and makes the statements that write the BTS row and move its
// number from the old room to the new one.
class BtsSave {
public:
    // Collects btsValue and btsText (and newRoomName; newRoomCode through checkBtsData),
    // tells the user through the prompt why a value cannot be taken, then runs
    // checkBtsData. True when every value is acceptable.
    static bool saveBtsData(const mdlPubVar& context, MoveBtsState& state, const PropertyItems& grid,
                            WizardPrompt& prompt);

    // The statements that write the collected values, in the order they must run: the BTS
    // row (left out when no field is written), the new room, the old room. Empty for a
    // network letter other than G, C or D.
    static QStringList updateStatements(const MoveBtsState& state);

    static QString roomCodeMissingMessage(const QString& roomValue);
};

} // namespace corvan
