// SPDX-License-Identifier: MIT
#include "corvan/controls/sheet.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

using namespace corvan;
using namespace Qt::StringLiterals;

namespace {

void settle()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

void showSheet(Sheet& sheet)
{
    sheet.resize(500, 300);
    sheet.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&sheet));
    sheet.table()->setFocus();
    settle();
}

// What a real double click delivers: press, release, double click, release. QTest's
// mouseDClick alone sends only the third.
void doubleClick(QWidget* viewport, QPoint at)
{
    QTest::mousePress(viewport, Qt::LeftButton, {}, at);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
}

QPoint cellCenter(Sheet& sheet, int row, int col)
{
    return sheet.table()->visualRect(sheet.table()->model()->index(row - 1, col - 1)).center();
}

QLineEdit* editor(Sheet& sheet)
{
    settle();
    return sheet.table()->viewport()->findChild<QLineEdit*>();
}

} // namespace

TEST(Sheet, CountsAndTextByRowAndColumnFromOne)
{
    Sheet sheet;
    EXPECT_EQ(sheet.MaxRow(), 0);
    EXPECT_EQ(sheet.MaxCol(), 0);
    sheet.setMaxCol(4);
    sheet.setMaxRow(1);
    EXPECT_EQ(sheet.MaxCol(), 4);
    EXPECT_EQ(sheet.MaxRow(), 1);

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
    EXPECT_EQ(sheet.TextRC(2, 2), u"小区"_s);

    // Outside the counts: reads are empty, writes change nothing and grow nothing.
    sheet.setTextRC(4, 1, u"x"_s);
    sheet.setTextRC(1, 5, u"x"_s);
    sheet.setTextRC(0, 1, u"x"_s);
    sheet.setTextRC(1, -1, u"x"_s);
    EXPECT_EQ(sheet.MaxRow(), 3);
    EXPECT_EQ(sheet.MaxCol(), 4);
    EXPECT_EQ(sheet.TextRC(4, 1), QString());
    EXPECT_EQ(sheet.TextRC(0, 1), QString());
    EXPECT_EQ(sheet.TextRC(1, 0), QString());
    EXPECT_EQ(sheet.TextRC(1, 5), QString());
    EXPECT_EQ(sheet.TextRC(1, 1), u"1,1"_s);

    // Shrinking drops the cells cut off; growing again brings back empty ones.
    sheet.setMaxRow(2);
    sheet.setMaxRow(3);
    EXPECT_EQ(sheet.TextRC(3, 1), QString());
    EXPECT_EQ(sheet.TextRC(2, 2), u"小区"_s);
    sheet.setMaxRow(-4);
    sheet.setMaxCol(-1);
    EXPECT_EQ(sheet.MaxRow(), 0);
    EXPECT_EQ(sheet.MaxCol(), 0);
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
    EXPECT_EQ(sheet.ColWidth(1), qRound(1.5 * w));
    EXPECT_EQ(sheet.ColWidth(3), 2 * qRound(1.5 * w));
    EXPECT_EQ(sheet.table()->columnWidth(2), 2 * qRound(1.5 * w));
    sheet.setColWidth(4, 10);
    EXPECT_EQ(sheet.ColWidth(4), 0);
    EXPECT_EQ(sheet.ColWidth(0), 0);
    sheet.setColWidth(2, -5);
    EXPECT_EQ(sheet.ColWidth(2), 0);
    sheet.setMaxCol(4);
    EXPECT_EQ(sheet.ColWidth(4), w); // a fresh column gets the default

    sheet.setRowHidden(8, true);
    sheet.setRowHidden(9, true);
    EXPECT_TRUE(sheet.RowHidden(8));
    EXPECT_TRUE(sheet.table()->isRowHidden(8));
    EXPECT_FALSE(sheet.RowHidden(7));
    sheet.setRowHidden(9, false);
    EXPECT_FALSE(sheet.RowHidden(9));
    sheet.setRowHidden(10, true);
    EXPECT_FALSE(sheet.RowHidden(10));
    EXPECT_FALSE(sheet.RowHidden(0));

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
    QTableWidget* table = sheet.table();

    sheet.setSpan(1, 1, 2, 1);
    sheet.setSpan(3, 1, 3, 4);
    EXPECT_EQ(table->rowSpan(0, 0), 2);
    EXPECT_EQ(table->columnSpan(2, 0), 4);

    // An overlapping block replaces the one it touches.
    sheet.setSpan(2, 1, 4, 1);
    EXPECT_EQ(table->rowSpan(0, 0), 1);
    EXPECT_EQ(table->columnSpan(2, 0), 1);
    EXPECT_EQ(table->rowSpan(1, 0), 3);

    // Cut to the counts; a single cell or an empty block merges nothing.
    sheet.setSpan(5, 3, 9, 9);
    EXPECT_EQ(table->rowSpan(4, 2), 2);
    EXPECT_EQ(table->columnSpan(4, 2), 2);
    sheet.setSpan(1, 4, 1, 4);
    EXPECT_EQ(table->rowSpan(0, 3), 1);
    sheet.setSpan(3, 3, 2, 2);
    EXPECT_EQ(table->rowSpan(1, 0), 3);

    // Shrinking cuts the blocks with the sheet.
    sheet.setMaxRow(5);
    EXPECT_EQ(table->rowSpan(4, 2), 1);
    EXPECT_EQ(table->columnSpan(4, 2), 2);
    EXPECT_EQ(table->rowSpan(1, 0), 3);

    // Clearing a range undoes the merges that touch it.
    sheet.clearRange(4, 1, 4, 1);
    EXPECT_EQ(table->rowSpan(1, 0), 1);
    EXPECT_EQ(table->columnSpan(4, 2), 2);
    sheet.clearSpans();
    EXPECT_EQ(table->columnSpan(4, 2), 1);
}

