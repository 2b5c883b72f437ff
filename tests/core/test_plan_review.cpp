// SPDX-License-Identifier: MIT
// A plan's review on the demo province, as three desks on one database take it: the author
// submits, a reviewer returns and approves, the author applies and reverses; every step that
// may not be taken is refused with nothing written, a plan the database overtook goes back to
// review, two reviewers on one plan cannot both decide, and a failed apply writes nothing.
#include <gtest/gtest.h>

#include "core/context/mdl_pub_var.h"
#include "core/plan/plan_columns.h"
#include "core/plan/plan_reversal.h"
#include "core/plan/plan_review.h"
#include "core/plan/plan_run.h"
#include "support/plan_fixture.h"
#include "support/test_database.h"
#include "support/test_host.h"

#include <memory>

using namespace corvan;
using namespace Qt::StringLiterals;
using corvan::test::PlanFixture;
using corvan::test::TestDatabase;
using corvan::test::TestHost;
using A = ReviewAction;

namespace {

// One user's desk: its own host services (and so its own rights) on the shared database.
struct Desk {
    Desk(TestDatabase& db, const QString& user) : host(db, user)
    {
        EXPECT_EQ(context.setServices(host.objectArray()), mdlPubVar::Services::Stored);
    }
    TestHost host;
    mdlPubVar context;
};

class ReviewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        PlanFixture::load(db);
        db.exec(u"insert into corvan_review_setting(pro_id, required) values ('4', '1')"_s);
        // A second reviewer, for two desks deciding at once.
        db.exec(u"insert into host_user(username) values ('reviewer2')"_s);
        db.exec(u"insert into host_right(username, funcno, city_id) select 'reviewer2', '14', city_id "
                u"from com_city"_s);
        moves = PlanFixture::moves(db, 12);
        // demo may review every city but the first row's.
        db.exec(u"insert into host_right(username, funcno, city_id) select 'demo', '14', city_id from "
                u"com_city where city_name <> '%1'"_s.arg(moves.constFirst().cityName));
        for (const char* user : {"admin", "demo", "reviewer", "reviewer2"})
            desks.emplace(QString::fromLatin1(user), std::make_unique<Desk>(db, QString::fromLatin1(user)));
        const PlanColumns columns = PlanColumns::of(desk(u"admin"_s).context);
        for (const PlanColumn& column : columns.columns())
            headings << column.heading;
    }

    Desk& desk(const QString& user) { return *desks.at(user); }
    QList<QStringList> sheet() const { return PlanFixture::sheet(headings, moves); }

    CommitOutcome submit(const QString& user, const QList<QStringList>& rows, int number = 0)
    {
        PlanRun run(desk(user).context);
        QString error;
        EXPECT_TRUE(run.load(rows, &error)) << error.toStdString();
        run.check();
        return PlanReview::submit(desk(user).context, run, rows, {u"割接"_s, u"割接.xlsx"_s, u"c0ffee"_s},
                                  number);
    }
    CommitOutcome decide(const QString& user, A action, const QString& comment = {})
    {
        return PlanReview::decide(desk(user).context, 1, action, comment);
    }
    CommitOutcome apply(const QString& user, PlanRun* out = nullptr)
    {
        PlanRun run(desk(user).context);
        const CommitOutcome outcome = PlanReview::apply(desk(user).context, 1, out ? *out : run);
        return outcome;
    }
    ReviewState state()
    {
        QString error;
        const std::optional<Review> review = PlanReview::read(desk(u"admin"_s).context, 1, false, &error);
        EXPECT_TRUE(review) << error.toStdString();
        return review ? review->state() : ReviewState::New;
    }
    // The review's log: "step|version|action|actor|comment|plan".
    QStringList log()
    {
        return db.rows(u"select step, version, action, actor, coalesce(comment, ''), coalesce(plancode, '') "
                       u"from corvan_review_log where reviewno = 1 order by step"_s);
    }
    QString count(const QString& table) { return db.rows(u"select count(*) from "_s + table).value(0); }
    // What a refused step must leave as it was: the review and every table a plan writes.
    QStringList everything()
    {
        QStringList all = PlanFixture::resources(db);
        for (const QString& table : {u"corvan_review"_s, u"corvan_review_log"_s, u"corvan_plan"_s,
                                     u"corvan_journal"_s, u"h_btsdispatch"_s})
            all << table + u':' + count(table);
        return all;
    }

    TestDatabase db;
    QList<PlanFixture::Move> moves;
    std::map<QString, std::unique_ptr<Desk>> desks;
    QStringList headings;
};

