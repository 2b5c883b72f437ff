// SPDX-License-Identifier: MIT
// Export of a sheet to an Excel workbook and its printout, read back the way a user's
// tools would: the workbook's XML through unzip, the printout's text through pdftotext.

#include "corvan/controls/sheet.h"
#include "desktop/pdf_text_repair.h"
#include "desktop/progress_dialogs.h"
#include "desktop/sheet_printer.h"
#include "desktop/sheet_service_impl.h"
#include "desktop/xlsx_export.h"
#include "files.h"
#include "history/history_sheets.h"
#include "support/qt_printers.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QPrinter>
#include <QProcess>
#include <QProgressDialog>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QWidget>
#include <QXmlStreamReader>
#include <algorithm>
#include <csignal>
#include <gtest/gtest.h>
#include <memory>
#include <numeric>
#include <sys/resource.h>

using namespace Qt::StringLiterals;
using corvan::Sheet;
using corvan::host::PdfTextRepair;
using corvan::host::SheetPrinter;
using corvan::host::SheetServiceImpl;
using corvan::host::XlsxExport;
using namespace corvan::test;

namespace {

const QString Title = u"基站调整记录"_s;
const QString WindowCaption = u"基站调整历史记录"_s;
const QString Detail = u"基站名称：由 杭州滨江 改为 杭州高新H=62s2Q小区 滨江1 已删除H=62s2Q"_s;
const QString Remark = u"备注：小区、天线与馈线需重新录入"_s;

// A record sheet as the history window has it: two columns, nine rows, the last two
// hidden on screen and each merged over both columns. Row 8's block hides the change
// text in its second cell; row 9's block hides nothing.
struct RecordWindow {
    RecordWindow()
    {
        window.setWindowTitle(WindowCaption);
        auto* layout = new QVBoxLayout(&window);
        sheet = new Sheet(&window);
        layout->addWidget(sheet);
        sheet->setMaxCol(2);
        sheet->setMaxRow(9);
        sheet->setColWidth(1, 160);
        sheet->setColWidth(2, 320);
        const QStringList cells = {
            u"调整时间"_s, u"2024-03-05 10:21:07"_s,
            u"操作用户"_s, u"张三"_s,
            u"网络类型"_s, u"G 网"_s,
            u"来源城市"_s, u"杭州"_s,
            u"去往城市"_s, u"宁波"_s,
            u"来源机房"_s, u"滨江<一号>&机房"_s,
            u"去往机房"_s, u"鄞州 \"二号\" 机房"_s,
            u"详细信息"_s, Detail,
        };
        for (int i = 0; i < cells.size(); ++i)
            sheet->setTextRC(int(i / 2) + 1, int(i % 2) + 1, cells.at(i));
        sheet->setTextRC(9, 1, Remark);
        sheet->setSpan(8, 1, 8, 2);
        sheet->setSpan(9, 1, 9, 2);
        sheet->setRowHidden(8, true);
        sheet->setRowHidden(9, true);
        texts = cells;
        texts << Remark;
    }

    QWidget window;
    Sheet* sheet = nullptr;
    QStringList texts; // every non-empty cell, row by row
};

// What a tool prints, or nothing when it fails.
QByteArray output(const QString& program, const QStringList& arguments)
{
    QProcess tool;
    tool.start(program, arguments);
    if (!tool.waitForFinished(30000) || tool.exitCode() != 0)
        return {};
    return tool.readAllStandardOutput();
}

QString unzipEntry(const QString& file, const QString& entry)
{
    return QString::fromUtf8(output(u"unzip"_s, {u"-p"_s, file, entry}));
}

QString pdfText(const QString& file)
{
    return QString::fromUtf8(output(u"pdftotext"_s, {u"-enc"_s, u"UTF-8"_s, file, u"-"_s}));
}

// Each page's words with their tops and bottoms, in points from the top of the page.
struct PdfWord {
    QString text;
    double top = 0;
    double bottom = 0;
};

QList<QList<PdfWord>> pdfWords(const QString& file)
{
    QList<QList<PdfWord>> pages;
    QXmlStreamReader reader(output(u"pdftotext"_s, {u"-bbox"_s, u"-enc"_s, u"UTF-8"_s, file, u"-"_s}));
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement() && reader.name() == u"page") {
            pages.append(QList<PdfWord>());
        } else if (reader.isStartElement() && reader.name() == u"word" && !pages.isEmpty()) {
            PdfWord word;
            word.top = reader.attributes().value(QLatin1String("yMin")).toDouble();
            word.bottom = reader.attributes().value(QLatin1String("yMax")).toDouble();
            word.text = reader.readElementText();
            pages.last().append(word);
        }
    }
    return pages;
}

