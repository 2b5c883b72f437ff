// SPDX-License-Identifier: MIT
#include "desktop/sheet_service_impl.h"

#include "corvan/controls/sheet.h"
#include "desktop/csv_reader.h"
#include "desktop/sheet_printer.h"
#include "desktop/xlsx_export.h"
#include "xlsx/xlsx_reader.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCryptographicHash>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLibrary>
#include <QMessageBox>
#include <QPointer>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableWidget>
#include <QUrl>
#include <dlfcn.h>

using namespace Qt::StringLiterals;

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

const QString ExportCaption = u"导出到Excel"_s;
const QString ExportFilter = u"Excel 工作簿 (*.xlsx)"_s;
const QString ExportFailed = u"导出失败："_s;
const QString PreviewCaption = u"打印预览"_s;
const QString ExcelSuffix = u".xlsx"_s;
const QString ExportDone = u"已导出到：\n%1"_s;
const QString OpenFile = u"打开文件"_s;
const QString OpenFolder = u"打开所在文件夹"_s;
const QString Close = u"关闭"_s;

// The busy pointer for as long as this lives.
class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

bool showPreview(QPrinter* printer, const std::function<void(QPrinter*)>& paint, QWidget* parent)
{
    QPrintPreviewDialog dialog(printer, parent);
    dialog.setWindowTitle(PreviewCaption);
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, paint);
    dialog.exec();
    return true;
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

void SheetServiceImpl::setFileChooser(std::function<QString(const QString& suggested)> chooser)
{
    m_fileChooser = std::move(chooser);
}

void SheetServiceImpl::setMessageSink(std::function<void(QString)> sink)
{
    m_messageSink = std::move(sink);
}

void SheetServiceImpl::setDoneNotifier(std::function<void(const QString&)> notifier)
{
    m_doneNotifier = std::move(notifier);
}

void SheetServiceImpl::done(Sheet* sheet, const QString& path) const
{
    if (m_doneNotifier) {
        m_doneNotifier(path);
        return;
    }
    QWidget* window = sheet ? sheet->window() : nullptr;
    // A sheet made only to be exported is a window of its own, without a title: the box
    // then speaks for the window the user works in.
    if (!window || !window->isVisible())
        window = QApplication::activeWindow();
    QMessageBox box(QMessageBox::Information, window ? window->windowTitle() : ExportCaption,
                    ExportDone.arg(QDir::toNativeSeparators(path)), QMessageBox::NoButton, window);
    QPushButton* file = box.addButton(OpenFile, QMessageBox::AcceptRole);
    QPushButton* folder = box.addButton(OpenFolder, QMessageBox::ActionRole);
    box.setDefaultButton(box.addButton(Close, QMessageBox::RejectRole));
    box.exec();
    if (box.clickedButton() == file)
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    else if (box.clickedButton() == folder)
        QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
}

void SheetServiceImpl::setPreviewRunner(std::function<bool(QPrinter*, std::function<void(QPrinter*)>)> runner)
{
    m_previewRunner = std::move(runner);
}

QString SheetServiceImpl::defaultExportPath(const QString& title, const QDate& day)
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty())
        folder = QDir::homePath();
    // The title becomes part of a file name; what a file system would take for a folder
    // or refuse is replaced.
    QString name = title.trimmed();
    for (QChar& ch : name) {
        if (u"/\\:*?\"<>|"_s.contains(ch) || ch.category() == QChar::Other_Control)
            ch = u'_';
    }
    if (name.isEmpty() || name.startsWith(u'.'))
        name.prepend(u"导出"_s);
    return QDir(folder).filePath(name + u'-' + day.toString(u"yyyyMMdd"_s) + ExcelSuffix);
}

QString SheetServiceImpl::choosePath(Sheet* sheet, const QString& suggested) const
{
    if (m_fileChooser)
        return m_fileChooser(suggested);
    return QFileDialog::getSaveFileName(sheet->window(), ExportCaption, suggested, ExportFilter);
}

void SheetServiceImpl::tell(Sheet* sheet, const QString& text) const
{
    if (m_messageSink)
        m_messageSink(text);
    else
        QMessageBox::warning(sheet->window(), ExportCaption, text);
}

