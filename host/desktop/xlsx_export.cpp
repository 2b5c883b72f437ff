// SPDX-License-Identifier: MIT
#include "desktop/xlsx_export.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QRandomGenerator>
#include <QTableWidget>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <system_error>
#include <tuple>
#include <vector>
#include <xlsxwriter.h>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

#include "corvan/controls/sheet.h"
#include "desktop/sheet_blocks.h"

using namespace Qt::StringLiterals;

namespace corvan::host {

namespace {

constexpr double TitlePoints = 14;
constexpr std::uint32_t TitleRowPixels = 30;
// Excel's own row height; rows whose wrapped text needs no more keep it.
constexpr int DefaultRowPixels = 20;
// Excel refuses rows above 409 points.
constexpr int MaxRowPixels = 545;
constexpr int CellPaddingPixels = 6;
constexpr std::uint8_t PaperA4 = 9;
constexpr int WorksheetNameMax = 31;

QString nativePath(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

std::filesystem::path fsPath(const QString& path)
{
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

// A cell text as Excel keeps it: its own line breaks, and no more than it can hold.
QByteArray cellText(QString text)
{
    text.replace(u"\r\n"_s, u"\n"_s);
    if (text.size() > XlsxExport::MaxCellText) {
        qsizetype cut = XlsxExport::MaxCellText;
        if (text.at(cut - 1).isHighSurrogate())
            --cut;
        text.truncate(cut);
    }
    return text.toUtf8();
}

lxw_color_t excelColour(const QColor& colour)
{
    const auto value = lxw_color_t((colour.red() << 16) | (colour.green() << 8) | colour.blue());
    // Zero means "no colour" to the writer; black has a number of its own.
    return value == 0 ? lxw_color_t(LXW_COLOR_BLACK) : value;
}

// The temporary file beside the target that the workbook goes to first. Unless it was
// committed, it is removed when this goes out of scope, whatever went wrong.
class StagingFile {
public:
    explicit StagingFile(const QString& target) : m_target(target) {}
    ~StagingFile()
    {
        if (!m_path.isEmpty() && !m_committed)
            QFile::remove(m_path);
    }
    StagingFile(const StagingFile&) = delete;
    StagingFile& operator=(const StagingFile&) = delete;

    QString path() const { return m_path; }

    bool create(QString* error)
    {
        const QFileInfo target(m_target);
        const QString folder = target.absolutePath();
        if (!QFileInfo(folder).isDir()) {
            *error = u"文件夹“%1”不存在"_s.arg(nativePath(folder));
            return false;
        }
        if (target.isDir()) {
            *error = u"“%1”是一个文件夹"_s.arg(nativePath(target.absoluteFilePath()));
            return false;
        }
        // Made by us and only by us, with the permissions any new file gets; the name is
        // hidden so that a half-written workbook never looks like an export.
        for (int attempt = 0; attempt < 16; ++attempt) {
            const QString suffix =
                QString::number(QRandomGenerator::global()->bounded(0x1000000u), 16).rightJustified(6, u'0');
            const QString candidate =
                QDir(folder).filePath(u"."_s + target.fileName() + u'.' + suffix + u".part"_s);
            QFile file(candidate);
            if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
                file.close();
                m_path = candidate;
                // A replaced file keeps the permissions it had.
                if (target.exists())
                    QFile::setPermissions(m_path, QFile::permissions(m_target));
                return true;
            }
            if (!QFileInfo::exists(candidate)) {
                *error = u"无法在文件夹“%1”中写入文件：%2"_s.arg(nativePath(folder), file.errorString());
                return false;
            }
        }
        *error = u"无法在文件夹“%1”中创建临时文件"_s.arg(nativePath(folder));
        return false;
    }

    // Puts the finished file in the target's place in one step.
    bool commit(QString* error)
    {
#ifdef Q_OS_UNIX
        // The rename must not publish a name whose bytes are still only in memory: after a
        // crash the user would find an empty workbook in place of the old one.
        const QByteArray native = QFile::encodeName(m_path);
        const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0 || ::fsync(fd) != 0) {
            const int code = errno;
            if (fd >= 0)
                ::close(fd);
            *error = QString::fromLocal8Bit(std::strerror(code));
            return false;
        }
        ::close(fd);
#endif
        std::error_code code;
        std::filesystem::rename(fsPath(m_path), fsPath(m_target), code);
        if (code) {
            *error = u"无法写入“%1”：%2"_s.arg(nativePath(m_target), QString::fromLocal8Bit(code.message()));
            return false;
        }
        m_committed = true;
        return true;
    }

private:
    QString m_target;
    QString m_path;
    bool m_committed = false;
};

// One workbook made from sheets, one worksheet each. A sheet's row r is its worksheet's row
// r (0-based), so row 0 is free for the title.
class WorkbookWriter {
public:
    WorkbookWriter(const QList<XlsxExport::Part>& parts, const QString& title,
                   const XlsxExport::Progress& progress)
        : m_parts(parts), m_title(title), m_progress(progress), m_total(XlsxExport::rowsOf(parts))
    {}

