// SPDX-License-Identifier: MIT
#include "core/relocation/field_rules.h"

#include "core/context/mdl_pub_fun.h"
#include "core/context/mdl_pub_var.h"
#include "core/context/sql_literal.h"
#include "core/relocation/wizard_prompt.h"
#include "core/rooms/room_options.h"
#include "corvan/controls/property_item.h"
#include "corvan/controls/property_items.h"
#include "corvan/record_set.h"

#include <QRegularExpression>

namespace corvan {

const QString FieldRules::RequiredSuffix = QStringLiteral("不能为空");
const QString FieldRules::DuplicateKeys = QStringLiteral("关键字段重复");

namespace {

const QString PartSeparator = QStringLiteral(";");
const QString PairSeparator = QStringLiteral(",");
const QString CityColumn = QStringLiteral("city");
const QString RoomField = QStringLiteral("belongroom");
const QString Modified = QStringLiteral("M");
const QString MustNotBeEmpty = QStringLiteral("N");

// The host splits the rule's pair; a host without the helper gets the same answer here.
QString textField(const mdlPubVar& context, const QString& text, const QString& separator, int position)
{
    if (UiService* ui = context.UiService())
        return ui->GetTextField(text, separator, position);
    return text.split(separator).value(position - 1);
}

} // namespace

QString FieldRules::ruleStatement(const QString& table, const QString& field)
{
    return QStringLiteral("select getrule,customselectrule from tabledictionarynew where tablename='") +
           sqlText(table) + QStringLiteral("' and enfield='") + sqlText(field) + QStringLiteral("'");
}

QString FieldRules::getResRule(const mdlPubVar& context, const QString& table, const QString& field,
                               const AttrTable& attr)
{
    auto rs = context.db().open(ruleStatement(table, field));
    if (!rs || rs->RecordCount() <= 0)
        return {};
    rs->MoveFirst();
    const QString getRule = rs->Text(QStringLiteral("getrule"));
    if (!getRule.isEmpty())
        return getRule;
    const QString custom = rs->Text(QStringLiteral("customselectrule"));
    if (custom.isEmpty())
        return {};

    // select list; table; filter column,source field
    const QStringList parts = custom.split(PartSeparator);
    if (parts.size() < 3)
        return {};
    const QString filterColumn = textField(context, parts.at(2), PairSeparator, 1);
    const QString sourceField = textField(context, parts.at(2), PairSeparator, 2);
    // A rule with a part missing would only make a statement that cannot run.
    if (parts.at(0).isEmpty() || parts.at(1).isEmpty() || filterColumn.isEmpty() || sourceField.isEmpty())
        return {};
    const int j = attr.findField(sourceField);
    if (j == 0)
        return {};
    // The value the record has now, not what the user may choose on the page.
    const QString shown = attr.at(AttrTable::DisplayValue, j);
    const QString filterValue = filterColumn == CityColumn ? mdlPubFun::GetCityId(context, shown) : shown;
    return QStringLiteral("select ") + parts.at(0) + QStringLiteral(" from ") + parts.at(1) +
           QStringLiteral(" where ") + filterColumn + QStringLiteral("='") + sqlText(filterValue) +
           QStringLiteral("'");
}

QString FieldRules::keyFieldsStatement(const QString& net)
{
    const QString n = networkName(net);
    if (n.isEmpty())
        return {};
    return QStringLiteral("select judgeunique from tablebaseinfo where queryfromview ='v_res_") + n +
           QStringLiteral("bts'");
}

bool FieldRules::isNumberType(const QString& type)
{
    return type == QLatin1String("num") || type == QLatin1String("int");
}

bool FieldRules::isNumber(const QString& value)
{
    static const QRegularExpression Number(
        QStringLiteral("^[+-]?([0-9]+(\\.[0-9]*)?|\\.[0-9]+)([eE][+-]?[0-9]+)?$"));
    return Number.match(value).hasMatch();
}

QString FieldRules::numberLiteral(const QString& value)
{
    if (value.isEmpty())
        return QStringLiteral("null");
    if (isNumber(value))
        return value;
    return QLatin1Char('\'') + sqlText(value) + QLatin1Char('\'');
}

QString FieldRules::countStatement(const MoveBtsState& state, const QStringList& keys)
{
    const QString n = state.n();
    if (n.isEmpty())
        return {};
    const AttrTable& attr = state.btsAttr;
    QString condition;
    for (int j = 1; j <= attr.FieldCount(); ++j) {
        if (state.btsDisp.value(j - 1) != Modified)
            continue;
        const QString name = attr.at(AttrTable::FieldName, j);
        const QString value = state.btsValue.value(j - 1);
        for (const QString& key : keys) {
            if (key != name)
                continue;
            if (!condition.isEmpty())
                condition += QStringLiteral(" and ");
            if (isNumberType(attr.at(AttrTable::DataType, j)))
                condition += QLatin1Char(' ') + name + QLatin1Char('=') + numberLiteral(value);
            else
                condition +=
                    QLatin1Char(' ') + name + QStringLiteral("='") + sqlText(value) + QLatin1Char('\'');
        }
    }
    if (condition.isEmpty())
        return {};
    return QStringLiteral("select count(*) from v_res_") + n + QStringLiteral("bts") +
           QStringLiteral(" where") + condition;
}

QString FieldRules::roomTakenMessage(const MoveBtsState& state)
{
    return QStringLiteral("您所选择的机房:") + state.newCityName + QStringLiteral("的") + state.newRoomName +
           QStringLiteral(" 已经存在") + state.net + QStringLiteral("网基站");
}

FieldRules::Check FieldRules::checkBtsData(const mdlPubVar& context, MoveBtsState& state,
                                           const PropertyItems& grid, WizardPrompt& prompt)
{
    const SystemDb& db = context.db();
    Check check;
    // A check that could not be made leaves the message as far as it was built; only a
    // finished message loses its last separator.
    const auto stopped = [&check](const QString& message) {
        check.message = message;
        return check;
    };
    const auto finish = [&check](QString message) {
        if (message.endsWith(PartSeparator))
            message.chop(1);
        check.message = message;
        return check;
    };

    if (!state.movesRoom()) {
        // The BTS stays in its room, which holds it already: there is no target to check.
        state.newRoomName = state.oldRoomValue;
        state.newRoomCode = state.oldRoomCode;
    } else if (grid.HasItem(RoomField)) {
        const PropertyItem* room = grid.GetItem(RoomField);
        const QString shown = variantText(room->Value());
        state.newRoomName = RoomOptions::nameOf(room, shown);
        state.newRoomCode = mdlPubFun::GetOptionCode(room, shown);
        auto rs = db.open(mdlPubFun::roomCheckStatement(state.net, state.newRoomCode));
        if (!rs)
            return check;
        if (rs->RecordCount() > 0) {
            rs->MoveFirst();
            if (!rs->Text(0).trimmed().isEmpty()) {
                prompt.showMessage(roomTakenMessage(state));
                return check;
            }
        }
    }

    QStringList keys;
    {
        auto rs = db.open(keyFieldsStatement(state.net));
        if (!rs)
            return check;
        if (rs->RecordCount() > 0) {
            rs->MoveFirst();
            keys = rs->Text(QStringLiteral("judgeunique")).split(PairSeparator);
        }
    }

    QString message;
    const AttrTable& attr = state.btsAttr;
    for (int j = 1; j <= attr.FieldCount(); ++j) {
        if (state.btsDisp.value(j - 1) != Modified)
            continue;
        if (attr.at(AttrTable::Required, j) == MustNotBeEmpty && state.btsValue.value(j - 1).isEmpty())
            message += attr.at(AttrTable::Caption, j) + RequiredSuffix + PartSeparator;
    }

    const QString count = countStatement(state, keys);
    if (!count.isEmpty()) {
        auto rs = db.open(count);
        if (!rs)
            return stopped(message);
        if (rs->RecordCount() > 0) {
            rs->MoveFirst();
            // A count of one is the BTS itself keeping its own key values.
            bool numeric = false;
            const double rows = rs->Text(0).toDouble(&numeric);
            if (!numeric)
                return stopped(message);
            if (rows > 1)
                message += DuplicateKeys + PartSeparator;
        }
    }

    check.ok = message.isEmpty();
    return finish(message);
}

} // namespace corvan
