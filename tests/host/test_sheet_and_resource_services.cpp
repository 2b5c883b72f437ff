// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QTableWidget>

#include "corvan/controls/sheet.h"
#include "desktop/resource_view_service_impl.h"
#include "desktop/sheet_service_impl.h"
#include "support/fixture.h"
#include "support/test_database.h"

using namespace corvan;
using corvan::host::ResourceViewServiceImpl;
using corvan::host::SheetServiceImpl;
using corvan::test::Fixture;
using corvan::test::TestDatabase;

namespace {

TEST(SheetService, ColoursComeInBlueGreenRedOrder)
{
    EXPECT_EQ(SheetServiceImpl::colour(0xFFEBB5), QColor(181, 235, 255));
    EXPECT_EQ(SheetServiceImpl::colour(0xFFFF00), QColor(0, 255, 255));
    EXPECT_EQ(SheetServiceImpl::colour(0x0000FF), QColor(255, 0, 0));

    SheetServiceImpl service;
    Sheet sheet;
    sheet.setMaxCol(3);
    sheet.setMaxRow(4);
    // A range reaching past the sheet is cut to it.
    service.StyleRange(&sheet, 2, 2, 9, 9, 0, 0xFFEBB5, -1, 10, -1);
    EXPECT_EQ(sheet.CellBackground(2, 2), QColor(181, 235, 255));
    EXPECT_EQ(sheet.CellBackground(4, 3), QColor(181, 235, 255));
    EXPECT_FALSE(sheet.CellBackground(1, 2).isValid());
    EXPECT_FALSE(sheet.CellBackground(2, 1).isValid());
    EXPECT_EQ(sheet.CellForeground(3, 3), QColor(0, 0, 0));
    EXPECT_EQ(sheet.CellFontSize(3, 3), 10);
    service.StyleRange(nullptr, 1, 1, 2, 2, 0, 0, -1, 10, -1);
}

TEST(SheetService, AlignMergesAndCentresAndClearLeavesOneEmptyRow)
{
    SheetServiceImpl service;
    Sheet sheet;
    sheet.setMaxCol(4);
    sheet.setMaxRow(5);
    sheet.setTextRC(2, 1, QStringLiteral("基本信息"));
    service.AlignRange(&sheet, 2, 1, 4, 1, true);
    EXPECT_EQ(sheet.table()->rowSpan(1, 0), 3);
    EXPECT_EQ(sheet.CellAlignment(2, 1), Qt::AlignCenter);
    service.AlignRange(&sheet, 5, 1, 5, 4, true);
    EXPECT_EQ(sheet.table()->columnSpan(4, 0), 4);

    service.ClearSheet(&sheet, true);
    EXPECT_EQ(sheet.MaxRow(), 1);
    EXPECT_EQ(sheet.MaxCol(), 4);
    EXPECT_EQ(sheet.TextRC(1, 1), QString());
    EXPECT_EQ(sheet.table()->rowSpan(0, 0), 1);
    sheet.setMaxRow(5);
    EXPECT_EQ(sheet.TextRC(2, 1), QString());
    EXPECT_EQ(sheet.table()->rowSpan(1, 0), 1);
}

TEST(SheetService, PreparedSheetsAreForReadingOnly)
{
    SheetServiceImpl service;
    Sheet sheet;
    service.PrepareSheet(&sheet);
    EXPECT_TRUE(sheet.isReadOnly());
    EXPECT_TRUE(sheet.table()->horizontalHeader()->isVisibleTo(&sheet));
    service.PrepareSheetView(&sheet);
    EXPECT_TRUE(sheet.isReadOnly());
    EXPECT_FALSE(sheet.table()->verticalHeader()->isVisibleTo(&sheet));
}

class ResourceViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Fixture::load(db);
        service.setSource(db.database());
    }
    TestDatabase db;
    ResourceViewServiceImpl service;
};

