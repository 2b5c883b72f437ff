// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <QAction>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

#include "browser/frm_main.h"
#include "corvan/controls/property_grid.h"
#include "corvan/controls/property_item.h"
#include "corvan/controls/sheet.h"
#include "entry/cls_main.h"
#include "ui/active_bar.h"

#include "core/history/history_query.h"
#include "core/journal/journal.h"
#include "core/relocation/move_bts_state.h"
#include "core/relocation/relocation_session.h"
#include "core/room_move/room_move.h"
#include "history/frm_q_dispath_his.h"
#include "history/frm_reverse_bts.h"
#include "history/frm_track.h"
#include "history/frm_view_history.h"
#include "relocation/frm_move_bts.h"
#include "relocation/frm_move_room.h"
#include "support/fixture.h"
#include "support/prompt_recorder.h"
#include "support/test_host.h"
#include "support/wizard_fixture.h"

using namespace corvan;
using corvan::test::Fixture;
using corvan::test::TestDatabase;
using corvan::test::TestHost;
using corvan::test::WizardFixture;

namespace {

class MoveBtsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        WizardFixture::load(db);
        component.initEnv(host.objectArray());
        component.context().setPrompt(&prompt);
        component.ShowMainForm();
        main = component.loaded<frmMain>();
        ASSERT_NE(main, nullptr);
        main->showBts(QStringLiteral("11"), QStringLiteral("一号机房"));
        openWizard();
    }
    void TearDown() override { component.clearEnv(); }

    void openWizard()
    {
        main->bar()->tool(QStringLiteral("mnuDispatch"))->trigger();
        wizard = component.loaded<frmMoveBts>();
        ASSERT_NE(wizard, nullptr);
        grid = wizard->findChild<PropertyGrid*>(QStringLiteral("smBtsNew"));
        ASSERT_NE(grid, nullptr);
    }

    bool choose(const char* key, const QString& value)
    {
        PropertyItem* item = grid->Items().GetItem(QString::fromLatin1(key));
        return item && grid->editValue(item, value);
    }

    QPushButton* button(const char* name) const
    {
        return wizard->findChild<QPushButton*>(QString::fromLatin1(name));
    }

    QStringList summary() const
    {
        QStringList rows;
        const Sheet* sheet = wizard->findChild<Sheet*>(QStringLiteral("fbModify"));
        for (int r = 1; r <= sheet->MaxRow(); ++r) {
            QStringList cells;
            for (int c = 1; c <= 4; ++c)
                cells << sheet->TextRC(r, c);
            rows << cells.join(QLatin1Char('|'));
        }
        return rows;
    }

    void fillAndNext(const QString& room = QStringLiteral("三号机房"))
    {
        ASSERT_TRUE(choose("city", QStringLiteral("甲市")));
        ASSERT_TRUE(choose("belongroom", room));
        ASSERT_TRUE(choose("remark", QStringLiteral("迁至三号机房")));
        QTest::mouseClick(button("cmdNext"), Qt::LeftButton);
    }

    // What the windows told and asked the user; an information box is marked " [i]".
    struct Told : corvan::test::PromptRecorder {
        void showMessage(const QString& text, Icon icon) override
        {
            shown << text + (icon == Icon::Information ? QStringLiteral(" [i]") : QString());
        }
    };

    TestDatabase db;
    TestHost host{db};
    Told prompt;
    QStringList& told = prompt.shown;
    clsMain component;
    frmMain* main = nullptr;
    frmMoveBts* wizard = nullptr;
    PropertyGrid* grid = nullptr;
};

QStringList keys(const PropertyItems& items)
{
    QStringList out;
    for (long i = 1; i <= items.ItemCount(); ++i)
        out << items.GetItem(i)->Key();
    return out;
}

