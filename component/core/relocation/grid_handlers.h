// SPDX-License-Identifier: MIT
#pragma once

#include "core/context/option_lists.h"
#include "core/relocation/move_bts_state.h"

#include <QList>
#include <QString>

namespace corvan {

class PropertyItem;
class PropertyItems;
class mdlPubVar;

// What the wizard does when the BTS grid raises its events: keeps the room and county
// options in step with the chosen city, records the new city and base number, selects
// the row under a right click and opens the page's popup menu.
class GridHandlers {
public:
    // ItemValueChanged: a new city refills the options of "belongroom" and "county" with
    // that city's rooms and counties. The rows keep their values. Rooms of one name are told
    // apart through rooms, kept there for the picker (the network's BTS column), or through
    // rooms read for this call alone. The lists come as lists says.
    static void cityCascade(const mdlPubVar& context, PropertyItems& grid, PropertyItem* item,
                            CityRooms* rooms = nullptr, const QString& net = {}, const PageLists& lists = {});
    // ItemValueChanged: a chosen room sets the county row to the room's own county.
    static void roomCascade(const mdlPubVar& context, PropertyItems& grid, PropertyItem* item);
    // GridEdited: the city and number the grid shows, each as state has it where the grid
    // has no row for it, copied into the "city" and "bts" rows of every cell grid.
    static ChosenCity chosenCity(const MoveBtsState& state, const PropertyItems& grid,
                                 const QList<PropertyItems*>& cellGrids);
    // GridMouseDown: a right click selects every row whose bounds hold the point.
    static void rightClickSelect(PropertyItems& grid, int button, float x, float y);
    // GridMouseUp: a right click shows the menu of "P:1".
    static void popup(PropertyItems& grid, int button, float x, float y);
    // ItemChosen: "Pop1" has the host show the BTS as stored. True when the host was asked
    // (it may still find no such record).
    static bool popupChosen(const mdlPubVar& context, const MoveBtsState& state, const PropertyItem* item);

    static constexpr int RightButton = 2;
};

} // namespace corvan