    bool cancelled() const { return m_cancelled; }

    bool write(const QString& path, QString* error)
    {
        const QByteArray file = QFile::encodeName(path);
        m_book = workbook_new(file.constData());
        if (!m_book) {
            *error = u"内存不足"_s;
            return false;
        }
        QByteArray titleText = cellText(m_title);
        lxw_doc_properties properties{};
        properties.title = titleText.data();
        check(workbook_set_properties(m_book, &properties));

        QStringList used;
        QString missing;
        for (const XlsxExport::Part& part : m_parts) {
            // Names must differ between worksheets, without regard to case.
            const QString base = XlsxExport::worksheetName(part.title);
            QString name = base;
            for (int n = 2; used.contains(name, Qt::CaseInsensitive); ++n)
                name = base.left(28) + u'(' + QString::number(n) + u')';
            used << name;
            const QByteArray utf8 = name.toUtf8();
            m_sheet = part.sheet;
            m_worksheet = workbook_add_worksheet(m_book, utf8.constData());
            if (!m_worksheet) {
                missing = name;
                break;
            }
            // Printed from Excel, the table fits the width of an A4 page as our printout does.
            worksheet_set_paper(m_worksheet, PaperA4);
            worksheet_fit_to_pages(m_worksheet, 1, 0);
            writeTitle(cellText(part.title));
            writeColumns();
            writeCells();
            if (m_cancelled)
                break;
        }
        // Closing also frees the workbook, so it is closed on every path.
        const lxw_error closed = workbook_close(m_book);
        m_book = nullptr;
        if (m_cancelled) {
            *error = XlsxExport::Cancelled;
            return false;
        }
        if (!missing.isEmpty()) {
            *error = u"无法建立工作表“%1”"_s.arg(missing);
            return false;
        }
        if (m_error == LXW_NO_ERROR)
            m_error = closed;
        if (m_error != LXW_NO_ERROR) {
            *error = QString::fromUtf8(lxw_strerror(m_error));
            return false;
        }
        return true;
    }

private:
    void check(lxw_error result)
    {
        if (m_error == LXW_NO_ERROR)
            m_error = result;
    }

    int columns() const { return m_sheet->MaxCol(); }

    int columnPixels(int col) const
    {
        const int width = m_sheet->ColWidth(col);
        return width > 0 ? width : m_sheet->DefaultColWidth();
    }

    void writeTitle(const QByteArray& text)
    {
        lxw_format* bold = workbook_add_format(m_book);
        format_set_bold(bold);
        format_set_font_size(bold, TitlePoints);
        format_set_align(bold, LXW_ALIGN_CENTER);
        format_set_align(bold, LXW_ALIGN_VERTICAL_CENTER);
        if (columns() > 1)
            check(worksheet_merge_range(m_worksheet, 0, 0, 0, lxw_col_t(columns() - 1), text.constData(),
                                        bold));
        else
            check(worksheet_write_string(m_worksheet, 0, 0, text.constData(), bold));
        check(worksheet_set_row_pixels(m_worksheet, 0, TitleRowPixels, nullptr));
    }

    void writeColumns()
    {
        for (int c = 1; c <= columns(); ++c) {
            const auto col = lxw_col_t(c - 1);
            check(
                worksheet_set_column_pixels(m_worksheet, col, col, std::uint32_t(columnPixels(c)), nullptr));
        }
    }