TEST(Sheet, CellFormatsReadBackAndClearRangeResetsThem)
{
    Sheet sheet;
    sheet.setMaxCol(3);
    sheet.setMaxRow(4);
    const QColor emphasis(181, 235, 255);
    const int sheetSize = sheet.table()->font().pointSize();

    EXPECT_FALSE(sheet.CellBackground(1, 2).isValid());
    EXPECT_EQ(sheet.CellFontSize(1, 2), sheetSize);
    EXPECT_EQ(sheet.CellAlignment(1, 2), Qt::AlignLeft | Qt::AlignVCenter);

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
    EXPECT_EQ(sheet.CellFontSize(2, 1), sheetSize);
    sheet.setCellBackground(1, 3, QColor());
    EXPECT_FALSE(sheet.CellBackground(1, 3).isValid());

    // A range reaching past the counts clears what is inside, values and formats.
    sheet.setTextRC(4, 3, u"kept"_s);
    sheet.clearRange(0, 0, 3, 9);
    EXPECT_EQ(sheet.TextRC(1, 2), QString());
    EXPECT_FALSE(sheet.CellBackground(1, 2).isValid());
    EXPECT_EQ(sheet.CellFontSize(1, 2), sheetSize);
    EXPECT_EQ(sheet.CellAlignment(2, 1), Qt::AlignLeft | Qt::AlignVCenter);
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
    QTest::keyClick(table, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(table, Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(table, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(table->currentRow(), 2);
    EXPECT_EQ(sheet.selectionText(), u"a1\tb1\na3\tb3"_s);

    QApplication::clipboard()->clear();
    QTest::keyClick(table, Qt::Key_C, Qt::ControlModifier);
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
    EXPECT_TRUE(sheet.isReadOnly());
    doubleClick(table->viewport(), cellCenter(sheet, 1, 1));
    QTest::keyClick(table, Qt::Key_F2);
    QTest::keyClick(table, 'x');
    EXPECT_EQ(editor(sheet), nullptr);
    EXPECT_EQ(sheet.TextRC(1, 1), u"调整时间"_s);
    EXPECT_TRUE(changed.isEmpty());

    sheet.setReadOnly(false);
    EXPECT_FALSE(sheet.isReadOnly());
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cellCenter(sheet, 2, 2));
    QTest::keyClick(table, Qt::Key_F2);
    QLineEdit* line = editor(sheet);
    ASSERT_NE(line, nullptr);
    QTest::keyClicks(line, u"admin"_s);
    QTest::keyClick(line, Qt::Key_Return);
    settle();
    EXPECT_EQ(sheet.TextRC(2, 2), u"admin"_s);
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.at(0).at(0).toInt(), 2);
    EXPECT_EQ(changed.at(0).at(1).toInt(), 2);

    // An edit under way when the sheet turns read-only is dropped.
    QTest::keyClick(table, Qt::Key_F2);
    line = editor(sheet);
    ASSERT_NE(line, nullptr);
    QTest::keyClicks(line, u"late"_s);
    sheet.setReadOnly(true);
    settle();
    EXPECT_EQ(sheet.TextRC(2, 2), u"admin"_s);
    EXPECT_EQ(changed.count(), 1);
}
