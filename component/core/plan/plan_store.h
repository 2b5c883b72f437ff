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
    // The rooms of a city by number (else by name): code, name and the network's column.
    static QString targetRoomStatement(const QString& net, const QString& cityId, const QString& roomNumber,
                                       const QString& roomName);
    // The plan a record's relocation was applied in.
    static QString planOfRecordStatement(const QString& discode);
    // A plan's title, file, user, time and rows.
    static QString planStatement(const QString& plan);
    // The journal entries of a plan, in the plan's row order: record, row, network, BTS
    // code, the record that reversed it.
    static QString entriesStatement(const QString& plan);
};

} // namespace corvan
