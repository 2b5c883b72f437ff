// SPDX-License-Identifier: MIT
#include "desktop/sheet_printer.h"

#include "corvan/controls/sheet.h"
#include "desktop/pdf_text_repair.h"
#include "desktop/sheet_blocks.h"

#include <QCoreApplication>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QTableWidget>
#include <QTextLayout>
#include <algorithm>
#include <memory>
#include <numeric>
#include <vector>

using namespace Qt::StringLiterals;

namespace corvan::host {

namespace {

constexpr double MarginMm = 15;
constexpr double PaddingMm = 1.2;
constexpr double BorderMm = 0.2;
constexpr double TitleGapMm = 4;
constexpr double FooterGapMm = 3;
constexpr int TitlePoints = 14;
constexpr int FooterPoints = 8;
constexpr int FallbackPoints = 10;
constexpr double MmPerInch = 25.4;
// Below this a gap between two positions on paper is rounding, not a gap.
constexpr double Epsilon = 0.01;

QColor headingBackground()
{
    return QColor(235, 235, 235);
}

const QString FooterText = u"第 %1 页，共 %2 页"_s;

// The family the sheet's text is shown in first, so Latin text and digits come from a
// Latin font; the CJK families give the Chinese text glyphs wherever that family has
// none, also inside a PDF, which embeds only what it is given. The family is the one
// really in use: a name the font database does not know would be passed over.
QFont paperFont(const QFont& base, int points, bool bold)
{
    QFont font(base);
    font.setFamilies({QFontInfo(base).family(), u"Noto Sans CJK SC"_s, u"Noto Serif CJK SC"_s});
    font.setPointSize(points > 0 ? points : FallbackPoints);
    font.setBold(bold);
    return font;
}

// One cell, merged block or heading on paper. Positions are in device pixels: x from the
// table's left edge, y from the top of the part (headings or body) the cell belongs to.
struct PaperCell {
    int row = 0; // first row, 0-based; -1 for a heading
    int rows = 1;
    QRectF rect;
    double textTop = 0; // where the first line of text starts
    double textHeight = 0;
    Qt::Alignment alignment;
    QColor background;
    QColor foreground;
    std::unique_ptr<QTextLayout> layout;
};

// A part of the body that goes on one page, from start to end in body coordinates.
struct Segment {
    double start = 0;
    double end = 0;
};

class PaperTable {
public:
    PaperTable(const Sheet& sheet, const QPaintDevice* device, double width);

    double headingHeight() const { return m_headingHeight; }
    // The lowest a body row can be.
    double minimumRowHeight() const { return m_minimumRowHeight; }
    // Rows taller than a page show their text from the top, where the row begins, rather
    // than somewhere on a later page.
    void alignTallRows(double room);
    std::vector<Segment> paginate(double firstRoom, double room) const;
    void drawHeadings(QPainter& painter, double top) const;
    void drawBody(QPainter& painter, double top, const Segment& segment) const;

private:
    double mm(double value) const { return value * m_dpi / MmPerInch; }
    void layOut(PaperCell& cell, const QString& text, const QFont& font, double width) const;
    void place(PaperCell& cell, double top, double height) const;
    double breakBetweenLines(double start, double limit) const;
    void drawCells(QPainter& painter, const std::vector<PaperCell>& cells, const Segment& segment) const;

