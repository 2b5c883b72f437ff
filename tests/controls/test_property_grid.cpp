// SPDX-License-Identifier: MIT
#include "corvan/controls/property_grid.h"
#include "widget_input.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QTreeView>
#include <memory>

using namespace corvan;
using namespace corvan::test;
using namespace Qt::StringLiterals;

namespace {

QTreeView* rowsOf(PropertyGrid& grid)
{
    return grid.findChild<QTreeView*>(u"rows"_s);
}

void showGrid(PropertyGrid& grid)
{
    showAndFocus(grid, QSize(360, 480), rowsOf(grid));
}

QPoint inViewport(PropertyGrid& grid, QPointF gridPoint)
{
    return rowsOf(grid)->viewport()->mapFrom(&grid, gridPoint.toPoint());
}

QRectF geometry(const PropertyItem* item)
{
    return QRectF(item->Left(), item->Top(), item->Width(), item->Height());
}

// Whether the item is a row on screen. Its geometry agrees with the view: the row's
// rectangle, or no size at all.
bool shown(PropertyGrid& grid, const PropertyItem* item)
{
    const QRectF r = grid.itemRect(item);
    const QRectF expected = r.isEmpty() ? QRectF(geometry(item).topLeft(), QSizeF(0, 0)) : r;
    EXPECT_EQ(geometry(item), expected) << item->Key().toStdString();
    return !r.isEmpty();
}

bool geometryHolds(const PropertyItem* item, float x, float y)
{
    return item->Left() <= x && item->Top() <= y && item->Left() + item->Width() >= x &&
           item->Top() + item->Height() >= y;
}

// What the grid tells its owner about the user's edits, in order.
void listen(PropertyGrid& grid, QStringList& heard)
{
    QObject::connect(&grid, &PropertyGrid::ItemValueChanged,
                     [&heard](PropertyItem* item) { heard << u"changed "_s + item->Key(); });
    QObject::connect(&grid, &PropertyGrid::GridEdited, [&heard] { heard << u"edited"_s; });
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

// A shown grid with the BTS page, its model checked on every change, and a record of
// what the grid told about the user's edits.
class BtsPageGrid : public ::testing::Test {
protected:
    void SetUp() override
    {
        listen(grid, heard);
        showGrid(grid);
    }
    PropertyGrid grid;
    QTreeView* view = rowsOf(grid);
    std::unique_ptr<QAbstractItemModelTester> tester = std::make_unique<QAbstractItemModelTester>(
        view->model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    BtsPage page{grid};
    QStringList heard;
};

} // namespace

TEST_F(BtsPageGrid, FoldedGroupsAndHiddenItemsLeaveTheViewAndRowsReportTheirGeometry)
{

    // GroupFlag false: both groups open, every row shown in the order appended.
    const QList<PropertyItem*> rows{page.modify, page.city, page.basenum, page.keep, page.basecode};
    for (qsizetype i = 0; i < rows.size(); ++i) {
        ASSERT_TRUE(shown(grid, rows[i]));
        const QRectF r = grid.itemRect(rows[i]);
        EXPECT_EQ(grid.itemAt(r.center()), rows[i]);
        if (i > 0) {
            EXPECT_NEAR(r.top(), grid.itemRect(rows[i - 1]).bottom(), 0.5);
        }
    }
    // The menu holder is never a row.
    EXPECT_FALSE(shown(grid, page.menu));
    EXPECT_EQ(view->model()->rowCount(), 2);

    // Folding the kept group hides its row; the header stays.
    const QRectF basecodeRow = grid.itemRect(page.basecode);
    page.keep->setGroupFlag(true);
    settle();
    EXPECT_FALSE(shown(grid, page.basecode));
    EXPECT_TRUE(shown(grid, page.keep));
    EXPECT_EQ(grid.itemAt(basecodeRow.center()), nullptr);
    EXPECT_TRUE(shown(grid, page.city));
    page.keep->setGroupFlag(false);
    settle();
    EXPECT_TRUE(shown(grid, page.basecode));
    EXPECT_EQ(geometry(page.basecode), basecodeRow);

    // From the keyboard: Home reaches the first header, Left folds it, Right opens it,
    // Enter toggles it; GroupFlag follows each time and the rows below move with it.
    press(view, {Qt::Key_Home, Qt::Key_Left});
    EXPECT_TRUE(page.modify->GroupFlag());
    EXPECT_FALSE(shown(grid, page.city));
    EXPECT_NEAR(page.keep->Top(), page.modify->Top() + page.modify->Height(), 0.5);
    press(view, {Qt::Key_Right});
    EXPECT_FALSE(page.modify->GroupFlag());
    EXPECT_TRUE(shown(grid, page.city));
    for (const bool folded : {true, false}) {
        press(view, {Qt::Key_Return});
        EXPECT_EQ(page.modify->GroupFlag(), folded);
    }

    // An invisible item is not drawn and the rows below move up; a hidden header hides
    // its rows with it.
    const float basenumTop = page.basenum->Top();
    page.city->setVisible(false);
    settle();
    EXPECT_FALSE(shown(grid, page.city));
    EXPECT_NEAR(page.basenum->Top(), page.modify->Top() + page.modify->Height(), 0.5);
    EXPECT_EQ(grid.itemAt(QPointF(10, double(page.basenum->Top()) + 2)), page.basenum);
    page.keep->setVisible(false);
    settle();
    EXPECT_FALSE(shown(grid, page.keep));
    EXPECT_FALSE(shown(grid, page.basecode));
    page.city->setVisible(true);
    page.keep->setVisible(true);
    settle();
    EXPECT_FLOAT_EQ(page.basenum->Top(), basenumTop);
    EXPECT_TRUE(shown(grid, page.basecode));
}

TEST_F(BtsPageGrid, RowsAreEditedByKeyboardAndMouseAndReadOnlyRowsRefuse)
{

    // A list property, edited from the keyboard alone.
    press(view, {Qt::Key_Home, Qt::Key_Down});
    EXPECT_TRUE(page.city->Selected());
    QComboBox* combo = nullptr;
    ASSERT_NE(combo = editorAfter<QComboBox>(view, Qt::Key_F2), nullptr);
    EXPECT_FALSE(combo->isEditable());
    ASSERT_EQ(combo->count(), 3);
    EXPECT_EQ(combo->itemText(1), u"苏州"_s);
    EXPECT_EQ(combo->currentIndex(), -1); // no value yet: nothing chosen
    press(combo, {Qt::Key_Down, Qt::Key_Down});
    EXPECT_TRUE(heard.isEmpty()); // browsing the options is no edit
    press(combo, {Qt::Key_Return});
    EXPECT_EQ(page.city->Value().toString(), u"苏州"_s);
    EXPECT_EQ(heard, (QStringList{u"changed city"_s, u"edited"_s}));
    EXPECT_EQ(openEditor<QComboBox>(view), nullptr);
    EXPECT_EQ(view->model()->data(view->model()->index(0, 1, view->model()->index(0, 0))).toString(),
              u"苏州"_s);

    // Enter opens the same editor on the chosen option; confirming it unchanged is no edit.
    heard.clear();
    ASSERT_NE(combo = editorAfter<QComboBox>(view, Qt::Key_Return), nullptr);
    EXPECT_EQ(combo->currentText(), u"苏州"_s);
    press(combo, {Qt::Key_Return});
    EXPECT_TRUE(heard.isEmpty());

    // Escape drops what was browsed.
    ASSERT_NE(combo = editorAfter<QComboBox>(view, Qt::Key_F2), nullptr);
    press(combo, {Qt::Key_Down, Qt::Key_Escape});
    EXPECT_EQ(page.city->Value().toString(), u"苏州"_s);
    EXPECT_TRUE(heard.isEmpty());

    // The options are read when the editor opens: a refilled list offers the new ones.
    page.city->Children().ClearItems();
    page.city->Children().AddItem(0, u"K:9"_s, u"常州"_s, ITEM_OPTION);
    ASSERT_NE(combo = editorAfter<QComboBox>(view, Qt::Key_F2), nullptr);
    EXPECT_EQ(combo->count(), 1);
    EXPECT_EQ(combo->currentIndex(), -1); // the old value is no longer offered, and stays
    press(combo, {Qt::Key_Escape});
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

    // A free-text row: Enter, typing or a double click edits it.
    const QStringList onceEdited{u"changed basenum"_s, u"edited"_s};
    press(view, {Qt::Key_Home, Qt::Key_Down, Qt::Key_Down});
    EXPECT_TRUE(page.basenum->Selected());
    QLineEdit* line = nullptr;
    ASSERT_NE(line = editorAfter<QLineEdit>(view, Qt::Key_Return), nullptr);
    QTest::keyClicks(line, u"B0042"_s);
    press(line, {Qt::Key_Return});
    EXPECT_EQ(page.basenum->Value().toString(), u"B0042"_s);
    EXPECT_EQ(heard, onceEdited);

    // Typing on the row starts an edit that replaces the value.
    QTest::keyClick(view, 'x');
    ASSERT_NE(line = openEditor<QLineEdit>(view), nullptr);
    QTest::keyClicks(line, u"yz"_s);
    press(line, {Qt::Key_Enter});
    EXPECT_EQ(page.basenum->Value().toString(), u"xyz"_s);
    EXPECT_EQ(heard, onceEdited + onceEdited);

    // A double click anywhere on the row, caption included, edits the value.
    doubleClick(view->viewport(), inViewport(grid, grid.itemRect(page.basenum).topLeft() + QPointF(40, 4)));
    ASSERT_NE(line = openEditor<QLineEdit>(view), nullptr);
    EXPECT_EQ(line->text(), u"xyz"_s);
    press(line, {Qt::Key_Escape});
    EXPECT_EQ(openEditor<QLineEdit>(view), nullptr);

    // A read-only row opens no editor by F2, Enter, typing or a double click.
    press(view, {Qt::Key_End});
    EXPECT_TRUE(page.basecode->Selected());
    press(view, {Qt::Key_F2, Qt::Key_Return});
    QTest::keyClick(view, 'q');
    const QRectF basecodeRow = grid.itemRect(page.basecode);
    doubleClick(view->viewport(),
                inViewport(grid, QPointF(basecodeRow.right() - 10, basecodeRow.center().y())));
    EXPECT_EQ(openEditor<QLineEdit>(view), nullptr);
    EXPECT_EQ(openEditor<QComboBox>(view), nullptr);
    // Nor does the programmatic path edit it, a header, an option or nothing.
    for (PropertyItem* item :
         {page.basecode, page.modify, page.city->Children().GetItem(1L), static_cast<PropertyItem*>(nullptr)})
        EXPECT_FALSE(grid.editValue(item, u"1"_s));
    EXPECT_EQ(page.basecode->Value().toString(), u"00000000000000000042"_s);
    EXPECT_EQ(heard, onceEdited + onceEdited);
}

// A row with a chooser of its own never opens the grid's editor: a click on its caption
// then a key, a key the input method commits, F2 or a click on the chosen row all ask the
// chooser, with what was typed. A row the chooser declines edits as before.
TEST_F(BtsPageGrid, AChooserAnswersForItsRowWhereverTheEditStarts)
{
    QStringList asked;
    grid.setChooser([&asked](PropertyItem* item, const QString& typed) {
        asked << item->Key() + u'|' + typed;
        return item->Key() == u"city"_s;
    });
    const auto captionOf = [&](const PropertyItem* item) {
        const QRectF row = grid.itemRect(item);
        return inViewport(grid, QPointF(row.left() + 20, row.center().y()));
    };
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, captionOf(page.city));
    settle();
    EXPECT_TRUE(asked.isEmpty()); // a click on a row not yet chosen only chooses it
    QTest::keyClick(view, 'n');
    QInputMethodEvent committed;
    committed.setCommitString(u"南"_s);
    QApplication::sendEvent(view, &committed);
    press(view, {Qt::Key_F2});
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, captionOf(page.city));
    settle();
    EXPECT_EQ(asked, (QStringList{u"city|n"_s, u"city|南"_s, u"city|"_s, u"city|"_s}));
    EXPECT_EQ(openEditor<QComboBox>(view), nullptr);
    EXPECT_TRUE(heard.isEmpty());

