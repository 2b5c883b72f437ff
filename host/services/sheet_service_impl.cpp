// SPDX-License-Identifier: MIT
#include "sheet_service_impl.h"

#include <QAbstractItemView>
#include <QHeaderView>
#include <QTableWidget>

#include "corvan/controls/sheet.h"

namespace corvan::host {

namespace {

// The range cut to the sheet; false when nothing of it lies on the sheet.
bool clip(const Sheet* sheet, int& row1, int& col1, int& row2, int& col2)
{
    if (row1 > row2)
        std::swap(row1, row2);
    if (col1 > col2)
        std::swap(col1, col2);
    row1 = std::max(row1, 1);
    col1 = std::max(col1, 1);
    row2 = std::min(row2, sheet->MaxRow());
    col2 = std::min(col2, sheet->MaxCol());
    return row1 <= row2 && col1 <= col2;
}

} // namespace

SheetServiceImpl::SheetServiceImpl(QObject* parent) : QObject(parent) {}

QColor SheetServiceImpl::colour(qint32 bbggrr)
{
    const auto value = quint32(bbggrr);
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

void SheetServiceImpl::StyleRange(Sheet* sheet, int row1, int col1, int row2, int col2, qint32 foreground,
                                  qint32 background, int /*bold*/, int fontSize, int /*wrap*/)
{
    // The two flags are the original platform's border and pattern switches; our sheet
    // draws its grid itself, so they change nothing here.
    if (!sheet || !clip(sheet, row1, col1, row2, col2))
        return;
    const QColor text = colour(foreground);
    const QColor back = colour(background);
    for (int r = row1; r <= row2; ++r) {
        for (int c = col1; c <= col2; ++c) {
            sheet->setCellForeground(r, c, text);
            sheet->setCellBackground(r, c, back);
            if (fontSize > 0)
                sheet->setCellFontSize(r, c, fontSize);
        }
    }
}

void SheetServiceImpl::AlignRange(Sheet* sheet, int row1, int col1, int row2, int col2, bool merge)
{
    if (!sheet || !clip(sheet, row1, col1, row2, col2))
        return;
    // One merged block shows the top-left cell's text, centred both ways.
    if (merge && (row1 != row2 || col1 != col2))
        sheet->setSpan(row1, col1, row2, col2);
    for (int r = row1; r <= row2; ++r)
        for (int c = col1; c <= col2; ++c)
            sheet->setCellAlignment(r, c, Qt::AlignCenter);
}

void SheetServiceImpl::PrepareSheet(Sheet* sheet)
{
    if (!sheet)
        return;
    // The component's sheets show data; none of them is for entering it.
    sheet->setReadOnly(true);
    QTableWidget* table = sheet->table();
    QFont font = table->font();
    font.setPointSize(DefaultFontSize);
    table->setFont(font);
    table->setWordWrap(true);
    table->setSelectionMode(QAbstractItemView::ContiguousSelection);
    table->horizontalHeader()->setVisible(true);
    table->horizontalHeader()->setStretchLastSection(true);
}

void SheetServiceImpl::PrepareSheetView(Sheet* sheet)
{
    if (!sheet)
        return;
    sheet->setReadOnly(true);
    // A view has no use for row numbers; rows grow with wrapped text.
    sheet->table()->verticalHeader()->setVisible(false);
    sheet->table()->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
}

void SheetServiceImpl::ClearSheet(Sheet* sheet, bool /*all*/)
{
    if (!sheet)
        return;
    sheet->clearSpans();
    sheet->clearRange(1, 1, sheet->MaxRow(), sheet->MaxCol());
    sheet->setMaxRow(1);
}

bool SheetServiceImpl::ExportSheet(Sheet*, const QString&, bool)
{
    return false;
}

bool SheetServiceImpl::PrintSheet(Sheet*)
{
    return false;
}

} // namespace corvan::host
