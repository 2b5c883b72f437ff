// SPDX-License-Identifier: MIT
#include "core/journal/journal.h"

#include <QDate>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTime>

#include "core/context/mdl_pub_fun.h"
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
QJsonValue encode(const RecordSet& rs, int field)
{
    const QVariant value = rs.Value(field);
    if (!value.isValid() || value.isNull())
        return QJsonValue::Null;
    switch (value.typeId()) {
    case QMetaType::QByteArray:
        return QJsonObject{{Base64, QString::fromLatin1(value.toByteArray().toBase64())}};
    case QMetaType::QDate:
        return value.toDate().toString(Qt::ISODate);
    case QMetaType::QDateTime:
    case QMetaType::QTime: {
        const QString stored = rs.StoredText(field);
        if (!stored.isNull())
            return stored;
        return value.typeId() == QMetaType::QTime ? value.toTime().toString(Qt::ISODateWithMs)
                                                  : value.toDateTime().toString(Qt::ISODateWithMs);
    }
    default:
        return value.toString();
    }
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

std::optional<QJsonObject> Journal::before(const mdlPubVar& context, const Subject& subject)
{
    const QString n = networkName(subject.net);
    if (n.isEmpty())
        return std::nullopt;
    const SystemDb& db = context.db();
    const auto bts = rowsOf(db, btsStatement(subject.net, subject.basecode));
    if (!bts || bts->value(Rows).toArray().size() != 1)
        return std::nullopt;
    QJsonArray rooms;
    for (const QString& code : subject.roomCodes) {
        if (code.isEmpty())
            continue;
        auto rs = db.open(RoomLookup::roomCheckStatement(subject.net, code));
        if (!rs)
            return std::nullopt;
        QJsonValue value = QJsonValue::Null;
        if (rs->RecordCount() > 0) {
            rs->MoveFirst();
            value = encode(*rs, 0);
        }
        rooms.append(QJsonObject{{QStringLiteral("roomcode"), code}, {QStringLiteral("value"), value}});
    }
    // Each read stops the capture at once, so that the database's words are of the read that failed.
    const auto cells = rowsOf(db, rowsStatement(QStringLiteral("res_") + n + QStringLiteral("cell"),
                                                QStringLiteral("cellcode"), subject.cellCodes));
    if (!cells)
        return std::nullopt;
    const auto antennas = rowsOf(db, rowsStatement(QStringLiteral("res_") + n + QStringLiteral("ant"),
                                                   QStringLiteral("antcode"), subject.antennaCodes));
    if (!antennas)
        return std::nullopt;
    const auto feeders = rowsOf(db, rowsStatement(QStringLiteral("res_") + n + QStringLiteral("antline"),
                                                  QStringLiteral("linecode"), subject.feederCodes));
    if (!feeders)
        return std::nullopt;
    QJsonObject btsBody{{Columns, bts->value(Columns)},
                        {QStringLiteral("before"), bts->value(Rows).toArray().at(0)}};
    return QJsonObject{{QStringLiteral("net"), subject.net.toUpper()},
                       {QStringLiteral("basecode"), subject.basecode},
                       {QStringLiteral("bts"), btsBody},
                       {QStringLiteral("rooms"), rooms},
                       {Cells, *cells},
                       {Antennas, *antennas},
                       {Feeders, *feeders}};
}

bool Journal::write(const mdlPubVar& context, QJsonObject body, const QString& discode,
                    const QString& fromRoom, const QString& toRoom, const QString& reverses,
                    const PlanRow& plan)
{
    const QString net = body.value(QStringLiteral("net")).toString();
    const QString basecode = body.value(QStringLiteral("basecode")).toString();
    const auto after = rowsOf(context.db(), btsStatement(net, basecode));
    if (!after || after->value(Rows).toArray().size() != 1)
        return false;
    QJsonObject bts = body.value(QStringLiteral("bts")).toObject();
    bts.insert(QStringLiteral("after"), after->value(Rows).toArray().at(0));
    body.insert(QStringLiteral("bts"), bts);
    Entry entry{discode,
                net,
                basecode,
                fromRoom,
                toRoom,
                reverses,
                {},
                body,
                plan.plan,
                plan.row,
                timeText(QDateTime::currentDateTime())};
    return context.db().execute(insertStatement(entry), 1);
}

QString Journal::insertStatement(const Entry& entry)
{
    const auto text = [](const QString& value) {
        return value.isEmpty() ? QStringLiteral("null")
                               : QLatin1Char('\'') + sqlText(value) + QLatin1Char('\'');
    };
    // An entry of no plan is written as it always was.
    const bool planned = !entry.plan.isEmpty();
    // An entry without a time leaves the column out, as entries were written before it.
    const bool timed = !entry.time.isEmpty();
    return QStringLiteral("insert into corvan_journal(discode,net,basecode,fromroom,toroom,reverses,entry") +
           (timed ? QStringLiteral(",entrytime") : QString()) +
           (planned ? QStringLiteral(",plancode,planrow") : QString()) + QStringLiteral(") values(") +
           text(entry.discode) + QLatin1Char(',') + text(entry.net) + QLatin1Char(',') +
           text(entry.basecode) + QLatin1Char(',') + text(entry.fromRoom) + QLatin1Char(',') +
           text(entry.toRoom) + QLatin1Char(',') + text(entry.reverses) + QLatin1Char(',') +
           text(QString::fromUtf8(QJsonDocument(entry.body).toJson(QJsonDocument::Compact))) +
           (timed ? QLatin1Char(',') + text(entry.time) : QString()) +
           (planned ? QLatin1Char(',') + text(entry.plan) + QLatin1Char(',') + QString::number(entry.planRow)
                    : QString()) +
           QLatin1Char(')');
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
