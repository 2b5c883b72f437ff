// SPDX-License-Identifier: MIT
#pragma once

#include <utility>

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVector>

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

// One antenna ("A") or feeder ("L") of those cells.
struct LineEntry {
    QString kind;
    QString code;
    QString ci;
    QString spare; // always empty; kept so the entry keeps its five texts
    QString label; // "天线" + running number for an antenna, the lineid for a feeder
    bool operator==(const LineEntry&) const = default;
};

// What the wizard's procedures share while one BTS is being relocated. Every list that
// the original kept per field number is indexed from 0 here: entry j - 1 is field j.
struct MoveBtsState {
    // The arguments of showBts.
    QString net;
    QMap<QString, AttrTable> attrMap;
    bool simpleMode = false;

    // The BTS page.
    AttrTable btsAttr;
    QStringList btsDisp;  // disposition letter per field
    QStringList btsValue; // value to write per field
    QStringList btsText;  // per field, the text the user saw for that value (a list's caption)
    QString btsCode;      // basecode
    QString cityCode;     // the BTS's city identifier before the move
    QString oldRoomValue; // the BTS's present room as shown (belongroom)
    QString oldRoomCode;  // and as roomcode
    // The rooms of the city the room row offers, read once per BTS for the row's shared
    // names and the room picker alike.
    mutable CityRooms cityRooms;

    // The target, as chosen on the BTS page.
    QString newRoomName;
    QString newRoomCode;
    QString newCityCode;
    QString newCityName;
    QString newBaseNum;

    // Whether the BTS page was built for this BTS; without it nothing may be written.
    bool pageBuilt = false;

    // The BTS's cells and the antennas and feeders of those cells, in load order, without
    // any limit on their number.
    QList<CellEntry> cellList;
    int cellCount = 0;
    QVector<std::pair<QString, AttrTable>> cellMap; // "K:" + cellcode -> the cell's table
    QList<LineEntry> lineList;                      // antennas first, then feeders
    int antCount = 0;
    int lineCount = 0;

    // The lower-case letter for table, view and column names; empty for a letter other
    // than G, C or D.
    QString n() const;
    // Back to nothing loaded; the showBts arguments stay.
    void clearLoaded();
    // The disposition letter of a field by name; empty when the table has no such field.
    QString letterOf(const QString& field) const;
    // Whether the relocation takes the BTS out of its room: its room is to be modified or
    // removed. Under any other rule the BTS stays where it stands.
    bool movesRoom() const;
};

} // namespace corvan
