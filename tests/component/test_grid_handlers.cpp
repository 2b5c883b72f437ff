// SPDX-License-Identifier: MIT
#include "corvan/controls/property_item.h"
#include "corvan/controls/property_items.h"
#include "entry/cls_main.h"
#include "core/mdl_pub_var.h"
#include "core/mdl_pub_fun.h"
#include "core/grid_handlers.h"
#include "desktop/host_services.h"
#include "desktop/resource_view_service_impl.h"
#include "support/fixture.h"
#include "support/test_host.h"

#include <QWidget>
#include <gtest/gtest.h>

using namespace corvan;
using corvan::test::Fixture;
using corvan::test::TestDatabase;
using corvan::test::TestHost;

namespace {

QStringList optionKeys(const PropertyItem* item)
{
    QStringList keys;
    for (const auto& option : item->Children())
        keys << option->Key();
    keys.sort();
    return keys;
}

class GridHandlersTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Fixture::load(db);
        component.initEnv(host.objectArray());
        city = grid.AddItem(0, QStringLiteral("city"), QStringLiteral("所属地市"), ITEM_EDIT);
        mdlPubFun::AddListOptions(city, QStringLiteral("11,甲市;12,乙市"));
        room = grid.AddItem(0, QStringLiteral("belongroom"), QStringLiteral("所属机房"), ITEM_EDIT);
        mdlPubFun::FillListOptions(
            room, QStringLiteral("select roomcode,roomname from res_baseroom where city='11'"));
        room->setValue(QStringLiteral("二号机房"));
        county = grid.AddItem(0, QStringLiteral("county"), QStringLiteral("所属区县"), ITEM_EDIT);
        mdlPubFun::AddListOptions(county, QStringLiteral("1101,东区;1102,西区"));
        county->setValue(QStringLiteral("西区"));
        number = grid.AddItem(0, QStringLiteral("basenum"), QStringLiteral("基站编号"), ITEM_EDIT);
        host.recorder()->clear();
    }
    void TearDown() override { mdlPubVar::instance().reset(); }

    QStringList sent() const { return host.recorder()->statements(); }

    TestDatabase db;
    TestHost host{db};
    clsMain component;
    PropertyItems grid;
    PropertyItem* city = nullptr;
    PropertyItem* room = nullptr;
    PropertyItem* county = nullptr;
    PropertyItem* number = nullptr;
};

TEST_F(GridHandlersTest, ChoosingACityRefillsRoomsAndCounties)
{
    city->setValue(QStringLiteral("乙市"));
    GridHandlers::cityCascade(grid, city);
    EXPECT_EQ(sent(),
              (QStringList{QStringLiteral("select roomcode,roomname from res_baseroom where city='12'"),
                           QStringLiteral("select county_id,county_name from com_county where city_id=12")}));
    EXPECT_EQ(optionKeys(room), QStringList{QStringLiteral("K:") + Fixture::roomCode(5)});
    EXPECT_EQ(optionKeys(county), QStringList{QStringLiteral("K:1201")});
    // The rows keep what was picked before, offered or not.
    EXPECT_EQ(room->Value().toString(), QStringLiteral("二号机房"));
    EXPECT_EQ(county->Value().toString(), QStringLiteral("西区"));

    // A city without rooms or counties leaves the lists empty.
    mdlPubFun::AddListOptions(city, QStringLiteral("13,丙市"));
    city->setValue(QStringLiteral("丙市"));
    GridHandlers::cityCascade(grid, city);
    EXPECT_EQ(optionKeys(room), QStringList());
    EXPECT_EQ(optionKeys(county), QStringList{QStringLiteral("K:1301")});
}

