// SPDX-License-Identifier: MIT
#include "core/room_move/room_picker.h"

#include <QCollator>
#include <QHash>
#include <QSet>
#include <algorithm>
#include <numeric>
#include <vector>

#include "core/context/divisions.h"
#include "core/context/field_names.h"
#include "core/context/item_keys.h"
#include "core/context/list_options.h"
#include "core/context/mdl_pub_var.h"
#include "core/relocation/bts_save.h"
#include "core/relocation/move_bts_state.h"
#include "corvan/controls/property_item.h"
#include "corvan/controls/property_items.h"
#include "corvan/record_set.h"

namespace corvan {

const QString RoomPicker::AllCounties = QStringLiteral("全部区县");
const QString RoomPicker::HiddenByCounty = QStringLiteral(" 在其他区县，选择“全部区县”可见");

namespace {
const QString& RoomKey = FieldName::BelongRoom;
const QString& CountyKey = FieldName::County;
const QString& CityKey = FieldName::City;
const QString HasBts = QStringLiteral("已有%1网基站，不能再放入");
const QString StandsHere = QStringLiteral("基站现在就在这个机房");

} // namespace

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
    m_order.clear();
    m_pageCounty.clear();
    m_city.clear();
    if (!grid.HasItem(RoomKey))
        return;
    m_city = cityOf(state, grid);
    // The rooms the page read to tell shared names apart serve here too.
    const QHash<QString, CityRooms::Room>& known = state.cityRooms.of(context, m_city, state.net);

    QHash<QString, QString> countyNames;
    QString pageCounty;
    if (grid.HasItem(CountyKey)) {
        const PropertyItem* county = grid.GetItem(CountyKey);
        for (const auto& option : county->Children())
            countyNames.insert(ItemKey::codeOf(option->Key()), option->Caption());
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

    const PropertyItems& options = grid.GetItem(RoomKey)->Children();
    m_rooms.reserve(options.ItemCount());
    for (const auto& option : options) {
        Room room;
        room.code = ItemKey::codeOf(option->Key());
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
            else if (row->occupied) {
                room.takenFor = QStringList{state.net};
                room.refusal = HasBts.arg(state.net);
            }
        }
        // The county row shows a name, chosen from its options or kept as it was.
        if (!pageCounty.isEmpty() && room.county == pageCounty)
            m_pageCounty = room.countyId;
        m_rooms.append(std::move(room));
    }

    // Chinese names in the order of their reading; numbers as numbers where they hold digits.
    // Sorted once by keys made once: a filter keeps this order.
    QCollator names(QLocale(QLocale::Chinese, QLocale::China));
    QCollator numbers;
    numbers.setNumericMode(true);
    std::vector<std::pair<QCollatorSortKey, QCollatorSortKey>> keys;
    keys.reserve(std::size_t(m_rooms.size()));
    for (const Room& room : std::as_const(m_rooms))
        keys.emplace_back(names.sortKey(room.name), numbers.sortKey(room.number));
    m_order.resize(m_rooms.size());
    std::iota(m_order.begin(), m_order.end(), 0);
    std::stable_sort(m_order.begin(), m_order.end(), [&](int a, int b) {
        const auto& x = keys[std::size_t(a)];
        const auto& y = keys[std::size_t(b)];
        if (const int byName = x.first.compare(y.first))
            return byName < 0;
        return x.second.compare(y.second) < 0;
    });
}

void RoomPicker::alsoFor(const mdlPubVar& context, const MoveBtsState& state, const PropertyItems& grid)
{
    const QHash<QString, CityRooms::Room>& known =
        state.cityRooms.of(context, cityOf(state, grid), state.net);
    for (Room& room : m_rooms) {
        const auto row = known.constFind(room.code);
        if (row == known.cend() || room.refusal == StandsHere)
            continue;
        if (room.code == state.oldRoomCode) {
            room.takenFor.clear();
            room.refusal = StandsHere;
        } else if (row->occupied && !room.takenFor.contains(state.net)) {
            room.takenFor << state.net;
            room.refusal = HasBts.arg(room.takenFor.join(QStringLiteral("、")));
        }
    }
}

QList<std::pair<QString, QString>> RoomPicker::counties() const
{
    QList<std::pair<QString, QString>> out;
    QSet<QString> seen;
    for (const Room& room : m_rooms)
        if (!room.countyId.isEmpty() && !seen.contains(room.countyId)) {
            seen.insert(room.countyId);
            out.append({room.countyId, room.county});
        }
    QCollator collator(QLocale(QLocale::Chinese, QLocale::China));
    std::sort(out.begin(), out.end(),
              [&](const auto& a, const auto& b) { return collator.compare(a.second, b.second) < 0; });
    return out;
}

QList<int> RoomPicker::filter(const QString& text, const QString& countyId) const
{
    const QString wanted = text.trimmed();
    QList<int> out;
    out.reserve(m_order.size());
    for (int i : m_order) {
        const Room& room = m_rooms.at(i);
        if (!countyId.isEmpty() && room.countyId != countyId)
            continue;
        if (wanted.isEmpty() || room.caption.contains(wanted, Qt::CaseInsensitive) ||
            room.number.contains(wanted, Qt::CaseInsensitive))
            out.append(i);
    }
    return out;
}

QString RoomPicker::hiddenByCounty(const QString& text, const QString& countyId) const
{
    const QString wanted = text.trimmed();
    if (wanted.isEmpty() || countyId.isEmpty())
        return {};
    constexpr qsizetype Named = 3;
    QStringList names;
    bool more = false;
    for (int i : m_order) {
        const Room& room = m_rooms.at(i);
        if (room.countyId == countyId || !(room.caption.contains(wanted, Qt::CaseInsensitive) ||
                                           room.number.contains(wanted, Qt::CaseInsensitive)))
            continue;
        if (names.contains(room.name))
            continue;
        if (names.size() == Named) {
            more = true;
            break;
        }
        names << room.name;
    }
    if (names.isEmpty())
        return {};
    return names.join(QStringLiteral("、")) + (more ? QStringLiteral("等") : QString()) + HiddenByCounty;
}

RoomPicker::Choice RoomPicker::choose(const MoveBtsState& state, const PropertyItems& grid, int index) const
{
    Choice choice;
    if (index < 0 || index >= m_rooms.size())
        return choice;
    choice.room = m_rooms.at(index).caption;
    // Rooms of every city were offered: there is no city to hold the room to.
    if (m_city.isEmpty())
        return choice;
    const PropertyItem* city = grid.HasItem(CityKey) ? grid.GetItem(CityKey) : nullptr;
    if (city && city->Type() == ITEM_EDIT && city->Children().ItemCount() > 0) {
        const QString shown = variantText(city->Value());
        if (mdlPubFun::GetOptionCode(city, shown) == m_city)
            return choice;
        if (const PropertyItem* option = city->Children().GetItem(ItemKey::code(m_city)))
            choice.city = option->Caption();
        else if (!shown.isEmpty())
            choice.refusal = BtsSave::notInCityMessage(shown);
        return choice;
    }
    // A city the relocation keeps (or a page without one): the BTS stays in its city.
    if (!state.cityCode.isEmpty() && state.cityCode != m_city)
        choice.refusal = BtsSave::notInCityMessage(state.fields.shownOf(CityKey));
    return choice;
}

} // namespace corvan
