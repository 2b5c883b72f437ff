// SPDX-License-Identifier: MIT
#include "corvan/controls/property_item.h"
#include "corvan/controls/property_items.h"
#include "entry/cls_main.h"
#include "core/mdl_pub_var.h"
#include "core/cell_loader.h"
#include "support/fixture.h"
#include "support/test_host.h"

#include <QObject>
#include <deque>
#include <gtest/gtest.h>

using namespace corvan;
using corvan::test::Fixture;
using corvan::test::TestDatabase;
using corvan::test::TestHost;

namespace {

// Every row of a grid's root list as "key|caption|type|value", with "hidden" for an
// invisible row and the children in brackets.
QStringList rows(const PropertyItems& items)
{
    QStringList out;
    for (const auto& item : items) {
        QString row = item->Key() + QLatin1Char('|') + item->Caption() + QLatin1Char('|') +
                      QString::number(item->Type()) + QLatin1Char('|') + item->Value().toString();
        if (!item->Visible())
            row += QStringLiteral("|hidden");
        const QStringList children = rows(item->Children());
        if (!children.isEmpty())
            row += QStringLiteral("[") + children.join(QLatin1Char(';')) + QStringLiteral("]");
        out << row;
    }
    return out;
}

QStringList lines(const MoveBtsState& state)
{
    QStringList out;
    for (const LineEntry& e : state.lineList)
        out << QStringList{e.kind, e.code, e.ci, e.spare, e.label}.join(QLatin1Char('|'));
    return out;
}

QStringList cells(const MoveBtsState& state)
{
    QStringList out;
    for (const CellEntry& c : state.cellList)
        out << QStringList{c.cellcode, c.ci, c.cellname}.join(QLatin1Char('|'));
    return out;
}

class CellLoaderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Fixture::load(db);
        // How the host shows a cell record of every network.
        for (const char* view : {"res_gcell", "res_ccell", "res_dcell"}) {
            db.exec(
                QStringLiteral("insert into host_field(viewname,fieldname,serial,caption,datatype,groupname,"
                               "display,emphasis,required,lookup) values "
                               "('%1','cellcode',1,'小区编码','char','基本信息','Y','0','Y',null),"
                               "('%1','cellname',2,'小区名称','char','基本信息','Y','1','N',null),"
                               "('%1','ci',3,'CI','char','基本信息','Y','1','N',null),"
                               "('%1','city',4,'所属地市','custom','位置信息','Y','0','N','city'),"
                               "('%1','bts',5,'所属基站','char','位置信息','Y','0','N',null)")
                    .arg(QString::fromLatin1(view)));
        }
        // G BTS 101 of 甲市: two cells. A cell of BTS 102 shares CI 3022; a cell numbered
        // like BTS 101 stands in another city.
        db.exec(QStringLiteral("insert into res_gcell(cellcode,cellname,ci,city,bts) values "
                               "('GC1','甲一小区1','3021','11','101'),"
                               "('GC2',null,'3022','11','101'),"
                               "('GC3','甲二小区1','3022','11','102'),"
                               "('GC9','乙市小区','3021','12','101')"));
        // Antennas in the order of the cells' CIs, so both engines return the same order.
        db.exec(QStringLiteral("insert into res_gant(antcode,antname,ci,city) values "
                               "('GA1','天线甲','3021','11'),"
                               "('GA2','天线乙','3021','11'),"
                               "('GA3','BTS 102 的天线','3022','11'),"
                               "('GA8','别市天线','3021','12'),"
                               "('GA9','别区天线','3099','11')"));
        db.exec(QStringLiteral("insert into res_gantline(linecode,lineid,ci,city) values "
                               "('GL1','L-07','3021','11'),"
                               "('GL2',null,'3022','11'),"
                               "('GL9','L-99','3021','12')"));
        // C BTS 202: one cell with a feeder and no antenna; C BTS 201 has no cell.
        db.exec(QStringLiteral("insert into res_ccell(cellcode,cellname,ci,city,bts) values "
                               "('CC1','甲二C小区','5001','11','202')"));
        db.exec(QStringLiteral("insert into res_cantline(linecode,lineid,ci,city) values "
                               "('CL1',' C-01 ','5001','11'),('CL2','C-02','5001','11')"));
        component.initEnv(host.objectArray());
        host.recorder()->clear();
    }
    void TearDown() override { mdlPubVar::instance().reset(); }

    void load(const QString& net, const QString& city, const QString& number)
    {
        state.net = net;
        CellLoader::viewCell(
            state, city, number,
            [this](int index) -> PropertyItems& {
                requested.push_back(index);
                while (cellGrids.size() <= std::size_t(index))
                    cellGrids.emplace_back();
                return cellGrids[std::size_t(index)];
            },
            lineGrid);
    }

    TestDatabase db;
    TestHost host{db};
    clsMain component;
    MoveBtsState state;
    std::deque<PropertyItems> cellGrids;
    std::vector<int> requested;
    PropertyItems lineGrid;
};

} // namespace

