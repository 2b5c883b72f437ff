// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QString>

#include "core/plan/plan_columns.h"
#include "core/plan/plan_run.h"
#include "corvan/services.h"

namespace corvan {

class mdlPubVar;

// The plan as worksheets of texts: the template a planning team fills in, and the result
// of a check or an apply, for a workbook and for a command line.
class PlanTemplate {
public:
    static const QString PlanSheet;
    static const QString HelpSheet;

    // The sheet 调整计划 (headings, one example row, drop-down lists where the values are a
    // list) and the sheet 说明 (what each column takes).
    static QList<TextSheet> sheets(const mdlPubVar& context, const PlanColumns& columns);
    // An example row: a BTS of the first network the user may relocate in, moving to a room
    // of its city that holds no BTS of that network.
    static QStringList exampleRow(const mdlPubVar& context, const PlanColumns& columns);

    // The result of a check or an apply, a row per plan row and the totals.
    static TextSheet resultSheet(const QList<PlanRowResult>& results, const PlanRun::Totals& totals);
    static QStringList resultHeadings();
    static QStringList resultCells(const PlanRowResult& result);
    // One line per row, as a command line prints it.
    static QString resultLine(const PlanRowResult& result);
    // "共 N 行：可以调整 P 行，不能调整 Q 行；将删除小区 x 个、天线 y 个、馈线 z 个"
    static QString totalsLine(const PlanRun::Totals& totals);
};

} // namespace corvan
