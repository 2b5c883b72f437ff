// SPDX-License-Identifier: MIT
#include "corvan/controls/property_item.h"
#include "corvan/controls/property_items.h"
#include "entry/cls_main.h"
#include "core/mdl_pub_var.h"
#include "core/commit_steps.h"
#include "core/move_bts_state.h"
#include "support/fixture.h"
#include "support/test_host.h"

#include <QStringList>
#include <gtest/gtest.h>

using namespace corvan;
using corvan::test::Fixture;
using corvan::test::TestDatabase;
using corvan::test::TestHost;

namespace {

QString u(const char* text)
{
    return QString::fromUtf8(text);
}

MoveBtsState stateWithCells(const QString& net, const QStringList& cellCodes)
{
    MoveBtsState state;
    state.net = net;
    for (const QString& code : cellCodes)
        state.cellMap.append({QStringLiteral("K:") + code, AttrTable()});
    state.cellCount = int(cellCodes.size());
    return state;
}

// The antenna and feeder grid as the wizard fills it: antennas, then feeders, then the
// hidden popup-menu holder.
void fillLineGrid(PropertyItems& grid, const QStringList& antennas, const QStringList& feeders)
{
    grid.ClearItems();
    grid.AddItem(0, QStringLiteral("G:ANT"), u("天线"), ITEM_GROUP);
    for (const QString& code : antennas)
        grid.AddItem(0, QStringLiteral("K:A:") + code, u("小区3021天线"), ITEM_TEXT);
    grid.AddItem(0, QStringLiteral("G:ANTLINE"), u("馈线"), ITEM_GROUP);
    for (const QString& code : feeders)
        grid.AddItem(0, QStringLiteral("K:L:") + code, u("小区3021馈线"), ITEM_TEXT);
    PropertyItem* holder = grid.AddItem(0, QStringLiteral("P:1"), QString(), ITEM_MENU);
    holder->Children().AddItem(0, QStringLiteral("Pop1"), u("查看详细属性"), ITEM_MENUENTRY);
    holder->setVisible(false);
}

TEST(CommitSteps, CellStatementHasOneConditionPerLoadedCell)
{
    EXPECT_EQ(CommitSteps::cellDeleteStatement(stateWithCells(QStringLiteral("G"), {u("A"), u("B")})),
              QStringLiteral("delete from res_gcell where  cellcode='A' or cellcode='B'"));
    EXPECT_EQ(CommitSteps::cellDeleteStatement(stateWithCells(QStringLiteral("D"), {u("0001")})),
              QStringLiteral("delete from res_dcell where  cellcode='0001'"));
    EXPECT_EQ(CommitSteps::cellDeleteStatement(stateWithCells(QStringLiteral("C"), {u("O'X")})),
              QStringLiteral("delete from res_ccell where  cellcode='O''X'"));
    EXPECT_EQ(CommitSteps::cellDeleteStatement(stateWithCells(QStringLiteral("G"), {})), QString());
    // Table names come from the three network letters only.
    EXPECT_EQ(CommitSteps::cellDeleteStatement(stateWithCells(QStringLiteral("X"), {u("A")})), QString());
    EXPECT_EQ(CommitSteps::cellDeleteStatement(stateWithCells(QStringLiteral("g;drop table x"), {u("A")})),
              QString());
}

TEST(CommitSteps, LineStatementsFollowTheGridAndSkipHeadersAndMenu)
{
    PropertyItems grid;
    fillLineGrid(grid, {u("A1"), u("A'2")}, {u("L1")});
    EXPECT_EQ(CommitSteps::lineDeleteStatements(stateWithCells(QStringLiteral("C"), {}), grid),
              (QStringList{QStringLiteral("delete from res_cant where antcode='A1'"),
                           QStringLiteral("delete from res_cant where antcode='A''2'"),
                           QStringLiteral("delete from res_cantline where linecode='L1'")}));

    // Only headers and the menu holder: nothing to delete.
    fillLineGrid(grid, {}, {});
    EXPECT_EQ(grid.ItemCount(), 3);
    EXPECT_TRUE(CommitSteps::lineDeleteStatements(stateWithCells(QStringLiteral("G"), {}), grid).isEmpty());

    fillLineGrid(grid, {u("A1")}, {});
    EXPECT_TRUE(CommitSteps::lineDeleteStatements(stateWithCells(QStringLiteral("Z"), {}), grid).isEmpty());
}

class CommitStepsDbTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Fixture::load(db);
        // Cells of G BTS 101 in city 11, and one cell of BTS 102 that must stay.
        db.exec(u("insert into res_gcell(cellcode,cellname,ci,city,bts) values "
                  "('C1','一小区','3021','11','101'),('C2','二小区','3022','11','101'),"
                  "('C''3','三小区','3023','11','101'),('C9','他站小区','3099','11','102')"));
        db.exec(u("insert into res_gant(antcode,antname,ci,city) values "
                  "('A1','天线甲','3021','11'),('A2','天线乙','3021','11'),('A3','天线丙','3022','11'),"
                  "('A9','他站天线','3099','11')"));
        db.exec(u("insert into res_gantline(linecode,lineid,ci,city) values "
                  "('L1','L-07','3021','11'),('L2','L-08','3022','11'),('L9','L-99','3099','11')"));
        // The same codes on network C must never be touched by a G relocation.
        db.exec(u("insert into res_ccell(cellcode,ci,city,bts) values ('C1','3021','11','201')"));
        db.exec(u("insert into res_cant(antcode,ci,city) values ('A1','3021','11')"));
        db.exec(u("insert into res_cantline(linecode,ci,city) values ('L1','3021','11')"));
        component.initEnv(host.objectArray());
        host.recorder()->clear();
    }
    void TearDown() override { mdlPubVar::instance().reset(); }

    QStringList cells()
    {
        return db.rows(QStringLiteral("select cellcode from res_gcell order by cellcode"));
    }
    QStringList antennas()
    {
        return db.rows(QStringLiteral("select antcode from res_gant order by antcode"));
    }
    QStringList feeders()
    {
        return db.rows(QStringLiteral("select linecode from res_gantline order by linecode"));
    }
    QStringList otherNetwork()
    {
        QStringList rows =
            db.rows(QStringLiteral("select cellcode from res_ccell union all select antcode from "
                                   "res_cant union all select linecode from res_cantline"));
        rows.sort();
        return rows;
    }

    MoveBtsState loaded(const QStringList& cellCodes, int antCount, int lineCount)
    {
        MoveBtsState state = stateWithCells(QStringLiteral("G"), cellCodes);
        state.antCount = antCount;
        state.lineCount = lineCount;
        return state;
    }

    TestDatabase db;
    TestHost host{db};
    clsMain component;
};

