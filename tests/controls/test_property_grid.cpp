// SPDX-License-Identifier: MIT
#include "corvan/controls/property_grid.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>
#include <gtest/gtest.h>
#include <memory>

using namespace corvan;
using namespace Qt::StringLiterals;

namespace {

QTreeView* rowsOf(PropertyGrid& grid)
{
    return grid.findChild<QTreeView*>(u"rows"_s);
}

void settle()
{
    // Closed editors and menus go by deferred deletion, which a plain processEvents skips.
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

void showGrid(PropertyGrid& grid)
{
    grid.resize(360, 480);
    grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    rowsOf(grid)->setFocus();
    settle();
}

QPoint inViewport(PropertyGrid& grid, QPointF gridPoint)
{
    return rowsOf(grid)->viewport()->mapFrom(&grid, gridPoint.toPoint());
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

bool geometryHolds(const PropertyItem* item, float x, float y)
{
    return item->Left() <= x && item->Top() <= y && item->Left() + item->Width() >= x &&
           item->Top() + item->Height() >= y;
}

template <typename Editor> Editor* openEditor(PropertyGrid& grid)
{
    settle();
    return rowsOf(grid)->viewport()->findChild<Editor*>();
}

// The BTS page's shape: a group to edit, a group kept, and the invisible menu holder.
struct BtsPage {
    explicit BtsPage(PropertyGrid& grid)
    {
        PropertyItems& items = grid.Items();
        modify = items.AddItem(0, u"G:M"_s, u"需要修改的属性"_s, ITEM_GROUP);
        city = items.AddItem(0, u"city"_s, u"地市"_s, ITEM_EDIT);
        for (const auto& [code, name] :
             {std::pair{u"K:1"_s, u"南京"_s}, {u"K:2"_s, u"苏州"_s}, {u"K:3"_s, u"无锡"_s}})
            city->Children().AddItem(0, code, name, ITEM_OPTION);
        basenum = items.AddItem(0, u"basenum"_s, u"基站编号"_s, ITEM_EDIT);
        keep = items.AddItem(0, u"G:C"_s, u"将被保留的属性"_s, ITEM_GROUP);
        basecode = items.AddItem(0, u"basecode"_s, u"基站编码"_s, ITEM_TEXT);
        basecode->setValue(u"00000000000000000042"_s);
        modify->setGroupFlag(false);
        keep->setGroupFlag(false);
        menu = items.AddItem(0, u"P:1"_s, QString(), ITEM_MENU);
        menu->Children().AddItem(0, u"Pop1"_s, u"查看原有属性"_s, ITEM_MENUENTRY);
        menu->setVisible(false);
    }
    PropertyItem* modify;
    PropertyItem* city;
    PropertyItem* basenum;
    PropertyItem* keep;
    PropertyItem* basecode;
    PropertyItem* menu;
};

} // namespace

TEST(PropertyGrid, GroupsFoldTheirRowsAndRowsReportTheirGeometry)
{
    PropertyGrid grid;
    QAbstractItemModelTester tester(rowsOf(grid)->model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    BtsPage page(grid);
    showGrid(grid);

    // GroupFlag false: both groups open, every row shown in the order appended.
    const QList<PropertyItem*> rows{page.modify, page.city, page.basenum, page.keep, page.basecode};
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const QRectF r = grid.itemRect(rows[i]);
        ASSERT_FALSE(r.isEmpty()) << rows[i]->Key().toStdString();
        EXPECT_FLOAT_EQ(rows[i]->Left(), float(r.left()));
        EXPECT_FLOAT_EQ(rows[i]->Top(), float(r.top()));
        EXPECT_FLOAT_EQ(rows[i]->Width(), float(r.width()));
        EXPECT_FLOAT_EQ(rows[i]->Height(), float(r.height()));
        EXPECT_EQ(grid.itemAt(r.center()), rows[i]);
        if (i > 0) {
            EXPECT_NEAR(r.top(), grid.itemRect(rows[i - 1]).bottom(), 0.5);
        }
    }
    // The menu holder is never a row.
    EXPECT_TRUE(grid.itemRect(page.menu).isEmpty());
    EXPECT_EQ(page.menu->Height(), 0.f);
    EXPECT_EQ(rowsOf(grid)->model()->rowCount(), 2);

    // Folding the kept group hides its row; the header stays.
    const QRectF basecodeRow = grid.itemRect(page.basecode);
    page.keep->setGroupFlag(true);
    settle();
    EXPECT_TRUE(grid.itemRect(page.basecode).isEmpty());
    EXPECT_EQ(page.basecode->Height(), 0.f);
    EXPECT_FALSE(grid.itemRect(page.keep).isEmpty());
    EXPECT_EQ(grid.itemAt(basecodeRow.center()), nullptr);
    EXPECT_FALSE(grid.itemRect(page.city).isEmpty());
    page.keep->setGroupFlag(false);
    settle();
    EXPECT_EQ(grid.itemRect(page.basecode), basecodeRow);
    EXPECT_FLOAT_EQ(page.basecode->Top(), float(basecodeRow.top()));

    // From the keyboard: Home reaches the first header, Left folds it, Right opens it,
    // Enter toggles it; GroupFlag follows each time and the rows below move with it.
    QTreeView* view = rowsOf(grid);
    QTest::keyClick(view, Qt::Key_Home);
    QTest::keyClick(view, Qt::Key_Left);
    settle();
    EXPECT_TRUE(page.modify->GroupFlag());
    EXPECT_TRUE(grid.itemRect(page.city).isEmpty());
    EXPECT_EQ(page.city->Height(), 0.f);
    EXPECT_NEAR(page.keep->Top(), page.modify->Top() + page.modify->Height(), 0.5);
    QTest::keyClick(view, Qt::Key_Right);
    settle();
    EXPECT_FALSE(page.modify->GroupFlag());
    EXPECT_FALSE(grid.itemRect(page.city).isEmpty());
    QTest::keyClick(view, Qt::Key_Return);
    settle();
    EXPECT_TRUE(page.modify->GroupFlag());
    QTest::keyClick(view, Qt::Key_Return);
    settle();
    EXPECT_FALSE(page.modify->GroupFlag());
}

TEST(PropertyGrid, InvisibleItemsAreNotDrawnAndRowsBelowMoveUp)
{
    PropertyGrid grid;
    BtsPage page(grid);
    showGrid(grid);
    const float basenumTop = page.basenum->Top();

    page.city->setVisible(false);
    settle();
    EXPECT_TRUE(grid.itemRect(page.city).isEmpty());
    EXPECT_EQ(page.city->Width(), 0.f);
    EXPECT_NEAR(page.basenum->Top(), page.modify->Top() + page.modify->Height(), 0.5);
    EXPECT_EQ(grid.itemAt(QPointF(10, double(page.basenum->Top()) + 2)), page.basenum);

    // A hidden header hides its rows with it.
    page.keep->setVisible(false);
    settle();
    EXPECT_TRUE(grid.itemRect(page.keep).isEmpty());
    EXPECT_TRUE(grid.itemRect(page.basecode).isEmpty());

    page.city->setVisible(true);
    page.keep->setVisible(true);
    settle();
    EXPECT_FLOAT_EQ(page.basenum->Top(), basenumTop);
    EXPECT_FALSE(grid.itemRect(page.basecode).isEmpty());
}

TEST(PropertyGrid, ListPropertyEditedFromTheKeyboardAlone)
{
    PropertyGrid grid;
    BtsPage page(grid);
    QStringList heard;
    QObject::connect(&grid, &PropertyGrid::ItemValueChanged,
                     [&heard](PropertyItem* item) { heard << u"changed "_s + item->Key(); });
    QObject::connect(&grid, &PropertyGrid::GridEdited, [&heard] { heard << u"edited"_s; });
    showGrid(grid);
    QTreeView* view = rowsOf(grid);

    QTest::keyClick(view, Qt::Key_Home);
    QTest::keyClick(view, Qt::Key_Down);
    EXPECT_TRUE(page.city->Selected());
    QTest::keyClick(view, Qt::Key_F2);
    auto* combo = openEditor<QComboBox>(grid);
    ASSERT_NE(combo, nullptr);
    EXPECT_FALSE(combo->isEditable());
    ASSERT_EQ(combo->count(), 3);
    EXPECT_EQ(combo->itemText(1), u"苏州"_s);
    EXPECT_EQ(combo->currentIndex(), -1); // no value yet: nothing chosen
    QTest::keyClick(combo, Qt::Key_Down);
    QTest::keyClick(combo, Qt::Key_Down);
    EXPECT_TRUE(heard.isEmpty()); // browsing the options is no edit
    QTest::keyClick(combo, Qt::Key_Return);
    settle();
    EXPECT_EQ(page.city->Value().toString(), u"苏州"_s);
    EXPECT_EQ(heard, (QStringList{u"changed city"_s, u"edited"_s}));
    EXPECT_EQ(openEditor<QComboBox>(grid), nullptr);
    EXPECT_EQ(view->model()->data(view->model()->index(0, 1, view->model()->index(0, 0))).toString(),
              u"苏州"_s);

    // Enter opens the same editor on the chosen option; confirming it unchanged is no edit.
    heard.clear();
    QTest::keyClick(view, Qt::Key_Return);
    combo = openEditor<QComboBox>(grid);
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->currentText(), u"苏州"_s);
    QTest::keyClick(combo, Qt::Key_Return);
    settle();
    EXPECT_TRUE(heard.isEmpty());

    // Escape drops what was browsed.
    QTest::keyClick(view, Qt::Key_F2);
    combo = openEditor<QComboBox>(grid);
    ASSERT_NE(combo, nullptr);
    QTest::keyClick(combo, Qt::Key_Down);
    QTest::keyClick(combo, Qt::Key_Escape);
    settle();
    EXPECT_EQ(page.city->Value().toString(), u"苏州"_s);
    EXPECT_TRUE(heard.isEmpty());

    // The options are read when the editor opens: a refilled list offers the new ones.
    page.city->Children().ClearItems();
    page.city->Children().AddItem(0, u"K:9"_s, u"常州"_s, ITEM_OPTION);
    QTest::keyClick(view, Qt::Key_F2);
    combo = openEditor<QComboBox>(grid);
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->count(), 1);
    EXPECT_EQ(combo->currentIndex(), -1); // the old value is no longer offered, and stays
    QTest::keyClick(combo, Qt::Key_Escape);
    settle();
    EXPECT_EQ(page.city->Value().toString(), u"苏州"_s);