    asked.clear();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, captionOf(page.basenum));
    QTest::keyClick(view, '7');
    QLineEdit* line = openEditor<QLineEdit>(view);
    ASSERT_NE(line, nullptr);
    press(line, {Qt::Key_Return});
    EXPECT_EQ(asked, QStringList{u"basenum|7"_s});
    EXPECT_EQ(page.basenum->Value().toString(), u"7"_s);
}

TEST(PropertyGrid, OptionListRowsAreChosenByClickEnterOrSpace)
{
    PropertyGrid grid;
    QList<PropertyItem*> records;
    for (int i = 1; i <= 3; ++i)
        records << grid.Items().AddItem(0, u"K:0000000000000000000"_s + QString::number(i),
                                        u"2006-11-0%1,G网,从一号机房到二号机房"_s.arg(i), ITEM_OPTION);
    QSignalSpy chosen(&grid, &PropertyGrid::ItemChosen);
    showGrid(grid);
    QTreeView* view = rowsOf(grid);

    QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                      inViewport(grid, grid.itemRect(records[1]).center()));
    EXPECT_EQ(firstArguments<PropertyItem*>(chosen), QList<PropertyItem*>{records[1]});
    EXPECT_TRUE(records[1]->Selected());

    press(view, {Qt::Key_Down, Qt::Key_Return, Qt::Key_Up, Qt::Key_Up, Qt::Key_Space});
    EXPECT_EQ(firstArguments<PropertyItem*>(chosen),
              (QList<PropertyItem*>{records[1], records[2], records[0]}));
    // The user's selection moved with the keys, and Selected followed.
    EXPECT_TRUE(records[0]->Selected());
    EXPECT_FALSE(records[1]->Selected());

    // And the other way: Selected set from code shows as the selection.
    records[0]->setSelected(false);
    records[2]->setSelected(true);
    const auto shownSelected = [&](PropertyItem* item) {
        return view->selectionModel()->isSelected(
            view->indexAt(inViewport(grid, grid.itemRect(item).center())));
    };
    EXPECT_TRUE(shownSelected(records[2]));
    EXPECT_FALSE(shownSelected(records[0]));
}

