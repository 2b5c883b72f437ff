// SPDX-License-Identifier: MIT
#include "bench/load_checks.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace corvan::bench {

namespace {

using namespace Qt::StringLiterals;

const QStringList Networks{u"g"_s, u"c"_s, u"d"_s};

struct Room {
    QString city;
    QString name;
    QHash<QString, QString> held; // network letter -> the BTS number the room holds
};

struct Bts {
    QString basenum;
    QString city;
    QString belongroom;
};

struct Record {
    QString code, net, fromCity, toCity, fromRoom, toRoom;
};

// A row of the journal's {"columns", "before"/"after"/"rows"} as column -> text.
QHash<QString, QString> named(const QJsonArray& columns, const QJsonArray& values)
{
    QHash<QString, QString> row;
    for (qsizetype i = 0; i < columns.size() && i < values.size(); ++i)
        row.insert(columns.at(i).toString(), values.at(i).toString());
    return row;
}

} // namespace

QList<QStringList> LoadChecks::rows(const QString& sql)
{
    QList<QStringList> result;
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!query.exec(sql)) {
        fail(u"the query failed: "_s + sql + u": "_s + query.lastError().text());
        return result;
    }
    while (query.next()) {
        QStringList fields;
        for (int i = 0; i < query.record().count(); ++i)
            fields << query.value(i).toString().trimmed();
        result << fields;
    }
    return result;
}

QSet<QString> LoadChecks::recordCodes()
{
    QSet<QString> codes;
    for (const QStringList& row : rows(u"select discode from h_btsdispatch"_s))
        codes.insert(row.at(0));
    return codes;
}

QStringList LoadChecks::run(const QList<Commit>& commits, const QSet<QString>& before)
{
    m_found.clear();
    checkRooms();
    checkRecords(commits, before);
    return m_found;
}

void LoadChecks::checkRooms()
{
    for (const QString& n : Networks) {
        const QString column = n + u"bts"_s;
        for (const QStringList& row :
             rows(u"select %1, count(*) from res_baseroom where %1 is not null and %1 <> '' "
                  u"group by %1 having count(*) > 1"_s.arg(column)))
            fail(u"the %1 BTS number %2 stands in %3 rooms"_s.arg(n.toUpper(), row.at(0), row.at(1)));
        // A room holds one number per network; two BTS rows of that number are two BTSs in one room.
        for (
            const QStringList& row : rows(
                u"select r.roomcode, r.%1, (select count(*) from res_%1 b where b.basenum = r.%1) from "
                u"res_baseroom r "
                u"where r.%1 is not null and r.%1 <> '' and (select count(*) from res_%1 b where b.basenum = r.%1) <> 1"_s
                    .arg(column)))
            fail(u"room %1 holds the %2 number %3, which %4 BTSs have"_s.arg(row.at(0), n.toUpper(),
                                                                             row.at(1), row.at(2)));
    }
}

