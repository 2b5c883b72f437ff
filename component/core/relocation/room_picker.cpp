// SPDX-License-Identifier: MIT
#include "core/relocation/room_picker.h"

#include <QCollator>
#include <QHash>
#include <algorithm>

#include "core/context/field_names.h"
#include "core/context/mdl_pub_fun.h"
#include "core/context/mdl_pub_var.h"
#include "core/context/sql_literal.h"
#include "core/relocation/move_bts_state.h"
#include "corvan/controls/property_item.h"
#include "corvan/controls/property_items.h"
#include "corvan/record_set.h"

namespace corvan {

const QString RoomPicker::AllCounties = QStringLiteral("全部区县");

namespace {
const QString& RoomKey = FieldName::BelongRoom;
const QString& CountyKey = FieldName::County;
const QString& CityKey = FieldName::City;
const QString OptionPrefix = QStringLiteral("K:");
const QString HasBts = QStringLiteral("已有%1网基站，不能再放入");
const QString StandsHere = QStringLiteral("基站现在就在这个机房");

struct RoomRow {
    QString name;
    QString number;
    QString county;
    bool occupied = false;
};
} // namespace

QString RoomPicker::roomsStatement(const QString& cityId, const QString& net)
{
    const QString n = networkName(net);
    QString sql = QStringLiteral("select roomcode,roomname,roomno,county,") +
                  (n.isEmpty() ? QStringLiteral("''") : n + QStringLiteral("bts")) +
                  QStringLiteral(" from res_baseroom");
    if (!cityId.isEmpty())
        sql += QStringLiteral(" where city='") + sqlText(cityId) + QLatin1Char('\'');
    return sql;
}

QString RoomPicker::cityOf(const MoveBtsState& state, const PropertyItems& grid)
{
    if (grid.HasItem(CityKey)) {
        const PropertyItem* city = grid.GetItem(CityKey);
        if (city->Type() == ITEM_EDIT && city->Children().ItemCount() > 0) {
            const QString id = mdlPubFun::GetOptionCode(city, variantText(city->Value()));
            if (!id.isEmpty())
                return id;
        }
    }
    return state.cityCode;
}

void RoomPicker::load(const mdlPubVar& context, const MoveBtsState& state, const PropertyItems& grid)
{
    m_rooms.clear();
    m_pageCounty.clear();
    if (!grid.HasItem(RoomKey))
        return;
    QHash<QString, RoomRow> known;
    if (auto rs = context.db().open(roomsStatement(cityOf(state, grid), state.net)))
        for (rs->MoveFirst(); !rs->isEOF(); rs->MoveNext())
            known.insert(rs->Text(0), {rs->Text(1), rs->Text(2).trimmed(), rs->Text(3).trimmed(),
                                       !rs->Text(4).trimmed().isEmpty()});

    QHash<QString, QString> countyNames;
    QString pageCounty;
    if (grid.HasItem(CountyKey)) {
        const PropertyItem* county = grid.GetItem(CountyKey);
        for (const auto& option : county->Children())
            countyNames.insert(option->Key().mid(OptionPrefix.size()), option->Caption());
        pageCounty = variantText(county->Value());
    }
    const auto countyName = [&](const QString& id) {
        if (id.isEmpty())
            return QString();
        auto found = countyNames.constFind(id);
        if (found == countyNames.cend())
            found = countyNames.insert(id, mdlPubFun::GetCountyName(context, id));
        return *found;
    };

    for (const auto& option : grid.GetItem(RoomKey)->Children()) {
        Room room;
        room.code = option->Key().mid(OptionPrefix.size());
        room.caption = option->Caption();
        room.name = option->Value().isValid() ? option->Value().toString() : option->Caption();
        const auto row = known.constFind(room.code);
        if (row != known.cend()) {
            room.name = row->name;
            room.number = row->number;
            room.countyId = row->county;
            room.county = countyName(row->county);
            if (room.code == state.oldRoomCode)
                room.refusal = StandsHere;
            else if (row->occupied)
                room.refusal = HasBts.arg(state.net);
        }
        m_rooms.append(room);
        // The county row shows a name, chosen from its options or kept as it was.
        if (!pageCounty.isEmpty() && room.county == pageCounty)
            m_pageCounty = room.countyId;
    }
}

QList<std::pair<QString, QString>> RoomPicker::counties() const
{
    QList<std::pair<QString, QString>> out;
    for (const Room& room : m_rooms)
        if (!room.countyId.isEmpty() &&
            std::none_of(out.cbegin(), out.cend(), [&](const auto& c) { return c.first == room.countyId; }))
            out.append({room.countyId, room.county});
    QCollator collator(QLocale(QLocale::Chinese, QLocale::China));
    std::sort(out.begin(), out.end(),
              [&](const auto& a, const auto& b) { return collator.compare(a.second, b.second) < 0; });
    return out;
}

QList<int> RoomPicker::filter(const QString& text, const QString& countyId) const
{
    const QString wanted = text.trimmed();
    QList<int> out;
    for (int i = 0; i < m_rooms.size(); ++i) {
        const Room& room = m_rooms.at(i);
        if (!countyId.isEmpty() && room.countyId != countyId)
            continue;
        if (wanted.isEmpty() || room.caption.contains(wanted, Qt::CaseInsensitive) ||
            room.number.contains(wanted, Qt::CaseInsensitive))
            out.append(i);
    }
    // Chinese names in the order of their reading; numbers as numbers where they hold digits.
    QCollator names(QLocale(QLocale::Chinese, QLocale::China));
    QCollator numbers;
    numbers.setNumericMode(true);
    std::stable_sort(out.begin(), out.end(), [&](int a, int b) {
        const Room& x = m_rooms.at(a);
        const Room& y = m_rooms.at(b);
        if (const int byName = names.compare(x.name, y.name))
            return byName < 0;
        return numbers.compare(x.number, y.number) < 0;
    });
    return out;
}

} // namespace corvan
