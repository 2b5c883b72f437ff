// SPDX-License-Identifier: MIT
#include "core/reversal/reversal.h"

#include <optional>

#include <QDate>
#include <QJsonArray>

#include "core/context/busy_scope.h"
#include "core/context/codes.h"
#include "core/context/divisions.h"
#include "core/context/field_names.h"
#include "core/context/mdl_pub_var.h"
#include "core/context/resource_view.h"
#include "core/context/sql_literal.h"
#include "core/relocation/cell_loader.h"
#include "core/relocation/connection_loss.h"
#include "core/relocation/relocation_record.h"
#include "core/relocation/summary_row.h"
#include "corvan/attr_table.h"

namespace corvan {

const QString Reversal::SuccessMessage = QStringLiteral("撤销调整成功");
const QString Reversal::UndoneMessage = QStringLiteral("撤销调整未能完成，数据库未作任何修改。");
const QString Reversal::NoJournal = QStringLiteral("该调整记录没有调整日志，无法撤销。");
const QString Reversal::AlreadyReversed = QStringLiteral("该调整已被记录 %1 撤销。");
const QString Reversal::BtsGone = QStringLiteral("该基站已不存在，无法撤销。");
const QString Reversal::BtsChanged =
    QStringLiteral("该基站在此次调整之后又被修改或调整过，与调整后的状态不一致，无法撤销。");
const QString Reversal::LaterFirst = QStringLiteral("该基站有更晚的调整（记录 %1），请先撤销更晚的调整。");
const QString Reversal::RoomTaken = QStringLiteral("原机房 %1 已有%2网基站，无法撤销。");
const QString Reversal::RoomGone = QStringLiteral("原机房 %1 已不存在，无法撤销。");
const QString Reversal::CodeTaken = QStringLiteral("要恢复的%1编码 %2 已被占用，无法撤销。");
const QString Reversal::NoRight = QStringLiteral("您没有%1的基站调整权限，无法撤销该调整。");
const QString Reversal::NotOfRecord =
    QStringLiteral("该调整日志与调整记录不符（基站不属于记录中的地市），无法撤销。");
const QString Reversal::NoTransactions =
    QStringLiteral("数据服务不支持事务，撤销调整无法保证一次完成，未作任何修改。");
const QString Reversal::Changed =
    QStringLiteral("撤销内容已被其他用户改变，未作任何修改。请重新打开撤销调整。");

namespace {

const QString ReadFailed = QStringLiteral("撤销调整所需的数据无法读取：");

// The record's network and cities.
QString recordStatement(const QString& discode)
{
    return QStringLiteral("select net,fromcity,tocity from h_btsdispatch where discode='") +
           sqlText(discode) + QLatin1Char('\'');
}
const QString PictureText = QStringLiteral("(图片)");
const QString CellCaption = QStringLiteral("小区");
const QString RelocateRight = QStringLiteral("13");
const QString& CodeField = FieldName::BaseCode;
const QString& NumberField = FieldName::BaseNum;
const QString& RoomField = FieldName::BelongRoom;
const QString& CityField = FieldName::City;
const QString& CountyField = FieldName::County;

QString textOf(const QJsonValue& value)
{
    if (value.isObject())
        return PictureText;
    return value.toString();
}

QString quoted(const QString& value)
{
    return QLatin1Char('\'') + sqlText(value) + QLatin1Char('\'');
}

QString quotedList(const QStringList& codes)
{
    QStringList all;
    for (const QString& code : codes)
        all << quoted(code);
    return QLatin1Char('(') + all.join(QLatin1Char(',')) + QLatin1Char(')');
}

// Rows as the journal keeps them, {"columns", "rows"}, and as a live table gives them.
struct Rows {
    QJsonArray columns;
    QJsonArray rows;

