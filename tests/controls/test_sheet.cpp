// SPDX-License-Identifier: MIT
#include "corvan/controls/focus_frame.h"
#include "corvan/controls/sheet.h"
#include "widget_input.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QImage>
#include <QLineEdit>
#include <QSet>
#include <QTableWidget>
#include <utility>

using namespace corvan;
using namespace corvan::test;
using namespace Qt::StringLiterals;

namespace {

void showSheet(Sheet& sheet)
{
    showAndFocus(sheet, QSize(500, 300), sheet.table());
}

QPoint cellCenter(Sheet& sheet, int row, int col)
{
    return sheet.table()->visualRect(sheet.table()->model()->index(row - 1, col - 1)).center();
}

// Every merged block of the view as "row,col rowsxcols", from one, row by row. The view
// reports a block's size for each cell it covers; a block is named once, at its first cell.
QString blocks(const QTableWidget* table)
{
    QStringList out;
    QSet<std::pair<int, int>> covered;
    for (int row = 0; row < table->rowCount(); ++row) {
        for (int col = 0; col < table->columnCount(); ++col) {
            const int rows = table->rowSpan(row, col);
            const int cols = table->columnSpan(row, col);
            if (covered.contains({row, col}) || (rows == 1 && cols == 1))
                continue;
            out << u"%1,%2 %3x%4"_s.arg(row + 1).arg(col + 1).arg(rows).arg(cols);
            for (int i = 0; i < rows * cols; ++i)
                covered.insert({row + i / cols, col + i % cols});
        }
    }
    return out.join(u"; "_s);
}

// The focused item is framed so that it is seen at a glance: the whole frame around a cell, a
// row's frame shared among its cells, nothing where the view has not the focus.
TEST(Sheet, TheFocusedCellOrRowIsFramed)
{
    const QColor highlight(0x30, 0x70, 0xc0);
    using Position = QStyleOptionViewItem::ViewItemPosition;
    const struct {
        QStyle::State state;
        Position position;
        bool top, left, right;
        QColor colour;
    } cases[] = {
        {QStyle::State_None, Position::Invalid, false, false, false, highlight},
        {QStyle::State_Selected, Position::OnlyOne, false, false, false, highlight},
        {QStyle::State_HasFocus, Position::Invalid, true, true, true, highlight},
        {QStyle::State_HasFocus, Position::Beginning, true, true, false, highlight},
        {QStyle::State_HasFocus, Position::Middle, true, false, false, highlight},
        {QStyle::State_HasFocus, Position::End, true, false, true, highlight},
        {QStyle::State_HasFocus | QStyle::State_Selected, Position::OnlyOne, true, true, true,
         highlight.darker(220)},
    };
    for (const auto& c : cases) {
        QImage image(40, 20, QImage::Format_RGB32);
        image.fill(Qt::white);
        QStyleOptionViewItem option;
        option.rect = image.rect();
        option.state = c.state;
        option.viewItemPosition = c.position;
        option.palette.setColor(QPalette::Active, QPalette::Highlight, highlight);
        {
            QPainter painter(&image);
            paintFocusFrame(&painter, option);
        }
        const auto at = [&](int x, int y) {
            return image.pixel(x, y);
        };
        const QRgb white = qRgb(255, 255, 255);
        const QRgb colour = c.colour.rgb();
        const int index = int(&c - cases);
        EXPECT_EQ(at(20, 0), c.top ? colour : white) << index;
        EXPECT_EQ(at(20, 19), c.top ? colour : white) << index;
        EXPECT_EQ(at(0, 10), c.left ? colour : white) << index;
        EXPECT_EQ(at(39, 10), c.right ? colour : white) << index;
        EXPECT_EQ(at(20, 10), white) << index;
    }

    // A sheet frames its current cell while it has the focus.
    Sheet sheet;
    sheet.setMaxRow(3);
    sheet.setMaxCol(3);
    QPalette palette = sheet.palette();
    palette.setColor(QPalette::Highlight, highlight);
    sheet.table()->setPalette(palette);
    showSheet(sheet);
    sheet.table()->setCurrentCell(1, 1, QItemSelectionModel::NoUpdate);
    settle();
    const auto leftEdge = [&](int row, int col) {
        const QRect cell = sheet.table()->visualRect(sheet.table()->model()->index(row - 1, col - 1));
        return sheet.table()->viewport()->grab().toImage().pixel(cell.left(), cell.center().y());
    };
    ASSERT_TRUE(sheet.table()->hasFocus());
    EXPECT_EQ(leftEdge(2, 2), highlight.rgb());
    EXPECT_NE(leftEdge(1, 1), highlight.rgb());
    sheet.table()->clearFocus();
    settle();
    EXPECT_NE(leftEdge(2, 2), highlight.rgb());
}

} // namespace