    // The programmatic path takes only what the drop-down could produce.
    EXPECT_FALSE(grid.editValue(page.city, u"南京"_s));
    EXPECT_TRUE(heard.isEmpty());
    EXPECT_TRUE(grid.editValue(page.city, u"常州"_s));
    EXPECT_EQ(page.city->Value().toString(), u"常州"_s);
    EXPECT_EQ(heard, (QStringList{u"changed city"_s, u"edited"_s}));
    // Setting Value from code is not the user's doing: no events.
    heard.clear();
    page.city->setValue(u"无锡"_s);
    EXPECT_TRUE(heard.isEmpty());
}

TEST(PropertyGrid, FreeTextRowEditedByTypingAndReadOnlyRowRefuses)
{
    PropertyGrid grid;
    BtsPage page(grid);
    QSignalSpy changed(&grid, &PropertyGrid::ItemValueChanged);
    QSignalSpy edited(&grid, &PropertyGrid::GridEdited);
    showGrid(grid);
    QTreeView* view = rowsOf(grid);

    QTest::keyClick(view, Qt::Key_Home);
    QTest::keyClick(view, Qt::Key_Down);
    QTest::keyClick(view, Qt::Key_Down);
    EXPECT_TRUE(page.basenum->Selected());
    QTest::keyClick(view, Qt::Key_Return);
    auto* line = openEditor<QLineEdit>(grid);
    ASSERT_NE(line, nullptr);
    QTest::keyClicks(line, u"B0042"_s);
    QTest::keyClick(line, Qt::Key_Return);
    settle();
    EXPECT_EQ(page.basenum->Value().toString(), u"B0042"_s);
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.at(0).at(0).value<PropertyItem*>(), page.basenum);
    EXPECT_EQ(edited.count(), 1);

    // Typing on the row starts an edit that replaces the value.
    QTest::keyClick(view, 'x');
    line = openEditor<QLineEdit>(grid);
    ASSERT_NE(line, nullptr);
    QTest::keyClicks(line, u"yz"_s);
    QTest::keyClick(line, Qt::Key_Enter);
    settle();
    EXPECT_EQ(page.basenum->Value().toString(), u"xyz"_s);
    EXPECT_EQ(changed.count(), 2);
    EXPECT_EQ(edited.count(), 2);

    // A double click anywhere on the row, caption included, edits the value.
    doubleClick(view->viewport(), inViewport(grid, grid.itemRect(page.basenum).topLeft() + QPointF(40, 4)));
    line = openEditor<QLineEdit>(grid);
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->text(), u"xyz"_s);
    QTest::keyClick(line, Qt::Key_Escape);
    settle();
    EXPECT_EQ(openEditor<QLineEdit>(grid), nullptr);

    // A read-only row opens no editor by F2, Enter, typing or a double click.
    QTest::keyClick(view, Qt::Key_End);
    EXPECT_TRUE(page.basecode->Selected());
    QTest::keyClick(view, Qt::Key_F2);
    QTest::keyClick(view, Qt::Key_Return);
    QTest::keyClick(view, 'q');
    const QPoint valueCell = inViewport(
        grid, QPointF(grid.itemRect(page.basecode).right() - 10, grid.itemRect(page.basecode).center().y()));
    doubleClick(view->viewport(), valueCell);
    EXPECT_EQ(openEditor<QLineEdit>(grid), nullptr);
    EXPECT_EQ(openEditor<QComboBox>(grid), nullptr);
    EXPECT_FALSE(grid.editValue(page.basecode, u"1"_s));
    EXPECT_FALSE(grid.editValue(page.modify, u"1"_s));
    EXPECT_FALSE(grid.editValue(page.city->Children().GetItem(1L), u"1"_s)); // an option is no row
    EXPECT_FALSE(grid.editValue(nullptr, u"1"_s));
    EXPECT_EQ(page.basecode->Value().toString(), u"00000000000000000042"_s);
    EXPECT_EQ(changed.count(), 2);
    EXPECT_EQ(edited.count(), 2);
}

