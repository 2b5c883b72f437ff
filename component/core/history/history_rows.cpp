// SPDX-License-Identifier: MIT
#include "core/history/history_rows.h"

#include "core/context/item_keys.h"
#include "core/context/mdl_pub_fun.h"
#include "core/context/mdl_pub_var.h"
#include "core/context/system_db.h"
#include "core/history/history_query.h"
#include "core/journal/journal.h"
#include "core/rooms/room_lookup.h"
#include "corvan/controls/property_item.h"
#include "corvan/controls/property_items.h"
#include "corvan/record_set.h"

#include <QDate>

#include <algorithm>
#include <optional>
#include <vector>

namespace corvan {

namespace {

const QString ListFrom = QStringLiteral(" from h_btsdispatch where ");
// Below this many records the rooms are found through the list's condition; from it on, when the
// province holds fewer than RoomsPerRecord rooms a record, reading every room costs less than
// finding each: a scan reads a room in a fraction of what a search for one costs.
constexpr int ManyRecords = 500;
constexpr qint64 RoomsPerRecord = 20;
// Likewise for the journal's times: finding each record's entry costs a search where a scan
// of the entries reads several. A long list whose journal is not much longer reads them all.
constexpr qint64 EntriesPerRecord = 4;
const QString EveryTime =
    QStringLiteral("select entrytime,discode from corvan_journal where entrytime is not null");

// hh:mm:ss as seconds since midnight, so that a hundred thousand entries sort by a number; -1
// for no time. Texts of that form order as their numbers do.
int secondsOf(const QString& time)
{
    if (time.size() != 8 || time.at(2) != QLatin1Char(':') || time.at(5) != QLatin1Char(':'))
        return -1;
    int seconds = 0;
    for (const int at : {0, 3, 6}) {
        const int high = time.at(at).digitValue();
        const int low = time.at(at + 1).digitValue();
        if (high < 0 || low < 0)
            return -1;
        seconds = seconds * 60 + high * 10 + low;
    }
    return seconds;
}

} // namespace

HistoryRows::HistoryRows(const mdlPubVar& context, std::shared_ptr<RecordSet> rows, const QString& sql)
    : m_context(context), m_rows(std::move(rows)), m_statement(sql),
      m_time(m_rows->FieldIndex(QStringLiteral("distime"))),
      m_code(m_rows->FieldIndex(QStringLiteral("discode"))), m_net(m_rows->FieldIndex(QStringLiteral("net"))),
      m_from(m_rows->FieldIndex(QStringLiteral("fromroom"))),
      m_to(m_rows->FieldIndex(QStringLiteral("toroom")))
{}

std::shared_ptr<HistoryRows> HistoryRows::fill(const mdlPubVar& context, PropertyItems& list,
                                               const QString& sql)
{
    // It reports what was written: a standby the host keeps may answer it.
    const SystemDb::ReportReads reports(context.db());
    // A failed query shows no records rather than the previous criteria's ones.
    list.ClearItems();
    std::shared_ptr<RecordSet> rs = context.db().open(sql);
    if (!rs)
        return nullptr;
    auto rows = std::make_shared<HistoryRows>(context, rs, sql);
    const int count = rs->RecordCount();
    if (count <= 0)
        return rows;

    // Newest first, from what the rows hold: no caption is made to order them. A day written
    // yyyy-MM-dd orders as its number; any other text of distime as the text.
    struct Entry {
        int day; // yyyymmdd, or -1 when the day is a text that is no date
        int row;
        int seconds; // the journal's time of day in seconds, or -1 for none
        QString key;
    };
    std::vector<Entry> entries;
    entries.reserve(std::size_t(count));
    std::vector<QString> otherDays;
    const int code = rows->m_code;
    // A database known to have no journal has no times either.
    const std::optional<bool> journal = context.journalTable();
    if (!journal || *journal) {
        QString timesSql = timesStatement(sql);
        if (count >= ManyRecords) {
            const auto journalSize =
                context.db().firstText(QStringLiteral("select count(*) from corvan_journal"));
            if (journalSize && journalSize->toLongLong() <= EntriesPerRecord * count)
                timesSql = EveryTime;
        }
        if (const auto times = context.db().open(timesSql)) {
            rows->m_times.reserve(times->RecordCount());
            for (times->MoveFirst(); !times->isEOF(); times->MoveNext()) {
                const QString time = Journal::timeOfDay(times->Text(0));
                if (!time.isEmpty())
                    rows->m_times.insert(times->Text(1), time);
            }
        }
    }
    rs->MoveFirst();
    for (int row = 0; row < count; ++row, rs->MoveNext()) {
        // A day the engine hands over as a date is its number without a text made and parsed.
        const QVariant value = rs->Value(rows->m_time);
        const QDate date = value.typeId() == QMetaType::QDate ? value.toDate() : QDate();
        const bool plain = date.isValid() && date.year() >= 1000 && date.year() <= 9999;
        const QString day = plain ? QString() : HistoryQuery::distimeText(value);
        const int number =
            plain ? date.year() * 10000 + date.month() * 100 + date.day() : HistoryQuery::dayNumber(day);
        if (number < 0) {
            if (otherDays.empty())
                otherDays.resize(std::size_t(count));
            otherDays[std::size_t(row)] = day;
        }
        const QString discode = rs->Text(code);
        entries.push_back({number, row, secondsOf(rows->m_times.value(discode)), ItemKey::code(discode)});
    }
    const auto dayText = [&](const Entry& e) {
        return e.day >= 0 ? QStringLiteral("%1-%2-%3")
                                .arg(e.day / 10000, 4, 10, QLatin1Char('0'))
                                .arg(e.day / 100 % 100, 2, 10, QLatin1Char('0'))
                                .arg(e.day % 100, 2, 10, QLatin1Char('0'))
                          : otherDays[std::size_t(e.row)];
    };
    std::stable_sort(entries.begin(), entries.end(), [&](const Entry& a, const Entry& b) {
        if (a.day >= 0 && b.day >= 0) {
            if (a.day != b.day)
                return a.day > b.day;
        } else if (const int order = dayText(a).compare(dayText(b))) {
            return order > 0;
        }
        // Of one day an entry with its time was written after every one without.
        if (a.seconds != b.seconds)
            return a.seconds > b.seconds;
        return a.key > b.key;
    });

    list.setCaptionSource([rows](long row) { return rows->caption(int(row)); });
    list.reserve(count);
    const PropertyItems::Batch batch(list);
    for (const Entry& entry : entries)
        list.AddDeferredItem(0, entry.key, entry.row, ITEM_OPTION);
    return rows;
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
    RecordSet& r = *m_rows;
    r.MoveTo(row);
    const QString fromRoom = roomName(r.Text(m_from));
    const QString toRoom = roomName(r.Text(m_to));
    const QString time = m_times.value(r.Text(m_code));
    return HistoryQuery::caption(HistoryQuery::distimeText(r.Value(m_time)) +
                                     (time.isEmpty() ? QString() : QLatin1Char(' ') + time),
                                 r.Text(m_net), fromRoom, toRoom);
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
    if (m_rows->RecordCount() >= ManyRecords) {
        const auto rooms = m_context.db().firstText(QStringLiteral("select count(*) from res_baseroom"));
        if (rooms && rooms->toLongLong() < RoomsPerRecord * m_rows->RecordCount())
            sql = QStringLiteral("select roomcode,roomname from res_baseroom");
    }
    const auto rs = m_context.db().open(sql);
    if (!rs)
        return false;
    // A room looked up already keeps the name it showed with; of two rows of one code the
    // first counts, as for a lookup. Rows are put in reverse so that the first is put last: one
    // search per room, not two, for a province whose every room is read.
    QHash<QString, QString> names;
    names.reserve(rs->RecordCount() + m_roomNames.size());
    for (int row = rs->RecordCount() - 1; row >= 0; --row) {
        rs->MoveTo(row);
        names.insert(rs->Text(0), rs->Text(1));
    }
    for (auto known = m_roomNames.cbegin(); known != m_roomNames.cend(); ++known)
        names.insert(known.key(), known.value());
    m_roomNames = std::move(names);
    m_everyRoomNamed = true;
    return true;
}

} // namespace corvan
