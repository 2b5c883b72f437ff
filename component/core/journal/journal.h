// SPDX-License-Identifier: MIT
#pragma once

#include <optional>

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

namespace corvan {

class SystemDb;
class mdlPubVar;

// A relocation applied as a row of a relocation plan names the plan and its row in its
// journal entry; a relocation of no plan names none.
struct JournalPlanRow {
    QString plan;
    int row = 0;
};

// What a relocation overwrote and deleted, kept beside its record so that nothing is ever
// lost: one entry per record of h_btsdispatch, keyed by its discode, in a table of the
// component's own (corvan_journal). The entry's body is JSON that both engines store
// exactly:
//   {"net", "basecode",
//    "bts": {"columns": [...], "before": [...], "after": [...]},
//    "rooms": [{"roomcode", "value"}, ...]      the rooms' network column before, old room first,
//    "cells" | "antennas" | "feeders": {"columns": [...], "rows": [[...], ...]}   rows deleted}
// A value is a text, null, or {"base64": ...} for a binary column (a picture).
class Journal {
public:
    struct Entry {
        QString discode;
        QString net;
        QString basecode;
        QString fromRoom;
        QString toRoom;
        QString reverses;   // the record this one reverses, for a reversal
        QString reversedBy; // the reversal that reversed this one
        QJsonObject body;
        QString plan;    // the relocation plan it was applied in, if any
        int planRow = 0; // and the plan's row
        QString time;    // when it was committed, yyyy-MM-dd hh:mm:ss local time; none before the column
        bool exists() const { return !discode.isEmpty(); }
    };

    // The body's keys of the rows a relocation deletes.
    static const QString Cells;
    static const QString Antennas;
    static const QString Feeders;
    // The codes of the rows of one of them ("cellcode", "antcode", "linecode").
    static QStringList codes(const QJsonObject& body, const QString& kind);
    // The JSON text of a text, quoted and escaped.
    static void appendJsonText(QString& out, QStringView text);

    // The rows of a statement as {"columns", "rows"}; nothing when the query fails.
    static std::optional<QJsonObject> rowsOf(const SystemDb& db, const QString& sql);
    // A value as an SQL literal: null, a quoted text, or the binary function of the engine.
    static QString literal(const QJsonValue& value);

    // What a relocation is about to overwrite and delete: its BTS, the rooms whose network
    // column it changes (old room first), and the codes of the rows it deletes.
    struct Subject {
        QString net;
        QString basecode;
        QStringList roomCodes;
        QStringList cellCodes;
        QStringList antennaCodes;
        QStringList feederCodes;
    };
    // An entry as JSON text, written once as its rows are read: all it lacks is the BTS row
    // after the relocation, which goes between head and tail. With the codes of the rows the
    // relocation deletes, as they were read.
    struct Draft {
        QString net;
        QString basecode;
        QString head; // {"net",..,"basecode",..,"bts":{"columns":[..],"before":[..]
        QString tail; // },"rooms":[..],"cells":{..},"antennas":{..},"feeders":{..}}
        QStringList cellCodes;
        QStringList antennaCodes;
        QStringList feederCodes;
    };
    // The draft of a body built as an object (the reversal's), each part written once.
    static Draft draft(const QJsonObject& body);

    // Read inside the relocation's transaction before its first step: the BTS row, the
    // rooms' network column and every row the commit will delete.
    static std::optional<Draft> before(const mdlPubVar& context, const Subject& subject);
    // Completes the entry with the BTS row as it stands now and writes it, with the time of
    // day it is written (a server may put its own clock's in its place).
    using PlanRow = JournalPlanRow;
    static bool write(const mdlPubVar& context, const Draft& draft, const QString& discode,
                      const QString& fromRoom, const QString& toRoom, const QString& reverses = {},
                      const PlanRow& plan = {});

    // The statement that writes an entry, its values bound rather than quoted in: the entry's
    // text runs to kilobytes, which the engine then neither quotes nor parses.
    struct Insert {
        QString sql;
        QStringList values;
    };
    // entry: all but its body, which text holds.
    static Insert insertStatement(const Entry& entry, const QString& text);
    // The form of the entry's time.
    static QString timeText(const QDateTime& time);
    // The time of day of an entry's time, hh:mm:ss; none when it holds no such form.
    static QString timeOfDay(const QString& entryTime);
    static QString readStatement(const QString& discode);
    static QString btsStatement(const QString& net, const QString& basecode);
    static QString roomStatement(const QString& roomCode);
    static QString markReversedStatement(const QString& discode, const QString& reversal);

    // Whether the database has the journal's table: looked at once per data service, outside
    // any transaction (on PostgreSQL a failed read ends the transaction it runs in). A
    // database that cannot be read at all is taken to have it, so that the failure is told
    // where it happens.
    static bool available(const mdlPubVar& context);
    static QString probeStatement();

    // The entry of a record; one that does not exist when the record has none (written
    // before the journal) or it cannot be read (a database without the journal's table).
    static std::optional<Entry> read(const mdlPubVar& context, const QString& discode);
    // Every entry of a BTS, oldest first; none when they cannot be read.
    static QList<Entry> ofBts(const mdlPubVar& context, const QString& net, const QString& basecode,
                              bool* ok = nullptr);
    // The relocations of a BTS after one of its entries, oldest first, as the code each has
    // and the code of the record it reverses: what a reversal must find cancelled. Read
    // without the entries' bodies, which grow with every cell the BTS had.
    struct Later {
        QString discode;
        QString reverses;
    };
    static QString laterStatement(const QString& net, const QString& basecode, const QString& after);
    static std::optional<QList<Later>> laterOf(const mdlPubVar& context, const QString& net,
                                               const QString& basecode, const QString& after);

    // The full rows of a resource table by codes ("cellcode", "antcode", "linecode").
    static QString rowsStatement(const QString& table, const QString& codeColumn, const QStringList& codes);
};

} // namespace corvan
