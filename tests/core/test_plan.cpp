// SPDX-License-Identifier: MIT
// Relocation plans on the demo province: a plan of fifty rows over G, C and D checked (three
// rows made to fail), fixed, applied in one commit and reversed as one; what only a plan
// can get wrong; a failure at the last row; the same statements and record as the wizard's.
#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QSet>

#include "core/context/mdl_pub_var.h"
#include "core/context/resource_view.h"
#include "core/plan/plan_columns.h"
#include "core/plan/plan_conflicts.h"
#include "core/plan/plan_reads.h"
#include "core/plan/plan_reversal.h"
#include "core/plan/plan_run.h"
#include "core/plan/plan_store.h"
#include "core/plan/plan_template.h"
#include "core/relocation/relocation_session.h"
#include "core/reversal/reversal.h"
#include "corvan/controls/property_item.h"
#include "support/core_helpers.h"
#include "support/plan_fixture.h"
#include "support/prompt_recorder.h"
#include "support/second_process.h"
#include "support/test_database.h"
#include "support/test_host.h"

using namespace corvan;
using corvan::test::PlanFixture;

namespace {

class PlanTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        PlanFixture::load(db);
        ASSERT_EQ(context.setServices(host.objectArray()), mdlPubVar::Services::Stored);
        headings.clear();
        const PlanColumns columns = PlanColumns::of(context);
        for (const PlanColumn& column : columns.columns())
            headings << column.heading;
    }

    // The sheet's rows as the check found them: "line|verdict".
    static QStringList verdicts(const PlanRun& run)
    {
        QStringList out;
        for (const PlanRowResult& result : run.results())
            out << QString::number(result.line) + QLatin1Char('|') + result.verdict;
        return out;
    }
    QString count(const QString& sql) { return db.rows(sql).value(0); }
    int column(const QString& heading) const { return int(headings.indexOf(heading)); }

    corvan::test::TestDatabase db;
    corvan::test::TestHost host{db, QStringLiteral("admin")};
    mdlPubVar context;
    QStringList headings;
};

TEST_F(PlanTest, TemplateHeadedByTheHostsCaptionsWithListsAndAnExampleThatPasses)
{
    // The plan's own columns, then every field some network must change, in field order.
    EXPECT_EQ(headings,
              (QStringList{QStringLiteral("网络类型"), QStringLiteral("所属地市"), QStringLiteral("基站编号"),
                           QStringLiteral("目标机房编号"), QStringLiteral("目标机房名称"),
                           QStringLiteral("所属区县"), QStringLiteral("经度"), QStringLiteral("纬度"),
                           QStringLiteral("是否共享"), QStringLiteral("所属RNC")}));
    const PlanColumns columns = PlanColumns::of(context);
    EXPECT_EQ(columns.networksOf(QStringLiteral("shared")), QStringLiteral("C"));
    // A field the rules clear takes no value, even one that may not be empty: no column.
    using A = AttrTable;
    const PlanColumns cleared = PlanColumns::of(QMap<QString, BtsFields>{
        {QStringLiteral("G"),
         corvan::test::btsFields({A::FieldName, A::Caption, A::Required},
                                 {"basename|基站名称|N", "belongbsc|所属BSC|N"}, "R,M")}});
    EXPECT_EQ(cleared.columns().size(), 6);
    EXPECT_EQ(cleared.columns().constLast().heading, QStringLiteral("所属BSC"));
    const QList<TextSheet> sheets = PlanTemplate::sheets(context, columns);
    ASSERT_EQ(sheets.size(), 2);
    EXPECT_EQ(sheets.at(0).name, QStringLiteral("调整计划"));
    EXPECT_EQ(sheets.at(1).name, QStringLiteral("说明"));
    EXPECT_EQ(sheets.at(0).choices.value(0), PlanColumns::Networks);
    EXPECT_EQ(sheets.at(0).choices.value(1).size(), 9); // admin's cities
    EXPECT_EQ(sheets.at(0).choices.value(column(QStringLiteral("是否共享"))),
              (QStringList{QStringLiteral("是"), QStringLiteral("否")}));
    EXPECT_TRUE(sheets.at(1).rows.contains(QStringList{
        QStringLiteral("是否共享"), QStringLiteral("C网调整时要填写的新值"), QStringLiteral("是、否")}));

    // The example row is a relocation that may be made as it stands; a column only other
    // networks take stays empty (G's own 所属BSC is no value for D's 所属RNC).
    ASSERT_EQ(sheets.at(0).rows.size(), 2);
    const QStringList example = sheets.at(0).rows.at(1);
    EXPECT_EQ(example.value(0), QStringLiteral("G"));
    EXPECT_EQ(example.value(column(QStringLiteral("所属RNC"))), QString());
    EXPECT_EQ(example.value(column(QStringLiteral("是否共享"))), QString());
    PlanRun run(context);
    QString error;
    ASSERT_TRUE(run.load(sheets.at(0).rows, &error)) << error.toStdString();
    EXPECT_TRUE(run.check().done()) << verdicts(run).join(QLatin1Char('\n')).toStdString();
}

