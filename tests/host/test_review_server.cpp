// SPDX-License-Identifier: MIT
// A plan's review on a shared server where the province requires it, taken by login roles over
// verified TLS: an author who relocates, a reviewer of every city, and a reviewer who lacks one
// city. Between the product's own steps each role sends by hand what the product never would;
// the server refuses every one and leaves the review, its log and the network as they were.

#include "core/context/mdl_pub_var.h"
#include "core/plan/plan_columns.h"
#include "core/plan/plan_reversal.h"
#include "core/plan/plan_review.h"
#include "core/plan/plan_run.h"
#include "data/context_service_impl.h"
#include "data/sql_data_service.h"
#include "desktop/host_services.h"
#include "server_role.h"
#include "support/plan_fixture.h"

#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <gtest/gtest.h>
#include <memory>

using namespace corvan;
using namespace Qt::StringLiterals;
using corvan::test::PlanFixture;
using corvan::test::ServerRole;
using corvan::test::TestDatabase;

namespace {

// A role's own connection and the component's context on it, as corvan makes them.
struct RoleDesk {
    explicit RoleDesk(const ServerRole& role) : name(role.name())
    {
        QString error;
        QString user;
        if (!data.open(role.urlWithPassword(), &error) ||
            !host::ContextServiceImpl::identify(data.database(), QString(), &user, &error))
            ADD_FAILURE() << error.toStdString();
        services = std::make_unique<host::HostServices>(&data);
        services->configure(user, u"4"_s);
        if (context.setServices(services->objectArray()) != mdlPubVar::Services::Stored)
            ADD_FAILURE() << "the context took no services";
    }

    // The statements in one plain transaction (not the product's, which takes the writer's
    // lock), committed: the server's refusal, empty when none.
    QString send(const QString& statements)
    {
        QSqlDatabase db = data.database();
        if (!db.transaction())
            return db.lastError().text();
        QSqlQuery query(db);
        for (const QString& sql : statements.split(u'\n'))
            if (!query.exec(sql)) {
                const QString refusal = query.lastError().text();
                db.rollback();
                return refusal;
            }
        // A failed commit has ended the transaction already.
        return db.commit() ? QString() : db.lastError().text();
    }

