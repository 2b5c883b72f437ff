// SPDX-License-Identifier: MIT
#include "core/context/list_options.h"

#include "core/context/item_keys.h"
#include "core/context/mdl_pub_var.h"
#include "core/context/option_lists.h"
#include "corvan/controls/property_item.h"

namespace corvan::mdlPubFun {

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
