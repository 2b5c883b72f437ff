// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "core/plan/review_rules.h"

namespace corvan {

using namespace Qt::StringLiterals;
namespace {

using A = ReviewAction;
using S = ReviewState;

ReviewRules::Attempt byAuthor(A action)
{
    return {action, QStringLiteral("demo"), QStringLiteral("demo"), {}, {QStringLiteral("11")}, {}};
}

ReviewRules::Attempt byReviewer(A action, const QString& comment = QStringLiteral("坐标有误"))
{
    return {action,
            QStringLiteral("reviewer"),
            QStringLiteral("demo"),
            {QStringLiteral("11"), QStringLiteral("12")},
            {QStringLiteral("11"), QStringLiteral("12")},
            comment};
}

TEST(ReviewRules, EachStepIsTakenOnlyFromTheStatesThatAllowIt)
{
    // The log's words round-trip, and the state each last step leaves.
    const QList<std::pair<A, S>> after{{A::Submit, S::Waiting},  {A::Approve, S::Approved},
                                       {A::Return, S::Returned}, {A::Withdraw, S::Withdrawn},
                                       {A::Apply, S::Applied},   {A::Overtaken, S::Waiting},
                                       {A::Reverse, S::Reversed}};
    for (const auto& [action, state] : after) {
        EXPECT_EQ(ReviewRules::actionOf(ReviewRules::actionName(action)), action);
        EXPECT_EQ(ReviewRules::stateAfter(action), state) << ReviewRules::actionName(action).toStdString();
    }
    EXPECT_EQ(ReviewRules::stateAfter(std::nullopt), S::New);
    EXPECT_FALSE(ReviewRules::actionOf(QStringLiteral("APPROVE")));
    EXPECT_FALSE(ReviewRules::actionOf(QString()));

    // Which state allows which step, each by the one who may take it. "" is allowed.
    struct Case {
        S state;
        QString submit, approve, withdraw, apply, reverse;
    };
    const QString ok;
    const QList<Case> cases{
        {S::New, ok, u"没有这个计划，不能批准"_s, u"没有这个计划，不能撤回"_s, u"没有这个计划，不能执行"_s,
         u"没有这个计划，不能撤销"_s},
        {S::Waiting, ok, ok, ok, u"该计划待审核，不能执行"_s, u"该计划待审核，不能撤销"_s},
        {S::Approved, u"该计划已批准，不能提交"_s, u"该计划已批准，不能批准"_s, ok, ok,
         u"该计划已批准，不能撤销"_s},
        {S::Returned, ok, u"该计划已退回，不能批准"_s, ok, u"该计划已退回，不能执行"_s,
         u"该计划已退回，不能撤销"_s},
        {S::Withdrawn, ok, u"该计划已撤回，不能批准"_s, u"该计划已撤回，不能撤回"_s,
         u"该计划已撤回，不能执行"_s, u"该计划已撤回，不能撤销"_s},
        {S::Applied, u"该计划已执行，不能提交"_s, u"该计划已执行，不能批准"_s, u"该计划已执行，不能撤回"_s,
         u"该计划已执行，不能执行"_s, ok},
        {S::Reversed, u"该计划已撤销，不能提交"_s, u"该计划已撤销，不能批准"_s, u"该计划已撤销，不能撤回"_s,
         u"该计划已撤销，不能执行"_s, u"该计划已撤销，不能撤销"_s},
    };
    for (const Case& c : cases) {
        const std::string state = ReviewRules::stateCaption(c.state).toStdString();
        EXPECT_EQ(ReviewRules::refusal(c.state, byAuthor(A::Submit)), c.submit) << state;
        EXPECT_EQ(ReviewRules::refusal(c.state, byReviewer(A::Approve)), c.approve) << state;
        EXPECT_EQ(ReviewRules::refusal(c.state, byReviewer(A::Return)),
                  QString(c.approve).replace(u"不能批准"_s, u"不能退回"_s))
            << state;
        EXPECT_EQ(ReviewRules::refusal(c.state, byAuthor(A::Withdraw)), c.withdraw) << state;
        EXPECT_EQ(ReviewRules::refusal(c.state, byAuthor(A::Apply)), c.apply) << state;
        EXPECT_EQ(ReviewRules::refusal(c.state, byAuthor(A::Reverse)), c.reverse) << state;
    }
}

TEST(ReviewRules, WhoMayTakeAStep)
{
    struct Case {
        const char* what;
        S state;
        ReviewRules::Attempt attempt;
        QString refusal;
    };
    ReviewRules::Attempt selfReview = byReviewer(A::Approve);
    selfReview.actor = selfReview.author;
    ReviewRules::Attempt oneCityShort = byReviewer(A::Approve);
    oneCityShort.planCities << QStringLiteral("13") << QStringLiteral("11") << QStringLiteral("13");
    ReviewRules::Attempt otherResubmits = byReviewer(A::Submit);
    ReviewRules::Attempt otherWithdraws = byReviewer(A::Withdraw);
    ReviewRules::Attempt newPlan = byReviewer(A::Submit);
    newPlan.author.clear();
    ReviewRules::Attempt overtakenSilently = byAuthor(A::Overtaken);
    ReviewRules::Attempt overtakenNamed = byAuthor(A::Overtaken);
    overtakenNamed.comment = QStringLiteral("第 3 行：目标机房已有G网基站");
    const QList<Case> cases{
        {"self-review", S::Waiting, selfReview, u"不能审核自己提交的计划"_s},
        {"a city without the right, named once", S::Waiting, oneCityShort,
         u"没有审核这些地市计划的权限：13"_s},
        {"return without a reason", S::Waiting, byReviewer(A::Return, u" \t"_s), u"退回计划须写明原因"_s},
        {"approve without a comment", S::Waiting, byReviewer(A::Approve, {}), {}},
        {"another's new version", S::Returned, otherResubmits, u"只有计划的提交人 demo 能提交"_s},
        {"another withdraws", S::Approved, otherWithdraws, u"只有计划的提交人 demo 能撤回"_s},
        {"anyone submits a new plan", S::New, newPlan, {}},
        {"overtaken without the rows", S::Approved, overtakenSilently, u"退回审核须写明哪些行未通过检查"_s},
        {"overtaken with the rows", S::Approved, overtakenNamed, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ReviewRules::refusal(c.state, c.attempt), c.refusal) << c.what;
}

TEST(ReviewRules, StoredRowsAndCodes)
{
    const QList<QStringList> sheet{{u"网络"_s, u"基站编号"_s, u"新机房名称"_s},
                                   {u"G"_s, u"0101"_s, u"八一路19号\"A\"楼, 'B' 区\n二层"_s},
                                   {u"D"_s, QString(), u"\\"_s}};
    QList<QStringList> back;
    ASSERT_TRUE(ReviewRules::sheetOf(ReviewRules::sheetText(sheet), &back));
    EXPECT_EQ(back, sheet);
    for (const QString& bad : {u"{}"_s, u"[[1]]"_s, u"[\"G\"]"_s, u"[[\"G\"]"_s, QString()}) {
        back = sheet;
        EXPECT_FALSE(ReviewRules::sheetOf(bad, &back)) << bad.toStdString();
        EXPECT_EQ(back, sheet) << "a text that is no sheet leaves the rows as they were";
    }

    EXPECT_EQ(ReviewRules::codeText(12), u"R12"_s);
    const QList<std::pair<QString, int>> codes{{u"R12"_s, 12}, {u" r7 "_s, 7}, {u"3"_s, 3},
                                               {u"R0"_s, 0},   {u"R-1"_s, 0},  {u"R+1"_s, 0},
                                               {u"RR1"_s, 0},  {u"P1"_s, 0},   {QString(), 0}};
    for (const auto& [code, number] : codes)
        EXPECT_EQ(ReviewRules::numberOf(code), number) << code.toStdString();
}

} // namespace
} // namespace corvan
