// SPDX-License-Identifier: MIT
// A relocation plan sent by a relocator role, whom the server's rules bind: rows that hand a
// room from one BTS to the next in one commit, and the plan's reversal, pass every rule the
// wizard's single relocations pass. Its check runs while another desk holds every city, and
// nothing can be attached to it afterwards.

#include "core/context/mdl_pub_var.h"
#include "core/plan/plan_columns.h"
#include "core/plan/plan_reversal.h"
#include "core/plan/plan_run.h"
#include "data/context_service_impl.h"
#include "data/sql_data_service.h"
#include "desktop/host_services.h"
#include "server_role.h"
#include "support/plan_fixture.h"

#include <gtest/gtest.h>
#include <memory>

using namespace corvan;
using corvan::test::PlanFixture;
using corvan::test::ServerRole;
using corvan::test::TestDatabase;

namespace {

TEST(PlanServerRules, ARelocatorsPlanThatHandsRoomsOnAppliesAndReversesAsOne)
{
    TestDatabase db;
    if (!db.isPostgresql())
        GTEST_SKIP() << "needs the PostgreSQL server of the postgresql run";
    PlanFixture::load(db, 120);
    const ServerRole role(db, db.rows(QStringLiteral("select city_id from com_city order by city_id")));
    host::SqlDataService data;
    QString error;
    QString user;
    ASSERT_TRUE(data.open(role.urlWithPassword(), &error) &&
                host::ContextServiceImpl::identify(data.database(), QString(), &user, &error))
        << error.toStdString();
    host::HostServices services(&data);
    services.configure(user, QStringLiteral("4"));
    mdlPubVar context;
    ASSERT_EQ(context.setServices(services.objectArray()), mdlPubVar::Services::Stored);

    // G BTS a leaves its room for a free one; BTS b of the same city takes a's room in the
    // next row, after it; then twelve more moves over G, C and D.
    const QStringList pair = db.rows(QStringLiteral(
        "select b1.basenum,r1.roomno,b2.basenum,c.city_name,b2.longitude,b2.latitude from res_gbts b1,"
        "res_baseroom r1,res_gbts b2,res_baseroom r2,com_city c where r1.gbts=b1.basenum and "
        "r2.gbts=b2.basenum "
        "and b1.city=b2.city and c.city_id=b1.city and b1.basenum<b2.basenum and r1.roomno is not null "
        "order by b1.basecode,b2.basecode"));
    ASSERT_FALSE(pair.isEmpty());
    const QStringList p = pair.first().split(QLatin1Char('|'));
    QList<PlanFixture::Move> moves;
    for (const PlanFixture::Move& move : PlanFixture::moves(db, 14))
        if (move.number != p.at(0) && move.number != p.at(2) && moves.size() < 12)
            moves << move;
    // a's target: a free room of the city from the end, where the fixture's moves take none.
    const QString free =
        db.rows(QStringLiteral("select roomno from res_baseroom where city=(select city from "
                               "res_gbts where basenum='%1') and (gbts is null or gbts='') and "
                               "roomno is not null order by roomcode desc")
                    .arg(p.at(0)))
            .value(0);
    ASSERT_FALSE(free.isEmpty());
    const PlanFixture::Move a{QStringLiteral("G"), p.at(3), p.at(0), free, {}, {}, {}};
    for (const PlanFixture::Move& move : std::as_const(moves))
        ASSERT_NE(move.roomNumber, a.roomNumber);
    moves.prepend(PlanFixture::Move{QStringLiteral("G"), p.at(3), p.at(2), p.at(1), p.at(4), p.at(5), {}});
    moves.prepend(a);
    // a's own coordinates.
    const QStringList own =
        db.rows(QStringLiteral("select longitude,latitude from res_gbts where basenum='%1'").arg(p.at(0)));
    moves[0].longitude = own.value(0).section(QLatin1Char('|'), 0, 0);
    moves[0].latitude = own.value(0).section(QLatin1Char('|'), 1, 1);

    QStringList headings;
    const PlanColumns columns = PlanColumns::of(context);
    for (const PlanColumn& column : columns.columns())
        headings << column.heading;
    const QStringList before = PlanFixture::resources(db);
    PlanRun run(context);
    ASSERT_TRUE(run.load(PlanFixture::sheet(headings, moves), &error)) << error.toStdString();
    // Another desk holds every city in an open transaction, and this desk waits a tenth of a
    // second at most: the check takes no lock and is not held up; the apply is, until the
    // other desk is done.
    host::SqlDataService holder;
    ASSERT_TRUE(holder.open(db.location(), &error)) << error.toStdString();
    ASSERT_TRUE(holder.BeginTrans(QLatin1String(SystemDatabase)));
    ASSERT_TRUE(holder.LockCities(db.rows(QStringLiteral("select city_id from com_city"))))
        << holder.LastError().toStdString();
    ASSERT_TRUE(data.setLockWait(100));
    const CommitOutcome checked = run.check();
    QStringList verdicts;
    for (const PlanRowResult& result : run.results())
        verdicts << QString::number(result.line) + QLatin1Char('|') + result.verdict;
    ASSERT_TRUE(checked.done()) << checked.message.toStdString()
                                << verdicts.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(
        run.apply({QStringLiteral("交接"), QStringLiteral("交接.csv"), QStringLiteral("c0ffee")}).result,
        CommitOutcome::Result::Busy);
    ASSERT_TRUE(holder.RollbackTrans(QLatin1String(SystemDatabase)));
    const CommitOutcome applied =
        run.apply({QStringLiteral("交接"), QStringLiteral("交接.csv"), QStringLiteral("c0ffee")});
    ASSERT_TRUE(applied.done()) << applied.message.toStdString();
    EXPECT_EQ(db.rows(QStringLiteral("select gbts from res_baseroom where roomno='%1'").arg(p.at(1))),
              QStringList{p.at(2)});
    EXPECT_EQ(db.rows(QStringLiteral("select planuser,rowcount from corvan_plan")),
              QStringList{role.name() + QStringLiteral("|14")});

    // The role cannot attach a relocation of its own to the applied plan afterwards, so that
    // the plan's reversal would undo it: an entry may name only a plan its transaction wrote.
    ASSERT_TRUE(data.BeginTrans(QLatin1String(SystemDatabase)));
    EXPECT_FALSE(data.ExecuteSql(
        QLatin1String(SystemDatabase),
        QStringLiteral("insert into corvan_journal(discode,net,basecode,entry,plancode,planrow) values "
                       "('99999999999999999999','G','%1','{}','%2',1)")
            .arg(db.rows(QStringLiteral("select basecode from res_gbts where basenum='%1'").arg(p.at(0)))
                     .value(0),
                 applied.recordCode)));
    EXPECT_TRUE(data.LastError().contains(QStringLiteral("which its transaction did not write")))
        << data.LastError().toStdString();
    ASSERT_TRUE(data.RollbackTrans(QLatin1String(SystemDatabase)));

    const PlanReversal::Preview preview = PlanReversal::preview(context, applied.recordCode);
    ASSERT_TRUE(preview.ok()) << preview.refusal.toStdString();
    const CommitOutcome reversed = PlanReversal::run(context, preview);
    ASSERT_TRUE(reversed.done()) << reversed.message.toStdString();
    EXPECT_EQ(PlanFixture::resources(db), before);
}

} // namespace
