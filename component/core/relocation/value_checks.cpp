// SPDX-License-Identifier: MIT
#include "core/relocation/value_checks.h"

#include <cmath>

#include "core/context/mdl_pub_fun.h"
#include "core/context/mdl_pub_var.h"
#include "core/context/sql_literal.h"
#include "core/relocation/field_rules.h"
#include "core/rooms/room_options.h"
#include "corvan/controls/property_item.h"
#include "corvan/controls/property_items.h"

namespace corvan {

const QString ValueChecks::NotANumber = QStringLiteral("必须是数字");
const QString ValueChecks::NotAWholeNumber = QStringLiteral("必须是整数");
const QString ValueChecks::OutOfRange = QStringLiteral("超出范围");
const QString ValueChecks::CountyMismatch = QStringLiteral("与所选机房所在的区县不一致");

namespace {

const QString Modified = QStringLiteral("M");
const QString Longitude = QStringLiteral("longitude");
const QString Latitude = QStringLiteral("latitude");
const QString CountyField = QStringLiteral("county");
const QString RoomField = QStringLiteral("belongroom");

QString number(double value)
{
    return QString::number(value, 'g', 10);
}

} // namespace

QString ValueChecks::extentStatement(const QString& provinceId)
{
    return QStringLiteral(
               "select lon_min,lon_max,lat_min,lat_max from corvan_province_extent where pro_id='") +
           sqlText(provinceId) + QLatin1Char('\'');
}

std::optional<ValueChecks::Range> ValueChecks::coordinateRange(const mdlPubVar& context, const QString& field)
{
    const bool longitude = field == Longitude;
    if (!longitude && field != Latitude)
        return std::nullopt;
    Range range = longitude ? Range{-180, 180} : Range{-90, 90};
    // A database without the extent (or without the table) leaves the globe's bounds.
    ContextService* host = context.ContextService();
    const QString provinceId = host ? QString::number(host->CurrentProvinceId()) : QString();
    if (auto rs = context.db().open(extentStatement(provinceId)); rs && rs->RecordCount() > 0) {
        rs->MoveFirst();
        bool lowOk = false;
        bool highOk = false;
        const double low = rs->Text(longitude ? 0 : 2).toDouble(&lowOk);
        const double high = rs->Text(longitude ? 1 : 3).toDouble(&highOk);
        if (lowOk && highOk && low <= high && low >= range.min && high <= range.max)
            range = {low, high};
    }
    return range;
}

QString ValueChecks::check(const mdlPubVar& context, const MoveBtsState& state, const PropertyItems& grid)
{
    const AttrTable& attr = state.btsAttr;
    for (int j = 1; j <= attr.FieldCount(); ++j) {
        const QString name = attr.at(AttrTable::FieldName, j);
        // As written: a blank around the digits would make the statement store a text.
        const QString value = state.btsValue.value(j - 1);
        if (state.btsDisp.value(j - 1) != Modified || !grid.HasItem(name) || value.isEmpty())
            continue;
        const QString type = attr.at(AttrTable::DataType, j);
        if (!FieldRules::isNumberType(type))
            continue;
        const QString caption = attr.at(AttrTable::Caption, j);
        bool ok = false;
        const double parsed = value.toDouble(&ok);
        if (!FieldRules::isNumber(value) || !ok || !std::isfinite(parsed))
            return caption + NotANumber;
        if (type == QLatin1String("int") && parsed != std::floor(parsed))
            return caption + NotAWholeNumber;
        if (const auto range = coordinateRange(context, name);
            range && (parsed < range->min || parsed > range->max))
            return caption + OutOfRange + QLatin1Char('(') + number(range->min) + QStringLiteral("～") +
                   number(range->max) + QLatin1Char(')');
    }

    // A county chosen apart from the room would place the BTS where its room is not.
    const int county = attr.findField(CountyField);
    const int room = attr.findField(RoomField);
    if (county > 0 && room > 0 && state.movesRoom() && state.btsDisp.value(county - 1) == Modified &&
        grid.HasItem(CountyField) && grid.GetItem(CountyField)->Children().ItemCount() > 0) {
        const QString chosen = state.btsValue.value(county - 1);
        const QString roomCounty = RoomOptions::countyOf(context, state.btsValue.value(room - 1));
        if (!chosen.isEmpty() && !roomCounty.isEmpty() && chosen != roomCounty)
            return attr.at(AttrTable::Caption, county) + CountyMismatch;
    }
    return {};
}

} // namespace corvan