TEST(CellLoaderStatements, ExactTexts)
{
    const QList<CellEntry> two{{QStringLiteral("A"), QStringLiteral("3021"), QString()},
                               {QStringLiteral("B"), QStringLiteral("3022"), QString()}};
    EXPECT_EQ(CellLoader::cellStatement(QStringLiteral("G"), QStringLiteral("21"), QStringLiteral("3")),
              QStringLiteral("select cellcode,ci,cellname from res_gcell where city='21' and bts='3'"));
    EXPECT_EQ(CellLoader::antennaStatement(QStringLiteral("G"), QStringLiteral("21"), two),
              QStringLiteral("select * from res_gant where city='21' and ( ci='3021' or ci='3022')"));
    EXPECT_EQ(CellLoader::feederStatement(QStringLiteral("G"), QStringLiteral("21"), two),
              QStringLiteral("select * from res_gantline where city='21' and( ci='3021' or ci='3022')"));
    EXPECT_EQ(CellLoader::antennaStatement(QStringLiteral("D"), QStringLiteral("5"), two.mid(0, 1)),
              QStringLiteral("select * from res_dant where city='5' and ( ci='3021')"));
    EXPECT_EQ(CellLoader::feederStatement(QStringLiteral("C"), QStringLiteral("5"), two.mid(1)),
              QStringLiteral("select * from res_cantline where city='5' and( ci='3022')"));

    // Quotes in values are doubled; they can never end a literal.
    const QList<CellEntry> quoted{{QStringLiteral("A"), QStringLiteral("30'21"), QString()}};
    EXPECT_EQ(
        CellLoader::cellStatement(QStringLiteral("C"), QStringLiteral("2'1"), QStringLiteral("x' or '1'='1")),
        QStringLiteral(
            "select cellcode,ci,cellname from res_ccell where city='2''1' and bts='x'' or ''1''=''1'"));
    EXPECT_EQ(CellLoader::antennaStatement(QStringLiteral("G"), QStringLiteral("2'1"), quoted),
              QStringLiteral("select * from res_gant where city='2''1' and ( ci='30''21')"));

    // Only the letters G, C and D name tables; no cell, no antenna or feeder statement.
    EXPECT_EQ(CellLoader::cellStatement(QStringLiteral("X"), QStringLiteral("21"), QStringLiteral("3")),
              QString());
    EXPECT_EQ(CellLoader::antennaStatement(QStringLiteral("gcell; drop"), QStringLiteral("21"), two),
              QString());
    EXPECT_EQ(CellLoader::antennaStatement(QStringLiteral("G"), QStringLiteral("21"), {}), QString());
    EXPECT_EQ(CellLoader::feederStatement(QStringLiteral("G"), QStringLiteral("21"), {}), QString());
}