    const QPaintDevice* m_device;
    double m_dpi;
    double m_width;
    double m_padding;
    double m_headingHeight = 0;
    double m_minimumRowHeight = 0;
    std::vector<double> m_columnLeft; // column count + 1 edges
    std::vector<double> m_rowTop;     // row count + 1 edges
    std::vector<bool> m_joined;       // row i and row i + 1 lie in one merged block
    std::vector<PaperCell> m_headings;
    std::vector<PaperCell> m_cells;
};

PaperTable::PaperTable(const Sheet& sheet, const QPaintDevice* device, double width)
    : m_device(device), m_dpi(device->logicalDpiY()), m_width(width), m_padding(mm(PaddingMm))
{
    const int rows = sheet.MaxRow();
    const int cols = sheet.MaxCol();

    // The columns share the page width in the proportions they have on screen.
    std::vector<double> widths;
    double total = 0;
    for (int c = 1; c <= cols; ++c) {
        const int pixels = sheet.ColWidth(c);
        widths.push_back(pixels > 0 ? pixels : std::max(sheet.DefaultColWidth(), 1));
        total += widths.back();
    }
    m_columnLeft.push_back(0);
    for (const double w : widths)
        m_columnLeft.push_back(m_columnLeft.back() + w * width / total);

    const QFont base = sheet.table()->font();
    const QFont plain = paperFont(base, base.pointSize(), false);
    m_minimumRowHeight = QFontMetricsF(plain, device).height() + 2 * m_padding;

    const QFont bold = paperFont(base, base.pointSize(), true);
    m_headingHeight = m_minimumRowHeight;
    for (int c = 1; c <= cols; ++c) {
        PaperCell& heading = m_headings.emplace_back();
        heading.row = -1;
        heading.alignment = Qt::AlignCenter;
        heading.background = headingBackground();
        const QString text = sheet.ColText(c).isEmpty() ? QString::number(c) : sheet.ColText(c);
        heading.rect = QRectF(m_columnLeft[std::size_t(c - 1)], 0,
                              m_columnLeft[std::size_t(c)] - m_columnLeft[std::size_t(c - 1)], 0);
        layOut(heading, text, bold, heading.rect.width());
        m_headingHeight = std::max(m_headingHeight, heading.textHeight + 2 * m_padding);
    }
    for (PaperCell& heading : m_headings)
        place(heading, 0, m_headingHeight);

    std::vector<double> heights(std::size_t(std::max(rows, 0)), m_minimumRowHeight);
    m_joined.assign(heights.size(), false);
    for (const SheetBlocks::Block& block : SheetBlocks::of(sheet)) {
        PaperCell& cell = m_cells.emplace_back();
        cell.row = block.row - 1;
        cell.rows = block.rows;
        cell.alignment = sheet.CellAlignment(block.row, block.col);
        cell.background = sheet.CellBackground(block.row, block.col);
        cell.foreground = sheet.CellForeground(block.row, block.col);
        const double left = m_columnLeft[std::size_t(block.col - 1)];
        cell.rect = QRectF(left, 0, m_columnLeft[std::size_t(block.col - 1 + block.cols)] - left, 0);
        layOut(cell, sheet.TextRC(block.row, block.col),
               paperFont(base, sheet.CellFontSize(block.row, block.col), false), cell.rect.width());
        if (block.rows == 1)
            heights[std::size_t(cell.row)] =
                std::max(heights[std::size_t(cell.row)], cell.textHeight + 2 * m_padding);
        for (int r = cell.row; r < cell.row + cell.rows - 1; ++r)
            m_joined[std::size_t(r)] = true;
    }
    // A merged block's text gets the room it needs from the last of its rows.
    for (const PaperCell& cell : m_cells) {
        if (cell.rows == 1)
            continue;
        const auto first = heights.begin() + cell.row;
        const double have = std::accumulate(first, first + cell.rows, 0.0);
        const double need = cell.textHeight + 2 * m_padding;
        if (need > have)
            *(first + cell.rows - 1) += need - have;
    }
    m_rowTop.push_back(0);
    for (const double h : heights)
        m_rowTop.push_back(m_rowTop.back() + h);
    for (PaperCell& cell : m_cells) {
        const double top = m_rowTop[std::size_t(cell.row)];
        place(cell, top, m_rowTop[std::size_t(cell.row + cell.rows)] - top);
    }
}

void PaperTable::layOut(PaperCell& cell, const QString& text, const QFont& font, double width) const
{
    // Line breaks of the text itself are line separators to the layout.
    QString lines = text;
    lines.remove(u'\r');
    lines.replace(u'\n', QChar::LineSeparator);
    cell.layout = std::make_unique<QTextLayout>(lines, font, m_device);
    QTextOption option(cell.alignment & Qt::AlignHorizontal_Mask);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    cell.layout->setTextOption(option);
    const double lineWidth = std::max(width - 2 * m_padding, 1.0);
    double y = 0;
    cell.layout->beginLayout();
    for (QTextLine line = cell.layout->createLine(); line.isValid(); line = cell.layout->createLine()) {
        line.setLineWidth(lineWidth);
        line.setPosition(QPointF(0, y));
        y += line.height();
    }
    cell.layout->endLayout();
    cell.textHeight = y;
}

void PaperTable::place(PaperCell& cell, double top, double height) const
{
    cell.rect.setTop(top);
    cell.rect.setHeight(height);
    const double room = height - 2 * m_padding - cell.textHeight;
    double offset = room / 2;
    if (cell.alignment & Qt::AlignTop)
        offset = 0;
    else if (cell.alignment & Qt::AlignBottom)
        offset = room;
    cell.textTop = top + m_padding + std::max(offset, 0.0);
}

void PaperTable::alignTallRows(double room)
{
    for (PaperCell& cell : m_cells) {
        if (cell.rect.height() > room)
            cell.textTop = cell.rect.top() + m_padding;
    }
}

std::vector<Segment> PaperTable::paginate(double firstRoom, double room) const
{
    std::vector<Segment> pages;
    const double total = m_rowTop.back();
    double position = 0;
    do {
        double end = position + (pages.empty() ? firstRoom : room);
        if (end >= total - Epsilon) {
            end = total;
        } else {
            // The last row edge that fits and does not cut through a merged block.
            auto edge = std::upper_bound(m_rowTop.begin(), m_rowTop.end(), end);
            double cut = -1;
            for (auto i = std::size_t(edge - m_rowTop.begin()) - 1; i > 0 && m_rowTop[i] > position + Epsilon;
                 --i) {
                if (!m_joined[i - 1]) {
                    cut = m_rowTop[i];
                    break;
                }
            }
            end = cut > 0 ? cut : breakBetweenLines(position, end);
        }
        pages.push_back({position, end});
        position = end;
    } while (position < total - Epsilon);
    return pages;
}

// The lowest place at or above limit that cuts no line of text in two; the limit itself
// when every place would.
double PaperTable::breakBetweenLines(double start, double limit) const
{
    std::vector<std::pair<double, double>> lines;
    std::vector<double> places{limit};
    for (const PaperCell& cell : m_cells) {
        if (cell.rect.bottom() <= start || cell.rect.top() >= limit)
            continue;
        for (int i = 0; i < cell.layout->lineCount(); ++i) {
            const QTextLine line = cell.layout->lineAt(i);
            const double top = cell.textTop + line.y();
            const double bottom = top + line.height();
            if (bottom <= start || top >= limit)
                continue;
            lines.emplace_back(top, bottom);
            for (const double place : {top, bottom}) {
                if (place > start + Epsilon && place < limit)
                    places.push_back(place);
            }
        }
    }
    std::sort(places.begin(), places.end(), std::greater<>());
    for (const double place : places) {
        const bool cuts = std::any_of(lines.begin(), lines.end(), [place](const auto& line) {
            return line.first < place - Epsilon && line.second > place + Epsilon;
        });
        if (!cuts)
            return place;
    }
    return limit;
}

void PaperTable::drawHeadings(QPainter& painter, double top) const
{
    painter.save();
    painter.translate(0, top);
    drawCells(painter, m_headings, {0, m_headingHeight});
    painter.restore();
}

void PaperTable::drawBody(QPainter& painter, double top, const Segment& segment) const
{
    painter.save();
    painter.translate(0, top - segment.start);
    drawCells(painter, m_cells, segment);
    // A page that ends inside a row closes the table with a line of its own.
    if (!m_columnLeft.empty() && m_columnLeft.back() > 0)
        painter.drawLine(QLineF(0, segment.end, m_columnLeft.back(), segment.end));
    painter.restore();
}

void PaperTable::drawCells(QPainter& painter, const std::vector<PaperCell>& cells,
                           const Segment& segment) const
{
    QPen border(Qt::black);
    border.setWidthF(std::max(mm(BorderMm), 1.0));
    painter.setPen(border);
    for (const PaperCell& cell : cells) {
        const QRectF& rect = cell.rect;
        if (rect.bottom() <= segment.start + Epsilon || rect.top() >= segment.end - Epsilon)
            continue;
        const double top = std::max(rect.top(), segment.start);
        const double bottom = std::min(rect.bottom(), segment.end);
        const QRectF visible(rect.left(), top, rect.width(), bottom - top);
        if (cell.background.isValid())
            painter.fillRect(visible, cell.background);

        // A line goes on the page where it starts and on no other: drawn on both and clipped,
        // it would be found twice by anyone searching or copying the text. Pages end
        // between lines where they can, so a line is cut only where no such place exists.
        painter.save();
        painter.setClipRect(visible, Qt::IntersectClip);
        painter.setPen(cell.foreground.isValid() ? cell.foreground : QColor(Qt::black));
        const QPointF origin(rect.left() + m_padding, cell.textTop);
        for (int i = 0; i < cell.layout->lineCount(); ++i) {
            const QTextLine line = cell.layout->lineAt(i);
            const double lineTop = cell.textTop + line.y();
            if (lineTop >= segment.start - Epsilon && lineTop < segment.end - Epsilon)
                line.draw(&painter, origin);
        }
        painter.restore();

        // Edges are drawn where they lie on this page, so no clipping trims them.
        if (rect.top() >= segment.start - Epsilon)
            painter.drawLine(QLineF(rect.left(), rect.top(), rect.right(), rect.top()));
        if (rect.bottom() <= segment.end + Epsilon)
            painter.drawLine(QLineF(rect.left(), rect.bottom(), rect.right(), rect.bottom()));
        painter.drawLine(QLineF(rect.left(), top, rect.left(), bottom));
        painter.drawLine(QLineF(rect.right(), top, rect.right(), bottom));
    }
}

// One printout: its parts laid out on pages first, then painted page by page.
class Printout {
public:
    Printout(QPagedPaintDevice* device, const QFont& base, const QString& title)
        : m_device(device), m_base(base), m_width(device->width()), m_height(device->height()),
          m_dpi(device->logicalDpiY()), m_title(title, paperFont(base, TitlePoints, true), device),
          m_footerFont(paperFont(base, FooterPoints, false))
    {
        const double titleHeight = layOutLine(m_title);
        m_titleSpace = titleHeight > 0 ? titleHeight + mm(TitleGapMm) : 0;
        m_footerLine = QFontMetricsF(m_footerFont, device).height();
        m_bottom = m_height - m_footerLine - mm(FooterGapMm);
    }

