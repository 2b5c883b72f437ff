// SPDX-License-Identifier: MIT
#include "core/relocation/field_rules.h"

#include "core/context/divisions.h"
#include "core/context/field_names.h"
#include "core/context/mdl_pub_var.h"
#include "core/context/sql_literal.h"
#include "core/rooms/room_lookup.h"
#include "corvan/record_set.h"

#include <QRegularExpression>

namespace corvan {

const QString FieldRules::RequiredSuffix = QStringLiteral("不能为空");
const QString FieldRules::DuplicateKeys = QStringLiteral("关键字段重复");

namespace {

const QString PartSeparator = QStringLiteral(";");
const QString PairSeparator = QStringLiteral(",");

// The host splits the rule's pair; a host without the helper gets the same answer here.
QString textField(const mdlPubVar& context, const QString& text, const QString& separator, int position)
{
    if (UiService* ui = context.UiService())
        return ui->GetTextField(text, separator, position);
    return text.split(separator).value(position - 1);
}

// A check that could not be made leaves the message as far as it was built; only a
// finished message loses its last separator.
Verdict finished(QString message, const QString& field)
{
    if (message.endsWith(PartSeparator))
        message.chop(1);
    return message.isEmpty() ? Verdict{} : Verdict::refused(message, field);
}

// The first field to modify that is one of the key fields.
QString firstKeyField(const BtsFields& fields, const QStringList& keys)
{
    for (const BtsField& field : fields)
        if (field.disposition == Disposition::Modify && keys.contains(field.name))
            return field.name;
    return {};
}

} // namespace

QString FieldRules::ruleStatement(const QString& table, const QString& field)
{
    return QStringLiteral("select getrule,customselectrule from tabledictionarynew where tablename='") +
           sqlText(table) + QStringLiteral("' and enfield='") + sqlText(field) + QStringLiteral("'");
}

QString FieldRules::getResRule(const mdlPubVar& context, const QString& table, const QString& field,
                               const BtsFields& fields)
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
    const BtsField* source = fields.find(sourceField);
    if (!source)
        return {};
    // The value the record has now, not what the user may choose on the page.
    const QString filterValue =
        filterColumn == FieldName::City ? mdlPubFun::GetCityId(context, source->shown) : source->shown;
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
    const QString n = state.tableLetter();
    if (n.isEmpty())
        return {};
    QString condition;
    for (const BtsField& field : state.fields) {
        if (field.disposition != Disposition::Modify)
            continue;
        for (const QString& key : keys) {
            if (key != field.name)
                continue;
            if (!condition.isEmpty())
                condition += QStringLiteral(" and ");
            if (field.isNumber())
                condition += QLatin1Char(' ') + field.name + QLatin1Char('=') + numberLiteral(field.value);
            else
                condition += QLatin1Char(' ') + field.name + QStringLiteral("='") + sqlText(field.value) +
                             QLatin1Char('\'');
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

Verdict FieldRules::checkRoom(const mdlPubVar& context, const MoveBtsState& state)
{
    // A BTS that stays in its room has no target to check; nor has a page without the row.
    const BtsField* room = state.fields.find(FieldName::BelongRoom);
    if (!state.movesRoom() || !room->onPage)
        return {};
    auto rs = context.db().open(RoomLookup::roomCheckStatement(state.net, state.newRoomCode));
    if (!rs)
        return Verdict::refused({}, room->name);
    if (rs->RecordCount() > 0) {
        rs->MoveFirst();
        if (!rs->Text(0).trimmed().isEmpty())
            return Verdict::refused(roomTakenMessage(state), room->name);
    }
    return {};
}

std::optional<QStringList> FieldRules::keyFields(const mdlPubVar& context, const QString& net)
{
    auto rs = context.db().open(keyFieldsStatement(net));
    if (!rs)
        return std::nullopt;
    if (rs->RecordCount() <= 0)
        return QStringList();
    rs->MoveFirst();
    return rs->Text(QStringLiteral("judgeunique")).split(PairSeparator);
}

Verdict FieldRules::checkBtsData(const mdlPubVar& context, const MoveBtsState& state)
{
    if (const Verdict room = checkRoom(context, state); !room.ok)
        return room;
    const std::optional<QStringList> keys = keyFields(context, state.net);
    if (!keys)
        return Verdict::refused({});

    QString message;
    QString first; // the field the message begins with
    for (const BtsField& field : state.fields) {
        if (field.disposition != Disposition::Modify || !field.required || !field.value.isEmpty())
            continue;
        message += field.caption + RequiredSuffix + PartSeparator;
        first = first.isEmpty() ? field.name : first;
    }

    const QString count = countStatement(state, *keys);
    if (count.isEmpty())
        return finished(message, first);
    auto rs = context.db().open(count);
    if (!rs)
        return Verdict::refused(message, first);
    if (rs->RecordCount() > 0) {
        rs->MoveFirst();
        // A count of one is the BTS itself keeping its own key values.
        bool numeric = false;
        const double rows = rs->Text(0).toDouble(&numeric);
        if (!numeric)
            return Verdict::refused(message, first);
        if (rows > 1) {
            message += DuplicateKeys + PartSeparator;
            first = first.isEmpty() ? firstKeyField(state.fields, *keys) : first;
        }
    }
    return finished(message, first);
}

} // namespace corvan
