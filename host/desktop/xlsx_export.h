// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QString>
#include <functional>

#include "corvan/services.h"

namespace corvan {
class Sheet;
}

namespace corvan::host {

// Writes a sheet as an Excel workbook of one worksheet: the title in bold over the
// sheet's columns in the first row, then every row of the sheet (rows hidden on screen
// written visible), cell texts as strings and numbers as numbers, widths and merged blocks as on screen.
class XlsxExport {
public:
    // Told the rows written so far of all rows; false stops the export, which then writes no
    // file (an existing one is kept) and fails with Cancelled.
    using Progress = std::function<bool(qint64 done, qint64 total)>;
    static const QString Cancelled;

    // The file at path appears complete or not at all: the workbook is written beside it
    // under a hidden temporary name and renamed over it, so an existing file is replaced
    // only by a finished one. On failure nothing is left behind and *error says why.
    static bool write(const Sheet& sheet, const QString& title, const QString& path, QString* error,
                      const Progress& progress = {});

    // Several sheets in one workbook, one worksheet each, in order: each worksheet named
    // after its part's title (made unique) with that title over its columns; the workbook
    // carries the document title. The same guarantees as for one sheet.
    struct Part {
        const Sheet* sheet;
        QString title;
    };
    static bool write(const QList<Part>& parts, const QString& title, const QString& path, QString* error,
                      const Progress& progress = {});
    // The rows an export of the parts writes, as its progress counts them.
    static qint64 rowsOf(const QList<Part>& parts);

    // Worksheets of texts, every cell a text and the first row of each in bold, with their
    // widths, hidden worksheets and drop-down lists (the lists kept on a hidden worksheet of
    // their own, so that a list may be as long and hold any text). The same guarantees.
    static bool write(const QList<TextSheet>& sheets, const QString& path, QString* error);

    // A worksheet name Excel accepts, made from the title: at most 31 characters, none
    // of []:*?/\ and no apostrophe at either end. An empty title gives "Sheet1".
    static QString worksheetName(const QString& title);

    // Excel holds at most this many characters in a cell; longer texts are cut to it.
    static constexpr int MaxCellText = 32767;
};

} // namespace corvan::host
