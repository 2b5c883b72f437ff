// SPDX-License-Identifier: MIT
#include "relocation/move_bts_state.h"

#include "lookups/sql_literal.h"

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
    newRoomName.clear();
    newRoomCode.clear();
    newCityCode.clear();
    newCityName.clear();
    newBaseNum.clear();
    cellList.clear();
    cellCount = 0;
    cellMap.clear();
    lineList.clear();
    antCount = 0;
    lineCount = 0;
}

} // namespace corvan
