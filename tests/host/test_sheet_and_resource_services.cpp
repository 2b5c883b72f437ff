// SPDX-License-Identifier: MIT
#include "corvan/controls/sheet.h"
#include "desktop/resource_view_service_impl.h"
#include "desktop/sheet_service_impl.h"
#include "support/fixture.h"
#include "support/test_database.h"

#include <QApplication>
#include <QHeaderView>
#include <QTableWidget>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
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
}

TEST(SheetService, AlignMergesAndCentresAndClearLeavesOneEmptyRow)
{
    SheetServiceImpl service;
    Sheet sheet;
    sheet.setMaxCol(4);
    sheet.setMaxRow(5);
    sheet.setTextRC(2, 1, u"基本信息"_s);
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
    ASSERT_TRUE(service.GetResourceData(u"v_res_gbts"_s, Fixture::btsCode(101), &table, true,
                                        u"queryfromview"_s, true, &detail));
    EXPECT_EQ(detail, nullptr);
    ASSERT_EQ(table.FieldCount(), 11);
    const auto field = [&table](int j) {
        QStringList columns;
        for (int c = 1; c <= AttrTable::ColumnCount; ++c)
            columns << table.at(c, j);
        return columns.join(u'|');
    };
    EXPECT_EQ(field(1), u"基站编码|%1|basecode|char|基本信息||Y|0|Y"_s.arg(Fixture::btsCode(101)));
    EXPECT_EQ(field(2), u"基站编号|101|basenum|int|基本信息||Y|1|N"_s);
    // Coded divisions show by name; the room code is there but not for display.
    EXPECT_EQ(field(4), u"所属地市|甲市|city|custom|位置信息||Y|0|N"_s);
    EXPECT_EQ(field(5), u"所属区县|东区|county|custom|位置信息||Y|0|Y"_s);
    EXPECT_EQ(field(7), u"机房编码|%1|roomcode|char|位置信息||N|0|Y"_s.arg(Fixture::roomCode(1)));
    EXPECT_EQ(table.at(AttrTable::DisplayValue, 9), u"6"_s);
    EXPECT_EQ(table.at(AttrTable::DisplayValue, 11), QString());

    // A BTS in no room has an empty room code; the view still finds it.
    ASSERT_TRUE(service.GetResourceData(u"v_res_gbts"_s, Fixture::btsCode(102), &table, true, QString(), true,
                                        nullptr));
    EXPECT_EQ(table.at(AttrTable::DisplayValue, 7), QString());
    EXPECT_EQ(table.at(AttrTable::DisplayValue, 5), u"西区"_s);

    // The names come with the record: a code without a division keeps its code, a city whose
    // name is empty shows empty, and a change shows in the next read of the same view.
    db.exec(u"update res_gbts set county = '7777' where basecode = '%1'"_s.arg(Fixture::btsCode(102)));
    db.exec(u"update com_city set city_name = '' where city_id = '11'"_s);
    ASSERT_TRUE(service.GetResourceData(u"v_res_gbts"_s, Fixture::btsCode(102), &table, true, QString(), true,
                                        nullptr));
    EXPECT_EQ(table.at(AttrTable::DisplayValue, 5), u"7777"_s);
    EXPECT_EQ(table.at(AttrTable::DisplayValue, 4), QString());
}

TEST_F(ResourceViewTest, UnknownRecordsAndViewsAreReportedNotInvented)
{
    AttrTable table;
    const auto found = [this, &table](const QString& view, const QString& code) {
        return service.GetResourceData(view, code, &table, true, QString(), true, nullptr);
    };
    EXPECT_FALSE(found(u"v_res_gbts"_s, u"nope"_s));
    EXPECT_EQ(table.FieldCount(), 11);
    EXPECT_EQ(table.at(AttrTable::DisplayValue, 1), QString());
    EXPECT_EQ(table.at(AttrTable::Caption, 1), u"基站编码"_s);

    EXPECT_FALSE(found(u"v_res_xbts"_s, Fixture::btsCode(101)));
    EXPECT_EQ(table.FieldCount(), 0);
    // A view name is only ever one the metadata names; anything else is no view.
    EXPECT_FALSE(found(u"v_res_gbts where 1=1 --"_s, Fixture::btsCode(101)));
    // The code is a value, never part of the statement.
    EXPECT_FALSE(found(u"v_res_gbts"_s, u"x' or '1'='1"_s));
    EXPECT_FALSE(service.ShowProperty(u"v_res_gbts"_s, u"nope"_s));
    EXPECT_TRUE(service.propertyWindows().isEmpty());
}

TEST_F(ResourceViewTest, ShowPropertyOpensAReadOnlyWindowOfTheStoredFields)
{
    ASSERT_TRUE(QMetaObject::invokeMethod(&service, "ShowProperty", Qt::DirectConnection,
                                          Q_ARG(QString, u"v_res_cbts"_s),
                                          Q_ARG(QString, Fixture::btsCode(202))));
    ASSERT_EQ(service.propertyWindows().size(), 1);
    QWidget* window = service.propertyWindows().first();
    EXPECT_TRUE(window->isVisible());
    auto* sheet = window->findChild<Sheet*>(u"fbProperty"_s);
    ASSERT_NE(sheet, nullptr);
    EXPECT_TRUE(sheet->isReadOnly());
    EXPECT_EQ(sheet->MaxRow(), 11);
    EXPECT_EQ(sheet->TextRC(3, 2), u"基站名称"_s);
    EXPECT_EQ(sheet->TextRC(3, 3), u"甲二C基站"_s);
    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(service.propertyWindows().isEmpty());
}

} // namespace
