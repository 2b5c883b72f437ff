// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace corvan {

class mdlPubVar;

// The cells, antennas and feeders a relocation deleted, as the user needs them to enter
// them again: first where the BTS stands now, then one table per kind with every stored
// column under the host's caption, and the name of a city or county beside its code.
class Reentry {
public:
    struct Table {
        QString name;        // "基站新位置", "小区", "天线", "馈线"
        QStringList columns; // the host's captions
        QList<QStringList> rows;
        // Per column, whether it holds numbers (the host's "num" and "int" columns): a value
        // of it that reads as a number goes into a workbook as a number.
        QList<bool> numbers;
    };
    static const QString LocationName;
    // The headings of the names put beside the codes of a "city" and a "county" column.
    static const QString CityNameColumn;
    static const QString CountyNameColumn;

    // The tables of a journalled record; none when it has no journal entry.
    static QList<Table> tables(const mdlPubVar& context, const QString& discode);
    // A value of a column of numbers as the number it is; false for an empty or other text.
    static bool number(const QString& text, double* value);
};

} // namespace corvan
