// SPDX-License-Identifier: MIT
// A second user, as a process of its own: relocates one BTS through the real windows and
// commits when told to, so tests can run two relocations at the same moment.
//
// corvan-commit-probe DATABASE CITY_ID ROOM NET_TAB TARGET_ROOM GO_FILE
// Prints "NEXT-REFUSED <message>", "COMMITTED" or "REFUSED <message>".

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTabWidget>
#include <QThread>
#include <cstdio>

#include "browser/active_bar.h"
#include "browser/frm_main.h"
#include "corvan/controls/property_grid.h"
#include "corvan/controls/property_item.h"
#include "entry/cls_main.h"
#include "entry/mdl_pub_var.h"
#include "lookups/mdl_pub_fun.h"
#include "relocation/frm_move_bts.h"
#include "desktop/host_services.h"
#include "data/sql_data_service.h"
#include "support/recording_message_service.h"

using namespace corvan;

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 7) {
        std::fprintf(stderr, "usage: corvan-commit-probe DATABASE CITY_ID ROOM NET_TAB TARGET_ROOM GO_FILE\n");
        return 2;
    }
    const QStringList args = app.arguments();
    host::SqlDataService data;
    QString error;
    if (!data.open(args.at(1), &error)) {
        std::printf("ERROR %s\n", qPrintable(error));
        return 1;
    }
    host::HostServices services(&data);
    services.configure(QStringLiteral("demo"), QStringLiteral("4"));
    test::RecordingMessageService messages;
    services.replaceMessageObject(&messages);
    clsMain component;
    component.initEnv(services.objectArray());
    component.ShowMainForm();
    auto* main = qobject_cast<frmMain*>(mdlPubVar::instance().form(QStringLiteral("frmMain")));
    main->showBts(args.at(2), args.at(3));
    main->findChild<QTabWidget*>(QStringLiteral("sstMain"))->setCurrentIndex(args.at(4).toInt());
    main->bar()->tool(QStringLiteral("mnuDispatch"))->trigger();
    auto* wizard = qobject_cast<frmMoveBts*>(mdlPubVar::instance().form(QStringLiteral("frmMoveBts")));
    if (!wizard) {
        std::printf("ERROR no wizard: %s\n", qPrintable(messages.messages.join(QLatin1Char(' '))));
        return 1;
    }
    QString told;
    wizard->setMessagePresenter([&told](const QString& text, WizardPrompt::Icon) { told = text; });
    auto* grid = wizard->findChild<PropertyGrid*>(QStringLiteral("smBtsNew"));
    PropertyItems& items = grid->Items();
    grid->editValue(items.GetItem(QStringLiteral("city")), mdlPubFun::GetCityName(args.at(2)));
    grid->editValue(items.GetItem(QStringLiteral("belongroom")), args.at(5));
    wizard->cmdNextClick();
    if (wizard->currentPage() != frmMoveBts::LastPage) {
        std::printf("NEXT-REFUSED %s\n", qPrintable(told));
        return 0;
    }
    // This user has passed Next: say so, and commit when the test says go, at the same
    // moment as the other user.
    {
        QFile ready(args.at(6) + QStringLiteral(".ready.") + QString::number(QCoreApplication::applicationPid()));
        ready.open(QIODevice::WriteOnly);
    }
    QElapsedTimer waited;
    waited.start();
    while (!QFileInfo::exists(args.at(6)) && waited.elapsed() < 30000)
        QThread::msleep(2);
    const bool committed = wizard->commit();
    std::printf("%s\n", committed ? "COMMITTED" : qPrintable(QStringLiteral("REFUSED ") + told));
    std::fflush(stdout);
    component.clearEnv();
    return 0;
}
