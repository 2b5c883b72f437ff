// SPDX-License-Identifier: MIT
#include "core/relocation/bts_property_layout.h"

#include "core/relocation/disposition_rules.h"

namespace corvan {

bool BtsPropertyLayout::shows(const AttrTable& table, int field)
{
    // The same rule decides which fields a relocation may show.
    return DispositionRules::isShown(table, field);
}

BtsPropertyLayout BtsPropertyLayout::of(const AttrTable& table)
{
    BtsPropertyLayout layout;
    QString previous;
    int start = 1;
    for (int i = 1; i <= table.FieldCount(); ++i) {
        if (!shows(table, i))
            continue;
        const int r = int(layout.rows.size()) + 1;
        const QString group = table.at(AttrTable::GroupCaption, i);
        // A group that reappears later starts a range of its own. Until a non-empty
        // caption has been met, every row starts the range afresh.
        if (previous.isEmpty()) {
            previous = group;
            start = r;
        } else if (group != previous) {
            layout.groups.append({start, r - 1});
            previous = group;
            start = r;
        }
        layout.rows.append({group, table.at(AttrTable::Caption, i), table.at(AttrTable::DisplayValue, i)});
        if (table.at(AttrTable::Emphasis, i) == QLatin1String("1"))
            layout.emphasised.append(r);
    }
    if (!layout.rows.isEmpty())
        layout.groups.append({start, int(layout.rows.size())});
    return layout;
}

} // namespace corvan