TEST_F(MoveBtsTest, OpensOnTheBtsPageWithTwoVisibleSteps)
{
    EXPECT_EQ(wizard->windowTitle(), QStringLiteral("甲市甲一G基站基站调整"));
    const PropertyItems& steps = wizard->findChild<PropertyGrid*>(QStringLiteral("smMoveTask"))->Items();
    EXPECT_EQ(keys(steps), (QStringList{QStringLiteral("k1"), QStringLiteral("k2"), QStringLiteral("k3")}));
    EXPECT_FALSE(steps.GetItem(QStringLiteral("k2"))->Visible());
    EXPECT_TRUE(steps.GetItem(QStringLiteral("k1"))->Selected());
    auto* tabs = wizard->findChild<QTabWidget*>(QStringLiteral("sstMain"));
    EXPECT_FALSE(tabs->isTabVisible(1));
    EXPECT_EQ(tabs->tabText(2), QStringLiteral("完成基站调整"));
    EXPECT_FALSE(tabs->isTabEnabled(2));
    EXPECT_FALSE(button("cmdPrev")->isEnabled());
    EXPECT_TRUE(button("cmdNext")->isVisible());
    EXPECT_FALSE(button("cmdOk")->isVisible());
    EXPECT_EQ(keys(grid->Items()),
              (QStringList{QStringLiteral("G:M"), QStringLiteral("city"), QStringLiteral("belongroom"),
                           QStringLiteral("belongbsc"), QStringLiteral("carriers"), QStringLiteral("remark"),
                           QStringLiteral("G:C"), QStringLiteral("basecode"), QStringLiteral("basenum"),
                           QStringLiteral("basename"), QStringLiteral("county"), QStringLiteral("P:1")}));
    // Clicking the finish tab does not leave the page.
    tabs->tabBar()->tabBarClicked(2);
    EXPECT_EQ(wizard->currentPage(), 0);
}