TEST_F(CellLoaderTest, BtsWithoutCellsLooksUpNoAntennaOrFeeder)
{
    load(QStringLiteral("C"), QStringLiteral("11"), QStringLiteral("201"));
    EXPECT_EQ(host.recorder()->statements(),
              QStringList{QStringLiteral(
                  "select cellcode,ci,cellname from res_ccell where city='11' and bts='201'")});
    EXPECT_EQ(state.cellCount, 0);
    EXPECT_TRUE(state.cellList.isEmpty());
    EXPECT_TRUE(state.cellMap.isEmpty());
    EXPECT_TRUE(state.lineList.isEmpty());
    EXPECT_EQ(state.antCount, 0);
    EXPECT_EQ(state.lineCount, 0);
    EXPECT_TRUE(requested.empty());
    EXPECT_EQ(rows(lineGrid), QStringList{QStringLiteral("G:ANT|天线|1200|")});
}

TEST_F(CellLoaderTest, CellsAntennasAndFeedersInDatabaseOrder)
{
    load(QStringLiteral("G"), QStringLiteral("11"), QStringLiteral("101"));

    EXPECT_EQ(
        host.recorder()->statements(),
        (QStringList{
            QStringLiteral("select cellcode,ci,cellname from res_gcell where city='11' and bts='101'"),
            QStringLiteral("select * from res_gant where city='11' and ( ci='3021' or ci='3022')"),
            QStringLiteral("select * from res_gantline where city='11' and( ci='3021' or ci='3022')")}));
    EXPECT_EQ(db.rows(host.recorder()->statements().at(0)),
              (QStringList{QStringLiteral("GC1|3021|甲一小区1"), QStringLiteral("GC2|3022|")}));

    // A NULL cellname is empty text.
    EXPECT_EQ(state.cellCount, 2);
    EXPECT_EQ(cells(state), (QStringList{QStringLiteral("GC1|3021|甲一小区1"), QStringLiteral("GC2|3022|")}));
    ASSERT_EQ(state.cellMap.size(), 2);
    EXPECT_EQ(state.cellMap.at(0).first, QStringLiteral("K:GC1"));
    EXPECT_EQ(state.cellMap.at(1).first, QStringLiteral("K:GC2"));
    const AttrTable& second = state.cellMap.at(1).second;
    ASSERT_EQ(second.FieldCount(), 5);
    EXPECT_EQ(second.at(AttrTable::DisplayValue, second.findField(QStringLiteral("ci"))),
              QStringLiteral("3022"));
    EXPECT_EQ(second.at(AttrTable::DisplayValue, second.findField(QStringLiteral("city"))),
              QStringLiteral("甲市"));

    // One read-only row per field of the cell, shown values as the host gave them.
    EXPECT_EQ(requested, (std::vector<int>{0, 1}));
    ASSERT_EQ(cellGrids.size(), 2U);
    EXPECT_EQ(
        rows(cellGrids[0]),
        (QStringList{QStringLiteral("cellcode|小区编码|1201|GC1"),
                     QStringLiteral("cellname|小区名称|1201|甲一小区1"), QStringLiteral("ci|CI|1201|3021"),
                     QStringLiteral("city|所属地市|1201|甲市"), QStringLiteral("bts|所属基站|1201|101")}));
    EXPECT_EQ(rows(cellGrids[1]).at(1), QStringLiteral("cellname|小区名称|1201|"));

    // The antenna of BTS 102 shares city and CI, so it is loaded too; a NULL lineid is empty.
    EXPECT_EQ(state.antCount, 3);
    EXPECT_EQ(state.lineCount, 2);
    EXPECT_EQ(lines(state),
              (QStringList{QStringLiteral("A|GA1|3021||天线1"), QStringLiteral("A|GA2|3021||天线2"),
                           QStringLiteral("A|GA3|3022||天线3"), QStringLiteral("L|GL1|3021||L-07"),
                           QStringLiteral("L|GL2|3022||")}));
    EXPECT_EQ(
        rows(lineGrid),
        (QStringList{QStringLiteral("G:ANT|天线|1200|"), QStringLiteral("K:A:GA1|小区3021天线|1201|天线1"),
                     QStringLiteral("K:A:GA2|小区3021天线|1201|天线2"),
                     QStringLiteral("K:A:GA3|小区3022天线|1201|天线3"),
                     QStringLiteral("G:ANTLINE|馈线|1200|"), QStringLiteral("K:L:GL1|小区3021馈线|1201|L-07"),
                     QStringLiteral("K:L:GL2|小区3022馈线|1201|"),
                     QStringLiteral("P:1||203||hidden[Pop1|查看详细属性|206|]")}));

    // Nothing is written while loading.
    EXPECT_EQ(db.rows(QStringLiteral("select count(*) from res_gant")), QStringList{QStringLiteral("5")});
}

