// SPDX-License-Identifier: MIT
#include "core/journal/journal.h"

#include <QDate>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTime>
#include <utility>

#include "core/context/mdl_pub_var.h"
#include "core/context/sql_literal.h"
#include "core/rooms/room_lookup.h"

namespace corvan {

namespace {

const QString Columns = QStringLiteral("columns");
const QString Rows = QStringLiteral("rows");
const QString Base64 = QStringLiteral("base64");

// Exact text of a field of the current row as the engine handed it over: nothing is
// rounded or reformatted, so that writing it back stores what was there. A time keeps the
// engine's own text where the host has it, since a QDateTime stops at milliseconds.
struct Cell {
    enum class Kind { Null, Bytes, Text };
    Kind kind = Kind::Null;
    QString text; // the text, or the bytes in base64
};

Cell cellOf(const RecordSet& rs, int field)
{
    const QVariant value = rs.Value(field);
    if (!value.isValid() || value.isNull())
        return {};
    switch (value.typeId()) {
    case QMetaType::QByteArray:
        return {Cell::Kind::Bytes, QString::fromLatin1(value.toByteArray().toBase64())};
    case QMetaType::QDate:
        return {Cell::Kind::Text, value.toDate().toString(Qt::ISODate)};
    case QMetaType::QDateTime:
    case QMetaType::QTime: {
        const QString stored = rs.StoredText(field);
        if (!stored.isNull())
            return {Cell::Kind::Text, stored};
        return {Cell::Kind::Text, value.typeId() == QMetaType::QTime
                                      ? value.toTime().toString(Qt::ISODateWithMs)
                                      : value.toDateTime().toString(Qt::ISODateWithMs)};
    }
    default:
        return {Cell::Kind::Text, value.toString()};
    }
}

QJsonValue encode(const RecordSet& rs, int field)
{
    Cell cell = cellOf(rs, field);
    switch (cell.kind) {
    case Cell::Kind::Null:
        return QJsonValue::Null;
    case Cell::Kind::Bytes:
        return QJsonObject{{Base64, cell.text}};
    case Cell::Kind::Text:
        break;
    }
    return std::move(cell.text);
}

// The same value as JSON text.
void appendCell(QString& out, const RecordSet& rs, int field)
{
    const Cell cell = cellOf(rs, field);
    switch (cell.kind) {
    case Cell::Kind::Null:
        out += QLatin1String("null");
        return;
    case Cell::Kind::Bytes:
        out += QLatin1String("{\"base64\":");
        Journal::appendJsonText(out, cell.text);
        out += QLatin1Char('}');
        return;
    case Cell::Kind::Text:
        Journal::appendJsonText(out, cell.text);
        return;
    }
}

void appendNames(QString& out, const RecordSet& rs)
{
    out += QLatin1Char('[');
    for (int i = 0; i < rs.FieldCount(); ++i) {
        if (i > 0)
            out += QLatin1Char(',');
        // As the engine spells it: a quoted mixed-case name is another column in lower case.
        Journal::appendJsonText(out, rs.FieldName(i));
    }
    out += QLatin1Char(']');
}

void appendRow(QString& out, const RecordSet& rs)
{
    out += QLatin1Char('[');
    for (int i = 0; i < rs.FieldCount(); ++i) {
        if (i > 0)
            out += QLatin1Char(',');
        appendCell(out, rs, i);
    }
    out += QLatin1Char(']');
}

// The rows of a statement as {"columns": [...], "rows": [[...], ...]}, and the texts of one of
// its columns; false when the query fails.
bool appendRows(QString& out, const SystemDb& db, const QString& sql, const QString& codeColumn,
                QStringList* codes)
{
    auto rs = db.open(sql);
    if (!rs)
        return false;
    out += QLatin1String("{\"columns\":");
    appendNames(out, *rs);
    out += QLatin1String(",\"rows\":[");
    const int code = rs->FieldIndex(codeColumn);
    bool first = true;
    for (rs->MoveFirst(); !rs->isEOF(); rs->MoveNext()) {
        if (!std::exchange(first, false))
            out += QLatin1Char(',');
        appendRow(out, *rs);
        if (code >= 0)
            *codes << cellOf(*rs, code).text;
    }
    out += QLatin1String("]}");
    return true;
}

QString jsonOf(const QJsonValue& value)
{
    if (value.isObject())
        return QString::fromUtf8(QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact));
    if (value.isArray())
        return QString::fromUtf8(QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact));
    if (value.isString()) {
        QString out;
        Journal::appendJsonText(out, value.toString());
        return out;
    }
    return QStringLiteral("null");
}

} // namespace

const QString Journal::Cells = QStringLiteral("cells");
const QString Journal::Antennas = QStringLiteral("antennas");
const QString Journal::Feeders = QStringLiteral("feeders");

