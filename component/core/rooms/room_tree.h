// SPDX-License-Identifier: MIT
#pragma once

#include <QHash>
#include <QString>
#include <QStringView>
#include <vector>

namespace corvan {

class RecordSet;
class mdlPubVar;

// What the room search shows of a room query, without widgets: a node per city and per county
// in the order the rows bring them, and under each county its rooms in the rows' order. A room
// is known by its key, "L4" + city + name; a second room of a key is left out. The rooms are
// kept as one buffer of text, so a province of a hundred thousand rooms costs little more than
// the text of their captions until the user opens a county.
class RoomTree {
public:
    struct Division {
        QString key;     // "L2" + city, or "L3" + city + county
        QString caption; // the division's name, or "未知"
        int city;        // the city division above a county; -1 for a city
    };

    RoomTree() = default;
    RoomTree(const RoomTree&) = delete;
    RoomTree& operator=(const RoomTree&) = delete;

    void clear();
    // Takes every row of a room query (fields city, county, RoomName, RoomNo). A division's
    // name is looked up once, when its first row comes.
    void read(const mdlPubVar& context, RecordSet& rows);

    const std::vector<Division>& divisions() const { return m_divisions; }
    // The rooms under a county division (none under a city).
    int roomCount(int division) const { return int(m_countyRooms.at(std::size_t(division)).size()); }
    QString roomKey(int division, int position) const;
    // The name, with the number in brackets when the room has one.
    QString roomCaption(int division, int position) const;
    QString roomNumber(int division, int position) const;
    // Where the room with that key stands; false when no room has it.
    bool find(const QString& key, int* division, int* position) const;

    // The rooms that got a node (a second room of a key is not one), and the counties.
    int shownRooms() const { return m_shown; }
    int countyCount() const;
    // A result the user reads at a glance opens with its counties open: a single county, or
    // fewer rooms than FewRooms. A larger one opens at its counties.
    static constexpr int FewRooms = 50;
    bool opensExpanded() const { return countyCount() == 1 || m_shown < FewRooms; }
    // What the search pane says of the result under the tree; empty when there is none.
    QString countText() const;

private:
    // A room's text in the buffer: its city, name and number one after the other.
    struct Room {
        quint32 text;
        quint32 division;
        quint32 position;
        quint32 city;
        quint32 name;
        quint32 number;
    };
    static constexpr quint32 Free = 0xffffffffu;

    int division(const mdlPubVar& context, const QString& key, const QString& code, int city);
    // The city and name of a room: its key without the "L4".
    QStringView keyOf(quint32 room) const;
    QStringView textOf(const Room& room, quint32 skip, quint32 size) const;
    const Room& room(int division, int position) const;
    // The slot of the key in the table of first rooms: the room's, or a free one.
    std::size_t slotOf(QStringView key) const;

    QString m_text;
    std::vector<Room> m_rooms;
    std::vector<Division> m_divisions;
    QHash<QString, int> m_divisionByKey;
    std::vector<std::vector<quint32>> m_countyRooms;
    std::vector<quint32> m_slots;
    int m_shown = 0;
};

} // namespace corvan
