// SPDX-License-Identifier: MIT
#include "core/rooms/room_tree.h"

#include <algorithm>

#include "core/context/divisions.h"
#include "corvan/record_set.h"

namespace corvan {

namespace {
const QString CityPrefix = QStringLiteral("L2");
const QString CountyPrefix = QStringLiteral("L3");
const QString RoomPrefix = QStringLiteral("L4");
} // namespace

void RoomTree::clear()
{
    m_text = QString();
    m_rooms = {};
    m_shown = 0;
    m_divisions.clear();
    m_divisionByKey.clear();
    m_countyRooms.clear();
    m_slots = {};
}

int RoomTree::division(const mdlPubVar& context, const QString& key, const QString& code, int city)
{
    const auto known = m_divisionByKey.constFind(key);
    if (known != m_divisionByKey.cend())
        return *known;
    const int index = int(m_divisions.size());
    m_divisions.push_back(
        {key, city < 0 ? mdlPubFun::GetCityName(context, code) : mdlPubFun::GetCountyName(context, code),
         city});
    m_countyRooms.emplace_back();
    m_divisionByKey.insert(key, index);
    return index;
}

void RoomTree::read(const mdlPubVar& context, RecordSet& rows)
{
    clear();
    const int cityField = rows.FieldIndex(QStringLiteral("city"));
    const int countyField = rows.FieldIndex(QStringLiteral("county"));
    const int nameField = rows.FieldIndex(QStringLiteral("RoomName"));
    const int numberField = rows.FieldIndex(QStringLiteral("RoomNo"));
    m_rooms.reserve(std::size_t(rows.RecordCount()));

    // The rows come by city and county, so a division is looked up only when it changes.
    QString lastCity;
    QString lastCounty;
    int cityDivision = -1;
    int countyDivision = -1;
    rows.MoveFirst();
    for (int i = 0; i < rows.RecordCount(); ++i, rows.MoveNext()) {
        const QString city = rows.Text(cityField);
        const QString county = rows.Text(countyField);
        if (cityDivision < 0 || city != lastCity) {
            cityDivision = division(context, CityPrefix + city, city, -1);
            countyDivision = -1;
            lastCity = city;
        }
        if (countyDivision < 0 || county != lastCounty) {
            countyDivision = division(context, CountyPrefix + city + county, county, cityDivision);
            lastCounty = county;
        }
        const QString name = rows.Text(nameField);
        const QString number = rows.Text(numberField);
        m_rooms.push_back({quint32(m_text.size()), quint32(countyDivision), 0, quint32(city.size()),
                           quint32(name.size()), quint32(number.size())});
        m_text.append(city).append(name).append(number);
    }

    m_text.squeeze();

    // Now that the text stays where it is, the first room of each key takes its place.
    std::size_t tableSize = 16;
    while (tableSize < m_rooms.size() * 2)
        tableSize *= 2;
    m_slots.assign(tableSize, Free);
    for (quint32 i = 0; i < quint32(m_rooms.size()); ++i) {
        const std::size_t slot = slotOf(keyOf(i));
        if (m_slots[slot] != Free)
            continue;
        m_slots[slot] = i;
        ++m_shown;
        Room& r = m_rooms[i];
        auto& county = m_countyRooms[r.division];
        r.position = quint32(county.size());
        county.push_back(i);
    }
}

QStringView RoomTree::textOf(const Room& room, quint32 skip, quint32 size) const
{
    return QStringView(m_text).mid(qsizetype(room.text) + skip, size);
}

QStringView RoomTree::keyOf(quint32 index) const
{
    const Room& r = m_rooms[index];
    return textOf(r, 0, r.city + r.name);
}

std::size_t RoomTree::slotOf(QStringView key) const
{
    const std::size_t mask = m_slots.size() - 1;
    std::size_t slot = qHash(key) & mask;
    while (m_slots[slot] != Free && keyOf(m_slots[slot]) != key)
        slot = (slot + 1) & mask;
    return slot;
}

const RoomTree::Room& RoomTree::room(int division, int position) const
{
    return m_rooms[m_countyRooms.at(std::size_t(division)).at(std::size_t(position))];
}

QString RoomTree::roomKey(int division, int position) const
{
    const Room& r = room(division, position);
    QString key;
    key.reserve(RoomPrefix.size() + r.city + r.name);
    return key.append(RoomPrefix).append(textOf(r, 0, r.city + r.name));
}

QString RoomTree::roomCaption(int division, int position) const
{
    const Room& r = room(division, position);
    const QStringView name = textOf(r, r.city, r.name);
    if (r.number == 0)
        return name.toString();
    QString caption;
    caption.reserve(name.size() + r.number + 2);
    caption.append(name)
        .append(QLatin1Char('('))
        .append(textOf(r, r.city + r.name, r.number))
        .append(QLatin1Char(')'));
    return caption;
}

QString RoomTree::roomNumber(int division, int position) const
{
    const Room& r = room(division, position);
    return textOf(r, r.city + r.name, r.number).toString();
}

bool RoomTree::find(const QString& key, int* division, int* position) const
{
    if (m_slots.empty() || !key.startsWith(RoomPrefix))
        return false;
    const quint32 index = m_slots[slotOf(QStringView(key).mid(RoomPrefix.size()))];
    if (index == Free)
        return false;
    *division = int(m_rooms[index].division);
    *position = int(m_rooms[index].position);
    return true;
}

int RoomTree::countyCount() const
{
    return int(std::count_if(m_divisions.cbegin(), m_divisions.cend(),
                             [](const Division& division) { return division.city >= 0; }));
}

QString RoomTree::countText() const
{
    if (m_shown == 0)
        return {};
    return QStringLiteral("共 %1 个机房，%2 个区县").arg(m_shown).arg(countyCount());
}

} // namespace corvan
