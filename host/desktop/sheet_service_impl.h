// SPDX-License-Identifier: MIT
#pragma once

#include "corvan/services.h"

#include <QColor>
#include <QDate>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

#include "desktop/progress_dialogs.h"
#include "desktop/xlsx_export.h"

class QPrinter;
class QWidget;

namespace corvan::host {

// Styling, clearing, export and print of the component's sheets. Every call accepts a
// null sheet and does nothing with it; ranges are cut to the sheet's rows and columns.
// Export and print take every row of a sheet, rows hidden on screen included. The file
// dialog, the message box and the print preview can be replaced, for hosts that ask
// their users in their own way and for tests.
class SheetServiceImpl : public QObject,
                         public SheetService,
                         public WorkbookService,
                         public WorkbookPrintService,
                         public TextWorkbookService {
    Q_OBJECT
    Q_INTERFACES(
        corvan::SheetService corvan::WorkbookService corvan::WorkbookPrintService corvan::TextWorkbookService)

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
    bool ExportWorkbook(const QList<Sheet*>& sheets, const QStringList& names, const QString& title,
                        bool ask) override;
    bool PrintWorkbook(const QList<Sheet*>& sheets, const QStringList& names) override;
    bool ReadTextSheet(const QString& path, const QString& sheet, TextSheet* out, QByteArray* digest,
                       QString* error) override;
    bool WriteTextWorkbook(const QString& path, const QList<TextSheet>& sheets, QString* error) override;

    // A file larger than this is no sheet to read.
    static constexpr qint64 MaxReadBytes = 64 * 1024 * 1024;

    // Gives the path to export to, given the one suggested; empty when the user cancelled.
    // By default a file dialog asks.
    void setFileChooser(std::function<QString(const QString& suggested)> chooser);
    // Tells the user why an export failed. By default a warning box does.
    void setMessageSink(std::function<void(QString)> sink);
    // Tells the user where a finished export went. By default a message box does, and
    // offers to open the file or its folder.
    void setDoneNotifier(std::function<void(const QString& path)> notifier);
    // Shows the printout of a sheet: paint renders it on the printer given, as often as the
    // preview needs; true when it was shown. By default a print preview dialog does.
    void setPreviewRunner(std::function<bool(QPrinter*, std::function<void(QPrinter*)> paint)> runner);

    // Where export and print show their progress; by default a dialog of this service's own.
    // Null goes back to that.
    void setProgress(ProgressService* progress);
    static const QString ExportProgress;
    static const QString PrintProgress;

    // The file an export suggests: title + "-" + yyyyMMdd + ".xlsx" in the user's documents.
    static QString defaultExportPath(const QString& title, const QDate& day = QDate::currentDate());

    // A colour number in 0x00BBGGRR order as a colour.
    static QColor colour(qint32 bbggrr);
    // The font size prepared sheets start with.
    static constexpr int DefaultFontSize = 10;

private:
    QString choosePath(Sheet* sheet, const QString& suggested) const;
    // The file to write to, asked for or suggested; empty when the user cancelled.
    QString exportPath(Sheet* sheet, const QString& title, bool ask) const;
    void tell(Sheet* sheet, const QString& text) const;
    void done(Sheet* sheet, const QString& path) const;
    bool print(QWidget* window, const QList<QPointer<Sheet>>& sheets, const QStringList& names);

    // The export of the parts to the path with its progress shown; a cancelled one fails
    // with XlsxExport::Cancelled.
    bool writeShown(Sheet* sheet, const QList<XlsxExport::Part>& parts, const QString& title,
                    const QString& path, QString* error);
    // Tells the outcome of an export: where it went, that it was cancelled, or why it failed.
    bool finish(Sheet* sheet, bool done, const QString& path, const QString& error) const;

    ProgressDialogs m_ownProgress;
    ProgressService* m_progress = &m_ownProgress;
    std::function<QString(const QString&)> m_fileChooser;
    std::function<void(QString)> m_messageSink;
    std::function<void(const QString&)> m_doneNotifier;
    std::function<bool(QPrinter*, std::function<void(QPrinter*)>)> m_previewRunner;
};

} // namespace corvan::host