    // Where each piece of each part goes; false when a part's heading and one row cannot fit
    // on a page.
    bool layOut(const QList<SheetPrinter::Part>& parts)
    {
        double y = m_titleSpace;
        for (const SheetPrinter::Part& part : parts) {
            auto table = std::make_unique<PaperTable>(*part.sheet, m_device, m_width);
            auto heading = std::make_unique<QTextLayout>(
                part.title, paperFont(m_base, FallbackPoints + 2, true), m_device);
            const double headingHeight = part.title.isEmpty() ? 0 : layOutLine(*heading) + mm(PaddingMm);
            const double room = m_bottom - table->headingHeight();
            if (room - headingHeight < table->minimumRowHeight())
                return false;
            // A part starts on a new page when not even its heading and one row fit here.
            if (y > 0 &&
                m_bottom - y - headingHeight - table->headingHeight() < table->minimumRowHeight() + Epsilon) {
                ++m_lastPage;
                y = 0;
            }
            table->alignTallRows(room);
            const double firstRoom = m_bottom - y - headingHeight - table->headingHeight();
            const std::vector<Segment> segments = table->paginate(firstRoom, room);
            for (std::size_t i = 0; i < segments.size(); ++i) {
                if (i > 0) {
                    ++m_lastPage;
                    y = 0;
                }
                const bool first = i == 0;
                m_pieces.push_back(
                    {m_tables.size(), m_lastPage, y + (first ? headingHeight : 0), segments[i], first});
                y += (first ? headingHeight : 0) + table->headingHeight() +
                     (segments[i].end - segments[i].start) + mm(TitleGapMm);
            }
            m_headingHeights.push_back(headingHeight);
            m_tables.push_back(std::move(table));
            m_headings.push_back(std::move(heading));
        }
        return true;
    }