    static Rows of(const QJsonObject& object)
    {
        return {object.value(QStringLiteral("columns")).toArray(),
                object.value(QStringLiteral("rows")).toArray()};
    }
    QJsonObject object() const
    {
        return {{QStringLiteral("columns"), columns}, {QStringLiteral("rows"), rows}};
    }
    QString name(qsizetype at) const { return columns.at(at).toString(); }
    // A column by name: as spelt, else without regard to case, since entries written before
    // names kept their case hold them in lower case; -1 when there is none.
    qsizetype column(const QString& name) const
    {
        qsizetype folded = -1;
        for (qsizetype i = 0; i < columns.size(); ++i) {
            const QString here = columns.at(i).toString();
            if (here == name)
                return i;
            if (folded < 0 && here.compare(name, Qt::CaseInsensitive) == 0)
                folded = i;
        }
        return folded;
    }
    QJsonValue value(const QJsonArray& row, const QString& name) const
    {
        const qsizetype at = column(name);
        return at < 0 ? QJsonValue(QJsonValue::Undefined) : row.at(at);
    }
};

// One kind of resource the BTS carries: its table, code column, the word the user reads,
// and the column the summary shows of each row.
struct Kind {
    QString key;
    QString table;
    QString code;
    SummaryRow::Kind summaryKind;
    QString label;
    QString word;

    // A summary row as the relocation's summary writes them: a cell by its CI, an antenna or
    // feeder by its label under its cell.
    SummaryRow row(const Rows& rows, const QJsonArray& values, SummaryRow::Action what) const
    {
        const QString ci = textOf(rows.value(values, QStringLiteral("ci")));
        if (summaryKind == SummaryRow::Kind::Cell)
            return SummaryRow::cell(ci, what);
        return SummaryRow::line(summaryKind, ci, textOf(rows.value(values, label)), what);
    }
};

// A room the reversal gives back or takes the BTS from, as it stands now.
struct Room {
    QString code;
    QJsonValue before; // its network column before the relocation
    bool exists = false;
    QString name;
    QJsonValue holder; // its network column now
};

// The reading and checking of one reversal, step by step; each step either goes on or
// leaves the refusal in the plan.
class Planner {
public:
    Planner(const mdlPubVar& context, Reversal::Plan& plan)
        : m_context(context), m_db(context.db()), m_plan(plan)
    {}

    void make(const QString& discode)
    {
        if (readEntry(discode) && readRecord() && checkRights() && readBts() && checkNothingLaterInForce() &&
            checkUnchangedSince() && readRooms() && checkRoomNameSince() && readResources()) {
            writeBts();
            writeRooms();
            writeResources();
            summarize();
            describeOwnRecord();
        }
    }

private:
    bool refuse(const QString& why)
    {
        m_plan.refusal = why;
        return false;
    }
    bool readFailed() { return refuse(ReadFailed + m_db.lastError()); }

    // The entry, which must exist and not be reversed already.
    bool readEntry(const QString& discode)
    {
        const auto entry = Journal::read(m_context, discode);
        if (!entry || !entry->exists() || networkName(entry->net).isEmpty())
            return refuse(Reversal::NoJournal);
        m_plan.entry = *entry;
        if (!entry->reversedBy.isEmpty())
            return refuse(Reversal::AlreadyReversed.arg(entry->reversedBy));
        m_net = entry->net;
        m_n = networkName(m_net);
        const QJsonObject bts = entry->body.value(QStringLiteral("bts")).toObject();
        m_journalBts = Rows::of(bts);
        m_before = bts.value(QStringLiteral("before")).toArray();
        m_after = bts.value(QStringLiteral("after")).toArray();
        return true;
    }

    // The record the entry belongs to: its network and cities.
    bool readRecord()
    {
        auto rs = m_db.open(recordStatement(m_plan.entry.discode));
        if (!rs)
            return readFailed();
        if (rs->RecordCount() <= 0)
            return refuse(Reversal::NoJournal);
        rs->MoveFirst();
        if (rs->Text(0).compare(m_net, Qt::CaseInsensitive) != 0)
            return refuse(Reversal::NotOfRecord);
        m_fromCity = rs->Text(1);
        m_toCity = rs->Text(2);
        return true;
    }

    // Acting needs the user's relocation right for both cities of the record, on every engine.
    bool checkRights()
    {
        corvan::RightService* rights = m_context.RightService();
        for (const QString& city : {m_fromCity, m_toCity})
            if (!rights || !rights->HasCityRight(RelocateRight, city))
                return refuse(Reversal::NoRight.arg(mdlPubFun::GetCityName(m_context, city)));
        return true;
    }