TEST(Sheet, CountsAndTextByRowAndColumnFromOne)
{
    Sheet sheet;
    const auto counts = [&sheet] {
        return std::pair(sheet.MaxRow(), sheet.MaxCol());
    };
    EXPECT_EQ(counts(), std::pair(0, 0));
    sheet.setMaxCol(4);
    // Rows appended one at a time, as the change summary writes them.
    for (int row = 1; row <= 3; ++row) {
        sheet.setMaxRow(row);
        for (int col = 1; col <= 4; ++col)
            sheet.setTextRC(row, col, u"%1,%2"_s.arg(row).arg(col));
    }
    EXPECT_EQ(sheet.TextRC(1, 1), u"1,1"_s);
    EXPECT_EQ(sheet.TextRC(3, 4), u"3,4"_s);
    EXPECT_EQ(sheet.table()->item(2, 3)->text(), u"3,4"_s); // the view shows what was written
    sheet.setTextRC(2, 2, u"小区"_s);

    // Outside the counts: reads are empty, writes change nothing and grow nothing.
    const QList<std::pair<int, int>> outside{{4, 1}, {1, 5}, {0, 1}, {1, 0}, {1, -1}};
    for (const auto& [row, col] : outside)
        sheet.setTextRC(row, col, u"x"_s);
    EXPECT_EQ(counts(), std::pair(3, 4));
    for (const auto& [row, col] : outside)
        EXPECT_EQ(sheet.TextRC(row, col), QString()) << row << ',' << col;
    EXPECT_EQ(sheet.TextRC(1, 1), u"1,1"_s);

    // Shrinking drops the cells cut off; growing again brings back empty ones.
    sheet.setMaxRow(2);
    sheet.setMaxRow(3);
    EXPECT_EQ(sheet.TextRC(3, 1), QString());
    EXPECT_EQ(sheet.TextRC(2, 2), u"小区"_s);
    sheet.setMaxRow(-4);
    sheet.setMaxCol(-1);
    EXPECT_EQ(counts(), std::pair(0, 0));
    EXPECT_EQ(sheet.TextRC(1, 1), QString());
}

TEST(Sheet, WidthsHiddenRowsAndHeadings)
{
    Sheet sheet;
    sheet.setMaxCol(3);
    sheet.setMaxRow(9);
    const int w = sheet.DefaultColWidth();
    ASSERT_GT(w, 0);
    EXPECT_EQ(sheet.ColWidth(1), w);
    sheet.setColWidth(1, qRound(1.5 * w));
    sheet.setColWidth(2, sheet.ColWidth(1));
    sheet.setColWidth(3, 2 * sheet.ColWidth(1));
    EXPECT_EQ(sheet.ColWidth(3), 2 * qRound(1.5 * w));
    EXPECT_EQ(sheet.table()->columnWidth(2), 2 * qRound(1.5 * w));
    // Outside the columns, or below zero, a width is 0.
    sheet.setColWidth(4, 10);
    sheet.setColWidth(2, -5);
    for (int col : {4, 0, 2})
        EXPECT_EQ(sheet.ColWidth(col), 0) << col;
    sheet.setMaxCol(4);
    EXPECT_EQ(sheet.ColWidth(4), w); // a fresh column gets the default

    sheet.setRowHidden(8, true);
    sheet.setRowHidden(9, true);
    sheet.setRowHidden(9, false);
    sheet.setRowHidden(10, true);
    EXPECT_TRUE(sheet.RowHidden(8));
    EXPECT_TRUE(sheet.table()->isRowHidden(7));
    for (int row : {7, 9, 10, 0})
        EXPECT_FALSE(sheet.RowHidden(row)) << row;

    EXPECT_EQ(sheet.ColText(1), QString());
    const QStringList headings{u"属性组"_s, u"属性名称"_s, u"属性值"_s};
    for (int col = 1; col <= 3; ++col)
        sheet.setColText(col, headings[col - 1]);
    sheet.setColText(5, u"x"_s);
    EXPECT_EQ(sheet.ColText(2), u"属性名称"_s);
    EXPECT_EQ(sheet.ColText(5), QString());
    EXPECT_EQ(sheet.table()->horizontalHeaderItem(0)->text(), u"属性组"_s);
    EXPECT_FALSE(sheet.table()->horizontalHeader()->isHidden());
    sheet.setColText(1, u"资源类型"_s);
    EXPECT_EQ(sheet.ColText(1), u"资源类型"_s);
}

