// SPDX-License-Identifier: MIT
#include "core/relocation/bts_page.h"

#include "core/context/divisions.h"
#include "core/context/field_names.h"
#include "core/context/item_keys.h"
#include "core/context/list_options.h"
#include "core/context/mdl_pub_var.h"
#include "core/context/sql_literal.h"
#include "core/relocation/disposition_rules.h"
#include "core/relocation/field_rules.h"
#include "core/rooms/room_lookup.h"
#include "core/rooms/room_options.h"
#include "corvan/controls/property_item.h"
#include "corvan/controls/property_items.h"

namespace corvan {

const QString BtsPage::ModifyGroupCaption = QStringLiteral("需要修改的属性");
const QString BtsPage::KeepGroupCaption = QStringLiteral("将被保留的属性");
const QString BtsPage::PopupEntryCaption = QStringLiteral("查看原有属性");
const QString BtsPage::CaptionSuffix = QStringLiteral("基站调整");
const QString BtsPage::ClearedValue = QStringLiteral("调整后清空");
const QString BtsPage::YesNoOptions = QStringLiteral("Y,是;N,否");

namespace {

const QString YesNoRule = QStringLiteral("YN");

// A BTS may only be moved where its user may still see it: the target city list holds
// the cities of the user's right, as the room search does.
void keepRightCities(const mdlPubVar& context, PropertyItem* row)
{
    RightService* rights = context.RightService();
    if (!rights || row->Children().ItemCount() == 0)
        return;
    QList<std::pair<QString, QString>> kept;
    for (const auto& option : row->Children())
        if (rights->HasCityRight(mdlPubFun::RightFunction, ItemKey::codeOf(option->Key())))
            kept.append({option->Key(), option->Caption()});
    if (kept.size() == row->Children().ItemCount())
        return;
    row->Children().ClearItems();
    for (const auto& [key, caption] : kept)
        row->Children().AddItem(0, key, caption, ITEM_OPTION);
}

} // namespace

bool BtsPage::build(const mdlPubVar& context, MoveBtsState& state, PropertyItems& grid, QString* caption,
                    QString* btsNumber, const PageLists& lists)
{
    if (state.net.isEmpty())
        return false;
    bool rulesRead = false;
    const QStringList rules = DispositionRules::read(context, state.net, &rulesRead);
    if (!rulesRead)
        return false;
    const auto table = state.attrMap.constFind(state.net);
    if (table == state.attrMap.constEnd())
        return false;

    state.fields = BtsFields(table.value());
    DispositionRules::dispose(state.fields, rules);
    static_cast<BtsOrigin&>(state) = readBts(context, state.net, state.fields);

    grid.ClearItems();
    addEditedRows(context, state, grid, lists);
    addKeptRows(state, grid);

    if (caption)
        *caption =
            state.fields.shownOf(FieldName::City) + state.fields.shownOf(FieldName::BaseName) + CaptionSuffix;
    if (btsNumber)
        *btsNumber = state.fields.shownOf(FieldName::BaseNum);
    return true;
}

BtsOrigin BtsPage::readBts(const mdlPubVar& context, const QString& net, const BtsFields& fields)
{
    BtsOrigin origin;
    origin.btsCode = fields.shownOf(FieldName::BaseCode);
    origin.oldRoomValue = fields.shownOf(FieldName::BelongRoom);
    if (fields.find(FieldName::City))
        origin.cityCode = mdlPubFun::GetCityId(context, fields.shownOf(FieldName::City));
    origin.oldRoomCode =
        RoomLookup::GetBtsRoomCode(context, net, origin.cityCode, fields.shownOf(FieldName::BaseName));
    // Two BTSs of a city may share a name, and the lookup by name then finds one room for
    // both; a name stored in bytes that are not text finds none although a room holds the BTS,
    // which would stay in that room as well as in the new one. So the room is the one that
    // holds this BTS's own number, or none when no room holds it.
    if (!origin.btsCode.isEmpty()) {
        if (auto own = context.db().open(RoomLookup::btsRoomStatement(net, origin.btsCode))) {
            origin.oldRoomCode.clear();
            if (own->RecordCount() > 0) {
                own->MoveFirst();
                origin.oldRoomCode = own->Text(0).trimmed();
            }
        }
    }
    return origin;
}

void BtsPage::addEditedRows(const mdlPubVar& context, MoveBtsState& state, PropertyItems& grid,
                            const PageLists& lists)
{
    grid.AddItem(0, ItemKey::ModifyGroup, ModifyGroupCaption, ITEM_GROUP);
    for (const BtsField& field : state.fields) {
        if (!field.edited())
            continue;
        // A name the table lists twice keeps its first row, which then serves both.
        if (field.disposition == Disposition::Remove) {
            if (PropertyItem* row = grid.AddItem(0, field.name, field.caption, ITEM_TEXT))
                row->setValue(ClearedValue);
        } else if (PropertyItem* row = grid.AddItem(0, field.name, field.caption, ITEM_EDIT)) {
            addOptions(context, state, lists, field, row);
        }
    }
}

void BtsPage::addOptions(const mdlPubVar& context, MoveBtsState& state, const PageLists& lists,
                         const BtsField& field, PropertyItem* row)
{
    const QString resTable = QStringLiteral("res_") + state.tableLetter() + QStringLiteral("bts");
    const QString rule = FieldRules::getResRule(context, resTable, field.name, state.fields);
    if (rule.trimmed() == YesNoRule)
        mdlPubFun::AddListOptions(row, YesNoOptions);
    else if (!rule.isEmpty())
        mdlPubFun::FillListOptions(context, row, rule, lists.kept);
    if (field.name == FieldName::BelongRoom) {
        mdlPubFun::FillListOptions(
            context, row, RoomLookup::roomOptionsStatement(state.cityCode, lists.roomScope), lists.kept);
        RoomOptions::distinguish(context, row, state.cityCode, state.cityRooms, state.net);
    } else if (field.name == FieldName::City) {
        keepRightCities(context, row);
    }
}

void BtsPage::addKeptRows(const MoveBtsState& state, PropertyItems& grid)
{
    PropertyItem* keep = grid.AddItem(0, ItemKey::KeepGroup, KeepGroupCaption, ITEM_GROUP);
    for (const BtsField& field : state.fields) {
        if (field.disposition != Disposition::Keep)
            continue;
        if (PropertyItem* row = grid.AddItem(0, field.name, field.caption, ITEM_TEXT))
            row->setValue(field.shown);
    }

    if (PropertyItem* modify = grid.GetItem(ItemKey::ModifyGroup))
        modify->setGroupFlag(false);
    if (keep)
        keep->setGroupFlag(false);

    if (PropertyItem* menu = grid.AddItem(0, ItemKey::Menu, QString(), ITEM_MENU)) {
        menu->Children().AddItem(0, ItemKey::MenuEntry, PopupEntryCaption, ITEM_MENUENTRY);
        menu->setVisible(false);
    }
}

} // namespace corvan