    bool readBts()
    {
        const auto now = Journal::rowsOf(m_db, Journal::btsStatement(m_net, m_plan.entry.basecode));
        if (!now)
            return readFailed();
        m_live = Rows::of(*now);
        if (m_live.rows.size() != 1)
            return refuse(Reversal::BtsGone);
        m_now = m_live.rows.at(0).toArray();
        m_city = textOf(m_live.value(m_now, CityField));
        m_number = textOf(m_live.value(m_now, NumberField)).trimmed();
        return true;
    }

    // The relocations of the BTS after this one, in order: a reversal of one of them cancels
    // it, anything else is a change in force that must be reversed first (the latest named).
    bool checkNothingLaterInForce()
    {
        const auto entries = Journal::laterOf(m_context, m_net, m_plan.entry.basecode, m_plan.entry.discode);
        if (!entries)
            return readFailed();
        QStringList inForce;
        for (const Journal::Later& later : *entries) {
            if (!later.reverses.isEmpty() && inForce.removeOne(later.reverses))
                continue;
            inForce << later.discode;
        }
        return inForce.isEmpty() || refuse(Reversal::LaterFirst.arg(inForce.last()));
    }

    // The BTS must stand exactly as the relocation left it, in every column the entry knows;
    // a column added to the table since is none of its business.
    bool checkUnchangedSince()
    {
        for (qsizetype i = 0; i < m_journalBts.columns.size(); ++i) {
            const qsizetype live = m_live.column(m_journalBts.name(i));
            if (live < 0 || m_now.at(live) == m_after.at(i))
                continue;
            // A later reversal writes the room's present name: the room renamed since is
            // no change of the BTS, as long as that room still holds it (told once the rooms
            // are read).
            if (live == m_live.column(RoomField) && !m_plan.entry.toRoom.isEmpty())
                m_roomNamedSince = true;
            else
                return refuse(Reversal::BtsChanged);
        }
        // An entry can only undo a BTS of its own record's city.
        const QJsonValue city = m_journalBts.value(m_after, CityField);
        if (!city.isUndefined() && textOf(city) != m_toCity)
            return refuse(Reversal::NotOfRecord);
        return true;
    }

    // Both rooms as they stand now: the present one holds the BTS, the old one exists and
    // holds no other BTS of the network.
    bool readRooms()
    {
        m_moved = m_plan.entry.fromRoom != m_plan.entry.toRoom;
        for (const QJsonValue& value : m_plan.entry.body.value(QStringLiteral("rooms")).toArray()) {
            const QJsonObject room = value.toObject();
            Room now{room.value(QStringLiteral("roomcode")).toString(),
                     room.value(QStringLiteral("value")),
                     false,
                     {},
                     QJsonValue::Null};
            auto rs = m_db.open(QStringLiteral("select roomname,") + m_n +
                                QStringLiteral("bts from res_baseroom where roomcode='") + sqlText(now.code) +
                                QLatin1Char('\''));
            if (!rs)
                return readFailed();
            if (rs->RecordCount() > 0) {
                rs->MoveFirst();
                now.exists = true;
                now.name = rs->Text(0);
                now.holder = rs->Value(1).isNull() ? QJsonValue(QJsonValue::Null) : QJsonValue(rs->Text(1));
            }
            m_rooms << now;
        }
        if (!m_moved)
            return true;
        if (const Room* present = room(m_plan.entry.toRoom);
            !m_plan.entry.toRoom.isEmpty() &&
            (!present || !present->exists || textOf(present->holder).trimmed() != m_number))
            return refuse(Reversal::BtsChanged);
        if (m_plan.entry.fromRoom.isEmpty())
            return true;
        const Room* old = room(m_plan.entry.fromRoom);
        if (!old || !old->exists)
            return refuse(Reversal::RoomGone.arg(oldRoomText()));
        const QString held = textOf(old->holder).trimmed();
        if (!held.isEmpty() && held != m_number)
            return refuse(Reversal::RoomTaken.arg(old->name, m_net));
        return true;
    }

    bool checkRoomNameSince()
    {
        const Room* present = room(m_plan.entry.toRoom);
        return !m_roomNamedSince ||
               (present && present->exists && textOf(m_now.at(m_live.column(RoomField))) == present->name) ||
               refuse(Reversal::BtsChanged);
    }