QString SheetServiceImpl::exportPath(Sheet* sheet, const QString& title, bool ask) const
{
    const QString suggested = defaultExportPath(title);
    QString path = suggested;
    if (ask) {
        path = choosePath(sheet, suggested);
        if (path.isEmpty())
            return {};
    } else {
        // The documents folder need not exist yet on a fresh account.
        QDir().mkpath(QFileInfo(path).absolutePath());
    }
    if (!path.endsWith(ExcelSuffix, Qt::CaseInsensitive))
        path += ExcelSuffix;
    return path;
}

bool SheetServiceImpl::ExportWorkbook(const QList<Sheet*>& sheets, const QStringList& names,
                                      const QString& title, bool ask)
{
    QList<XlsxExport::Part> parts;
    for (qsizetype i = 0; i < sheets.size(); ++i)
        if (sheets.at(i))
            parts << XlsxExport::Part{sheets.at(i), names.value(i)};
    if (parts.isEmpty())
        return false;
    const QString path = exportPath(sheets.first(), title, ask);
    if (path.isEmpty())
        return false;
    QString error;
    const bool done = writeShown(sheets.first(), parts, title, path, &error);
    return finish(sheets.first(), done, path, error);
}

const QString SheetServiceImpl::ExportProgress = u"正在导出到 Excel…"_s;
const QString SheetServiceImpl::PrintProgress = u"正在生成打印页面…"_s;

void SheetServiceImpl::setProgress(ProgressService* progress)
{
    m_progress = progress ? progress : &m_ownProgress;
}

bool SheetServiceImpl::writeShown(Sheet* sheet, const QList<XlsxExport::Part>& parts, const QString& title,
                                  const QString& path, QString* error)
{
    const BusyCursor busy;
    m_progress->BeginProgress(sheet ? sheet->window() : nullptr, ExportProgress, XlsxExport::rowsOf(parts),
                              true);
    const bool done = XlsxExport::write(
        parts, title, path, error, [this](qint64 rows, qint64) { return m_progress->StepProgress(rows); });
    m_progress->EndProgress();
    return done;
}

bool SheetServiceImpl::finish(Sheet* sheet, bool done, const QString& path, const QString& error) const
{
    if (done)
        this->done(sheet, path);
    else
        tell(sheet, error == XlsxExport::Cancelled ? error : ExportFailed + error);
    return done;
}

namespace {

// The .xlsx reader module, loaded once (xlsx/xlsx_reader.h says why); null with the
// reason when it cannot be. It sits beside the controls' shared library, in the build's
// library folder as in an installed corvan's private one; this code itself may be linked
// into any program.
ReadXlsx xlsxReader(QString* reason)
{
    static const auto loaded = []() -> std::pair<ReadXlsx, QString> {
        Dl_info self{};
        if (dladdr(static_cast<const void*>(&Sheet::staticMetaObject), &self) == 0 || !self.dli_fname)
            return {nullptr, u"找不到读取 .xlsx 的模块（无法确定主机库的位置）"_s};
        const QString path = QFileInfo(QString::fromLocal8Bit(self.dli_fname))
                                 .absoluteDir()
                                 .filePath(QLatin1String(ReaderModule));
        auto* library = new QLibrary(path);
        const auto read = reinterpret_cast<ReadXlsx>(library->resolve(ReadXlsxSymbol));
        if (!read)
            return {nullptr, u"读取 .xlsx 的模块无法加载：%1"_s.arg(library->errorString())};
        return {read, QString()};
    }();
    if (!loaded.first)
        *reason = loaded.second;
    return loaded.first;
}

} // namespace

