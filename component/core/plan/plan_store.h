// SPDX-License-Identifier: MIT
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

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

    // Reviews: each version's file, author, time, rows and cities (and its stored rows and
    // verdicts, withRows), by number and version; of one review, or (0) of all.
    static QString reviewVersionsStatement(int number, bool withRows);
    // The steps of one review (0: of all), by number and step.
    static QString reviewLogStatement(int number);
    static QString lastReviewStatement();
    // Bound: number, version, title, file, checksum, author, time, rows, cities, rows' text,
    // verdicts.
    static QString insertReviewStatement();
    // Bound: number, step, version, action, actor, time, comment, plan.
    static QString insertReviewStepStatement();
    // How many of those cities' provinces (every province, with none) require review.
    static QString reviewRequiredStatement(const QStringList& cities);
    // The review whose apply wrote that plan, with its version and next step.
    static QString reviewOfPlanStatement(const QString& plan);
    // Of a relocation record: its plan, title, row and who applied it; where the plan was
    // reviewed, the review, its author and the last approval's reviewer and time.
    static QString originOfRecordStatement(const QString& discode);
    // The plan's rows and the records they wrote.
    static QString recordsOfPlanStatement(const QString& plan);
};

} // namespace corvan
