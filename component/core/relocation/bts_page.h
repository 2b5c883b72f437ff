// SPDX-License-Identifier: MIT
#pragma once

#include "core/context/option_lists.h"
#include "core/relocation/move_bts_state.h"

#include <QString>

namespace corvan {

class PropertyItem;
class PropertyItems;
class mdlPubVar;

// The relocation wizard's first page: the BTS's attributes split into the fields the user
// must fill in or that are cleared ("G:M") and the fields that stay ("G:C"), with the
// options of list fields and the room list of the BTS's city.
class BtsPage {
public:
    // Builds the page from the arguments already in state (net, attrMap), whose loaded
    // fields the caller has cleared. Fills fields, btsCode, oldRoomValue, oldRoomCode and
    // cityCode, and the grid. *caption is city name + BTS name + "基站调整"; *btsNumber the
    // BTS's basenum, for the cells the caller loads next. False when it stopped early (no
    // network, no table for it, rules unreadable): rows already added stay and neither
    // output is set. The list fields' options and the room list come as lists says.
    static bool build(const mdlPubVar& context, MoveBtsState& state, PropertyItems& grid, QString* caption,
                      QString* btsNumber, const PageLists& lists = {});

    // Captions and texts of the page.
    static const QString ModifyGroupCaption;
    static const QString KeepGroupCaption;
    static const QString PopupEntryCaption;
    static const QString CaptionSuffix;
    // What a field the relocation clears shows: its row takes no entry, since whatever
    // were entered would be dropped.
    static const QString ClearedValue;
    // The options of a field whose rule is the keyword "YN".
    static const QString YesNoOptions;

private:
    // What the page knows of the BTS from its fields: its code, room and city.
    static BtsOrigin readBts(const mdlPubVar& context, const QString& net, const BtsFields& fields);
    // The group to modify: one editable row per field to modify, with its options, and one
    // read-only row per field cleared.
    static void addEditedRows(const mdlPubVar& context, MoveBtsState& state, PropertyItems& grid,
                              const PageLists& lists);
    static void addOptions(const mdlPubVar& context, MoveBtsState& state, const PageLists& lists,
                           const BtsField& field, PropertyItem* row);
    // The group kept, then the hidden menu holder.
    static void addKeptRows(const MoveBtsState& state, PropertyItems& grid);
};

} // namespace corvan
