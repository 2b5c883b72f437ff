// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QStringList>

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
    // The rows from an empty sheet: the title across it, each section's band across it and
    // styled as one, then the data rows.
    static void paint(SheetService* service, Sheet* sheet, const QList<QStringList>& rows);
};

} // namespace corvan
