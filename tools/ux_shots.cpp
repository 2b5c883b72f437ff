// SPDX-License-Identifier: MIT
// Pictures of what the desk offers around the long-standing windows, on a screen of 1600 by
// 1000 (run under xvfb-run -s "-screen 0 1600x1000x24"): the main window maximised with
// its status bar, the room picker filtering, Qt's file dialog in Chinese, the history
// window with its count and chart, and the printed record (both parts) as a PDF.
// The relocations it pictures are made first, through the wizard, as a user would; some
// are then dated back into earlier months so that the chart has months to show.
// corvan-ux-shots DATABASE USER OUT_DIR

#include <QAction>
#include <QApplication>
#include <QDateEdit>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QSqlQuery>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>
#include <cstdio>

#include "browser/frm_main.h"
#include "core/context/divisions.h"
#include "core/context/mdl_pub_var.h"
#include "core/room_move/room_picker.h"
#include "corvan/controls/property_grid.h"
#include "corvan/controls/property_item.h"
#include "corvan/controls/sheet.h"
#include "desktop/qt_translations.h"
#include "desktop/sheet_printer.h"
#include "entry/cls_main.h"
#include "history/frm_q_dispath_his.h"
#include "history/frm_view_history.h"
#include "history/history_sheets.h"
#include "printed_prompt.h"
#include "relocation/frm_move_bts.h"
#include "relocation/room_picker_dialog.h"
#include "shots_host.h"
#include "ui/active_bar.h"

using namespace corvan;

