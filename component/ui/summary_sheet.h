// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include "core/relocation/summary_row.h"

namespace corvan {

class Sheet;
class SheetService;

// The four-column summary of what a commit will change, as the relocation wizard's finish
// page and the reversal window show it: the host styles the sheet, the rows come from
// the work that will be done.
class SummarySheet {
public:
    // Four columns (kind, attribute, old, new) with their headings and widths, one row.
    static void prepare(SheetService* service, Sheet* sheet);
    // The rows from an empty sheet: the title across it, the note (when there is one) on a
    // line of its own across it, each section's band across it and styled as one, then the
    // data rows; the columns then widen to their texts.
    static void paint(SheetService* service, Sheet* sheet, const SummaryRows& rows,
                      const QString& note = QString());
    // Widens each column to the longest text of its data rows and its heading; the title,
    // note and bands span the sheet and do not count.
    static void fitColumns(Sheet* sheet);
};

} // namespace corvan