    void writeCells()
    {
        std::vector<int> heights(std::size_t(m_sheet->MaxRow()) + 1, 0);
        // A row counts as written when a later one begins, the last ones after the loop.
        int lastRow = 0;
        for (const SheetBlocks::Block& block : SheetBlocks::of(*m_sheet)) {
            if (block.row > lastRow + 1 && !step(block.row - 1 - lastRow))
                return;
            lastRow = std::max(lastRow, block.row - 1);
            const QString raw = m_sheet->TextRC(block.row, block.col);
            const QByteArray text = cellText(raw);
            lxw_format* format = cellFormat(block.row, block.col);
            const auto row = lxw_row_t(block.row);
            const auto col = lxw_col_t(block.col - 1);
            if (block.rows > 1 || block.cols > 1) {
                check(worksheet_merge_range(m_worksheet, row, col, lxw_row_t(block.row + block.rows - 1),
                                            lxw_col_t(block.col + block.cols - 2), text.constData(), format));
            } else if (double number = 0; m_sheet->CellNumber(block.row, block.col, &number)) {
                check(worksheet_write_number(m_worksheet, row, col, number, format));
            } else if (text.isEmpty()) {
                check(worksheet_write_blank(m_worksheet, row, col, format));
            } else {
                check(worksheet_write_string(m_worksheet, row, col, text.constData(), format));
            }
            if (block.rows == 1 && !raw.isEmpty()) {
                int& height = heights[std::size_t(block.row)];
                height = std::max(height, textPixels(block, raw));
            }
        }
        if (!step(m_sheet->MaxRow() - lastRow))
            return;
        // Excel does not fit rows to wrapped text when it opens a file, so a long text
        // would show as one line; the rows get the height the text needs on screen.
        for (std::size_t row = 1; row < heights.size(); ++row) {
            if (heights[row] > DefaultRowPixels)
                check(worksheet_set_row_pixels(m_worksheet, lxw_row_t(row),
                                               std::uint32_t(std::min(heights[row], MaxRowPixels)), nullptr));
        }
    }

    int textPixels(const SheetBlocks::Block& block, const QString& text) const
    {
        // Measuring needs the font machinery of a GUI application.
        if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
            return 0;
        int width = 0;
        for (int c = block.col; c < block.col + block.cols; ++c)
            width += columnPixels(c);
        QFont font = m_sheet->table()->font();
        const int points = m_sheet->CellFontSize(block.row, block.col);
        if (points > 0)
            font.setPointSize(points);
        const QRect room(0, 0, std::max(width - CellPaddingPixels, 1), MaxRowPixels * 4);
        return QFontMetrics(font).boundingRect(room, Qt::TextWordWrap | Qt::TextWrapAnywhere, text).height() +
               CellPaddingPixels;
    }

    lxw_format* cellFormat(int row, int col)
    {
        const Qt::Alignment align = m_sheet->CellAlignment(row, col);
        const std::uint8_t across = align & Qt::AlignHCenter ? LXW_ALIGN_CENTER
                                    : align & Qt::AlignRight ? LXW_ALIGN_RIGHT
                                                             : LXW_ALIGN_LEFT;
        const std::uint8_t down = align & Qt::AlignTop      ? LXW_ALIGN_VERTICAL_TOP
                                  : align & Qt::AlignBottom ? LXW_ALIGN_VERTICAL_BOTTOM
                                                            : LXW_ALIGN_VERTICAL_CENTER;
        const int points = m_sheet->CellFontSize(row, col);
        const QColor back = m_sheet->CellBackground(row, col);
        const QColor fore = m_sheet->CellForeground(row, col);
        const qint64 backKey = back.isValid() ? qint64(excelColour(back)) : -1;
        const qint64 foreKey = fore.isValid() ? qint64(excelColour(fore)) : -1;
        const auto key = std::make_tuple(across, down, points, backKey, foreKey);
        if (const auto found = m_formats.find(key); found != m_formats.end())
            return found->second;

        lxw_format* format = workbook_add_format(m_book);
        format_set_border(format, LXW_BORDER_THIN);
        format_set_text_wrap(format);
        format_set_align(format, across);
        format_set_align(format, down);
        if (points > 0)
            format_set_font_size(format, points);
        if (back.isValid()) {
            format_set_pattern(format, LXW_PATTERN_SOLID);
            format_set_bg_color(format, excelColour(back));
        }
        if (fore.isValid())
            format_set_font_color(format, excelColour(fore));
        m_formats.emplace(key, format);
        return format;
    }

    bool step(int rows)
    {
        m_done += rows;
        if (m_progress && !m_progress(m_done, m_total))
            m_cancelled = true;
        return !m_cancelled;
    }

