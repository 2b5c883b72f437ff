// SPDX-License-Identifier: MIT
// Pictures of the relocation wizard for a BTS: its first page and, after Next, the finish
// page. With a search text, first the room picker as typing on the room row opens it (the
// county row set to the BTS's county, so the picker tells what that county hides), and the
// page once the first room it offers was chosen, its city filled in with the room.
// corvan-wizard-shots DATABASE USER CITY_ID ROOM NET_TAB TARGET_ROOM OUT_DIR [SEARCH]

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QPixmap>
#include <QTabWidget>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>
#include <cstdio>

#include "browser/frm_main.h"
#include "core/context/divisions.h"
#include "core/context/mdl_pub_var.h"
#include "core/relocation/move_bts_state.h"
#include "corvan/controls/property_grid.h"
#include "corvan/controls/property_item.h"
#include "data/sql_data_service.h"
#include "desktop/host_services.h"
#include "entry/cls_main.h"
#include "printed_prompt.h"
#include "relocation/frm_move_bts.h"
#include "relocation/room_picker_dialog.h"
#include "shots_host.h"
#include "ui/active_bar.h"

using namespace corvan;

namespace {

void settle()
{
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
}

// A click on the room row's caption, then the search typed as keys: the picker opens on
// the first, the rest go to its search box. Pictures the picker, then chooses its first
// room that can be chosen and pictures the page.
void pickByTyping(frmMoveBts* wizard, PropertyGrid* grid, const QString& search, const QDir& out)
{
    PropertyItems& items = grid->Items();
    PropertyItem* room = items.GetItem(QStringLiteral("belongroom"));
    auto* rows = grid->findChild<QTreeView*>(QStringLiteral("rows"));
    if (!room || !rows || search.isEmpty())
        return;
    if (PropertyItem* county = items.GetItem(QStringLiteral("county")); county && county->Type() == ITEM_EDIT)
        grid->editValue(county, wizard->state().fields.shownOf(QStringLiteral("county")));
    settle();
    const QRectF row = grid->itemRect(room);
    QTest::mouseClick(rows->viewport(), Qt::LeftButton, {},
                      rows->viewport()->mapFrom(grid, QPoint(int(row.left()) + 20, int(row.center().y()))));
    QWidget* typedInto = rows;
    for (const QChar ch : search) {
        QTest::sendKeyEvent(QTest::Click, typedInto, Qt::Key_unknown, QString(ch), {});
        if (auto* picker = wizard->findChild<RoomPickerDialog*>())
            typedInto = picker->focusWidget() ? picker->focusWidget() : picker;
    }
    auto* picker = wizard->findChild<RoomPickerDialog*>();
    if (!picker) {
        std::fprintf(stderr, "the picker did not open\n");
        return;
    }
    settle();
    picker->grab().save(out.filePath(QStringLiteral("wizard-picker-typed.png")));
    QTreeWidget* list = picker->list();
    const auto choosable = [list] {
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            if (list->topLevelItem(i)->text(3).isEmpty())
                return true;
        return false;
    };
    // Nothing to choose in the page's county: every county, as the picker suggests.
    if (!choosable())
        if (auto* county = picker->findChild<QComboBox*>(QStringLiteral("cboCounty")))
            county->setCurrentIndex(0);
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        if (list->topLevelItem(i)->text(3).isEmpty() ||
            list->topLevelItem(i)->text(3) == QStringLiteral("当前所选")) {
            list->setCurrentItem(list->topLevelItem(i));
            break;
        }
    picker->accept();
    settle();
    wizard->grab().save(out.filePath(QStringLiteral("wizard-picker-city.png")));
    std::printf("picked %s in %s\n", qPrintable(room->Value().toString()),
                qPrintable(items.GetItem(QStringLiteral("city"))->Value().toString()));
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 8 && args.size() != 9) {
        std::fprintf(stderr,
                     "usage: corvan-wizard-shots DATABASE USER CITY_ID ROOM NET_TAB TARGET_ROOM OUT_DIR "
                     "[SEARCH]\n");
        return 2;
    }
    host::SqlDataService data;
    QString error;
    if (!data.open(args.at(1), &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 2;
    }
    host::HostServices services(&data);
    services.configure(args.at(2), QString());
    tools::PrintedPrompt told("message");
    clsMain component;
    component.initEnv(services.objectArray());
    component.context().setPrompt(&told);
    component.ShowMainForm();
    auto* main = component.loaded<frmMain>();
    main->showBts(args.at(3), args.at(4));
    main->findChild<QTabWidget*>(QStringLiteral("sstMain"))->setCurrentIndex(args.at(5).toInt());
    main->bar()->tool(QStringLiteral("mnuDispatch"))->trigger();
    auto* wizard = component.loaded<frmMoveBts>();
    if (!wizard) {
        std::fprintf(stderr, "no BTS on that tab\n");
        return 1;
    }
    const QDir out(args.at(7));
    auto* grid = wizard->findChild<PropertyGrid*>(QStringLiteral("smBtsNew"));
    PropertyItems& items = grid->Items();
    wizard->show();
    settle();
    pickByTyping(wizard, grid, args.value(8), out);
    if (PropertyItem* city = items.GetItem(QStringLiteral("city")))
        grid->editValue(city, mdlPubFun::GetCityName(component.context(), args.at(3)));
    if (PropertyItem* room = items.GetItem(QStringLiteral("belongroom")))
        grid->editValue(room, args.at(6));
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
    wizard->grab().save(out.filePath(QStringLiteral("wizard-page0.png")));
    tools::press(wizard, "cmdNext");
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
    wizard->grab().save(out.filePath(QStringLiteral("wizard-finish.png")));
    std::printf("page %d: %s\n", wizard->currentPage(), qPrintable(wizard->windowTitle()));
    component.clearEnv();
    return 0;
}
