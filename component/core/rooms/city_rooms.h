// SPDX-License-Identifier: MIT
#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

namespace corvan {

class mdlPubVar;

// The rooms of one city as the wizard needs them beside the options of its room row: each
// room's name, number, county and whether it holds a BTS of the network. Read with one
// statement the first time a city's rooms are wanted and kept until another city's are, so
// that telling rooms of one name apart and the room picker share what one opening read.
class CityRooms {
public:
    struct Room {
        QString name;
        QString number; // trimmed
        QString county; // trimmed
        bool occupied = false;
    };

    // The statement that reads the city's rooms with the network's BTS column; every room
    // when there is no city.
    static QString statement(const QString& cityId, const QString& net);

    // The city's rooms by code, read unless they were for this city and network; empty when
    // the statement fails.
    const QHash<QString, Room>& of(const mdlPubVar& context, const QString& cityId, const QString& net);
    // The numbers (trimmed) of some rooms by code: from the city's rooms when they were read
    // for this city, else with a statement naming those rooms alone, kept for nothing. Rooms of
    // one name are few beside a city's thousands, and the page opens without reading the rest.
    QHash<QString, QString> numbersOf(const mdlPubVar& context, const QString& cityId, const QString& net,
                                      const QStringList& codes) const;
    // Forgets what was read: the next request reads again.
    void clear();

private:
    QString m_city;
    QString m_net;
    bool m_read = false;
    QHash<QString, Room> m_rooms;
};

} // namespace corvan
