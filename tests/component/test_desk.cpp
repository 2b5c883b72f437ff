// SPDX-License-Identifier: MIT
// The main window and the wizard driven by the keyboard alone, the room picker, the
// status bar, and what the windows remember between two openings.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>

#include "browser/frm_main.h"
#include "browser/main_desk.h"
#include "core/context/ui_settings.h"
#include "core/room_move/room_move.h"
#include "corvan/controls/property_grid.h"
#include "corvan/controls/property_item.h"
#include "corvan/controls/sheet.h"
#include "desktop/application_service_impl.h"
#include "entry/cls_main.h"
#include "history/frm_reverse_bts.h"
#include "history/frm_view_history.h"
#include "relocation/frm_move_bts.h"
#include "relocation/frm_move_room.h"
#include "relocation/room_picker_dialog.h"
#include "support/fixture.h"
#include "support/prompt_recorder.h"
#include "support/test_host.h"
#include "support/wizard_fixture.h"
#include "ui/active_bar.h"
#include "ui/keyboard_bar.h"

using namespace corvan;
using corvan::test::TestDatabase;
using corvan::test::TestHost;

namespace {

// The name of what has the focus: its own, its tool's, or its nearest named parent's.
QString focusName()
{
    QWidget* w = QApplication::focusWidget();
    if (auto* button = qobject_cast<QToolButton*>(w); button && button->defaultAction())
        return button->defaultAction()->objectName();
    while (w && (w->objectName().isEmpty() || w->objectName().startsWith(QLatin1String("qt_"))))
        w = w->parentWidget();
    return w ? w->objectName() : QString();
}

// The window takes the keys. (A window owned by another counts as active while its owner is,
// so waiting for the window system's word is not enough.)
bool becomesActive(QWidget* window)
{
    return QTest::qWaitFor([window] { return QApplication::activeWindow() == window; });
}

// Types text as keys into the widget that has the focus.
void typeText(const QString& text)
{
    for (const QChar ch : text)
        QTest::sendKeyEvent(QTest::Click, QApplication::focusWidget(), Qt::Key_unknown, QString(ch), {});
}

// Presses the key on whatever has the focus, as a user's keyboard does.
void press(Qt::Key key, Qt::KeyboardModifiers modifiers = {})
{
    QTest::keyClick(QApplication::focusWidget(), key, modifiers);
}

QStringList tabChain(int steps)
{
    QStringList names;
    for (int i = 0; i < steps; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        names << focusName();
    }
    return names;
}

class DeskTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::WizardFixture::load(db);
        component.initEnv(host.objectArray());
        component.context().setPrompt(&prompt);
        openMain();
    }
    void TearDown() override { component.clearEnv(); }

    void openMain()
    {
        component.ShowMainForm();
        main = component.loaded<frmMain>();
        ASSERT_TRUE(QTest::qWaitForWindowActive(main));
    }
    template <class T> T* child(QWidget* parent, const char* name) const
    {
        return parent->findChild<T*>(QString::fromLatin1(name));
    }
    int roomsShown() const
    {
        return int(host.recorder()->statements().filter(QStringLiteral("select net,basecode")).size());
    }
    frmMoveBts* wizard() { return component.loaded<frmMoveBts>(); }

    TestDatabase db;
    TestHost host{db};
    test::PromptRecorder prompt;
    clsMain component;
    frmMain* main = nullptr;
};