// Opening the wizard reads the city's rooms once, for the room row's options as they always were
// read, and the numbers of its two 一号机房 alone; the picker reads what it lists of the city's
// rooms the first time it opens, and nothing the second. (Before, opening read the whole city
// twice, the second time for the picker that may never open.)
TEST_F(MoveBtsTest, OpeningTheWizardAndItsPickerReadTheCitysRoomsOnce)
{
    const auto cityRooms = [this] {
        return host.recorder()->statements().filter(
            QRegularExpression(QStringLiteral("from res_baseroom +where city=")));
    };
    host.recorder()->clear();
    openWizard();
    ASSERT_TRUE(wizard->session().ready());
    const QString options = QStringLiteral("select roomcode,roomname from res_baseroom  where city='11'");
    EXPECT_EQ(cityRooms(), QStringList{options});
    EXPECT_EQ(host.recorder()->statements().filter(QStringLiteral("roomno")).size(), 1);
    // The whole opening's budget: the window's options, the BTS's city and rooms (3), three
    // fields' rules, the province's cities, the city's rooms and the numbers of the rooms of a
    // shared name, the cells with their antennas and feeders (3).
    EXPECT_EQ(host.recorder()->statements().size(), 13)
        << host.recorder()->statements().join(u'\n').toStdString();
    for (int opened = 0; opened < 2; ++opened) {
        QTest::mouseClick(button("cmdRoom"), Qt::LeftButton);
        auto* picker = wizard->findChild<QDialog*>(QStringLiteral("RoomPickerDialog"));
        ASSERT_NE(picker, nullptr);
        // The rooms of the page's county, 东区.
        EXPECT_EQ(picker->findChild<QTreeWidget*>(QStringLiteral("lstRooms"))->topLevelItemCount(), 2);
        picker->reject();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    EXPECT_EQ(
        cityRooms(),
        (QStringList{options, QStringLiteral("select roomcode,roomname,roomno,county,gbts from res_baseroom "
                                             "where city='11'")}));
}

TEST_F(MoveBtsTest, NextShowsTheSummaryAndCommitClosesTheWizard)
{
    QTest::mouseClick(button("cmdNext"), Qt::LeftButton);
    EXPECT_EQ(told, QStringList{QStringLiteral("所属地市不能为空\n所属机房不能为空")});
    EXPECT_EQ(wizard->currentPage(), 0);
    // The user is taken to the first field the message names.
    EXPECT_TRUE(grid->Items().GetItem(QStringLiteral("city"))->Selected());

    told.clear();
    fillAndNext();
    EXPECT_TRUE(told.isEmpty()) << told.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(wizard->currentPage(), 2);
    EXPECT_TRUE(button("cmdOk")->isVisible());
    EXPECT_FALSE(button("cmdNext")->isVisible());
    EXPECT_TRUE(button("cmdPrev")->isEnabled());
    // The sheet shows the session's rows, four columns each, with the totals on a line of
    // their own after the title, which the record never holds.
    QStringList rows = summary();
    EXPECT_EQ(rows.takeAt(1), QStringLiteral("本次调整将删除：小区 4 个，天线 6 副，馈线 5 条|||"));
    ASSERT_EQ(rows.size(), wizard->session().summary().size());
    for (qsizetype i = 0; i < rows.size(); ++i)
        EXPECT_EQ(rows.at(i), wizard->session().summary().at(i).texts().join(QLatin1Char('|'))) << i;
    EXPECT_EQ(rows.at(2), QStringLiteral("BTS|所属机房|一号机房|三号机房"));

    // Back keeps the values; Next again paints the summary from scratch.
    QTest::mouseClick(button("cmdPrev"), Qt::LeftButton);
    EXPECT_EQ(wizard->currentPage(), 0);
    EXPECT_EQ(grid->Items().GetItem(QStringLiteral("belongroom"))->Value().toString(),
              QStringLiteral("三号机房"));
    QTest::mouseClick(button("cmdNext"), Qt::LeftButton);
    EXPECT_EQ(summary().mid(2), rows.mid(1));

    // Commit: the user is told, the wizard closes, the main window shows the room read anew,
    // on the tab the user was on: its G BTS gone, its C BTS still there.
    QPointer<frmMoveBts> guard(wizard);
    QTest::mouseClick(button("cmdOk"), Qt::LeftButton);
    EXPECT_EQ(told,
              QStringList{QStringLiteral("基站调整成功\r\n请在资源维护中添加小区、天线、馈线的信息 [i]")});
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(guard.isNull());
    EXPECT_EQ(main->windowTitle(), QStringLiteral("基站调整     当前基站:甲市—一号机房"));
    EXPECT_TRUE(main->sheet(QStringLiteral("G"))->isHidden());
    EXPECT_FALSE(main->sheet(QStringLiteral("C"))->isHidden());
    EXPECT_EQ(main->findChild<QTabWidget*>(QStringLiteral("sstMain"))->currentIndex(), 0);
    EXPECT_EQ(db.rows(QStringLiteral("select count(*) from h_btsdispatch")),
              QStringList{QStringLiteral("1")});
}

// After a commit the user follows the BTS's track to its record and reverses it, with the
// keyboard-free clicks of the windows: every name and caption as hosts and users find them.
TEST_F(MoveBtsTest, ARelocationIsFollowedAndReversedThroughTheWindows)
{
    fillAndNext();
    QTest::mouseClick(button("cmdOk"), Qt::LeftButton);
    ASSERT_EQ(db.rows(QStringLiteral("select count(*) from h_btsdispatch")),
              QStringList{QStringLiteral("1")});
    main->showBts(QStringLiteral("11"), QStringLiteral("三号机房"));
    ASSERT_EQ(main->bar()->tool(QStringLiteral("mnuTrack"))->text(), QStringLiteral("调整轨迹"));
    main->bar()->tool(QStringLiteral("mnuTrack"))->trigger();
    auto* track = component.loaded<frmTrack>();
    ASSERT_NE(track, nullptr);
    auto* list = track->findChild<PropertyGrid*>(QStringLiteral("smTrack"));
    ASSERT_NE(list, nullptr);
    QStringList captions;
    for (const auto& item : list->Items())
        captions << item->Caption();
    ASSERT_EQ(captions.size(), 4) << captions.join(QLatin1Char('/')).toStdString();
    EXPECT_EQ(captions.at(0), QStringLiteral("G网基站 甲一G基站 的调整轨迹"));
    EXPECT_TRUE(captions.at(1).endsWith(QStringLiteral(",demo,G网,从一号机房到三号机房")));
    EXPECT_EQ(captions.at(2), QStringLiteral("机房 三号机房 的调入调出记录"));

    // Choosing the line opens the record in the history window, where it can be reversed.
    emit list->ItemChosen(list->Items().GetItem(QStringLiteral("K:00000000000000000001")));
    auto* history = component.loaded<frmViewHistory>();
    ASSERT_NE(history, nullptr);
    EXPECT_EQ(history->code(), QStringLiteral("00000000000000000001"));
    QAction* reverse = history->bar()->tool(QStringLiteral("mnuReverse"));
    EXPECT_EQ(reverse->text(), QStringLiteral("撤销调整"));
    EXPECT_TRUE(reverse->isEnabled());
    EXPECT_TRUE(history->bar()->tool(QStringLiteral("mnuReentry"))->isEnabled());
    reverse->trigger();
    auto* window = component.loaded<frmReverseBts>();
    ASSERT_NE(window, nullptr);
    prompt.shown.clear();
    auto* sheet = window->findChild<Sheet*>(QStringLiteral("fbReverse"));
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->TextRC(1, 1),
              QStringLiteral("甲市 G网基站: 三号机房 撤销调整记录 00000000000000000001"));
    auto* ok = window->findChild<QPushButton*>(QStringLiteral("cmdOk"));
    EXPECT_EQ(ok->text(), QStringLiteral("确定"));
    EXPECT_EQ(window->findChild<QPushButton*>(QStringLiteral("cmdCancel"))->text(), QStringLiteral("取消"));
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_EQ(prompt.shown, QStringList{QStringLiteral("撤销调整成功 [i]")});
    EXPECT_EQ(db.rows(QStringLiteral("select roomcode from res_baseroom where gbts='101'")),
              QStringList{Fixture::roomCode(1)});
    // The history shows the reversal's record now; the reversed one can no longer be reversed.
    EXPECT_EQ(history->code(), QStringLiteral("00000000000000000002"));
    history->showHistory(QStringLiteral("00000000000000000001"));
    EXPECT_FALSE(reverse->isEnabled());
}