TEST_F(PlanTest, ReadingRefusesWhatIsNoPlanWithOneLine)
{
    const QStringList good{QStringLiteral("网络类型"), QStringLiteral("所属地市"), QStringLiteral("基站编号"),
                           QStringLiteral("目标机房名称")};
    const QStringList row{QStringLiteral("G"), QStringLiteral("云州市"), QStringLiteral("1"),
                          QStringLiteral("x")};
    const struct {
        QList<QStringList> sheet;
        QString error;
    } cases[] = {
        {{}, QStringLiteral("第 1 行应是计划的列标题，文件中却没有")},
        {{good + QStringList{QStringLiteral("站名")}, row}, QStringLiteral("E 列的标题“站名”不是计划的列")},
        {{good.mid(1), row}, QStringLiteral("缺少计划必需的列：网络类型")},
        {{good.mid(0, 3), row}, QStringLiteral("缺少计划必需的列：目标机房编号（或目标机房名称）")},
        {{good + QStringList{QStringLiteral("基站编号")}, row},
         QStringLiteral("E 列的标题“基站编号”与 C 列重复")},
        {{good, row + QStringList{QStringLiteral("备注")}},
         QStringLiteral("E2 单元格有内容，但这一列没有标题")},
        {{good, {}, QStringList{QString(), QStringLiteral(" ")}},
         QStringLiteral("计划中没有要调整的基站（标题行下面没有内容）")},
    };
    for (const auto& c : cases) {
        PlanRun run(context);
        QString error;
        EXPECT_FALSE(run.load(c.sheet, &error));
        EXPECT_EQ(error, c.error);
    }
    // Empty rows between are skipped; a row keeps the number the spreadsheet shows.
    PlanRun run(context);
    QString error;
    ASSERT_TRUE(run.load({good, {}, row}, &error)) << error.toStdString();
    run.check();
    EXPECT_EQ(run.results().value(0).line, 3);
}

