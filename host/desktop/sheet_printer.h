// SPDX-License-Identifier: MIT
#pragma once

#include <functional>

#include <QList>
#include <QString>

class QPagedPaintDevice;

namespace corvan {
class Sheet;
}

namespace corvan::host {

// Paints a sheet on paper: the caption of the sheet's window as a title, then a table of
// every row (rows hidden on screen included) under column headings repeated on every
// page, with cell borders, merged blocks and text wrapped within columns that share the
// page width as they share the sheet's. Rows go whole to a page where they fit; a row
// taller than a page is broken between two lines of its text. Pages are numbered.
class SheetPrinter {
public:
    // One sheet of a printout of several, under its own heading; parts follow each other on
    // a page while there is room.
    struct Part {
        const Sheet* sheet;
        QString title;
    };

    // A4 with the margins the printout is laid out for.
    static void setUpPage(QPagedPaintDevice* device);

    // Paints all pages on the device, starting on its current page. False when the device
    // cannot be painted on or its pages are too small for a row of text.
    static bool render(const Sheet& sheet, QPagedPaintDevice* device);
    // The title over the first page, then each part under its heading; pageDone, where
    // given, is told each page painted and the number of pages.
    static bool render(const QList<Part>& parts, const QString& title, QPagedPaintDevice* device,
                       const std::function<void(int page, int pages)>& pageDone = {});

    // Writes the printout to a PDF file; on failure *error says why.
    static bool printToPdf(const Sheet& sheet, const QString& path, QString* error);
    static bool printToPdf(const QList<Part>& parts, const QString& title, const QString& path,
                           QString* error);

    // Qt's PDF writer lets many Chinese characters be extracted and copied as radicals
    // of the same shape (see PdfTextRepair); this puts back those the sheet holds.
    static bool repairPdfText(const Sheet& sheet, const QString& path);
    static bool repairPdfText(const QList<Part>& parts, const QString& title, const QString& path);

    // The title line: the caption of the window the sheet sits in, empty when it has none.
    static QString titleOf(const Sheet& sheet);
};

} // namespace corvan::host
