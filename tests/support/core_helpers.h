// SPDX-License-Identifier: MIT
#pragma once

// Small readers and builders the widget-free tests share: a resource table written as
// rows of texts, and a property grid read back as texts.

#include "core/relocation/bts_field.h"
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

// The fields of a table made as attrTable makes it, disposed by their letters ("C,M,,R").
inline BtsFields btsFields(std::initializer_list<AttrTable::Column> columns,
                           std::initializer_list<const char*> fields, const char* letters)
{
    BtsFields out(attrTable(columns, fields));
    const QStringList given = QString::fromUtf8(letters).split(QLatin1Char(','));
    for (qsizetype i = 0; i < out.size(); ++i)
        out[i].disposition = Disposition(given.value(i).isEmpty() ? '\0' : given.value(i).at(0).toLatin1());
    return out;
}

// The fields' dispositions as their letters, joined by ','.
inline QString letters(const BtsFields& fields)
{
    QStringList out;
    for (const BtsField& field : fields)
        out << (field.disposition == Disposition::Never ? QString()
                                                        : QString(QLatin1Char(char(field.disposition))));
    return out.join(QLatin1Char(','));
}

// One text of every field, joined by '|'.
inline QString joined(const BtsFields& fields, QString BtsField::*text)
{
    QStringList out;
    for (const BtsField& field : fields)
        out << field.*text;
    return out.join(QLatin1Char('|'));
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