TEST(PropertyGrid, OptionListRowsAreChosenByClickEnterOrSpace)
{
    PropertyGrid grid;
    grid.setObjectName(u"smHisList"_s);
    QList<PropertyItem*> records;
    for (int i = 1; i <= 3; ++i)
        records << grid.Items().AddItem(0, u"K:0000000000000000000"_s + QString::number(i),
                                        u"2006-11-0%1,G网,从一号机房到二号机房"_s.arg(i), ITEM_OPTION);
    QSignalSpy chosen(&grid, &PropertyGrid::ItemChosen);
    showGrid(grid);
    QTreeView* view = rowsOf(grid);

    QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                      inViewport(grid, grid.itemRect(records[1]).center()));
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen.at(0).at(0).value<PropertyItem*>(), records[1]);
    EXPECT_TRUE(records[1]->Selected());

    QTest::keyClick(view, Qt::Key_Down);
    QTest::keyClick(view, Qt::Key_Return);
    QTest::keyClick(view, Qt::Key_Up);
    QTest::keyClick(view, Qt::Key_Up);
    QTest::keyClick(view, Qt::Key_Space);
    ASSERT_EQ(chosen.count(), 3);
    EXPECT_EQ(chosen.at(1).at(0).value<PropertyItem*>(), records[2]);
    EXPECT_EQ(chosen.at(2).at(0).value<PropertyItem*>(), records[0]);
    // The user's selection moved with the keys, and Selected followed.
    EXPECT_TRUE(records[0]->Selected());
    EXPECT_FALSE(records[1]->Selected());

    // And the other way: Selected set from code shows as the selection.
    records[0]->setSelected(false);
    records[2]->setSelected(true);
    const QModelIndex third = view->indexAt(inViewport(grid, grid.itemRect(records[2]).center()));
    const QModelIndex first = view->indexAt(inViewport(grid, grid.itemRect(records[0]).center()));
    EXPECT_TRUE(view->selectionModel()->isSelected(third));
    EXPECT_FALSE(view->selectionModel()->isSelected(first));
    EXPECT_EQ(grid.objectName(), u"smHisList"_s);
}

