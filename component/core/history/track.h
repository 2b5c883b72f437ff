// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QString>

namespace corvan {

class mdlPubVar;

// Where a BTS has been, and what went into or out of a room: the relocation records that
// concern them, newest first, one line each (date and the journal's time of day, user,
// network, from, to, and whether it is a reversal or was reversed). Of one day the records
// with a time come by their time, then those without one (written before the journal kept
// it) by their code.
class Track {
public:
    struct Item {
        QString discode;
        QString caption;
        bool inferred = false; // a record from before the journal, matched by room and network
        bool reversal = false; // a record that reversed another
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
    // date[ time],user,network网,从 room 到 room — and marks for a record matched by its rooms,
    // for a reversal and for a relocation reversed since.
    struct Line {
        QString date;
        QString time; // hh:mm:ss, or none
        QString user;
        QString net;
        QString fromRoom;
        QString toRoom;
        bool inferred = false;
        bool reversal = false;
        bool reversed = false;
    };
    static QString caption(const Line& line);
    // Newest first: by day, then the timed ones by time, then by code, all descending.
    struct Dated {
        QString day;  // yyyy-MM-dd, or whatever text the record's distime is
        QString time; // hh:mm:ss, or none
        QString discode;
    };
    static bool newerFirst(const Dated& a, const Dated& b);

    static const QString InferredMark;
    static const QString ReversalMark;
    static const QString ReversedMark;
};

} // namespace corvan