TEST_F(ReviewTest, SubmittedReturnedResubmittedApprovedAppliedAndReversedEachStepByWhomItMay)
{
    const QStringList before = PlanFixture::resources(db);
    ASSERT_EQ(submit(u"admin"_s, sheet()).message, u"计划已提交审核：R1（第 1 版，12 行）"_s);
    EXPECT_EQ(state(), ReviewState::Waiting);
    // Waiting for the reviewers who may review it: not its author, not demo who lacks a city.
    QString error;
    const QList<Review> all = PlanReview::list(desk(u"admin"_s).context, std::nullopt, &error);
    ASSERT_EQ(all.size(), 1) << error.toStdString();
    for (const auto& [user, waiting] : {std::pair{u"reviewer"_s, 1}, {u"admin"_s, 0}, {u"demo"_s, 0}})
        EXPECT_EQ(PlanReview::waitingFor(desk(user).context, all), waiting) << user.toStdString();
    // The reviewer, who relocates nowhere, checks the stored rows as they stand now: the right
    // to relocate is whoever applies them's, and nothing is applied from such a check.
    const std::optional<Review> stored = PlanReview::read(desk(u"reviewer"_s).context, 1, true, &error);
    ASSERT_TRUE(stored);
    for (const bool reviewing : {false, true}) {
        PlanRun now(desk(u"reviewer"_s).context);
        now.setReviewing(reviewing);
        ASSERT_TRUE(now.load(stored->latest().sheet, &error)) << error.toStdString();
        EXPECT_EQ(now.check().done(), reviewing);
        EXPECT_EQ(now.results().constFirst().verdict,
                  reviewing ? u"可以调整"_s : u"您没有%1的基站调整权限"_s.arg(moves.constFirst().cityName));
        EXPECT_EQ(now.apply({u"t"_s, u"t"_s, u"0"_s}).result, CommitOutcome::Result::Refused);
    }

    const struct {
        QString user;
        A action;
        QString comment;
        QString said;
        ReviewState after;
    } steps[] = {
        {u"admin"_s, A::Approve, {}, u"不能审核自己提交的计划"_s, ReviewState::Waiting},
        {u"demo"_s,
         A::Approve,
         {},
         u"没有审核这些地市计划的权限："_s + moves.constFirst().cityName,
         ReviewState::Waiting},
        {u"reviewer"_s, A::Return, u"  "_s, u"退回计划须写明原因"_s, ReviewState::Waiting},
        {u"demo"_s, A::Withdraw, {}, u"只有计划的提交人 admin 能撤回"_s, ReviewState::Waiting},
        {u"reviewer"_s, A::Return, u"第 3 行的目标机房不对"_s, u"计划 R1 已退回"_s, ReviewState::Returned},
        {u"reviewer"_s, A::Approve, {}, u"该计划已退回，不能批准"_s, ReviewState::Returned},
    };
    for (const auto& step : steps) {
        const QStringList unchanged = everything();
        const CommitOutcome outcome = decide(step.user, step.action, step.comment);
        EXPECT_EQ(outcome.message, step.said) << step.user.toStdString();
        EXPECT_EQ(outcome.done(), step.said.startsWith(u"计划 R1"_s)) << step.said.toStdString();
        EXPECT_EQ(state(), step.after) << step.said.toStdString();
        if (!outcome.done()) {
            EXPECT_EQ(everything(), unchanged) << step.said.toStdString();
        }
    }
    // Neither a returned plan nor a plan of someone else's is applied or resubmitted.
    EXPECT_EQ(apply(u"admin"_s).message, u"该计划已退回，不能执行"_s);
    QList<PlanFixture::Move> demosCities;
    for (const PlanFixture::Move& move : std::as_const(moves))
        if (!db.rows(u"select 1 from host_right r, com_city c where r.username = 'demo' and r.funcno = '13' "
                     u"and r.city_id = c.city_id and c.city_name = '%1'"_s.arg(move.cityName))
                 .isEmpty())
            demosCities << move;
    ASSERT_FALSE(demosCities.isEmpty());
    EXPECT_EQ(submit(u"demo"_s, PlanFixture::sheet(headings, demosCities), 1).message,
              u"只有计划的提交人 admin 能提交"_s);
    EXPECT_EQ(submit(u"admin"_s, sheet(), 1).message, u"计划已提交审核：R1（第 2 版，12 行）"_s);
    EXPECT_EQ(apply(u"admin"_s).message, u"该计划待审核，不能执行"_s);
    EXPECT_EQ(count(u"corvan_plan"_s), u"0"_s);
    EXPECT_EQ(PlanFixture::resources(db), before);
    ASSERT_TRUE(decide(u"reviewer"_s, A::Approve).done());

    PlanRun run(desk(u"admin"_s).context);
    const CommitOutcome applied = apply(u"admin"_s, &run);
    ASSERT_TRUE(applied.done()) << applied.message.toStdString();
    EXPECT_EQ(applied.message, u"计划执行成功：调整基站 12 个\r\n请在资源维护中添加小区、天线、馈线的信息"_s);
    EXPECT_EQ(db.rows(u"select title, filename, checksum, planuser, rowcount from corvan_plan"_s),
              QStringList{u"割接|割接.xlsx|c0ffee|admin|12"_s});
    EXPECT_EQ(db.rows(u"select count(*) from corvan_journal where plancode = '%1'"_s.arg(applied.recordCode)),
              QStringList{u"12"_s});
    EXPECT_EQ(apply(u"admin"_s).message, u"该计划已执行，不能执行"_s);
    EXPECT_EQ(count(u"corvan_plan"_s), u"1"_s);
    // Each of its records names the plan, its row, and who submitted, approved and applied it.
    const QString approvedAt =
        db.rows(u"select acttime from corvan_review_log where reviewno = 1 and action = 'approve'"_s)
            .value(0);
    const std::optional<PlanOrigin> origin =
        PlanReview::originOf(desk(u"demo"_s).context, run.results().at(1).record);
    ASSERT_TRUE(origin);
    EXPECT_EQ(
        origin->text(),
        u"批量调整计划 %1（割接）第 3 行：提交人 admin，审核人 reviewer（审核计划 R1，%2 批准），执行人 admin"_s
            .arg(applied.recordCode, approvedAt));
    EXPECT_FALSE(PlanReview::originOf(desk(u"demo"_s).context, u"99999999999999999999"_s));

    const PlanReversal::Preview preview = PlanReversal::preview(desk(u"admin"_s).context, applied.recordCode);
    ASSERT_TRUE(preview.ok()) << preview.refusal.toStdString();
    ASSERT_TRUE(PlanReversal::run(desk(u"admin"_s).context, preview).done());
    EXPECT_EQ(PlanFixture::resources(db), before);
    EXPECT_EQ(log(), (QStringList{u"1|1|submit|admin||"_s, u"2|1|return|reviewer|第 3 行的目标机房不对|"_s,
                                  u"3|2|submit|admin||"_s, u"4|2|approve|reviewer||"_s,
                                  u"5|2|apply|admin||"_s + applied.recordCode,
                                  u"6|2|reverse|admin||"_s + applied.recordCode}));
    const std::optional<Review> review = PlanReview::read(desk(u"demo"_s).context, 1, true, &error);
    ASSERT_TRUE(review);
    EXPECT_EQ(review->state(), ReviewState::Reversed);
    EXPECT_EQ(review->versions.size(), 2);
    EXPECT_EQ(review->latest().sheet, sheet());
    EXPECT_EQ(review->latest().verdicts.size(), 12);
    EXPECT_EQ(review->decision()->actor, u"reviewer"_s);
    EXPECT_EQ(review->appliedPlan(), applied.recordCode);
    EXPECT_EQ(PlanReview::list(desk(u"demo"_s).context, ReviewState::Reversed, &error).size(), 1);
    EXPECT_TRUE(PlanReview::list(desk(u"demo"_s).context, ReviewState::Applied, &error).isEmpty());
}

