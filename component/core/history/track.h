// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QString>

namespace corvan {

class mdlPubVar;

// Where a BTS has been, and what went into or out of a room: the relocation records that
// concern them, newest first, one line each (date, user, network, from, to).
class Track {
public:
    struct Item {
        QString discode;
        QString caption;
        bool inferred = false; // a record from before the journal, matched by room and network
    };

    // Every relocation of the BTS: the records with its journal entries, and the records
    // without one whose network is the BTS's and whose rooms are rooms the BTS is known to
    // have stood in, unless another BTS's journal claims them.
    static QList<Item> ofBts(const mdlPubVar& context, const QString& net, const QString& basecode,
                             const QString& roomCode);
    // Every relocation into or out of the room.
    static QList<Item> ofRoom(const mdlPubVar& context, const QString& roomCode);

    static QString btsStatement(const QString& net, const QString& basecode, const QStringList& rooms);
    static QString roomStatement(const QString& roomCode, bool journaled = true);
    // The BTS's records by its rooms alone, for a database without the journal's table.
    static QString recordsStatement(const QString& net, const QStringList& rooms);
    // date,user,network网,从 room 到 room — and a mark for a record matched by its rooms.
    static QString caption(const QString& date, const QString& user, const QString& net,
                           const QString& fromRoom, const QString& toRoom, bool inferred);

    static const QString InferredMark;
};

} // namespace corvan
