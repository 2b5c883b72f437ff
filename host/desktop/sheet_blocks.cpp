// SPDX-License-Identifier: MIT
#include "desktop/sheet_blocks.h"

#include "corvan/controls/sheet.h"

#include <QTableWidget>
#include <algorithm>

namespace corvan::host {

bool SheetBlocks::hidesText(const Sheet& sheet, int row, int col, int rows, int cols)
{
    for (int r = row; r < row + rows; ++r) {
        for (int c = col; c < col + cols; ++c) {
            if ((r != row || c != col) && !sheet.TextRC(r, c).isEmpty())
                return true;
        }
    }
    return false;
}

std::vector<SheetBlocks::Block> SheetBlocks::of(const Sheet& sheet)
{
    const int rows = sheet.MaxRow();
    const int cols = sheet.MaxCol();
    std::vector<Block> blocks;
    if (rows <= 0 || cols <= 0)
        return blocks;
    const QTableWidget* table = sheet.table();
    // The view reports a block's size on each of its cells; scanning row by row meets a
    // block first at its top-left cell, and the rest of it is marked so it is not met again.
    enum Mark : char { Free, Covered, Single };
    std::vector<Mark> marks(std::size_t(rows) * std::size_t(cols), Free);
    const auto mark = [&marks, cols](int row, int col) -> Mark& {
        return marks[std::size_t(row) * std::size_t(cols) + std::size_t(col)];
    };
    blocks.reserve(std::size_t(rows) * std::size_t(cols));
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            if (mark(r, c) == Covered)
                continue;
            int height = 1;
            int width = 1;
            if (mark(r, c) == Free) {
                height = std::clamp(table->rowSpan(r, c), 1, rows - r);
                width = std::clamp(table->columnSpan(r, c), 1, cols - c);
            }
            if (height > 1 || width > 1) {
                const Mark inside = hidesText(sheet, r + 1, c + 1, height, width) ? Single : Covered;
                for (int rr = r; rr < r + height; ++rr)
                    for (int cc = c; cc < c + width; ++cc)
                        mark(rr, cc) = inside;
                if (inside == Single)
                    height = width = 1;
            }
            blocks.push_back({r + 1, c + 1, height, width});
        }
    }
    return blocks;
}

} // namespace corvan::host
