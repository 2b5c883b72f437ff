// SPDX-License-Identifier: MIT
// What the windows add around the long-standing ones, without a window: the room picker's
// rooms, where a remembered window goes, the summary's totals and the history list's order.
#include <gtest/gtest.h>

#include "core/context/resource_view.h"
#include "core/context/ui_settings.h"
#include "core/history/history_list_order.h"
#include "core/relocation/change_summary.h"
#include "core/relocation/relocation_session.h"
#include "core/room_move/room_picker.h"
#include "corvan/controls/property_item.h"
#include "support/context_test.h"
#include "support/prompt_recorder.h"

#include <QRegularExpression>

using namespace corvan;
using corvan::test::Fixture;

namespace {

class DeskTest : public corvan::test::WizardContextTest {};

TEST_F(DeskTest, RoomPickerFindsSortsAndRefusesRoomsThatCannotTakeTheBts)
{
    // 三号机房 holds another G BTS; 一号机房 (JF-001) holds the one being moved.
    db.exec(
        QStringLiteral("update res_baseroom set gbts='102' where roomcode='%1'").arg(Fixture::roomCode(4)));
    PropertyItems page;
    test::PromptRecorder prompt;
    RelocationSession session(context, page, prompt);
    QMap<QString, AttrTable> shown;
    ASSERT_TRUE(ResourceView::GetResourceData(context, QStringLiteral("v_res_gbts"), Fixture::btsCode(101),
                                              &shown[QStringLiteral("G")]));
    // Opening reads the city's rooms once, for the row's options as they always were read, and
    // the numbers of the rooms of one name; the picker reads what it shows of the city's rooms
    // the first time it opens, and nothing the next.
    host.recorder()->clear();
    ASSERT_TRUE(session.start(QStringLiteral("G"), shown, true));
    EXPECT_EQ(sent().filter(QRegularExpression(QStringLiteral("from res_baseroom +where city="))),
              QStringList{QStringLiteral("select roomcode,roomname from res_baseroom  where city='11'")});
    RoomPicker picker;
    const QStringList counties{QStringLiteral("select county_name from com_county where county_id = 1101"),
                               QStringLiteral("select county_name from com_county where county_id = 1102")};
    for (int opened = 0; opened < 2; ++opened) {
        host.recorder()->clear();
        picker.load(context, session.state(), page);
        // A kept county row has no options, so each county is named once.
        EXPECT_EQ(sent(),
                  (opened == 0 ? QStringList{QStringLiteral("select roomcode,roomname,roomno,county,gbts "
                                                            "from res_baseroom where city='11'")}
                               : QStringList()) +
                      counties);
    }
    const auto found = [&](const QString& text, const QString& county) {
        QStringList out;
        for (int i : picker.filter(text, county)) {
            const RoomPicker::Room& room = picker.rooms().at(i);
            out << QStringList{room.caption, room.number, room.county, room.refusal}.join(QLatin1Char('|'));
        }
        return out;
    };
    // By name as read aloud (二, 三, 一), then number; the option captions the row offers.
    EXPECT_EQ(found(QString(), QString()),
              (QStringList{QStringLiteral("二号机房|JF-002|东区|"),
                           QStringLiteral("三号机房||西区|已有G网基站，不能再放入"),
                           QStringLiteral("一号机房(JF-001)|JF-001|东区|基站现在就在这个机房"),
                           QStringLiteral("一号机房(JF-003)|JF-003|西区|")}));
    EXPECT_EQ(found(QStringLiteral(" jf-00 "), QStringLiteral("1102")),
              QStringList{QStringLiteral("一号机房(JF-003)|JF-003|西区|")});
    EXPECT_EQ(found(QStringLiteral("二号"), QString()).size(), 1);
    EXPECT_TRUE(found(QStringLiteral("四号"), QString()).isEmpty());
    // The kept county row shows 东区, where the BTS stands.
    EXPECT_EQ(picker.pageCounty(), QStringLiteral("1101"));
    EXPECT_EQ(picker.counties(),
              (QList<std::pair<QString, QString>>{{QStringLiteral("1101"), QStringLiteral("东区")},
                                                  {QStringLiteral("1102"), QStringLiteral("西区")}}));

    // What the county filter hides of the rooms the user looks for, by name.
    const QString hidden = QStringLiteral(" 在其他区县，选择“全部区县”可见");
    const std::pair<const char*, QString> filters[][2] = {
        {{"二号", QStringLiteral("1102")}, {"二号机房", hidden}},
        {{"一号", QStringLiteral("1101")}, {"一号机房", hidden}},
        {{"机房", QStringLiteral("1101")}, {"三号机房、一号机房", hidden}},
        {{"jf-003", QStringLiteral("1101")}, {"一号机房", hidden}},
        {{"二号", QStringLiteral("1101")}, {"", {}}},
        {{"一号", QString()}, {"", {}}},
        {{" ", QStringLiteral("1102")}, {"", {}}}};
    for (const auto& [filter, told] : filters)
        EXPECT_EQ(picker.hiddenByCounty(QString::fromUtf8(filter.first), filter.second),
                  QString::fromUtf8(told.first) + told.second)
            << filter.first;

    // Choosing a room fills an empty or other city first; a city that cannot become the
    // room's refuses the room, naming the page's city.
    EXPECT_EQ(picker.city(), QStringLiteral("11"));
    const auto indexOf = [&](const QString& caption) {
        for (int i = 0; i < picker.rooms().size(); ++i)
            if (picker.rooms().at(i).caption == caption)
                return i;
        return -1;
    };
    PropertyItem* city = page.GetItem(QStringLiteral("city"));
    const auto chosen = [&](const MoveBtsState& state) {
        const RoomPicker::Choice c = picker.choose(state, page, indexOf(QStringLiteral("二号机房")));
        return QStringList{c.city, c.room, c.refusal}.join(QLatin1Char('|'));
    };
    EXPECT_EQ(chosen(session.state()), QStringLiteral("甲市|二号机房|"));
    city->setValue(QStringLiteral("甲市"));
    EXPECT_EQ(chosen(session.state()), QStringLiteral("|二号机房|"));
    city->setValue(QStringLiteral("乙市"));
    EXPECT_EQ(chosen(session.state()), QStringLiteral("甲市|二号机房|"));
    // The user may not move a BTS into 甲市: the row does not offer it.
    city->Children().ClearItems();
    city->Children().AddItem(0, QStringLiteral("K:12"), QStringLiteral("乙市"), ITEM_OPTION);
    EXPECT_EQ(chosen(session.state()), QStringLiteral("|二号机房|所选机房不属于乙市"));
    city->setValue(QString());
    EXPECT_EQ(chosen(session.state()), QStringLiteral("|二号机房|"));
    // A city the relocation keeps: the BTS stays in its own, here 乙市 (江城市 for the user).
    MoveBtsState kept = session.state();
    kept.cityCode = QStringLiteral("12");
    for (BtsField& field : kept.fields)
        if (field.name == QStringLiteral("city"))
            field.shown = QStringLiteral("江城市");
    PropertyItems keptPage;
    keptPage.AddItem(0, QStringLiteral("city"), QStringLiteral("所属地市"), ITEM_TEXT)
        ->setValue(QStringLiteral("江城市"));
    const RoomPicker::Choice refused = picker.choose(kept, keptPage, indexOf(QStringLiteral("二号机房")));
    EXPECT_EQ(refused.refusal + refused.city, QStringLiteral("所选机房不属于江城市"));
}

TEST(Desk, RememberedWindowsLandWhollyOnAScreen)
{
    const QList<QRect> screens{QRect(0, 0, 1600, 1000), QRect(1600, 0, 1280, 800)};
    const struct {
        QRect window;
        QRect placed;
    } cases[] = {
        {QRect(100, 100, 800, 600), QRect(100, 100, 800, 600)},   // fits where it is
        {QRect(1500, 50, 800, 600), QRect(1600, 50, 800, 600)},   // mostly on the second screen
        {QRect(5000, 3000, 800, 600), QRect(400, 200, 800, 600)}, // its screen is gone: centred
        {QRect(-50, 900, 2000, 1400), QRect(0, 0, 1600, 1000)},   // larger than any screen
    };
    for (const auto& c : cases)
        EXPECT_EQ(UiSettings::fit(c.window, screens), c.placed) << c.window.x();
    EXPECT_NE(UiSettings::scope(QStringLiteral("a.sqlite"), QStringLiteral("demo")),
              UiSettings::scope(QStringLiteral("a.sqlite"), QStringLiteral("admin")));
}

TEST(Desk, SummaryTotalsAndHistoryListOrder)
{
    using Kind = SummaryRow::Kind;
    // A restored cell is no deletion.
    const SummaryRows rows{
        SummaryRow::title(QStringLiteral("title")),
        SummaryRow::change(Kind::Bts, QStringLiteral("备注"), QStringLiteral("a"), QString()),
        SummaryRow::cell(QStringLiteral("1"), SummaryRow::Action::Delete),
        SummaryRow::cell(QStringLiteral("2"), SummaryRow::Action::Delete),
        SummaryRow::cell(QStringLiteral("3"), SummaryRow::Action::Restore),
        SummaryRow::line(Kind::Feeder, QStringLiteral("1"), QStringLiteral("L"), SummaryRow::Action::Delete)};
    EXPECT_EQ(ChangeSummary::deletionTotals(rows),
              QStringLiteral("本次调整将删除：小区 2 个，天线 0 副，馈线 1 条"));

    EXPECT_FALSE(HistoryListOrder::narrows(QStringLiteral("   ")));
    EXPECT_TRUE(HistoryListOrder::narrows(QStringLiteral(" G ")));
    EXPECT_TRUE(HistoryListOrder::matches(QStringLiteral("2006-11-03,G网,从一号机房到空机房"),
                                          QStringLiteral(" g网  空机房")));
    EXPECT_FALSE(HistoryListOrder::matches(QStringLiteral("2006-11-03,G网,从一号机房到空机房"),
                                           QStringLiteral("C网")));
    EXPECT_EQ(HistoryListOrder::countText(0, 0), QStringLiteral("没有找到符合条件的调整记录"));
    EXPECT_EQ(HistoryListOrder::countText(2, 4), QStringLiteral("共找到 4 条调整记录，显示其中 2 条"));
}

} // namespace
