// SPDX-License-Identifier: MIT
#pragma once

#include "corvan/services.h"

#include <QColor>
#include <QObject>
#include <QString>

namespace corvan::host {

// Styling, clearing, export and print of the component's sheets. Every call accepts a
// null sheet and does nothing with it; ranges are cut to the sheet's rows and columns.
class SheetServiceImpl : public QObject, public SheetService {
    Q_OBJECT
    Q_INTERFACES(corvan::SheetService)

public:
    explicit SheetServiceImpl(QObject* parent = nullptr);

    void StyleRange(Sheet* sheet, int row1, int col1, int row2, int col2, qint32 foreground,
                    qint32 background, int bold, int fontSize, int wrap) override;
    void AlignRange(Sheet* sheet, int row1, int col1, int row2, int col2, bool merge) override;
    void PrepareSheet(Sheet* sheet) override;
    void PrepareSheetView(Sheet* sheet) override;
    void ClearSheet(Sheet* sheet, bool all) override;
    bool ExportSheet(Sheet* sheet, const QString& title, bool ask) override;
    bool PrintSheet(Sheet* sheet) override;

    // A colour number in 0x00BBGGRR order as a colour.
    static QColor colour(qint32 bbggrr);
    // The font size prepared sheets start with.
    static constexpr int DefaultFontSize = 10;
};

} // namespace corvan::host
