// SPDX-License-Identifier: MIT
// What the relocation history reads from h_btsdispatch: the list query and its captions,
// and one record as the user reads it.

#include "core/history/history_chart.h"
#include "core/history/history_query.h"
#include "core/history/history_rows.h"
#include "core/journal/journal.h"
#include "support/context_test.h"
#include "support/core_helpers.h"

#include <QDateTime>
#include <optional>
#include <tuple>

using namespace corvan;
using namespace corvan::test;
using namespace Qt::StringLiterals;

namespace {

constexpr auto code = &Fixture::roomCode;

const QString Info1 =
    u" 基站调整 H=62s2QBTS属性:所属地市,从:甲市,修改为:乙市;H=62s2Q删除BTS所属小区:甲一小区;H=62s2Q  "_s;

// The chart's count axis: full numbers with their thousands marked, a step of 1, 2 or 5 times
// a power of ten whose labels fit one per label space, and month labels that never touch.
TEST(HistoryChartAxis, FullNumbersNiceStepsAndLabelsThatNeverMeet)
{
    const struct {
        int most, length, space, step, top;
        QString labels;
    } axes[] = {
        {0, 200, 20, 1, 1, u"0 1"_s},
        {7, 200, 20, 1, 7, u"0 1 2 3 4 5 6 7"_s},
        {7, 60, 20, 5, 10, u"0 5 10"_s},
        {832, 200, 20, 100, 900, u"0 100 200 300 400 500 600 700 800 900"_s},
        {1832, 200, 20, 200, 2000, u"0 200 400 600 800 1,000 1,200 1,400 1,600 1,800 2,000"_s},
        {1832, 100, 20, 500, 2000, u"0 500 1,000 1,500 2,000"_s},
        {1832, 10, 20, 2000, 2000, u"0 2,000"_s},
        {1234567, 90, 30, 500000, 1500000, u"0 500,000 1,000,000 1,500,000"_s},
    };
    for (const auto& a : axes) {
        const HistoryChart::Axis axis = HistoryChart::axis(a.most, a.length, a.space);
        QStringList labels;
        for (int tick : axis.ticks)
            labels << HistoryChart::number(tick);
        EXPECT_EQ(axis.step, a.step) << a.most << ' ' << a.length;
        EXPECT_EQ(axis.top, a.top) << a.most << ' ' << a.length;
        EXPECT_EQ(labels.join(u' '), a.labels) << a.most << ' ' << a.length;
        // Labels one label space apart at least, and none past the length.
        EXPECT_LE((axis.ticks.size() - 1) * a.space, std::max(a.length, a.space)) << a.most;
    }
    EXPECT_EQ(HistoryChart::number(-1832), u"-1,832"_s);
    EXPECT_EQ(HistoryChart::number(999), u"999"_s);

    // Slot width, label width, gap: every how many'th month is written.
    const struct {
        int slot, width, gap, every;
    } months[] = {{100, 50, 8, 1}, {58, 50, 8, 1}, {57, 50, 8, 2}, {10, 50, 8, 6}, {0, 50, 8, 58}};
    for (const auto& m : months) {
        const int every = HistoryChart::labelEvery(m.slot, m.width, m.gap);
        EXPECT_EQ(every, m.every) << m.slot;
        EXPECT_GE(every * std::max(m.slot, 1), m.width + m.gap) << m.slot;
    }
}

TEST(HistoryQueryTexts, StatementsCaptionsDatesAndInfo)
{
    const QString select = u"select discode,distime,disuser,net,fromcity,tocity,fromroom,toroom,simplemode"
                           " from h_btsdispatch where "_s;
    const QString dates = u"distime >=to_date('2006-11-01','yyyy-mm-dd') and distime "
                          "<=to_date('2006-11-10','yyyy-mm-dd')"_s;
    const QString& all = HistoryQuery::All;
    // city, network entry, the conditions
    const std::tuple<std::optional<QString>, QString, QString> cases[] = {
        {std::nullopt, all, dates},
        {u"12"_s, all, u" fromcity='12' and "_s + dates},
        {std::nullopt, HistoryQuery::NetworkEntries[0], u" net='G' and "_s + dates},
        {std::nullopt, HistoryQuery::NetworkEntries[2], u" net='D' and "_s + dates},
        {u"12"_s, HistoryQuery::NetworkEntries[1], u" fromcity='12' and  net='C' and "_s + dates},
        // A city the database no longer knows matches nothing; quotes in values are doubled.
        {QString(), all, u" fromcity='' and "_s + dates},
        {u"1'2"_s, u"g 网"_s, u" fromcity='1''2' and  net='G' and "_s + dates},
    };
    for (const auto& [city, net, condition] : cases)
        EXPECT_EQ(HistoryQuery::statement(city, net, QDate(2006, 11, 1), QDate(2006, 11, 10)),
                  select + condition);
    // Month and day always take two digits.
    EXPECT_EQ(HistoryQuery::statement(std::nullopt, all, QDate(2006, 3, 7), QDate(2006, 12, 25)),
              select + u"distime >=to_date('2006-03-07','yyyy-mm-dd') and distime "
                       "<=to_date('2006-12-25','yyyy-mm-dd')"_s);
    // A quote in a code cannot end the literal early.
    EXPECT_EQ(HistoryQuery::recordStatement(u"1' or '1'='1"_s),
              u"select distime,disuser,net,fromcity,tocity,fromroom,toroom,simplemode,disinfo from "
              "h_btsdispatch a where discode ='1'' or ''1''=''1'"_s);
    EXPECT_EQ(HistoryQuery::caption(u"2006-11-03"_s, u"G"_s, u"一号机房"_s, {}),
              u"2006-11-03,G网,从一号机房到"_s);

    // The date alone, whatever the engine hands back.
    EXPECT_EQ(HistoryQuery::distimeText(QVariant(QDate(2006, 3, 7))), u"2006-03-07"_s);
    EXPECT_EQ(HistoryQuery::distimeText(QVariant(QDateTime(QDate(2006, 3, 7), QTime(13, 5)))),
              u"2006-03-07"_s);
    EXPECT_EQ(HistoryQuery::distimeText(QVariant(u"2006-03-07 13:05:00"_s)), u"2006-03-07"_s);
    EXPECT_EQ(HistoryQuery::distimeText(QVariant()), QString());
    // A text that is no day is shown as it is.
    EXPECT_EQ(HistoryQuery::distimeText(QVariant(u"2006-02-30"_s)), u"2006-02-30"_s);
    EXPECT_EQ(HistoryQuery::distimeText(QVariant(u"2006-3-7"_s)), u"2006-3-7"_s);
    EXPECT_EQ(HistoryQuery::distimeText(QVariant(u"0000-01-01"_s)), u"0000-01-01"_s);
    EXPECT_EQ(HistoryQuery::distimeText(QVariant(QDate(987, 6, 5))), u"0987-06-05"_s);
    // The journal's time of day: only a valid hh:mm:ss after the day.
    for (const auto& [entry, time] : {std::pair{u" 2025-01-05 09:07:03 "_s, u"09:07:03"_s},
                                      {u"2025-01-05 23:59:60"_s, QString()},
                                      {u"2025-01-05 24:00:00"_s, QString()},
                                      {u"2025-01-05T09:7:03"_s, QString()},
                                      {u"2025-01-05"_s, QString()}})
        EXPECT_EQ(Journal::timeOfDay(entry), time) << entry.toStdString();
    // disinfo for reading: trimmed, every marker a line break.
    EXPECT_EQ(HistoryQuery::infoText(u"  a;H=62s2Qb;H=62s2Q "_s), u"a;\r\nb;\r\n"_s);
    EXPECT_EQ(HistoryQuery::infoText(u"H=62s2QH=62s2Q"_s), u"\r\n\r\n"_s);
    EXPECT_EQ(HistoryQuery::infoText({}), QString());
}

class HistoryQueryTest : public ContextTest {
protected:
    void SetUp() override
    {
        ContextTest::SetUp();
        // Records 1 and 2 in November 2006, 3 on the first of December, 4 on the last of
        // October; record 3 goes to a room that no longer exists.
        db.exec(u"insert into h_btsdispatch(discode,distime,disuser,net,fromcity,tocity,fromroom,toroom,"
                "simplemode,disinfo) values "
                "('%1',to_date('2006-11-03','yyyy-mm-dd'),'demo','G','11','12','%5','%6','1','%9'),"
                "('%2',to_date('2006-11-10','yyyy-mm-dd'),'admin','C','12','11','%6','%7','1','x'),"
                "('%3',to_date('2006-12-01','yyyy-mm-dd'),'demo','D','11','11','%5','%8','0',null),"
                "('%4',to_date('2006-10-31','yyyy-mm-dd'),'demo','G','11','11','%7','%5','1','')"_s.arg(
                    code(1), code(2), code(3), code(4), code(1), code(5), code(2), code(99), Info1));
        host.recorder()->clear();
    }
    // "key=caption" per listed record, sorted (the query sends no ordering clause), and
    // "failed" when the list could not be filled.
    QStringList listed(const std::optional<QString>& city, const QString& net, QDate begin, QDate end)
    {
        const bool filled =
            HistoryQuery::fillList(context, list, HistoryQuery::statement(city, net, begin, end)) != nullptr;
        QStringList out;
        for (const auto& item : list) {
            EXPECT_EQ(item->Type(), ITEM_OPTION);
            out << item->Key() + u'=' + item->Caption();
        }
        if (!filled)
            out << u"failed"_s;
        return sorted(out);
    }