    bool paint(const std::function<void(int page, int pages)>& pageDone)
    {
        QPainter painter;
        if (!painter.begin(m_device))
            return false;
        painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
        const std::size_t pages = m_lastPage + 1;
        std::size_t drawn = 0;
        for (std::size_t p = 0; p < pages; ++p) {
            if (p > 0 && !m_device->newPage())
                return false;
            painter.setPen(Qt::black);
            if (p == 0 && m_titleSpace > 0)
                m_title.draw(&painter, QPointF(0, 0));
            for (; drawn < m_pieces.size() && m_pieces[drawn].page == p; ++drawn)
                paintPiece(painter, m_pieces[drawn]);
            painter.setFont(m_footerFont);
            painter.setPen(Qt::black);
            const QString number = FooterText.arg(p + 1).arg(pages);
            painter.drawText(QRectF(0, m_height - m_footerLine, m_width, m_footerLine), Qt::AlignCenter,
                             number);
            if (pageDone)
                pageDone(int(p + 1), int(pages));
        }
        return painter.end();
    }

private:
    struct Piece {
        std::size_t part;
        std::size_t page;
        double top;
        Segment segment;
        bool heading;
    };

    double mm(double value) const { return value * m_dpi / MmPerInch; }

    double layOutLine(QTextLayout& layout) const
    {
        layout.setTextOption(QTextOption(Qt::AlignHCenter));
        double h = 0;
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(m_width);
            line.setPosition(QPointF(0, h));
            h += line.height();
        }
        layout.endLayout();
        return h;
    }

