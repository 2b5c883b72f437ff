// SPDX-License-Identifier: MIT
#pragma once

#include <QColor>
#include <QRect>
#include <QString>
#include <QWidget>
#include <vector>

#include "corvan/controls/export.h"

class QTableWidget;
class QTableWidgetItem;

namespace corvan {

// A small spreadsheet: text cells addressed by row and column from 1, with column
// headings, widths, hidden rows, merged blocks and per-cell background, font size and
// alignment. Addresses outside the row and column counts read as empty and are ignored
// when written. Cells are made only when something is put in them, so a sheet of many
// rows costs what it holds.
class CORVAN_CONTROLS_EXPORT Sheet : public QWidget {
    Q_OBJECT
public:
    explicit Sheet(QWidget* parent = nullptr);

    int MaxRow() const;
    void setMaxRow(int rows);
    int MaxCol() const;
    void setMaxCol(int cols);

    QString TextRC(int row, int col) const;
    void setTextRC(int row, int col, const QString& text);
    // A cell that holds a number, shown as its shortest text: a workbook made of the sheet
    // gets a number there, not a text. Writing a text into the cell, or the user editing it,
    // makes it a text again.
    void setNumberRC(int row, int col, double value);
    // Whether the cell holds a number, and which.
    bool CellNumber(int row, int col, double* value = nullptr) const;

    // Widths in pixels; a column outside the count reads 0.
    int ColWidth(int col) const;
    void setColWidth(int col, int width);
    // The width a fresh column gets.
    int DefaultColWidth() const;

    bool RowHidden(int row) const;
    void setRowHidden(int row, bool hidden);

    // A column's heading; empty until one is set (the column number is shown meanwhile).
    QString ColText(int col) const;
    void setColText(int col, const QString& heading);

    // Merges the block into one cell showing the top-left text. Overlapping blocks are
    // replaced; the block is cut to the counts, and a single cell merges nothing.
    void setSpan(int row1, int col1, int row2, int col2);
    void clearSpans();

    // An invalid colour when the cell has no background of its own.
    QColor CellBackground(int row, int col) const;
    void setCellBackground(int row, int col, const QColor& color);
    // The sheet's own size for cells without one; 0 or less returns a cell to it.
    // The text colour of a cell; invalid when the cell has none of its own.
    QColor CellForeground(int row, int col) const;
    void setCellForeground(int row, int col, const QColor& color);
    int CellFontSize(int row, int col) const;
    void setCellFontSize(int row, int col, int points);
    void setCellAlignment(int row, int col, Qt::Alignment alignment);
    Qt::Alignment CellAlignment(int row, int col) const;

    // Clears values and formats of the block, and undoes merges that touch it.
    void clearRange(int row1, int col1, int row2, int col2);

    bool isReadOnly() const;
    void setReadOnly(bool readOnly);

    // The selected cells as text: tabs between columns, "\n" between rows, hidden rows and
    // columns left out; unselected cells inside the selection's bounds are empty.
    QString selectionText() const;
    // selectionText() to the clipboard; also on the platform's copy key.
    void copySelection() const;

    // The inner view, for hosts that print or export.
    QTableWidget* table() const { return m_table; }

signals:
    // The user edited a cell (row and column from 1).
    void CellChanged(int row, int col);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool contains(int row, int col) const;
    QTableWidgetItem* cell(int row, int col) const;
    QTableWidgetItem* makeCell(int row, int col);
    // Merged blocks in 0-based cells (x column, y row), as the view holds them.
    void dropSpansTouching(const QRect& block);
    void fitSpans();

    QTableWidget* m_table;
    std::vector<QRect> m_spans;
    bool m_updating = false;
};

} // namespace corvan
