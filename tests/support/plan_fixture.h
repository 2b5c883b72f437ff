// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace corvan::test {

class TestDatabase;

// The demo province at a small size (its three networks' rules, BTSs with cells, antennas
// and feeders, users admin and demo), and relocation plans over it: each row moves a BTS of
// G, C and D in turn to a numbered room of its own city that holds no BTS of that network,
// no BTS and no target twice.
class PlanFixture {
public:
    static void load(TestDatabase& db, int rooms = 300);

    struct Move {
        QString net;
        QString cityName;
        QString number;
        QString roomNumber;
        QString longitude;
        QString latitude;
        QString bsc;
    };
    static QList<Move> moves(TestDatabase& db, int count);
    // A plan sheet: the headings, then one row per move, each column filled as its heading
    // asks (the network, the city, the BTS number, the target room by number, the BTS's own
    // coordinates and controller, "否" for yes-or-no fields).
    static QList<QStringList> sheet(const QStringList& headings, const QList<Move>& moves);

    // Every row of every resource table a relocation touches (rooms, BTSs, cells, antennas,
    // feeders of the three networks), in code order: equal dumps mean an unchanged database.
    static QStringList resources(TestDatabase& db);
};

} // namespace corvan::test