TEST(PropertyGrid, MouseEventsUseTheCoordinatesOfTheRows)
{
    PropertyGrid grid;
    BtsPage page(grid);
    // What the wizard does on a press: select every row under the point, inclusively.
    QObject::connect(&grid, &PropertyGrid::GridMouseDown, [&grid](int button, int, float x, float y) {
        if (button != 2) {
            return;
        }
        for (long i = 1; i <= grid.Items().ItemCount(); ++i) {
            PropertyItem* item = grid.Items().GetItem(i);
            item->setSelected(geometryHolds(item, x, y));
        }
    });
    QSignalSpy down(&grid, &PropertyGrid::GridMouseDown);
    QSignalSpy up(&grid, &PropertyGrid::GridMouseUp);
    showGrid(grid);
    QTreeView* view = rowsOf(grid);

    // A right press inside the second row lands inside that item's geometry only.
    const QRectF second = grid.itemRect(page.city);
    const QPointF target(second.left() + 30, second.top() + 3);
    QTest::mousePress(view->viewport(), Qt::RightButton, {}, inViewport(grid, target));
    ASSERT_EQ(down.count(), 1);
    EXPECT_EQ(down.at(0).at(0).toInt(), 2);
    EXPECT_EQ(down.at(0).at(1).toInt(), 0);
    const float x = down.at(0).at(2).toFloat();
    const float y = down.at(0).at(3).toFloat();
    EXPECT_NEAR(x, target.x(), 1);
    EXPECT_NEAR(y, target.y(), 1);
    EXPECT_TRUE(geometryHolds(page.city, x, y));
    EXPECT_FALSE(geometryHolds(page.modify, x, y + 2)); // one row height is no overlap
    EXPECT_FALSE(geometryHolds(page.basenum, x, y));
    EXPECT_TRUE(page.city->Selected());
    EXPECT_FALSE(page.modify->Selected());
    EXPECT_TRUE(view->selectionModel()->isSelected(view->indexAt(inViewport(grid, target))));
    QTest::mouseRelease(view->viewport(), Qt::RightButton, {}, inViewport(grid, target));
    ASSERT_EQ(up.count(), 1);
    EXPECT_EQ(up.at(0).at(0).toInt(), 2);

    // A right click off the rows reports the point and selects nothing.
    const QPointF below(40, grid.itemRect(page.basecode).bottom() + 30);
    QTest::mouseClick(view->viewport(), Qt::RightButton, {}, inViewport(grid, below));
    ASSERT_EQ(down.count(), 2);
    EXPECT_EQ(down.at(1).at(0).toInt(), 2);
    EXPECT_EQ(grid.itemAt(below), nullptr);
    for (long i = 1; i <= grid.Items().ItemCount(); ++i) {
        EXPECT_FALSE(
            geometryHolds(grid.Items().GetItem(i), down.at(1).at(2).toFloat(), down.at(1).at(3).toFloat()));
        EXPECT_FALSE(grid.Items().GetItem(i)->Selected());
    }
    EXPECT_EQ(up.count(), 2);

    // Buttons and modifiers are coded 1 left, 4 middle; 1 Shift, 2 Ctrl, 4 Alt.
    const QPoint inside = inViewport(grid, grid.itemRect(page.basecode).center());
    QTest::mouseClick(view->viewport(), Qt::MiddleButton, Qt::ShiftModifier | Qt::ControlModifier, inside);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::AltModifier, inside);
    ASSERT_EQ(down.count(), 4);
    EXPECT_EQ(down.at(2).at(0).toInt(), 4);
    EXPECT_EQ(down.at(2).at(1).toInt(), 3);
    EXPECT_EQ(down.at(3).at(0).toInt(), 1);
    EXPECT_EQ(down.at(3).at(1).toInt(), 4);
    EXPECT_EQ(up.count(), 4);

    // The coordinates stay right when the rows scroll.
    grid.resize(360, 70);
    settle();
    view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum());
    settle();
    const QRectF scrolled = grid.itemRect(page.basecode);
    EXPECT_FLOAT_EQ(page.basecode->Top(), float(scrolled.top()));
    QTest::mousePress(view->viewport(), Qt::RightButton, {}, inViewport(grid, scrolled.center()));
    EXPECT_TRUE(page.basecode->Selected());
    EXPECT_FALSE(page.city->Selected());
}

