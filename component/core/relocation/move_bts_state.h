// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QMap>
#include <QString>

#include "core/relocation/bts_field.h"
#include "core/rooms/city_rooms.h"
#include "corvan/attr_table.h"

namespace corvan {

// One cell of the BTS being relocated, as the cell query returned it.
struct CellEntry {
    QString cellcode;
    QString ci;
    QString cellname;
    bool operator==(const CellEntry&) const = default;
};

// A cell whose record the host handed over when the wizard opened: the commit deletes
// exactly these, and the summary lists them.
struct CellTable {
    QString cellcode;
    AttrTable table;
    bool operator==(const CellTable&) const = default;
};

// One antenna or feeder of those cells.
struct LineEntry {
    enum class Kind { Antenna, Feeder };
    Kind kind = Kind::Antenna;
    QString code;
    QString ci;
    QString label; // "天线" + running number for an antenna, the lineid for a feeder
    bool operator==(const LineEntry&) const = default;
};

// What the wizard found the BTS carrying when it opened: its cells and the antennas and
// feeders of those cells, in load order, without any limit on their number. cellCount is
// the number of cells found, which a failure part way through the loading leaves above the
// cells listed; the antenna and feeder counts grow with the list.
struct LoadedCells {
    QList<CellEntry> cellList;
    int cellCount = 0;
    QList<CellTable> cellMap;
    QList<LineEntry> lineList; // antennas first, then feeders
    int antCount = 0;
    int lineCount = 0;
    bool operator==(const LoadedCells&) const = default;
};

// Where the BTS stands before the move, as its page reads it from the BTS's fields.
struct BtsOrigin {
    QString btsCode;      // basecode
    QString cityCode;     // the BTS's city identifier before the move
    QString oldRoomValue; // the BTS's present room as shown (belongroom)
    QString oldRoomCode;  // and as roomcode
    bool operator==(const BtsOrigin&) const = default;
};

// The BTS's new city and number as its page shows them while the user edits it: the
// city's name, its identifier, and the number.
struct ChosenCity {
    QString newCityName;
    QString newCityCode;
    QString newBaseNum;
    bool operator==(const ChosenCity&) const = default;
};

// What the wizard's procedures share while one BTS is being relocated; where the BTS
// stands, the cells and the chosen city are what those steps returned.
struct MoveBtsState : BtsOrigin, LoadedCells, ChosenCity {
    // The arguments of showBts.
    QString net;
    QMap<QString, AttrTable> attrMap;
    bool simpleMode = false;

    // The BTS page: one field per field of the BTS's table, in its order.
    BtsFields fields;
    // The rooms of the city the room row offers, read once per BTS for the row's shared
    // names and the room picker alike.
    mutable CityRooms cityRooms;

    // The target room, as the page was left.
    QString newRoomName;
    QString newRoomCode;

    // Whether the BTS page was built for this BTS; without it nothing may be written.
    bool pageBuilt = false;

    // The lower-case letter for table, view and column names; empty for a letter other
    // than G, C or D.
    QString tableLetter() const;
    // Back to nothing loaded; the showBts arguments stay.
    void clearLoaded();
    // Whether the relocation takes the BTS out of its room: its room is to be modified or
    // removed. Under any other rule the BTS stays where it stands.
    bool movesRoom() const;
};

} // namespace corvan