TEST_F(GridHandlersTest, OnlyAKnownCityOnTheCityRowCascades)
{
    const QStringList rooms = optionKeys(room);
    ASSERT_EQ(rooms.size(), 4);
    city->setValue(QStringLiteral("火星市"));
    GridHandlers::cityCascade(grid, city);
    county->setValue(QStringLiteral("乙市"));
    GridHandlers::cityCascade(grid, county);
    GridHandlers::cityCascade(grid, nullptr);
    EXPECT_TRUE(sent().isEmpty());
    EXPECT_EQ(optionKeys(room), rooms);
    EXPECT_EQ(optionKeys(county), (QStringList{QStringLiteral("K:1101"), QStringLiteral("K:1102")}));

    // Without a county row only the rooms follow the city.
    PropertyItems page;
    PropertyItem* pageCity = page.AddItem(0, QStringLiteral("city"), QString(), ITEM_EDIT);
    mdlPubFun::AddListOptions(pageCity, QStringLiteral("11,甲市;12,乙市"));
    page.AddItem(0, QStringLiteral("belongroom"), QString(), ITEM_EDIT);
    pageCity->setValue(QStringLiteral("乙市"));
    GridHandlers::cityCascade(page, pageCity);
    EXPECT_EQ(sent(),
              QStringList{QStringLiteral("select roomcode,roomname from res_baseroom where city='12'")});
    EXPECT_EQ(optionKeys(page.GetItem(QStringLiteral("belongroom"))),
              QStringList{QStringLiteral("K:") + Fixture::roomCode(5)});
}

TEST_F(GridHandlersTest, RecordsCityAndNumberAndCopiesThemIntoTheCellGrids)
{
    PropertyItems cell0;
    PropertyItems cell1;
    PropertyItems cell2;
    for (PropertyItems* cells : {&cell0, &cell1}) {
        cells->AddItem(0, QStringLiteral("city"), QString(), ITEM_TEXT)->setValue(QStringLiteral("甲市"));
        cells->AddItem(0, QStringLiteral("bts"), QString(), ITEM_TEXT)->setValue(QStringLiteral("101"));
    }
    cell2.AddItem(0, QStringLiteral("bts"), QString(), ITEM_TEXT);

    MoveBtsState state;
    city->setValue(QStringLiteral("乙市"));
    number->setValue(QStringLiteral("12"));
    GridHandlers::recordCityAndBaseNum(state, grid, {&cell0, nullptr, &cell1, &cell2});
    EXPECT_EQ(state.newCityName, QStringLiteral("乙市"));
    EXPECT_EQ(state.newCityCode, QStringLiteral("12"));
    EXPECT_EQ(state.newBaseNum, QStringLiteral("12"));
    for (PropertyItems* cells : {&cell0, &cell1}) {
        EXPECT_EQ(cells->GetItem(QStringLiteral("city"))->Value().toString(), QStringLiteral("乙市"));
        EXPECT_EQ(cells->GetItem(QStringLiteral("bts"))->Value().toString(), QStringLiteral("12"));
    }
    EXPECT_FALSE(cell2.HasItem(QStringLiteral("city")));
    EXPECT_EQ(cell2.GetItem(QStringLiteral("bts"))->Value().toString(), QStringLiteral("12"));

    // A city that is no option has no code; a grid without the rows leaves the state be.
    city->setValue(QStringLiteral("火星市"));
    GridHandlers::recordCityAndBaseNum(state, grid, {});
    EXPECT_EQ(state.newCityName, QStringLiteral("火星市"));
    EXPECT_EQ(state.newCityCode, QString());
    PropertyItems empty;
    GridHandlers::recordCityAndBaseNum(state, empty, {&cell0});
    EXPECT_EQ(state.newCityName, QStringLiteral("火星市"));
    EXPECT_EQ(state.newBaseNum, QStringLiteral("12"));
    EXPECT_EQ(cell0.GetItem(QStringLiteral("city"))->Value().toString(), QStringLiteral("乙市"));
}