TEST_F(ReviewTest, WhatCannotBeSubmittedOrAppliedWritesNothing)
{
    // A plan with a refused row is not sent for review; no review names nothing.
    QList<QStringList> refused = sheet();
    refused[2][int(headings.indexOf(u"基站编号"_s))] = u"9999999"_s;
    const QStringList unchanged = everything();
    EXPECT_EQ(submit(u"admin"_s, refused).message, u"计划须先检查，且每一行都可以调整，才能提交审核。"_s);
    EXPECT_EQ(submit(u"admin"_s, sheet(), 7).message, u"没有审核计划 R7，不能提交"_s);
    EXPECT_EQ(decide(u"reviewer"_s, A::Approve).message, u"没有审核计划 R1，不能批准"_s);
    EXPECT_EQ(apply(u"admin"_s).message, u"没有审核计划 R1，不能执行"_s);
    EXPECT_EQ(everything(), unchanged);

    // Withdrawn by its author, it is neither reviewed nor applied.
    ASSERT_TRUE(submit(u"admin"_s, sheet()).done());
    ASSERT_TRUE(decide(u"admin"_s, A::Withdraw, u"先不做了"_s).done());
    EXPECT_EQ(decide(u"reviewer"_s, A::Approve).message, u"该计划已撤回，不能批准"_s);
    EXPECT_EQ(apply(u"admin"_s).message, u"该计划已撤回，不能执行"_s);
    EXPECT_EQ(count(u"corvan_plan"_s), u"0"_s);
    // Resubmitted as a new version, it waits again.
    ASSERT_TRUE(submit(u"admin"_s, sheet(), 1).done());
    EXPECT_EQ(state(), ReviewState::Waiting);
}

