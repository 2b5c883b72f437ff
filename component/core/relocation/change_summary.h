// SPDX-License-Identifier: MIT
#pragma once

#include "core/relocation/move_bts_state.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace corvan {

class mdlPubVar;

// The finish page's list of what the commit will change: the BTS attributes whose text
// changes, then the cells, antennas and feeders that will be deleted. The relocation
// record is made from these rows, so their kinds and texts are the record's format.
class ChangeSummary {
public:
    // The rows, four texts each: the title row, then per section a band row (four empty
    // texts) and its data rows. The wizard paints them into its sheet; the record is
    // written from them.
    static QList<QStringList> rows(const mdlPubVar& context, const MoveBtsState& state);
    // A band row: the first of each section, empty, merged across the sheet.
    static bool isBand(const QStringList& row);

    // One line for a reader, never a row of the record: how many cells, antennas and
    // feeders the rows delete.
    static QString deletionTotals(const QList<QStringList>& rows);

    // Row 1: city name + " " + network + "网基站: " + the present room + " 调整记录".
    static QString title(const mdlPubVar& context, const MoveBtsState& state);

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

private:
    // Each BTS field whose text the relocation changes.
    static QList<QStringList> btsRows(const MoveBtsState& state);
    static QList<QStringList> cellRows(const MoveBtsState& state);
    static QList<QStringList> lineRows(const MoveBtsState& state);
};

} // namespace corvan