TEST_F(GridHandlersTest, RightClickSelectsTheRowsUnderThePointAndOpensThePopup)
{
    PropertyItem* menu = grid.AddItem(0, QStringLiteral("P:1"), QString(), ITEM_MENU);
    menu->Children().AddItem(0, QStringLiteral("Pop1"), QStringLiteral("查看原有属性"), ITEM_MENUENTRY);
    menu->setVisible(false);
    city->setGeometry(0, 0, 100, 20);
    room->setGeometry(0, 20, 100, 20);
    county->setGeometry(0, 45, 100, 20);
    number->setGeometry(0, 65, 100, 20);
    const auto selected = [this] {
        QStringList keys;
        for (const auto& item : grid)
            if (item->Selected())
                keys << item->Key();
        return keys;
    };
    QStringList popups;
    grid.setPopupPresenter([&popups](PropertyItem* holder, float x, float y) {
        popups << holder->Key() + QStringLiteral("@%1,%2").arg(double(x)).arg(double(y));
    });

    GridHandlers::rightClickSelect(grid, 2, 50, 10);
    EXPECT_EQ(selected(), QStringList{QStringLiteral("city")});
    // Bounds are inclusive: the shared edge selects both rows, a corner its row.
    GridHandlers::rightClickSelect(grid, 2, 50, 20);
    EXPECT_EQ(selected(), (QStringList{QStringLiteral("city"), QStringLiteral("belongroom")}));
    GridHandlers::rightClickSelect(grid, 2, 100, 85);
    EXPECT_EQ(selected(), QStringList{QStringLiteral("basenum")});
    // Another button changes nothing.
    GridHandlers::rightClickSelect(grid, 1, 50, 50);
    EXPECT_EQ(selected(), QStringList{QStringLiteral("basenum")});
    GridHandlers::popup(grid, 1, 50, 50);
    EXPECT_TRUE(popups.isEmpty());
    // The gap between rows selects nothing, and the popup still opens.
    GridHandlers::rightClickSelect(grid, 2, 50, 42.5f);
    EXPECT_EQ(selected(), QStringList());
    GridHandlers::popup(grid, 2, 50, 42.5f);
    EXPECT_EQ(popups, QStringList{QStringLiteral("P:1@50,42.5")});

    PropertyItems noMenu;
    noMenu.setPopupPresenter([&popups](PropertyItem*, float, float) { popups << QStringLiteral("wrong"); });
    GridHandlers::popup(noMenu, 2, 1, 1);
    EXPECT_EQ(popups.size(), 1);
}

TEST_F(GridHandlersTest, Pop1ShowsTheStoredBts)
{
    PropertyItems menu;
    PropertyItem* entry =
        menu.AddItem(0, QStringLiteral("Pop1"), QStringLiteral("查看原有属性"), ITEM_MENUENTRY);
    PropertyItem* other = menu.AddItem(0, QStringLiteral("Pop2"), QString(), ITEM_MENUENTRY);
    MoveBtsState state;
    state.net = QStringLiteral("G");
    state.btsCode = Fixture::btsCode(101);
    auto* view = host.services()->resourceView();

    EXPECT_FALSE(GridHandlers::popupChosen(state, other));
    EXPECT_FALSE(GridHandlers::popupChosen(state, nullptr));
    EXPECT_TRUE(view->propertyWindows().isEmpty());

    // Whatever was edited on the page, the host shows the code the page was built for.
    EXPECT_TRUE(GridHandlers::popupChosen(state, entry));
    ASSERT_EQ(view->propertyWindows().size(), 1);
    EXPECT_EQ(view->propertyWindows().first()->windowTitle(),
              QStringLiteral("资源属性 — ") + Fixture::btsCode(101));

    // The view follows the network: a C code is found in the C view only.
    state.btsCode = Fixture::btsCode(201);
    EXPECT_TRUE(GridHandlers::popupChosen(state, entry));
    EXPECT_EQ(view->propertyWindows().size(), 1);
    state.net = QStringLiteral("C");
    EXPECT_TRUE(GridHandlers::popupChosen(state, entry));
    ASSERT_EQ(view->propertyWindows().size(), 2);
    EXPECT_EQ(view->propertyWindows().last()->windowTitle(),
              QStringLiteral("资源属性 — ") + Fixture::btsCode(201));
    state.net = QStringLiteral("cbts");
    EXPECT_FALSE(GridHandlers::popupChosen(state, entry));
}

} // namespace