TEST_F(CellLoaderTest, FeedersWithoutAntennas)
{
    load(QStringLiteral("C"), QStringLiteral("11"), QStringLiteral("202"));
    EXPECT_EQ(state.cellCount, 1);
    EXPECT_EQ(state.antCount, 0);
    EXPECT_EQ(state.lineCount, 2);
    // The label keeps its blanks here; the summary trims them.
    EXPECT_EQ(lines(state),
              (QStringList{QStringLiteral("L|CL1|5001|| C-01 "), QStringLiteral("L|CL2|5001||C-02")}));
    EXPECT_EQ(rows(lineGrid),
              (QStringList{QStringLiteral("G:ANT|天线|1200|"), QStringLiteral("G:ANTLINE|馈线|1200|"),
                           QStringLiteral("K:L:CL1|小区5001馈线|1201| C-01 "),
                           QStringLiteral("K:L:CL2|小区5001馈线|1201|C-02"),
                           QStringLiteral("P:1||203||hidden[Pop1|查看详细属性|206|]")}));
}

TEST_F(CellLoaderTest, EveryCellAntennaAndFeederBeyondTheOldLimits)
{
    // Five cells, twelve antennas and ten feeders of D BTS 301.
    QStringList cellValues, antValues, lineValues;
    for (int c = 1; c <= 5; ++c) {
        const QString ci = QString::number(4000 + c);
        cellValues << QStringLiteral("('DC%1','D小区%1','%2','13','301')").arg(c).arg(ci);
    }
    for (int c = 1; c <= 5; ++c) {
        const QString ci = QString::number(4000 + c);
        for (int k = 1; k <= (c <= 2 ? 3 : 2); ++k)
            antValues << QStringLiteral("('DA%1%2','%3','13')").arg(c).arg(k).arg(ci);
        lineValues << QStringLiteral("('DL%1a','D-%1a','%2','13')").arg(c).arg(ci)
                   << QStringLiteral("('DL%1b','D-%1b','%2','13')").arg(c).arg(ci);
    }
    db.exec(QStringLiteral("insert into res_dcell(cellcode,cellname,ci,city,bts) values ") +
            cellValues.join(QLatin1Char(',')));
    db.exec(QStringLiteral("insert into res_dant(antcode,ci,city) values ") +
            antValues.join(QLatin1Char(',')));
    db.exec(QStringLiteral("insert into res_dantline(linecode,lineid,ci,city) values ") +
            lineValues.join(QLatin1Char(',')));

    load(QStringLiteral("D"), QStringLiteral("13"), QStringLiteral("301"));

    EXPECT_EQ(state.cellCount, 5);
    ASSERT_EQ(state.cellList.size(), 5);
    ASSERT_EQ(state.cellMap.size(), 5);
    EXPECT_EQ(state.cellMap.at(4).first, QStringLiteral("K:DC5"));
    EXPECT_EQ(requested, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(cellGrids[4].GetItem(QStringLiteral("ci"))->Value().toString(), QStringLiteral("4005"));

    EXPECT_EQ(state.antCount, 12);
    EXPECT_EQ(state.lineCount, 10);
    ASSERT_EQ(state.lineList.size(), 22);
    EXPECT_EQ(state.lineList.at(11).label, QStringLiteral("天线12"));
    EXPECT_EQ(state.lineList.at(11).kind, QStringLiteral("A"));
    EXPECT_EQ(state.lineList.at(12).kind, QStringLiteral("L"));
    EXPECT_EQ(state.lineList.at(21).label, QStringLiteral("D-5b"));
    // Two group rows, 22 resource rows and the menu holder, antennas before feeders.
    EXPECT_EQ(lineGrid.ItemCount(), 25);
    EXPECT_EQ(lineGrid.GetItem(13L)->Key(), QStringLiteral("K:A:") + state.lineList.at(11).code);
    EXPECT_EQ(lineGrid.GetItem(14L)->Key(), QStringLiteral("G:ANTLINE"));
    EXPECT_EQ(lineGrid.GetItem(25L)->Key(), QStringLiteral("P:1"));
    // The same codes as the database returns for the same statements.
    QStringList loaded;
    for (const LineEntry& e : state.lineList)
        loaded << e.code;
    QStringList expected;
    for (const QString& row : db.rows(host.recorder()->statements().at(1)))
        expected << row.section(QLatin1Char('|'), 0, 0);
    for (const QString& row : db.rows(host.recorder()->statements().at(2)))
        expected << row.section(QLatin1Char('|'), 0, 0);
    EXPECT_EQ(loaded, expected);
}

TEST_F(CellLoaderTest, FailuresEndTheLoadingWhereTheyHappen)
{
    // A failing antenna query: the cells stay, no feeder is looked up, the grid holds
    // only its first group row.
    host.recorder()->failWhen(
        [](const QString& sql) { return sql.startsWith(QStringLiteral("select * from res_gant ")); });
    load(QStringLiteral("G"), QStringLiteral("11"), QStringLiteral("101"));
    EXPECT_EQ(state.cellCount, 2);
    EXPECT_EQ(state.cellMap.size(), 2);
    EXPECT_EQ(state.antCount, 0);
    EXPECT_EQ(state.lineCount, 0);
    EXPECT_TRUE(state.lineList.isEmpty());
    EXPECT_EQ(host.recorder()->statements().size(), 2);
    EXPECT_EQ(rows(lineGrid), QStringList{QStringLiteral("G:ANT|天线|1200|")});

    // A failing feeder query keeps the antennas, without the menu holder.
    host.recorder()->clear();
    host.recorder()->failWhen(
        [](const QString& sql) { return sql.contains(QStringLiteral("res_gantline")); });
    load(QStringLiteral("G"), QStringLiteral("11"), QStringLiteral("101"));
    EXPECT_EQ(state.antCount, 3);
    EXPECT_EQ(state.lineCount, 0);
    EXPECT_EQ(state.lineList.size(), 3);
    EXPECT_EQ(lineGrid.ItemCount(), 5);
    EXPECT_FALSE(lineGrid.HasItem(QStringLiteral("P:1")));

    // A failing cell query loads nothing, also nothing left from the earlier load.
    host.recorder()->clear();
    host.recorder()->failWhen([](const QString& sql) { return sql.contains(QStringLiteral("res_gcell")); });
    load(QStringLiteral("G"), QStringLiteral("11"), QStringLiteral("101"));
    EXPECT_EQ(host.recorder()->statements().size(), 1);
    EXPECT_EQ(state.cellCount, 0);
    EXPECT_TRUE(state.cellList.isEmpty());
    EXPECT_TRUE(state.cellMap.isEmpty());
    EXPECT_EQ(state.antCount, 0);
    EXPECT_TRUE(state.lineList.isEmpty());
    EXPECT_EQ(lineGrid.ItemCount(), 0);
    host.recorder()->failWhen({});

    // A host that cannot fetch the cell's record: the first cell is listed, nothing else
    // is loaded and no antenna or feeder is looked up.
    host.recorder()->clear();
    QObject noResourceView;
    mdlPubVar::instance().setResourceViewService(&noResourceView);
    load(QStringLiteral("G"), QStringLiteral("11"), QStringLiteral("101"));
    EXPECT_EQ(state.cellCount, 2);
    EXPECT_EQ(cells(state), QStringList{QStringLiteral("GC1|3021|甲一小区1")});
    EXPECT_TRUE(state.cellMap.isEmpty());
    EXPECT_EQ(state.antCount, 0);
    EXPECT_EQ(host.recorder()->statements().size(), 1);
    mdlPubVar::instance().reset();
}
