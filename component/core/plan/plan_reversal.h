// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "core/relocation/relocation_commit.h"

namespace corvan {

class mdlPubVar;

// Reversing a relocation plan as one: every relocation it applied reversed, last row first,
// in one transaction, each exactly as a single reversal (its own record and journal entry,
// the same refusals: a later relocation of its BTS, a room taken since, a code reused, ...).
// The first row that cannot be reversed stops it all, and is named.
class PlanReversal {
public:
    struct Row {
        int line = 0;
        QString discode;
        QString net;
        QString basecode;
        SummaryRows summary; // what its reversal changes, as a single reversal shows it
    };
    struct Preview {
        QString plan;
        QString title;
        QString refusal;    // why the plan cannot be reversed; empty when it can
        QList<Row> rows;    // in the order they are reversed, last row first
        QStringList cities; // every city its records name, which its reversal locks
        bool ok() const { return refusal.isEmpty(); }
    };

    // The plan a record's relocation was applied in; empty when none (or no journal).
    static QString planOf(const mdlPubVar& context, const QString& discode);
    // What reversing the plan would do, tried in a transaction that is rolled back.
    static Preview preview(const mdlPubVar& context, const QString& plan);
    // Reverses the plan in one transaction, each row planned again and compared with what the
    // user confirmed. Done with the reversals' record codes (recordCode, the first).
    static CommitOutcome run(const mdlPubVar& context, const Preview& confirmed,
                             QStringList* records = nullptr);

    // "将撤销计划“title”的 N 个调整（按行倒序）……"
    static QString confirmation(const Preview& preview);
    static QString successMessage(int reversed);
    static const QString NotPlanned;
    static const QString Changed;
    // Every relocation of the plan reversed already, as a plan's reversal leaves it.
    static const QString AllReversed;
};

} // namespace corvan