// A fast user after a reversal: while the success message is still up (a box runs an event loop
// of its own, and the history is no Qt child of the reversal dialog) the list is queried again
// and an older record chosen, with no pause. When the reversal's aftermath has run, the history
// shows that record, and 撤销 proposes exactly it, or stays shut when it cannot be reversed. The
// journey is walked many times, the list growing by a reversal each time.
TEST_F(MoveBtsTest, TheRecordChosenLastIsTheOneReversedHoweverFastTheClicksCome)
{
    fillAndNext();
    QTest::mouseClick(button("cmdOk"), Qt::LeftButton);
    main->bar()->tool(QStringLiteral("mnuHistory"))->trigger();
    auto* history = component.loaded<frmViewHistory>();
    ASSERT_NE(history, nullptr);
    PropertyGrid* list = history->queryPanel()->list();
    auto* query = history->queryPanel()->findChild<QPushButton*>(QStringLiteral("cmdQuery"));
    QAction* reverse = history->bar()->tool(QStringLiteral("mnuReverse"));
    // A click on the list's row, as the mouse gives it: the code of the record under it.
    const auto clickRow = [list](long row) {
        PropertyItem* item = list->Items().GetItem(row);
        if (!item)
            return QString();
        list->setCurrentItem(item);
        const QPoint at = list->itemRect(item).center().toPoint();
        QWidget* target = list->childAt(at);
        if (!target)
            return QString();
        QTest::mouseClick(target, Qt::LeftButton, {}, target->mapFrom(list, at));
        return item->Key().mid(2);
    };
    struct Box : Told {
        std::function<void()> whileShown;
        void showMessage(const QString& text, Icon icon) override
        {
            Told::showMessage(text, icon);
            if (whileShown)
                std::exchange(whileShown, {})();
        }
    } box;
    component.context().setPrompt(&box);
    for (int round = 0; round < 12; ++round) {
        SCOPED_TRACE(round);
        QTest::mouseClick(query, Qt::LeftButton);
        const QString newest = clickRow(1);
        ASSERT_EQ(history->code(), newest);
        ASSERT_TRUE(reverse->isEnabled());
        reverse->trigger();
        auto* dialog = component.loaded<frmReverseBts>();
        ASSERT_NE(dialog, nullptr);
        ASSERT_TRUE(dialog->findChild<Sheet*>(QStringLiteral("fbReverse"))->TextRC(1, 1).endsWith(newest));
        // The next clicks: query again, then the record one or two rows below the new reversal.
        QString chosen;
        box.whileShown = [&] {
            QTest::mouseClick(query, Qt::LeftButton);
            chosen = clickRow(2 + round % 2);
        };
        QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("cmdOk")), Qt::LeftButton);
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ASSERT_FALSE(chosen.isEmpty());
        EXPECT_EQ(history->code(), chosen);
        const auto record = HistoryQuery::read(component.context(), chosen);
        ASSERT_TRUE(record.has_value());
        EXPECT_EQ(
            history->infoBox()->toPlainText(),
            HistoryQuery::infoText(record->disinfo).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
        const auto entry = Journal::read(component.context(), chosen);
        const bool reversible = entry && entry->exists() && entry->reversedBy.isEmpty();
        // Every record below the newest was reversed by the one above it.
        EXPECT_FALSE(reversible);
        EXPECT_FALSE(reverse->isEnabled());
        history->atbMainToolClick(QStringLiteral("mnuReverse"));
        EXPECT_EQ(component.loaded<frmReverseBts>(), nullptr);
    }
    component.context().setPrompt(&prompt);
}