QStringList Journal::codes(const QJsonObject& body, const QString& kind)
{
    const QString column = kind == Cells      ? QStringLiteral("cellcode")
                           : kind == Antennas ? QStringLiteral("antcode")
                                              : QStringLiteral("linecode");
    const QJsonObject rows = body.value(kind).toObject();
    const QJsonArray columns = rows.value(Columns).toArray();
    qsizetype at = -1;
    for (qsizetype i = 0; i < columns.size() && at < 0; ++i)
        if (columns.at(i).toString().compare(column, Qt::CaseInsensitive) == 0)
            at = i;
    QStringList codes;
    if (at < 0)
        return codes;
    for (const QJsonValue& row : rows.value(Rows).toArray())
        codes << row.toArray().at(at).toString();
    return codes;
}

std::optional<QJsonObject> Journal::rowsOf(const SystemDb& db, const QString& sql)
{
    auto rs = db.open(sql);
    if (!rs)
        return std::nullopt;
    QJsonArray columns;
    for (int i = 0; i < rs->FieldCount(); ++i)
        // As the engine spells it: a quoted mixed-case name is another column in lower case.
        columns.append(rs->FieldName(i));
    QJsonArray rows;
    for (rs->MoveFirst(); !rs->isEOF(); rs->MoveNext()) {
        QJsonArray row;
        for (int i = 0; i < rs->FieldCount(); ++i)
            row.append(encode(*rs, i));
        rows.append(row);
    }
    return QJsonObject{{Columns, columns}, {Rows, rows}};
}

QString Journal::literal(const QJsonValue& value)
{
    if (value.isNull() || value.isUndefined())
        return QStringLiteral("null");
    if (value.isObject()) {
        const QByteArray bytes = QByteArray::fromBase64(value.toObject().value(Base64).toString().toLatin1());
        // A function of the host's dialect on both engines, so the statement text is one.
        return QStringLiteral("corvan_blob('") + QString::fromLatin1(bytes.toHex()) + QStringLiteral("')");
    }
    return QLatin1Char('\'') + sqlText(value.toString()) + QLatin1Char('\'');
}

QString Journal::btsStatement(const QString& net, const QString& basecode)
{
    return QStringLiteral("select * from res_") + networkName(net) + QStringLiteral("bts where basecode='") +
           sqlText(basecode) + QLatin1Char('\'');
}

QString Journal::roomStatement(const QString& roomCode)
{
    return QStringLiteral("select * from res_baseroom where roomcode='") + sqlText(roomCode) +
           QLatin1Char('\'');
}

QString Journal::rowsStatement(const QString& table, const QString& codeColumn, const QStringList& codes)
{
    QStringList quoted;
    for (const QString& code : codes)
        quoted << QLatin1Char('\'') + sqlText(code) + QLatin1Char('\'');
    // An empty list still reads the table's columns, and no row.
    return QStringLiteral("select * from ") + table + QStringLiteral(" where ") + codeColumn +
           QStringLiteral(" in (") +
           (quoted.isEmpty() ? QStringLiteral("null") : quoted.join(QLatin1Char(','))) + QLatin1Char(')');
}

void Journal::appendJsonText(QString& out, QStringView text)
{
    static const char16_t Hex[] = u"0123456789abcdef";
    out += QLatin1Char('"');
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        switch (u) {
        case u'"':
            out += QLatin1String("\\\"");
            break;
        case u'\\':
            out += QLatin1String("\\\\");
            break;
        case u'\b':
            out += QLatin1String("\\b");
            break;
        case u'\f':
            out += QLatin1String("\\f");
            break;
        case u'\n':
            out += QLatin1String("\\n");
            break;
        case u'\r':
            out += QLatin1String("\\r");
            break;
        case u'\t':
            out += QLatin1String("\\t");
            break;
        default:
            if (u < 0x20) {
                out += QLatin1String("\\u00");
                out += QChar(Hex[u >> 4]);
                out += QChar(Hex[u & 0xf]);
            } else {
                out += c;
            }
        }
    }
    out += QLatin1Char('"');
}

Journal::Draft Journal::draft(const QJsonObject& body)
{
    Draft draft;
    draft.net = body.value(QStringLiteral("net")).toString();
    draft.basecode = body.value(QStringLiteral("basecode")).toString();
    const QJsonObject bts = body.value(QStringLiteral("bts")).toObject();
    draft.head = QStringLiteral("{\"net\":") + jsonOf(draft.net) + QStringLiteral(",\"basecode\":") +
                 jsonOf(draft.basecode) + QStringLiteral(",\"bts\":{\"columns\":") +
                 jsonOf(bts.value(Columns)) + QStringLiteral(",\"before\":") +
                 jsonOf(bts.value(QStringLiteral("before")));
    draft.tail = QStringLiteral("},\"rooms\":") + jsonOf(body.value(QStringLiteral("rooms")));
    for (const QString& kind : {Cells, Antennas, Feeders})
        if (body.contains(kind))
            draft.tail += QStringLiteral(",\"") + kind + QStringLiteral("\":") + jsonOf(body.value(kind));
    draft.tail += QLatin1Char('}');
    draft.cellCodes = codes(body, Cells);
    draft.antennaCodes = codes(body, Antennas);
    draft.feederCodes = codes(body, Feeders);
    return draft;
}

