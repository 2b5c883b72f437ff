// SPDX-License-Identifier: MIT
#include "core/relocation/move_bts_state.h"

#include "core/context/field_names.h"
#include "core/context/sql_literal.h"

namespace corvan {

QString MoveBtsState::tableLetter() const
{
    return networkName(net);
}

void MoveBtsState::clearLoaded()
{
    const QString keptNet = net;
    const QMap<QString, AttrTable> keptTables = attrMap;
    const bool keptMode = simpleMode;
    *this = MoveBtsState();
    net = keptNet;
    attrMap = keptTables;
    simpleMode = keptMode;
}

bool MoveBtsState::movesRoom() const
{
    const BtsField* room = fields.find(FieldName::BelongRoom);
    return room && room->edited();
}

} // namespace corvan