void LoadChecks::checkRecords(const QList<Commit>& commits, const QSet<QString>& before)
{
    for (const QStringList& row :
         rows(u"select discode, count(*) from h_btsdispatch group by discode having count(*) > 1"_s))
        fail(u"the record code %1 is used %2 times"_s.arg(row.at(0), row.at(1)));

    QHash<QString, Room> rooms;
    for (const QStringList& row :
         rows(u"select roomcode, city, roomname, gbts, cbts, dbts from res_baseroom"_s))
        rooms.insert(
            row.at(0),
            Room{row.at(1), row.at(2), {{u"g"_s, row.at(3)}, {u"c"_s, row.at(4)}, {u"d"_s, row.at(5)}}});
    QHash<QString, QHash<QString, Bts>> bts; // network letter -> basecode -> row
    QHash<QString, QSet<QString>> present;   // "res_gcell" ... -> codes that exist
    for (const QString& n : Networks) {
        for (const QStringList& row :
             rows(u"select basecode, basenum, city, belongroom from res_%1bts"_s.arg(n)))
            bts[n].insert(row.at(0), Bts{row.at(1), row.at(2), row.at(3)});
        for (const auto& [kind, key] :
             {std::pair{u"cell"_s, u"cellcode"_s}, {u"ant"_s, u"antcode"_s}, {u"antline"_s, u"linecode"_s}}) {
            const QString table = u"res_"_s + n + kind;
            for (const QStringList& row : rows(u"select %1 from %2"_s.arg(key, table)))
                present[table].insert(row.at(0));
        }
    }
    QMap<QString, Record> records; // by code, oldest first
    for (const QStringList& row :
         rows(u"select discode, net, fromcity, tocity, fromroom, toroom from h_btsdispatch"_s))
        records.insert(row.at(0),
                       Record{row.at(0), row.at(1).toUpper(), row.at(2), row.at(3), row.at(4), row.at(5)});
    QHash<QString, QStringList> journal; // discode -> net, basecode, fromroom, toroom, entry
    for (const QStringList& row :
         rows(u"select discode, net, basecode, fromroom, toroom, entry from corvan_journal"_s))
        journal.insert(row.at(0), row.mid(1));

    // What the users were told against what was written.
    QSet<QString> told;
    for (const Commit& commit : commits) {
        if (told.contains(commit.record))
            fail(u"two users were told of the same record %1"_s.arg(commit.record));
        told.insert(commit.record);
        const Record record = records.value(commit.record);
        if (record.code.isEmpty() || before.contains(commit.record))
            fail(u"the relocation of %1 BTS %2 has no record %3 of its own"_s.arg(commit.net, commit.basecode,
                                                                                  commit.record));
        else if (record.net != commit.net || record.toRoom != commit.target ||
                 journal.value(commit.record).value(1) != commit.basecode)
            fail(u"record %1 is not the relocation of %2 BTS %3 to room %4"_s.arg(
                commit.record, commit.net, commit.basecode, commit.target));
    }
    for (const Record& record : std::as_const(records))
        if (!before.contains(record.code) && !told.contains(record.code))
            fail(u"record %1 was written, but no user was told of it"_s.arg(record.code));

    // Every record against its journal entry, and each BTS's records as one chain of moves.
    QHash<QString, Record> latest; // "net/basecode" -> the BTS's last record
    for (const Record& record : std::as_const(records)) {
        const QStringList entry = journal.value(record.code);
        if (entry.isEmpty()) {
            fail(u"record %1 has no journal entry"_s.arg(record.code));
            continue;
        }
        if (entry.at(0).toUpper() != record.net || entry.at(2) != record.fromRoom ||
            entry.at(3) != record.toRoom)
            fail(u"record %1 and its journal entry name other rooms or networks"_s.arg(record.code));
        const QString key = record.net + u'/' + entry.at(1);
        if (latest.contains(key) && latest.value(key).toRoom != record.fromRoom)
            fail(u"record %1 moves %2 from room %3, but record %4 had left it in %5"_s.arg(
                record.code, key, record.fromRoom, latest.value(key).code, latest.value(key).toRoom));
        latest.insert(key, record);

        const QJsonObject body = QJsonDocument::fromJson(entry.at(4).toUtf8()).object();
        const QJsonObject btsBody = body.value(u"bts"_s).toObject();
        const QJsonArray columns = btsBody.value(u"columns"_s).toArray();
        const auto beforeRow = named(columns, btsBody.value(u"before"_s).toArray());
        if (beforeRow.value(u"city"_s) != record.fromCity ||
            named(columns, btsBody.value(u"after"_s).toArray()).value(u"city"_s) != record.toCity)
            fail(u"record %1 names cities %2 and %3 that its BTS row did not have"_s.arg(
                record.code, record.fromCity, record.toCity));
        if (rooms.value(record.fromRoom).city != record.fromCity ||
            rooms.value(record.toRoom).city != record.toCity)
            fail(u"record %1: the cities are not those of its rooms"_s.arg(record.code));
        // The target was free and the old room held this BTS when the relocation wrote them.
        for (const QJsonValue& room : body.value(u"rooms"_s).toArray()) {
            const QString code = room[u"roomcode"_s].toString();
            const QString held = room[u"value"_s].toString();
            if (code == record.fromRoom && held != beforeRow.value(u"basenum"_s))
                fail(u"record %1: room %2 held %3, not the BTS moved"_s.arg(record.code, code, held));
            else if (code == record.toRoom && code != record.fromRoom && !held.isEmpty())
                fail(u"record %1 moved its BTS into room %2, which held %3"_s.arg(record.code, code, held));
        }
        // What the relocation deleted stays deleted.
        const QString n = record.net.toLower();
        for (const auto& [part, table] :
             {std::pair{u"cells"_s, u"cell"_s}, {u"antennas"_s, u"ant"_s}, {u"feeders"_s, u"antline"_s}})
            for (const QJsonValue& row : body.value(part).toObject().value(u"rows"_s).toArray())
                if (present.value(u"res_"_s + n + table).contains(row.toArray().at(0).toString()))
                    fail(u"record %1 deleted res_%2%3 %4, which exists"_s.arg(
                        record.code, n, table, row.toArray().at(0).toString()));
    }

    // The last move of each BTS is where it stands now.
    for (auto it = latest.cbegin(); it != latest.cend(); ++it) {
        const Record& record = it.value();
        const QString n = record.net.toLower();
        const QString basecode = it.key().mid(2);
        const Bts row = bts.value(n).value(basecode);
        const Room to = rooms.value(record.toRoom);
        if (row.basenum.isEmpty() || to.held.value(n) != row.basenum)
            fail(u"record %1 put %2 BTS %3 into room %4, which holds %5"_s.arg(
                record.code, record.net, basecode, record.toRoom, to.held.value(n)));
        if (record.fromRoom != record.toRoom && !row.basenum.isEmpty() &&
            rooms.value(record.fromRoom).held.value(n) == row.basenum)
            fail(u"record %1 moved %2 BTS %3 out of room %4, which still holds it"_s.arg(
                record.code, record.net, basecode, record.fromRoom));
        if (row.city != record.toCity || row.belongroom != to.name)
            fail(u"%1 BTS %2 stands in %3/%4, its last record %5 says %6/%7"_s.arg(
                record.net, basecode, row.city, row.belongroom, record.code, record.toCity, to.name));
    }
}

} // namespace corvan::bench