    PropertyItems list;
};

TEST_F(HistoryQueryTest, FillListShowsOneRowPerRecordWithRoomsByName)
{
    const QString& all = HistoryQuery::All;
    const QString first = u"K:00000000000000000001=2006-11-03,G网,从一号机房到空机房"_s;
    EXPECT_EQ(listed(std::nullopt, all, QDate(2006, 11, 1), QDate(2006, 11, 30)),
              (QStringList{first, u"K:00000000000000000002=2006-11-10,C网,从空机房到二号机房"_s}));
    // The end date counts; a room that is gone shows as nothing.
    const QStringList spanned = listed(std::nullopt, all, QDate(2006, 10, 31), QDate(2006, 12, 1));
    EXPECT_EQ(spanned.size(), 4);
    EXPECT_TRUE(spanned.contains(u"K:00000000000000000003=2006-12-01,D网,从一号机房到"_s));
    EXPECT_EQ(listed(u"11"_s, HistoryQuery::NetworkEntries[0], QDate(2006, 1, 1), QDate(2006, 12, 31)),
              (QStringList{first, u"K:00000000000000000004=2006-10-31,G网,从二号机房到一号机房"_s}));
    // No rows, and a begin after the end, empty the list.
    EXPECT_EQ(listed(u"13"_s, all, QDate(2006, 1, 1), QDate(2006, 12, 31)), QStringList());
    EXPECT_EQ(listed(std::nullopt, all, QDate(2006, 12, 31), QDate(2006, 1, 1)), QStringList());
    // A failing query shows no records rather than the previous criteria's.
    ASSERT_EQ(listed(std::nullopt, all, QDate(2006, 1, 1), QDate(2006, 12, 31)).size(), 4);
    host.recorder()->failWhen([](const QString& sql) { return sql.startsWith(u"select discode"_s); });
    EXPECT_EQ(listed(std::nullopt, all, QDate(2006, 1, 1), QDate(2006, 12, 31)), QStringList{u"failed"_s});
}

// A list's first page costs its statement, its records' times, its rooms' names and the count of
// the rest; its captions nothing more. The rest come with one statement of their own times and
// rooms. A page whose rooms cannot be named has its captions look them up one by one, each once;
// naming every room at once costs one statement (two for a long list, which counts the rooms).
TEST_F(HistoryQueryTest, ALongListIsReadAPageAtATimeWithItsTimesAndRooms)
{
    const QString lookup = u"select roomname from res_baseroom where roomcode="_s;
    const QString names[] = {u"一号机房"_s, u"二号机房"_s, u"空机房"_s, QString()};
    const QString rooms[] = {code(1), code(2), code(5), code(99)};
    const QString sql =
        HistoryQuery::statement(std::nullopt, HistoryQuery::All, QDate(2007, 2, 1), QDate(2007, 2, 28));
    const QString condition = sql.mid(sql.indexOf(u" from "_s));
    const QString times =
        u"select entrytime,discode from corvan_journal where entrytime is not null and discode in ("_s;
    const QString roomsIn = u"select roomcode,roomname from res_baseroom where roomcode in ("_s;
    // Each statement sent, an in-list cut after its opening.
    const auto shapes = [&] {
        QStringList out;
        for (const QString& sent : sent())
            out << (sent.startsWith(times) ? times : sent.startsWith(roomsIn) ? roomsIn : sent);
        return out;
    };
    const QString byDay = u" order by distime desc,discode desc limit "_s;
    // records in February 2007 over four rooms (the last one gone); naming every room at once
    const struct {
        int count;
        QStringList everyRoom;
    } sizes[] = {
        {200,
         {u"select roomcode,roomname from res_baseroom where roomcode in (select fromroom"_s + condition +
          u" union select toroom"_s + condition + u")"_s}},
        // Many records over a province of few rooms: every room is read.
        {600, {u"select count(*) from res_baseroom"_s, u"select roomcode,roomname from res_baseroom"_s}},
    };
    for (const auto& [count, everyRoom] : sizes) {
        SCOPED_TRACE(count);
        db.exec(u"delete from h_btsdispatch"_s);
        QStringList values;
        for (int i = 0; i < count; ++i)
            values << u"('%1',to_date('2007-02-%2','yyyy-mm-dd'),'demo','G','11','11','%3','%4','1','')"_s
                          .arg(code(1000 + i))
                          .arg(1 + i % 28, 2, 10, QLatin1Char('0'))
                          .arg(rooms[i % 4], rooms[(i + 1) % 4]);
        db.exec(u"insert into h_btsdispatch(discode,distime,disuser,net,fromcity,tocity,fromroom,toroom,"
                "simplemode,disinfo) values "_s +
                values.join(u','));
        const auto captionOf = [&](int i) {
            return u"2007-02-%1,G网,从%2到%3"_s.arg(1 + i % 28, 2, 10, QLatin1Char('0'))
                .arg(names[i % 4], names[(i + 1) % 4]);
        };
        for (const bool unnamed : {false, true}) {
            SCOPED_TRACE(unnamed);
            host.recorder()->clear();
            host.recorder()->failWhen(
                [&](const QString& sent) { return unnamed && sent.startsWith(roomsIn); });
            const auto rows = HistoryQuery::fillList(context, list, sql);
            ASSERT_TRUE(rows);
            EXPECT_EQ(shapes(), (QStringList{sql + byDay + u"100"_s, times, roomsIn,
                                             u"select count(*)"_s + condition}));
            ASSERT_EQ(list.ItemCount(), HistoryRows::FirstPage);
            EXPECT_EQ(rows->count(), count);
            EXPECT_TRUE(list.HasMore());
            // Newest first: the latest day, then the largest code of the day.
            const int newest = (count - 1 - 27) / 28 * 28 + 27;
            EXPECT_EQ(list.GetItem(1)->Key(), u"K:"_s + code(1000 + newest));
            EXPECT_EQ(list.GetItem(2)->Key(), u"K:"_s + code(1000 + newest - 28));
            host.recorder()->clear();
            for (const auto& item : list)
                EXPECT_EQ(item->Caption(), captionOf(item->Key().right(4).toInt() - 1000));
            // Named with the page, or each room looked up once.
            EXPECT_EQ(sent(), unnamed ? sentLike(lookup) : QStringList());
            EXPECT_EQ(sent().size(), unnamed ? 4 : 0);

            host.recorder()->clear();
            EXPECT_TRUE(list.FetchMore(true));
            // The rest, and one more in case it grew since the count; its rooms are named already.
            const int rest = std::max(count - HistoryRows::FirstPage + 1, HistoryRows::Page);
            EXPECT_EQ(shapes(), (QStringList{sql + byDay + QString::number(rest) + u" offset 100"_s, times}));
            ASSERT_EQ(list.ItemCount(), count);
            EXPECT_FALSE(list.HasMore());
            EXPECT_TRUE(rows->complete());
            host.recorder()->clear();
            for (const auto& item : list)
                EXPECT_EQ(item->Caption(), captionOf(item->Key().right(4).toInt() - 1000));
            EXPECT_EQ(sent(), QStringList());
            host.recorder()->failWhen([](const QString&) { return false; });
            EXPECT_TRUE(rows->nameEveryRoom());
            EXPECT_EQ(sent(), everyRoom);
        }
    }
    // The names are not kept from one list to the next: a renamed room shows its new name.
    db.exec(u"update res_baseroom set roomname='新一号机房' where roomcode='%1'"_s.arg(code(1)));
    HistoryQuery::fillList(context, list, sql);
    list.FetchMore(true);
    EXPECT_EQ(list.GetItem(u"K:"_s + code(1000))->Caption(), u"2007-02-01,G网,从新一号机房到二号机房"_s);
}

TEST_F(HistoryQueryTest, ReadGivesOneRecordAsTheUserReadsIt)
{
    // The record's rows 1 to 7 and its disinfo as stored; "failed" without one.
    const auto read = [this](const QString& discode) {
        const auto record = HistoryQuery::read(context, discode);
        return record ? (record->values + QStringList{record->disinfo}).join(u'|') : u"failed"_s;
    };
    EXPECT_EQ(read(code(1)), u"2006-11-03|demo|G 网|甲市|乙市|一号机房|空机房|"_s + Info1);
    EXPECT_EQ(sent().value(0),
              u"select distime,disuser,net,fromcity,tocity,fromroom,toroom,simplemode,disinfo "
              "from h_btsdispatch a where discode ='00000000000000000001'"_s);
    // A room that is gone is nothing, a record without disinfo has none, a code without a
    // record no values.
    EXPECT_EQ(read(code(3)), u"2006-12-01|demo|D 网|甲市|甲市|一号机房||"_s);
    EXPECT_EQ(read(u"00000000000000000777"_s), QString());
    // The city names of the province, as the database hands them back.
    host.recorder()->clear();
    EXPECT_EQ(sorted(HistoryQuery::cityNames(context)), sorted({u"甲市"_s, u"乙市"_s, u"丙市"_s}));
    EXPECT_EQ(sent(), QStringList{u"select city_id,city_name from com_city where pro_id=4"_s});
    host.recorder()->failWhen([](const QString&) { return true; });
    EXPECT_EQ(read(code(1)), u"failed"_s);
    EXPECT_TRUE(HistoryQuery::cityNames(context).isEmpty());
}

} // namespace
