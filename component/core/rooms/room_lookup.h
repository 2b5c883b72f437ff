// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace corvan {

class mdlPubVar;

// The rooms as the database holds them: the lookups of a room's code and name and of the
// room that holds a BTS, and every statement that reads rooms, each exactly as the
// database's traces know it. A failed lookup is answered with an empty text.
class RoomLookup {
public:
    static QString GetRoomCodeByName(const mdlPubVar& context, const QString& city, const QString& roomName);
    static QString GetRoomName(const mdlPubVar& context, const QString& roomCode);
    // The room whose network column holds the number of the BTS of that city and name.
    static QString GetBtsRoomCode(const mdlPubVar& context, const QString& net, const QString& city,
                                  const QString& btsName);

    // The room search: the rooms of one city, or of every city of the in-list, narrowed by
    // parts of name and number (each counts only when it holds more than blanks).
    static QString roomSearchStatement(bool allCities, const QString& cityId, const QString& rightCityList,
                                       const QString& name, const QString& number);
    // The BTS page's room options: the rooms of the city, or every room without a city; with a
    // room scope (mdlPubVar::roomScope), only that room of them.
    static QString roomOptionsStatement(const QString& cityId, const QString& scope = {});
    // The room options again once another city is chosen.
    static QString cityRoomsStatement(const QString& cityId, const QString& scope = {});
    // A room's county.
    static QString roomCountyStatement(const QString& roomCode);
    // The network's BTS column of a room; empty for a letter other than G, C or D.
    static QString roomCheckStatement(const QString& net, const QString& roomCode);
    // The room that holds the BTS with that code: its name cannot tell, where two BTSs of a
    // city share one. Empty for a letter other than G, C or D.
    static QString btsRoomStatement(const QString& net, const QString& btsCode);
};

} // namespace corvan