TEST(PropertyGrid, PopupShowsTheHolderEntriesAndReportsTheChoice)
{
    PropertyGrid grid;
    BtsPage page(grid);
    page.menu->Children().AddItem(0, u"Pop2"_s, u"隐藏的项"_s, ITEM_MENUENTRY)->setVisible(false);
    // The wizard's wiring: a right release opens the holder's popup where the mouse is.
    QObject::connect(&grid, &PropertyGrid::GridMouseUp, [&grid](int button, int, float x, float y) {
        if (button == 2 && grid.Items().HasItem(u"P:1"_s))
            grid.Items().GetItem(u"P:1"_s)->ShowPopup(x, y);
    });
    QSignalSpy chosen(&grid, &PropertyGrid::ItemChosen);
    showGrid(grid);
    EXPECT_EQ(grid.activeMenu(), nullptr);

    const QPointF at = grid.itemRect(page.basenum).center();
    QTest::mouseClick(rowsOf(grid)->viewport(), Qt::RightButton, {}, inViewport(grid, at));
    QMenu* menu = grid.activeMenu();
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->actions().size(), 1);
    EXPECT_EQ(menu->actions().at(0)->text(), u"查看原有属性"_s);
    EXPECT_NEAR(menu->pos().x(), grid.mapToGlobal(at).x(), 2);
    EXPECT_TRUE(chosen.isEmpty());

    QTest::keyClick(menu, Qt::Key_Down);
    QTest::keyClick(menu, Qt::Key_Return);
    settle();
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen.at(0).at(0).value<PropertyItem*>(), page.menu->Children().GetItem(u"Pop1"_s));
    EXPECT_EQ(grid.activeMenu(), nullptr);

    // Dismissed without a choice: nothing chosen.
    grid.ShowPopup(page.menu, 10, 10);
    ASSERT_NE(grid.activeMenu(), nullptr);
    QTest::keyClick(grid.activeMenu(), Qt::Key_Escape);
    settle();
    EXPECT_EQ(chosen.count(), 1);

    // The menu key is a right click in the middle of the current row, so the same popup
    // opens without a mouse.
    QSignalSpy down(&grid, &PropertyGrid::GridMouseDown);
    QTest::keyClick(rowsOf(grid), Qt::Key_Home);
    QTest::keyClick(rowsOf(grid), Qt::Key_Down);
    QContextMenuEvent menuKey(QContextMenuEvent::Keyboard, QPoint(0, 0), QPoint(0, 0));
    QApplication::sendEvent(rowsOf(grid)->viewport(), &menuKey);
    ASSERT_EQ(down.count(), 1);
    EXPECT_EQ(down.at(0).at(0).toInt(), 2);
    EXPECT_TRUE(geometryHolds(page.city, down.at(0).at(2).toFloat(), down.at(0).at(3).toFloat()));
    ASSERT_NE(grid.activeMenu(), nullptr);
    QTest::keyClick(grid.activeMenu(), Qt::Key_Escape);
    settle();

    // A popup whose entries are cleared away closes rather than report a dead entry.
    grid.ShowPopup(page.menu, 10, 10);
    ASSERT_NE(grid.activeMenu(), nullptr);
    page.menu->Children().ClearItems();
    EXPECT_EQ(grid.activeMenu(), nullptr);
    // A holder with nothing to show opens no menu.
    grid.ShowPopup(page.menu, 10, 10);
    EXPECT_EQ(grid.activeMenu(), nullptr);
    EXPECT_EQ(chosen.count(), 1);
}

