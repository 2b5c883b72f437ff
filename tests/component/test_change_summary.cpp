// SPDX-License-Identifier: MIT
#include "corvan/controls/sheet.h"
#include "entry/cls_main.h"
#include "core/mdl_pub_var.h"
#include "core/change_summary.h"
#include "support/fixture.h"
#include "support/test_host.h"

#include <QTableWidget>
#include <gtest/gtest.h>

using namespace corvan;
using corvan::test::Fixture;
using corvan::test::TestDatabase;
using corvan::test::TestHost;

namespace {

struct Field {
    const char* name;
    const char* caption;
    const char* shown;
};

AttrTable btsTable(std::initializer_list<Field> fields)
{
    AttrTable t;
    for (const Field& f : fields) {
        const int j = t.appendField();
        t.set(AttrTable::FieldName, j, QString::fromUtf8(f.name));
        t.set(AttrTable::Caption, j, QString::fromUtf8(f.caption));
        t.set(AttrTable::DisplayValue, j, QString::fromUtf8(f.shown));
        t.set(AttrTable::DataType, j, QStringLiteral("char"));
        t.set(AttrTable::Display, j, QStringLiteral("Y"));
    }
    return t;
}

const QString Band = QStringLiteral("|||");

// Every row of the sheet as "c1|c2|c3|c4".
QStringList sheetRows(const Sheet& sheet)
{
    QStringList out;
    for (int r = 1; r <= sheet.MaxRow(); ++r) {
        QStringList cells;
        for (int c = 1; c <= 4; ++c)
            cells << sheet.TextRC(r, c);
        out << cells.join(QLatin1Char('|'));
    }
    return out;
}

class ChangeSummaryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Fixture::load(db);
        component.initEnv(host.objectArray());
        // As the finish page sets its sheet up: four columns, one row.
        sheet.setMaxCol(4);
        sheet.setMaxRow(1);
    }
    void TearDown() override { mdlPubVar::instance().reset(); }

    // A G BTS of 甲市 in 一号机房 whose relocation changes nothing.
    static MoveBtsState unchanged()
    {
        MoveBtsState s;
        s.net = QStringLiteral("G");
        s.cityCode = QStringLiteral("11");
        s.oldRoomValue = QStringLiteral("一号机房");
        s.btsAttr = btsTable({{"basenum", "基站编号", "101"},
                              {"city", "所属地市", "甲市"},
                              {"belongroom", "所属机房", "一号机房"}});
        s.btsValue = QStringList{QStringLiteral("101"), QStringLiteral("11"), QStringLiteral("0001")};
        s.newCityName = QStringLiteral("甲市");
        s.newRoomName = QStringLiteral("一号机房");
        return s;
    }

    void expectBand(int row)
    {
        SCOPED_TRACE(row);
        EXPECT_EQ(sheet.CellBackground(row, 1), QColor(0, 255, 255));
        EXPECT_EQ(sheet.CellForeground(row, 1), QColor(255, 255, 255));
        EXPECT_EQ(sheet.CellFontSize(row, 1), 10);
        EXPECT_EQ(sheet.table()->columnSpan(row - 1, 0), 4);
        EXPECT_EQ(sheet.CellAlignment(row, 4), Qt::AlignCenter);
    }
    void expectPlain(int row)
    {
        SCOPED_TRACE(row);
        EXPECT_FALSE(sheet.CellBackground(row, 1).isValid());
        EXPECT_EQ(sheet.table()->columnSpan(row - 1, 0), 1);
    }

    TestDatabase db;
    TestHost host{db};
    clsMain component;
    Sheet sheet;
};

} // namespace

