// SPDX-License-Identifier: MIT
#pragma once

#include "core/relocation/move_bts_state.h"

#include <QList>
#include <QString>
#include <functional>

namespace corvan {

class PropertyItems;
class mdlPubVar;

// Loads, when the wizard opens, the BTS's cells and the antennas and feeders of those
// cells: the commit deletes exactly these and the summary lists them. Every cell,
// antenna and feeder is loaded in the order the database returns them, however many
// there are. Nothing is written to the database.
class CellLoader {
public:
    // The cells of the net's BTS number in city, then their antennas and feeders; fills
    // one read-only grid per cell (cellGrid(i) is the grid of cell i, from 0, which the
    // window makes on demand) and the antenna and feeder grid. A failure ends the loading
    // silently: what was loaded before it is returned, and a failure before the cells are
    // all in leaves no antenna or feeder loaded.
    static LoadedCells viewCell(const mdlPubVar& context, const QString& net, const QString& city,
                                const QString& number,
                                const std::function<PropertyItems&(int index)>& cellGrid,
                                PropertyItems& lineGrid);

    // The exact statements; empty for a network letter other than G, C or D, and for the
    // antenna and feeder statements also when there is no cell.
    static QString cellStatement(const QString& net, const QString& city, const QString& number);
    static QString antennaStatement(const QString& net, const QString& city, const QList<CellEntry>& cells);
    static QString feederStatement(const QString& net, const QString& city, const QList<CellEntry>& cells);

    // Texts of the antenna and feeder grid.
    static const QString AntennaGroupCaption;
    static const QString FeederGroupCaption;
    static const QString DetailMenuCaption;

private:
    // The antennas, then the feeders, of the loaded cells, into the list and the grid. A
    // failure ends it where it is.
    static void viewLine(const mdlPubVar& context, const QString& net, const QString& city,
                         LoadedCells& loaded, PropertyItems& lineGrid);
};

} // namespace corvan
