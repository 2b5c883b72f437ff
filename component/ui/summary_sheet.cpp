// SPDX-License-Identifier: MIT
#include "ui/summary_sheet.h"

#include <QFontMetrics>
#include <QStyle>
#include <QTableWidget>
#include <algorithm>
#include <cmath>

#include "core/relocation/change_summary.h"
#include "corvan/controls/sheet.h"
#include "corvan/services.h"

namespace corvan {

namespace {
constexpr qint32 White = 0xFFFFFF;
constexpr int FontSize = 10;
constexpr int Columns = 4;
} // namespace

void SummarySheet::prepare(SheetService* service, Sheet* sheet)
{
    if (service) {
        service->StyleRange(sheet, 1, 1, 5, 5, 0, White, -1, FontSize, -1);
        service->PrepareSheet(sheet);
    }
    sheet->setMaxCol(Columns);
    sheet->setMaxRow(1);
    const int first = sheet->ColWidth(1);
    sheet->setColWidth(2, int(std::lround(1.5 * first)));
    sheet->setColWidth(3, 2 * first);
    sheet->setColWidth(4, 2 * first);
    sheet->setColText(1, QStringLiteral("资源类型"));
    sheet->setColText(2, QStringLiteral("属性名称"));
    sheet->setColText(3, QStringLiteral("原有属性"));
    sheet->setColText(4, QStringLiteral("修改属性"));
}

void SummarySheet::paint(SheetService* service, Sheet* sheet, const SummaryRows& rows, const QString& note)
{
    if (!service || !sheet)
        return;
    service->ClearSheet(sheet, true);
    // Rows from an earlier visit must never survive, whatever the host's clearing leaves.
    sheet->setMaxRow(1);
    if (sheet->MaxCol() < Columns)
        sheet->setMaxCol(Columns);
    int r = 0;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const QStringList texts = rows.at(i).texts();
        sheet->setMaxRow(++r);
        if (i == 0) {
            service->AlignRange(sheet, r, 1, r, Columns, true);
            sheet->setTextRC(r, 1, texts.value(0));
            if (!note.isEmpty()) {
                sheet->setMaxRow(++r);
                sheet->setSpan(r, 1, r, Columns);
                sheet->setTextRC(r, 1, note);
            }
        } else if (rows.at(i).isBand()) {
            service->AlignRange(sheet, r, 1, r, Columns, true);
            service->StyleRange(sheet, r, 1, r, 1, ChangeSummary::BandForeground,
                                ChangeSummary::BandBackground, -1, ChangeSummary::BandFontSize, -1);
        } else {
            for (int c = 1; c <= Columns; ++c)
                sheet->setTextRC(r, c, texts.value(c - 1));
        }
    }
    fitColumns(sheet);
}

void SummarySheet::fitColumns(Sheet* sheet)
{
    QTableWidget* table = sheet->table();
    const QFontMetrics metrics(table->font());
    // Room for the cell's margins and the grid line on either side.
    const int padding = 3 * metrics.horizontalAdvance(QLatin1Char(' ')) +
                        2 * table->style()->pixelMetric(QStyle::PM_FocusFrameHMargin);
    for (int c = 1; c <= sheet->MaxCol(); ++c) {
        int width = metrics.horizontalAdvance(sheet->ColText(c));
        for (int r = 1; r <= sheet->MaxRow(); ++r)
            if (table->columnSpan(r - 1, c - 1) == 1)
                width = std::max(width, metrics.horizontalAdvance(sheet->TextRC(r, c)));
        if (width + padding > sheet->ColWidth(c))
            sheet->setColWidth(c, width + padding);
    }
}

} // namespace corvan