    QString name;
    host::SqlDataService data;
    std::unique_ptr<host::HostServices> services;
    mdlPubVar context;
};

TEST(ReviewServerRules, EveryRoleIsHeldToTheReviewsStepsWhateverItSends)
{
    TestDatabase db;
    if (!db.isPostgresql())
        GTEST_SKIP() << "needs the PostgreSQL server of the postgresql run";
    PlanFixture::load(db, 120);
    db.exec(u"insert into corvan_review_setting(pro_id, required) values ('4', true)"_s);
    const QStringList cities = db.rows(u"select city_id from com_city order by city_id"_s);
    const QList<PlanFixture::Move> moves = PlanFixture::moves(db, 9);
    const QString firstCity =
        db.rows(u"select city_id from com_city where city_name = '%1'"_s.arg(moves.constFirst().cityName))
            .value(0);
    const ServerRole authorRole(db, cities);
    const ServerRole reviewerRole(db, cities, false);
    const ServerRole narrowRole(db, cities, false);
    const auto makeReviewer = [&](const ServerRole& role, QStringList reviewCities) {
        db.exec(
            u"select corvan_add_reviewer('%1', array['%2'])"_s.arg(role.name(), reviewCities.join(u"','"_s)));
    };
    makeReviewer(reviewerRole, cities);
    makeReviewer(narrowRole, QStringList(cities).filter(QRegularExpression(u"^(?!"_s + firstCity + u"$)"_s)));
    RoleDesk author(authorRole), reviewer(reviewerRole), narrow(narrowRole);

    QStringList headings;
    const PlanColumns columns = PlanColumns::of(author.context);
    for (const PlanColumn& column : columns.columns())
        headings << column.heading;
    const QList<QStringList> sheet = PlanFixture::sheet(headings, moves);
    const QStringList before = PlanFixture::resources(db);
    const auto everything = [&] {
        QStringList all = PlanFixture::resources(db);
        all << db.rows(u"select reviewno, version, author, rowcount from corvan_review order by 1, 2"_s)
            << db.rows(
                   u"select reviewno, step, action, actor, comment from corvan_review_log order by 1, 2"_s)
            << db.rows(u"select count(*) from corvan_plan"_s)
            << db.rows(u"select count(*) from corvan_journal"_s);
        return all;
    };

    // A plan applied straight from its file, by a client that asks no one, is refused at commit.
    PlanRun direct(author.context);
    QString error;
    ASSERT_TRUE(direct.load(sheet, &error)) << error.toStdString();
    ASSERT_TRUE(direct.check().done());
    const CommitOutcome unreviewed = direct.apply({u"直接"_s, u"直接.xlsx"_s, u"00"_s});
    EXPECT_FALSE(unreviewed.done());
    EXPECT_TRUE(
        unreviewed.message.contains(u"is applied without an approved review, which its province requires"_s))
        << unreviewed.message.toStdString();
    EXPECT_EQ(PlanFixture::resources(db), before);

    const CommitOutcome submitted =
        PlanReview::submit(author.context, direct, sheet, {u"割接"_s, u"割接.xlsx"_s, u"c0ffee"_s});
    ASSERT_TRUE(submitted.done()) << submitted.message.toStdString();
    ASSERT_EQ(submitted.recordCode, u"R1"_s);

    const QString step =
        u"insert into corvan_review_log(reviewno, step, version, action, actor, acttime, comment, "
        u"plancode) values (1, %1, %2, '%3', '%4', '2026-01-01 00:00:00', %5, %6)"_s;
    const auto stepBy = [&](int number, const QString& action, const QString& actor,
                            const QString& comment = u"null"_s, const QString& plan = u"null"_s,
                            int version = 1) {
        return step.arg(number).arg(version).arg(action, actor, comment, plan);
    };
    struct Attack {
        const char* what;
        RoleDesk* who;
        QString statements;
        QString refusal;
    };
    const Attack whileWaiting[] = {
        {"a step in another's name", &reviewer, stepBy(2, u"approve"_s, author.name),
         u"a step of review 1 is taken by %1, not by %2"_s.arg(reviewer.name, author.name)},
        {"a step out of turn", &reviewer, stepBy(3, u"approve"_s, reviewer.name),
         u"review 1 changed meanwhile: its next step is 2, not 3"_s},
        {"a step on a version never submitted", &reviewer,
         stepBy(2, u"approve"_s, reviewer.name, u"null"_s, u"null"_s, 2),
         u"the step of review 1 names version 2, and its latest is 1"_s},
        {"approving one's own plan", &author, stepBy(2, u"approve"_s, author.name),
         u"%1 cannot review a plan of their own"_s.arg(author.name)},
        {"reviewing without one city's right", &narrow, stepBy(2, u"approve"_s, narrow.name),
         u"has no right to approve review 1 in the cities %1"_s.arg(firstCity)},
        {"a return without a reason", &reviewer, stepBy(2, u"return"_s, reviewer.name, u"'  '"_s),
         u"the step return of review 1 needs a comment"_s},
        {"applying a plan waiting for review", &author, stepBy(2, u"apply"_s, author.name),
         u"review 1 cannot take the step apply after submit"_s},
        {"a reviewer's own version", &reviewer,
         u"insert into corvan_review select reviewno, 2, title, filename, checksum, '%1', submitted, "
         u"rowcount, "
         u"cities, sheet, verdicts from corvan_review where reviewno = 1"_s.arg(reviewer.name),
         u"permission denied for table corvan_review"_s},
        {"a version without its submit step", &author,
         u"insert into corvan_review select reviewno, 2, title, filename, checksum, author, submitted, "
         u"rowcount, "
         u"cities, sheet, verdicts from corvan_review where reviewno = 1"_s,
         u"version 2 of review 1 was written without its submit step"_s},
        {"rewriting the log", &reviewer, u"update corvan_review_log set actor = '%1'"_s.arg(reviewer.name),
         u"permission denied for table corvan_review_log"_s},
        {"erasing the log", &author, u"delete from corvan_review_log"_s,
         u"permission denied for table corvan_review_log"_s},
        {"changing the approved rows", &author, u"update corvan_review set sheet = '[]'"_s,
         u"permission denied for table corvan_review"_s},
        {"turning review off", &author, u"delete from corvan_review_setting"_s,
         u"permission denied for table corvan_review_setting"_s},
    };
    const QStringList submittedState = everything();
    for (const Attack& attack : whileWaiting) {
        const QString refusal = attack.who->send(attack.statements);
        EXPECT_TRUE(refusal.contains(attack.refusal))
            << attack.what << ": " << refusal.toStdString() << "\n  wanted: " << attack.refusal.toStdString();
        EXPECT_EQ(everything(), submittedState) << attack.what;
    }
    // Through the product the narrow reviewer is told which city it lacks, by name.
    EXPECT_EQ(PlanReview::decide(narrow.context, 1, ReviewAction::Approve, {}).message,
              u"没有审核这些地市计划的权限："_s + moves.constFirst().cityName);

    // The reviewer, a reader on the server, checks the stored rows as they stand now.
    const std::optional<Review> stored = PlanReview::read(reviewer.context, 1, true, &error);
    ASSERT_TRUE(stored) << error.toStdString();
    PlanRun now(reviewer.context);
    now.setReviewing(true);
    ASSERT_TRUE(now.load(stored->latest().sheet, &error)) << error.toStdString();
    EXPECT_TRUE(now.check().done());
    EXPECT_EQ(now.results().size(), moves.size());

    ASSERT_TRUE(PlanReview::decide(reviewer.context, 1, ReviewAction::Approve, {}).done());
    const Attack whileApproved[] = {
        {"an apply step that names no plan", &author, stepBy(3, u"apply"_s, author.name),
         u"review 1 is applied only by the plan its transaction writes from its rows"_s},
        {"an apply step naming another plan", &author,
         u"insert into corvan_plan(plancode, title, filename, checksum, planuser, plantime, rowcount) values "
         u"('00000000000000000001', 't', 'f', 'c', session_user, localtimestamp(0), 9)\n"_s +
             stepBy(3, u"apply"_s, author.name, u"null"_s, u"'00000000000000000001'"_s),
         u"is applied only by the plan its transaction writes from its rows"_s},
        {"a second approval", &reviewer, stepBy(3, u"approve"_s, reviewer.name),
         u"review 1 cannot take the step approve after approve"_s},
    };
    const QStringList approvedState = everything();
    for (const Attack& attack : whileApproved) {
        const QString refusal = attack.who->send(attack.statements);
        EXPECT_TRUE(refusal.contains(attack.refusal))
            << attack.what << ": " << refusal.toStdString() << "\n  wanted: " << attack.refusal.toStdString();
        EXPECT_EQ(everything(), approvedState) << attack.what;
    }

    // The product's own apply and reversal pass every rule, and the log tells who did what.
    PlanRun run(author.context);
    const CommitOutcome applied = PlanReview::apply(author.context, 1, run);
    ASSERT_TRUE(applied.done()) << applied.message.toStdString();
    EXPECT_NE(PlanFixture::resources(db), before);
    const PlanReversal::Preview preview = PlanReversal::preview(author.context, applied.recordCode);
    ASSERT_TRUE(preview.ok()) << preview.refusal.toStdString();
    const CommitOutcome reversed = PlanReversal::run(author.context, preview);
    ASSERT_TRUE(reversed.done()) << reversed.message.toStdString();
    EXPECT_EQ(PlanFixture::resources(db), before);
    EXPECT_EQ(
        db.rows(u"select step, action, actor, coalesce(plancode, '') from corvan_review_log order by step"_s),
        (QStringList{u"1|submit|"_s + author.name + u'|', u"2|approve|"_s + reviewer.name + u'|',
                     u"3|apply|%1|%2"_s.arg(author.name, applied.recordCode),
                     u"4|reverse|%1|%2"_s.arg(author.name, applied.recordCode)}));
}

} // namespace
