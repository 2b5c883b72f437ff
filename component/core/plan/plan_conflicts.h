// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QMap>
#include <QString>

namespace corvan {

// What a plan can get wrong that no single relocation can: the rows, each as the plan found
// its BTS and target room, and the refusal each row gets from the others. Rows run in their
// order, so a room freed by an earlier row may be taken by a later one; freed only by a
// later row it may not, and rows that take each other's rooms (a swap, or a longer ring)
// cannot run in any order.
class PlanConflicts {
public:
    struct Move {
        int line = 0;         // the sheet's row number
        QString net;          // G, C or D
        QString bts;          // the BTS's code
        QString number;       // its number, as a room's network column names it
        QString fromRoom;     // the room it stands in (empty: none)
        QString toRoom;       // the target room
        QString targetHolder; // the number the target room's network column holds now
    };

    // Per index of moves, the refusal (empty when the row is none of these).
    static QList<QString> find(const QList<Move>& moves);

    static QString sameBts(int line);
    static QString sameTarget(const QList<int>& lines);
    static QString swapped(int line);
    static QString ring(const QList<int>& lines);
    static QString laterFrees(const QString& net, const QString& number, int line);
};

} // namespace corvan
