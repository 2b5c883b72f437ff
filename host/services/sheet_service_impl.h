// SPDX-License-Identifier: MIT
#pragma once

#include "corvan/services.h"

#include <QObject>
#include <QString>

namespace corvan::host {

// Styling, clearing, export and print of the component's sheets.
// The sheet widget does not exist yet; until it does, every call accepts any sheet,
// a null one included, and leaves it as it is. Export and print report that nothing
// was written.
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
};

} // namespace corvan::host
