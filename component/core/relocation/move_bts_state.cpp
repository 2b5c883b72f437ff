// SPDX-License-Identifier: MIT
#include "core/relocation/move_bts_state.h"

#include "core/context/sql_literal.h"

namespace corvan {

QString MoveBtsState::n() const
{
    return networkName(net);
}

void MoveBtsState::clearLoaded()
{
    btsAttr = AttrTable();
    btsDisp.clear();
    btsValue.clear();
    btsText.clear();
    btsCode.clear();
    cityCode.clear();
    oldRoomValue.clear();
    oldRoomCode.clear();
    cityRooms.clear();
    newRoomName.clear();
    newRoomCode.clear();
    newCityCode.clear();
    newCityName.clear();
    newBaseNum.clear();
    pageBuilt = false;
    cellList.clear();
    cellCount = 0;
    cellMap.clear();
    lineList.clear();
    antCount = 0;
    lineCount = 0;
}

QString MoveBtsState::letterOf(const QString& field) const
{
    const int j = btsAttr.findField(field);
    return j > 0 ? btsDisp.value(j - 1) : QString();
}

bool MoveBtsState::movesRoom() const
{
    const QString letter = letterOf(QStringLiteral("belongroom"));
    return letter == QLatin1String("M") || letter == QLatin1String("R");
}

} // namespace corvan
