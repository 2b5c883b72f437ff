// SPDX-License-Identifier: MIT
#include "core/context/mdl_pub_fun.h"

#include <cmath>
#include <optional>

#include <QRegularExpression>

#include "core/context/item_keys.h"
#include "core/context/mdl_pub_var.h"
#include "core/context/option_lists.h"
#include "core/context/sql_literal.h"
#include "corvan/controls/property_item.h"

namespace corvan::mdlPubFun {

const QString ZeroCode = QStringLiteral("00000000000000000000");
const QString UnknownName = QStringLiteral("未知");
const QString AllCities = QStringLiteral("全部");
const QString RightFunction = QStringLiteral("13");

namespace {

constexpr int CodeLength = 20;
const QString DefaultProvinceId = QStringLiteral("4");

// A whole number, possibly written with a zero fraction as exact engines return it.
const QRegularExpression WholeNumber(QStringLiteral("^\\s*\\+?0*([0-9]+)(\\.0*)?\\s*$"));

std::optional<QString> nextCode(const QString& base)
{
    const auto whole = WholeNumber.match(base);
    QString next;
    if (whole.hasMatch()) {
        next = incrementDecimal(whole.captured(1));
    } else {
        bool ok = false;
        const double value = base.trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(value + 1))
            return std::nullopt;
        // An engine without exact decimals hands large codes over as doubles; a whole
        // value is still written out in digits, never in exponent form.
        if (value >= 0 && value == std::floor(value))
            next = incrementDecimal(QString::number(value, 'f', 0));
        else
            next = QString::number(value + 1, 'g', 15);
    }
    // More digits than a code holds would wrap around to an existing code.
    if (next.size() > CodeLength)
        return std::nullopt;
    return next;
}

} // namespace

QString incrementDecimal(const QString& digits)
{
    QString result = digits.isEmpty() ? QStringLiteral("0") : digits;
    qsizetype i = result.size() - 1;
    for (; i >= 0; --i) {
        if (result.at(i) == QLatin1Char('9')) {
            result[i] = QLatin1Char('0');
            continue;
        }
        result[i] = QChar(result.at(i).unicode() + 1);
        break;
    }
    if (i < 0)
        result.prepend(QLatin1Char('1'));
    // Leading zeros of the input carry no value.
    while (result.size() > 1 && result.at(0) == QLatin1Char('0'))
        result.remove(0, 1);
    return result;
}

QString NewCode(const mdlPubVar& context, const QString& table, const QString& column)
{
    auto rs = context.db().open(QStringLiteral("select max(to_number(") + column +
                                QStringLiteral(")) from ") + table);
    if (!rs)
        return ZeroCode;
    QString base = QStringLiteral("0");
    if (!(rs->isBOF() && rs->isEOF())) {
        rs->MoveFirst();
        const QString maximum = rs->Text(0).trimmed();
        bool numeric = false;
        maximum.toDouble(&numeric);
        if (numeric)
            base = maximum;
    }
    const auto next = nextCode(base);
    if (!next)
        return ZeroCode;
    return (ZeroCode + *next).right(CodeLength);
}

void InitQueryCity(const mdlPubVar& context, QStringList& names, QStringList& ids, bool withAll)
{
    names.clear();
    ids.clear();
    if (withAll) {
        names.append(AllCities);
        ids.append(AllCities);
    }
    ContextService* host = context.ContextService();
    if (!host)
        return;
    QString provinceId = DefaultProvinceId;
    auto province = context.db().open(QStringLiteral(" select * from com_province where pro_name = '") +
                                      sqlText(host->CurrentProvinceName()) + QStringLiteral("'"));
    if (province) {
        // A province the table does not know ends the list here, as the move to a first
        // row of an empty set fails.
        if (province->RecordCount() <= 0)
            return;
        province->MoveFirst();
        provinceId = province->Text(QStringLiteral("pro_id"));
    }
    auto cities = context.db().open(QStringLiteral("select * from com_city where pro_id = ") +
                                    sqlBareId(provinceId) + QStringLiteral(" order by showserial"));
    if (!cities)
        return;
    RightService* rights = context.RightService();
    if (!rights)
        return;
    cities->MoveFirst();
    for (int i = 0; i < cities->RecordCount(); ++i) {
        const QString cityId = cities->Text(QStringLiteral("city_id"));
        if (rights->HasCityRight(RightFunction, cityId)) {
            names.append(cities->Text(QStringLiteral("city_name")));
            ids.append(cityId);
        }
        cities->MoveNext();
    }
}

QString GetCityName(const mdlPubVar& context, const QString& cityId)
{
    if (cityId.isEmpty())
        return UnknownName;
    const auto name = context.db().firstText(
        QStringLiteral("select city_name from com_city where city_id = ") + sqlBareId(cityId));
    return name && !name->isEmpty() ? *name : UnknownName;
}

QString GetCountyName(const mdlPubVar& context, const QString& countyId)
{
    if (countyId.isEmpty())
        return UnknownName;
    const auto name = context.db().firstText(
        QStringLiteral("select county_name from com_county where county_id = ") + sqlBareId(countyId));
    return name && !name->isEmpty() ? *name : UnknownName;
}

QString GetCityId(const mdlPubVar& context, const QString& cityName)
{
    if (cityName.isEmpty())
        return {};
    return context.db()
        .firstText(QStringLiteral("select city_id from com_city where city_name = '") + sqlText(cityName) +
                   QStringLiteral("'"))
        .value_or(QString());
}

QString cityCountiesStatement(const QString& cityId)
{
    return QStringLiteral("select county_id,county_name from com_county where city_id=") + sqlBareId(cityId);
}

bool AddListOptions(PropertyItem* item, const QString& pairs)
{
    if (!item)
        return false;
    const QStringList parts = pairs.split(QLatin1Char(';'));
    for (const QString& part : parts) {
        if (part.isEmpty())
            continue;
        const QStringList fields = part.split(QLatin1Char(','));
        if (fields.size() < 2)
            return false;
        if (!item->Children().AddItem(0, ItemKey::code(fields.at(0)), fields.at(1), ITEM_OPTION))
            return false;
    }
    return true;
}

void FillListOptions(const mdlPubVar& context, PropertyItem* item, const QString& sql, OptionCache* kept)
{
    if (!item)
        return;
    auto rs = kept ? kept->rows(context.db(), sql) : context.db().open(sql);
    if (!rs || rs->RecordCount() <= 0)
        return;
    // The rows go straight into options rather than through a "code,name;" text: a name
    // holding a comma or a semicolon keeps its whole caption. A code met twice keeps its
    // first option and the list goes on.
    PropertyItems& options = item->Children();
    for (rs->MoveFirst(); !rs->isEOF(); rs->MoveNext())
        options.AddItem(0, ItemKey::code(rs->Text(0)), rs->Text(1), ITEM_OPTION);
}

QString GetOptionCode(const PropertyItem* item, const QString& caption)
{
    if (caption.isEmpty())
        return {};
    if (!item || item->Children().ItemCount() == 0)
        return caption;
    const PropertyItems& options = item->Children();
    for (long i = 1; i <= options.ItemCount(); ++i) {
        const PropertyItem* option = options.GetItem(i);
        if (option->Caption() == caption)
            return ItemKey::codeOf(option->Key());
    }
    return {};
}

} // namespace corvan::mdlPubFun