TEST_F(BtsPageGrid, MouseEventsUseTheCoordinatesOfTheRows)
{
    // What the wizard does on a press: select every row under the point, inclusively.
    QObject::connect(&grid, &PropertyGrid::GridMouseDown, [this](int button, int, float x, float y) {
        if (button != 2)
            return;
        for (long i = 1; i <= grid.Items().ItemCount(); ++i)
            grid.Items().GetItem(i)->setSelected(geometryHolds(grid.Items().GetItem(i), x, y));
    });
    QSignalSpy down(&grid, &PropertyGrid::GridMouseDown);
    QSignalSpy up(&grid, &PropertyGrid::GridMouseUp);

    // A right press inside the second row lands inside that item's geometry only.
    const QRectF second = grid.itemRect(page.city);
    const QPoint target = inViewport(grid, QPointF(second.left() + 30, second.top() + 3));
    QTest::mousePress(view->viewport(), Qt::RightButton, {}, target);
    ASSERT_EQ(spied(down, 2), u"2,0"_s);
    const float x = down.at(0).at(2).toFloat();
    const float y = down.at(0).at(3).toFloat();
    EXPECT_NEAR(x, second.left() + 30, 1);
    EXPECT_NEAR(y, second.top() + 3, 1);
    EXPECT_TRUE(geometryHolds(page.city, x, y));
    EXPECT_FALSE(geometryHolds(page.modify, x, y + 2)); // one row height is no overlap
    EXPECT_FALSE(geometryHolds(page.basenum, x, y));
    EXPECT_TRUE(page.city->Selected());
    EXPECT_FALSE(page.modify->Selected());
    EXPECT_TRUE(view->selectionModel()->isSelected(view->indexAt(target)));
    QTest::mouseRelease(view->viewport(), Qt::RightButton, {}, target);
    EXPECT_EQ(spied(up, 1), u"2"_s);

    // A right click off the rows reports the point and selects nothing.
    const QPointF below(40, grid.itemRect(page.basecode).bottom() + 30);
    QTest::mouseClick(view->viewport(), Qt::RightButton, {}, inViewport(grid, below));
    ASSERT_EQ(spied(down, 1), u"2 2"_s);
    EXPECT_EQ(grid.itemAt(below), nullptr);
    for (long i = 1; i <= grid.Items().ItemCount(); ++i) {
        EXPECT_FALSE(
            geometryHolds(grid.Items().GetItem(i), down.at(1).at(2).toFloat(), down.at(1).at(3).toFloat()));
        EXPECT_FALSE(grid.Items().GetItem(i)->Selected());
    }

    // Buttons and modifiers are coded 1 left, 4 middle; 1 Shift, 2 Ctrl, 4 Alt.
    const QPoint inside = inViewport(grid, grid.itemRect(page.basecode).center());
    QTest::mouseClick(view->viewport(), Qt::MiddleButton, Qt::ShiftModifier | Qt::ControlModifier, inside);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::AltModifier, inside);
    EXPECT_EQ(spied(down, 2), u"2,0 2,0 4,3 1,4"_s);
    EXPECT_EQ(spied(up, 2), u"2,0 2,0 4,3 1,4"_s);

    // The coordinates stay right when the rows scroll.
    grid.resize(360, 70);
    settle();
    view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum());
    settle();
    const QRectF scrolled = grid.itemRect(page.basecode);
    EXPECT_EQ(geometry(page.basecode), scrolled);
    QTest::mousePress(view->viewport(), Qt::RightButton, {}, inViewport(grid, scrolled.center()));
    EXPECT_TRUE(page.basecode->Selected());
    EXPECT_FALSE(page.city->Selected());
}

