// SPDX-License-Identifier: MIT
#include "core/rooms/city_rooms.h"

#include "core/context/mdl_pub_var.h"
#include "core/context/sql_literal.h"
#include "corvan/record_set.h"

namespace corvan {

QString CityRooms::statement(const QString& cityId, const QString& net)
{
    const QString n = networkName(net);
    QString sql = QStringLiteral("select roomcode,roomname,roomno,county,") +
                  (n.isEmpty() ? QStringLiteral("''") : n + QStringLiteral("bts")) +
                  QStringLiteral(" from res_baseroom");
    if (!cityId.isEmpty())
        sql += QStringLiteral(" where city='") + sqlText(cityId) + QLatin1Char('\'');
    return sql;
}

const QHash<QString, CityRooms::Room>& CityRooms::of(const mdlPubVar& context, const QString& cityId,
                                                     const QString& net)
{
    if (m_read && m_city == cityId && m_net == net)
        return m_rooms;
    m_rooms.clear();
    m_city = cityId;
    m_net = net;
    m_read = true;
    if (auto rs = context.db().open(statement(cityId, net))) {
        m_rooms.reserve(rs->RecordCount());
        for (rs->MoveFirst(); !rs->isEOF(); rs->MoveNext())
            m_rooms.insert(rs->Text(0), {rs->Text(1), rs->Text(2).trimmed(), rs->Text(3).trimmed(),
                                         !rs->Text(4).trimmed().isEmpty()});
    } else {
        // A failed read is tried again by the next request.
        m_read = false;
    }
    return m_rooms;
}

QHash<QString, QString> CityRooms::numbersOf(const mdlPubVar& context, const QString& cityId,
                                             const QString& net, const QStringList& codes) const
{
    QHash<QString, QString> numbers;
    if (m_read && m_city == cityId && m_net == net) {
        for (const QString& code : codes)
            numbers.insert(code, m_rooms.value(code).number);
        return numbers;
    }
    for (qsizetype at = 0; at < codes.size(); at += SqlListLimit) {
        const auto rs =
            context.db().open(QStringLiteral("select roomcode,roomno from res_baseroom where roomcode in (") +
                              sqlTextList(codes.mid(at, SqlListLimit)) + QLatin1Char(')'));
        // Without numbers the rooms are told apart by their codes.
        if (!rs)
            return {};
        for (rs->MoveFirst(); !rs->isEOF(); rs->MoveNext())
            numbers.insert(rs->Text(0), rs->Text(1).trimmed());
    }
    return numbers;
}

void CityRooms::clear()
{
    m_read = false;
    m_rooms.clear();
}

} // namespace corvan
