// SPDX-License-Identifier: MIT
#pragma once

#include "core/relocation/move_bts_state.h"
#include "core/relocation/summary_row.h"

#include <QString>

namespace corvan {

class mdlPubVar;

// The finish page's list of what the commit will change: the BTS attributes whose text
// changes, then the cells, antennas and feeders that will be deleted. The relocation
// record is made from these rows, so their kinds and texts are the record's format.
class ChangeSummary {
public:
    // The title row, then per section a band row and its data rows. The wizard paints them
    // into its sheet; the record is written from them.
    static SummaryRows rows(const mdlPubVar& context, const MoveBtsState& state);

    // One line for a reader, never a row of the record: how many cells, antennas and
    // feeders the rows delete.
    static QString deletionTotals(const SummaryRows& rows);

    // Row 1: city name + " " + network + "网基站: " + the present room + " 调整记录".
    static QString title(const mdlPubVar& context, const MoveBtsState& state);

    // How a band row is styled, in the host's 0x00BBGGRR colour order.
    static constexpr qint32 BandForeground = 0xFFFFFF;
    static constexpr qint32 BandBackground = 0xFFFF00;
    static constexpr int BandFontSize = 10;

private:
    // Each BTS field whose text the relocation changes.
    static SummaryRows btsRows(const MoveBtsState& state);
    static SummaryRows cellRows(const MoveBtsState& state);
    static SummaryRows lineRows(const MoveBtsState& state);
};

} // namespace corvan
