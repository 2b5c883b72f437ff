// SPDX-License-Identifier: MIT
#pragma once

#include <functional>

#include <QString>

namespace corvan {

class mdlPubVar;

// Relocation plans without a window, as a host's command line asks for them: the template
// written, a plan checked (and applied), one line per row, the files through the host's
// workbook service; an applied plan reversed as one. The statuses are PlanRunner's: 0 passed
// (or applied, written, reversed), 1 a row refused or the apply or reversal failed (nothing
// written), 2 a file or usage error (a code that names no plan).
class PlanCommand {
public:
    using Lines = std::function<void(const QString&)>;

    static int writeTemplate(const mdlPubVar& context, const QString& path, const Lines& out,
                             const Lines& err);
    static int run(const mdlPubVar& context, const QString& path, bool apply, const QString& report,
                   const Lines& out, const Lines& err);
    // The plan of that code, or the plan a record of that code was applied in, reversed as
    // the history window reverses it: previewed, then every row in one transaction.
    static int reverse(const mdlPubVar& context, const QString& code, const Lines& out, const Lines& err);
    // "计划编号：P（撤销整个计划：corvan plan reverse P）", after an applied plan's message;
    // the first row's record in place of the second P when P names a record of another plan.
    // A plan's review: submitted (a new review, or the next version of that one), listed (in
    // that state alone, by its caption or word), shown, approved, returned or withdrawn
    // (decision approve, return, withdraw), applied from its approved rows.
    static int submit(const mdlPubVar& context, const QString& path, const QString& review, const Lines& out,
                      const Lines& err);
    static int list(const mdlPubVar& context, const QString& state, const Lines& out, const Lines& err);
    static int show(const mdlPubVar& context, const QString& review, const Lines& out, const Lines& err);
    static int decide(const mdlPubVar& context, const QString& review, const QString& decision,
                      const QString& comment, const Lines& out, const Lines& err);
    static int applyReviewed(const mdlPubVar& context, const QString& review, const Lines& out,
                             const Lines& err);
    static QString reverseHint(const mdlPubVar& context, const QString& plan, const QString& firstRecord);
    static QString unknownCode(const QString& code);
    static QString ambiguousCode(const QString& code, const QString& otherPlan);

    // Plans longer than this tell their progress.
    static constexpr int ProgressFrom = 100;
};

} // namespace corvan
