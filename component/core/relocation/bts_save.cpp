// SPDX-License-Identifier: MIT
#include "core/relocation/bts_save.h"

#include "core/context/mdl_pub_fun.h"
#include "core/context/sql_literal.h"
#include "core/relocation/field_rules.h"
#include "core/relocation/value_checks.h"
#include "core/relocation/wizard_prompt.h"
#include "core/rooms/room_options.h"
#include "corvan/controls/property_item.h"
#include "corvan/controls/property_items.h"
#include "corvan/record_set.h"

namespace corvan {

namespace {

const QString CityField = QStringLiteral("city");
const QString RoomField = QStringLiteral("belongroom");
const QString BscField = QStringLiteral("belongbsc");
const QString NumberField = QStringLiteral("basenum");
const QString CodeField = QStringLiteral("basecode");
const QString Modified = QStringLiteral("M");
const QString Removed = QStringLiteral("R");
const QString MustNotBeEmpty = QStringLiteral("N");
const QString Shown = QStringLiteral("Y");

// What a list row stands for in the database: the code of the option the user chose.
// A value that names no option, or a row without options, is taken as typed.
QString optionCodeOrTyped(const PropertyItem* row, const QString& shown)
{
    if (row->Children().ItemCount() == 0)
        return shown;
    const QString code = mdlPubFun::GetOptionCode(row, shown);
    return code.isEmpty() ? shown : code;
}

void fitToFields(QStringList& list, int fieldCount)
{
    while (list.size() < fieldCount)
        list.append(QString());
    while (list.size() > fieldCount)
        list.removeLast();
}

} // namespace

QString BtsSave::roomCodeMissingMessage(const QString& roomValue)
{
    return QStringLiteral("无法取得机房 ") + roomValue + QStringLiteral(" 的机房编号");
}

bool BtsSave::saveBtsData(const mdlPubVar& context, MoveBtsState& state, const PropertyItems& grid,
                          WizardPrompt& prompt)
{
    const AttrTable& attr = state.btsAttr;
    const int n = attr.FieldCount();
    fitToFields(state.btsValue, n);
    fitToFields(state.btsText, n);

    for (int j = 1; j <= n; ++j) {
        const QString name = attr.at(AttrTable::FieldName, j);
        const qsizetype i = j - 1;
        if (!name.isEmpty() && grid.HasItem(name)) {
            const PropertyItem* row = grid.GetItem(name);
            const QString shown = variantText(row->Value());
            if (attr.at(AttrTable::Required, j) == MustNotBeEmpty && shown.isEmpty()) {
                prompt.showMessage(attr.at(AttrTable::Caption, j) + FieldRules::RequiredSuffix);
                return false;
            }
            if (name == CityField) {
                state.btsValue[i] = mdlPubFun::GetOptionCode(row, shown);
            } else if (name == RoomField) {
                state.btsValue[i] = mdlPubFun::GetOptionCode(row, shown);
                // An option may carry the room number beside a name that two rooms share;
                // the BTS row and the summary take the name alone.
                state.newRoomName = RoomOptions::nameOf(row, shown);
                if (state.btsValue.at(i).isEmpty()) {
                    prompt.showMessage(roomCodeMissingMessage(shown));
                    return false;
                }
            } else if (name == BscField) {
                state.btsValue[i] = shown;
            } else {
                state.btsValue[i] = optionCodeOrTyped(row, shown);
            }
            state.btsText[i] = name == RoomField ? state.newRoomName : shown;
        }

        const QString letter = state.btsDisp.value(i);
        if (letter == Modified)
            continue;
        if (letter == Removed) {
            state.btsValue[i].clear();
            state.btsText[i].clear();
        } else {
            state.btsValue[i] = attr.at(AttrTable::DisplayValue, j);
            state.btsText[i] = state.btsValue.at(i);
        }
    }

    // What the database would store otherwise than meant (a text in a number column, a
    // point off the globe, a county apart from the room) is refused before it is checked.
    const QString wrong = ValueChecks::check(context, state, grid);
    if (!wrong.isEmpty()) {
        prompt.showMessage(wrong);
        return false;
    }

    const FieldRules::Check check = FieldRules::checkBtsData(context, state, grid, prompt);
    if (!check.ok) {
        if (!check.message.isEmpty())
            prompt.showMessage(check.message);
        return false;
    }
    return true;
}

QStringList BtsSave::updateStatements(const MoveBtsState& state)
{
    const QString n = state.n();
    if (n.isEmpty())
        return {};
    const AttrTable& attr = state.btsAttr;
    QString newNumber;
    QString newRoomCode;
    QStringList sets;
    for (int j = 1; j <= attr.FieldCount(); ++j) {
        const QString name = attr.at(AttrTable::FieldName, j);
        const QString value = state.btsValue.value(j - 1);
        if (name == NumberField)
            newNumber = value;
        else if (name == RoomField)
            newRoomCode = value;
        if (name == CodeField)
            continue;
        const QString letter = state.btsDisp.value(j - 1);
        if (letter != Removed && letter != Modified)
            continue;
        if (letter == Modified && attr.at(AttrTable::Display, j) != Shown)
            continue;
        const QString type = attr.at(AttrTable::DataType, j);
        if (FieldRules::isNumberType(type))
            sets << name + QLatin1Char('=') + FieldRules::numberLiteral(value);
        else if (name == RoomField && (type == QLatin1String("char") || type == QLatin1String("custom")))
            // The BTS row names its room; the room's code goes to the room's own row.
            sets << name + QStringLiteral("='") + sqlText(state.newRoomName) + QLatin1Char('\'');
        else
            sets << name + QStringLiteral("='") + sqlText(value) + QLatin1Char('\'');
    }

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
    statements << QStringLiteral("update res_baseroom set ") + n + QStringLiteral("bts='") +
                      sqlText(newNumber) + QLatin1Char('\'') + QStringLiteral(" where roomcode='") +
                      sqlText(newRoomCode) + QLatin1Char('\'');
    statements << QStringLiteral("update res_baseroom set ") + n + QStringLiteral("bts=null") +
                      QStringLiteral(" where roomcode='") + sqlText(state.oldRoomCode) + QLatin1Char('\'');
    return statements;
}

} // namespace corvan
