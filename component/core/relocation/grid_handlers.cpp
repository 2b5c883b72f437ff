// SPDX-License-Identifier: MIT
#include "core/relocation/grid_handlers.h"

#include "core/context/divisions.h"
#include "core/context/field_names.h"
#include "core/context/item_keys.h"
#include "core/context/list_options.h"
#include "core/context/mdl_pub_var.h"
#include "core/context/resource_view.h"
#include "core/context/sql_literal.h"
#include "core/rooms/city_rooms.h"
#include "core/rooms/room_lookup.h"
#include "core/rooms/room_options.h"
#include "corvan/controls/property_item.h"
#include "corvan/controls/property_items.h"
#include "corvan/record_set.h"

namespace corvan {

namespace {

const QString& CityKey = FieldName::City;
const QString& RoomKey = FieldName::BelongRoom;
const QString& CountyKey = FieldName::County;
const QString& NumberKey = FieldName::BaseNum;
const QString& CellBtsKey = FieldName::CellBts;

void refill(const mdlPubVar& context, PropertyItems& grid, const QString& key, const QString& sql,
            OptionCache* kept)
{
    if (!grid.HasItem(key))
        return;
    PropertyItem* item = grid.GetItem(key);
    item->Children().ClearItems();
    mdlPubFun::FillListOptions(context, item, sql, kept);
}

} // namespace

void GridHandlers::cityCascade(const mdlPubVar& context, PropertyItems& grid, PropertyItem* item,
                               CityRooms* rooms, const QString& net, const PageLists& lists)
{
    if (!item || item->Key() != CityKey)
        return;
    const QString id = mdlPubFun::GetOptionCode(item, variantText(item->Value()));
    if (id.isEmpty())
        return;
    // The rows keep what the user picked before; a room no longer offered is reported
    // when the page is left.
    refill(context, grid, RoomKey, RoomLookup::cityRoomsStatement(id, lists.roomScope), lists.kept);
    if (grid.HasItem(RoomKey)) {
        CityRooms own;
        RoomOptions::distinguish(context, grid.GetItem(RoomKey), id, rooms ? *rooms : own, net);
    }
    refill(context, grid, CountyKey, mdlPubFun::cityCountiesStatement(id), lists.kept);
}

void GridHandlers::roomCascade(const mdlPubVar& context, PropertyItems& grid, PropertyItem* item)
{
    if (!item || item->Key() != RoomKey)
        return;
    RoomOptions::followRoom(context, grid, item);
}

ChosenCity GridHandlers::chosenCity(const MoveBtsState& state, const PropertyItems& grid,
                                    const QList<PropertyItems*>& cellGrids)
{
    ChosenCity chosen = state;
    if (grid.HasItem(CityKey)) {
        const PropertyItem* city = grid.GetItem(CityKey);
        chosen.newCityName = variantText(city->Value());
        // A kept city shows its name and offers no options: the BTS stays in its city,
        // whose identifier is known, and a name must never stand in for it.
        chosen.newCityCode = state.fields.dispositionOf(CityKey) == Disposition::Keep
                                 ? state.cityCode
                                 : mdlPubFun::GetOptionCode(city, chosen.newCityName);
        for (PropertyItems* cells : cellGrids)
            if (cells && cells->HasItem(CityKey))
                cells->GetItem(CityKey)->setValue(chosen.newCityName);
    }
    if (grid.HasItem(NumberKey)) {
        chosen.newBaseNum = variantText(grid.GetItem(NumberKey)->Value());
        for (PropertyItems* cells : cellGrids)
            if (cells && cells->HasItem(CellBtsKey))
                cells->GetItem(CellBtsKey)->setValue(chosen.newBaseNum);
    }
    return chosen;
}

void GridHandlers::rightClickSelect(PropertyItems& grid, int button, float x, float y)
{
    if (button != RightButton)
        return;
    for (const auto& item : grid)
        item->setSelected(false);
    // Bounds are inclusive, so a point on the line between two rows selects both.
    for (const auto& item : grid) {
        if (item->Left() <= x && item->Top() <= y && item->Left() + item->Width() >= x &&
            item->Top() + item->Height() >= y)
            item->setSelected(true);
    }
}

void GridHandlers::popup(PropertyItems& grid, int button, float x, float y)
{
    if (button != RightButton || !grid.HasItem(ItemKey::Menu))
        return;
    grid.GetItem(ItemKey::Menu)->ShowPopup(x, y);
}

bool GridHandlers::popupChosen(const mdlPubVar& context, const MoveBtsState& state, const PropertyItem* item)
{
    if (!item || item->Key() != ItemKey::MenuEntry)
        return false;
    const QString n = state.tableLetter();
    if (n.isEmpty())
        return false;
    // The stored record, whatever has been edited on the page since.
    return ResourceView::ShowProperty(context, QStringLiteral("v_res_") + n + QStringLiteral("bts"),
                                      state.btsCode);
}

} // namespace corvan