    void paintPiece(QPainter& painter, const Piece& piece) const
    {
        const PaperTable& table = *m_tables[piece.part];
        if (piece.heading && m_headingHeights[piece.part] > 0) {
            painter.setPen(Qt::black);
            m_headings[piece.part]->draw(&painter, QPointF(0, piece.top - m_headingHeights[piece.part]));
        }
        table.drawHeadings(painter, piece.top);
        table.drawBody(painter, piece.top + table.headingHeight(), piece.segment);
    }

    QPagedPaintDevice* m_device;
    QFont m_base;
    double m_width;
    double m_height;
    double m_dpi;
    QTextLayout m_title;
    QFont m_footerFont;
    double m_titleSpace = 0;
    double m_footerLine = 0;
    double m_bottom = 0;
    std::vector<std::unique_ptr<PaperTable>> m_tables;
    std::vector<std::unique_ptr<QTextLayout>> m_headings;
    std::vector<double> m_headingHeights;
    std::vector<Piece> m_pieces;
    std::size_t m_lastPage = 0;
};

} // namespace

void SheetPrinter::setUpPage(QPagedPaintDevice* device)
{
    device->setPageSize(QPageSize(QPageSize::A4));
    device->setPageMargins(QMarginsF(MarginMm, MarginMm, MarginMm, MarginMm), QPageLayout::Millimeter);
}

QString SheetPrinter::titleOf(const Sheet& sheet)
{
    QString title = sheet.window()->windowTitle();
    // Qt's marker for where a window shows that it has unsaved changes.
    title.remove(u"[*]"_s);
    return title.trimmed();
}

bool SheetPrinter::render(const Sheet& sheet, QPagedPaintDevice* device)
{
    return render({{&sheet, QString()}}, titleOf(sheet), device);
}

bool SheetPrinter::render(const QList<Part>& parts, const QString& titleText, QPagedPaintDevice* device,
                          const std::function<void(int page, int pages)>& pageDone)
{
    if (!device || device->width() <= 0 || device->height() <= 0 || parts.isEmpty())
        return false;
    Printout printout(device, parts.constFirst().sheet->table()->font(), titleText);
    return printout.layOut(parts) && printout.paint(pageDone);
}

bool SheetPrinter::printToPdf(const Sheet& sheet, const QString& path, QString* error)
{
    QPdfWriter writer(path);
    setUpPage(&writer);
    writer.setTitle(titleOf(sheet));
    writer.setCreator(QCoreApplication::applicationName());
    if (render(sheet, &writer) && repairPdfText(sheet, path))
        return true;
    if (error)
        *error = u"无法写入 PDF 文件“%1”"_s.arg(path);
    return false;
}

bool SheetPrinter::repairPdfText(const Sheet& sheet, const QString& path)
{
    return repairPdfText({{&sheet, QString()}}, titleOf(sheet), path);
}

bool SheetPrinter::repairPdfText(const QList<Part>& parts, const QString& title, const QString& path)
{
    if (parts.isEmpty())
        return false;
    QString text = title + FooterText;
    for (const Part& part : parts) {
        const Sheet& sheet = *part.sheet;
        text += part.title;
        for (int c = 1; c <= sheet.MaxCol(); ++c)
            text += sheet.ColText(c);
        for (int r = 1; r <= sheet.MaxRow(); ++r)
            for (int c = 1; c <= sheet.MaxCol(); ++c)
                text += sheet.TextRC(r, c);
    }
    const QFont base = parts.constFirst().sheet->table()->font();
    return PdfTextRepair::repair(path, text, paperFont(base, base.pointSize(), false));
}

bool SheetPrinter::printToPdf(const QList<Part>& parts, const QString& title, const QString& path,
                              QString* error)
{
    QPdfWriter writer(path);
    setUpPage(&writer);
    writer.setTitle(title);
    writer.setCreator(QCoreApplication::applicationName());
    if (render(parts, title, &writer) && repairPdfText(parts, title, path))
        return true;
    if (error)
        *error = u"无法写入 PDF 文件“%1”"_s.arg(path);
    return false;
}

} // namespace corvan::host
