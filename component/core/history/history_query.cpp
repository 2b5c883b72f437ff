// SPDX-License-Identifier: MIT
#include "core/history/history_query.h"

#include "core/context/divisions.h"
#include "core/context/mdl_pub_var.h"
#include "core/context/sql_literal.h"
#include "core/context/system_db.h"
#include "core/history/history_rows.h"
#include "core/relocation/relocation_record.h"
#include "core/rooms/room_lookup.h"
#include "corvan/controls/property_item.h"
#include "corvan/controls/property_items.h"

#include <QDateTime>

namespace corvan {

const QString HistoryQuery::All = QStringLiteral("全部");
const QString HistoryQuery::NetworkEntries[3] = {QStringLiteral("G 网"), QStringLiteral("C 网"),
                                                 QStringLiteral("D 网")};

namespace {

const QString ListColumns =
    QStringLiteral("select discode,distime,disuser,net,fromcity,tocity,fromroom,toroom,simplemode");
const QString ListFrom = QStringLiteral(" from h_btsdispatch where ");
const QString RecordColumns =
    QStringLiteral("select distime,disuser,net,fromcity,tocity,fromroom,toroom,simplemode,disinfo");
const QString RecordFrom = QStringLiteral(" from h_btsdispatch a");
const QString And = QStringLiteral(" and ");
const QString LineBreak = QStringLiteral("\r\n");

// Whether a text begins with a valid day written yyyy-MM-dd; its number yyyymmdd.
bool isDay(const QString& text, int* number = nullptr)
{
    if (text.size() < 10 || text.at(4) != QLatin1Char('-') || text.at(7) != QLatin1Char('-'))
        return false;
    int parts[3] = {0, 0, 0};
    const int starts[3] = {0, 5, 8};
    const int lengths[3] = {4, 2, 2};
    for (int p = 0; p < 3; ++p)
        for (int i = starts[p]; i < starts[p] + lengths[p]; ++i) {
            const char16_t c = text.at(i).unicode();
            if (c < u'0' || c > u'9')
                return false;
            parts[p] = parts[p] * 10 + (c - u'0');
        }
    if (parts[0] <= 0 || !QDate(parts[0], parts[1], parts[2]).isValid())
        return false;
    if (number)
        *number = parts[0] * 10000 + parts[1] * 100 + parts[2];
    return true;
}

// A date as yyyy-MM-dd. A server's list hands every record's day as a date, and QDate's own
// formatting took longer than the rest of ordering the list.
QString isoDay(const QDate& date)
{
    const int year = date.year();
    if (year < 1000 || year > 9999)
        return date.toString(Qt::ISODate);
    const int digits[8] = {year / 1000,       year / 100 % 10,   year / 10 % 10,  year % 10,
                           date.month() / 10, date.month() % 10, date.day() / 10, date.day() % 10};
    QString text(10, QLatin1Char('-'));
    QChar* out = text.data();
    for (int i = 0, at = 0; i < 8; ++i, ++at) {
        if (at == 4 || at == 7)
            ++at;
        out[at] = QChar(u'0' + digits[i]);
    }
    return text;
}

QString twoDigits(int number)
{
    return (QStringLiteral("00") + QString::number(number)).right(2);
}

} // namespace

QString HistoryQuery::netLetter(const QString& netText)
{
    return netText.left(1).toUpper();
}

QString HistoryQuery::dateText(const QDate& date)
{
    return QString::number(date.year()) + QLatin1Char('-') + twoDigits(date.month()) + QLatin1Char('-') +
           twoDigits(date.day());
}

QString HistoryQuery::statement(const std::optional<QString>& cityId, const QString& netText,
                                const QDate& begin, const QDate& end)
{
    // The city and network pieces carry their own leading blank, so "where" and "and" are
    // followed by two blanks before them; SQL traces and their readers expect exactly that.
    QString condition;
    if (cityId)
        condition += QStringLiteral(" fromcity='") + sqlText(*cityId) + QLatin1Char('\'');
    if (netText != All) {
        if (!condition.isEmpty())
            condition += And;
        condition += QStringLiteral(" net='") + sqlText(netLetter(netText)) + QLatin1Char('\'');
    }
    if (!condition.isEmpty())
        condition += And;
    condition += QStringLiteral("distime >=to_date('") + dateText(begin) +
                 QStringLiteral("','yyyy-mm-dd') and distime <=to_date('") + dateText(end) +
                 QStringLiteral("','yyyy-mm-dd')");
    return ListColumns + ListFrom + condition;
}

QString HistoryQuery::caption(const QString& distime, const QString& net, const QString& fromRoom,
                              const QString& toRoom)
{
    // Made for every record a filter reads: one allocation, not one per piece.
    QString caption;
    caption.reserve(distime.size() + net.size() + fromRoom.size() + toRoom.size() + 5);
    caption.append(distime).append(QLatin1Char(',')).append(net).append(u"网,从");
    return caption.append(fromRoom).append(u'到').append(toRoom);
}

QString HistoryQuery::distimeText(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return {};
    if (value.typeId() == QMetaType::QDate)
        return isoDay(value.toDate());
    if (value.typeId() == QMetaType::QDateTime)
        return isoDay(value.toDateTime().date());
    // Text as SQLite keeps it; a time of day written by another tool is left out. A list reads
    // this for every record, so a text that is the day already is taken as it is.
    const QString text = value.toString();
    if (isDay(text))
        return text.size() == 10 ? text : text.left(10);
    const QDate date = QDate::fromString(text.left(10), Qt::ISODate);
    return date.isValid() ? date.toString(Qt::ISODate) : text;
}

int HistoryQuery::dayNumber(const QString& day)
{
    int number = -1;
    return day.size() == 10 && isDay(day, &number) ? number : -1;
}

QString HistoryQuery::recordStatement(const QString& code)
{
    return RecordColumns + RecordFrom + QStringLiteral(" where discode ='") + sqlText(code) +
           QLatin1Char('\'');
}

QString HistoryQuery::infoText(const QString& disinfo)
{
    return disinfo.trimmed().replace(RelocationRecord::LineMarker, LineBreak);
}

std::optional<HistoryQuery::Record> HistoryQuery::read(const mdlPubVar& context, const QString& code)
{
    // It reports what was written: a standby the host keeps may answer it.
    const SystemDb::ReportReads reports(context.db());
    const auto rs = context.db().open(recordStatement(code));
    if (!rs)
        return std::nullopt;
    Record record;
    if (rs->RecordCount() > 0) {
        rs->MoveFirst();
        record.values = QStringList{
            distimeText(rs->Value(QStringLiteral("distime"))),
            rs->Text(QStringLiteral("disuser")),
            rs->Text(QStringLiteral("net")) + QStringLiteral(" 网"),
            mdlPubFun::GetCityName(context, rs->Text(QStringLiteral("fromcity"))),
            mdlPubFun::GetCityName(context, rs->Text(QStringLiteral("tocity"))),
            RoomLookup::GetRoomName(context, rs->Text(QStringLiteral("fromroom"))),
            RoomLookup::GetRoomName(context, rs->Text(QStringLiteral("toroom"))),
        };
        record.disinfo = rs->Text(QStringLiteral("disinfo"));
    }
    return record;
}

QStringList HistoryQuery::cityNames(const mdlPubVar& context)
{
    QStringList names;
    ContextService* host = context.ContextService();
    if (!host)
        return names;
    const auto rs = context.db().open(QStringLiteral("select city_id,city_name from com_city where pro_id=") +
                                      QString::number(host->CurrentProvinceId()));
    if (rs && rs->RecordCount() > 0)
        for (rs->MoveFirst(); !rs->isEOF(); rs->MoveNext())
            names << rs->Text(QStringLiteral("city_name"));
    return names;
}

std::shared_ptr<HistoryRows> HistoryQuery::fillList(const mdlPubVar& context, PropertyItems& list,
                                                    const QString& sql)
{
    return HistoryRows::fill(context, list, sql);
}

} // namespace corvan