TEST_F(ReviewTest, APlanTheDatabaseOvertookGoesBackToReviewWithItsRowsNamed)
{
    ASSERT_TRUE(submit(u"admin"_s, sheet()).done());
    ASSERT_TRUE(decide(u"reviewer"_s, A::Approve).done());
    // After the approval another desk puts a G BTS in the first row's target room.
    const PlanFixture::Move& first = moves.constFirst();
    ASSERT_EQ(first.net, u"G"_s);
    const QString taker =
        db.rows(u"select basenum from res_gbts where city = (select city from res_gbts where basenum = '%1') "
                u"and basenum <> '%1' order by basecode desc"_s.arg(first.number))
            .value(0);
    db.exec(u"update res_baseroom set gbts = '%1' where roomno = '%2'"_s.arg(taker, first.roomNumber));
    const QStringList unchanged = everything();

    const CommitOutcome overtaken = apply(u"admin"_s);
    EXPECT_EQ(overtaken.result, CommitOutcome::Result::Refused);
    EXPECT_TRUE(overtaken.message.startsWith(
        u"数据库在计划 R1 批准后已有变化，以下行未通过检查，计划已退回审核，未作任何修改：\r\n第 2 行（G网基站 %1 "_s
            .arg(first.number)))
        << overtaken.message.toStdString();
    EXPECT_EQ(state(), ReviewState::Waiting);
    QStringList expected = unchanged;
    expected.last() = u"h_btsdispatch:"_s + count(u"h_btsdispatch"_s);
    expected[expected.size() - 4] = u"corvan_review_log:3"_s;
    EXPECT_EQ(everything(), expected);
    const QString step = log().value(2);
    EXPECT_TRUE(step.startsWith(u"3|1|overtaken|admin|第 2 行（G网基站 %1 "_s.arg(first.number)))
        << step.toStdString();

    // Put right and approved again, it applies.
    db.exec(u"update res_baseroom set gbts = null where roomno = '%1'"_s.arg(first.roomNumber));
    ASSERT_TRUE(decide(u"reviewer"_s, A::Approve).done());
    EXPECT_TRUE(apply(u"admin"_s).done());
    EXPECT_EQ(state(), ReviewState::Applied);
}