std::optional<Journal::Draft> Journal::before(const mdlPubVar& context, const Subject& subject)
{
    const QString n = networkName(subject.net);
    if (n.isEmpty())
        return std::nullopt;
    const SystemDb& db = context.db();
    Draft draft{subject.net.toUpper(), subject.basecode, {}, {}, {}, {}, {}};
    QString& head = draft.head;
    head.reserve(1024);
    head += QStringLiteral("{\"net\":");
    appendJsonText(head, draft.net);
    head += QStringLiteral(",\"basecode\":");
    appendJsonText(head, draft.basecode);
    auto bts = db.open(btsStatement(subject.net, subject.basecode));
    if (!bts || bts->RecordCount() != 1)
        return std::nullopt;
    bts->MoveFirst();
    head += QStringLiteral(",\"bts\":{\"columns\":");
    appendNames(head, *bts);
    head += QStringLiteral(",\"before\":");
    appendRow(head, *bts);

    QString& tail = draft.tail;
    tail.reserve(4096);
    tail += QStringLiteral("},\"rooms\":[");
    bool first = true;
    for (const QString& code : subject.roomCodes) {
        if (code.isEmpty())
            continue;
        auto rs = db.open(RoomLookup::roomCheckStatement(subject.net, code));
        if (!rs)
            return std::nullopt;
        if (!std::exchange(first, false))
            tail += QLatin1Char(',');
        tail += QStringLiteral("{\"roomcode\":");
        appendJsonText(tail, code);
        tail += QStringLiteral(",\"value\":");
        if (rs->RecordCount() > 0) {
            rs->MoveFirst();
            appendCell(tail, *rs, 0);
        } else {
            tail += QLatin1String("null");
        }
        tail += QLatin1Char('}');
    }
    tail += QLatin1Char(']');
    // Each read stops the capture at once, so that the database's words are of the read that failed.
    const struct {
        const QString& key;
        const char* table;
        const char* code;
        const QStringList& codes;
        QStringList* read;
    } kinds[] = {
        {Cells, "cell", "cellcode", subject.cellCodes, &draft.cellCodes},
        {Antennas, "ant", "antcode", subject.antennaCodes, &draft.antennaCodes},
        {Feeders, "antline", "linecode", subject.feederCodes, &draft.feederCodes},
    };
    for (const auto& kind : kinds) {
        tail += QStringLiteral(",\"") + kind.key + QStringLiteral("\":");
        const QString code = QLatin1String(kind.code);
        if (!appendRows(
                tail, db,
                rowsStatement(QStringLiteral("res_") + n + QLatin1String(kind.table), code, kind.codes), code,
                kind.read))
            return std::nullopt;
    }
    tail += QLatin1Char('}');
    return draft;
}

bool Journal::write(const mdlPubVar& context, const Draft& draft, const QString& discode,
                    const QString& fromRoom, const QString& toRoom, const QString& reverses,
                    const PlanRow& plan)
{
    auto after = context.db().open(btsStatement(draft.net, draft.basecode));
    if (!after || after->RecordCount() != 1)
        return false;
    after->MoveFirst();
    QString text;
    text.reserve(draft.head.size() + draft.tail.size() + 1024);
    text += draft.head;
    text += QStringLiteral(",\"after\":");
    appendRow(text, *after);
    text += draft.tail;
    Entry entry{discode,
                draft.net,
                draft.basecode,
                fromRoom,
                toRoom,
                reverses,
                {},
                {},
                plan.plan,
                plan.row,
                timeText(QDateTime::currentDateTime())};
    const Insert insert = insertStatement(entry, text);
    return context.db().execute(insert.sql, insert.values, 1);
}

Journal::Insert Journal::insertStatement(const Entry& entry, const QString& text)
{
    const auto orNull = [](const QString& value) {
        return value.isEmpty() ? QString() : value;
    };
    Insert insert{
        QStringLiteral("insert into corvan_journal(discode,net,basecode,fromroom,toroom,reverses,entry"),
        {orNull(entry.discode), orNull(entry.net), orNull(entry.basecode), orNull(entry.fromRoom),
         orNull(entry.toRoom), orNull(entry.reverses), text}};
    // An entry without a time leaves the column out, as entries were written before it.
    if (!entry.time.isEmpty()) {
        insert.sql += QStringLiteral(",entrytime");
        insert.values << entry.time;
    }
    // An entry of no plan is written as it always was.
    if (!entry.plan.isEmpty()) {
        insert.sql += QStringLiteral(",plancode,planrow");
        insert.values << entry.plan << QString::number(entry.planRow);
    }
    QStringList marks(insert.values.size(), QStringLiteral("?"));
    insert.sql += QStringLiteral(") values(") + marks.join(QLatin1Char(',')) + QLatin1Char(')');
    return insert;
}