    QList<XlsxExport::Part> m_parts;
    QString m_title;
    XlsxExport::Progress m_progress;
    qint64 m_total = 0;
    qint64 m_done = 0;
    bool m_cancelled = false;
    const Sheet* m_sheet = nullptr;
    lxw_workbook* m_book = nullptr;
    lxw_worksheet* m_worksheet = nullptr;
    std::map<std::tuple<std::uint8_t, std::uint8_t, int, qint64, qint64>, lxw_format*> m_formats;
    lxw_error m_error = LXW_NO_ERROR;
};

// The column's letters, A for 0.
QByteArray columnName(int column)
{
    QByteArray name;
    for (int c = column + 1; c > 0; c = (c - 1) / 26)
        name.prepend(char('A' + (c - 1) % 26));
    return name;
}

// Worksheets of texts, every cell a text, the headings in bold, drop-down lists from a
// hidden worksheet of lists.
class TextWriter {
public:
    explicit TextWriter(const QList<TextSheet>& sheets) : m_sheets(sheets) {}

    bool write(const QString& path, QString* error)
    {
        const QByteArray file = QFile::encodeName(path);
        m_book = workbook_new(file.constData());
        if (!m_book) {
            *error = u"内存不足"_s;
            return false;
        }
        lxw_format* heading = workbook_add_format(m_book);
        format_set_bold(heading);
        format_set_num_format(heading, "@");
        lxw_format* text = workbook_add_format(m_book);
        format_set_num_format(text, "@");
        QStringList used;
        QList<lxw_worksheet*> worksheets;
        for (const TextSheet& sheet : m_sheets) {
            QString name = XlsxExport::worksheetName(sheet.name);
            for (int n = 2; used.contains(name, Qt::CaseInsensitive); ++n)
                name = XlsxExport::worksheetName(sheet.name).left(28) + u'(' + QString::number(n) + u')';
            used << name;
            lxw_worksheet* worksheet = workbook_add_worksheet(m_book, name.toUtf8().constData());
            worksheets << worksheet;
            if (!worksheet)
                break;
            for (qsizetype c = 0; c < columnsOf(sheet); ++c)
                check(worksheet_set_column(worksheet, lxw_col_t(c), lxw_col_t(c),
                                           sheet.widths.value(c) > 0 ? sheet.widths.value(c) : 12, text));
            for (qsizetype r = 0; r < sheet.rows.size(); ++r)
                for (qsizetype c = 0; c < sheet.rows.at(r).size(); ++c)
                    if (!sheet.rows.at(r).at(c).isEmpty())
                        check(worksheet_write_string(worksheet, lxw_row_t(r), lxw_col_t(c),
                                                     cellText(sheet.rows.at(r).at(c)).constData(),
                                                     r == 0 ? heading : text));
            if (sheet.hidden)
                worksheet_hide(worksheet);
        }
        if (!worksheets.contains(nullptr))
            writeLists(worksheets, used);
        const lxw_error closed = workbook_close(m_book);
        m_book = nullptr;
        if (worksheets.contains(nullptr)) {
            *error = u"无法建立工作表"_s;
            return false;
        }
        if (m_error == LXW_NO_ERROR)
            m_error = closed;
        if (m_error != LXW_NO_ERROR) {
            *error = QString::fromUtf8(lxw_strerror(m_error));
            return false;
        }
        return true;
    }

private:
    static qsizetype columnsOf(const TextSheet& sheet)
    {
        qsizetype columns = std::max(sheet.widths.size(), sheet.choices.size());
        for (const QStringList& row : sheet.rows)
            columns = std::max(columns, row.size());
        return columns;
    }

    void check(lxw_error result)
    {
        if (m_error == LXW_NO_ERROR)
            m_error = result;
    }

    // Each list goes into a column of its own of a hidden worksheet; a column of a sheet with
    // a list takes its values below the headings, as far as a plan may reach.
    void writeLists(const QList<lxw_worksheet*>& worksheets, const QStringList& names)
    {
        lxw_worksheet* lists = nullptr;
        int listColumn = 0;
        for (qsizetype s = 0; s < m_sheets.size(); ++s) {
            const TextSheet& sheet = m_sheets.at(s);
            for (qsizetype c = 0; c < sheet.choices.size(); ++c) {
                const QStringList& choices = sheet.choices.at(c);
                if (choices.isEmpty())
                    continue;
                if (!lists) {
                    QString name = u"选项"_s;
                    while (names.contains(name, Qt::CaseInsensitive))
                        name += u'_';
                    m_listsName = name;
                    lists = workbook_add_worksheet(m_book, name.toUtf8().constData());
                    if (!lists)
                        return;
                    worksheet_hide(lists);
                }
                for (qsizetype i = 0; i < choices.size(); ++i)
                    check(worksheet_write_string(lists, lxw_row_t(i), lxw_col_t(listColumn),
                                                 cellText(choices.at(i)).constData(), nullptr));
                const QByteArray range = "='" + m_listsName.toUtf8() + "'!$" + columnName(listColumn) +
                                         "$1:$" + columnName(listColumn) + "$" +
                                         QByteArray::number(choices.size());
                lxw_data_validation validation{};
                validation.validate = LXW_VALIDATION_TYPE_LIST_FORMULA;
                validation.value_formula = const_cast<char*>(range.constData());
                check(worksheet_data_validation_range(worksheets.at(s), 1, lxw_col_t(c), ListRows,
                                                      lxw_col_t(c), &validation));
                ++listColumn;
            }
        }
    }

