// SPDX-License-Identifier: MIT
#include "core/rooms/room_lookup.h"

#include "core/context/mdl_pub_var.h"
#include "core/context/sql_literal.h"

namespace corvan {

QString RoomLookup::GetRoomCodeByName(const mdlPubVar& context, const QString& city, const QString& roomName)
{
    if (city.isEmpty() || roomName.isEmpty())
        return {};
    return context.db()
        .firstText(QStringLiteral("select roomcode from res_baseroom where city='") + sqlText(city) +
                   QStringLiteral("' and roomname='") + sqlText(roomName) + QStringLiteral("'"))
        .value_or(QString());
}

QString RoomLookup::GetRoomName(const mdlPubVar& context, const QString& roomCode)
{
    return context.db()
        .firstText(QStringLiteral("select roomname from res_baseroom where roomcode='") + sqlText(roomCode) +
                   QStringLiteral("'"))
        .value_or(QString());
}

QString RoomLookup::GetBtsRoomCode(const mdlPubVar& context, const QString& net, const QString& city,
                                   const QString& btsName)
{
    const QString n = networkName(net);
    if (n.isEmpty() || city.isEmpty() || btsName.isEmpty())
        return {};
    return context.db()
        .firstText(QStringLiteral("select a.roomcode from res_baseroom a,res_") + n +
                   QStringLiteral("bts b") + QStringLiteral(" where b.basenum=a.") + n +
                   QStringLiteral("bts") + QStringLiteral(" and b.city='") + sqlText(city) +
                   QStringLiteral("' and b.basename='") + sqlText(btsName) + QStringLiteral("'"))
        .value_or(QString());
}

QString RoomLookup::roomSearchStatement(bool allCities, const QString& cityId, const QString& rightCityList,
                                        const QString& name, const QString& number)
{
    QString sql =
        QStringLiteral("select roomname,roomno,county,city,gbts,cbts,dbts,roomcode from res_baseroom ");
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

QString RoomLookup::roomOptionsStatement(const QString& cityId, const QString& scope)
{
    QString sql = QStringLiteral("select roomcode,roomname from res_baseroom ");
    if (!cityId.isEmpty())
        sql += QStringLiteral(" where city='") + sqlText(cityId) + QStringLiteral("'");
    if (!scope.isEmpty())
        sql += (cityId.isEmpty() ? QStringLiteral(" where roomcode='") : QStringLiteral(" and roomcode='")) +
               sqlText(scope) + QLatin1Char('\'');
    return sql;
}

QString RoomLookup::cityRoomsStatement(const QString& cityId, const QString& scope)
{
    QString sql = QStringLiteral("select roomcode,roomname from res_baseroom where city='") +
                  sqlText(cityId) + QStringLiteral("'");
    if (!scope.isEmpty())
        sql += QStringLiteral(" and roomcode='") + sqlText(scope) + QLatin1Char('\'');
    return sql;
}

QString RoomLookup::roomCountyStatement(const QString& roomCode)
{
    return QStringLiteral("select county from res_baseroom where roomcode='") + sqlText(roomCode) +
           QLatin1Char('\'');
}

QString RoomLookup::roomCheckStatement(const QString& net, const QString& roomCode)
{
    const QString n = networkName(net);
    if (n.isEmpty())
        return {};
    return QStringLiteral("select ") + n + QStringLiteral("bts from res_baseroom where roomcode='") +
           sqlText(roomCode) + QStringLiteral("'");
}

QString RoomLookup::btsRoomStatement(const QString& net, const QString& btsCode)
{
    const QString n = networkName(net);
    if (n.isEmpty())
        return {};
    return QStringLiteral("select a.roomcode from res_baseroom a,res_") + n +
           QStringLiteral("bts b where b.basenum=a.") + n +
           QStringLiteral("bts and b.basenum<>'' and b.basecode='") + sqlText(btsCode) + QLatin1Char('\'');
}

} // namespace corvan
