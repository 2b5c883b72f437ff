// SPDX-License-Identifier: MIT
// Pictures of what follows a relocation, on a demo database it changes: a room with three
// networks moved whole (its three pages), then its G BTS's track, the reversal of that move
// with its summary, and the re-entry worksheet of the cells, antennas and feeders it deleted.
// Last, the window 批量调整计划 after checking a plan of nine rows over G, C and D in which
// three rows fail (a target room that holds a G BTS, a longitude that is no number, a C BTS
// that does not exist): plan-check.png. The plan is checked only, never applied.
// corvan-move-shots DATABASE OUT_DIR

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <cstdio>

#include "browser/frm_main.h"
#include "core/context/divisions.h"
#include "core/context/sql_literal.h"
#include "core/plan/plan_columns.h"
#include "core/plan/plan_run.h"
#include "core/rooms/room_lookup.h"
#include "corvan/controls/property_grid.h"
#include "corvan/controls/property_item.h"
#include "corvan/controls/sheet.h"
#include "entry/cls_main.h"
#include "history/frm_reverse_bts.h"
#include "history/frm_track.h"
#include "history/frm_view_history.h"
#include "printed_prompt.h"
#include "relocation/frm_move_room.h"
#include "relocation/frm_plan.h"
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

bool grab(QWidget* window, const QDir& out, const char* name)
{
    settle();
    const bool saved = window && window->grab().save(out.filePath(QString::fromLatin1(name)));
    std::printf("%s: %s\n", name, saved ? "saved" : "missing");
    return saved;
}

