// SPDX-License-Identifier: MIT
#pragma once

#include "relocation/move_bts_state.h"

#include <QString>

namespace corvan {

class Sheet;

// The finish page's list of what the commit will change: the BTS attributes whose text
// changes, then the cells, antennas and feeders that will be deleted. The relocation
// record is copied from these rows, so their kinds and texts are the record's format.
class ChangeSummary {
public:
    // Rebuilds the sheet from an empty one through the host's sheet service: the title
    // row, then per section a band row and its data rows (four columns). Stops silently
    // at the first failure; the rows written so far stay.
    static void showModify(const MoveBtsState& state, Sheet* sheet);

    // Row 1: city name + " " + network + "网基站: " + the present room + " 调整记录".
    static QString title(const MoveBtsState& state);

    // Texts of column 1 by row kind, and of column 4 for deleted resources.
    static const QString BtsKind;
    static const QString CellKind;
    static const QString AntennaKind;
    static const QString FeederKind;
    static const QString Deleted;

    // How a band row is styled, in the host's 0x00BBGGRR colour order.
    static constexpr qint32 BandForeground = 0xFFFFFF;
    static constexpr qint32 BandBackground = 0xFFFF00;
    static constexpr int BandFontSize = 10;
};

} // namespace corvan