TEST(Sheet, SpansMergeBlocksAndReplaceOverlaps)
{
    Sheet sheet;
    sheet.setMaxCol(4);
    sheet.setMaxRow(6);
    sheet.setSpan(1, 1, 2, 1);
    sheet.setSpan(3, 1, 3, 4);
    EXPECT_EQ(blocks(sheet.table()), u"1,1 2x1; 3,1 1x4"_s);
    // An overlapping block replaces the ones it touches.
    sheet.setSpan(2, 1, 4, 1);
    EXPECT_EQ(blocks(sheet.table()), u"2,1 3x1"_s);
    // Cut to the counts; a single cell or an empty block merges nothing.
    sheet.setSpan(5, 3, 9, 9);
    sheet.setSpan(1, 4, 1, 4);
    sheet.setSpan(3, 3, 2, 2);
    EXPECT_EQ(blocks(sheet.table()), u"2,1 3x1; 5,3 2x2"_s);
    // Shrinking cuts the blocks with the sheet.
    sheet.setMaxRow(5);
    EXPECT_EQ(blocks(sheet.table()), u"2,1 3x1; 5,3 1x2"_s);
    // Clearing a range undoes the merges that touch it.
    sheet.clearRange(4, 1, 4, 1);
    EXPECT_EQ(blocks(sheet.table()), u"5,3 1x2"_s);
    sheet.clearSpans();
    EXPECT_EQ(blocks(sheet.table()), QString());
}

TEST(Sheet, CellFormatsReadBackAndClearRangeResetsThem)
{
    Sheet sheet;
    sheet.setMaxCol(3);
    sheet.setMaxRow(4);
    const QColor emphasis(181, 235, 255);
    const int sheetSize = sheet.table()->font().pointSize();
    const Qt::Alignment plain = Qt::AlignLeft | Qt::AlignVCenter;
    EXPECT_FALSE(sheet.CellBackground(1, 2).isValid());
    EXPECT_EQ(sheet.CellFontSize(1, 2), sheetSize);
    EXPECT_EQ(sheet.CellAlignment(1, 2), plain);

    for (int col = 2; col <= 3; ++col) {
        sheet.setCellBackground(1, col, emphasis);
        sheet.setCellFontSize(1, col, 10);
    }
    sheet.setTextRC(1, 2, u"基站名称"_s);
    sheet.setCellFontSize(2, 1, sheetSize + 6);
    sheet.setCellAlignment(2, 1, Qt::AlignHCenter | Qt::AlignVCenter);
    sheet.setCellBackground(5, 1, Qt::red); // outside: ignored
    EXPECT_EQ(sheet.CellBackground(1, 2), emphasis);
    EXPECT_EQ(sheet.CellBackground(1, 3), emphasis);
    EXPECT_EQ(sheet.table()->item(0, 2)->background().color(), emphasis);
    EXPECT_EQ(sheet.CellFontSize(1, 3), 10);
    EXPECT_EQ(sheet.CellFontSize(2, 1), sheetSize + 6);
    EXPECT_EQ(sheet.CellAlignment(2, 1), Qt::AlignHCenter | Qt::AlignVCenter);
    EXPECT_EQ(sheet.TextRC(1, 2), u"基站名称"_s); // formats leave the text alone
    EXPECT_FALSE(sheet.CellBackground(5, 1).isValid());

    // Back to the sheet's own look one cell at a time.
    sheet.setCellFontSize(2, 1, 0);
    sheet.setCellBackground(1, 3, QColor());
    EXPECT_EQ(sheet.CellFontSize(2, 1), sheetSize);
    EXPECT_FALSE(sheet.CellBackground(1, 3).isValid());

    // A range reaching past the counts clears what is inside, values and formats, its last
    // row included, and nothing after it.
    sheet.setTextRC(3, 3, u"last"_s);
    sheet.setTextRC(4, 3, u"kept"_s);
    sheet.clearRange(0, 0, 3, 9);
    EXPECT_EQ(sheet.TextRC(1, 2), QString());
    EXPECT_EQ(sheet.TextRC(3, 3), QString());
    EXPECT_FALSE(sheet.CellBackground(1, 2).isValid());
    EXPECT_EQ(sheet.CellFontSize(1, 2), sheetSize);
    EXPECT_EQ(sheet.CellAlignment(2, 1), plain);
    EXPECT_EQ(sheet.TextRC(4, 3), u"kept"_s);
    EXPECT_EQ(sheet.MaxRow(), 4);
}

