// SPDX-License-Identifier: MIT
#include "core/relocation/bts_save.h"

#include "core/context/field_names.h"
#include "core/context/list_options.h"
#include "core/context/sql_literal.h"
#include "core/relocation/field_rules.h"
#include "core/relocation/value_checks.h"
#include "core/rooms/room_options.h"
#include "corvan/controls/property_item.h"
#include "corvan/controls/property_items.h"
#include "corvan/record_set.h"

#include <QHash>
#include <algorithm>

namespace corvan {

QString BtsSave::notInCityMessage(const QString& cityName)
{
    return QStringLiteral("所选机房不属于") + cityName;
}

namespace {

// What a list row stands for in the database: the code of the option the user chose.
// A value that names no option, or a row without options, is taken as typed.
QString optionCodeOrTyped(const PropertyItem* row, const QString& shown)
{
    if (row->Children().ItemCount() == 0)
        return shown;
    const QString code = mdlPubFun::GetOptionCode(row, shown);
    return code.isEmpty() ? shown : code;
}

} // namespace

QString BtsSave::roomCodeMissingMessage(const QString& roomValue)
{
    return QStringLiteral("无法取得机房 ") + roomValue + QStringLiteral(" 的机房编号");
}

QString BtsSave::roomRefusal(const MoveBtsState& state, const PropertyItems& grid, const QString& roomValue)
{
    // The room row offers the rooms of the page's city, so a room it does not offer was
    // chosen for another city (before the city changed). Only a page without a city, which
    // offers every room, has a room with no code to tell of.
    QString city;
    if (const PropertyItem* row = grid.GetItem(FieldName::City); row && row->Type() == ITEM_EDIT)
        city = variantText(row->Value());
    if (city.isEmpty())
        city = state.fields.shownOf(FieldName::City);
    return city.isEmpty() ? roomCodeMissingMessage(roomValue) : notInCityMessage(city);
}

Verdict BtsSave::saveBtsData(const mdlPubVar& context, MoveBtsState& state, const PropertyItems& grid)
{
    QList<Verdict> refusals = collect(state, grid);
    // What the database would store otherwise than meant (a text in a number column, a
    // point off the globe, a county apart from the room) is refused before it is checked.
    refusals += ValueChecks::all(context, state);
    if (!refusals.isEmpty())
        return listed(std::move(refusals), grid);
    return FieldRules::checkBtsData(context, state);
}

Verdict BtsSave::listed(QList<Verdict> refusals, const PropertyItems& grid)
{
    if (refusals.isEmpty())
        return {};
    QHash<QString, long> rows;
    long position = 0;
    for (const auto& item : grid)
        rows.insert(item->Key(), ++position);
    const auto rowOf = [&](const Verdict& verdict) {
        return verdict.field.isEmpty() ? position + 1 : rows.value(verdict.field, position + 1);
    };
    std::stable_sort(refusals.begin(), refusals.end(),
                     [&](const Verdict& a, const Verdict& b) { return rowOf(a) < rowOf(b); });
    QStringList lines;
    for (const Verdict& refusal : std::as_const(refusals))
        if (!refusal.message.isEmpty() && !lines.contains(refusal.message))
            lines << refusal.message;
    return Verdict::refused(lines.join(QLatin1Char('\n')), refusals.constFirst().field);
}

QList<Verdict> BtsSave::collect(MoveBtsState& state, const PropertyItems& grid)
{
    QList<Verdict> refusals;
    for (BtsField& field : state.fields) {
        const PropertyItem* row = field.name.isEmpty() ? nullptr : grid.GetItem(field.name);
        field.onPage = row != nullptr;
        if (row && field.disposition != Disposition::Remove) {
            const QString shown = variantText(row->Value());
            if (field.required && shown.isEmpty()) {
                refusals << Verdict::refused(field.caption + FieldRules::RequiredSuffix, field.name);
                field.value.clear();
                field.text.clear();
            } else if (!take(state, field, row)) {
                refusals << Verdict::refused(roomRefusal(state, grid, shown), field.name);
            }
        }
        settle(field);
    }
    // The BTS stays in its room, which holds it already: there is no other target.
    if (!state.movesRoom()) {
        state.newRoomName = state.oldRoomValue;
        state.newRoomCode = state.oldRoomCode;
    }
    return refusals;
}

bool BtsSave::take(MoveBtsState& state, BtsField& field, const PropertyItem* row)
{
    const QString shown = variantText(row->Value());
    field.listed = row->Children().ItemCount() > 0;
    field.text = shown;
    if (field.name == FieldName::City) {
        field.value = mdlPubFun::GetOptionCode(row, shown);
    } else if (field.name == FieldName::BelongRoom) {
        field.value = mdlPubFun::GetOptionCode(row, shown);
        // An option may carry the room number beside a name that two rooms share; the BTS
        // row and the summary take the name alone.
        field.text = RoomOptions::nameOf(row, shown);
        state.newRoomName = field.text;
        state.newRoomCode = field.value;
        return !field.value.isEmpty();
    } else if (field.name == FieldName::BelongBsc) {
        field.value = shown;
    } else {
        field.value = optionCodeOrTyped(row, shown);
    }
    return true;
}

void BtsSave::settle(BtsField& field)
{
    switch (field.disposition) {
    case Disposition::Modify:
        return;
    case Disposition::Remove:
        field.value.clear();
        field.text.clear();
        return;
    default:
        field.value = field.shown;
        field.text = field.shown;
    }
}

QString BtsSave::setPiece(const MoveBtsState& state, const BtsField& field)
{
    if (field.isNumber())
        return field.name + QLatin1Char('=') + FieldRules::numberLiteral(field.value);
    // The BTS row names its room; the room's code goes to the room's own row.
    if (field.name == FieldName::BelongRoom &&
        (field.type == QLatin1String("char") || field.type == QLatin1String("custom")))
        return field.name + QStringLiteral("='") + sqlText(state.newRoomName) + QLatin1Char('\'');
    return field.name + QStringLiteral("='") + sqlText(field.value) + QLatin1Char('\'');
}

QStringList BtsSave::updateStatements(const MoveBtsState& state)
{
    const QString n = state.tableLetter();
    if (n.isEmpty())
        return {};
    QStringList sets;
    for (const BtsField& field : state.fields)
        if (field.written())
            sets << setPiece(state, field);

    QStringList statements;
    // With nothing to write the BTS row is left alone, and the rooms still change hands.
    if (!sets.isEmpty())
        statements << QStringLiteral("update res_") + n + QStringLiteral("bts set ") +
                          sets.join(QLatin1Char(',')) + QStringLiteral(" where basecode='") +
                          sqlText(state.btsCode) + QLatin1Char('\'');
    // A BTS whose room is kept stays in it: neither room changes, so the BTS and the room
    // that holds it keep naming each other.
    if (!state.movesRoom())
        return statements;
    const BtsField* number = state.fields.find(FieldName::BaseNum);
    const BtsField* room = state.fields.find(FieldName::BelongRoom);
    statements << QStringLiteral("update res_baseroom set ") + n + QStringLiteral("bts='") +
                      sqlText(number ? number->value : QString()) + QLatin1Char('\'') +
                      QStringLiteral(" where roomcode='") + sqlText(room->value) + QLatin1Char('\'');
    statements << QStringLiteral("update res_baseroom set ") + n + QStringLiteral("bts=null") +
                      QStringLiteral(" where roomcode='") + sqlText(state.oldRoomCode) + QLatin1Char('\'');
    return statements;
}

} // namespace corvan
