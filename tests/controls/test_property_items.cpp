// SPDX-License-Identifier: MIT
#include "corvan/controls/property_item.h"

#include <QStringList>
#include <gtest/gtest.h>

#include "support/qt_printers.h"

using namespace corvan;

namespace {

QStringList keys(const PropertyItems& items)
{
    QStringList out;
    for (long i = 1; i <= items.ItemCount(); ++i)
        out << items.GetItem(i)->Key();
    return out;
}

} // namespace

TEST(PropertyItems, AddItemKeepsOrderAndRefusesDuplicateKeys)
{
    PropertyItems items;
    PropertyItem* group =
        items.AddItem(0, QStringLiteral("G:M"), QStringLiteral("需要修改的属性"), ITEM_GROUP);
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->Key(), QStringLiteral("G:M"));
    EXPECT_EQ(group->Caption(), QStringLiteral("需要修改的属性"));
    EXPECT_EQ(group->Type(), ITEM_GROUP);
    EXPECT_TRUE(group->Visible());
    EXPECT_FALSE(group->Selected());
    EXPECT_FALSE(group->Value().isValid());

    items.AddItem(0, QStringLiteral("city"), QStringLiteral("地市"), ITEM_EDIT);
    items.AddItem(0, QStringLiteral("belongroom"), QStringLiteral("所属机房"), ITEM_EDIT);
    EXPECT_EQ(items.AddItem(0, QStringLiteral("city"), QStringLiteral("again"), ITEM_TEXT), nullptr);

    EXPECT_EQ(items.ItemCount(), 3);
    EXPECT_EQ(keys(items),
              (QStringList{QStringLiteral("G:M"), QStringLiteral("city"), QStringLiteral("belongroom")}));
    // The refused duplicate left the first item untouched.
    EXPECT_EQ(items.GetItem(QStringLiteral("city"))->Caption(), QStringLiteral("地市"));
    EXPECT_EQ(items.GetItem(QStringLiteral("city"))->Type(), ITEM_EDIT);
}

TEST(PropertyItems, GetItemByKeyAndPositionFromOne)
{
    PropertyItems items;
    items.AddItem(0, QStringLiteral("k1"), QStringLiteral("基站属性修改"), ITEM_STEP);
    items.AddItem(0, QStringLiteral("k2"), QStringLiteral("小区天馈线参数"), ITEM_STEP);

    EXPECT_EQ(items.GetItem(1L)->Key(), QStringLiteral("k1"));
    EXPECT_EQ(items.GetItem(2L)->Key(), QStringLiteral("k2"));
    EXPECT_EQ(items.GetItem(0L), nullptr);
    EXPECT_EQ(items.GetItem(3L), nullptr);
    EXPECT_EQ(items.GetItem(-1L), nullptr);
    EXPECT_EQ(items.GetItem(QStringLiteral("k3")), nullptr);
    EXPECT_TRUE(items.HasItem(QStringLiteral("k2")));
    // Keys are compared exactly.
    EXPECT_FALSE(items.HasItem(QStringLiteral("K2")));
    EXPECT_FALSE(items.HasItem(QString()));
}

TEST(PropertyItems, ClearItemsEmptiesListAndAllowsKeysAgain)
{
    PropertyItems items;
    items.AddItem(0, QStringLiteral("a"), QString(), ITEM_TEXT);
    items.AddItem(0, QStringLiteral("b"), QString(), ITEM_TEXT);
    items.ClearItems();
    EXPECT_EQ(items.ItemCount(), 0);
    EXPECT_FALSE(items.HasItem(QStringLiteral("a")));
    EXPECT_EQ(items.GetItem(1L), nullptr);
    ASSERT_NE(items.AddItem(0, QStringLiteral("a"), QStringLiteral("again"), ITEM_TEXT), nullptr);
    EXPECT_EQ(items.GetItem(1L)->Caption(), QStringLiteral("again"));
}