QList<int> oneTo(int last)
{
    QList<int> numbers(last);
    std::iota(numbers.begin(), numbers.end(), 1);
    return numbers;
}

QString withoutBlanks(QString text)
{
    return text.remove(QRegularExpression(u"\\s+"_s));
}

QStringList sharedStrings(const QString& xml)
{
    QStringList strings;
    QXmlStreamReader reader(xml);
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement() && reader.name() == u"si")
            strings << QString();
        else if (reader.isStartElement() && reader.name() == u"t" && !strings.isEmpty())
            strings.last() += reader.readElementText();
    }
    return strings;
}

// What a worksheet's XML holds: cell texts by address, its rows and its merged ranges.
struct WorksheetXml {
    WorksheetXml(const QString& xml, const QStringList& strings)
    {
        QXmlStreamReader reader(xml);
        QString address;
        bool shared = false;
        while (!reader.atEnd()) {
            reader.readNext();
            if (!reader.isStartElement())
                continue;
            const auto attributes = reader.attributes();
            if (reader.name() == u"row") {
                rows << attributes.value(QLatin1String("r")).toInt();
                if (attributes.hasAttribute(QLatin1String("hidden")))
                    hiddenRows << attributes.value(QLatin1String("r")).toInt();
            } else if (reader.name() == u"c") {
                address = attributes.value(QLatin1String("r")).toString();
                shared = attributes.value(QLatin1String("t")) == u"s";
            } else if (reader.name() == u"v" && shared) {
                cells.insert(address, strings.value(reader.readElementText().toInt()));
            } else if (reader.name() == u"mergeCell") {
                merged << attributes.value(QLatin1String("ref")).toString();
            }
        }
    }

    QMap<QString, QString> cells;
    QList<int> rows;
    QList<int> hiddenRows;
    QStringList merged;
};

// An export service whose dialog answers with a fixed path and whose messages are kept.
struct ExportService {
    explicit ExportService(const QString& answer = {})
    {
        service.setFileChooser([this, answer](const QString& suggested) {
            suggestions << suggested;
            return answer;
        });
        service.setMessageSink([this](const QString& text) { messages << text; });
        service.setDoneNotifier([this](const QString& path) { done << path; });
    }

    SheetServiceImpl service;
    QStringList suggestions;
    QStringList messages;
    QStringList done;
};

// Sets an environment variable, or unsets it for a null value, until the guard goes.
[[nodiscard]] auto changeEnvironment(const char* name, const QByteArray& value)
{
    const bool had = qEnvironmentVariableIsSet(name);
    const QByteArray old = qgetenv(name);
    value.isNull() ? qunsetenv(name) : qputenv(name, value);
    return qScopeGuard([name, had, old] { had ? qputenv(name, old) : qunsetenv(name); });
}

// Exactly one message, telling that the export failed and why.
void expectFailureMessage(const ExportService& exporter)
{
    ASSERT_EQ(exporter.messages.size(), 1);
    EXPECT_TRUE(exporter.messages.first().startsWith(u"导出失败："_s))
        << qPrintable(exporter.messages.first());
    EXPECT_GT(exporter.messages.first().size(), 5);
}

