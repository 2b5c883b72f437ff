// SPDX-License-Identifier: MIT
#include "core/relocation/value_checks.h"

#include <cmath>

#include "core/context/field_names.h"
#include "core/context/mdl_pub_var.h"
#include "core/context/sql_literal.h"
#include "core/relocation/field_rules.h"
#include "core/rooms/room_options.h"

namespace corvan {

const QString ValueChecks::NotANumber = QStringLiteral("必须是数字");
const QString ValueChecks::NotAWholeNumber = QStringLiteral("必须是整数");
const QString ValueChecks::OutOfRange = QStringLiteral("超出范围");
const QString ValueChecks::CountyMismatch = QStringLiteral("与所选机房所在的区县不一致");

namespace {

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
    const bool longitude = field == FieldName::Longitude;
    if (!longitude && field != FieldName::Latitude)
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

Verdict ValueChecks::checkNumber(const mdlPubVar& context, const BtsField& field)
{
    // As written: a blank around the digits would make the statement store a text.
    const QString& value = field.value;
    bool ok = false;
    const double parsed = value.toDouble(&ok);
    if (!FieldRules::isNumber(value) || !ok || !std::isfinite(parsed))
        return Verdict::refused(field.caption + NotANumber, field.name);
    if (field.type == QLatin1String("int") && parsed != std::floor(parsed))
        return Verdict::refused(field.caption + NotAWholeNumber, field.name);
    if (const auto range = coordinateRange(context, field.name);
        range && (parsed < range->min || parsed > range->max))
        return Verdict::refused(field.caption + OutOfRange + QLatin1Char('(') + number(range->min) +
                                    QStringLiteral("～") + number(range->max) + QLatin1Char(')'),
                                field.name);
    return {};
}

Verdict ValueChecks::checkCounty(const mdlPubVar& context, const MoveBtsState& state)
{
    // A county chosen apart from the room would place the BTS where its room is not.
    const BtsField* county = state.fields.find(FieldName::County);
    const BtsField* room = state.fields.find(FieldName::BelongRoom);
    if (!county || !room || !state.movesRoom() || county->disposition != Disposition::Modify ||
        !county->onPage || !county->listed)
        return {};
    const QString roomCounty = RoomOptions::countyOf(context, room->value);
    if (!county->value.isEmpty() && !roomCounty.isEmpty() && county->value != roomCounty)
        return Verdict::refused(county->caption + CountyMismatch, county->name);
    return {};
}

QList<Verdict> ValueChecks::all(const mdlPubVar& context, const MoveBtsState& state)
{
    QList<Verdict> refusals;
    for (const BtsField& field : state.fields) {
        if (field.disposition != Disposition::Modify || !field.onPage || field.value.isEmpty() ||
            !field.isNumber())
            continue;
        if (Verdict verdict = checkNumber(context, field); !verdict.ok)
            refusals << verdict;
    }
    if (Verdict county = checkCounty(context, state); !county.ok)
        refusals << county;
    return refusals;
}

Verdict ValueChecks::check(const mdlPubVar& context, const MoveBtsState& state)
{
    const QList<Verdict> refusals = all(context, state);
    return refusals.isEmpty() ? Verdict{} : refusals.constFirst();
}

} // namespace corvan