TEST(PropertyGrid, StepListShowsCaptionAndOnlyTheProgramMovesTheStep)
{
    PropertyGrid grid;
    grid.setCaption(u"基站调整步骤"_s);
    PropertyItem* k1 = grid.Items().AddItem(0, u"k1"_s, u"基站属性修改"_s, ITEM_STEP);
    PropertyItem* k2 = grid.Items().AddItem(0, u"k2"_s, u"小区天馈线参数"_s, ITEM_STEP);
    PropertyItem* k3 = grid.Items().AddItem(0, u"k3"_s, u"完成基站调整"_s, ITEM_STEP);
    k2->setVisible(false);
    k1->setSelected(true);
    showGrid(grid);
    auto* caption = grid.findChild<QLabel*>(u"caption"_s);
    ASSERT_NE(caption, nullptr);
    EXPECT_TRUE(caption->isVisible());
    EXPECT_EQ(caption->text(), u"基站调整步骤"_s);
    EXPECT_EQ(grid.caption(), u"基站调整步骤"_s);
    // The rows start under the caption, in the grid's coordinates.
    EXPECT_GE(k1->Top(), float(caption->geometry().bottom()));
    EXPECT_TRUE(grid.itemRect(k2).isEmpty());
    EXPECT_NEAR(k3->Top(), k1->Top() + k1->Height(), 0.5);

    // A click or a key on a step neither selects it nor edits it.
    QSignalSpy edited(&grid, &PropertyGrid::GridEdited);
    QTest::mouseClick(rowsOf(grid)->viewport(), Qt::LeftButton, {},
                      inViewport(grid, grid.itemRect(k3).center()));
    QTest::keyClick(rowsOf(grid), Qt::Key_F2);
    EXPECT_TRUE(k1->Selected());
    EXPECT_FALSE(k3->Selected());
    EXPECT_TRUE(edited.isEmpty());
    EXPECT_FALSE(grid.editValue(k3, u"x"_s));

    k1->setSelected(false);
    k3->setSelected(true);
    EXPECT_TRUE(k3->Selected());
    EXPECT_FALSE(k1->Selected());

    grid.setCaption(QString());
    EXPECT_FALSE(caption->isVisible());
}