TEST_F(BtsPageGrid, PopupShowsTheHolderEntriesAndReportsTheChoice)
{
    page.menu->Children().AddItem(0, u"Pop2"_s, u"隐藏的项"_s, ITEM_MENUENTRY)->setVisible(false);
    // The wizard's wiring: a right release opens the holder's popup where the mouse is.
    QObject::connect(&grid, &PropertyGrid::GridMouseUp, [this](int button, int, float x, float y) {
        if (button == 2 && grid.Items().HasItem(u"P:1"_s))
            grid.Items().GetItem(u"P:1"_s)->ShowPopup(x, y);
    });
    QSignalSpy chosen(&grid, &PropertyGrid::ItemChosen);
    EXPECT_EQ(grid.activeMenu(), nullptr);
    const auto dismiss = [this] {
        ASSERT_NE(grid.activeMenu(), nullptr);
        press(grid.activeMenu(), {Qt::Key_Escape});
    };

    const QPointF at = grid.itemRect(page.basenum).center();
    QTest::mouseClick(view->viewport(), Qt::RightButton, {}, inViewport(grid, at));
    QMenu* menu = grid.activeMenu();
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->actions().size(), 1);
    EXPECT_EQ(menu->actions().at(0)->text(), u"查看原有属性"_s);
    EXPECT_NEAR(menu->pos().x(), grid.mapToGlobal(at).x(), 2);
    EXPECT_TRUE(chosen.isEmpty());
    press(menu, {Qt::Key_Down, Qt::Key_Return});
    const QList<PropertyItem*> entry{page.menu->Children().GetItem(u"Pop1"_s)};
    EXPECT_EQ(firstArguments<PropertyItem*>(chosen), entry);
    EXPECT_EQ(grid.activeMenu(), nullptr);

    // Dismissed without a choice: nothing chosen.
    grid.ShowPopup(page.menu, 10, 10);
    dismiss();
    EXPECT_EQ(chosen.count(), 1);

    // The menu key is a right click in the middle of the current row, so the same popup
    // opens without a mouse.
    QSignalSpy down(&grid, &PropertyGrid::GridMouseDown);
    press(view, {Qt::Key_Home, Qt::Key_Down});
    QContextMenuEvent menuKey(QContextMenuEvent::Keyboard, QPoint(0, 0), QPoint(0, 0));
    QApplication::sendEvent(view->viewport(), &menuKey);
    ASSERT_EQ(spied(down, 1), u"2"_s);
    EXPECT_TRUE(geometryHolds(page.city, down.at(0).at(2).toFloat(), down.at(0).at(3).toFloat()));
    dismiss();

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
    // The rows start under the caption, in the grid's coordinates.
    EXPECT_GE(k1->Top(), float(caption->geometry().bottom()));
    EXPECT_FALSE(shown(grid, k2));
    EXPECT_NEAR(k3->Top(), k1->Top() + k1->Height(), 0.5);

    // A click or a key on a step neither selects it nor edits it.
    QSignalSpy edited(&grid, &PropertyGrid::GridEdited);
    QTest::mouseClick(rowsOf(grid)->viewport(), Qt::LeftButton, {},
                      inViewport(grid, grid.itemRect(k3).center()));
    press(rowsOf(grid), {Qt::Key_F2});
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