TEST_F(PlanTest, FiftyRowsCheckedFixedAppliedAndReversedAsOne)
{
    const QStringList before = PlanFixture::resources(db);
    const QString records = count(QStringLiteral("select count(*) from h_btsdispatch"));
    const QList<PlanFixture::Move> moves = PlanFixture::moves(db, 50);
    QList<QStringList> sheet = PlanFixture::sheet(headings, moves);
    const QList<QStringList> fixed = sheet;
    // Three rows made to fail: a target room that holds a G BTS no row moves out, a
    // longitude that is no number, a BTS number no C BTS has.
    const QString taken =
        count(QStringLiteral("select roomno from res_baseroom where gbts is not null and gbts<>'' "
                             "and roomno is not null and city=(select city from res_gbts where "
                             "basenum='%1') order by roomcode desc")
                  .arg(moves.at(0).number));
    sheet[1][column(QStringLiteral("目标机房编号"))] = taken;
    sheet[5][column(QStringLiteral("经度"))] = QStringLiteral("东经113度");
    sheet[8][column(QStringLiteral("基站编号"))] = QStringLiteral("9999999");
    // And a fourth: a value under a column only another network's rules change.
    qsizetype gRow = 2;
    while (moves.at(gRow - 1).net != QStringLiteral("G") || gRow == 5 || gRow == 8)
        ++gRow;
    sheet[gRow][column(QStringLiteral("是否共享"))] = QStringLiteral("是");

    PlanRun run(context);
    QString error;
    ASSERT_TRUE(run.load(sheet, &error)) << error.toStdString();
    EXPECT_EQ(run.check().result, CommitOutcome::Result::Refused);
    const QStringList found = verdicts(run);
    ASSERT_EQ(found.size(), 50);
    const QString roomName =
        count(QStringLiteral("select roomname from res_baseroom where roomno='%1'").arg(taken));
    EXPECT_EQ(found.at(0),
              QStringLiteral("2|您所选择的机房:%1的%2 已经存在G网基站").arg(moves.at(0).cityName, roomName));
    EXPECT_EQ(found.at(4), QStringLiteral("6|经度必须是数字"));
    EXPECT_EQ(found.at(7), QStringLiteral("9|找不到编号为 9999999 的C网基站"));
    EXPECT_EQ(found.at(gRow - 1),
              QStringLiteral("%1|G网的调整不改“是否共享”（只有C网改它），这一列应留空").arg(gRow + 1));
    EXPECT_EQ(found.filter(QStringLiteral("|可以调整")).size(), 46);
    const PlanRun::Totals totals = run.totals();
    EXPECT_EQ(totals.passed, 46);
    EXPECT_GT(totals.cells, 46);
    // The check wrote each passing row and took it all back.
    EXPECT_EQ(PlanFixture::resources(db), before);
    EXPECT_EQ(count(QStringLiteral("select count(*) from h_btsdispatch")), records);
    EXPECT_EQ(run.apply({QStringLiteral("t"), QStringLiteral("t.xlsx"), QStringLiteral("00")}).result,
              CommitOutcome::Result::Refused);

    PlanRun good(context);
    ASSERT_TRUE(good.load(fixed, &error));
    ASSERT_TRUE(good.check().done()) << verdicts(good).join(QLatin1Char('\n')).toStdString();
    const CommitOutcome applied =
        good.apply({QStringLiteral("割接一"), QStringLiteral("割接一.xlsx"), QStringLiteral("ab12")});
    ASSERT_TRUE(applied.done()) << applied.message.toStdString();
    EXPECT_EQ(applied.message,
              QStringLiteral("计划执行成功：调整基站 50 个\r\n请在资源维护中添加小区、天线、馈线的信息"));
    EXPECT_EQ(
        db.rows(QStringLiteral("select plancode,title,filename,checksum,planuser,rowcount from corvan_plan")),
        QStringList{applied.recordCode + QStringLiteral("|割接一|割接一.xlsx|ab12|admin|50")});
    EXPECT_EQ(count(QStringLiteral("select count(*) from h_btsdispatch")).toInt(), records.toInt() + 50);
    // Each row its own relocation, its journal entry naming the plan and the row.
    EXPECT_EQ(db.rows(QStringLiteral("select count(*),min(planrow),max(planrow) from corvan_journal where "
                                     "plancode='%1'")
                          .arg(applied.recordCode)),
              QStringList{QStringLiteral("50|2|51")});
    for (qsizetype i = 0; i < moves.size(); ++i)
        EXPECT_EQ(count(QStringLiteral("select %1bts from res_baseroom where roomno='%2'")
                            .arg(moves.at(i).net.toLower(), moves.at(i).roomNumber)),
                  moves.at(i).number);

    // Reversed as one, from any of its records: every resource table as it was.
    const QString lastRecord = good.results().last().record;
    PlanReversal::Preview preview = PlanReversal::preview(context, PlanReversal::planOf(context, lastRecord));
    ASSERT_TRUE(preview.ok()) << preview.refusal.toStdString();
    EXPECT_EQ(preview.rows.size(), 50);
    EXPECT_EQ(preview.rows.first().line, 51);
    QStringList reversals;
    const CommitOutcome reversed = PlanReversal::run(context, preview, &reversals);
    ASSERT_TRUE(reversed.done()) << reversed.message.toStdString();
    EXPECT_EQ(reversed.message, QStringLiteral("计划撤销成功：撤销调整 50 个"));
    EXPECT_EQ(PlanFixture::resources(db), before);
    EXPECT_EQ(
        count(QStringLiteral("select count(*) from corvan_journal where plancode='%1' and reversedby is null")
                  .arg(applied.recordCode)),
        QStringLiteral("0"));
    // Reversed once; a second time is refused as a plan reversed already.
    const PlanReversal::Preview again = PlanReversal::preview(context, applied.recordCode);
    EXPECT_EQ(again.refusal, PlanReversal::AllReversed.arg(applied.recordCode));
    EXPECT_TRUE(again.rows.isEmpty());
}