TEST(PropertyGrid, ClearItemsEmptiesTheViewAndLargeListsStayCorrect)
{
    PropertyGrid grid;
    // The tester rechecks the whole model on every change: fine for the page, too slow for
    // the long list.
    auto tester = std::make_unique<QAbstractItemModelTester>(
        rowsOf(grid)->model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    BtsPage page(grid);
    showGrid(grid);
    QAbstractItemModel* model = rowsOf(grid)->model();
    page.basenum->setSelected(true);

    // Emptying a property's options is no reason to rebuild the rows.
    page.city->Children().ClearItems();
    EXPECT_TRUE(page.basenum->Selected());
    EXPECT_EQ(model->rowCount(), 2);
    EXPECT_EQ(grid.itemAt(grid.itemRect(page.basecode).center()), page.basecode);

    grid.Items().ClearItems();
    settle();
    EXPECT_EQ(model->rowCount(), 0);
    EXPECT_EQ(grid.itemAt(QPointF(20, 10)), nullptr);

    tester.reset();
    QList<PropertyItem*> options;
    for (int i = 1; i <= 2000; ++i)
        options << grid.Items().AddItem(0, u"K:"_s + QString::number(i), u"记录 "_s + QString::number(i),
                                        ITEM_OPTION);
    settle();
    ASSERT_EQ(model->rowCount(), 2000);
    const float height = options[0]->Height();
    ASSERT_GT(height, 0.f);
    // Far rows report where the view really puts them.
    for (int i : {1, 999, 1999}) {
        EXPECT_FLOAT_EQ(options[i]->Top(), float(grid.itemRect(options[i]).top())) << i;
        EXPECT_FLOAT_EQ(options[i]->Height(), height) << i;
    }
    EXPECT_EQ(model->data(model->index(1999, 0)).toString(), u"记录 2000"_s);
    // Items added after a group go under it, even after a long list.
    PropertyItem* group = grid.Items().AddItem(0, u"G:M"_s, u"需要修改的属性"_s, ITEM_GROUP);
    PropertyItem* last = grid.Items().AddItem(0, u"city"_s, u"地市"_s, ITEM_EDIT);
    EXPECT_EQ(model->rowCount(), 2001);
    EXPECT_EQ(model->rowCount(model->index(2000, 0)), 1);
    group->setGroupFlag(true);
    settle();
    EXPECT_TRUE(grid.itemRect(last).isEmpty());

    grid.Items().ClearItems();
    settle();
    EXPECT_EQ(model->rowCount(), 0);
    PropertyItem* again = grid.Items().AddItem(0, u"K:1"_s, u"again"_s, ITEM_OPTION);
    settle();
    EXPECT_EQ(model->rowCount(), 1);
    EXPECT_EQ(grid.itemAt(grid.itemRect(again).center()), again);
    EXPECT_EQ(model->data(model->index(0, 0)).toString(), u"again"_s);
}
