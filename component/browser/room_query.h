// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace corvan {

// The statement behind the room search: the rooms of one city, or of every city the
// user may see, narrowed by parts of the room's name and number.
class RoomQuery {
public:
    // allCities: "全部" is chosen, and rightCityList (an SQL in-list body) applies;
    // otherwise cityId. Name and number count only when they hold more than blanks.
    static QString build(bool allCities, const QString& cityId, const QString& rightCityList,
                         const QString& name, const QString& number);
};

} // namespace corvan
