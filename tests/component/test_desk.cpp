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
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include "browser/frm_main.h"
#include "browser/main_desk.h"
#include "corvan/controls/property_grid.h"
#include "corvan/controls/property_item.h"
#include "desktop/application_service_impl.h"
#include "entry/cls_main.h"
#include "relocation/frm_move_bts.h"
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
        main = component.context().form<frmMain>(QStringLiteral("frmMain"));
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
    frmMoveBts* wizard() { return component.context().form<frmMoveBts>(QStringLiteral("frmMoveBts")); }

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
        tabChain(14),
        (QStringList{QStringLiteral("txtName"), QStringLiteral("txtNo"), QStringLiteral("cmdOk"),
                     QStringLiteral("tvwRoom"), QStringLiteral("sstMain"), QStringLiteral("cells"),
                     QStringLiteral("mnuDispatch"), QStringLiteral("mnuHistory"), QStringLiteral("mnuExit"),
                     QStringLiteral("mnuTrack"), QStringLiteral("mnuRoomMove"), QStringLiteral("mnuPlan"),
                     QStringLiteral("mnuPlanTemplate"), QStringLiteral("cboCity")}));
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
    // Ctrl+Enter is Next: the page is checked.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(told, QStringList{QStringLiteral("所属地市不能为空")});

    grid->editValue(grid->Items().GetItem(QStringLiteral("city")), QStringLiteral("甲市"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F4);
    auto* picker = w->findChild<RoomPickerDialog*>();
    ASSERT_NE(picker, nullptr);
    for (const QChar ch : QStringLiteral("一号"))
        QTest::sendKeyEvent(QTest::Click, child<QLineEdit>(picker, "txtFilter"), Qt::Key_unknown, QString(ch),
                            {});
    // The county follows the page (东区): one 一号机房 there; every county shows both.
    EXPECT_EQ(picker->list()->topLevelItemCount(), 1);
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
    EXPECT_EQ(grid->Items().GetItem(QStringLiteral("belongroom"))->Value().toString(),
              QStringLiteral("一号机房(JF-003)"));

    // Another 基站调整 asks before it throws the edits away; no keeps them.
    const QStringList& asked = prompt.asked;
    main->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(main));
    QTest::keyClick(main, Qt::Key_M, Qt::ControlModifier);
    EXPECT_EQ(asked, QStringList{frmMoveBts::DiscardQuestion.arg(w->windowTitle())});
    EXPECT_EQ(grid->Items().GetItem(QStringLiteral("belongroom"))->Value().toString(),
              QStringLiteral("一号机房(JF-003)"));

    // Next leaves the focus on Commit, not on Cancel; Escape closes the wizard.
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    QTest::keyClick(grid, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(w->currentPage(), frmMoveBts::LastPage);
    EXPECT_EQ(focusName(), QStringLiteral("cmdOk"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(wizard(), nullptr);
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
    EXPECT_TRUE(child<QLineEdit>(second.context().form<QWidget>(QStringLiteral("frmMain")), "txtName")
                    ->text()
                    .isEmpty());
}

} // namespace
