// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace corvan {

class PropertyItem;
class PropertyItems;
class mdlPubVar;
struct MoveBtsState;

// The target rooms as a picker offers them: every option of the BTS page's room row with
// the room's number, county and whether it can take the BTS. A room that already holds a
// BTS of the network, and the room the BTS stands in, are listed but cannot be chosen,
// each with the reason. Choosing an entry means choosing its option of the row, so the
// grid receives exactly what its own list would have given.
class RoomPicker {
public:
    static const QString AllCounties;

    struct Room {
        QString code;
        QString caption; // the option's caption, what the row takes
        QString name;
        QString number;
        QString countyId;
        QString county;
        QString refusal;      // why the room cannot be chosen; empty when it can
        QStringList takenFor; // the networks whose BTS the room already holds, of those asked
    };

    // The rooms behind the options of the row for the network's BTS; the county names come
    // from the county row's options where it has them. The city's rooms are those the state
    // keeps (CityRooms), read now only when the page has not read them yet.
    void load(const mdlPubVar& context, const MoveBtsState& state, const PropertyItems& grid);
    // After load, for a move of several BTSs to one room: the rooms that hold a BTS of this
    // state's network are refused too, the reason naming every network that holds one.
    void alsoFor(const mdlPubVar& context, const MoveBtsState& state, const PropertyItems& grid);
    // The city whose rooms the row offers: the one chosen on the page, else the BTS's.
    static QString cityOf(const MoveBtsState& state, const PropertyItems& grid);

    const QList<Room>& rooms() const { return m_rooms; }
    // The counties of the listed rooms as (id, name), by name.
    QList<std::pair<QString, QString>> counties() const;
    // The county id the page's county row shows now, empty when it shows none of them.
    const QString& pageCounty() const { return m_pageCounty; }
    // The indexes of the rooms whose name or number contains the text (case and blanks at
    // either end ignored) in the county (empty for all): sorted by name, then number.
    QList<int> filter(const QString& text, const QString& countyId) const;

private:
    QList<Room> m_rooms;
    // The indexes of the rooms by name, then number.
    QList<int> m_order;
    QString m_pageCounty;
};

} // namespace corvan