QString Journal::timeText(const QDateTime& time)
{
    return time.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

QString Journal::timeOfDay(const QString& entryTime)
{
    // Read for every record of a history list: the digits are checked by hand, not parsed.
    const QString text = entryTime.trimmed();
    if (text.size() < 19 || text.at(13) != QLatin1Char(':') || text.at(16) != QLatin1Char(':'))
        return {};
    int parts[3] = {0, 0, 0};
    for (int p = 0; p < 3; ++p)
        for (int i = 11 + 3 * p; i < 13 + 3 * p; ++i) {
            const char16_t c = text.at(i).unicode();
            if (c < u'0' || c > u'9')
                return {};
            parts[p] = parts[p] * 10 + (c - u'0');
        }
    return parts[0] < 24 && parts[1] < 60 && parts[2] < 60 ? text.mid(11, 8) : QString();
}

QString Journal::readStatement(const QString& discode)
{
    return QStringLiteral(
               "select discode,net,basecode,fromroom,toroom,reverses,reversedby,entry from corvan_journal "
               "where discode='") +
           sqlText(discode) + QLatin1Char('\'');
}

QString Journal::markReversedStatement(const QString& discode, const QString& reversal)
{
    return QStringLiteral("update corvan_journal set reversedby='") + sqlText(reversal) +
           QStringLiteral("' where discode='") + sqlText(discode) + QLatin1Char('\'');
}

namespace {

QList<Journal::Entry> entriesOf(const mdlPubVar& context, const QString& sql, bool* ok)
{
    QList<Journal::Entry> entries;
    auto rs = context.db().open(sql);
    if (ok)
        *ok = rs != nullptr;
    if (!rs)
        return entries;
    for (rs->MoveFirst(); !rs->isEOF(); rs->MoveNext())
        entries << Journal::Entry{
            rs->Text(0), rs->Text(1), rs->Text(2), rs->Text(3),
            rs->Text(4), rs->Text(5), rs->Text(6), QJsonDocument::fromJson(rs->Text(7).toUtf8()).object(),
            {},          0,           {}};
    return entries;
}

} // namespace

QString Journal::probeStatement()
{
    return QStringLiteral("select discode from corvan_journal where 1=0");
}

bool Journal::available(const mdlPubVar& context)
{
    if (const auto known = context.journalTable())
        return *known;
    if (context.db().open(probeStatement())) {
        context.setJournalTable(true);
        return true;
    }
    // Only when the records can be read is the missing table the journal's own.
    if (!context.db().open(QStringLiteral("select discode from h_btsdispatch where 1=0")))
        return true;
    context.setJournalTable(false);
    return false;
}

std::optional<Journal::Entry> Journal::read(const mdlPubVar& context, const QString& discode)
{
    bool ok = false;
    const QList<Entry> entries = entriesOf(context, readStatement(discode), &ok);
    // A database from before the journal has no such table: its records simply have none.
    if (!ok)
        return Entry{};
    return entries.isEmpty() ? Entry{} : entries.first();
}

QList<Journal::Entry> Journal::ofBts(const mdlPubVar& context, const QString& net, const QString& basecode,
                                     bool* ok)
{
    return entriesOf(
        context,
        QStringLiteral("select discode,net,basecode,fromroom,toroom,reverses,reversedby,entry from "
                       "corvan_journal where net='") +
            sqlText(net.toUpper()) + QStringLiteral("' and basecode='") + sqlText(basecode) +
            QStringLiteral("' order by discode"),
        ok);
}

QString Journal::laterStatement(const QString& net, const QString& basecode, const QString& after)
{
    return QStringLiteral("select discode,reverses from corvan_journal where net='") +
           sqlText(net.toUpper()) + QStringLiteral("' and basecode='") + sqlText(basecode) +
           QStringLiteral("' and discode>'") + sqlText(after) + QStringLiteral("' order by discode");
}

std::optional<QList<Journal::Later>> Journal::laterOf(const mdlPubVar& context, const QString& net,
                                                      const QString& basecode, const QString& after)
{
    auto rs = context.db().open(laterStatement(net, basecode, after));
    if (!rs)
        return std::nullopt;
    QList<Later> later;
    later.reserve(rs->RecordCount());
    for (rs->MoveFirst(); !rs->isEOF(); rs->MoveNext())
        later << Later{rs->Text(0), rs->Text(1)};
    return later;
}

} // namespace corvan
