// SPDX-License-Identifier: MIT
#include "core/rooms/room_options.h"

#include <QHash>

#include "core/context/field_names.h"
#include "core/context/item_keys.h"
#include "core/context/list_options.h"
#include "core/context/mdl_pub_var.h"
#include "core/rooms/city_rooms.h"
#include "core/rooms/room_lookup.h"
#include "corvan/controls/property_item.h"
#include "corvan/controls/property_items.h"

namespace corvan {

namespace {
const QString& CountyKey = FieldName::County;
} // namespace

void RoomOptions::distinguish(const mdlPubVar& context, PropertyItem* row, const QString& cityId,
                              const CityRooms& rooms, const QString& net)
{
    if (!row)
        return;
    PropertyItems& options = row->Children();
    QHash<QString, int> seen;
    for (const auto& option : options)
        ++seen[option->Caption()];
    bool shared = false;
    for (int count : std::as_const(seen))
        shared = shared || count > 1;
    if (!shared)
        return;

    QStringList codes;
    for (const auto& option : options)
        if (seen.value(option->Caption()) > 1)
            codes << ItemKey::codeOf(option->Key());
    const QHash<QString, QString> numbers = rooms.numbersOf(context, cityId, net, codes);
    // A number shared too, or missing, cannot tell rooms apart; the code always can.
    QHash<QString, int> labels;
    const auto label = [&](const PropertyItem* option) {
        const QString number = numbers.value(ItemKey::codeOf(option->Key()));
        return number.isEmpty() ? QString()
                                : option->Caption() + QLatin1Char('(') + number + QLatin1Char(')');
    };
    for (const auto& option : options)
        if (seen.value(option->Caption()) > 1)
            ++labels[label(option.get())];
    for (const auto& option : options) {
        const QString name = option->Caption();
        if (seen.value(name) <= 1)
            continue;
        QString caption = label(option.get());
        if (caption.isEmpty() || labels.value(caption) > 1)
            caption = name + QLatin1Char('(') + ItemKey::codeOf(option->Key()) + QLatin1Char(')');
        option->setValue(name);
        option->setCaption(caption);
    }
}

QString RoomOptions::nameOf(const PropertyItem* row, const QString& caption)
{
    if (!row)
        return caption;
    for (const auto& option : row->Children())
        if (option->Caption() == caption)
            return option->Value().isValid() ? option->Value().toString() : caption;
    return caption;
}

QString RoomOptions::countyOf(const mdlPubVar& context, const QString& roomCode)
{
    if (roomCode.isEmpty())
        return {};
    return context.db().firstText(RoomLookup::roomCountyStatement(roomCode)).value_or(QString()).trimmed();
}

void RoomOptions::followRoom(const mdlPubVar& context, PropertyItems& grid, const PropertyItem* room)
{
    if (!room || !grid.HasItem(CountyKey))
        return;
    PropertyItem* county = grid.GetItem(CountyKey);
    // A kept county is no choice of the user's, and without options there is none to make.
    if (county->Type() != ITEM_EDIT || county->Children().ItemCount() == 0)
        return;
    const QString code = countyOf(context, mdlPubFun::GetOptionCode(room, variantText(room->Value())));
    if (code.isEmpty())
        return;
    if (const PropertyItem* option = county->Children().GetItem(ItemKey::code(code)))
        county->setValue(option->Caption());
}

} // namespace corvan