// The window with its dialog drawn where it stands over it.
bool grabWithDialog(QWidget* window, QWidget* dialog, const QDir& out, const char* name)
{
    settle();
    if (!window || !dialog)
        return grab(nullptr, out, name);
    QPixmap picture = window->grab();
    {
        QPainter painter(&picture);
        painter.drawPixmap(dialog->geometry().topLeft() - window->geometry().topLeft(), dialog->grab());
    }
    const bool saved = picture.save(out.filePath(QString::fromLatin1(name)));
    std::printf("%s: %s\n", name, saved ? "saved" : "missing");
    return saved;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: corvan-move-shots DATABASE OUT_DIR\n");
        return 2;
    }
    const QDir out(args.at(2));
    tools::ShotsHost shots;
    if (!shots.open(args.at(1), QStringLiteral("admin"), out, QStringLiteral("reentry.xlsx")))
        return 2;
    tools::PrintedPrompt prompt("told");
    clsMain component;
    component.initEnv(shots.services().objectArray());
    mdlPubVar& context = component.context();
    context.setPrompt(&prompt);
    const SystemDb& db = context.db();
    const auto text = [&](const QString& sql) {
        return db.firstText(sql).value_or(QString());
    };

    // A room with all three networks, and a free room of its city with a name of its own.
    const QString room =
        text(QStringLiteral("select roomcode from res_baseroom where gbts is not null and cbts is not "
                            "null and dbts is not null order by roomcode"));
    const QString city = text(QStringLiteral("select city from res_baseroom where roomcode='%1'").arg(room));
    const QString roomName = RoomLookup::GetRoomName(context, room);
    const QString target =
        text(QStringLiteral("select roomcode from res_baseroom r where city='%1' and gbts is null and "
                            "cbts is null and dbts is null and (select count(*) from res_baseroom s "
                            "where s.city=r.city and s.roomname=r.roomname)=1 order by roomcode")
                 .arg(city));
    component.ShowMainForm();
    auto* main = component.loaded<frmMain>();
    main->resize(1200, 760);
    main->showBts(city, roomName);
    main->bar()->tool(QStringLiteral("mnuRoomMove"))->trigger();
    auto* move = component.loaded<frmMoveRoom>();
    if (!move || target.isEmpty()) {
        std::fprintf(stderr, "no room with three networks, or no free room beside it\n");
        return 1;
    }
    // The first page with the picker: the rooms of the city, those that hold a BTS of a
    // ticked network greyed with the reason.
    const QSize pageSize = move->size();
    move->QWidget::move(40, 40);
    move->resize(1000, 700);
    move->pickRoom(roomName.left(2));
    auto* picker = move->findChild<RoomPickerDialog*>();
    if (picker)
        picker->move(move->geometry().bottomRight() - QPoint(picker->width() + 20, picker->height() + 60));
    grabWithDialog(move, picker, out, "room-move-picker.png");
    if (picker)
        picker->reject();
    move->resize(pageSize);
    auto* shared = move->findChild<PropertyGrid*>(QStringLiteral("smRoomNew"));
    shared->editValue(shared->Items().GetItem(QStringLiteral("city")), mdlPubFun::GetCityName(context, city));
    shared->editValue(shared->Items().GetItem(QStringLiteral("belongroom")),
                      RoomLookup::GetRoomName(context, target));
    grab(move, out, "room-move-page0.png");
    tools::press(move, "cmdNext");
    grab(move, out, "room-move-page1.png");
    tools::press(move, "cmdNext");
    grab(move, out, "room-move-finish.png");
    if (!tools::press(move, "cmdOk"))
        return 1;

    // Where the G BTS has been: from the main window, showing the room it went to.
    main->showBts(city, RoomLookup::GetRoomName(context, target));
    main->bar()->tool(QStringLiteral("mnuTrack"))->trigger();
    grab(component.loaded<frmTrack>(), out, "track.png");

    // The G BTS's record in the history window, its reversal and its worksheet.
    const QString record = text(QStringLiteral("select max(discode) from h_btsdispatch where net='G'"));
    main->bar()->tool(QStringLiteral("mnuHistory"))->trigger();
    auto* history = component.loaded<frmViewHistory>();
    history->showHistory(record);
    std::printf("re-entry worksheet: %s\n", history->exportReentry() ? "exported" : "not exported");
    history->bar()->tool(QStringLiteral("mnuReverse"))->trigger();
    auto* reversal = component.loaded<frmReverseBts>();
    if (reversal)
        reversal->resize(900, 640);
    grab(reversal, out, "reversal.png");
    std::printf("record %s: %s\n", qPrintable(record),
                reversal && reversal->refusal().isEmpty() ? "reversible" : "refused");

    // Every BTS of the move taken back, so that the room's tables can be compared with
    // what they were before it.
    const auto reverse = [&](frmReverseBts* window, const QString& code) {
        if (!window)
            return;
        std::printf("reversal of %s: %s\n", qPrintable(code),
                    tools::press(window, "cmdOk") ? "committed" : "refused");
        QApplication::processEvents();
    };
    reverse(reversal, record);
    for (const char* net : {"C", "D"}) {
        const QString code =
            text(QStringLiteral("select max(discode) from h_btsdispatch where net='%1' and fromroom='%2'")
                     .arg(QLatin1String(net), room));
        history->showHistory(code);
        history->bar()->tool(QStringLiteral("mnuReverse"))->trigger();
        reverse(component.loaded<frmReverseBts>(), code);
    }

    // A plan checked in the window, with the rows that fail and why.
    QTemporaryDir folder;
    const QString plan = folder.filePath(QStringLiteral("割接计划.csv"));
    if (!tools::writePlan(context, plan, 3, true)) {
        std::fprintf(stderr, "no plan of nine rows could be made on this database\n");
        return 1;
    }
    main->bar()->tool(QStringLiteral("mnuPlan"))->trigger();
    auto* planWindow = component.loaded<frmPlan>();
    if (!planWindow || !planWindow->openFile(plan))
        return 1;
    tools::press(planWindow, "cmdCheck");
    std::printf("plan check: %s\n", planWindow->run().passed() ? "every row passes" : "rows refused");
    // Wide enough for the longest reason to be read whole.
    planWindow->resize(1400, 420);
    planWindow->sheet()->setColWidth(6, 480);
    grab(planWindow, out, "plan-check.png");
    component.clearEnv();
    return 0;
}
