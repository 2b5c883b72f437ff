// SPDX-License-Identifier: MIT
#include "core/history/history_rows.h"

#include "core/context/item_keys.h"
#include "core/context/mdl_pub_var.h"
#include "core/context/sql_literal.h"
#include "core/context/system_db.h"
#include "core/history/history_query.h"
#include "core/journal/journal.h"
#include "core/rooms/room_lookup.h"
#include "corvan/controls/property_item.h"
#include "corvan/controls/property_items.h"
#include "corvan/record_set.h"

#include <QSet>

#include <algorithm>
#include <optional>
#include <vector>

namespace corvan {

namespace {

const QString ListFrom = QStringLiteral(" from h_btsdispatch where ");
// Newest first, as the list shows its records: the order of an index on the day and the code,
// so that a page is read without the records after it.
const QString PageOrder = QStringLiteral(" order by distime desc,discode desc limit ");
// From this many records the rooms are found through the list's condition, and when the
// province holds fewer than RoomsPerRecord rooms a record, by reading every room: a scan reads
// a room in a fraction of what a search for one costs.
constexpr int ManyRecords = 500;
constexpr qint64 RoomsPerRecord = 20;
// Likewise for the journal's times of many records: through the list's condition, or every
// time when the journal is not much longer than the list.
constexpr qint64 EntriesPerRecord = 4;
const QString EveryTime =
    QStringLiteral("select entrytime,discode from corvan_journal where entrytime is not null");
const QString TimesOf = QStringLiteral(
    "select entrytime,discode from corvan_journal where entrytime is not null and discode in ");

// Rooms' names by code from rows of code and name, with room for more names. Of two rows of one
// code the first counts, as for a lookup: rows are put in reverse, so that the first is put last
// (one search per room, not two, for a province whose every room is read).
QHash<QString, QString> namesOf(RecordSet& rooms, qsizetype more)
{
    QHash<QString, QString> names;
    names.reserve(rooms.RecordCount() + more);
    for (int row = rooms.RecordCount() - 1; row >= 0; --row) {
        rooms.MoveTo(row);
        names.insert(rooms.Text(0), rooms.Text(1));
    }
    return names;
}

} // namespace

HistoryRows::HistoryRows(const mdlPubVar& context, const QString& sql) : m_context(context), m_statement(sql)
{}

std::shared_ptr<HistoryRows> HistoryRows::fill(const mdlPubVar& context, PropertyItems& list,
                                               const QString& sql)
{
    // It reports what was written: a standby the host keeps may answer it.
    const SystemDb::ReportReads reports(context.db());
    // A failed query shows no records rather than the previous criteria's ones.
    list.ClearItems();
    auto rows = std::make_shared<HistoryRows>(context, sql);
    // Set before the rows are told of: a view may ask a caption as soon as it has the rows.
    list.setCaptionSource([rows](long row) { return rows->caption(int(row)); });
    {
        const PropertyItems::Batch batch(list);
        if (!rows->readPage(list, FirstPage)) {
            list.ClearItems();
            return nullptr;
        }
    }
    if (!rows->m_complete) {
        // Without its count the list still reads on; it counts what it has read.
        if (const auto count = context.db().firstText(countStatement(sql)))
            rows->m_count = count->toInt();
        list.setMoreSource([rows, &list](bool all) { return rows->fetch(list, all); });
    }
    return rows;
}

QString HistoryRows::pageStatement(const QString& listStatement, int offset, int limit)
{
    return listStatement + PageOrder + QString::number(limit) +
           (offset > 0 ? QStringLiteral(" offset ") + QString::number(offset) : QString());
}

QString HistoryRows::countStatement(const QString& listStatement)
{
    const qsizetype from = listStatement.indexOf(ListFrom);
    return from < 0 ? QString() : QStringLiteral("select count(*)") + listStatement.mid(from);
}

int HistoryRows::count() const
{
    return m_complete ? int(m_rows.size()) : std::max(m_count, int(m_rows.size()));
}

bool HistoryRows::fetch(PropertyItems& list, bool all)
{
    // It reports what was written: a standby the host keeps may answer it.
    const SystemDb::ReportReads reports(m_context.db());
    const PropertyItems::Batch batch(list);
    do {
        // All that is still counted, and one more: a record written since the count comes too,
        // and a page shorter than asked ends the list.
        const int limit = all ? std::max(m_count - int(m_rows.size()) + 1, Page) : Page;
        if (!readPage(list, limit))
            return false;
    } while (all && !m_complete);
    return true;
}

bool HistoryRows::readPage(PropertyItems& list, int limit)
{
    const auto rs = m_context.db().open(pageStatement(m_statement, int(m_rows.size()), limit));
    if (!rs)
        return false;
    const int time = rs->FieldIndex(QStringLiteral("distime"));
    const int code = rs->FieldIndex(QStringLiteral("discode"));
    const int net = rs->FieldIndex(QStringLiteral("net"));
    const int from = rs->FieldIndex(QStringLiteral("fromroom"));
    const int to = rs->FieldIndex(QStringLiteral("toroom"));
    const std::size_t first = m_rows.size();
    const int read = rs->RecordCount();
    m_rows.reserve(first + std::size_t(std::max(read, 0)));
    for (int row = 0; row < read; ++row) {
        rs->MoveTo(row);
        m_rows.push_back({rs->Value(time), rs->Text(code), rs->Text(net), rs->Text(from), rs->Text(to)});
    }
    m_complete = read < limit;
    readTimes(first);
    nameRooms(first);
    list.reserve(read);
    // A record written between two pages moves the later ones down: its neighbour comes twice,
    // and the list keeps it once.
    for (std::size_t row = first; row < m_rows.size(); ++row)
        list.AddDeferredItem(0, ItemKey::code(m_rows[row].code), long(row), ITEM_OPTION);
    if (m_complete)
        list.setComplete();
    return true;
}

void HistoryRows::readTimes(std::size_t first)
{
    // A database known to have no journal has no times either; every time read already
    // holds these records' too.
    const std::optional<bool> journal = m_context.journalTable();
    if (first >= m_rows.size() || (journal && !*journal) || m_everyTimeRead)
        return;
    QStringList statements;
    const qint64 wanted = qint64(m_rows.size() - first);
    if (wanted > SqlListLimit) {
        statements << timesStatement(m_statement);
        const auto journalSize =
            m_context.db().firstText(QStringLiteral("select count(*) from corvan_journal"));
        if (journalSize && journalSize->toLongLong() <= EntriesPerRecord * wanted)
            statements = QStringList{EveryTime};
        m_everyTimeRead = true;
    } else {
        QStringList codes;
        codes.reserve(qsizetype(wanted));
        for (std::size_t row = first; row < m_rows.size(); ++row)
            codes << m_rows[row].code;
        statements << TimesOf + QLatin1Char('(') + sqlTextList(codes) + QLatin1Char(')');
    }
    for (const QString& sql : statements) {
        const auto times = m_context.db().open(sql);
        if (!times)
            continue;
        m_times.reserve(m_times.size() + times->RecordCount());
        for (times->MoveFirst(); !times->isEOF(); times->MoveNext()) {
            const QString time = Journal::timeOfDay(times->Text(0));
            if (!time.isEmpty())
                m_times.insert(times->Text(1), time);
        }
    }
}

void HistoryRows::nameRooms(std::size_t first)
{
    if (m_everyRoomNamed || first >= m_rows.size())
        return;
    QStringList codes;
    QSet<QString> seen;
    for (std::size_t row = first; row < m_rows.size(); ++row)
        for (const QString* code : {&m_rows[row].from, &m_rows[row].to})
            if (!m_roomNames.contains(*code) && !seen.contains(*code)) {
                seen.insert(*code);
                codes << *code;
            }
    // Many rooms are named through the list's condition, or all at once.
    if (codes.size() > SqlListLimit) {
        nameEveryRoom();
        return;
    }
    if (codes.isEmpty())
        return;
    const auto rs =
        m_context.db().open(QStringLiteral("select roomcode,roomname from res_baseroom where roomcode in (") +
                            sqlTextList(codes) + QLatin1Char(')'));
    // Unnamed, the captions look their rooms up one by one.
    if (!rs)
        return;
    // A room not found is no room, which a lookup would not find either.
    const QHash<QString, QString> names = namesOf(*rs, 0);
    for (const QString& code : codes)
        m_roomNames.insert(code, names.value(code));
}

QString HistoryRows::roomsStatement(const QString& listStatement)
{
    const qsizetype from = listStatement.indexOf(ListFrom);
    if (from < 0)
        return {};
    const QString condition = listStatement.mid(from + ListFrom.size());
    return QStringLiteral("select roomcode,roomname from res_baseroom where roomcode in (select fromroom") +
           ListFrom + condition + QStringLiteral(" union select toroom") + ListFrom + condition +
           QLatin1Char(')');
}

QString HistoryRows::timesStatement(const QString& listStatement)
{
    const qsizetype from = listStatement.indexOf(ListFrom);
    if (from < 0)
        return {};
    return QStringLiteral("select entrytime,discode from corvan_journal where entrytime is not null and "
                          "discode in (select discode") +
           ListFrom + listStatement.mid(from + ListFrom.size()) + QLatin1Char(')');
}

QString HistoryRows::roomName(const QString& code)
{
    // It reports what was written: a standby the host keeps may answer it.
    const SystemDb::ReportReads reports(m_context.db());
    const auto known = m_roomNames.constFind(code);
    if (known != m_roomNames.cend())
        return *known;
    // Every room the list names was read: one that is not there does not exist, and a lookup
    // of it would find nothing either.
    if (m_everyRoomNamed)
        return {};
    const QString name = RoomLookup::GetRoomName(m_context, code);
    m_roomNames.insert(code, name);
    return name;
}

QString HistoryRows::caption(int row)
{
    if (row < 0 || std::size_t(row) >= m_rows.size())
        return {};
    const Row& r = m_rows[std::size_t(row)];
    const QString fromRoom = roomName(r.from);
    const QString toRoom = roomName(r.to);
    const QString time = m_times.value(r.code);
    return HistoryQuery::caption(HistoryQuery::distimeText(r.day) +
                                     (time.isEmpty() ? QString() : QLatin1Char(' ') + time),
                                 r.net, fromRoom, toRoom);
}

bool HistoryRows::nameEveryRoom()
{
    // It reports what was written: a standby the host keeps may answer it.
    const SystemDb::ReportReads reports(m_context.db());
    if (m_everyRoomNamed)
        return true;
    QString sql = roomsStatement(m_statement);
    if (sql.isEmpty())
        return false;
    if (count() >= ManyRecords) {
        const auto rooms = m_context.db().firstText(QStringLiteral("select count(*) from res_baseroom"));
        if (rooms && rooms->toLongLong() < RoomsPerRecord * count())
            sql = QStringLiteral("select roomcode,roomname from res_baseroom");
    }
    const auto rs = m_context.db().open(sql);
    if (!rs)
        return false;
    // A room named already keeps the name it showed with.
    QHash<QString, QString> names = namesOf(*rs, m_roomNames.size());
    for (auto known = m_roomNames.cbegin(); known != m_roomNames.cend(); ++known)
        names.insert(known.key(), known.value());
    m_roomNames = std::move(names);
    m_everyRoomNamed = true;
    return true;
}

} // namespace corvan
