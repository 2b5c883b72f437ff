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

// A plan of nine rows, three of each network in turn, each BTS to a room of its own city
// that holds no BTS of that network and that no other row takes; then three rows made to
// fail. Written as a planner's spreadsheet saves a CSV file (UTF-8 with a byte-order mark).
bool writePlan(const mdlPubVar& context, const QString& path)
{
    const SystemDb& db = context.db();
    const PlanColumns columns = PlanColumns::of(context);
    QStringList headings;
    for (const PlanColumn& column : columns.columns())
        headings << column.heading;
    QList<QStringList> rows;
    QStringList taken;
    for (int i = 0; i < 3; ++i) {
        for (const char* letter : {"G", "C", "D"}) {
            const QString net = QLatin1String(letter);
            const QString n = net.toLower();
            auto bts = db.open(QStringLiteral("select b.basenum,c.city_name,b.city,b.longitude,b.latitude,"
                                              "b.belongbsc from res_%1bts b,com_city c where "
                                              "c.city_id=b.city and b.basenum<>'' order by b.basecode")
                                   .arg(n));
            if (!bts || bts->RecordCount() <= i)
                return false;
            bts->MoveFirst();
            for (int skip = 0; skip < i; ++skip)
                bts->MoveNext();
            const QString room =
                db.firstText(QStringLiteral("select roomno from res_baseroom where city='%1' and (%2bts is "
                                            "null or %2bts='') and roomno is not null%3 order by roomcode")
                                 .arg(sqlText(bts->Text(QStringLiteral("city"))), n,
                                      taken.isEmpty() ? QString()
                                                      : QStringLiteral(" and roomno not in ('%1')")
                                                            .arg(taken.join(QStringLiteral("','")))))
                    .value_or(QString());
            if (room.isEmpty())
                return false;
            taken << room;
            QStringList row;
            for (const QString& heading : std::as_const(headings)) {
                if (heading == QStringLiteral("网络类型"))
                    row << net;
                else if (heading == QStringLiteral("所属地市"))
                    row << bts->Text(QStringLiteral("city_name"));
                else if (heading == QStringLiteral("基站编号"))
                    row << bts->Text(QStringLiteral("basenum"));
                else if (heading == QStringLiteral("目标机房编号"))
                    row << room;
                else if (heading == QStringLiteral("经度"))
                    row << bts->Text(QStringLiteral("longitude"));
                else if (heading == QStringLiteral("纬度"))
                    row << bts->Text(QStringLiteral("latitude"));
                else if (heading == QStringLiteral("是否共享"))
                    row << (net == QStringLiteral("C") ? QStringLiteral("否") : QString());
                // Each network's own column: a value under another network's is refused.
                else if (heading.startsWith(QStringLiteral("所属BSC")))
                    row << (net != QStringLiteral("D") ? bts->Text(QStringLiteral("belongbsc")) : QString());
                else if (heading.startsWith(QStringLiteral("所属RNC")))
                    row << (net == QStringLiteral("D") ? bts->Text(QStringLiteral("belongbsc")) : QString());
                else
                    row << QString();
            }
            rows << row;
        }
    }
    // Row 2 of the file to a room of its city that holds a G BTS, row 6 with a longitude
    // written as words, row 9 naming a C BTS that does not exist.
    const QString held =
        db.firstText(QStringLiteral("select roomno from res_baseroom where gbts is not null and "
                                    "gbts<>'' and roomno is not null and city=(select city "
                                    "from res_gbts where basenum='%1') order by roomcode desc")
                         .arg(sqlText(rows.at(0).at(headings.indexOf(QStringLiteral("基站编号"))))))
            .value_or(QString());
    rows[0][headings.indexOf(QStringLiteral("目标机房编号"))] = held;
    rows[4][headings.indexOf(QStringLiteral("经度"))] = QStringLiteral("东经113度");
    rows[7][headings.indexOf(QStringLiteral("基站编号"))] = QStringLiteral("9999999");
    QByteArray bytes("\xEF\xBB\xBF");
    rows.prepend(headings);
    for (const QStringList& row : std::as_const(rows))
        bytes += row.join(QLatin1Char(',')).toUtf8() + "\r\n";
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
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
    if (!writePlan(context, plan)) {
        std::fprintf(stderr, "no plan of nine rows could be made on this database\n");
        return 1;
    }
    main->bar()->tool(QStringLiteral("mnuPlan"))->trigger();
    auto* planWindow = component.loaded<frmPlan>();
    if (!planWindow || !planWindow->openFile(plan))
        return 1;
    tools::press(planWindow, "cmdCheck");
    std::printf("plan check: %s\n",
                planWindow->findChild<QPushButton*>(QStringLiteral("cmdApply"))->isEnabled()
                    ? "every row passes"
                    : "rows refused");
    // Wide enough for the longest reason to be read whole.
    planWindow->resize(1400, 420);
    planWindow->sheet()->setColWidth(6, 480);
    grab(planWindow, out, "plan-check.png");
    component.clearEnv();
    return 0;
}