TEST_F(CommitStepsDbTest, CellsAntennasAndFeedersGoStepByStep)
{
    const MoveBtsState state = loaded({u("C1"), u("C2"), u("C'3")}, 3, 2);
    PropertyItems grid;
    fillLineGrid(grid, {u("A1"), u("A2"), u("A3")}, {u("L1"), u("L2")});

    ASSERT_TRUE(CommitSteps::delCellDataFromDB(state));
    EXPECT_EQ(host.recorder()->statements(),
              QStringList{QStringLiteral("delete from res_gcell where  cellcode='C1' or cellcode='C2' or "
                                         "cellcode='C''3'")});
    EXPECT_EQ(cells(), QStringList{u("C9")});
    EXPECT_EQ(antennas(), (QStringList{u("A1"), u("A2"), u("A3"), u("A9")}));
    EXPECT_EQ(feeders(), (QStringList{u("L1"), u("L2"), u("L9")}));

    host.recorder()->clear();
    ASSERT_TRUE(CommitSteps::delLineDataFromDB(state, grid));
    // Antennas before feeders, one statement each, in grid order.
    EXPECT_EQ(host.recorder()->statements(),
              (QStringList{QStringLiteral("delete from res_gant where antcode='A1'"),
                           QStringLiteral("delete from res_gant where antcode='A2'"),
                           QStringLiteral("delete from res_gant where antcode='A3'"),
                           QStringLiteral("delete from res_gantline where linecode='L1'"),
                           QStringLiteral("delete from res_gantline where linecode='L2'")}));
    EXPECT_EQ(cells(), QStringList{u("C9")});
    EXPECT_EQ(antennas(), QStringList{u("A9")});
    EXPECT_EQ(feeders(), QStringList{u("L9")});
    EXPECT_EQ(otherNetwork(), (QStringList{u("A1"), u("C1"), u("L1")}));
}

