// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "support/qt_printers.h"

#include "core/bts_property_layout.h"
#include "core/room_query.h"

using namespace corvan;

namespace {

const QString Base = QStringLiteral("select roomname,roomno,county,city,gbts,cbts,dbts,roomcode from res_baseroom ");
const QString Order = QStringLiteral(" order  by city,county, roomno ");

TEST(RoomQuery, EveryCombinationOfCityNameAndNumber)
{
    const QString rights = QStringLiteral("'11','12'");
    const QString allCities = QStringLiteral(" where  city in ( '11','12' ) ");
    const QString oneCity = QStringLiteral(" where  city = '12' ");
    const QString name = QStringLiteral(" and roomname like '%一号%' ");
    const QString number = QStringLiteral(" and roomno like '%JF-1%' ");

    const QString city = QStringLiteral("12");
    EXPECT_EQ(RoomQuery::build(true, QString(), rights, QString(), QString()), Base + allCities + Order);
    EXPECT_EQ(RoomQuery::build(true, QString(), rights, QStringLiteral("一号"), QString()),
              Base + allCities + name + Order);
    EXPECT_EQ(RoomQuery::build(true, QString(), rights, QString(), QStringLiteral("JF-1")),
              Base + allCities + number + Order);
    EXPECT_EQ(RoomQuery::build(true, QString(), rights, QStringLiteral("一号"), QStringLiteral("JF-1")),
              Base + allCities + name + number + Order);
    EXPECT_EQ(RoomQuery::build(false, city, rights, QString(), QString()), Base + oneCity + Order);
    EXPECT_EQ(RoomQuery::build(false, city, rights, QStringLiteral("一号"), QString()), Base + oneCity + name + Order);
    EXPECT_EQ(RoomQuery::build(false, city, rights, QString(), QStringLiteral("JF-1")),
              Base + oneCity + number + Order);
    EXPECT_EQ(RoomQuery::build(false, city, rights, QStringLiteral("一号"), QStringLiteral("JF-1")),
              Base + oneCity + name + number + Order);
}

TEST(RoomQuery, BlanksAreTrimmedAndQuotesDoubled)
{
    // Boxes holding only blanks (full-width ones included) add nothing.
    EXPECT_EQ(RoomQuery::build(false, QStringLiteral("12"), QString(), QStringLiteral("   "), QStringLiteral("\u3000 ")),
              Base + QStringLiteral(" where  city = '12' ") + Order);
    EXPECT_EQ(RoomQuery::build(false, QStringLiteral("12"), QString(), QStringLiteral("  王'家 "), QString()),
              Base + QStringLiteral(" where  city = '12' ") + QStringLiteral(" and roomname like '%王''家%' ") + Order);
    // No city the user may see leaves an empty in-list, which the database refuses.
    EXPECT_EQ(RoomQuery::build(true, QString(), QString(), QString(), QString()),
              Base + QStringLiteral(" where  city in (  ) ") + Order);
}

struct Field {
    const char* group;
    const char* caption;
    const char* type;
    const char* display;
    const char* emphasis;
};

AttrTable attrs(std::initializer_list<Field> fields)
{
    AttrTable t;
    for (const Field& f : fields) {
        const int j = t.appendField();
        t.set(AttrTable::GroupCaption, j, QString::fromUtf8(f.group));
        t.set(AttrTable::Caption, j, QString::fromUtf8(f.caption));
        t.set(AttrTable::DisplayValue, j, QString::fromUtf8(f.caption) + QStringLiteral("值"));
        t.set(AttrTable::FieldName, j, QString::fromUtf8(f.caption).toLower());
        t.set(AttrTable::DataType, j, QString::fromUtf8(f.type));
        t.set(AttrTable::Display, j, QString::fromUtf8(f.display));
        t.set(AttrTable::Emphasis, j, QString::fromUtf8(f.emphasis));
    }
    return t;
}

TEST(BtsPropertyLayout, SkippedFieldsLeaveNoGapAndGroupsReappear)
{
    const AttrTable t = attrs({{"A", "a1", "char", "Y", "1"},
                               {"A", "hidden", "char", "N", "1"},
                               {"A", "photo", "pic", "Y", "0"},
                               {"A", "a2", "char", "Y", "0"},
                               {"B", "b1", "int", "Y", "1"},
                               {"A", "a3", "date", "Y", "0"}});
    const auto layout = BtsPropertyLayout::of(t);
    ASSERT_EQ(layout.rows.size(), 4);
    EXPECT_EQ(layout.rows.at(1).caption, QStringLiteral("a2"));
    EXPECT_EQ(layout.rows.at(1).value, QStringLiteral("a2值"));
    EXPECT_EQ(layout.rows.at(2).group, QStringLiteral("B"));
    EXPECT_EQ(layout.groups,
              (QList<BtsPropertyLayout::Range>{{1, 2}, {3, 3}, {4, 4}}));
    // Emphasis counts shown rows only: the hidden emphasised field marks nothing.
    EXPECT_EQ(layout.emphasised, (QList<int>{1, 3}));
}

TEST(BtsPropertyLayout, NothingShownGivesNoRowsAndNoRanges)
{
    const auto layout = BtsPropertyLayout::of(attrs({{"A", "x", "char", "N", "1"}, {"A", "y", "pic", "Y", "1"}}));
    EXPECT_TRUE(layout.rows.isEmpty());
    EXPECT_TRUE(layout.groups.isEmpty());
    EXPECT_TRUE(layout.emphasised.isEmpty());
    EXPECT_TRUE(BtsPropertyLayout::of(AttrTable()).rows.isEmpty());
}

} // namespace