TEST_F(BtsPageGrid, ClearItemsEmptiesTheViewAndLargeListsStayCorrect)
{
    QAbstractItemModel* model = view->model();
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

    // The tester rechecks the whole model on every change: fine for the page, too slow for
    // the long list.
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
        EXPECT_TRUE(shown(grid, options[i])) << i;
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
    EXPECT_FALSE(shown(grid, last));

    grid.Items().ClearItems();
    settle();
    EXPECT_EQ(model->rowCount(), 0);
    PropertyItem* again = grid.Items().AddItem(0, u"K:1"_s, u"again"_s, ITEM_OPTION);
    settle();
    EXPECT_EQ(model->rowCount(), 1);
    EXPECT_EQ(grid.itemAt(grid.itemRect(again).center()), again);
    EXPECT_EQ(model->data(model->index(0, 0)).toString(), u"again"_s);
}

// A list read page by page: a page appended keeps the user's row and place, the next page comes
// when the user scrolls within a screen of the end, End reads every page left and goes to the
// last row, and a source that fails leaves the list as it was, still open for more.
TEST(PropertyGrid, AListReadPageByPageKeepsItsPlaceAndReadsOnAtItsEnd)
{
    PropertyGrid grid;
    grid.resize(300, 200);
    grid.show();
    QTreeView* view = rowsOf(grid);
    QAbstractItemModelTester tester(view->model());
    PropertyItems& items = grid.Items();
    int pages = 0;
    bool failing = false;
    const auto add = [&](int count) {
        const long first = items.ItemCount() + 1;
        for (long i = first; i < first + count; ++i)
            items.AddItem(0, u"K:"_s + QString::number(i), u"记录 "_s + QString::number(i), ITEM_OPTION);
    };
    const auto source = [&](bool all) {
        if (failing)
            return false;
        do {
            ++pages;
            add(50);
        } while (all && items.ItemCount() < 300);
        if (items.ItemCount() >= 300)
            items.setComplete();
        return true;
    };
    {
        const PropertyItems::Batch batch(items);
        add(50);
    }
    items.setMoreSource(source);
    QApplication::processEvents();
    ASSERT_EQ(view->model()->rowCount(), 50);
    EXPECT_EQ(pages, 0);

    // The user's row stays current and selected, and the view where it was.
    view->setFocus();
    view->setCurrentIndex(view->model()->index(10, 0));
    view->verticalScrollBar()->setValue(5);
    ASSERT_TRUE(items.FetchMore(false));
    QApplication::processEvents();
    EXPECT_EQ(view->model()->rowCount(), 100);
    EXPECT_EQ(view->currentIndex().row(), 10);
    EXPECT_TRUE(items.GetItem(11L)->Selected());
    EXPECT_EQ(view->verticalScrollBar()->value(), 5);

    // Near the end the next page comes.
    view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum());
    QApplication::processEvents();
    EXPECT_EQ(view->model()->rowCount(), 150);
    EXPECT_TRUE(items.HasMore());

    failing = true;
    EXPECT_FALSE(items.FetchMore(true));
    EXPECT_EQ(view->model()->rowCount(), 150);
    EXPECT_TRUE(items.HasMore());

    failing = false;
    QTest::keyClick(view, Qt::Key_End);
    QApplication::processEvents();
    EXPECT_EQ(view->model()->rowCount(), 300);
    EXPECT_EQ(view->currentIndex().row(), 299);
    EXPECT_FALSE(items.HasMore());
    EXPECT_EQ(pages, 5);
    // A list without a source, or one complete, reads nothing more.
    EXPECT_TRUE(items.FetchMore(true));
    EXPECT_EQ(pages, 5);
    items.setMoreSource(source);
    items.ClearItems();
    EXPECT_FALSE(items.HasMore());
}
