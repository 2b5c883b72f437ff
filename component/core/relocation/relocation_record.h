// SPDX-License-Identifier: MIT
#pragma once

#include "core/relocation/move_bts_state.h"
#include "core/relocation/summary_row.h"

#include <QDate>
#include <QString>

namespace corvan {

class mdlPubVar;

// The one row of h_btsdispatch that every completed relocation leaves: who moved which
// BTS when, from where to where, and as disinfo the change summary the user confirmed,
// one entry per summary row, each ended by LineMarker in place of a line break. The
// history windows read these rows back, so the texts below are a stored format.
class RelocationRecord {
public:
    // Stands for a line break inside disinfo.
    static const QString LineMarker;

    // The entry of one summary row, without its marker: a BTS attribute's change, a cell,
    // antenna or feeder deleted or restored, the title. A band, a room's row and a resource
    // row that is neither give nothing.
    static QString entry(const SummaryRow& row);
    // Every row's entry followed by the marker.
    static QString disinfo(const SummaryRows& rows);

    // The insert of the record. Every quoted value has its quotes doubled, so a value is
    // stored exactly as held. Empty for an invalid date.
    static QString insertStatement(const QString& code, const QDate& date, const QString& user,
                                   const MoveBtsState& state, const QString& disinfo);

    // Writes the record of a relocation with the summary rows the user confirmed: a new
    // discode (given back through code), today's local date and the current user. False
    // when no code could be had, the host services are missing, or the insert fails.
    static bool saveModifyLog(const mdlPubVar& context, const MoveBtsState& state, const SummaryRows& summary,
                              QString* code = nullptr);
};

} // namespace corvan