TEST_F(PlanTest, WhatOnlyAPlanCanGetWrong)
{
    // Pure: rows as the plan resolved them. Room r1 holds BTS 1 (row 2), r2 holds BTS 2.
    using Move = PlanConflicts::Move;
    const auto g = [](int line, const char* bts, const char* from, const char* to, const char* holder) {
        return Move{line,
                    QStringLiteral("G"),
                    QString::fromLatin1(bts),
                    QString::fromLatin1(bts),
                    QString::fromLatin1(from),
                    QString::fromLatin1(to),
                    QString::fromLatin1(holder)};
    };
    const struct {
        QList<Move> moves;
        QStringList refusals;
    } cases[] = {
        {{g(2, "1", "r1", "r9", ""), g(3, "1", "r1", "r8", "")},
         {PlanConflicts::sameBts(3), PlanConflicts::sameBts(2)}},
        {{g(2, "1", "r1", "r9", ""), g(3, "2", "r2", "r9", "")},
         {PlanConflicts::sameTarget({3}), PlanConflicts::sameTarget({2})}},
        // Freed by an earlier row: allowed, rows run in order.
        {{g(2, "1", "r1", "r9", ""), g(3, "2", "r2", "r1", "1")}, {QString(), QString()}},
        // Freed only by a later row: that row must come first.
        {{g(2, "2", "r2", "r1", "1"), g(3, "1", "r1", "r9", "")},
         {PlanConflicts::laterFrees(QStringLiteral("G"), QStringLiteral("1"), 3), QString()}},
        {{g(2, "1", "r1", "r2", "2"), g(3, "2", "r2", "r1", "1")},
         {PlanConflicts::swapped(3), PlanConflicts::swapped(2)}},
        {{g(2, "1", "r1", "r2", "2"), g(3, "2", "r2", "r3", "3"), g(4, "3", "r3", "r1", "1")},
         {PlanConflicts::ring({3, 4}), PlanConflicts::ring({2, 4}), PlanConflicts::ring({2, 3})}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PlanConflicts::find(c.moves), c.refusals);

    // On the database: G BTSs a and b of one city, in numbered rooms A and B.
    const QStringList pair = db.rows(QStringLiteral(
        "select b1.basenum,r1.roomno,b2.basenum,r2.roomno,c.city_name,b2.longitude,b2.latitude from res_gbts "
        "b1,"
        "res_baseroom r1,res_gbts b2,res_baseroom r2,com_city c where r1.gbts=b1.basenum and "
        "r2.gbts=b2.basenum "
        "and b1.city=b2.city and c.city_id=b1.city and b1.basenum<b2.basenum and r1.roomno is not null and "
        "r2.roomno is not null order by b1.basecode,b2.basecode"));
    ASSERT_FALSE(pair.isEmpty());
    const QStringList p = pair.first().split(QLatin1Char('|'));
    const QString free =
        count(QStringLiteral("select roomno from res_baseroom where city=(select city from res_gbts "
                             "where basenum='%1') and gbts is null and roomno is not null order by "
                             "roomcode")
                  .arg(p.at(0)));
    const PlanFixture::Move a{QStringLiteral("G"), p.at(4), p.at(0), free, {}, {}, {}};
    const PlanFixture::Move aToB{QStringLiteral("G"), p.at(4), p.at(0), p.at(3), {}, {}, {}};
    const PlanFixture::Move bToA{QStringLiteral("G"), p.at(4), p.at(2), p.at(1), p.at(5), p.at(6), {}};
    const auto check = [this](const QList<PlanFixture::Move>& rows, QStringList* found) {
        PlanRun run(context);
        QString error;
        EXPECT_TRUE(run.load(PlanFixture::sheet(headings, rows), &error)) << error.toStdString();
        const CommitOutcome outcome = run.check();
        *found = verdicts(run);
        return outcome.done() &&
               run.apply({QStringLiteral("o"), QStringLiteral("o.csv"), QStringLiteral("0")}).done();
    };
    QStringList found;
    EXPECT_FALSE(check({aToB, bToA}, &found));
    EXPECT_EQ(found, (QStringList{QStringLiteral("2|") + PlanConflicts::swapped(3),
                                  QStringLiteral("3|") + PlanConflicts::swapped(2)}));
    EXPECT_FALSE(check({bToA, a}, &found));
    EXPECT_EQ(found,
              (QStringList{QStringLiteral("2|") + PlanConflicts::laterFrees(QStringLiteral("G"), p.at(0), 3),
                           QStringLiteral("3|") + PlanRun::Passes}));
    // In the right order, b takes the room a leaves in the same commit.
    EXPECT_TRUE(check({a, bToA}, &found)) << found.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(count(QStringLiteral("select gbts from res_baseroom where roomno='%1'").arg(p.at(1))), p.at(2));
    EXPECT_EQ(count(QStringLiteral("select gbts from res_baseroom where roomno='%1'").arg(free)), p.at(0));

    // Its second row reversed on its own: the plan can no longer be reversed as a whole, and
    // the row that was is named.
    const QString plan = count(QStringLiteral("select max(plancode) from corvan_plan"));
    const QString second = count(
        QStringLiteral("select discode from corvan_journal where plancode='%1' and planrow=3").arg(plan));
    const Reversal::Plan alone = Reversal::plan(context, second);
    ASSERT_TRUE(alone.ok()) << alone.refusal.toStdString();
    const CommitOutcome undone = Reversal::run(context, second, alone.rows);
    ASSERT_TRUE(undone.done()) << undone.message.toStdString();
    EXPECT_EQ(PlanReversal::preview(context, plan).refusal,
              QStringLiteral("第 3 行（G网，调整记录 %1）：该调整已被记录 %2 单独撤销，计划不能再整体撤销。")
                  .arg(second, undone.recordCode));
}

TEST_F(PlanTest, AFailureAtTheLastRowWritesNothingAndSaysWhereAndWhy)
{
    const QStringList before = PlanFixture::resources(db);
    const QList<PlanFixture::Move> moves = PlanFixture::moves(db, 12);
    PlanRun run(context);
    QString error;
    ASSERT_TRUE(run.load(PlanFixture::sheet(headings, moves), &error)) << error.toStdString();
    // A check cancelled halfway says so, leaves nothing to apply and nothing written; its
    // progress counted the rows up to the cancel, a whole check every row.
    QList<int> counted;
    const auto counting = [&counted](int stopAt) {
        return [&counted, stopAt](int done, int total) {
            EXPECT_EQ(total, 12);
            counted << done;
            return done != stopAt;
        };
    };
    const CommitOutcome stopped = run.check(counting(5));
    EXPECT_EQ(stopped.result, CommitOutcome::Result::Failed);
    EXPECT_EQ(stopped.message, PlanRun::Stopped);
    EXPECT_EQ(counted, (QList<int>{0, 1, 2, 3, 4, 5}));
    EXPECT_FALSE(run.apply({QStringLiteral("p"), QStringLiteral("p.xlsx"), QStringLiteral("1")}).done());
    EXPECT_EQ(PlanFixture::resources(db), before);
    EXPECT_EQ(count(QStringLiteral("select count(*) from corvan_plan")), QStringLiteral("0"));
    counted.clear();
    ASSERT_TRUE(run.check(counting(-1)).done());
    EXPECT_EQ(counted.size(), 13);
    EXPECT_EQ(counted.last(), 12);
    int inserts = 0;
    host.recorder()->failWhen([&inserts](const QString& sql) {
        return sql.startsWith(QStringLiteral("insert into h_btsdispatch")) && ++inserts == 12;
    });
    const CommitOutcome failed =
        run.apply({QStringLiteral("p"), QStringLiteral("p.xlsx"), QStringLiteral("1")});
    host.recorder()->failWhen({});
    EXPECT_EQ(failed.result, CommitOutcome::Result::Failed);
    EXPECT_TRUE(failed.message.startsWith(PlanRun::UndoneMessage + QStringLiteral("\r\n第 13 行（") +
                                          moves.last().net + QStringLiteral("网基站 ") + moves.last().number))
        << failed.message.toStdString();
    EXPECT_TRUE(failed.message.contains(QStringLiteral("在“保存调整记录”一步未能完成")))
        << failed.message.toStdString();
    EXPECT_EQ(host.recorder()->calls().last(), QStringLiteral("ROLLBACK"));
    EXPECT_EQ(PlanFixture::resources(db), before);
    EXPECT_EQ(count(QStringLiteral("select count(*) from corvan_plan")), QStringLiteral("0"));
    EXPECT_EQ(count(QStringLiteral("select count(*) from corvan_journal")), QStringLiteral("0"));

    // Someone fills the last row's target between the check and the apply: refused, named.
    db.exec(QStringLiteral("update res_baseroom set %1bts='%2' where roomno='%3'")
                .arg(moves.last().net.toLower(), moves.at(moves.size() - 4).number, moves.last().roomNumber));
    const CommitOutcome taken =
        run.apply({QStringLiteral("p"), QStringLiteral("p.xlsx"), QStringLiteral("1")});
    EXPECT_FALSE(taken.done());
    EXPECT_TRUE(taken.message.contains(QStringLiteral("第 13 行（"))) << taken.message.toStdString();
    EXPECT_EQ(count(QStringLiteral("select count(*) from corvan_plan")), QStringLiteral("0"));
}

TEST_F(PlanTest, ARowIsTheWizardsRelocationStatementForStatement)
{
    const PlanFixture::Move move = PlanFixture::moves(db, 1).first();
    const QString code =
        count(QStringLiteral("select basecode from res_gbts where basenum='%1'").arg(move.number));
    const QString roomCode =
        count(QStringLiteral("select roomcode from res_baseroom where roomno='%1'").arg(move.roomNumber));
    // The writes of a commit, the record's code made the same.
    const auto writes = [this](const QString& record) {
        QStringList out;
        for (const QString& call : host.recorder()->calls())
            if (call.startsWith(QStringLiteral("EXEC ")) && !call.contains(QStringLiteral("corvan_plan")))
                out << QString(call)
                           .replace(QStringLiteral("values('") + record, QStringLiteral("values('<record>"))
                           .replace(QStringLiteral(" -- '") + record, QStringLiteral(" -- '<record>"))
                           // the plan's journal entry names its plan and row, bound as two more values
                           .replace(QStringLiteral(",plancode,planrow) values(?,?,?,?,?,?,?,?,?,?)"),
                                    QStringLiteral(") values(?,?,?,?,?,?,?,?)"))
                           .replace(QRegularExpression(QStringLiteral(",'\\d{20}','\\d+'$")), QString())
                           // the journal's time of day: the two commits may fall in two seconds
                           .replace(QRegularExpression(
                                        QStringLiteral("'\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d'")),
                                    QStringLiteral("'<time>'"));
        return out;
    };

    // The wizard: the page, the city and the room chosen from the full lists, the other values.
    QMap<QString, AttrTable> tables;
    ASSERT_TRUE(ResourceView::GetResourceData(context, QStringLiteral("v_res_gbts"), code,
                                              &tables[QStringLiteral("G")]));
    PropertyItems page;
    corvan::test::PromptRecorder prompt;
    RelocationSession session(context, page, prompt);
    ASSERT_TRUE(session.start(QStringLiteral("G"), tables, true));
    PropertyItem* city = page.GetItem(QStringLiteral("city"));
    city->setValue(move.cityName);
    session.valueChanged(city);
    PropertyItem* room = page.GetItem(QStringLiteral("belongroom"));
    for (const auto& option : room->Children())
        if (option->Key() == QStringLiteral("K:") + roomCode)
            room->setValue(option->Caption());
    session.valueChanged(room);
    page.GetItem(QStringLiteral("longitude"))->setValue(move.longitude);
    page.GetItem(QStringLiteral("latitude"))->setValue(move.latitude);
    ASSERT_TRUE(session.next()) << prompt.shown.join(QLatin1Char('/')).toStdString();
    host.recorder()->clear();
    ASSERT_TRUE(session.commit());
    const QString wizardRecord = count(QStringLiteral("select max(discode) from h_btsdispatch"));
    const QStringList byWizard = writes(wizardRecord);
    const QStringList wizardRow =
        db.rows(QStringLiteral("select net,fromcity,tocity,fromroom,toroom,simplemode,disinfo "
                               "from h_btsdispatch where discode='%1'")
                    .arg(wizardRecord));
    ASSERT_TRUE(Reversal::run(context, wizardRecord, Reversal::plan(context, wizardRecord).rows).done());

    // The same relocation as a plan's only row.
    PlanRun run(context);
    QString error;
    ASSERT_TRUE(run.load(PlanFixture::sheet(headings, {move}), &error));
    ASSERT_TRUE(run.check().done()) << verdicts(run).join(QLatin1Char('\n')).toStdString();
    host.recorder()->clear();
    ASSERT_TRUE(run.apply({QStringLiteral("one"), QStringLiteral("one.csv"), QStringLiteral("2")}).done());
    const QString planRecord = run.results().first().record;
    EXPECT_EQ(writes(planRecord), byWizard);
    EXPECT_EQ(db.rows(QStringLiteral(
                          "select net,fromcity,tocity,fromroom,toroom,simplemode,disinfo from h_btsdispatch "
                          "where discode='%1'")
                          .arg(planRecord)),
              wizardRow);
}

// A check writes nothing, begins no transaction (so it locks nothing) and reads in sets: what it
// sends grows with the plan's cities and networks, never with its rows nor with the rooms of a
// city. Each city's rooms are read once, each network's rules once; the rows' BTSs, rooms,
// cells and lines in a few statements that list them. The rehearsal, the check's reference,
// writes every row and takes it back.
TEST_F(PlanTest, ACheckSendsNoWriteAndABudgetOfStatementsPerCityNotPerRow)
{
    constexpr int PerCity = 6;
    constexpr int Fixed = 30;
    static const QRegularExpression WholeCity(QStringLiteral("^select .* from res_baseroom +where city="));
    const QList<PlanFixture::Move> all = PlanFixture::moves(db, 40);
    for (const int rows : {4, 40}) {
        const QList<PlanFixture::Move> moves = all.mid(0, rows);
        QSet<QString> cities;
        for (const PlanFixture::Move& move : moves)
            cities << count(
                QStringLiteral("select city_id from com_city where city_name='%1'").arg(move.cityName));
        for (const bool rehearsal : {false, true}) {
            PlanRun run(context);
            run.setRehearsal(rehearsal);
            QString error;
            ASSERT_TRUE(run.load(PlanFixture::sheet(headings, moves), &error));
            host.recorder()->clear();
            ASSERT_TRUE(run.check().done()) << verdicts(run).join(QLatin1Char('\n')).toStdString();
            const QStringList calls = host.recorder()->calls();
            const QStringList sent = host.recorder()->statements();
            const QStringList writes =
                calls.filter(QRegularExpression(QStringLiteral("^(EXEC|BEGIN|COMMIT)")));
            if (rehearsal) {
                EXPECT_EQ(calls.filter(QStringLiteral("BEGIN")).size(), 1);
                EXPECT_EQ(calls.last(), QStringLiteral("ROLLBACK"));
                EXPECT_GT(writes.size(), rows * 3) << rows << " rows";
                continue;
            }
            EXPECT_EQ(writes, QStringList()) << rows << " rows";
            EXPECT_EQ(calls.filter(QStringLiteral("ROLLBACK")), QStringList());
            EXPECT_EQ(run.checkStatements(), sent.size());
            // Every city of the plan read once, and no other room list of a whole city.
            QStringList cityReads;
            for (const QString& sql : sent)
                if (WholeCity.match(sql).hasMatch() && !sql.contains(QStringLiteral("roomcode=")))
                    cityReads << sql;
            QStringList expected;
            for (const QString& city : std::as_const(cities))
                expected << PlanStore::cityRoomsStatement(city);
            cityReads.sort();
            expected.sort();
            EXPECT_EQ(cityReads, expected) << rows << " rows";
            EXPECT_EQ(sent.filter(QStringLiteral("tabledictionarynew")).size(), 3) << rows << " rows";
            EXPECT_EQ(sent.filter(QStringLiteral("from res_gbts where basenum in (")).size(), 1);
            EXPECT_LE(sent.size(), PerCity * cities.size() + Fixed) << rows << " rows";
        }
    }
}

// On an SQLite file, whose writers take the whole file: another process writes in the middle of
// a check (another city's desk, the command line) and is not held up; in the middle of the
// rehearsal it was refused as busy. The check then still passes on what it read.
TEST_F(PlanTest, AnotherProcessWritesTheFileInTheMiddleOfACheck)
{
    if (db.isPostgresql())
        GTEST_SKIP() << "the server's case is PlanServerRules (another desk holds every city)";
    const QList<PlanFixture::Move> moves = PlanFixture::moves(db, 6);
    int round = 0;
    for (const bool rehearsal : {false, true}) {
        PlanRun run(context);
        run.setRehearsal(rehearsal);
        QString error;
        ASSERT_TRUE(run.load(PlanFixture::sheet(headings, moves), &error));
        QList<test::SecondProcess> writes;
        const CommitOutcome outcome = run.check([&](int done, int) {
            if (done == 3)
                writes << test::SecondProcess::run(
                    db.location(), QStringLiteral("insert into com_city(city_id, city_name, pro_id) values "
                                                  "('%1', '他进程', '4');")
                                       .arg(70 + round++));
            return true;
        });
        ASSERT_TRUE(outcome.done()) << verdicts(run).join(QLatin1Char('\n')).toStdString();
        ASSERT_EQ(writes.size(), 1);
        EXPECT_EQ(writes.first().busy(), rehearsal) << writes.first().output.toStdString();
    }
    EXPECT_EQ(count(QStringLiteral("select count(*) from com_city where city_name='他进程'")),
              QStringLiteral("1"));
}

TEST(PlanReadsTest, KeepsOnlyWhatNoRelocationWrites)
{
    const struct {
        const char* sql;
        bool kept;
    } cases[] = {
        {"select g_name,g_value from gui_option where g_name ='GBtsDispatchModify'", true},
        {"select city_id,city_name from com_city where pro_id='4'", true},
        {"select county_id,county_name from v_com_county where city='11'", true},
        {"select gbts from res_baseroom where roomcode='1'", false},
        {"select getrule,customselectrule from tabledictionarynew where tablename='res_gbts' and "
         "enfield='belongbsc'",
         true},
        {"select judgeunique from tablebaseinfo where queryfromview ='v_res_gbts'", true},
        {"select x from tabledictionarynew where tablename='it''s res_gbts' and y in (select basenum from "
         "res_gbts)",
         false},
        {"select count(*) from v_res_gbts where basenum=12", false},
        {"select max(to_number(discode)) from h_btsdispatch", false},
        {"select discode from corvan_journal where 1=0", false},
        {"select max(to_number(plancode)) from corvan_plan", false},
        {"update gui_option set g_value='x'", false},
        {"select city_id from com_city for update", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PlanReads::keepable(QString::fromUtf8(c.sql)), c.kept) << c.sql;
}

} // namespace