TEST_F(DeskTest, MainWindowByKeyboardStatusBarAndAbout)
{
    child<QComboBox>(main, "cboCity")->setFocus();
    EXPECT_EQ(
        tabChain(15),
        (QStringList{QStringLiteral("txtName"), QStringLiteral("txtNo"), QStringLiteral("cmdOk"),
                     QStringLiteral("tvwRoom"), QStringLiteral("sstMain"), QStringLiteral("cells"),
                     QStringLiteral("mnuDispatch"), QStringLiteral("mnuHistory"), QStringLiteral("mnuExit"),
                     QStringLiteral("mnuTrack"), QStringLiteral("mnuRoomMove"), QStringLiteral("mnuPlan"),
                     QStringLiteral("mnuPlanTemplate"), QStringLiteral("mnuReview"),
                     QStringLiteral("cboCity")}));
    // Enter searches; the arrows show each room node reached, once per room.
    QTest::keyClick(child<QLineEdit>(main, "txtName"), Qt::Key_Return);
    auto* tree = child<QTreeWidget>(main, "tvwRoom");
    tree->setFocus();
    tree->setCurrentItem(tree->topLevelItem(0));
    host.recorder()->clear();
    // A result this small opens down to its rooms: city, county, 一号机房, 二号机房, back to
    // 一号机房, and a Right that moves nowhere: three rooms shown; city and county nodes show
    // nothing.
    for (Qt::Key key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Up, Qt::Key_Right})
        QTest::keyClick(tree, key);
    EXPECT_EQ(roomsShown(), 3);
    EXPECT_EQ(main->windowTitle(), QStringLiteral("基站调整     当前基站:甲市—一号机房"));
    // The tool bar's tips name their keys; the menu lists them too.
    EXPECT_EQ(KeyboardBar::tipOf(main->bar()->tool(QStringLiteral("mnuDispatch"))),
              QStringLiteral("调整当前显示的基站（Ctrl+M）"));
    EXPECT_EQ(main->bar()->tool(QStringLiteral("mnuDispatch"))->toolTip(),
              QStringLiteral("调整当前显示的基站"));

    const QString database = host::ApplicationServiceImpl::describe(db.service()->location());
    const QStringList status{QStringLiteral("数据库：") + database, QStringLiteral("省份：测试省"),
                             QStringLiteral("用户：demo")};
    EXPECT_EQ(
        (QStringList{child<QLabel>(main, "lblDatabase")->text(), child<QLabel>(main, "lblProvince")->text(),
                     child<QLabel>(main, "lblUser")->text()}),
        status);
    EXPECT_TRUE(
        MainDesk::aboutText(component.context()).contains(QStringLiteral("许可证：MIT\n主机：corvan ")));
    // A room with no D BTS says so on its tab.
    EXPECT_EQ(child<QLabel>(main, "lblEmptyD")->text(), QStringLiteral("这个机房没有 D 网基站。"));
}

