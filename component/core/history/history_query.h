// SPDX-License-Identifier: MIT
#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <optional>

namespace corvan {

class HistoryRows;
class PropertyItems;
class mdlPubVar;

// What the relocation history reads from h_btsdispatch, without any widget: the query
// behind the criteria panel, the caption of a listed record, the statement that reads
// one record back, and its disinfo as the lines a user reads.
class HistoryQuery {
public:
    // The entry of the city and network lists that narrows nothing.
    static const QString All;
    // The network list's entries after All, in the order the list offers them.
    static const QString NetworkEntries[3];

    // The statement of the query panel. cityId is empty for every city (an unknown city
    // name gives an empty identifier, which then matches no record); netText is an entry
    // of the network list. No ordering clause is sent.
    static QString statement(const std::optional<QString>& cityId, const QString& netText, const QDate& begin,
                             const QDate& end);
    // The network letter of a network list entry ("G 网" gives "G").
    static QString netLetter(const QString& netText);
    // Year, then month and day padded to two digits: 2006-03-07.
    static QString dateText(const QDate& date);

    // One line of the record list.
    static QString caption(const QString& distime, const QString& net, const QString& fromRoom,
                           const QString& toRoom);
    // distime as the lists and the sheet show it: the date alone, yyyy-MM-dd, whether the
    // engine hands back a date, a timestamp or the stored text.
    static QString distimeText(const QVariant& value);
    // A day as distimeText gives it, as the number yyyymmdd; -1 for a text that is no day.
    static int dayNumber(const QString& day);

    // Reads one record back by its code.
    static QString recordStatement(const QString& code);
    // One record as the record view shows it: rows 1 to 7 of its sheet (time, user,
    // network, cities and rooms by name) and its disinfo as stored.
    struct Record {
        QStringList values;
        QString disinfo;
    };
    // Nothing when the query fails; an empty list of values when no record has the code.
    static std::optional<Record> read(const mdlPubVar& context, const QString& code);
    // disinfo for reading: trimmed, every line marker made a line break ("\r\n").
    static QString infoText(const QString& disinfo);

    // The city names of the user's province for the criteria, in the order the database
    // hands them back (no ordering clause is sent).
    static QStringList cityNames(const mdlPubVar& context);

    // Runs a list statement and puts one ITEM_OPTION row per record into the list, keyed
    // "K:" + discode, newest first (HistoryRows). A caption is made when it is first read: a
    // view shows its row, Caption() is asked. Nothing when the statement fails; the list is
    // then empty.
    static std::shared_ptr<HistoryRows> fillList(const mdlPubVar& context, PropertyItems& list,
                                                 const QString& sql);
};

} // namespace corvan
