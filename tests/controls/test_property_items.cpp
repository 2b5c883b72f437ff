// SPDX-License-Identifier: MIT
#include "corvan/controls/property_item.h"
#include "support/qt_printers.h"

#include <QStringList>
#include <gtest/gtest.h>

using namespace corvan;
using namespace Qt::StringLiterals;

namespace {

QStringList keys(const PropertyItems& items)
{
    QStringList out;
    for (long i = 1; i <= items.ItemCount(); ++i)
        out << items.GetItem(i)->Key();
    return out;
}

} // namespace

TEST(PropertyItems, ListKeepsOrderRefusesDuplicateKeysAndCountsFromOne)
{
    PropertyItems items;
    PropertyItem* group = items.AddItem(0, u"G:M"_s, u"需要修改的属性"_s, ITEM_GROUP);
    ASSERT_NE(group, nullptr);
    EXPECT_TRUE(group->Visible());
    EXPECT_FALSE(group->Selected());
    EXPECT_FALSE(group->Value().isValid());
    items.AddItem(0, u"city"_s, u"地市"_s, ITEM_EDIT);
    items.AddItem(0, u"belongroom"_s, u"所属机房"_s, ITEM_EDIT);
    EXPECT_EQ(items.AddItem(0, u"city"_s, u"again"_s, ITEM_TEXT), nullptr);
    EXPECT_EQ(keys(items), (QStringList{u"G:M"_s, u"city"_s, u"belongroom"_s}));
    // The refused duplicate left the first item untouched.
    EXPECT_EQ(items.GetItem(u"city"_s)->Caption(), u"地市"_s);
    EXPECT_EQ(items.GetItem(u"city"_s)->Type(), ITEM_EDIT);

    EXPECT_EQ(items.GetItem(3L)->Key(), u"belongroom"_s);
    for (long outside : {0L, 4L, -1L})
        EXPECT_EQ(items.GetItem(outside), nullptr) << outside;
    EXPECT_EQ(items.GetItem(u"k3"_s), nullptr);
    EXPECT_TRUE(items.HasItem(u"city"_s));
    // Keys are compared exactly.
    EXPECT_FALSE(items.HasItem(u"City"_s));
    EXPECT_FALSE(items.HasItem(QString()));

    // Clearing empties the list and frees the keys.
    items.ClearItems();
    EXPECT_EQ(items.ItemCount(), 0);
    EXPECT_FALSE(items.HasItem(u"city"_s));
    EXPECT_EQ(items.GetItem(1L), nullptr);
    ASSERT_NE(items.AddItem(0, u"city"_s, u"again"_s, ITEM_TEXT), nullptr);
    EXPECT_EQ(items.GetItem(1L)->Caption(), u"again"_s);
}

TEST(PropertyItems, ChildrenAreTheirOwnListWithTheirOwnKeys)
{
    PropertyItems items;
    PropertyItem* room = items.AddItem(0, u"belongroom"_s, u"所属机房"_s, ITEM_EDIT);
    PropertyItem* option = room->Children().AddItem(0, u"K:001"_s, u"一号机房"_s, ITEM_OPTION);
    ASSERT_NE(option, nullptr);
    // The same key may appear in another list: options of two properties, or a child
    // named like a root item.
    EXPECT_NE(room->Children().AddItem(0, u"belongroom"_s, QString(), ITEM_OPTION), nullptr);
    EXPECT_EQ(items.ItemCount(), 1);
    EXPECT_EQ(room->Children().ItemCount(), 2);
    EXPECT_EQ(room->Children().parentItem(), room);
    EXPECT_EQ(option->owner(), &room->Children());
    EXPECT_FALSE(items.HasItem(u"K:001"_s));
}

TEST(PropertyItems, ListenerHearsChangesBelowTheRoot)
{
    PropertyItems items;
    QStringList heard;
    items.setListener([&heard](PropertyItem* item, PropertyItems::Change change) {
        const QString what = change == PropertyItems::Change::Structure ? u"structure"_s
                             : change == PropertyItems::Change::Value   ? u"value"_s
                                                                        : u"state"_s;
        heard << (item ? item->Key() : u"-"_s) + u' ' + what;
    });
    PropertyItem* menu = items.AddItem(0, u"P:1"_s, QString(), ITEM_MENU);
    menu->Children().AddItem(0, u"Pop1"_s, u"查看原有属性"_s, ITEM_MENUENTRY);
    menu->setVisible(false);
    menu->setVisible(false); // no change, nothing to hear
    menu->Children().GetItem(1L)->setValue(7);
    menu->setGroupFlag(true);
    menu->setGeometry(1, 2, 3, 4);
    menu->Children().ClearItems();
    EXPECT_EQ(heard, (QStringList{u"P:1 structure"_s, u"Pop1 structure"_s, u"P:1 state"_s, u"Pop1 value"_s,
                                  u"P:1 state"_s, u"- structure"_s}));
}

TEST(PropertyItems, ShowPopupReachesThePresenterOfTheTopList)
{
    PropertyItems items;
    PropertyItem* holder = items.AddItem(0, u"P:1"_s, QString(), ITEM_MENU);
    PropertyItem* entry = holder->Children().AddItem(0, u"Pop1"_s, u"查看原有属性"_s, ITEM_MENUENTRY);
    // No grid shows the list: nothing happens.
    holder->ShowPopup(3, 4);
    EXPECT_FALSE(items.presentPopup(holder, 3, 4));

    QStringList shown;
    items.setPopupPresenter([&shown](PropertyItem* item, float x, float y) {
        shown << item->Key() + u" %1,%2"_s.arg(double(x)).arg(double(y));
    });
    holder->ShowPopup(3.5f, 4);
    // An item deep below reaches the same presenter.
    entry->ShowPopup(1, 2);
    EXPECT_TRUE(holder->Children().presentPopup(entry, 0, 0));
    EXPECT_EQ(shown, (QStringList{u"P:1 3.5,4"_s, u"Pop1 1,2"_s, u"Pop1 0,0"_s}));
}