namespace {

void settle()
{
    for (int i = 0; i < 10; ++i) {
        QApplication::processEvents();
        QTest::qWait(20);
    }
}

bool shoot(const QDir& out, const char* name)
{
    settle();
    const bool saved =
        QGuiApplication::primaryScreen()->grabWindow(0).save(out.filePath(QString::fromLatin1(name)));
    std::printf("%s: %s\n", name, saved ? "saved" : "FAILED");
    return saved;
}

// The rooms of the demo that hold a BTS of the network, as (city, room name).
QList<std::pair<QString, QString>> roomsWithBts(const mdlPubVar& context, const QString& n, int count)
{
    QList<std::pair<QString, QString>> rooms;
    if (auto rs = context.db().open(QStringLiteral("select city,roomname from res_baseroom where ") + n +
                                    QStringLiteral("bts is not null and ") + n +
                                    QStringLiteral("bts <> '' order by roomcode")))
        for (rs->MoveFirst(); !rs->isEOF() && rooms.size() < count; rs->MoveNext())
            rooms.append({rs->Text(0), rs->Text(1)});
    return rooms;
}

// One relocation through the wizard, to the first room of another county that can take it.
bool relocate(clsMain& component, frmMain* main, const QString& city, const QString& room, int tab)
{
    main->showBts(city, room);
    main->findChild<QTabWidget*>(QStringLiteral("sstMain"))->setCurrentIndex(tab);
    main->bar()->tool(QStringLiteral("mnuDispatch"))->trigger();
    auto* wizard = component.loaded<frmMoveBts>();
    if (!wizard)
        return false;
    auto* grid = wizard->findChild<PropertyGrid*>(QStringLiteral("smBtsNew"));
    PropertyItems& items = grid->Items();
    if (PropertyItem* cityRow = items.GetItem(QStringLiteral("city")))
        grid->editValue(cityRow, mdlPubFun::GetCityName(component.context(), city));
    RoomPicker picker;
    picker.load(component.context(), wizard->state(), items);
    for (const auto& target : picker.rooms())
        if (target.refusal.isEmpty() && target.countyId != picker.pageCounty()) {
            grid->editValue(items.GetItem(QStringLiteral("belongroom")), target.caption);
            break;
        }
    tools::press(wizard, "cmdNext");
    tools::press(wizard, "cmdOk");
    settle(); // the wizard leaves the collection once its close has been processed
    const bool done = !component.loaded<frmMoveBts>();
    if (!done)
        wizard->close();
    settle();
    return done;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    host::installQtTranslations();
    const QStringList args = app.arguments();
    if (args.size() != 4) {
        std::fprintf(stderr, "usage: corvan-ux-shots DATABASE USER OUT_DIR\n");
        return 2;
    }
    const QDir out(args.at(3));
    tools::ShotsHost shots;
    if (!shots.open(args.at(1), args.at(2), out, QStringLiteral("history-record.xlsx")))
        return 2;
    tools::PrintedPrompt quiet;
    clsMain component;
    component.initEnv(shots.services().objectArray());
    component.context().setPrompt(&quiet);
    component.ShowMainForm();
    auto* main = component.loaded<frmMain>();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();

    // Relocations to picture: G, C and D BTSs of the first rooms that hold them.
    int made = 0;
    const QString letters[3] = {QStringLiteral("g"), QStringLiteral("c"), QStringLiteral("d")};
    for (int tab = 0; tab < 3; ++tab)
        for (const auto& [city, room] : roomsWithBts(component.context(), letters[tab], 4))
            made += relocate(component, main, city, room, tab) ? 1 : 0;
    std::printf("relocations made: %d\n", made);
    QSqlQuery spread(shots.data().database());
    spread.exec(QStringLiteral(
        "update h_btsdispatch set distime = date(distime, '-' || (cast(discode as integer) % 4) "
        "|| ' months')"));

    // 1. The main window maximised, a room on show, the status bar at the bottom.
    main->setGeometry(screen);
    main->showMaximized();
    main->findChild<QLineEdit*>(QStringLiteral("txtName"))->setText(QStringLiteral("机房"));
    main->findChild<QPushButton*>(QStringLiteral("cmdOk"))->click();
    const auto rooms = roomsWithBts(component.context(), QStringLiteral("g"), 1);
    if (!rooms.isEmpty())
        main->showBts(rooms.constFirst().first, rooms.constFirst().second);
    shoot(out, "main-window-status.png");

    // 2. The room picker, filtering as the user types.
    main->findChild<QTabWidget*>(QStringLiteral("sstMain"))->setCurrentIndex(0);
    main->bar()->tool(QStringLiteral("mnuDispatch"))->trigger();
    if (auto* wizard = component.loaded<frmMoveBts>()) {
        settle();
        wizard->pickRoom(QStringLiteral("站"));
        if (auto* picker = wizard->findChild<RoomPickerDialog*>()) {
            picker->move(wizard->geometry().center() - picker->rect().center());
            shoot(out, "room-picker.png");
            picker->reject();
        }
        wizard->close();
    }

    // 3. The history window: a year of records, their count, the chart.
    main->bar()->tool(QStringLiteral("mnuHistory"))->trigger();
    settle();
    auto* history = component.loaded<frmViewHistory>();
    if (!history)
        return 1;
    history->setGeometry(screen.adjusted(60, 40, -60, -40));
    frmQDispathHis* panel = history->queryPanel();
    panel->findChild<QDateEdit*>(QStringLiteral("dtBegin"))->setDate(QDate::currentDate().addYears(-1));
    panel->findChild<QPushButton*>(QStringLiteral("cmdQuery"))->click();
    PropertyItems& list = panel->list()->Items();
    if (list.ItemCount() > 0)
        history->showHistory(list.GetItem(1L)->Key().mid(2));
    shoot(out, "history-window-chart.png");
    std::printf("count: %s\n", qPrintable(panel->countText()));

    // 4. Qt's file dialog, as the export opens it, in Chinese. Scoped: the history window
    // deletes its children when the component unloads, and this one lives on the stack.
    {
        QFileDialog dialog(history, QStringLiteral("导出到Excel"), QDir::homePath(),
                           QStringLiteral("Excel 工作簿 (*.xlsx)"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.show();
        dialog.move(history->geometry().center() - dialog.rect().center());
        shoot(out, "file-dialog-zh.png");
        dialog.hide();
    }

    // 5. The record exported (record and detail sheets) and printed, both parts, as a PDF.
    std::printf("exported record: %s\n", history->exportSheet() ? "yes" : "no");
    Sheet* sheet = history->sheet();
    sheet->setRowHidden(8, false);
    sheet->setRowHidden(9, false);
    const auto detail = HistorySheets::detail(sheet->TextRC(8, 2));
    QString error;
    const bool pdf = host::SheetPrinter::printToPdf(
        {{sheet, QString()}, {detail.get(), HistorySheets::DetailName}}, host::SheetPrinter::titleOf(*sheet),
        out.filePath(QStringLiteral("history-record.pdf")), &error);
    std::printf("pdf: %s\n", pdf ? "yes" : qPrintable(error));
    component.clearEnv();
    return 0;
}
