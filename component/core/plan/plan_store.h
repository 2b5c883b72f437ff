// SPDX-License-Identifier: MIT
#pragma once

#include <QDateTime>
#include <QString>

namespace corvan {

struct PlanSource;

// The statements of relocation plans: the plan's own table (corvan_plan), the journal
// entries that name a plan, and the rooms a plan's rows are looked up by.
class PlanStore {
public:
    static const QString Table;

    static QString insertStatement(const QString& code, const PlanSource& source, const QString& user,
                                   const QDateTime& when, int rows);
    // The room whose network column holds the BTS of that number: its code and name.
    static QString roomOfNumberStatement(const QString& net, const QString& number);
    // Every room of a city, where a plan's rows find their target rooms by number or name:
    // code, name, number and each network's column, in the order of NetworkLetters.
    static QString cityRoomsStatement(const QString& cityId);
    // The plan a record's relocation was applied in.
    static QString planOfRecordStatement(const QString& discode);
    // A plan's title, file, user, time and rows.
    static QString planStatement(const QString& plan);
    // The journal entries of a plan, in the plan's row order: record, row, network, BTS
    // code, the record that reversed it.
    static QString entriesStatement(const QString& plan);
};

} // namespace corvan