    // What the BTS carries now was entered since: it goes, and what the relocation deleted
    // comes back, unless another row has taken its code meanwhile.
    bool readResources()
    {
        m_kinds = {Kind{Journal::Cells, QStringLiteral("res_") + m_n + QStringLiteral("cell"),
                        QStringLiteral("cellcode"), SummaryRow::Kind::Cell, QStringLiteral("ci"),
                        CellCaption},
                   Kind{Journal::Antennas, QStringLiteral("res_") + m_n + QStringLiteral("ant"),
                        QStringLiteral("antcode"), SummaryRow::Kind::Antenna, QStringLiteral("antname"),
                        SummaryRow::AntennaWord},
                   Kind{Journal::Feeders, QStringLiteral("res_") + m_n + QStringLiteral("antline"),
                        QStringLiteral("linecode"), SummaryRow::Kind::Feeder, QStringLiteral("lineid"),
                        SummaryRow::FeederWord}};
        const auto cells =
            Journal::rowsOf(m_db, QStringLiteral("select * from ") + m_kinds[0].table +
                                      QStringLiteral(" where city='") + sqlText(m_city) +
                                      QStringLiteral("' and bts='") + sqlText(m_number) + QLatin1Char('\''));
        if (!cells)
            return readFailed();
        m_present << Rows::of(*cells);
        QList<CellEntry> cis;
        for (const QJsonValue& row : std::as_const(m_present[0].rows))
            cis << CellEntry{{}, textOf(m_present[0].value(row.toArray(), QStringLiteral("ci"))), {}};
        for (int k : {1, 2}) {
            const QString sql = cis.isEmpty() ? Journal::rowsStatement(m_kinds[k].table, m_kinds[k].code, {})
                                : k == 1      ? CellLoader::antennaStatement(m_net, m_city, cis)
                                              : CellLoader::feederStatement(m_net, m_city, cis);
            const auto rows = Journal::rowsOf(m_db, sql);
            if (!rows)
                return readFailed();
            m_present << Rows::of(*rows);
        }
        for (int k = 0; k < 3; ++k)
            if (!checkCodesFree(k))
                return false;
        return true;
    }

    bool checkCodesFree(int k)
    {
        const Kind& kind = m_kinds[k];
        const QStringList present = codes(m_present[k], kind);
        const QStringList restore = codes(Rows::of(m_plan.entry.body.value(kind.key).toObject()), kind);
        const auto taken = Journal::rowsOf(m_db, Journal::rowsStatement(kind.table, kind.code, restore));
        if (!taken)
            return readFailed();
        const Rows takenRows = Rows::of(*taken);
        m_liveColumns << takenRows;
        for (const QString& code : codes(takenRows, kind))
            if (!present.contains(code))
                return refuse(Reversal::CodeTaken.arg(kind.word, code));
        return true;
    }

    // Back to what the relocation found: only the columns it changed, so that bytes it never
    // touched stay as they are; the room's name as the room is called now.
    void writeBts()
    {
        AttrTable captions;
        ResourceView::GetResourceData(m_context, QStringLiteral("v_res_") + m_n + QStringLiteral("bts"),
                                      m_plan.entry.basecode, &captions);
        QStringList sets;
        const auto set = [&](qsizetype live, const QJsonValue& value, const QString& literal) {
            const QString column = m_live.name(live);
            sets << sqlName(column) + QLatin1Char('=') + literal;
            const QString from = shown(column, m_now.at(live));
            const QString to = shown(column, value);
            if (from != to) {
                const int field = captions.findField(column);
                m_btsRows << SummaryRow::change(SummaryRow::Kind::Bts,
                                                field > 0 ? captions.at(AttrTable::Caption, field) : column,
                                                from, to);
            }
        };
        const qsizetype roomColumn = m_live.column(RoomField);
        const bool renameRoom = m_moved && !m_plan.entry.fromRoom.isEmpty() && roomColumn >= 0;
        for (qsizetype i = 0; i < m_journalBts.columns.size(); ++i) {
            const qsizetype live = m_live.column(m_journalBts.name(i));
            if (live < 0 || m_live.name(live).compare(CodeField, Qt::CaseInsensitive) == 0)
                continue;
            if (live == roomColumn && renameRoom) {
                const QString name = room(m_plan.entry.fromRoom)->name;
                if (textOf(m_now.at(live)) != name)
                    set(live, name, quoted(name));
            } else if (m_before.at(i) != m_after.at(i)) {
                set(live, m_before.at(i), Journal::literal(m_before.at(i)));
            }
        }
        if (!sets.isEmpty())
            m_plan.writes << Reversal::Write{QStringLiteral("update res_") + m_n +
                                                 QStringLiteral("bts set ") + sets.join(QLatin1Char(',')) +
                                                 QStringLiteral(" where basecode='") +
                                                 sqlText(m_plan.entry.basecode) + QLatin1Char('\''),
                                             1};
    }

