// SPDX-License-Identifier: MIT
// A plan's check in memory against its rehearsal: random plans over a few BTSs and rooms of two
// cities of the demo province (rows that move a BTS twice, into a room another row fills or
// frees, before or after it, into a taken room, a number no BTS has, a longitude that is no
// number), each checked both ways on the same database, which must give the same verdict,
// message for message, and the same cells, antennas and feeders for every row. A plan that
// passes is applied, so that later plans meet a database the earlier ones changed.
#include <gtest/gtest.h>
#include <rapidcheck.h>
#include <rapidcheck/gtest.h>

#include "core/context/mdl_pub_var.h"
#include "core/plan/plan_columns.h"
#include "core/plan/plan_run.h"
#include "support/plan_fixture.h"
#include "support/test_database.h"
#include "support/test_host.h"

using namespace corvan;
using corvan::test::PlanFixture;

namespace {

struct Pools {
    QList<PlanFixture::Move> bts[3]; // per network, a BTS with its own values, no room yet
    QStringList rooms[2];            // per city, room numbers
    QString cityNames[2];
};

// A choice among n, any of them at every size (the size sets only how many rows are drawn).
int any(int n)
{
    return *rc::gen::resize(100, rc::gen::inRange(0, n));
}

QStringList outcome(const PlanRun& run)
{
    QStringList out;
    for (const PlanRowResult& r : run.results())
        out << QStringLiteral("%1|%2|%3/%4/%5")
                   .arg(r.line)
                   .arg(r.verdict)
                   .arg(r.cells)
                   .arg(r.antennas)
                   .arg(r.feeders);
    return out;
}

TEST(PlanDifferential, TheCheckInMemoryGivesTheRehearsalsVerdictsRowForRow)
{
    const bool server = test::TestDatabase::engineFromEnvironment() == QStringLiteral("postgresql");
    if (qEnvironmentVariableIsEmpty("RC_PARAMS"))
        qputenv("RC_PARAMS",
                server ? "seed=1 max_success=6 max_size=16 noshrink=1" : "seed=1 max_success=20 max_size=30");
    test::TestDatabase db;
    PlanFixture::load(db, 120);
    test::TestHost host{db, QStringLiteral("admin")};
    mdlPubVar context;
    ASSERT_EQ(context.setServices(host.objectArray()), mdlPubVar::Services::Stored);
    QStringList headings;
    const PlanColumns columns = PlanColumns::of(context);
    for (const PlanColumn& column : columns.columns())
        headings << column.heading;

    // Two cities; in each, a few BTSs of every network and rooms that hold some of them and
    // rooms that hold none, so that rows fill, free and collide.
    Pools pools;
    const QStringList cities =
        db.rows(QStringLiteral("select city_id,city_name from com_city order by city_id"));
    ASSERT_GE(cities.size(), 2);
    const QString nets[] = {QStringLiteral("G"), QStringLiteral("C"), QStringLiteral("D")};
    for (int c = 0; c < 2; ++c) {
        const QStringList city = cities.at(c).split(QLatin1Char('|'));
        pools.cityNames[c] = city.at(1);
        for (int n = 0; n < 3; ++n)
            for (const QString& row :
                 db.rows(QStringLiteral(
                             "select b.basenum,b.longitude,b.latitude,b.belongbsc from res_%1bts b,"
                             "res_baseroom r where r.%1bts=b.basenum and b.city='%2' and r.roomno is "
                             "not null order by b.basecode")
                             .arg(nets[n].toLower(), city.at(0)))
                     .mid(0, 3)) {
                const QStringList p = row.split(QLatin1Char('|'));
                pools.bts[n] << PlanFixture::Move{nets[n], city.at(1), p.at(0), {},
                                                  p.at(1), p.at(2),    p.at(3)};
            }
        // The rooms of the pool's BTSs, and as many that hold no BTS at all.
        QStringList numbers;
        for (int n = 0; n < 3; ++n)
            for (const PlanFixture::Move& move : std::as_const(pools.bts[n]))
                if (move.cityName == city.at(1))
                    numbers << QLatin1Char('\'') + move.number + QLatin1Char('\'');
        pools.rooms[c] = db.rows(
            QStringLiteral("select roomno from res_baseroom where city='%1' and roomno is not null and "
                           "(gbts in (%2) or cbts in (%2) or dbts in (%2)) order by roomcode")
                .arg(city.at(0), numbers.join(QLatin1Char(','))));
        const qsizetype held = pools.rooms[c].size();
        pools.rooms[c] +=
            db.rows(QStringLiteral("select roomno from res_baseroom where city='%1' and roomno is not "
                                   "null and gbts is null and cbts is null and dbts is null order by "
                                   "roomcode")
                        .arg(city.at(0)))
                .mid(0, held);
    }
    ASSERT_FALSE(pools.rooms[0].isEmpty());

    int applied = 0;
    rc::detail::checkGTest([&] {
        const int rows =
            *rc::gen::resize(100, rc::gen::weightedElement<int>({{4, 1}, {4, 2}, {3, 3}, {2, 5}}));
        QList<PlanFixture::Move> plan;
        for (int i = 0; i < rows; ++i) {
            const int n = any(3);
            RC_PRE(!pools.bts[n].isEmpty());
            PlanFixture::Move move = pools.bts[n].at(any(int(pools.bts[n].size())));
            const int c = move.cityName == pools.cityNames[0] ? 0 : 1;
            // Mostly a room of the BTS's own city; now and then one of the other city.
            const int roomCity = *rc::gen::resize(100, rc::gen::weightedElement<int>({{9, c}, {1, 1 - c}}));
            if (pools.rooms[roomCity].isEmpty())
                continue;
            move.roomNumber = pools.rooms[roomCity].at(any(int(pools.rooms[roomCity].size())));
            move.cityName = pools.cityNames[roomCity];
            switch (any(16)) {
            case 0:
                move.number = QStringLiteral("99") + move.number; // no such BTS
                break;
            case 1:
                move.longitude = QStringLiteral("东经"); // no number
                break;
            case 2:
                move.longitude = QStringLiteral("500"); // off the globe
                break;
            default:
                break;
            }
            plan << move;
        }
        RC_PRE(!plan.isEmpty());
        const QList<QStringList> sheet = PlanFixture::sheet(headings, plan);
        PlanRun inMemory(context);
        PlanRun rehearsal(context);
        rehearsal.setRehearsal(true);
        QString error;
        RC_ASSERT(inMemory.load(sheet, &error));
        RC_ASSERT(rehearsal.load(sheet, &error));
        const CommitOutcome fast = inMemory.check();
        const CommitOutcome reference = rehearsal.check();
        RC_ASSERT(fast.result == reference.result);
        const QStringList found = outcome(inMemory);
        const QStringList expected = outcome(rehearsal);
        if (found != expected)
            RC_FAIL((QStringLiteral("in memory:\n") + found.join(QLatin1Char('\n')) +
                     QStringLiteral("\nrehearsed:\n") + expected.join(QLatin1Char('\n')))
                        .toStdString());
        if (fast.done()) {
            const CommitOutcome done =
                inMemory.apply({QStringLiteral("差分"), QStringLiteral("d.csv"), QStringLiteral("0")});
            RC_ASSERT(done.done());
            ++applied;
        }
    });
    EXPECT_GT(applied, 0) << "no drawn plan passed: the pools draw only refusals";
}

} // namespace