TEST(Sheet, SelectionCopiesAsTextWithoutHiddenRows)
{
    Sheet sheet;
    sheet.setMaxCol(3);
    sheet.setMaxRow(4);
    for (int row = 1; row <= 4; ++row)
        for (int col = 1; col <= 3; ++col)
            sheet.setTextRC(row, col, u"%1%2"_s.arg(QChar(u'a' + col - 1)).arg(row));
    sheet.setRowHidden(2, true);
    showSheet(sheet);
    EXPECT_EQ(sheet.selectionText(), QString());

    // Select A1 to B3 from the keyboard: Ctrl+Home, then Shift with the arrows; Down
    // steps over the hidden row.
    QTableWidget* table = sheet.table();
    press(table, {Qt::Key_Home}, Qt::ControlModifier);
    press(table, {Qt::Key_Right, Qt::Key_Down}, Qt::ShiftModifier);
    EXPECT_EQ(table->currentRow(), 2);
    EXPECT_EQ(sheet.selectionText(), u"a1\tb1\na3\tb3"_s);
    QApplication::clipboard()->clear();
    press(table, {Qt::Key_C}, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), u"a1\tb1\na3\tb3"_s);

    // Cells left out of a selection stay empty in their place.
    table->clearSelection();
    table->setRangeSelected(QTableWidgetSelectionRange(0, 0, 0, 0), true);
    table->setRangeSelected(QTableWidgetSelectionRange(3, 2, 3, 2), true);
    EXPECT_EQ(sheet.selectionText(), u"a1\t\t\n\t\t\n\t\tc4"_s);
    sheet.copySelection();
    EXPECT_EQ(QApplication::clipboard()->text(), u"a1\t\t\n\t\t\n\t\tc4"_s);
}

TEST(Sheet, UserEditsReportCellsAndReadOnlyRefusesThem)
{
    Sheet sheet;
    sheet.setMaxCol(2);
    sheet.setMaxRow(3);
    sheet.setTextRC(1, 1, u"调整时间"_s);
    QSignalSpy changed(&sheet, &Sheet::CellChanged);
    sheet.setCellBackground(1, 1, Qt::yellow);
    EXPECT_TRUE(changed.isEmpty()); // the program's writes are not the user's
    showSheet(sheet);
    QTableWidget* table = sheet.table();

    sheet.setReadOnly(true);
    doubleClick(table->viewport(), cellCenter(sheet, 1, 1));
    press(table, {Qt::Key_F2});
    QTest::keyClick(table, 'x');
    EXPECT_EQ(openEditor<QLineEdit>(table), nullptr);
    EXPECT_EQ(sheet.TextRC(1, 1), u"调整时间"_s);
    EXPECT_TRUE(changed.isEmpty());

    sheet.setReadOnly(false);
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cellCenter(sheet, 2, 2));
    QLineEdit* line = nullptr;
    ASSERT_NE(line = editorAfter<QLineEdit>(table, Qt::Key_F2), nullptr);
    QTest::keyClicks(line, u"admin"_s);
    press(line, {Qt::Key_Return});
    EXPECT_EQ(sheet.TextRC(2, 2), u"admin"_s);
    EXPECT_EQ(spied(changed, 2), u"2,2"_s);

    // An edit under way when the sheet turns read-only is dropped.
    ASSERT_NE(line = editorAfter<QLineEdit>(table, Qt::Key_F2), nullptr);
    QTest::keyClicks(line, u"late"_s);
    sheet.setReadOnly(true);
    settle();
    EXPECT_EQ(sheet.TextRC(2, 2), u"admin"_s);
    EXPECT_EQ(changed.count(), 1);
}
