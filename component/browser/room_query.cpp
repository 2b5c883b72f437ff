// SPDX-License-Identifier: MIT
#include "browser/room_query.h"

#include "lookups/sql_literal.h"

namespace corvan {

QString RoomQuery::build(bool allCities, const QString& cityId, const QString& rightCityList,
                         const QString& name, const QString& number)
{
    QString sql = QStringLiteral("select roomname,roomno,county,city,gbts,cbts,dbts,roomcode from res_baseroom ");
    if (!allCities)
        sql += QStringLiteral(" where  city = '") + sqlText(cityId) + QStringLiteral("' ");
    else
        sql += QStringLiteral(" where  city in ( ") + rightCityList + QStringLiteral(" ) ");
    const QString trimmedName = name.trimmed();
    if (!trimmedName.isEmpty())
        sql += QStringLiteral(" and roomname like '%") + sqlText(trimmedName) + QStringLiteral("%' ");
    const QString trimmedNumber = number.trimmed();
    if (!trimmedNumber.isEmpty())
        sql += QStringLiteral(" and roomno like '%") + sqlText(trimmedNumber) + QStringLiteral("%' ");
    sql += QStringLiteral(" order  by city,county, roomno ");
    return sql;
}

} // namespace corvan