TEST_F(ChangeSummaryTest, TitleBtsCellAndLineSections)
{
    MoveBtsState s;
    s.net = QStringLiteral("G");
    s.cityCode = QStringLiteral("11");
    s.oldRoomValue = QStringLiteral("一号机房");
    s.btsAttr = btsTable({{"basecode", "基站编码", "00000000000000000101"},
                          {"basenum", "基站编号", "101"},
                          {"basename", "基站名称", "甲一G基站 "},
                          {"city", "所属地市", "甲市"},
                          {"belongroom", "所属机房", "一号机房"},
                          {"belongbsc", "所属BSC", "BSC1"},
                          {"remark", "备注", "  老站 "},
                          {"carriers", "载频数", "6"},
                          {"county", "所属区县", "东区"},
                          {"vendor", "厂家", "abc"}});
    // The city and the room compare with the chosen names, not with these values.
    s.btsValue = QStringList{QStringLiteral("00000000000000000101"),
                             QStringLiteral("105"),
                             QStringLiteral(" 甲一G基站"),
                             QStringLiteral("甲市"),
                             QStringLiteral("一号机房"),
                             QStringLiteral("B2"),
                             QString(),
                             QStringLiteral(" 6 "),
                             QStringLiteral("1102"),
                             QStringLiteral("ABC")};
    // What the user saw, for the first seven fields; the others fall back to btsValue.
    s.btsText = QStringList{QStringLiteral("00000000000000000101"),
                            QStringLiteral(" 105 "),
                            QStringLiteral(" 甲一G基站"),
                            QStringLiteral("12"),
                            QStringLiteral("0002"),
                            QStringLiteral("BSC 二号"),
                            QString()};
    s.btsValue[8] = QStringLiteral("西区");
    s.newCityName = QStringLiteral("乙市");
    s.newRoomName = QStringLiteral("二号机房");

    s.cellList = {{QStringLiteral("GC1"), QStringLiteral("3021"), QStringLiteral("一")},
                  {QStringLiteral("GC2"), QStringLiteral("3022"), QString()}};
    s.cellCount = 2;
    s.cellMap = {{QStringLiteral("K:GC2"), AttrTable()},
                 {QStringLiteral("K:GC1"), AttrTable()},
                 {QStringLiteral("K:GX"), AttrTable()}};
    s.lineList = {{QStringLiteral("A"), QStringLiteral("GA1"), QStringLiteral("3021"), QString(),
                   QStringLiteral("天线1")},
                  {QStringLiteral("A"), QStringLiteral("GA2"), QStringLiteral("3022"), QString(),
                   QStringLiteral(" 天线2 ")},
                  {QStringLiteral("L"), QStringLiteral("GL1"), QStringLiteral("3021"), QString(),
                   QStringLiteral(" L-07 ")},
                  {QStringLiteral("L"), QStringLiteral("GL9"), QStringLiteral("3099"), QString(),
                   QStringLiteral("多余")}};
    s.antCount = 2;
    s.lineCount = 1;

    ChangeSummary::showModify(s, &sheet);

    EXPECT_EQ(sheetRows(sheet),
              (QStringList{QStringLiteral("甲市 G网基站: 一号机房 调整记录|||"), Band,
                           // Compared trimmed, written as they are.
                           QStringLiteral("BTS|基站编号|101| 105 "), QStringLiteral("BTS|所属地市|甲市|乙市"),
                           QStringLiteral("BTS|所属机房|一号机房|二号机房"),
                           QStringLiteral("BTS|所属BSC|BSC1|BSC 二号"), QStringLiteral("BTS|备注|  老站 |"),
                           QStringLiteral("BTS|所属区县|东区|西区"), QStringLiteral("BTS|厂家|abc|ABC"), Band,
                           // In the map's order; a key without a listed cell has no CI.
                           QStringLiteral("CELL|小区|3022|删除"), QStringLiteral("CELL|小区|3021|删除"),
                           QStringLiteral("CELL|小区||删除"), Band,
                           // Antennas, then feeders; labels trimmed; nothing past the counts.
                           QStringLiteral("天线|小区3021所属|天线1|删除"),
                           QStringLiteral("天线|小区3022所属|天线2|删除"),
                           QStringLiteral("馈线|小区3021所属|L-07|删除")}));
    EXPECT_EQ(ChangeSummary::title(s), QStringLiteral("甲市 G网基站: 一号机房 调整记录"));

    EXPECT_EQ(sheet.table()->columnSpan(0, 0), 4);
    EXPECT_FALSE(sheet.CellBackground(1, 1).isValid());
    expectBand(2);
    expectBand(10);
    expectBand(14);
    expectPlain(3);
    expectPlain(11);
    expectPlain(17);
}

TEST_F(ChangeSummaryTest, NothingChangedGivesTitleAndOneBand)
{
    ChangeSummary::showModify(unchanged(), &sheet);
    EXPECT_EQ(sheetRows(sheet), (QStringList{QStringLiteral("甲市 G网基站: 一号机房 调整记录|||"), Band}));
    expectBand(2);

    // An empty or unknown city still gives a title.
    MoveBtsState s = unchanged();
    s.cityCode.clear();
    EXPECT_EQ(ChangeSummary::title(s), QStringLiteral("未知 G网基站: 一号机房 调整记录"));
    s.cityCode = QStringLiteral("99");
    s.net = QStringLiteral("D");
    s.oldRoomValue.clear();
    ChangeSummary::showModify(s, &sheet);
    EXPECT_EQ(sheetRows(sheet), (QStringList{QStringLiteral("未知 D网基站:  调整记录|||"), Band}));
}

