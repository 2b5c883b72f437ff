// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QString>
#include <QVector>

#include "corvan/attr_table.h"

namespace corvan {

// How a BTS's attribute table lies on a three-column property sheet: one row per shown
// field (group, caption, value), ranges of consecutive rows with one group caption,
// and the rows whose caption and value are emphasised.
struct BtsPropertyLayout {
    struct Row {
        QString group;
        QString caption;
        QString value;
    };
    struct Range {
        int first; // sheet rows, from 1
        int last;
        bool operator==(const Range& other) const { return first == other.first && last == other.last; }
    };

    QVector<Row> rows;
    QList<Range> groups;
    QList<int> emphasised;

    static BtsPropertyLayout of(const AttrTable& table);
    // A field the sheet shows: flagged "Y" and no picture.
    static bool shows(const AttrTable& table, int field);
};

} // namespace corvan
