// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace corvan {

class CityRooms;
class PropertyItem;
class PropertyItems;
class mdlPubVar;

// The target room's options as the user must see them to choose the right room. A city
// may hold several rooms of one name; their options then carry the room number beside
// the name, so that each is told apart and stands for its own room code. The row that
// receives the choice still takes the plain name.
class RoomOptions {
public:
    // Gives options that share a caption the room number (or, failing that, the room code)
    // beside the name, keeping the plain name as the option's value. Reads the numbers
    // only when some name occurs twice, and only those rooms' (from the city's rooms when the
    // room picker read them already).
    static void distinguish(const mdlPubVar& context, PropertyItem* row, const QString& cityId,
                            const CityRooms& rooms, const QString& net);
    // The room name behind an option's caption; the caption itself for a typed value.
    static QString nameOf(const PropertyItem* row, const QString& caption);

    // The county of a room, or empty when it has none or cannot be read.
    static QString countyOf(const mdlPubVar& context, const QString& roomCode);
    // A room was chosen: the county row takes that room's county, when it offers it.
    static void followRoom(const mdlPubVar& context, PropertyItems& grid, const PropertyItem* room);
};

} // namespace corvan