bool SheetServiceImpl::ReadTextSheet(const QString& path, const QString& sheet, TextSheet* out,
                                     QByteArray* digest, QString* error)
{
    const auto fail = [error](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    QFile file(path);
    if (!QFileInfo(path).isFile())
        return fail(u"文件“%1”不存在"_s.arg(QDir::toNativeSeparators(path)));
    if (file.size() > MaxReadBytes)
        return fail(
            u"文件“%1”过大（超过 %2 MB）"_s.arg(QDir::toNativeSeparators(path)).arg(MaxReadBytes >> 20));
    if (!file.open(QIODevice::ReadOnly))
        return fail(u"无法读取文件“%1”：%2"_s.arg(QDir::toNativeSeparators(path), file.errorString()));
    const QByteArray bytes = file.read(MaxReadBytes + 1);
    if (bytes.size() > MaxReadBytes)
        return fail(
            u"文件“%1”过大（超过 %2 MB）"_s.arg(QDir::toNativeSeparators(path)).arg(MaxReadBytes >> 20));
    if (digest)
        *digest = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
    TextSheet read;
    QString reason;
    const QString suffix = QFileInfo(path).suffix().toLower();
    bool done = false;
    if (suffix == u"csv"_s || suffix == u"txt"_s) {
        read.name = QFileInfo(path).completeBaseName();
        done = CsvReader::read(bytes, &read.rows, &reason);
    } else if (bytes.startsWith("PK")) {
        if (const ReadXlsx readXlsx = xlsxReader(&reason))
            done = readXlsx(&bytes, &sheet, &read, &reason);
    } else if (suffix == u"xls"_s || bytes.startsWith("\xD0\xCF\x11\xE0")) {
        reason = u"不能读取 Excel 97-2003 格式（.xls），请另存为 .xlsx 或 .csv"_s;
    } else {
        reason = u"不是 .xlsx 工作簿，也不是 .csv 文件"_s;
    }
    if (!done)
        return fail(QDir::toNativeSeparators(path) + u"："_s + reason);
    *out = read;
    return true;
}

bool SheetServiceImpl::WriteTextWorkbook(const QString& path, const QList<TextSheet>& sheets, QString* error)
{
    return XlsxExport::write(sheets, path, error);
}

bool SheetServiceImpl::ExportSheet(Sheet* sheet, const QString& title, bool ask)
{
    if (!sheet)
        return false;
    const QString path = exportPath(sheet, title, ask);
    if (path.isEmpty())
        return false;

    QString error;
    const bool done = writeShown(sheet, {XlsxExport::Part{sheet, title}}, title, path, &error);
    return finish(sheet, done, path, error);
}

bool SheetServiceImpl::PrintSheet(Sheet* sheet)
{
    if (!sheet)
        return false;
    return print(sheet->window(), {sheet}, {QString()});
}

bool SheetServiceImpl::PrintWorkbook(const QList<Sheet*>& sheets, const QStringList& names)
{
    QList<QPointer<Sheet>> parts;
    for (Sheet* sheet : sheets)
        if (sheet)
            parts << sheet;
    if (parts.isEmpty())
        return false;
    return print(parts.constFirst()->window(), parts, names);
}

bool SheetServiceImpl::print(QWidget* window, const QList<QPointer<Sheet>>& sheets, const QStringList& names)
{
    QPrinter printer(QPrinter::HighResolution);
    SheetPrinter::setUpPage(&printer);
    const QString title = SheetPrinter::titleOf(*sheets.constFirst());
    printer.setDocName(title);
    // The preview paints again whenever the user changes the page set-up; a sheet may be
    // gone by then if its window closed meanwhile.
    const auto parts = [sheets, names] {
        QList<SheetPrinter::Part> out;
        for (qsizetype i = 0; i < sheets.size(); ++i) {
            if (!sheets.at(i))
                return QList<SheetPrinter::Part>();
            out << SheetPrinter::Part{sheets.at(i).data(), names.value(i)};
        }
        return out;
    };
    // A printout cannot stop halfway without showing half a document: its progress has no
    // cancel.
    auto paint = [this, parts, title, owner = QPointer<QWidget>(window)](QPrinter* target) {
        const QList<SheetPrinter::Part> now = parts();
        if (now.isEmpty() || !target)
            return;
        const BusyCursor busy;
        m_progress->BeginProgress(owner.data(), PrintProgress, 0, false);
        SheetPrinter::render(now, title, target, [this](int page, int) { m_progress->StepProgress(page); });
        m_progress->EndProgress();
    };
    const bool shown =
        m_previewRunner ? m_previewRunner(&printer, paint) : showPreview(&printer, paint, window);
    // Printed to a PDF file from the preview, the file gets its text put right.
    const QString pdf = printer.outputFileName();
    const QList<SheetPrinter::Part> now = parts();
    if (!now.isEmpty() && printer.outputFormat() == QPrinter::PdfFormat && !pdf.isEmpty() &&
        QFile::exists(pdf))
        SheetPrinter::repairPdfText(now, title, pdf);
    return shown;
}

} // namespace corvan::host
