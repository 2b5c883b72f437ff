// SPDX-License-Identifier: MIT
// What a relocation takes with it: the cells, antennas and feeders loaded when the wizard
// opens and deleted by the commit, the summary the user confirms, and the record it leaves.

#include "core/relocation/cell_loader.h"
#include "core/relocation/change_summary.h"
#include "core/relocation/commit_steps.h"
#include "core/relocation/relocation_record.h"
#include "support/context_test.h"
#include "support/core_helpers.h"

#include <QDate>
#include <map>
#include <vector>

using namespace corvan;
using namespace corvan::test;
using namespace Qt::StringLiterals;
using A = corvan::AttrTable;

namespace {

constexpr auto code = &Fixture::roomCode;
const QString Band = u"band|||"_s;
const QString LineMenu = u"P:1||203||hidden[Pop1|查看详细属性|206|]"_s;
constexpr auto Antenna = LineEntry::Kind::Antenna;
constexpr auto Feeder = LineEntry::Kind::Feeder;

// Fields as the page leaves them: value and text alike, one per field.
void withTexts(MoveBtsState& state, const QString& texts)
{
    const QStringList given = texts.split(u'|');
    for (qsizetype i = 0; i < state.fields.size(); ++i)
        state.fields[i].value = state.fields[i].text = given.value(i);
}

QStringList codes(std::initializer_list<int> numbers)
{
    QStringList out;
    for (int n : numbers)
        out << code(n);
    return out;
}

// G BTS 101's four cells with six antennas and five feeders, as the wizard loads them.
class CellsTest : public WizardContextTest {
protected:
    void load(const QString& net, const QString& number)
    {
        state.net = net;
        host.recorder()->clear();
        cellGrids.clear();
        const auto cellGrid = [this](int index) -> PropertyItems& {
            return cellGrids[index];
        };
        static_cast<LoadedCells&>(state) =
            CellLoader::viewCell(context, net, u"11"_s, number, cellGrid, lineGrid);
    }
    // The counts, the cells' tables and the cell grids asked for.
    QString counts() const
    {
        return u"%1 cells (%2 tables, %3 grids), %4 antennas, %5 feeders"_s.arg(state.cellCount)
            .arg(state.cellMap.size())
            .arg(cellGrids.size())
            .arg(state.antCount)
            .arg(state.lineCount);
    }
    QStringList lines() const
    {
        QStringList out;
        for (const LineEntry& e : state.lineList)
            out << QStringList{e.kind == Antenna ? u"A"_s : u"L"_s, e.code, e.ci, e.label}.join(u'|');
        return out;
    }
    QStringList left(const QString& table, const QString& column)
    {
        return db.rows(u"select %2 from %1 order by %2"_s.arg(table, column));
    }
    MoveBtsState state;
    std::map<int, PropertyItems> cellGrids;
    PropertyItems lineGrid;
};

TEST(CellLoaderStatements, ExactTextsOfEveryNetwork)
{
    const QList<CellEntry> two{{u"A"_s, u"3021"_s, QString()}, {u"B"_s, u"3022"_s, QString()}};
    const std::pair<QString, QString> texts[] = {
        {CellLoader::feederStatement(u"D"_s, u"5"_s, two),
         u"select * from res_dantline where city='5' and( ci='3021' or ci='3022')"_s},
        // Quotes in values are doubled; they can never end a literal.
        {CellLoader::cellStatement(u"C"_s, u"2'1"_s, u"x' or '1'='1"_s),
         u"select cellcode,ci,cellname from res_ccell where city='2''1' and bts='x'' or ''1''=''1'"_s},
        {CellLoader::antennaStatement(u"G"_s, u"2'1"_s, {{u"A"_s, u"30'21"_s, QString()}}),
         u"select * from res_gant where city='2''1' and ( ci='30''21')"_s},
        // Only the letters G, C and D name tables; without a cell no antenna or feeder statement.
        {CellLoader::cellStatement(u"X"_s, u"21"_s, u"3"_s), QString()},
        {CellLoader::antennaStatement(u"G"_s, u"21"_s, {}) + CellLoader::feederStatement(u"G"_s, u"21"_s, {}),
         QString()}};
    for (const auto& [text, expected] : texts)
        EXPECT_EQ(text, expected);
}

TEST_F(CellsTest, LoadsTheCellsAntennasAndFeedersAndTheCommitDeletesExactlyThose)
{
    const QStringList before = WizardFixture::dump(db);
    load(u"G"_s, u"101"_s);
    const QString cis = u"ci='3021' or ci='3022' or ci='3023' or ci='3024')"_s;
    EXPECT_EQ(sent(),
              (QStringList{u"select cellcode,ci,cellname from res_gcell where city='11' and bts='101'"_s,
                           u"select * from res_gant where city='11' and ( "_s + cis,
                           u"select * from res_gantline where city='11' and( "_s + cis}));
    EXPECT_EQ(counts(), u"4 cells (4 tables, 4 grids), 6 antennas, 5 feeders"_s);
    // A NULL cellname or lineid is empty text.
    QStringList cells;
    for (const CellEntry& c : state.cellList)
        cells << QStringList{c.cellcode, c.ci, c.cellname}.join(u'|');
    EXPECT_EQ(cells, (QStringList{code(301) + u"|3021|甲一小区1"_s, code(302) + u"|3022|"_s,
                                  code(303) + u"|3023|甲一小区3"_s, code(304) + u"|3024|甲一小区4"_s}));
    // One read-only row per field of the cell, values as the host shows them.
    EXPECT_EQ(itemRows(cellGrids[0]),
              (QStringList{u"cellcode|小区编码|1201|"_s + code(301), u"cellname|小区名称|1201|甲一小区1"_s,
                           u"ci|小区CI|1201|3021"_s, u"city|所属地市|1201|甲市"_s,
                           u"bts|所属基站编号|1201|101"_s}));
    EXPECT_EQ(itemRows(cellGrids[1]).at(1), u"cellname|小区名称|1201|"_s);
    const auto antenna = [](int n, const char* ci, int k) {
        return u"K:A:%1|小区%2天线|1201|天线%3"_s.arg(code(n), QString::fromUtf8(ci)).arg(k);
    };
    const auto feeder = [](int n, const char* ci, const char* id) {
        return u"K:L:%1|小区%2馈线|1201|%3"_s.arg(code(n), QString::fromUtf8(ci), QString::fromUtf8(id));
    };
    EXPECT_EQ(itemRows(lineGrid),
              (QStringList{u"G:ANT|天线|1200|"_s, antenna(401, "3021", 1), antenna(402, "3021", 2),
                           antenna(403, "3022", 3), antenna(404, "3023", 4), antenna(405, "3024", 5),
                           antenna(406, "3024", 6), u"G:ANTLINE|馈线|1200|"_s, feeder(501, "3021", "L-01"),
                           feeder(502, "3022", "L-02"), feeder(503, "3023", ""), feeder(504, "3024", "L-04"),
                           feeder(505, "3024", "L-05"), LineMenu}));
    EXPECT_EQ(lines().at(5) + u'/' + lines().at(8),
              u"A|%1|3024|天线6/L|%2|3023|"_s.arg(code(406), code(503)));
    EXPECT_EQ(WizardFixture::dump(db), before);

    // The commit: one statement for the cells, then one per antenna and feeder, in grid order.
    ASSERT_TRUE(CommitSteps::delCellDataFromDB(context, state));
    ASSERT_TRUE(CommitSteps::delLineDataFromDB(context, state));
    QStringList deletes{u"delete from res_gcell where  cellcode='%1' or cellcode='%2' or cellcode='%3' or "
                        "cellcode='%4'"_s.arg(code(301), code(302), code(303), code(304))};
    for (int n = 401; n <= 406; ++n)
        deletes << u"delete from res_gant where antcode='%1'"_s.arg(code(n));
    for (int n = 501; n <= 505; ++n)
        deletes << u"delete from res_gantline where linecode='%1'"_s.arg(code(n));
    EXPECT_EQ(sent().mid(3), deletes);
    EXPECT_EQ(left(u"res_gcell"_s, u"cellcode"_s) + left(u"res_gant"_s, u"antcode"_s), codes({305, 407}));
    EXPECT_EQ(left(u"res_gantline"_s, u"linecode"_s), QStringList());
}

TEST_F(CellsTest, FeedersWithoutAntennasAndABtsWithoutCells)
{
    db.exec(u"insert into res_ccell(cellcode,ci,city,bts) values ('CC1','5001','11','202')"_s);
    db.exec(u"insert into res_cantline(linecode,lineid,ci,city) values ('CL1',' C-01 ','5001','11'),"
            "('CL2','C-02','5001','11')"_s);
    load(u"C"_s, u"202"_s);
    EXPECT_EQ(counts(), u"1 cells (1 tables, 1 grids), 0 antennas, 2 feeders"_s);
    // The label keeps its blanks here; the summary trims them.
    EXPECT_EQ(lines(), (QStringList{u"L|CL1|5001| C-01 "_s, u"L|CL2|5001|C-02"_s}));
    EXPECT_EQ(itemRows(lineGrid), (QStringList{u"G:ANT|天线|1200|"_s, u"G:ANTLINE|馈线|1200|"_s,
                                               u"K:L:CL1|小区5001馈线|1201| C-01 "_s,
                                               u"K:L:CL2|小区5001馈线|1201|C-02"_s, LineMenu}));
    host.recorder()->clear();
    ASSERT_TRUE(CommitSteps::delLineDataFromDB(context, state));
    EXPECT_EQ(sent(), (QStringList{u"delete from res_cantline where linecode='CL1'"_s,
                                   u"delete from res_cantline where linecode='CL2'"_s}));
    // No cell: no antenna or feeder is looked up, nothing of the BTS before stays, and the
    // commit has nothing to delete.
    load(u"C"_s, u"201"_s);
    EXPECT_EQ(sent(),
              QStringList{u"select cellcode,ci,cellname from res_ccell where city='11' and bts='201'"_s});
    EXPECT_EQ(counts(), u"0 cells (0 tables, 0 grids), 0 antennas, 0 feeders"_s);
    EXPECT_TRUE(state.cellList.isEmpty() && state.lineList.isEmpty());
    EXPECT_EQ(itemRows(lineGrid), QStringList{u"G:ANT|天线|1200|"_s});
    EXPECT_TRUE(CommitSteps::delCellDataFromDB(context, state) &&
                CommitSteps::delLineDataFromDB(context, state));
    EXPECT_EQ(sent().size(), 1);
    EXPECT_EQ(left(u"res_cantline"_s, u"linecode"_s), QStringList());
}

TEST_F(CellsTest, AFailedQueryEndsTheLoadingWhereItHappens)
{
    // The antennas fail: the cells stay, no feeder is looked up, only the first group row.
    host.recorder()->failWhen(
        [](const QString& sql) { return sql.startsWith(u"select * from res_gant "_s); });
    load(u"G"_s, u"101"_s);
    EXPECT_EQ(counts(), u"4 cells (4 tables, 4 grids), 0 antennas, 0 feeders"_s);
    EXPECT_EQ(sent().size(), 2);
    EXPECT_EQ(state.lineList.size() + itemRows(lineGrid).size(), 1);
    // The feeders fail: the antennas stay, without the menu holder.
    host.recorder()->failWhen([](const QString& sql) { return sql.contains(u"res_gantline"_s); });
    load(u"G"_s, u"101"_s);
    EXPECT_EQ(counts(), u"4 cells (4 tables, 4 grids), 6 antennas, 0 feeders"_s);
    EXPECT_EQ(state.lineList.size(), 6);
    EXPECT_EQ(lineGrid.ItemCount(), 8);
    EXPECT_FALSE(lineGrid.HasItem(u"P:1"_s));
    // The cells fail: nothing is loaded, nothing of the earlier load stays either.
    host.recorder()->failWhen([](const QString& sql) { return sql.contains(u"res_gcell"_s); });
    load(u"G"_s, u"101"_s);
    EXPECT_EQ(sent().size(), 1);
    EXPECT_EQ(counts(), u"0 cells (0 tables, 0 grids), 0 antennas, 0 feeders"_s);
    EXPECT_EQ(state.cellList.size() + state.lineList.size() + itemRows(lineGrid).size(), 0);
    // A host that cannot hand over a cell's record: the first cell is listed, nothing else
    // is loaded and no antenna or feeder is looked up.
    host.recorder()->failWhen({});
    QObject noResourceView;
    context.setResourceViewService(&noResourceView);
    load(u"G"_s, u"101"_s);
    EXPECT_EQ(state.cellList.size(), 1);
    EXPECT_EQ(counts(), u"4 cells (0 tables, 0 grids), 0 antennas, 0 feeders"_s);
    EXPECT_EQ(sent().size(), 1);
}

TEST_F(CellsTest, HoweverManyAndAFailedDeleteStopsThere)
{
    // A fifth cell (its code holding a quote) with six antennas and five feeders more: every
    // one is loaded, in the database's order for the same statements.
    db.exec(u"insert into res_gcell(cellcode,ci,city,bts) values ('30''9','3029','11','101')"_s);
    QStringList antennas{u"('A''9','3029','11')"_s};
    QStringList feeders;
    for (int k = 1; k <= 5; ++k) {
        antennas << u"('%1','3029','11')"_s.arg(code(420 + k));
        feeders << u"('%1','F-%2','3029','11')"_s.arg(code(520 + k)).arg(k);
    }
    db.exec(u"insert into res_gant(antcode,ci,city) values "_s + antennas.join(u','));
    db.exec(u"insert into res_gantline(linecode,lineid,ci,city) values "_s + feeders.join(u','));
    load(u"G"_s, u"101"_s);
    ASSERT_EQ(counts(), u"5 cells (5 tables, 5 grids), 12 antennas, 10 feeders"_s);
    QStringList loaded;
    for (const LineEntry& e : state.lineList)
        loaded << (e.kind == Antenna ? u"A"_s : u"L"_s) + e.code;
    QStringList expected;
    for (int statement : {1, 2})
        for (const QString& row : db.rows(sent().at(statement)))
            expected << (statement == 1 ? u"A"_s : u"L"_s) + row.section(u'|', 0, 0);
    EXPECT_EQ(loaded, expected);
    EXPECT_EQ(state.lineList.at(11).label, u"天线12"_s);
    // Two group rows, 22 resource rows and the menu holder, antennas before feeders.
    EXPECT_EQ(lineGrid.ItemCount(), 25);
    EXPECT_EQ(lineGrid.GetItem(14L)->Key() + lineGrid.GetItem(25L)->Key(), u"G:ANTLINEP:1"_s);

    host.recorder()->clear();
    host.recorder()->failWhen(
        [](const QString& sql) { return sql.endsWith(u"antcode='%1'"_s.arg(code(403))); });
    EXPECT_FALSE(CommitSteps::delLineDataFromDB(context, state));
    // The third of 22 failed: the first two are gone, the failing one and the rest stay.
    EXPECT_EQ(sent().size(), 3);
    EXPECT_EQ(left(u"res_gant"_s, u"antcode"_s),
              codes({403, 404, 405, 406, 407, 421, 422, 423, 424, 425}) + QStringList{u"A'9"_s});
    EXPECT_EQ(left(u"res_gantline"_s, u"linecode"_s).size(), 10);
    host.recorder()->failWhen([](const QString& sql) { return sql.startsWith(u"delete from res_gcell"_s); });
    EXPECT_FALSE(CommitSteps::delCellDataFromDB(context, state));
    EXPECT_EQ(left(u"res_gcell"_s, u"cellcode"_s).size(), 6);
    host.recorder()->failWhen({});
    // Codes with quotes, and a cell someone else deleted meanwhile, are deleted as any other.
    db.exec(u"delete from res_gcell where cellcode='%1'"_s.arg(code(304)));
    host.recorder()->clear();
    EXPECT_TRUE(CommitSteps::delCellDataFromDB(context, state) &&
                CommitSteps::delLineDataFromDB(context, state));
    EXPECT_TRUE(sent().first().endsWith(u" or cellcode='30''9'"_s));
    EXPECT_TRUE(sent().contains(u"delete from res_gant where antcode='A''9'"_s));
    EXPECT_EQ(left(u"res_gcell"_s, u"cellcode"_s) + left(u"res_gant"_s, u"antcode"_s) +
                  left(u"res_gantline"_s, u"linecode"_s),
              codes({305, 407}));
    // A letter that names no table, or a host without a data service, deletes nothing.
    db.exec(u"insert into res_gcell(cellcode,ci,city,bts) values ('%1','3021','11','101')"_s.arg(code(301)));
    host.recorder()->clear();
    const mdlPubVar bare;
    EXPECT_FALSE(CommitSteps::delCellDataFromDB(bare, state) || CommitSteps::delLineDataFromDB(bare, state));
    state.net = u"X"_s;
    EXPECT_FALSE(CommitSteps::delCellDataFromDB(context, state) ||
                 CommitSteps::delLineDataFromDB(context, state));
    EXPECT_TRUE(sent().isEmpty());
    EXPECT_EQ(left(u"res_gcell"_s, u"cellcode"_s), codes({301, 305}));
}

// A G BTS of 甲市 in 一号机房 whose relocation changes nothing.
MoveBtsState unchanged()
{
    MoveBtsState s;
    s.net = u"G"_s;
    s.cityCode = u"11"_s;
    s.oldRoomValue = u"一号机房"_s;
    s.fields =
        btsFields({A::FieldName, A::Caption, A::DisplayValue},
                  {"basenum|基站编号|101", "city|所属地市|甲市", "belongroom|所属机房|一号机房"}, "C,M,M");
    withTexts(s, u"101|11|0001"_s);
    s.newCityName = u"甲市"_s;
    s.newRoomName = u"一号机房"_s;
    return s;
}

// The summary's rows as "c1|c2|c3|c4", a band row marked "band" before its texts.
QStringList summary(const mdlPubVar& context, const MoveBtsState& state)
{
    QStringList out;
    for (const SummaryRow& row : ChangeSummary::rows(context, state))
        out << (row.isBand() ? u"band"_s : QString()) + row.texts().join(u'|');
    return out;
}

using ChangeSummaryTest = ContextTest;

TEST_F(ChangeSummaryTest, TitleThenBtsCellAndLineSectionsEachAfterABand)
{
    MoveBtsState s = unchanged();
    s.fields = btsFields({A::FieldName, A::Caption, A::DisplayValue},
                         {"basecode|基站编码|00000000000000000101", "basenum|基站编号|101",
                          "basename|基站名称|甲一G基站 ", "city|所属地市|甲市",
                          "belongroom|所属机房|一号机房", "belongbsc|所属BSC|BSC1", "remark|备注|  老站 ",
                          "carriers|载频数|6", "county|所属区县|东区", "vendor|厂家|abc"},
                         "C,M,M,M,M,M,R,M,M,M");
    // City and room compare with the chosen names, not with the fields' texts; every other
    // field with the text the user saw.
    withTexts(s, u"00000000000000000101| 105 | 甲一G基站|12|0002|BSC 二号|| 6 |西区|ABC"_s);
    s.newCityName = u"乙市"_s;
    s.newRoomName = u"二号机房"_s;
    s.cellList = {{u"GC1"_s, u"3021"_s, u"一"_s}, {u"GC2"_s, u"3022"_s, QString()}};
    s.cellCount = 2;
    s.cellMap = {{u"GC2"_s, AttrTable()}, {u"GC1"_s, AttrTable()}, {u"GX"_s, AttrTable()}};
    s.lineList = {{Antenna, u"GA1"_s, u"3021"_s, u"天线1"_s},
                  {Antenna, u"GA2"_s, u"3022"_s, u" 天线2 "_s},
                  {Feeder, u"GL1"_s, u"3021"_s, u" L-07 "_s},
                  {Feeder, u"GL9"_s, u"3099"_s, u"多余"_s}};
    s.antCount = 2;
    s.lineCount = 1;
    EXPECT_EQ(summary(context, s),
              (QStringList{u"甲市 G网基站: 一号机房 调整记录|||"_s, Band,
                           // Compared without blanks around them, written as they are.
                           u"BTS|基站编号|101| 105 "_s, u"BTS|所属地市|甲市|乙市"_s,
                           u"BTS|所属机房|一号机房|二号机房"_s, u"BTS|所属BSC|BSC1|BSC 二号"_s,
                           u"BTS|备注|  老站 |"_s, u"BTS|所属区县|东区|西区"_s, u"BTS|厂家|abc|ABC"_s, Band,
                           // In the map's order; a key without a listed cell has no CI.
                           u"CELL|小区|3022|删除"_s, u"CELL|小区|3021|删除"_s, u"CELL|小区||删除"_s, Band,
                           // Antennas, then feeders; labels trimmed; nothing past the counts.
                           u"天线|小区3021所属|天线1|删除"_s, u"天线|小区3022所属|天线2|删除"_s,
                           u"馈线|小区3021所属|L-07|删除"_s}));
}

TEST_F(ChangeSummaryTest, SectionsOnlyWhereThereIsSomething)
{
    const QString title = u"甲市 G网基站: 一号机房 调整记录|||"_s;
    MoveBtsState s = unchanged();
    EXPECT_EQ(summary(context, s), (QStringList{title, Band}));
    // Feeders without antennas.
    s.lineList = {{Feeder, u"CL1"_s, u"5001"_s, u"C-01"_s}, {Feeder, u"CL2"_s, u"5001"_s, QString()}};
    s.lineCount = 2;
    EXPECT_EQ(summary(context, s), (QStringList{title, Band, Band, u"馈线|小区5001所属|C-01|删除"_s,
                                                u"馈线|小区5001所属||删除"_s}));
    // Counts that promise more lines than the list holds stop at its end.
    s.lineList = {{Antenna, u"GA1"_s, u"3021"_s, u"天线1"_s}};
    s.lineCount = 0;
    s.antCount = 2;
    EXPECT_EQ(summary(context, s), (QStringList{title, Band, Band, u"天线|小区3021所属|天线1|删除"_s}));
    // Cells whose CIs have no antenna or feeder: no third band.
    s = unchanged();
    s.cellList = {{u"CC1"_s, u"5001"_s, QString()}};
    s.cellCount = 1;
    s.cellMap = {{u"CC1"_s, AttrTable()}};
    EXPECT_EQ(summary(context, s), (QStringList{title, Band, Band, u"CELL|小区|5001|删除"_s}));
    // An unknown city still gives a title.
    s = unchanged();
    s.cityCode = u"99"_s;
    s.net = u"D"_s;
    s.oldRoomValue.clear();
    EXPECT_EQ(summary(context, s), (QStringList{u"未知 D网基站:  调整记录|||"_s, Band}));
}

using Kind = SummaryRow::Kind;
using Action = SummaryRow::Action;

// Summary rows written as the sheet shows them: rows apart by ';', texts by '|'; the first
// row is the title, an empty one a band.
SummaryRows rows(const char* texts)
{
    const std::map<QString, Kind> kinds{{u"BTS"_s, Kind::Bts},
                                        {u"机房"_s, Kind::Room},
                                        {u"CELL"_s, Kind::Cell},
                                        {u"天线"_s, Kind::Antenna},
                                        {u"馈线"_s, Kind::Feeder}};
    SummaryRows out;
    for (const QString& row : QString::fromUtf8(texts).split(u';')) {
        QStringList t = row.split(u'|');
        while (t.size() < 4)
            t << QString();
        const Kind kind = kinds.count(t[0]) ? kinds.at(t[0]) : Kind::Band;
        if (out.isEmpty())
            out << SummaryRow::title(t[0]);
        else if (row.isEmpty())
            out << SummaryRow::band();
        else if (kind == Kind::Bts || kind == Kind::Room)
            out << SummaryRow::change(kind, t[1], t[2], t[3]);
        else
            out << SummaryRow{kind,
                              t[1],
                              t[2],
                              {},
                              t[3] == u"删除"_s   ? Action::Delete
                              : t[3] == u"恢复"_s ? Action::Restore
                                                  : Action::Change};
    }
    return out;
}

// The finish page of a G relocation from 一号机房 to 二号机房 that deletes a cell, an
// antenna and a feeder, and the disinfo it is stored as.
const SummaryRows WorkedExample =
    rows("甲市 G网基站: 一号机房 调整记录;;BTS|所属机房|一号机房|二号机房;BTS|备注|旧备注|;;"
         "CELL|小区|3021|删除;;天线|小区3021所属|天线1|删除;馈线|小区3021所属|L-07|删除");
const QString WorkedExampleText = u"甲市 G网基站: 一号机房 调整记录 H=62s2QH=62s2Q"
                                  "BTS属性:所属机房,从:一号机房,修改为:二号机房;H=62s2Q"
                                  "BTS属性:备注,从:旧备注,修改为:空;H=62s2QH=62s2Q"
                                  "删除BTS所属小区:3021;H=62s2QH=62s2Q"
                                  "删除:小区3021所属天线1;H=62s2Q删除:小区3021所属馈线L-07;H=62s2Q"_s;

MoveBtsState moved(bool simpleMode = true)
{
    MoveBtsState state;
    state.net = u"G"_s;
    state.simpleMode = simpleMode;
    state.cityCode = u"11"_s;
    state.newCityCode = u"12"_s;
    state.oldRoomCode = code(1);
    state.newRoomCode = code(5);
    return state;
}

TEST(RelocationRecord, DisinfoEntriesAndTheInsertStatement)
{
    EXPECT_EQ(RelocationRecord::disinfo(WorkedExample), WorkedExampleText);
    EXPECT_EQ(RelocationRecord::disinfo(
                  {SummaryRow::title(u"title"_s), SummaryRow::change(Kind::Bts, u"备注"_s, {}, {})}),
              u"title H=62s2QBTS属性:备注,从:,修改为:空;H=62s2Q"_s);
    // Each row as the sheet shows it, and its entry in the record.
    const struct {
        SummaryRow row;
        QString texts;
        QString entry;
    } entries[] = {
        // A cleared attribute, an attribute without an old value; blanks are values like any other.
        {SummaryRow::change(Kind::Bts, u"所属BSC"_s, u"BSC1"_s, {}), u"BTS|所属BSC|BSC1|"_s,
         u"BTS属性:所属BSC,从:BSC1,修改为:空;"_s},
        {SummaryRow::change(Kind::Bts, u"备注"_s, {}, u"新备注"_s), u"BTS|备注||新备注"_s,
         u"BTS属性:备注,从:,修改为:新备注;"_s},
        {SummaryRow::change(Kind::Bts, u"备注"_s, u" "_s, u" "_s), u"BTS|备注| | "_s,
         u"BTS属性:备注,从: ,修改为: ;"_s},
        // A value holding the marker is taken as it is; the history shows it as a line break.
        {SummaryRow::change(Kind::Bts, u"备注"_s, u"a H=62s2Q b"_s, {}), u"BTS|备注|a H=62s2Q b|"_s,
         u"BTS属性:备注,从:a H=62s2Q b,修改为:空;"_s},
        // A band, a room's network column and a resource neither deleted nor restored: no entry.
        {SummaryRow::band(), u"|||"_s, QString()},
        {SummaryRow::change(Kind::Room, u"三号机房 G网"_s, u"101"_s, {}), u"机房|三号机房 G网|101|"_s,
         QString()},
        {SummaryRow::cell(u"3021"_s, Action::Change), u"CELL|小区|3021|"_s, QString()},
        // A reversal's restorations in the deletions' words.
        {SummaryRow::cell(u"3021"_s, Action::Restore), u"CELL|小区|3021|恢复"_s, u"恢复BTS所属小区:3021;"_s},
        {SummaryRow::line(Kind::Antenna, u"3021"_s, u"天线1"_s, Action::Restore),
         u"天线|小区3021所属|天线1|恢复"_s, u"恢复:小区3021所属天线1;"_s},
        {SummaryRow::line(Kind::Feeder, u"3021"_s, u"L-07"_s, Action::Delete),
         u"馈线|小区3021所属|L-07|删除"_s, u"删除:小区3021所属馈线L-07;"_s},
        // A title is its text and a blank; an empty title is no entry.
        {SummaryRow::title(u"BTS"_s), u"BTS|||"_s, u"BTS "_s},
        {SummaryRow::title(QString()), u"|||"_s, QString()}};
    for (const auto& [row, texts, entry] : entries) {
        EXPECT_EQ(row.texts().join(u'|'), texts);
        EXPECT_EQ(RelocationRecord::entry(row), entry) << texts.toStdString();
    }

    EXPECT_EQ(
        RelocationRecord::insertStatement(code(7), QDate(2026, 3, 7), u"demo"_s, moved(), u"title H=62s2Q"_s),
        u"insert into h_btsdispatch(discode,distime,disuser,net,fromcity,tocity,fromroom,toroom,simplemode,"
        "disinfo) values('00000000000000000007',to_date('2026-03-07','yyyy-mm-dd'),'demo','G','11','12',"
        "'00000000000000000001','00000000000000000005','Y','title H=62s2Q')"_s);
    // Month and day two digits, the year unpadded; "N" when not in simple mode; quotes doubled.
    MoveBtsState other = moved(false);
    other.cityCode = u"1'1"_s;
    other.newRoomCode = u"R'5"_s;
    EXPECT_EQ(
        RelocationRecord::insertStatement(u"0'7"_s, QDate(987, 12, 5), u"O'Neil"_s, other, u"老'房"_s),
        u"insert into h_btsdispatch(discode,distime,disuser,net,fromcity,tocity,fromroom,toroom,simplemode,"
        "disinfo) values('0''7',to_date('987-12-05','yyyy-mm-dd'),'O''Neil','G','1''1','12',"
        "'00000000000000000001','R''5','N','老''房')"_s);
    EXPECT_EQ(RelocationRecord::insertStatement(u"1"_s, QDate(), u"x"_s, moved(), {}), QString());
}

using RelocationRecordTest = ContextTest;

TEST_F(RelocationRecordTest, SaveModifyLogWritesTheSummaryAsOneRowOrNothing)
{
    // The row stored under the code saveModifyLog gives, its date read around the call
    // (should the day turn meanwhile); or that it refused and gave no code.
    const auto save = [this](const MoveBtsState& state, const SummaryRows& summary) {
        const QString before = u'|' + QDate::currentDate().toString(Qt::ISODate) + u'|';
        QString saved = u"none"_s;
        const bool written = RelocationRecord::saveModifyLog(context, state, summary, &saved);
        const QString after = u'|' + QDate::currentDate().toString(Qt::ISODate) + u'|';
        QString row =
            db.rows(u"select discode,distime,disuser,fromroom,simplemode,disinfo from h_btsdispatch "
                    "where discode='%1'"_s.arg(saved))
                .value(0);
        return written ? row.replace(before, u"|today|"_s).replace(after, u"|today|"_s)
                       : u"refused, code "_s + saved;
    };
    db.exec(u"insert into h_btsdispatch(discode,disinfo) values ('00000000000000000041','old')"_s);
    EXPECT_EQ(save(moved(), WorkedExample),
              u"%1|today|demo|%2|Y|"_s.arg(code(42), code(1)) + WorkedExampleText);
    EXPECT_EQ(sent().size(), 2);
    EXPECT_EQ(sent().first(), u"select max(to_number(discode)) from h_btsdispatch"_s);
    EXPECT_EQ(save(moved(false), rows("title")),
              u"%1|today|demo|%2|N|title H=62s2Q"_s.arg(code(43), code(1)));
    // Quotes, backslashes and markers are stored as they are.
    MoveBtsState quoted = moved();
    quoted.oldRoomCode = u"JF'01"_s;
    EXPECT_EQ(save(quoted, rows("甲市 G网基站: 老'机房 "
                                "调整记录;BTS|所属机房|老'机房|新''机房;BTS|备注|C:\\temp\\n|a H=62s2Q b")),
              code(44) + u"|today|demo|JF'01|Y|甲市 G网基站: 老'机房 调整记录 "
                         u"H=62s2QBTS属性:所属机房,从:老'机房,修改为:新''机房;H=62s2Q"
                         "BTS属性:备注,从:C:\\temp\\n,修改为:a H=62s2Q b;H=62s2Q"_s);

    // Twenty zeros is the generator's answer to a failed lookup, no code to file a record under.
    host.recorder()->clear();
    host.recorder()->failWhen(
        [](const QString& sql) { return sql.startsWith(u"select max(to_number(discode))"_s); });
    EXPECT_EQ(save(moved(), rows("title")), u"refused, code none"_s);
    EXPECT_EQ(sent(), QStringList{u"select max(to_number(discode)) from h_btsdispatch"_s});
    host.recorder()->failWhen(
        [](const QString& sql) { return sql.startsWith(u"insert into h_btsdispatch"_s); });
    EXPECT_EQ(save(moved(), rows("title")), u"refused, code none"_s);
    EXPECT_EQ(sent().size(), 3);
    // Without the host's services nothing is asked.
    host.recorder()->failWhen({});
    EXPECT_FALSE(RelocationRecord::saveModifyLog(mdlPubVar(), moved(), rows("title")));
    EXPECT_EQ(sent().size(), 3);
    EXPECT_EQ(db.rows(u"select count(*) from h_btsdispatch"_s), QStringList{u"4"_s});
}

} // namespace