    // The present room first gives up the BTS, then the old room takes it back.
    void writeRooms()
    {
        if (!m_moved)
            return;
        for (qsizetype r = m_rooms.size() - 1; r >= 0; --r) {
            const Room& room = m_rooms.at(r);
            m_plan.writes << Reversal::Write{QStringLiteral("update res_baseroom set ") + m_n +
                                                 QStringLiteral("bts=") + Journal::literal(room.before) +
                                                 QStringLiteral(" where roomcode='") + sqlText(room.code) +
                                                 QLatin1Char('\''),
                                             1};
            m_roomRows << SummaryRow::change(SummaryRow::Kind::Room,
                                             room.name + QLatin1Char(' ') + m_net + QStringLiteral("网"),
                                             textOf(room.holder), textOf(room.before));
        }
    }

    // Every row entered since goes at once per kind; every deleted row comes back whole, in
    // the columns the table has now, named as the table names them.
    void writeResources()
    {
        QList<Reversal::Write> inserts;
        for (int k = 0; k < 3; ++k) {
            const Kind& kind = m_kinds[k];
            const QStringList present = codes(m_present[k], kind);
            for (const QJsonValue& row : std::as_const(m_present[k].rows))
                m_resourceRows[k] << kind.row(m_present[k], row.toArray(), SummaryRow::Action::Delete);
            if (!present.isEmpty())
                m_plan.writes << Reversal::Write{QStringLiteral("delete from ") + kind.table +
                                                     QStringLiteral(" where ") + kind.code +
                                                     QStringLiteral(" in ") + quotedList(present),
                                                 present.size()};
            const Rows restore = Rows::of(m_plan.entry.body.value(kind.key).toObject());
            // Every row of a kind has the same columns: which of them the table still has, and
            // the statement's head, are found once.
            QList<qsizetype> kept;
            QStringList names;
            for (qsizetype i = 0; i < restore.columns.size(); ++i) {
                const qsizetype live = m_liveColumns[k].column(restore.name(i));
                if (live < 0)
                    continue;
                kept << i;
                names << sqlName(m_liveColumns[k].name(live));
            }
            const QString head = QStringLiteral("insert into ") + kind.table + QLatin1Char('(') +
                                 names.join(QLatin1Char(',')) + QStringLiteral(") values(");
            for (const QJsonValue& value : std::as_const(restore.rows)) {
                const QJsonArray row = value.toArray();
                QString sql = head;
                for (qsizetype j = 0; j < kept.size(); ++j) {
                    if (j > 0)
                        sql += QLatin1Char(',');
                    sql += Journal::literal(row.at(kept.at(j)));
                }
                sql += QLatin1Char(')');
                inserts << Reversal::Write{sql, 1};
                m_resourceRows[k] << kind.row(restore, row, SummaryRow::Action::Restore);
            }
        }
        m_plan.writes << inserts;
    }

    void summarize()
    {
        const SummaryRow empty = SummaryRow::band();
        const Room* present = room(m_plan.entry.toRoom);
        m_plan.rows << SummaryRow::title(Reversal::title(mdlPubFun::GetCityName(m_context, m_city), m_net,
                                                         present ? present->name : QString(),
                                                         m_plan.entry.discode));
        m_plan.rows << empty << m_btsRows;
        if (!m_roomRows.isEmpty())
            m_plan.rows << empty << m_roomRows;
        if (!m_resourceRows[0].isEmpty())
            m_plan.rows << empty << m_resourceRows[0];
        if (!m_resourceRows[1].isEmpty() || !m_resourceRows[2].isEmpty())
            m_plan.rows << empty << m_resourceRows[1] << m_resourceRows[2];
    }