TEST_F(ResourceViewTest, GetResourceDataFillsTheTableFromTheMetadata)
{
    AttrTable table;
    QObject* detail = &service;
    ASSERT_TRUE(service.GetResourceData(QStringLiteral("v_res_gbts"), Fixture::btsCode(101), &table, true,
                                        QStringLiteral("queryfromview"), true, &detail));
    EXPECT_EQ(detail, nullptr);
    ASSERT_EQ(table.FieldCount(), 11);
    const auto field = [&table](int j) {
        QStringList columns;
        for (int c = 1; c <= AttrTable::ColumnCount; ++c)
            columns << table.at(c, j);
        return columns.join(QLatin1Char('|'));
    };
    EXPECT_EQ(field(1), QStringLiteral("基站编码|%1|basecode|char|基本信息||Y|0|Y").arg(Fixture::btsCode(101)));
    EXPECT_EQ(field(2), QStringLiteral("基站编号|101|basenum|int|基本信息||Y|1|N"));
    // Coded divisions show by name; the room code is there but not for display.
    EXPECT_EQ(field(4), QStringLiteral("所属地市|甲市|city|custom|位置信息||Y|0|N"));
    EXPECT_EQ(field(5), QStringLiteral("所属区县|东区|county|custom|位置信息||Y|0|Y"));
    EXPECT_EQ(field(7), QStringLiteral("机房编码|%1|roomcode|char|位置信息||N|0|Y").arg(Fixture::roomCode(1)));
    EXPECT_EQ(table.at(AttrTable::DisplayValue, 9), QStringLiteral("6"));
    EXPECT_EQ(table.at(AttrTable::DisplayValue, 11), QString());

    // A BTS in no room has an empty room code; the view still finds it.
    ASSERT_TRUE(service.GetResourceData(QStringLiteral("v_res_gbts"), Fixture::btsCode(102), &table, true,
                                        QString(), true, nullptr));
    EXPECT_EQ(table.at(AttrTable::DisplayValue, 7), QString());
    EXPECT_EQ(table.at(AttrTable::DisplayValue, 5), QStringLiteral("西区"));
}

TEST_F(ResourceViewTest, UnknownRecordsAndViewsAreReportedNotInvented)
{
    AttrTable table;
    EXPECT_FALSE(service.GetResourceData(QStringLiteral("v_res_gbts"), QStringLiteral("nope"), &table, true,
                                         QString(), true, nullptr));
    EXPECT_EQ(table.FieldCount(), 11);
    EXPECT_EQ(table.at(AttrTable::DisplayValue, 1), QString());
    EXPECT_EQ(table.at(AttrTable::Caption, 1), QStringLiteral("基站编码"));

    EXPECT_FALSE(service.GetResourceData(QStringLiteral("v_res_xbts"), Fixture::btsCode(101), &table, true,
                                         QString(), true, nullptr));
    EXPECT_EQ(table.FieldCount(), 0);
    // A view name is only ever one the metadata names; anything else is no view.
    EXPECT_FALSE(service.GetResourceData(QStringLiteral("v_res_gbts where 1=1 --"), Fixture::btsCode(101), &table,
                                         true, QString(), true, nullptr));
    // The code is a value, never part of the statement.
    EXPECT_FALSE(service.GetResourceData(QStringLiteral("v_res_gbts"), QStringLiteral("x' or '1'='1"), &table,
                                         true, QString(), true, nullptr));
    EXPECT_FALSE(service.ShowProperty(QStringLiteral("v_res_gbts"), QStringLiteral("nope")));
    EXPECT_TRUE(service.propertyWindows().isEmpty());
}

TEST_F(ResourceViewTest, ShowPropertyOpensAReadOnlyWindowOfTheStoredFields)
{
    ASSERT_TRUE(QMetaObject::invokeMethod(&service, "ShowProperty", Qt::DirectConnection,
                                          Q_ARG(QString, QStringLiteral("v_res_cbts")),
                                          Q_ARG(QString, Fixture::btsCode(202))));
    ASSERT_EQ(service.propertyWindows().size(), 1);
    QWidget* window = service.propertyWindows().first();
    EXPECT_TRUE(window->isVisible());
    auto* sheet = window->findChild<Sheet*>(QStringLiteral("fbProperty"));
    ASSERT_NE(sheet, nullptr);
    EXPECT_TRUE(sheet->isReadOnly());
    EXPECT_EQ(sheet->MaxRow(), 11);
    EXPECT_EQ(sheet->TextRC(3, 2), QStringLiteral("基站名称"));
    EXPECT_EQ(sheet->TextRC(3, 3), QStringLiteral("甲二C基站"));
    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(service.propertyWindows().isEmpty());
}

} // namespace
