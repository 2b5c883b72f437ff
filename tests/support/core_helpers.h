// SPDX-License-Identifier: MIT
#pragma once

// Small readers and builders the widget-free tests share: a resource table written as
// rows of texts, and a property grid read back as texts.

#include "corvan/attr_table.h"
#include "corvan/controls/property_item.h"
#include "corvan/controls/property_items.h"

#include <QStringList>
#include <initializer_list>

namespace corvan::test {

// One field per text, its parts separated by '|'; each part goes to the column named at
// its place in columns.
inline AttrTable attrTable(std::initializer_list<AttrTable::Column> columns,
                           std::initializer_list<const char*> fields)
{
    AttrTable table;
    for (const char* field : fields) {
        const int j = table.appendField();
        const QStringList parts = QString::fromUtf8(field).split(QLatin1Char('|'));
        auto column = columns.begin();
        for (qsizetype i = 0; i < parts.size() && column != columns.end(); ++i, ++column)
            table.set(*column, j, parts.at(i));
    }
    return table;
}

// Every item as "key|caption|type|value", "|hidden" after an invisible one, and with
// children their rows in brackets.
inline QStringList itemRows(const PropertyItems& items, bool children = true)
{
    QStringList out;
    for (const auto& item : items) {
        QString row = item->Key() + QLatin1Char('|') + item->Caption() + QLatin1Char('|') +
                      QString::number(item->Type()) + QLatin1Char('|') + item->Value().toString();
        if (!item->Visible())
            row += QStringLiteral("|hidden");
        const QStringList below = children ? itemRows(item->Children()) : QStringList();
        if (!below.isEmpty())
            row += QLatin1Char('[') + below.join(QLatin1Char(';')) + QLatin1Char(']');
        out << row;
    }
    return out;
}

// The options of a list row as "code=caption", in the row's order; "no row" without one.
inline QStringList optionsOf(const PropertyItem* item)
{
    if (!item)
        return {QStringLiteral("no row")};
    QStringList out;
    for (const auto& option : item->Children())
        out << option->Key().mid(2) + QLatin1Char('=') + option->Caption();
    return out;
}

inline QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

} // namespace corvan::test
