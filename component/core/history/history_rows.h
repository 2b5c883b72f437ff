// SPDX-License-Identifier: MIT
#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <vector>

namespace corvan {

class PropertyItems;
class RecordSet;
class mdlPubVar;

// The records one history list statement finds, read a page at a time, and the captions made
// of them. The list shows them newest first: by day, then by record code, both descending,
// which the statement with an ordering and a page's limit appended reads from an index. A
// page costs its statement, the journal's times of its records and the names of their rooms;
// the first also the count of every record, when it is full. The rest come as the user
// scrolls, goes to the end, filters or exports.
class HistoryRows {
public:
    // The first page: a screen or three. Later ones are larger, as they come while the user
    // scrolls through rows already shown.
    static constexpr int FirstPage = 100;
    static constexpr int Page = 500;

    // Runs the first page of the list statement and puts one ITEM_OPTION row per record into
    // the list, keyed "K:" + discode; the list then reads its next pages from here. Nothing
    // when the statement fails; the list is then empty.
    static std::shared_ptr<HistoryRows> fill(const mdlPubVar& context, PropertyItems& list,
                                             const QString& sql);

    // The list statement as it is sent for the rows from offset on, at most limit of them.
    static QString pageStatement(const QString& listStatement, int offset, int limit);
    // The count of the records a list statement finds. Empty for a statement not of the
    // list's form.
    static QString countStatement(const QString& listStatement);
    // The statement that names every room the records of a list statement name: the list's
    // condition, the rooms' codes and names. Empty for a statement not of the list's form.
    static QString roomsStatement(const QString& listStatement);
    // The statement that reads the journal's time of every record of a list statement that has
    // one. Empty for a statement not of the list's form.
    static QString timesStatement(const QString& listStatement);

    // How many records the statement finds: its count, or the records read if more came.
    int count() const;
    // Whether every record the statement finds has its row.
    bool complete() const { return m_complete; }
    // Reads the next page, or every record still to come, into the list; false when a
    // statement failed.
    bool fetch(PropertyItems& list, bool all);

    // The caption of the record at that row of those read.
    QString caption(int row);
    // Names every room the list's records name, with one statement; later captions send none.
    // False when the statement fails: the captions then look their rooms up one by one.
    bool nameEveryRoom();
    // Whether every room is named already.
    bool everyRoomNamed() const { return m_everyRoomNamed; }

    HistoryRows(const mdlPubVar& context, const QString& sql);

private:
    struct Row {
        QVariant day;
        QString code;
        QString net;
        QString from;
        QString to;
    };
    // One page of limit rows from the rows read on; false when its statement failed.
    bool readPage(PropertyItems& list, int limit);
    // The journal's times and the rooms' names of the rows from first on.
    void readTimes(std::size_t first);
    void nameRooms(std::size_t first);
    QString roomName(const QString& code);

    const mdlPubVar& m_context;
    QString m_statement;
    std::vector<Row> m_rows;
    int m_count = -1;
    bool m_complete = false;
    QHash<QString, QString> m_roomNames;
    QHash<QString, QString> m_times; // discode → hh:mm:ss
    bool m_everyRoomNamed = false;
    bool m_everyTimeRead = false;
};

} // namespace corvan