TEST_F(ReviewTest, TwoReviewersAtOnceAndAFailedApplyLeaveOneDecisionAndNothingHalfWritten)
{
    ASSERT_TRUE(submit(u"admin"_s, sheet()).done());
    // reviewer2 returns the plan between the reviewer's read and write: the approval fails.
    bool once = false;
    desk(u"reviewer"_s).host.recorder()->beforeCall([&](const QString& call) {
        if (!once && call.contains(u"insert into corvan_review_log"_s)) {
            once = true;
            EXPECT_TRUE(decide(u"reviewer2"_s, A::Return, u"数量不对"_s).done());
        }
    });
    const CommitOutcome late = decide(u"reviewer"_s, A::Approve);
    EXPECT_TRUE(once);
    EXPECT_FALSE(late.done());
    EXPECT_TRUE(late.message.startsWith(u"批准计划未能完成（可能已被他人处理，请刷新后再试）。"_s))
        << late.message.toStdString();
    EXPECT_EQ(state(), ReviewState::Returned);
    EXPECT_EQ(log().value(1), u"2|1|return|reviewer2|数量不对|"_s);
    desk(u"reviewer"_s).host.recorder()->beforeCall({});

    // The apply's own step fails: no plan, no relocation, the review still approved.
    ASSERT_TRUE(submit(u"admin"_s, sheet(), 1).done());
    ASSERT_TRUE(decide(u"reviewer"_s, A::Approve).done());
    const QStringList unchanged = everything();
    desk(u"admin"_s).host.recorder()->failWhen([](const QString& sql) {
        return sql.contains(u"insert into corvan_review_log"_s);
    });
    EXPECT_FALSE(apply(u"admin"_s).done());
    EXPECT_EQ(everything(), unchanged);
    EXPECT_EQ(state(), ReviewState::Approved);
    desk(u"admin"_s).host.recorder()->failWhen({});
    EXPECT_TRUE(apply(u"admin"_s).done());
}

TEST_F(ReviewTest, EachStepSendsAFixedNumberOfStatementsToTheReviewsTables)
{
    // The review's own reads and writes, whatever the plan's size: counted by the statements
    // that name its tables.
    const auto reviewStatements = [&](const QString& user, const std::function<void()>& work) {
        desk(user).host.recorder()->clear();
        work();
        return desk(user).host.recorder()->statements().filter(u"corvan_review"_s).size();
    };
    EXPECT_EQ(reviewStatements(u"admin"_s, [&] { ASSERT_TRUE(submit(u"admin"_s, sheet()).done()); }), 2 + 1);
    EXPECT_EQ(reviewStatements(u"reviewer"_s, [&] { ASSERT_TRUE(decide(u"reviewer"_s, A::Approve).done()); }),
              2 + 1);
    EXPECT_EQ(reviewStatements(u"admin"_s, [&] { ASSERT_TRUE(apply(u"admin"_s).done()); }), 2 + 1);
    const QString plan = db.rows(u"select plancode from corvan_plan"_s).value(0);
    EXPECT_EQ(reviewStatements(u"admin"_s,
                               [&] {
                                   const auto preview = PlanReversal::preview(desk(u"admin"_s).context, plan);
                                   ASSERT_TRUE(PlanReversal::run(desk(u"admin"_s).context, preview).done());
                               }),
              2);
    QString error;
    EXPECT_EQ(reviewStatements(
                  u"reviewer"_s,
                  [&] {
                      EXPECT_EQ(PlanReview::list(desk(u"reviewer"_s).context, std::nullopt, &error).size(),
                                1);
                  }),
              2);
}

} // namespace
