// SPDX-License-Identifier: MIT
#pragma once

#include <QHash>
#include <QString>
#include <memory>

namespace corvan {

class PropertyItems;
class RecordSet;
class mdlPubVar;

// The records one history list statement found and the captions made of them. The list shows
// them newest first; a caption is made when it is first read (a view shows its row, a filter
// reads it), each room looked up once per list, so a list costs its statement and the rooms
// of the rows the user sees. Wanting every caption at once (a filter), the list names all its
// rooms with one statement instead of one per room.
class HistoryRows {
public:
    // Runs the list statement and puts one ITEM_OPTION row per record into the list, keyed
    // "K:" + discode, newest first: by the day the caption begins with, then those with a
    // time of day in the journal by that time, then by the key, all descending. The times come
    // with one statement (timesStatement; for a long list whose journal is not much longer,
    // its count and then every time it holds) and show after the day. Nothing when the list
    // statement fails; the list is then empty.
    static std::shared_ptr<HistoryRows> fill(const mdlPubVar& context, PropertyItems& list,
                                             const QString& sql);

    // The statement that names every room the records of a list statement name: the list's
    // condition, the rooms' codes and names. Empty for a statement not of the list's form.
    static QString roomsStatement(const QString& listStatement);
    // The statement that reads the journal's time of every record of a list statement that has
    // one. Empty for a statement not of the list's form.
    static QString timesStatement(const QString& listStatement);

    // The caption of the record at that row of the statement's result.
    QString caption(int row);
    // Names every room the list's records name, with one statement; later captions send none.
    // False when the statement fails: the captions then look their rooms up one by one.
    bool nameEveryRoom();
    // Whether every room is named already.
    bool everyRoomNamed() const { return m_everyRoomNamed; }

    HistoryRows(const mdlPubVar& context, std::shared_ptr<RecordSet> rows, const QString& sql);

private:
    QString roomName(const QString& code);

    const mdlPubVar& m_context;
    std::shared_ptr<RecordSet> m_rows;
    QString m_statement;
    int m_time;
    int m_code;
    int m_net;
    int m_from;
    int m_to;
    QHash<QString, QString> m_roomNames;
    QHash<QString, QString> m_times; // discode → hh:mm:ss
    bool m_everyRoomNamed = false;
};

} // namespace corvan