TEST_F(DeskTest, WizardByKeyboardWithTheRoomPicker)
{
    main->showBts(QStringLiteral("11"), QStringLiteral("一号机房"));
    QTest::keyClick(main, Qt::Key_M, Qt::ControlModifier);
    frmMoveBts* w = wizard();
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    const QStringList& told = prompt.shown;
    auto* grid = child<PropertyGrid>(w, "smBtsNew");
    EXPECT_TRUE(grid->isAncestorOf(QApplication::focusWidget())) << qPrintable(focusName());
    EXPECT_EQ(tabChain(4), (QStringList{QStringLiteral("cmdRoom"), QStringLiteral("cmdNext"),
                                        QStringLiteral("cmdCancel"), QStringLiteral("rows")}));
    // Ctrl+Enter is Next: every empty row is told at once, and the cursor goes to the first.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(told, QStringList{QStringLiteral("所属地市不能为空\n所属机房不能为空")});
    auto* rows = child<QTreeView>(grid, "rows");
    EXPECT_EQ(rows->currentIndex().siblingAtColumn(0).data().toString(), QStringLiteral("所属地市"));
    // A field the relocation clears is shown as such, and takes no entry.
    EXPECT_EQ(grid->Items().GetItem(QStringLiteral("belongbsc"))->Type(), ITEM_TEXT);
    EXPECT_EQ(grid->Items().GetItem(QStringLiteral("belongbsc"))->Value().toString(),
              QStringLiteral("调整后清空"));

    // One click on the room row's caption, then a key: the picker opens, searching for it.
    const QRectF roomRow = grid->itemRect(grid->Items().GetItem(QStringLiteral("belongroom")));
    QTest::mouseClick(
        rows->viewport(), Qt::LeftButton, {},
        rows->viewport()->mapFrom(grid, QPoint(int(roomRow.left()) + 20, int(roomRow.center().y()))));
    QTest::sendKeyEvent(QTest::Click, rows, Qt::Key_unknown, QStringLiteral("一"), {});
    auto* picker = w->findChild<RoomPickerDialog*>();
    ASSERT_NE(picker, nullptr);
    EXPECT_EQ(rows->viewport()->findChild<QComboBox*>(), nullptr);
    QTest::sendKeyEvent(QTest::Click, child<QLineEdit>(picker, "txtFilter"), Qt::Key_unknown,
                        QStringLiteral("号"), {});
    EXPECT_EQ(child<QLineEdit>(picker, "txtFilter")->text(), QStringLiteral("一号"));
    // The county follows the page (东区): one 一号机房 there, and the picker says where the
    // other is; every county shows both.
    EXPECT_EQ(picker->list()->topLevelItemCount(), 1);
    EXPECT_EQ(
        child<QLabel>(picker, "lblStatus")->text(),
        QStringLiteral("一号机房(JF-001)：基站现在就在这个机房\n一号机房 在其他区县，选择“全部区县”可见"));
    QTest::keyClick(child<QComboBox>(picker, "cboCounty"), Qt::Key_Home);
    EXPECT_EQ(picker->list()->topLevelItemCount(), 2);
    // Up to the room the BTS stands in: listed, refused with the reason, Enter does nothing.
    QTest::keyClick(child<QLineEdit>(picker, "txtFilter"), Qt::Key_Up);
    QTest::keyClick(child<QLineEdit>(picker, "txtFilter"), Qt::Key_Return);
    EXPECT_TRUE(picker->isVisible());
    EXPECT_EQ(child<QLabel>(picker, "lblStatus")->text(),
              QStringLiteral("一号机房(JF-001)：基站现在就在这个机房"));
    // Activated in the list itself, by Enter there or a double click, it is refused alike.
    const QString reason = child<QLabel>(picker, "lblStatus")->text();
    const QString roomBefore = grid->Items().GetItem(QStringLiteral("belongroom"))->Value().toString();
    QTreeWidget* list = picker->list();
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_TRUE(picker->isVisible());
    child<QLabel>(picker, "lblStatus")->clear();
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {},
                       list->visualItemRect(list->currentItem()).center());
    EXPECT_TRUE(picker->isVisible());
    EXPECT_EQ(child<QLabel>(picker, "lblStatus")->text(), reason);
    EXPECT_EQ(grid->Items().GetItem(QStringLiteral("belongroom"))->Value().toString(), roomBefore);
    QTest::keyClick(child<QLineEdit>(picker, "txtFilter"), Qt::Key_Down);
    QTest::keyClick(child<QLineEdit>(picker, "txtFilter"), Qt::Key_Return);
    // The page showed no city: the room's city comes with it.
    EXPECT_EQ(grid->Items().GetItem(QStringLiteral("belongroom"))->Value().toString(),
              QStringLiteral("一号机房(JF-003)"));
    EXPECT_EQ(grid->Items().GetItem(QStringLiteral("city"))->Value().toString(), QStringLiteral("甲市"));

    // Another 基站调整 asks before it throws the edits away; no keeps them.
    const QStringList& asked = prompt.asked;
    main->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(main));
    QTest::keyClick(main, Qt::Key_M, Qt::ControlModifier);
    EXPECT_EQ(asked, QStringList{frmMoveBts::DiscardQuestion.arg(w->windowTitle())});
    EXPECT_EQ(grid->Items().GetItem(QStringLiteral("belongroom"))->Value().toString(),
              QStringLiteral("一号机房(JF-003)"));

    // Next leaves the focus on Commit, not on Cancel; Escape asks before it throws the
    // edits away, and closes the wizard only when told to.
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    QTest::keyClick(grid, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(w->currentPage(), frmMoveBts::LastPage);
    EXPECT_EQ(focusName(), QStringLiteral("cmdOk"));
    // Alt+Left goes back from Commit itself, whose arrow keys would move the focus instead.
    press(Qt::Key_Left, Qt::AltModifier);
    EXPECT_EQ(w->currentPage(), 0);
    press(Qt::Key_Return, Qt::ControlModifier);
    ASSERT_EQ(w->currentPage(), frmMoveBts::LastPage);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    const QString closing = frmMoveBts::CloseQuestion.arg(w->windowTitle());
    EXPECT_EQ(asked, (QStringList{frmMoveBts::DiscardQuestion.arg(w->windowTitle()), closing}));
    EXPECT_EQ(wizard(), w);
    prompt.yes = true;
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(wizard(), nullptr);
    // A wizard with nothing edited closes at once.
    main->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(main));
    QTest::keyClick(main, Qt::Key_M, Qt::ControlModifier);
    ASSERT_NE(w = wizard(), nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(wizard(), nullptr);
    EXPECT_EQ(asked.size(), 3);
}