TEST_F(CommitStepsDbTest, NothingLoadedRunsNothingAndSucceeds)
{
    PropertyItems grid;
    fillLineGrid(grid, {}, {});
    const MoveBtsState state = loaded({}, 0, 0);
    EXPECT_TRUE(CommitSteps::delCellDataFromDB(state));
    EXPECT_TRUE(CommitSteps::delLineDataFromDB(state, grid));
    EXPECT_TRUE(host.recorder()->statements().isEmpty());

    // The counts decide: rows in the grid without counts are left alone.
    fillLineGrid(grid, {u("A1")}, {u("L1")});
    EXPECT_TRUE(CommitSteps::delLineDataFromDB(state, grid));
    EXPECT_TRUE(host.recorder()->statements().isEmpty());

    // Counts but a grid of headers and the menu holder only: still nothing sent.
    fillLineGrid(grid, {}, {});
    EXPECT_TRUE(CommitSteps::delLineDataFromDB(loaded({}, 1, 1), grid));
    EXPECT_TRUE(host.recorder()->statements().isEmpty());
    EXPECT_EQ(cells().size(), 4);
    EXPECT_EQ(antennas().size(), 4);
    EXPECT_EQ(feeders().size(), 3);
}

TEST_F(CommitStepsDbTest, VanishedCellStillSucceedsAndFeedersGoWithoutAntennas)
{
    // C7 was deleted by someone else while the wizard was open.
    EXPECT_TRUE(CommitSteps::delCellDataFromDB(loaded({u("C7")}, 0, 0)));
    EXPECT_EQ(host.recorder()->statements(),
              QStringList{QStringLiteral("delete from res_gcell where  cellcode='C7'")});
    EXPECT_EQ(cells().size(), 4);

    host.recorder()->clear();
    PropertyItems grid;
    fillLineGrid(grid, {}, {u("L1"), u("L2")});
    EXPECT_TRUE(CommitSteps::delLineDataFromDB(loaded({u("C1")}, 0, 2), grid));
    EXPECT_EQ(host.recorder()->statements(),
              (QStringList{QStringLiteral("delete from res_gantline where linecode='L1'"),
                           QStringLiteral("delete from res_gantline where linecode='L2'")}));
    EXPECT_EQ(feeders(), QStringList{u("L9")});
    EXPECT_EQ(antennas().size(), 4);
}

TEST_F(CommitStepsDbTest, FailureStopsAndKeepsWhatWasNotReached)
{
    PropertyItems grid;
    fillLineGrid(grid, {u("A1"), u("A2"), u("A3")}, {u("L1"), u("L2")});
    host.recorder()->failWhen(
        [](const QString& sql) { return sql.endsWith(QStringLiteral("antcode='A3'")); });
    EXPECT_FALSE(CommitSteps::delLineDataFromDB(loaded({}, 3, 2), grid));
    // The third of five failed: the first two are gone, the failing one and the last two stay.
    EXPECT_EQ(host.recorder()->statements().size(), 3);
    EXPECT_EQ(antennas(), (QStringList{u("A3"), u("A9")}));
    EXPECT_EQ(feeders(), (QStringList{u("L1"), u("L2"), u("L9")}));

    // A failing cell delete deletes none of the cells.
    host.recorder()->clear();
    host.recorder()->failWhen(
        [](const QString& sql) { return sql.startsWith(QStringLiteral("delete from res_gcell")); });
    EXPECT_FALSE(CommitSteps::delCellDataFromDB(loaded({u("C1"), u("C2")}, 0, 0)));
    EXPECT_EQ(host.recorder()->statements().size(), 1);
    EXPECT_EQ(cells().size(), 4);

    // A network letter that names no table sends nothing and fails.
    host.recorder()->failWhen({});
    host.recorder()->clear();
    MoveBtsState wrong = loaded({u("C1")}, 3, 2);
    wrong.net = QStringLiteral("X");
    EXPECT_FALSE(CommitSteps::delCellDataFromDB(wrong));
    EXPECT_FALSE(CommitSteps::delLineDataFromDB(wrong, grid));
    EXPECT_TRUE(host.recorder()->statements().isEmpty());
    EXPECT_EQ(cells().size(), 4);
}

TEST_F(CommitStepsDbTest, WithoutADataServiceNothingIsDeleted)
{
    mdlPubVar::instance().reset();
    PropertyItems grid;
    fillLineGrid(grid, {u("A1")}, {});
    EXPECT_FALSE(CommitSteps::delCellDataFromDB(loaded({u("C1")}, 1, 0)));
    EXPECT_FALSE(CommitSteps::delLineDataFromDB(loaded({u("C1")}, 1, 0), grid));
    EXPECT_EQ(cells().size(), 4);
    EXPECT_EQ(antennas().size(), 4);
}

} // namespace