TEST_F(ChangeSummaryTest, FeedersWithoutAntennasAndCellsWithoutLines)
{
    MoveBtsState s = unchanged();
    s.lineList = {{QStringLiteral("L"), QStringLiteral("CL1"), QStringLiteral("5001"), QString(),
                   QStringLiteral("C-01")},
                  {QStringLiteral("L"), QStringLiteral("CL2"), QStringLiteral("5001"), QString(), QString()}};
    s.lineCount = 2;
    ChangeSummary::showModify(s, &sheet);
    EXPECT_EQ(sheetRows(sheet), (QStringList{QStringLiteral("甲市 G网基站: 一号机房 调整记录|||"), Band, Band,
                                             QStringLiteral("馈线|小区5001所属|C-01|删除"),
                                             QStringLiteral("馈线|小区5001所属||删除")}));
    expectBand(3);

    // Cells whose CIs have no antenna or feeder: no third band.
    s = unchanged();
    s.cellList = {{QStringLiteral("CC1"), QStringLiteral("5001"), QString()}};
    s.cellCount = 1;
    s.cellMap = {{QStringLiteral("K:CC1"), AttrTable()}};
    ChangeSummary::showModify(s, &sheet);
    EXPECT_EQ(sheetRows(sheet), (QStringList{QStringLiteral("甲市 G网基站: 一号机房 调整记录|||"), Band, Band,
                                             QStringLiteral("CELL|小区|5001|删除")}));
}

TEST_F(ChangeSummaryTest, EveryVisitRebuildsTheSheetFromScratch)
{
    MoveBtsState withCells = unchanged();
    withCells.cellList = {{QStringLiteral("GC1"), QStringLiteral("3021"), QString()}};
    withCells.cellCount = 1;
    withCells.cellMap = {{QStringLiteral("K:GC1"), AttrTable()}};

    // Next, Back, Next: the same rows, never more.
    ChangeSummary::showModify(withCells, &sheet);
    const QStringList first = sheetRows(sheet);
    ChangeSummary::showModify(withCells, &sheet);
    EXPECT_EQ(sheetRows(sheet), first);
    EXPECT_EQ(sheet.MaxRow(), 4);
    expectBand(3);

    // Back again, a value changed and no cells: row 3 becomes a plain data row.
    MoveBtsState changed = unchanged();
    changed.btsValue[0] = QStringLiteral("102");
    ChangeSummary::showModify(changed, &sheet);
    EXPECT_EQ(sheetRows(sheet), (QStringList{QStringLiteral("甲市 G网基站: 一号机房 调整记录|||"), Band,
                                             QStringLiteral("BTS|基站编号|101|102")}));
    expectPlain(3);
}

TEST_F(ChangeSummaryTest, MissingEntryStopsWithTheRowsWrittenSoFar)
{
    MoveBtsState s = unchanged();
    s.btsAttr =
        btsTable({{"basenum", "基站编号", "101"}, {"remark", "备注", "旧"}, {"vendor", "厂家", "甲"}});
    s.btsValue = QStringList{QStringLiteral("102")};
    s.btsText.clear();
    s.cellList = {{QStringLiteral("GC1"), QStringLiteral("3021"), QString()}};
    s.cellCount = 1;
    s.cellMap = {{QStringLiteral("K:GC1"), AttrTable()}};
    ChangeSummary::showModify(s, &sheet);
    EXPECT_EQ(sheetRows(sheet), (QStringList{QStringLiteral("甲市 G网基站: 一号机房 调整记录|||"), Band,
                                             QStringLiteral("BTS|基站编号|101|102")}));

    // Counts that promise more lines than the list holds stop at the end of the list.
    s = unchanged();
    s.lineList = {{QStringLiteral("A"), QStringLiteral("GA1"), QStringLiteral("3021"), QString(),
                   QStringLiteral("天线1")}};
    s.antCount = 2;
    ChangeSummary::showModify(s, &sheet);
    EXPECT_EQ(sheetRows(sheet).size(), 4);
    EXPECT_EQ(sheetRows(sheet).last(), QStringLiteral("天线|小区3021所属|天线1|删除"));

    // Without a sheet service the sheet is left alone.
    mdlPubVar::instance().reset();
    ChangeSummary::showModify(unchanged(), &sheet);
    EXPECT_EQ(sheet.MaxRow(), 4);
}
