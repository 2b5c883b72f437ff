// SPDX-License-Identifier: MIT
#pragma once

#include <optional>

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include "core/plan/plan_run.h"
#include "core/plan/review_rules.h"
#include "core/relocation/commit_outcome.h"

namespace corvan {

class mdlPubVar;

// One version of a reviewed plan as its author submitted it.
struct ReviewVersion {
    int version = 0;
    QString title;
    QString fileName;
    QString checksum;
    QString author;
    QString submitted;
    int rows = 0;
    QStringList cities;
    QList<QStringList> sheet;      // headings first; read only where the rows were asked for
    QList<PlanRowResult> verdicts; // the check's, at submission
};

// One step of a review's log.
struct ReviewStep {
    int step = 0;
    int version = 0;
    ReviewAction action = ReviewAction::Submit;
    QString actor;
    QString time;
    QString comment;
    QString plan; // the plan an apply wrote (and a reverse reversed)
};

// A review as its versions and log hold it.
struct Review {
    int number = 0;
    QList<ReviewVersion> versions; // in order; the last is the one under review
    QList<ReviewStep> log;         // in order

    QString code() const { return ReviewRules::codeText(number); }
    const ReviewVersion& latest() const { return versions.constLast(); }
    QString author() const { return versions.isEmpty() ? QString() : versions.constFirst().author; }
    ReviewState state() const;
    // The last approval or return, which names the reviewer; none before either.
    std::optional<ReviewStep> decision() const;
    // The plan its apply wrote; empty before.
    QString appliedPlan() const;
};

// Where a relocation record came from when a plan wrote it.
struct PlanOrigin {
    QString plan;
    QString title;
    int row = 0; // the plan's row (its line in the sheet)
    QString appliedBy;
    QString review; // R12; empty for a plan applied without review
    QString author;
    QString reviewer;
    QString approved; // when the reviewer approved it

    // "批量调整计划 …（…）第 N 行：提交人 …，审核人 …（审核计划 R1，…批准），执行人 …".
    QString text() const;
};

// Plans reviewed before they are applied: submitted with their rows, approved or returned by a
// second person with the review right for every city they touch, applied from the approved rows
// alone (checked once more), reversed as a whole. Each step is a row of the review's log, checked
// here first against ReviewRules (on PostgreSQL the server holds every product role to the same).
// A step is one statement, or one transaction with the rows it goes with.
class PlanReview {
public:
    // The function number of the review right in the host's rights.
    static const QString RightFunction;

    // Whether the province of any of those cities (every province, with none) requires its
    // plans to be approved before they are applied.
    static bool required(const mdlPubVar& context, const QStringList& cities = {});

    // Submits a plan whose check passed every row, as a new review (number 0) or as the next
    // version of that review. Done with the review's code in recordCode.
    static CommitOutcome submit(const mdlPubVar& context, const PlanRun& checked,
                                const QList<QStringList>& sheet, const PlanSource& source, int number = 0);
    // Approves or returns the review (a return needs the comment), or withdraws it.
    static CommitOutcome decide(const mdlPubVar& context, int number, ReviewAction action,
                                const QString& comment);
    // Applies an approved review from its stored rows: checked again, then written in one
    // transaction with its apply step. A row the database has overtaken sends the review back
    // to its reviewers (a step of its own, naming the rows) and writes nothing else. plan holds
    // the rows and their results afterwards.
    static CommitOutcome apply(const mdlPubVar& context, int number, PlanRun& plan,
                               const PlanRun::Progress& progress = {});
    // Within a plan's reversal, before its commit: the review that applied the plan, if any,
    // takes its reverse step. False with the database's words when that write failed.
    static bool noteReversed(const mdlPubVar& context, const QString& plan);

    // The review of that number with its log, its versions' rows where withRows; none (and the
    // reason, empty for no such review) when it cannot be read.
    static std::optional<Review> read(const mdlPubVar& context, int number, bool withRows, QString* error);
    // Every review, newest first, without their rows; those in that state alone where given.
    static QList<Review> list(const mdlPubVar& context, std::optional<ReviewState> state, QString* error);
    // The reviews waiting for the current user: not theirs, every city theirs to review.
    static int waitingFor(const mdlPubVar& context, const QList<Review>& reviews);

    // The plan a relocation record was written by, with its review; none for a record of its own
    // (or one that cannot be read).
    static std::optional<PlanOrigin> originOf(const mdlPubVar& context, const QString& discode);

    // The record each row of an applied plan wrote, by the row's line in the sheet.
    static QMap<int, QString> recordsOf(const mdlPubVar& context, const QString& plan);

    // The verdicts a review keeps, as text and back.
    static QString verdictsText(const QList<PlanRowResult>& results);
    static QList<PlanRowResult> verdictsOf(const QString& text);
    // "第 3 行（G网基站 ...）：..." for each refused row, one per line.
    static QString refusedRows(const QList<PlanRowResult>& results);

    static const QString ReviewNeeded;
};

} // namespace corvan
