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
    // After the names of matching rooms that the county filter hides.
    static const QString HiddenByCounty;

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
    // The rooms whose name or number matches the text but that the county filter hides,
    // told by name: "北岭县体育馆 在其他区县，选择“全部区县”可见"; empty when none is hidden.
    // At most three names, then "等".
    QString hiddenByCounty(const QString& text, const QString& countyId) const;

    // What choosing a listed room does to the page. The room row takes the room; a page
    // whose city row may be modified and shows another city (or none) takes the room's
    // city first, so that the room is among the rooms the row offers; a page whose city
    // cannot become the room's refuses the room, naming the page's city.
    struct Choice {
        QString city;    // the caption of the city option to choose first; empty to leave the city
        QString room;    // the caption of the room option
        QString refusal; // why the room cannot be the page's; empty when it can
    };
    Choice choose(const MoveBtsState& state, const PropertyItems& grid, int index) const;
    // The city whose rooms were loaded; empty when every room was.
    const QString& city() const { return m_city; }

private:
    QList<Room> m_rooms;
    // The indexes of the rooms by name, then number.
    QList<int> m_order;
    QString m_pageCounty;
    QString m_city;
};

} // namespace corvan