TEST_F(DeskTest, SearchCriteriaAndWindowSizeComeBack)
{
    child<QComboBox>(main, "cboCity")->setCurrentIndex(2);
    child<QLineEdit>(main, "txtName")->setText(QStringLiteral("一号"));
    QTest::keyClick(child<QLineEdit>(main, "txtName"), Qt::Key_Return);
    main->resize(700, 500);
    openMain();
    EXPECT_EQ(child<QComboBox>(main, "cboCity")->currentText(), QStringLiteral("甲市"));
    EXPECT_EQ(child<QLineEdit>(main, "txtName")->text(), QStringLiteral("一号"));
    EXPECT_EQ(main->size(), QSize(700, 500));
    // Another user of the same database starts from nothing.
    TestHost other(db, QStringLiteral("admin"));
    clsMain second;
    second.initEnv(other.objectArray());
    second.ShowMainForm();
    EXPECT_TRUE(child<QLineEdit>(second.loaded<frmMain>(), "txtName")->text().isEmpty());
}

// The whole room moves by the keyboard alone: ticks, the picker telling a taken room at the
// first page, the pages, going back, and the commit.
TEST_F(DeskTest, RoomMoveByKeyboardWithThePicker)
{
    // The keys of the track and the room move are in their tips, and so in the menu.
    EXPECT_EQ(KeyboardBar::tipOf(main->bar()->tool(QStringLiteral("mnuTrack"))),
              QStringLiteral("查看当前基站和机房的调整轨迹（Ctrl+T）"));
    EXPECT_EQ(KeyboardBar::tipOf(main->bar()->tool(QStringLiteral("mnuRoomMove"))),
              QStringLiteral("把当前机房的基站一起搬迁到另一个机房（Ctrl+R）"));
    main->showBts(QStringLiteral("11"), QStringLiteral("一号机房"));
    QTest::keyClick(main, Qt::Key_R, Qt::ControlModifier);
    auto* w = component.loaded<frmMoveRoom>();
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(becomesActive(w));
    const QStringList& told = prompt.shown;
    // Centred on the main window as far as the screen allows, and wholly on it.
    const QRect screen = w->screen()->availableGeometry();
    QRect centred(QPoint(), w->frameGeometry().size());
    centred.moveCenter(main->frameGeometry().center());
    EXPECT_EQ(w->frameGeometry(), UiSettings::fit(centred, {screen}));
    EXPECT_TRUE(screen.contains(w->frameGeometry()));
    EXPECT_EQ(focusName(), QStringLiteral("smRoomBts"));
    auto* list = child<QTreeWidget>(w, "smRoomBts");

    // C unticked: the picker offers 二号机房, which holds only a C BTS; Escape leaves it.
    press(Qt::Key_Down);
    press(Qt::Key_Space);
    ASSERT_EQ(list->topLevelItem(1)->checkState(0), Qt::Unchecked);
    press(Qt::Key_F4);
    auto* picker = w->findChild<RoomPickerDialog*>();
    ASSERT_NE(picker, nullptr);
    ASSERT_TRUE(becomesActive(picker));
    typeText(QStringLiteral("二号"));
    ASSERT_EQ(picker->list()->topLevelItemCount(), 1);
    EXPECT_EQ(picker->list()->topLevelItem(0)->text(3), QString());
    press(Qt::Key_Escape);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_EQ(w->findChild<RoomPickerDialog*>(), nullptr);
    ASSERT_TRUE(becomesActive(w));

    // Both ticked: 二号机房 is listed, refused with the reason; Enter chooses nothing.
    list->setFocus();
    press(Qt::Key_Space);
    press(Qt::Key_F4);
    picker = w->findChild<RoomPickerDialog*>();
    ASSERT_NE(picker, nullptr);
    ASSERT_TRUE(becomesActive(picker));
    typeText(QStringLiteral("二号"));
    press(Qt::Key_Return);
    EXPECT_TRUE(picker->isVisible());
    EXPECT_EQ(child<QLabel>(picker, "lblStatus")->text(),
              QStringLiteral("二号机房：已有C网基站，不能再放入"));
    press(Qt::Key_A, Qt::ControlModifier);
    typeText(QStringLiteral("三号"));
    press(Qt::Key_Return);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(w->findChild<RoomPickerDialog*>(), nullptr);
    ASSERT_TRUE(becomesActive(w));
    auto* shared = child<PropertyGrid>(w, "smRoomNew");
    EXPECT_TRUE(shared->isAncestorOf(QApplication::focusWidget())) << qPrintable(focusName());
    EXPECT_EQ(shared->Items().GetItem(QStringLiteral("city"))->Value().toString(), QStringLiteral("甲市"));
    EXPECT_EQ(shared->Items().GetItem(QStringLiteral("belongroom"))->Value().toString(),
              QStringLiteral("三号机房"));

    // Escape asks before the edits go; no keeps the window.
    prompt.yes = false;
    press(Qt::Key_Escape);
    EXPECT_EQ(prompt.asked, QStringList{frmMoveRoom::DiscardQuestion.arg(w->windowTitle())});
    ASSERT_EQ(component.loaded<frmMoveRoom>(), w);

    // Ctrl+Enter through the pages, Alt+Left back one, and Ctrl+Enter commits.
    press(Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(w->currentPage(), 1) << told.join(u'/').toStdString();
    press(Qt::Key_Return, Qt::ControlModifier);
    ASSERT_EQ(w->currentPage(), frmMoveRoom::LastPage) << told.join(u'/').toStdString();
    EXPECT_EQ(focusName(), QStringLiteral("cmdOk"));
    press(Qt::Key_Left, Qt::AltModifier);
    EXPECT_EQ(w->currentPage(), 1);
    press(Qt::Key_Return, Qt::ControlModifier);
    ASSERT_EQ(w->currentPage(), frmMoveRoom::LastPage);
    EXPECT_EQ(child<Sheet>(w, "fbRoomModify")->TextRC(1, 1),
              QStringLiteral("甲市 G网基站: 一号机房 调整记录"));
    press(Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(told.last(), RoomMove::SuccessMessage);
    EXPECT_EQ(db.rows(QStringLiteral("select roomcode,gbts,cbts from res_baseroom where roomcode in "
                                     "('%1','%2') order by roomcode")
                          .arg(test::Fixture::roomCode(1), test::Fixture::roomCode(4))),
              (QStringList{test::Fixture::roomCode(1) + QStringLiteral("||"),
                           test::Fixture::roomCode(4) + QStringLiteral("|101|201")}));
    EXPECT_EQ(db.rows(QStringLiteral("select discode,net,toroom from h_btsdispatch order by discode")),
              (QStringList{QStringLiteral("00000000000000000001|G|") + test::Fixture::roomCode(4),
                           QStringLiteral("00000000000000000002|C|") + test::Fixture::roomCode(4)}));
}

// The history window by the keyboard alone: it opens in its query panel, Enter queries, the
// list picks a record, and the tool bar's 撤销调整 reverses it.
TEST_F(DeskTest, HistoryByKeyboardQueryRecordAndReversal)
{
    main->showBts(QStringLiteral("11"), QStringLiteral("一号机房"));
    QTest::keyClick(main, Qt::Key_R, Qt::ControlModifier);
    auto* move = component.loaded<frmMoveRoom>();
    ASSERT_NE(move, nullptr);
    move->move().setChosen(QStringLiteral("C"), false);
    move->move().chooseRoom(QStringLiteral("三号机房"));
    for (const char* name : {"cmdNext", "cmdNext", "cmdOk"})
        move->findChild<QPushButton*>(QString::fromLatin1(name))->click();
    ASSERT_EQ(db.rows(QStringLiteral("select gbts from res_baseroom where roomcode='%1'")
                          .arg(test::Fixture::roomCode(4))),
              QStringList{QStringLiteral("101")});

    main->activateWindow();
    ASSERT_TRUE(becomesActive(main));
    QTest::keyClick(main, Qt::Key_H, Qt::ControlModifier);
    auto* history = component.loaded<frmViewHistory>();
    ASSERT_NE(history, nullptr);
    ASSERT_TRUE(becomesActive(history));
    // In the query panel, not on 退出: Enter queries and the window stays.
    EXPECT_EQ(focusName(), QStringLiteral("cbxCity"));
    press(Qt::Key_Return);
    ASSERT_TRUE(history->isVisible());
    auto* records = child<PropertyGrid>(history, "smHisList");
    ASSERT_EQ(records->Items().ItemCount(), 1);
    // Tab to the list, the first record, Enter shows it.
    for (int i = 0; i < 12 && !records->isAncestorOf(QApplication::focusWidget()); ++i)
        press(Qt::Key_Tab);
    ASSERT_TRUE(records->isAncestorOf(QApplication::focusWidget())) << qPrintable(focusName());
    press(Qt::Key_Home);
    press(Qt::Key_Return);
    EXPECT_EQ(history->code(), QStringLiteral("00000000000000000001"));
    EXPECT_EQ(child<Sheet>(history, "fbHis")->TextRC(7, 2), QStringLiteral("三号机房"));
    // On to 撤销调整 in the tool bar; Enter opens the reversal, whose Enter reverses.
    for (int i = 0; i < 20 && focusName() != QStringLiteral("mnuReverse"); ++i)
        press(Qt::Key_Tab);
    ASSERT_EQ(focusName(), QStringLiteral("mnuReverse"));
    press(Qt::Key_Return);
    auto* reversal = component.loaded<frmReverseBts>();
    ASSERT_NE(reversal, nullptr);
    ASSERT_TRUE(becomesActive(reversal));
    prompt.shown.clear();
    press(Qt::Key_Return);
    EXPECT_EQ(prompt.shown, QStringList{QStringLiteral("撤销调整成功")});
    EXPECT_EQ(db.rows(QStringLiteral("select roomcode from res_baseroom where gbts='101'")),
              QStringList{test::Fixture::roomCode(1)});
    EXPECT_EQ(db.rows(QStringLiteral("select belongroom from res_gbts where basenum='101'")),
              QStringList{QStringLiteral("一号机房")});
    // The history shows the reversal's own record.
    EXPECT_EQ(history->code(), QStringLiteral("00000000000000000002"));
}

} // namespace