TEST(SheetExport, WritesEveryRowWithTheTitleAndMergedBlocks)
{
    RecordWindow record;
    QTemporaryDir folder;
    ExportService exporter(folder.filePath(u"记录"_s));

    ASSERT_TRUE(exporter.service.ExportSheet(record.sheet, Title, true));

    const QString today = QDate::currentDate().toString(u"yyyyMMdd"_s);
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    ASSERT_EQ(exporter.suggestions.size(), 1);
    EXPECT_EQ(exporter.suggestions.first(),
              QDir(documents).filePath(u"基站调整记录-"_s + today + u".xlsx"_s));
    EXPECT_TRUE(exporter.messages.isEmpty());
    // The suffix is added to a name given without it, and nothing else is left behind.
    EXPECT_EQ(entriesUnder(folder.path()), QStringList{u"记录.xlsx"_s});
    // The file shows the hidden rows; the screen still hides them.
    EXPECT_TRUE(record.sheet->RowHidden(8));
    EXPECT_TRUE(record.sheet->RowHidden(9));

    const QString file = folder.filePath(u"记录.xlsx"_s);
    const QStringList strings = sharedStrings(unzipEntry(file, u"xl/sharedStrings.xml"_s));
    EXPECT_EQ(strings, QStringList{Title} + record.texts);

    const WorksheetXml worksheet(unzipEntry(file, u"xl/worksheets/sheet1.xml"_s), strings);
    EXPECT_EQ(worksheet.rows, (QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_TRUE(worksheet.hiddenRows.isEmpty());
    EXPECT_EQ(worksheet.cells.value(u"A1"_s), Title);
    for (int row = 1; row <= 8; ++row) {
        for (int col = 1; col <= 2; ++col) {
            const QString address = QChar(u'A' + col - 1) + QString::number(row + 1);
            EXPECT_EQ(worksheet.cells.value(address), record.sheet->TextRC(row, col)) << qPrintable(address);
        }
    }
    EXPECT_EQ(worksheet.cells.value(u"A10"_s), Remark);
    EXPECT_FALSE(worksheet.cells.contains(u"B10"_s));
    EXPECT_EQ(worksheet.merged, (QStringList{u"A1:B1"_s, u"A10:B10"_s}));

    EXPECT_TRUE(unzipEntry(file, u"xl/workbook.xml"_s).contains(u"<sheet name=\"基站调整记录\""_s));
    EXPECT_TRUE(unzipEntry(file, u"docProps/core.xml"_s).contains(u"<dc:title>基站调整记录</dc:title>"_s));
    // The user is told where the file went.
    EXPECT_EQ(exporter.done, QStringList{file});

    // With the detail sheet of the history window: row 8 as stored, the lines beside it,
    // in the workbook and on paper.
    const auto detail = corvan::HistorySheets::detail(Detail);
    ASSERT_TRUE(
        exporter.service.ExportWorkbook({record.sheet, detail.get()}, {Title, u"详细信息"_s}, Title, true));
    const QStringList both = sharedStrings(unzipEntry(file, u"xl/sharedStrings.xml"_s));
    EXPECT_EQ(WorksheetXml(unzipEntry(file, u"xl/worksheets/sheet1.xml"_s), both).cells.value(u"B9"_s),
              Detail);
    const WorksheetXml lines(unzipEntry(file, u"xl/worksheets/sheet2.xml"_s), both);
    EXPECT_EQ(lines.cells.value(u"A1"_s), u"详细信息"_s);
    EXPECT_EQ(lines.cells.value(u"A2"_s), u"基站名称：由 杭州滨江 改为 杭州高新"_s);
    EXPECT_EQ(lines.cells.value(u"A3"_s), u"小区 滨江1 已删除"_s);
    const QString pdf = folder.filePath(u"记录.pdf"_s);
    QString error;
    ASSERT_TRUE(SheetPrinter::printToPdf({{record.sheet, {}}, {detail.get(), u"详细信息"_s}}, WindowCaption,
                                         pdf, &error));
    const QString printed = withoutBlanks(pdfText(pdf));
    EXPECT_TRUE(
        printed.contains(withoutBlanks(u"详细信息基站名称：由 杭州滨江 改为 杭州高新小区 滨江1 已删除"_s)))
        << qPrintable(printed);
}

TEST(SheetExport, ReplacesAnExistingFileKeepingItsPermissions)
{
    RecordWindow record;
    QTemporaryDir folder;
    const QString file = folder.filePath(u"记录.xlsx"_s);
    writeFile(file, "an earlier export");
    const auto permissions = QFile::Permissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    ASSERT_TRUE(QFile::setPermissions(file, permissions));
    ExportService exporter(file);

    ASSERT_TRUE(exporter.service.ExportSheet(record.sheet, Title, true));
    EXPECT_EQ(sharedStrings(unzipEntry(file, u"xl/sharedStrings.xml"_s)).value(0), Title);
    EXPECT_EQ(QFile::permissions(file) & ~QFile::Permissions(QFile::ReadUser | QFile::WriteUser),
              permissions);
    EXPECT_EQ(entriesUnder(folder.path()), QStringList{u"记录.xlsx"_s});

    // A new file gets the permissions any new file in that folder gets.
    const QString fresh = folder.filePath(u"新.xlsx"_s);
    ExportService second(fresh);
    ASSERT_TRUE(second.service.ExportSheet(record.sheet, Title, true));
    const QString plain = folder.filePath(u"plain"_s);
    writeFile(plain, "x");
    EXPECT_EQ(QFile::permissions(fresh), QFile::permissions(plain));
}

TEST(SheetExport, CancelledOrImpossibleExportsWriteNothing)
{
    RecordWindow record;
    QTemporaryDir folder;
    const QString plain = folder.filePath(u"x.txt"_s);
    writeFile(plain, "plain text");
    const QString taken = folder.filePath(u"taken.xlsx"_s);
    ASSERT_TRUE(QDir().mkdir(taken));

    ExportService cancelled;
    EXPECT_FALSE(cancelled.service.ExportSheet(record.sheet, Title, true));
    EXPECT_EQ(cancelled.suggestions.size(), 1);
    EXPECT_TRUE(cancelled.messages.isEmpty());
    // A folder below a plain file can be neither found nor made, not even by root; a folder
    // in the file's place stays as it is.
    for (const QString& answer : {folder.filePath(u"x.txt/sub/out.xlsx"_s), taken}) {
        ExportService refused(answer);
        EXPECT_FALSE(refused.service.ExportSheet(record.sheet, Title, true));
        expectFailureMessage(refused);
    }
    EXPECT_EQ(fileBytes(plain), "plain text");
    EXPECT_TRUE(QFileInfo(taken).isDir());
    EXPECT_EQ(entriesUnder(folder.path()), (QStringList{u"taken.xlsx"_s, u"x.txt"_s}));

    // Without a sheet nothing is asked and nothing is told.
    ExportService none(folder.filePath(u"none.xlsx"_s));
    EXPECT_FALSE(none.service.ExportSheet(nullptr, Title, true));
    EXPECT_TRUE(none.suggestions.isEmpty());
    EXPECT_TRUE(none.messages.isEmpty());
}

// A progress that notes every call and asks to cancel once so many rows are done.
struct NotedProgress : corvan::ProgressService {
    void BeginProgress(QWidget*, const QString& label, qint64 total, bool cancellable) override
    {
        calls << u"%1 %2 %3"_s.arg(label).arg(total).arg(cancellable);
    }
    bool StepProgress(qint64 done) override
    {
        steps << done;
        return cancelAt < 0 || done < cancelAt;
    }
    void EndProgress() override { calls << u"end"_s; }
    QStringList calls;
    QList<qint64> steps;
    qint64 cancelAt = -1;
};

// An export counts the rows it writes; cancelled, it writes no file (an old one stays as it
// was) and says so, without calling it a failure. Print counts its pages and cannot be
// cancelled.
TEST(SheetExport, ProgressCountsRowsAndACancelledExportLeavesNoFile)
{
    Sheet sheet;
    sheet.setMaxCol(2);
    sheet.setMaxRow(300);
    for (int r = 1; r <= 300; ++r)
        sheet.setTextRC(r, r % 2 + 1, QString::number(r));
    sheet.setSpan(10, 1, 12, 2);
    QTemporaryDir folder;
    const QString path = folder.filePath(u"long.xlsx"_s);
    const QString started = SheetServiceImpl::ExportProgress + u" 300 1"_s;
    const struct {
        qint64 cancelAt;
        const char* old;
        bool done;
        QStringList messages;
    } cases[] = {
        {-1, nullptr, true, {}},
        {120, nullptr, false, {XlsxExport::Cancelled}},
        {1, "an old workbook", false, {XlsxExport::Cancelled}},
        {300, "an old workbook", false, {XlsxExport::Cancelled}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cancelAt);
        QFile::remove(path);
        if (c.old)
            writeFile(path, c.old);
        ExportService exporter(path);
        NotedProgress progress;
        progress.cancelAt = c.cancelAt;
        exporter.service.setProgress(&progress);
        EXPECT_EQ(exporter.service.ExportSheet(&sheet, Title, true), c.done);
        EXPECT_EQ(exporter.messages, c.messages);
        EXPECT_EQ(progress.calls, (QStringList{started, u"end"_s}));
        ASSERT_FALSE(progress.steps.isEmpty());
        EXPECT_TRUE(std::is_sorted(progress.steps.begin(), progress.steps.end()));
        EXPECT_EQ(progress.steps.last(), c.done ? 300 : c.cancelAt);
        EXPECT_EQ(exporter.done, c.done ? QStringList{path} : QStringList());
        if (c.done) {
            EXPECT_EQ(fileBytes(path).left(2), "PK");
        } else if (c.old) {
            EXPECT_EQ(fileBytes(path), c.old);
        }
        EXPECT_EQ(entriesUnder(folder.path()), c.done || c.old ? QStringList{u"long.xlsx"_s} : QStringList());
    }

    // Several sheets count all their rows, in one run.
    ExportService books(path);
    NotedProgress progress;
    books.service.setProgress(&progress);
    Sheet small;
    small.setMaxCol(1);
    small.setMaxRow(7);
    EXPECT_TRUE(books.service.ExportWorkbook({&sheet, &small}, {u"a"_s, u"b"_s}, Title, true));
    EXPECT_EQ(progress.calls, (QStringList{SheetServiceImpl::ExportProgress + u" 307 1"_s, u"end"_s}));
    EXPECT_EQ(progress.steps.last(), 307);

    // The printout: a page at a time, nothing to cancel.
    progress.calls.clear();
    progress.steps.clear();
    progress.cancelAt = 1;
    books.service.setPreviewRunner([&](QPrinter* printer, std::function<void(QPrinter*)> paint) {
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(folder.filePath(u"long.pdf"_s));
        paint(printer);
        return true;
    });
    EXPECT_TRUE(books.service.PrintSheet(&sheet));
    EXPECT_EQ(progress.calls, (QStringList{SheetServiceImpl::PrintProgress + u" 0 0"_s, u"end"_s}));
    ASSERT_GT(progress.steps.size(), 2);
    for (qsizetype i = 0; i < progress.steps.size(); ++i)
        EXPECT_EQ(progress.steps.at(i), i + 1);
    EXPECT_TRUE(pdfText(folder.filePath(u"long.pdf"_s)).contains(u"300"_s));
}

// The host's dialog: shown once the delay passed, counting, cancelled only where allowed, gone
// at the end; nested work takes over the same dialog.
TEST(SheetExport, TheProgressDialogCountsAndCancelsOnlyWhereAllowed)
{
    using corvan::host::ProgressDialogs;
    const struct {
        qint64 done, total;
        const char* text;
    } counts[] = {{0, 0, "已完成 0"},
                  {7, 0, "已完成 7"},
                  {3, 10, "已完成 3 / 10"},
                  {12, 10, "已完成 10 / 10"},
                  {12000, 20000, "已完成 12,000 / 20,000"}};
    for (const auto& c : counts)
        EXPECT_EQ(ProgressDialogs::countText(c.done, c.total), QString::fromUtf8(c.text));

    QWidget window;
    window.setWindowTitle(WindowCaption);
    window.show();
    ProgressDialogs progress;
    progress.setDelay(0);
    for (const bool cancellable : {true, false}) {
        SCOPED_TRACE(cancellable);
        progress.BeginProgress(&window, u"正在读取"_s, 10, cancellable);
        ASSERT_NE(progress.dialog(), nullptr);
        EXPECT_TRUE(progress.StepProgress(3));
        EXPECT_TRUE(progress.dialog()->isVisible());
        EXPECT_EQ(progress.dialog()->windowTitle(), WindowCaption);
        EXPECT_EQ(progress.dialog()->labelText(), u"正在读取\n已完成 3 / 10"_s);
        progress.BeginProgress(&window, u"正在写入"_s, 0, cancellable);
        EXPECT_TRUE(progress.StepProgress(10));
        progress.EndProgress();
        ASSERT_NE(progress.dialog(), nullptr) << "the outer work still runs";
        progress.dialog()->cancel();
        EXPECT_EQ(progress.StepProgress(10), !cancellable);
        EXPECT_EQ(progress.StepProgress(10), !cancellable);
        progress.EndProgress();
        EXPECT_EQ(progress.dialog(), nullptr);
        EXPECT_TRUE(progress.StepProgress(1)) << "no work, nothing to cancel";
    }
    progress.EndProgress();
    EXPECT_EQ(progress.dialog(), nullptr);
}

TEST(SheetExport, AWriteFailingHalfwayLeavesTheOldFileAsItWas)
{
    RecordWindow record;
    QTemporaryDir folder;
    const QString file = folder.filePath(u"记录.xlsx"_s);
    const QByteArray earlier = QByteArray("an earlier export, ").repeated(10);
    writeFile(file, earlier);
    ExportService exporter(file);

    // A file size limit makes the disk refuse the workbook part way, as a full disk would.
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 1024;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool done = exporter.service.ExportSheet(record.sheet, Title, true);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(done);
    EXPECT_EQ(fileBytes(file), earlier);
    EXPECT_EQ(entriesUnder(folder.path()), QStringList{u"记录.xlsx"_s});
    expectFailureMessage(exporter);
}

TEST(SheetExport, WithoutAskingGoesToTheDocumentsFolder)
{
    RecordWindow record;
    QTemporaryDir home;
    const auto homeChange = changeEnvironment("HOME", QFile::encodeName(home.path()));
    const auto configChange = changeEnvironment("XDG_CONFIG_HOME", QByteArray());
    ExportService exporter(home.filePath(u"never.xlsx"_s));

    ASSERT_TRUE(exporter.service.ExportSheet(record.sheet, Title, false));
    EXPECT_TRUE(exporter.suggestions.isEmpty());
    const QString expected = SheetServiceImpl::defaultExportPath(Title);
    EXPECT_TRUE(expected.startsWith(home.path() + u'/')) << qPrintable(expected);
    EXPECT_TRUE(QFileInfo(expected).isFile()) << qPrintable(expected);
}

TEST(SheetExport, TitlesBecomeNamesExcelAndFileSystemsAccept)
{
    EXPECT_EQ(XlsxExport::worksheetName(Title), Title);
    EXPECT_EQ(XlsxExport::worksheetName(u"基站/调整:记录[1]"_s), u"基站_调整_记录_1_"_s);
    EXPECT_EQ(XlsxExport::worksheetName(u"'引号'"_s), u"引号"_s);
    EXPECT_EQ(XlsxExport::worksheetName(QString()), u"Sheet1"_s);
    EXPECT_EQ(XlsxExport::worksheetName(u"History"_s), u"History_"_s);
    const QString longTitle = QString(40, u'站');
    EXPECT_EQ(XlsxExport::worksheetName(longTitle), QString(31, u'站'));

    const QString path = SheetServiceImpl::defaultExportPath(u"基站/调整:记录"_s, QDate(2024, 3, 5));
    EXPECT_TRUE(path.endsWith(u"/基站_调整_记录-20240305.xlsx"_s)) << qPrintable(path);
    EXPECT_TRUE(
        SheetServiceImpl::defaultExportPath(QString(), QDate(2024, 3, 5)).endsWith(u"/导出-20240305.xlsx"_s));
}

TEST(SheetPrint, PdfShowsTheTitleAndEveryRowInOrder)
{
    RecordWindow record;
    QTemporaryDir folder;
    const QString pdf = folder.filePath(u"记录.pdf"_s);
    QString error;
    ASSERT_TRUE(SheetPrinter::printToPdf(*record.sheet, pdf, &error)) << qPrintable(error);

    const QString text = withoutBlanks(pdfText(pdf));
    ASSERT_FALSE(text.isEmpty());
    qsizetype at = text.indexOf(WindowCaption);
    EXPECT_GE(at, 0);
    for (const QString& cell : record.texts) {
        const qsizetype found = text.indexOf(withoutBlanks(cell), at);
        EXPECT_GT(found, at) << qPrintable(cell);
        at = std::max(at, found);
    }
    EXPECT_TRUE(text.contains(u"第1页，共1页"_s)) << qPrintable(text);
    EXPECT_TRUE(record.sheet->RowHidden(8));

    EXPECT_FALSE(SheetPrinter::printToPdf(*record.sheet, folder.filePath(u"no/such/folder.pdf"_s), &error));
    EXPECT_TRUE(error.contains(u"no/such/folder.pdf"_s)) << qPrintable(error);
}

TEST(SheetPrint, LongSheetsBreakBetweenRowsAndBetweenLines)
{
    QWidget window;
    window.setWindowTitle(WindowCaption);
    Sheet sheet(&window);
    sheet.setMaxCol(2);
    sheet.setMaxRow(120);
    sheet.setColText(1, u"项目"_s);
    sheet.setColText(2, u"内容"_s);
    for (int row = 1; row <= 120; ++row)
        sheet.setTextRC(row, 1, u"行%1"_s.arg(row, 4, 10, QChar(u'0')));
    // One cell taller than a page.
    QStringList words;
    for (int i = 1; i <= 1500; ++i)
        words << u"seg%1"_s.arg(i, 4, 10, QChar(u'0'));
    sheet.setTextRC(60, 2, words.join(u' '));
    sheet.setTextRC(61, 2, u"合并"_s);
    sheet.setSpan(61, 2, 63, 2);

    QTemporaryDir folder;
    const QString pdf = folder.filePath(u"long.pdf"_s);
    QString error;
    ASSERT_TRUE(SheetPrinter::printToPdf(sheet, pdf, &error)) << qPrintable(error);
    const QStringList pages = pdfText(pdf).split(u'\f', Qt::SkipEmptyParts);
    ASSERT_GE(pages.size(), 5);

    for (qsizetype page = 0; page < pages.size(); ++page) {
        const QString text = withoutBlanks(pages.at(page));
        EXPECT_TRUE(text.contains(u"项目"_s) && text.contains(u"内容"_s)) << "page " << page + 1;
        EXPECT_TRUE(text.contains(u"第%1页，共%2页"_s.arg(page + 1).arg(pages.size())))
            << "page " << page + 1;
        EXPECT_EQ(text.contains(WindowCaption), page == 0) << "page " << page + 1;
    }
    // Every row and every word once, in order: no line was cut in two at a page end.
    const QString all = pages.join(u'\n');
    QList<int> rows;
    for (const auto& match : QRegularExpression(u"行(\\d{4})"_s).globalMatch(all))
        rows << match.captured(1).toInt();
    EXPECT_EQ(rows, oneTo(120));
    QList<int> seen;
    for (const auto& match : QRegularExpression(u"seg(\\d{4})"_s).globalMatch(all))
        seen << match.captured(1).toInt();
    EXPECT_EQ(seen, oneTo(1500));
    EXPECT_EQ(all.count(u"合并"_s), 1);

    // No line runs past the end of its page's table into the page number.
    const QList<QList<PdfWord>> placed = pdfWords(pdf);
    ASSERT_EQ(placed.size(), pages.size());
    for (qsizetype page = 0; page < placed.size(); ++page) {
        double footer = 1e9;
        double lowest = 0;
        for (const PdfWord& word : placed.at(page)) {
            if (word.text == u"第")
                footer = std::min(footer, word.top);
            else if (word.text.startsWith(u"seg"))
                lowest = std::max(lowest, word.bottom);
        }
        EXPECT_LT(lowest, footer - 2) << "page " << page + 1;
    }
}

TEST(SheetPrint, PrintSheetPaintsThePreviewOnAnA4Printer)
{
    RecordWindow record;
    QTemporaryDir folder;
    const QString pdf = folder.filePath(u"preview.pdf"_s);
    SheetServiceImpl service;
    int painted = 0;
    service.setPreviewRunner([&](QPrinter* printer, std::function<void(QPrinter*)> paint) {
        EXPECT_EQ(printer->pageLayout().pageSize().id(), QPageSize::A4);
        EXPECT_GE(printer->resolution(), 300);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(pdf);
        paint(printer);
        ++painted;
        return true;
    });

    EXPECT_TRUE(service.PrintSheet(record.sheet));
    EXPECT_EQ(painted, 1);
    const QString text = withoutBlanks(pdfText(pdf));
    for (const QString& part : {withoutBlanks(Detail), Remark, u"滨江<一号>&机房"_s,
                                u"操作用户张三网络类型G网"_s, u"第1页，共1页"_s})
        EXPECT_TRUE(text.contains(part)) << qPrintable(part) << "\n" << qPrintable(text);
    EXPECT_TRUE(record.sheet->RowHidden(8));
    EXPECT_TRUE(record.sheet->RowHidden(9));
    EXPECT_FALSE(service.PrintSheet(nullptr));
    EXPECT_EQ(painted, 1);

    // A preview the host did not show, and one that repaints after the sheet is gone.
    service.setPreviewRunner([](QPrinter*, std::function<void(QPrinter*)>) { return false; });
    EXPECT_FALSE(service.PrintSheet(record.sheet));
    const QString late = folder.filePath(u"late.pdf"_s);
    auto* doomed = new Sheet;
    service.setPreviewRunner([&](QPrinter* printer, std::function<void(QPrinter*)> paint) {
        delete doomed;
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(late);
        paint(printer);
        return true;
    });
    EXPECT_TRUE(service.PrintSheet(doomed));
    EXPECT_FALSE(QFile::exists(late));
}

TEST(SheetPrint, RadicalsInThePdfTextBecomeTheCharactersDrawn)
{
    // 一 用 页 share their glyphs with the radicals ⼀ ⽤ ⻚ in the CJK fonts.
    QFont font;
    font.setFamilies({u"Noto Sans CJK SC"_s});
    const QByteArray before = "1 beginbfchar\n<0003> <2F64>\nendbfchar\n"
                              "3 beginbfrange\n<0001> <0002> [<2F00> <2EDA>]\n<0005> <0005> <2F64>\n"
                              "<0006> <0007> <2F64>\nendbfrange\n<0009> <2F64>";
    QByteArray pdf = before;
    EXPECT_EQ(PdfTextRepair::repairBytes(pdf, u"用一页"_s, font), 4);
    EXPECT_EQ(pdf, QByteArray("1 beginbfchar\n<0003> <7528>\nendbfchar\n"
                              "3 beginbfrange\n<0001> <0002> [<4E00> <9875>]\n<0005> <0005> <7528>\n"
                              "<0006> <0007> <2F64>\nendbfrange\n<0009> <2F64>"));
    // A radical that was drawn as such stays; text without CJK leaves the file alone.
    pdf = before;
    EXPECT_EQ(PdfTextRepair::repairBytes(pdf, u"用⼀页"_s, font), 3);
    EXPECT_TRUE(pdf.contains("[<2F00> <9875>]"));
    pdf = before;
    EXPECT_EQ(PdfTextRepair::repairBytes(pdf, u"abc"_s, font), 0);
    EXPECT_EQ(pdf, before);
}

} // namespace