TEST(PropertyItems, ChildrenAreTheirOwnListWithTheirOwnKeys)
{
    PropertyItems items;
    PropertyItem* room =
        items.AddItem(0, QStringLiteral("belongroom"), QStringLiteral("所属机房"), ITEM_EDIT);
    PropertyItem* option =
        room->Children().AddItem(0, QStringLiteral("K:001"), QStringLiteral("一号机房"), ITEM_OPTION);
    ASSERT_NE(option, nullptr);
    // The same key may appear in another list: options of two properties, or a child
    // named like a root item.
    EXPECT_NE(room->Children().AddItem(0, QStringLiteral("belongroom"), QString(), ITEM_OPTION), nullptr);
    EXPECT_EQ(items.ItemCount(), 1);
    EXPECT_EQ(room->Children().ItemCount(), 2);
    EXPECT_EQ(room->Children().parentItem(), room);
    EXPECT_EQ(option->owner(), &room->Children());
    EXPECT_FALSE(items.HasItem(QStringLiteral("K:001")));

    room->setValue(QStringLiteral("一号机房"));
    EXPECT_EQ(room->Value().toString(), option->Caption());
}

TEST(PropertyItems, ListenerHearsChangesBelowTheRoot)
{
    PropertyItems items;
    QStringList heard;
    items.setListener([&heard](PropertyItem* item, PropertyItems::Change change) {
        const QString what = change == PropertyItems::Change::Structure ? QStringLiteral("structure")
                             : change == PropertyItems::Change::Value   ? QStringLiteral("value")
                                                                        : QStringLiteral("state");
        heard << (item ? item->Key() : QStringLiteral("-")) + QLatin1Char(' ') + what;
    });
    PropertyItem* menu = items.AddItem(0, QStringLiteral("P:1"), QString(), ITEM_MENU);
    menu->Children().AddItem(0, QStringLiteral("Pop1"), QStringLiteral("查看原有属性"), ITEM_MENUENTRY);
    menu->setVisible(false);
    menu->setVisible(false); // no change, nothing to hear
    menu->Children().GetItem(1L)->setValue(7);
    menu->setGroupFlag(true);
    menu->setGeometry(1, 2, 3, 4);
    menu->Children().ClearItems();

    EXPECT_EQ(heard, (QStringList{QStringLiteral("P:1 structure"), QStringLiteral("Pop1 structure"),
                                  QStringLiteral("P:1 state"), QStringLiteral("Pop1 value"),
                                  QStringLiteral("P:1 state"), QStringLiteral("- structure")}));
    EXPECT_FLOAT_EQ(menu->Left(), 1);
    EXPECT_FLOAT_EQ(menu->Top(), 2);
    EXPECT_FLOAT_EQ(menu->Width(), 3);
    EXPECT_FLOAT_EQ(menu->Height(), 4);
    EXPECT_TRUE(menu->GroupFlag());
    EXPECT_FALSE(menu->Visible());
}

TEST(PropertyItems, ShowPopupReachesThePresenterOfTheTopList)
{
    PropertyItems items;
    PropertyItem* holder = items.AddItem(0, QStringLiteral("P:1"), QString(), ITEM_MENU);
    PropertyItem* entry =
        holder->Children().AddItem(0, QStringLiteral("Pop1"), QStringLiteral("查看原有属性"), ITEM_MENUENTRY);
    // No grid shows the list: nothing happens.
    holder->ShowPopup(3, 4);
    EXPECT_FALSE(items.presentPopup(holder, 3, 4));

    QStringList shown;
    items.setPopupPresenter([&shown](PropertyItem* item, float x, float y) {
        shown << item->Key() + QStringLiteral(" %1,%2").arg(double(x)).arg(double(y));
    });
    holder->ShowPopup(3.5f, 4);
    // An item deep below reaches the same presenter.
    entry->ShowPopup(1, 2);
    EXPECT_TRUE(holder->Children().presentPopup(entry, 0, 0));
    EXPECT_EQ(shown, (QStringList{QStringLiteral("P:1 3.5,4"), QStringLiteral("Pop1 1,2"),
                                  QStringLiteral("Pop1 0,0")}));
}
