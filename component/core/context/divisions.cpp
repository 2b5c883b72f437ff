// SPDX-License-Identifier: MIT
#include "core/context/divisions.h"

#include "core/context/mdl_pub_var.h"
#include "core/context/sql_literal.h"

namespace corvan::mdlPubFun {

const QString UnknownName = QStringLiteral("未知");
const QString AllCities = QStringLiteral("全部");
const QString RightFunction = QStringLiteral("13");

namespace {
const QString DefaultProvinceId = QStringLiteral("4");
} // namespace

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

} // namespace corvan::mdlPubFun
