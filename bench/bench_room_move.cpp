// SPDX-License-Identifier: MIT
// How long a whole machine room takes to move: a room of the demo database holding a G, a C
// and a D BTS, each brought to six cells with their antennas and feeders, moved to a free
// room of its city in one commit. Usage: corvan-bench-room-move DATABASE  (a demo database,
// `corvan --create-demo --database x.sqlite`, or a postgresql:// URL). The database is changed.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

#include "core/context/divisions.h"
#include "core/context/mdl_pub_var.h"
#include "core/context/resource_view.h"
#include "core/context/sql_literal.h"
#include "core/room_move/room_move.h"
#include "core/rooms/room_lookup.h"
#include "corvan/controls/property_item.h"
#include "data/sql_data_service.h"
#include "desktop/host_services.h"

using namespace corvan;

namespace {

class Quiet : public WizardPrompt {
public:
    void showMessage(const QString& text, Icon) override { told << text; }
    bool askRetry(const QString&, const QString&) override { return false; }
    bool ask(const QString&) override { return false; }
    QStringList told;
};

constexpr int CellsPerBts = 6;

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DATABASE\n", argv[0]);
        return 2;
    }
    host::SqlDataService data;
    QString error;
    if (!data.open(QString::fromLocal8Bit(argv[1]), &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 2;
    }
    host::HostServices services(&data);
    services.configure(QStringLiteral("admin"), QString());
    mdlPubVar context;
    context.setServices(services.objectArray());
    const SystemDb& db = context.db();
    const auto text = [&](const QString& sql) {
        return db.firstText(sql).value_or(QString());
    };

    // A room with all three networks, and a free room of the same city.
    const QString room =
        text(QStringLiteral("select roomcode from res_baseroom where gbts is not null and cbts is not "
                            "null and dbts is not null order by roomcode"));
    const QString city = text(QStringLiteral("select city from res_baseroom where roomcode='%1'").arg(room));
    const QString target =
        text(QStringLiteral("select roomcode from res_baseroom where city='%1' and gbts is null and "
                            "cbts is null and dbts is null order by roomcode")
                 .arg(city));
    if (room.isEmpty() || target.isEmpty()) {
        std::fprintf(stderr, "no room with three networks and no free room beside it\n");
        return 1;
    }
    QMap<QString, AttrTable> tables;
    int added = 0;
    for (const QString& net : {QStringLiteral("G"), QStringLiteral("C"), QStringLiteral("D")}) {
        const QString n = net.toLower();
        const QString number =
            text(QStringLiteral("select %1bts from res_baseroom where roomcode='%2'").arg(n, room));
        const QString code =
            text(QStringLiteral("select basecode from res_%1bts where basenum='%2'").arg(n, number));
        // Six cells, each with an antenna and a feeder, whatever the demo gave it.
        for (int c = text(QStringLiteral("select count(*) from res_%1cell where city='%2' and bts='%3'")
                              .arg(n, city, number))
                         .toInt();
             c < CellsPerBts; ++c, ++added) {
            const QString id = QStringLiteral("9%1%2").arg(number).arg(c);
            db.execute(
                QStringLiteral("insert into res_%1cell(cellcode,ci,city,bts) values ('%2','%2','%3','%4')")
                    .arg(n, id, city, number));
            db.execute(QStringLiteral("insert into res_%1ant(antcode,ci,city) values ('%2','%2','%3')")
                           .arg(n, id, city));
            db.execute(QStringLiteral(
                           "insert into res_%1antline(linecode,lineid,ci,city) values ('%2','%2','%2','%3')")
                           .arg(n, id, city));
        }
        ResourceView::GetResourceData(context, QStringLiteral("v_res_%1bts").arg(n), code, &tables[net]);
    }
    const QString cityName = mdlPubFun::GetCityName(context, city);
    const QString targetName = RoomLookup::GetRoomName(context, target);

    QElapsedTimer whole;
    whole.start();
    PropertyItems shared;
    PropertyItems pages[3];
    Quiet prompt;
    RoomMove move(context, shared,
                  {{QStringLiteral("G"), &pages[0]},
                   {QStringLiteral("C"), &pages[1]},
                   {QStringLiteral("D"), &pages[2]}},
                  prompt);
    if (!move.start(tables)) {
        std::fprintf(stderr, "the pages could not be built\n");
        return 1;
    }
    for (const auto& [key, value] : {std::pair{"city", cityName}, std::pair{"belongroom", targetName}})
        if (PropertyItem* item = shared.GetItem(QLatin1String(key))) {
            // Rooms sharing a name carry their number; the first option of the name serves here.
            QString caption = value;
            for (const auto& option : item->Children())
                if (option->Key() == QStringLiteral("K:") + (key == std::string_view("city") ? city : target))
                    caption = option->Caption();
            item->setValue(caption);
            move.sharedValueChanged(item);
        }
    if (!move.share() || !move.check()) {
        std::fprintf(stderr, "refused: %s\n", qPrintable(prompt.told.join(QLatin1Char(' '))));
        return 1;
    }
    const qint64 prepared = whole.elapsed();
    QElapsedTimer timer;
    timer.start();
    const bool committed = move.commit();
    const qint64 ms = timer.elapsed();
    std::printf("room move\t%s\t3 BTSs, %d cells each (+%d added), their antennas and feeders\tpages and "
                "checks %lld ms"
                "\tcommit %lld ms\t%s\n",
                data.engine() == host::Engine::SQLite ? "SQLite" : "PostgreSQL", CellsPerBts, added,
                static_cast<long long>(prepared), static_cast<long long>(ms),
                committed ? "committed" : qPrintable(prompt.told.join(QLatin1Char(' '))));
    return committed ? 0 : 1;
}