    // The rows below the headings that offer a column's list.
    static constexpr lxw_row_t ListRows = 20000;

    const QList<TextSheet>& m_sheets;
    lxw_workbook* m_book = nullptr;
    QString m_listsName;
    lxw_error m_error = LXW_NO_ERROR;
};

} // namespace

bool XlsxExport::write(const QList<TextSheet>& sheets, const QString& path, QString* error)
{
    QString reason;
    const bool done = [&] {
        if (sheets.isEmpty()) {
            reason = u"没有要写入的工作表"_s;
            return false;
        }
        for (const TextSheet& sheet : sheets)
            if (sheet.rows.size() > LXW_ROW_MAX) {
                reason =
                    u"工作表“%1”有 %2 行，超出了 Excel 工作表的容量"_s.arg(sheet.name).arg(sheet.rows.size());
                return false;
            }
        const QFileInfo info(path);
        const QString target = info.isSymLink() ? info.symLinkTarget() : path;
        StagingFile staging(target);
        if (!staging.create(&reason))
            return false;
        TextWriter writer(sheets);
        return writer.write(staging.path(), &reason) && staging.commit(&reason);
    }();
    if (!done && error)
        *error = reason;
    return done;
}

QString XlsxExport::worksheetName(const QString& title)
{
    const QString forbidden = u"[]:*?/\\"_s;
    QString name;
    int characters = 0;
    for (qsizetype i = 0; i < title.size() && characters < WorksheetNameMax; ++characters) {
        // A character beyond the basic plane is two code units; it is kept whole.
        const qsizetype length = title.at(i).isHighSurrogate() && i + 1 < title.size() ? 2 : 1;
        const QChar first = title.at(i);
        if (forbidden.contains(first) || first.category() == QChar::Other_Control)
            name += u'_';
        else
            name += title.mid(i, length);
        i += length;
    }
    while (name.startsWith(u'\''))
        name.remove(0, 1);
    while (name.endsWith(u'\''))
        name.chop(1);
    if (name.trimmed().isEmpty())
        return u"Sheet1"_s;
    // Excel keeps this name for a sheet of its own.
    if (name.compare(u"History"_s, Qt::CaseInsensitive) == 0)
        name += u'_';
    return name;
}

const QString XlsxExport::Cancelled = u"已取消导出，没有写入文件"_s;

qint64 XlsxExport::rowsOf(const QList<Part>& parts)
{
    qint64 rows = 0;
    for (const Part& part : parts)
        if (part.sheet)
            rows += part.sheet->MaxRow();
    return rows;
}

bool XlsxExport::write(const Sheet& sheet, const QString& title, const QString& path, QString* error,
                       const Progress& progress)
{
    return write(QList<Part>{{&sheet, title}}, title, path, error, progress);
}

bool XlsxExport::write(const QList<Part>& parts, const QString& title, const QString& path, QString* error,
                       const Progress& progress)
{
    QString reason;
    const bool done = [&] {
        if (parts.isEmpty()) {
            reason = u"没有要导出的表格"_s;
            return false;
        }
        for (const Part& part : parts) {
            // The title takes the first row of the worksheet.
            if (!part.sheet || part.sheet->MaxRow() >= LXW_ROW_MAX || part.sheet->MaxCol() > LXW_COL_MAX) {
                reason = part.sheet
                             ? u"表格有 %1 行 %2 列，超出了 Excel 工作表的容量"_s.arg(part.sheet->MaxRow())
                                   .arg(part.sheet->MaxCol())
                             : u"没有要导出的表格"_s;
                return false;
            }
        }
        // Exporting to a link replaces the file it points to and keeps the link.
        const QFileInfo info(path);
        const QString target = info.isSymLink() ? info.symLinkTarget() : path;
        StagingFile staging(target);
        if (!staging.create(&reason))
            return false;
        WorkbookWriter writer(parts, title, progress);
        return writer.write(staging.path(), &reason) && staging.commit(&reason);
    }();
    if (!done && error)
        *error = reason;
    return done;
}

} // namespace corvan::host