    // The reversal's own record, from the present room back to the old one, and its own
    // entry: what the reversal overwrites and deletes.
    void describeOwnRecord()
    {
        m_plan.record.net = m_net;
        m_plan.record.cityCode = m_city;
        m_plan.record.newCityCode = textOf(m_journalBts.value(m_before, CityField));
        m_plan.record.oldRoomCode = m_plan.entry.toRoom;
        m_plan.record.newRoomCode = m_plan.entry.fromRoom;
        m_plan.record.simpleMode = true;
        QJsonArray roomsNow;
        if (m_moved)
            for (qsizetype r = m_rooms.size() - 1; r >= 0; --r)
                roomsNow.append(QJsonObject{{QStringLiteral("roomcode"), m_rooms.at(r).code},
                                            {QStringLiteral("value"), m_rooms.at(r).holder}});
        m_plan.journal =
            QJsonObject{{QStringLiteral("net"), m_net},
                        {QStringLiteral("basecode"), m_plan.entry.basecode},
                        {QStringLiteral("bts"), QJsonObject{{QStringLiteral("columns"), m_live.columns},
                                                            {QStringLiteral("before"), m_now}}},
                        {QStringLiteral("rooms"), roomsNow}};
        for (int k = 0; k < 3; ++k)
            m_plan.journal.insert(m_kinds[k].key, m_present[k].object());
    }

    const Room* room(const QString& code) const
    {
        for (const Room& room : m_rooms)
            if (room.code == code)
                return &room;
        return nullptr;
    }
    // A room that no longer exists is named as the BTS named it before the relocation.
    QString oldRoomText() const
    {
        const QString name = textOf(m_journalBts.value(m_before, RoomField));
        return name.isEmpty() ? m_plan.entry.fromRoom : name;
    }
    static QStringList codes(const Rows& rows, const Kind& kind)
    {
        QStringList all;
        for (const QJsonValue& row : rows.rows)
            all << textOf(rows.value(row.toArray(), kind.code));
        return all;
    }
    // The user reads divisions by name, as the host shows them; an empty text and no value
    // read alike.
    QString shown(const QString& column, const QJsonValue& value) const
    {
        const QString text = textOf(value);
        if (text.isEmpty())
            return text;
        if (column.compare(CityField, Qt::CaseInsensitive) == 0)
            return mdlPubFun::GetCityName(m_context, text);
        if (column.compare(CountyField, Qt::CaseInsensitive) == 0)
            return mdlPubFun::GetCountyName(m_context, text);
        return text;
    }

