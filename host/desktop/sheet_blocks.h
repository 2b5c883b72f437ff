// SPDX-License-Identifier: MIT
#pragma once

#include <vector>

namespace corvan {
class Sheet;
}

namespace corvan::host {

// The cells of a sheet as a reader takes them in: every merged block once, at its
// top-left cell, and every cell outside a block on its own, row by row. Rows hidden on
// screen are included; they are hidden for the screen only. A merged block that hides
// text under its top-left cell comes as its single cells: a file or a printout must not
// lose what the sheet holds, even where the screen does not show it.
class SheetBlocks {
public:
    // Rows and columns from 1, as the sheet addresses them.
    struct Block {
        int row = 1;
        int col = 1;
        int rows = 1;
        int cols = 1;
    };

    static std::vector<Block> of(const Sheet& sheet);

    // Whether a cell of the block other than its top-left one holds text.
    static bool hidesText(const Sheet& sheet, int row, int col, int rows, int cols);
};

} // namespace corvan::host
