// SPDX-License-Identifier: MIT
// Pictures of the relocation wizard for a BTS: its first page and, after Next, the finish
// page. corvan-wizard-shots DATABASE USER CITY_ID ROOM NET_TAB TARGET_ROOM OUT_DIR

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTabWidget>
#include <cstdio>

#include "browser/frm_main.h"
#include "core/context/mdl_pub_fun.h"
#include "core/context/mdl_pub_var.h"
#include "corvan/controls/property_grid.h"
#include "corvan/controls/property_item.h"
#include "data/sql_data_service.h"
#include "desktop/host_services.h"
#include "entry/cls_main.h"
#include "printed_prompt.h"
#include "relocation/frm_move_bts.h"
#include "ui/active_bar.h"

using namespace corvan;

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 8) {
        std::fprintf(stderr,
                     "usage: corvan-wizard-shots DATABASE USER CITY_ID ROOM NET_TAB TARGET_ROOM OUT_DIR\n");
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
    auto* main = component.context().form<frmMain>(QStringLiteral("frmMain"));
    main->showBts(args.at(3), args.at(4));
    main->findChild<QTabWidget*>(QStringLiteral("sstMain"))->setCurrentIndex(args.at(5).toInt());
    main->bar()->tool(QStringLiteral("mnuDispatch"))->trigger();
    auto* wizard = component.context().form<frmMoveBts>(QStringLiteral("frmMoveBts"));
    if (!wizard) {
        std::fprintf(stderr, "no BTS on that tab\n");
        return 1;
    }
    const QDir out(args.at(7));
    auto* grid = wizard->findChild<PropertyGrid*>(QStringLiteral("smBtsNew"));
    PropertyItems& items = grid->Items();
    if (PropertyItem* city = items.GetItem(QStringLiteral("city")))
        grid->editValue(city, mdlPubFun::GetCityName(component.context(), args.at(3)));
    if (PropertyItem* room = items.GetItem(QStringLiteral("belongroom")))
        grid->editValue(room, args.at(6));
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
    wizard->grab().save(out.filePath(QStringLiteral("wizard-page0.png")));
    wizard->cmdNextClick();
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
    wizard->grab().save(out.filePath(QStringLiteral("wizard-finish.png")));
    std::printf("page %d: %s\n", wizard->currentPage(), qPrintable(wizard->windowTitle()));
    component.clearEnv();
    return 0;
}