    const mdlPubVar& m_context;
    const SystemDb& m_db;
    Reversal::Plan& m_plan;
    QString m_net;
    QString m_n;
    QString m_fromCity;
    QString m_toCity;
    Rows m_journalBts;
    QJsonArray m_before;
    QJsonArray m_after;
    Rows m_live;
    QJsonArray m_now;
    QString m_city;
    QString m_number;
    bool m_moved = false;
    bool m_roomNamedSince = false; // the BTS names its room by a name the room was given since
    QList<Room> m_rooms;
    QList<Kind> m_kinds;
    QList<Rows> m_present;     // per kind, the rows the BTS carries now
    QList<Rows> m_liveColumns; // per kind, the table's columns as it has them now
    SummaryRows m_btsRows;
    SummaryRows m_roomRows;
    SummaryRows m_resourceRows[3];
};

} // namespace

QString Reversal::title(const QString& cityName, const QString& net, const QString& roomName,
                        const QString& discode)
{
    return cityName + QLatin1Char(' ') + net + QStringLiteral("网基站: ") + roomName +
           QStringLiteral(" 撤销调整记录 ") + discode;
}

Reversal::Plan Reversal::plan(const mdlPubVar& context, const QString& discode)
{
    Plan plan;
    Planner(context, plan).make(discode);
    return plan;
}

namespace {

// Both cities of a record, which its reversal writes: a record never changes, so they are read
// before its transaction begins, to be locked first. Nothing when the read failed; none for a
// record that is not there (the plan then refuses it).
std::optional<QStringList> recordCities(const SystemDb& db, const QString& discode)
{
    const auto rs = db.open(recordStatement(discode));
    if (!rs)
        return std::nullopt;
    if (rs->RecordCount() <= 0)
        return QStringList();
    rs->MoveFirst();
    return QStringList{rs->Text(1), rs->Text(2)};
}

} // namespace

CommitOutcome Reversal::run(const mdlPubVar& context, const QString& discode, const SummaryRows& confirmed)
{
    const SystemDb& db = context.db();
    ContextService* host = context.ContextService();
    if (!db.hasTransactions() || !host)
        return CommitOutcome::refused(NoTransactions);
    BusyScope busy(context);
    const auto failed = [&] {
        if (auto lost = ConnectionLoss::undone(db, ConnectionLoss::Work::Reversal)) {
            db.rollback();
            return *lost;
        }
        const QString reason = db.lastError();
        const bool busyNow = db.lastErrorIsBusy();
        db.rollback();
        return CommitOutcome::failedOrBusy(
            busyNow, UndoneMessage + (reason.isEmpty() ? QString() : QStringLiteral("\r\n") + reason),
            reason);
    };
    QStringList cities;
    if (db.locksByCity()) {
        const auto read = recordCities(db, discode);
        if (!read) {
            if (auto lost = ConnectionLoss::undone(db, ConnectionLoss::Work::Reversal))
                return *lost;
            return CommitOutcome::failed(UndoneMessage + QStringLiteral("\r\n") + ReadFailed + db.lastError(),
                                         db.lastError());
        }
        cities = *read;
    }
    if (!db.begin(cities)) {
        if (auto lost = ConnectionLoss::undone(db, ConnectionLoss::Work::Reversal))
            return *lost;
        const QString reason = db.lastError();
        return CommitOutcome::failedOrBusy(db.lastErrorIsBusy(),
                                           UndoneMessage + QStringLiteral("\r\n") + reason, reason);
    }
    // Planned again under the writer lock: what is written is what holds now.
    const Plan plan = Reversal::plan(context, discode);
    // A read that failed with the connection makes no refusal: the reversal was undone.
    if (auto lost = ConnectionLoss::undone(db, ConnectionLoss::Work::Reversal)) {
        db.rollback();
        return *lost;
    }
    if (!plan.ok() || plan.rows != confirmed) {
        db.rollback();
        return CommitOutcome::refused(plan.ok() ? Changed : plan.refusal);
    }
    const CommitOutcome written = apply(context, plan);
    if (!written.done())
        return failed();
    if (!db.commit()) {
        if (auto settled = ConnectionLoss::afterCommit(context, ConnectionLoss::Work::Reversal, written))
            return *settled;
        return CommitOutcome::failed(UndoneMessage + QStringLiteral("\r\n") + db.lastError());
    }
    return written;
}

CommitOutcome Reversal::apply(const mdlPubVar& context, const Plan& plan)
{
    const SystemDb& db = context.db();
    ContextService* host = context.ContextService();
    const auto failed = [&] {
        return CommitOutcome::failed({}, db.lastError());
    };
    if (!plan.ok())
        return CommitOutcome::refused(plan.refusal);
    if (!host)
        return CommitOutcome::failed({}, QStringLiteral("the host offers no context service"));
    for (const Write& write : plan.writes)
        if (!db.execute(write.sql, write.rows))
            return failed();
    const QString code =
        mdlPubFun::NewCode(context, QStringLiteral("h_btsdispatch"), QStringLiteral("discode"));
    if (code == mdlPubFun::ZeroCode)
        return failed();
    const QString& discode = plan.entry.discode;
    if (!db.execute(RelocationRecord::insertStatement(code, QDate::currentDate(), host->CurrentUser(),
                                                      plan.record, RelocationRecord::disinfo(plan.rows)),
                    1) ||
        !Journal::write(context, Journal::draft(plan.journal), code, plan.record.oldRoomCode,
                        plan.record.newRoomCode, discode) ||
        !db.execute(Journal::markReversedStatement(discode, code), 1))
        return failed();
    CommitOutcome done = CommitOutcome::succeeded(SuccessMessage);
    done.recordCode = code;
    return done;
}

} // namespace corvan
