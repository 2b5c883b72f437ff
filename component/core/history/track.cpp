// SPDX-License-Identifier: MIT
#include "core/history/track.h"

#include <QHash>
#include <QSet>
#include <QStringList>
#include <algorithm>
#include <utility>
#include <vector>

#include "core/context/mdl_pub_var.h"
#include "core/context/sql_literal.h"
#include "core/history/history_query.h"
#include "core/journal/journal.h"
#include "core/rooms/room_lookup.h"

namespace corvan {

const QString Track::InferredMark = QStringLiteral("（按机房推断）");
const QString Track::ReversalMark = QStringLiteral("（撤销调整）");
const QString Track::ReversedMark = QStringLiteral("（已撤销）");

namespace {

const QString Columns = QStringLiteral(
    "select h.discode,h.distime,h.disuser,h.net,h.fromroom,h.toroom,j.basecode,j.entrytime,j.reverses,"
    "j.reversedby from h_btsdispatch h left join corvan_journal j on j.discode=h.discode");
// The same without a journal to join: every record is then matched by its rooms.
const QString RecordColumns = QStringLiteral("select h.discode,h.distime,h.disuser,h.net,h.fromroom,h.toroom,"
                                             "null,null,null,null from h_btsdispatch h");

QList<Track::Item> itemsOf(const mdlPubVar& context, const QString& sql, const QString& basecode)
{
    QList<Track::Item> items;
    auto rs = context.db().open(sql);
    if (!rs)
        return items;
    QHash<QString, QString> names;
    const auto room = [&](const QString& code) {
        if (!names.contains(code))
            names.insert(code, RoomLookup::GetRoomName(context, code));
        return names.value(code);
    };
    std::vector<std::pair<Track::Dated, Track::Item>> found;
    for (rs->MoveFirst(); !rs->isEOF(); rs->MoveNext()) {
        const QString owner = rs->Text(6);
        Track::Line line;
        line.date = HistoryQuery::distimeText(rs->Value(1));
        line.time = Journal::timeOfDay(rs->Text(7));
        line.user = rs->Text(2);
        line.net = rs->Text(3);
        line.fromRoom = room(rs->Text(4));
        line.toRoom = room(rs->Text(5));
        line.inferred = !basecode.isEmpty() && owner.isEmpty();
        line.reversal = !rs->Text(8).isEmpty();
        line.reversed = !rs->Text(9).isEmpty();
        found.push_back({Track::Dated{line.date, line.time, rs->Text(0)},
                         Track::Item{rs->Text(0), Track::caption(line), line.inferred, line.reversal}});
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const auto& a, const auto& b) { return Track::newerFirst(a.first, b.first); });
    for (auto& [dated, item] : found)
        items << item;
    return items;
}

} // namespace

QString Track::caption(const Line& line)
{
    return line.date + (line.time.isEmpty() ? QString() : QLatin1Char(' ') + line.time) + QLatin1Char(',') +
           line.user + QLatin1Char(',') + line.net + QStringLiteral("网,从") + line.fromRoom +
           QStringLiteral("到") + line.toRoom + (line.inferred ? InferredMark : QString()) +
           (line.reversal ? ReversalMark : QString()) + (line.reversed ? ReversedMark : QString());
}

bool Track::newerFirst(const Dated& a, const Dated& b)
{
    if (const int day = a.day.compare(b.day))
        return day > 0;
    // Of one day an entry with its time was written after every one without.
    if (a.time.isEmpty() != b.time.isEmpty())
        return b.time.isEmpty();
    if (const int time = a.time.compare(b.time))
        return time > 0;
    return a.discode > b.discode;
}

QString Track::btsStatement(const QString& net, const QString& basecode, const QStringList& rooms)
{
    QString sql = Columns + QStringLiteral(" where h.net='") + sqlText(net.toUpper()) +
                  QStringLiteral("' and (j.basecode='") + sqlText(basecode) + QLatin1Char('\'');
    if (!rooms.isEmpty())
        sql += QStringLiteral(" or (j.discode is null and (h.fromroom in (") + sqlTextList(rooms) +
               QStringLiteral(") or h.toroom in (") + sqlTextList(rooms) + QStringLiteral(")))");
    return sql + QStringLiteral(") order by h.discode desc");
}

QString Track::recordsStatement(const QString& net, const QStringList& rooms)
{
    return RecordColumns + QStringLiteral(" where h.net='") + sqlText(net.toUpper()) +
           QStringLiteral("' and (h.fromroom in (") + sqlTextList(rooms) +
           QStringLiteral(") or h.toroom in (") + sqlTextList(rooms) +
           QStringLiteral(")) order by h.discode desc");
}

QString Track::roomStatement(const QString& roomCode, bool journaled)
{
    return (journaled ? Columns : RecordColumns) + QStringLiteral(" where h.fromroom='") + sqlText(roomCode) +
           QStringLiteral("' or h.toroom='") + sqlText(roomCode) +
           QStringLiteral("' order by h.discode desc");
}

QList<Track::Item> Track::ofBts(const mdlPubVar& context, const QString& net, const QString& basecode,
                                const QString& roomCode)
{
    // The rooms the BTS is known to have stood in: where it stands, and where its journal
    // says it was.
    QStringList rooms;
    if (!roomCode.isEmpty())
        rooms << roomCode;
    // Without the journal only the rooms tell which records are the BTS's.
    if (!Journal::available(context))
        return rooms.isEmpty() ? QList<Item>() : itemsOf(context, recordsStatement(net, rooms), basecode);
    for (const Journal::Entry& entry : Journal::ofBts(context, net, basecode))
        for (const QString& room : {entry.fromRoom, entry.toRoom})
            if (!room.isEmpty() && !rooms.contains(room))
                rooms << room;
    return itemsOf(context, btsStatement(net, basecode, rooms), basecode);
}

QList<Track::Item> Track::ofRoom(const mdlPubVar& context, const QString& roomCode)
{
    return itemsOf(context, roomStatement(roomCode, Journal::available(context)), QString());
}

} // namespace corvan