// The room's G and C BTSs move to 三号机房 through the room move's three pages.
TEST_F(MoveBtsTest, AWholeRoomMovesThroughItsWindow)
{
    main->bar()->tool(QStringLiteral("mnuRoomMove"))->trigger();
    auto* window = component.loaded<frmMoveRoom>();
    ASSERT_NE(window, nullptr);
    QStringList& heard = told;
    heard.clear();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("一号机房整机房搬迁"));
    auto* list = window->findChild<QTreeWidget*>(QStringLiteral("smRoomBts"));
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(list->topLevelItem(1)->text(0), QStringLiteral("C网基站 甲一C基站"));
    EXPECT_EQ(list->topLevelItem(1)->checkState(0), Qt::Checked);
    for (const char* name : {"smBtsG", "smBtsC", "fbRoomModify"})
        EXPECT_NE(window->findChild<QWidget*>(QString::fromLatin1(name)), nullptr) << name;
    QStringList captions;
    for (const char* name : {"cmdPrev", "cmdNext", "cmdOk", "cmdCancel"})
        captions << window->findChild<QPushButton*>(QString::fromLatin1(name))->text();
    EXPECT_EQ(captions, (QStringList{QStringLiteral("上一步"), QStringLiteral("下一步"),
                                     QStringLiteral("完成搬迁"), QStringLiteral("取消")}));
    auto* shared = window->findChild<PropertyGrid*>(QStringLiteral("smRoomNew"));
    ASSERT_TRUE(shared->editValue(shared->Items().GetItem(QStringLiteral("city")), QStringLiteral("甲市")));
    ASSERT_TRUE(
        shared->editValue(shared->Items().GetItem(QStringLiteral("belongroom")), QStringLiteral("三号机房")));
    auto* next = window->findChild<QPushButton*>(QStringLiteral("cmdNext"));
    QTest::mouseClick(next, Qt::LeftButton);
    EXPECT_EQ(window->currentPage(), 1);
    QTest::mouseClick(next, Qt::LeftButton);
    ASSERT_EQ(window->currentPage(), frmMoveRoom::LastPage) << heard.join(QLatin1Char('/')).toStdString();
    EXPECT_EQ(window->findChild<Sheet*>(QStringLiteral("fbRoomModify"))->TextRC(1, 1),
              QStringLiteral("甲市 G网基站: 一号机房 调整记录"));
    QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("cmdOk")), Qt::LeftButton);
    EXPECT_EQ(heard.last(), RoomMove::SuccessMessage + QStringLiteral(" [i]"));
    EXPECT_EQ(db.rows(QStringLiteral("select gbts,cbts from res_baseroom where roomcode='%1'")
                          .arg(Fixture::roomCode(4))),
              QStringList{QStringLiteral("101|201")});
    EXPECT_TRUE(main->sheet(QStringLiteral("G"))->isHidden());
}

TEST_F(MoveBtsTest, CancelWritesNothing)
{
    const QStringList before = WizardFixture::dump(db);
    fillAndNext();
    QPointer<frmMoveBts> guard(wizard);
    QTest::mouseClick(button("cmdCancel"), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(guard.isNull());
    EXPECT_EQ(WizardFixture::dump(db), before);
}

TEST_F(MoveBtsTest, ShowBtsWhileOpenStartsOverForTheNewBts)
{
    fillAndNext();
    ASSERT_EQ(wizard->currentPage(), 2);
    // The main window shows another room and the user starts a relocation of its C BTS.
    main->showBts(QStringLiteral("11"), QStringLiteral("二号机房"));
    main->findChild<QTabWidget*>(QStringLiteral("sstMain"))->setCurrentIndex(1);
    // The edits of the first are given up only when the user agrees.
    prompt.yes = true;
    main->bar()->tool(QStringLiteral("mnuDispatch"))->trigger();
    EXPECT_EQ(prompt.asked.size(), 1);
    EXPECT_EQ(component.loaded<frmMoveBts>(), wizard);
    EXPECT_EQ(wizard->currentPage(), 0);
    EXPECT_EQ(wizard->state().btsCode, Fixture::btsCode(202));
    EXPECT_TRUE(grid->Items().GetItem(QStringLiteral("belongroom"))->Value().toString().isEmpty());
    EXPECT_EQ(summary(), QStringList{QStringLiteral("|||")});
}

// A page that could not be built leaves Next closed: the finish page is out of reach.
TEST_F(MoveBtsTest, WithoutABtsPageNextStaysClosed)
{
    host.recorder()->failWhen([](const QString& sql) { return sql.contains(QLatin1String("gui_option")); });
    wizard->showBts(QStringLiteral("G"), main->attrMap(), true);
    EXPECT_FALSE(button("cmdNext")->isEnabled());
    QTest::keyClick(wizard, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(wizard->currentPage(), 0);
    host.recorder()->failWhen({});
    wizard->showBts(QStringLiteral("G"), main->attrMap(), true);
    EXPECT_TRUE(button("cmdNext")->isEnabled());
}

} // namespace
