// SPDX-License-Identifier: MIT
#include "core/history_query.h"

#include "corvan/controls/property_item.h"
#include "corvan/controls/property_items.h"
#include "core/mdl_pub_var.h"
#include "core/mdl_pub_fun.h"
#include "core/sql_literal.h"
#include "core/relocation_record.h"

#include <QDateTime>
#include <QHash>

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
    return distime + QLatin1Char(',') + net + QStringLiteral("网") + QStringLiteral(",从") + fromRoom +
           QStringLiteral("到") + toRoom;
}

QString HistoryQuery::distimeText(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return {};
    if (value.typeId() == QMetaType::QDate)
        return value.toDate().toString(Qt::ISODate);
    if (value.typeId() == QMetaType::QDateTime)
        return value.toDateTime().date().toString(Qt::ISODate);
    // Text as SQLite keeps it; a time of day written by another tool is left out.
    const QString text = value.toString();
    const QDate date = QDate::fromString(text.left(10), Qt::ISODate);
    return date.isValid() ? date.toString(Qt::ISODate) : text;
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
            mdlPubFun::GetRoomName(context, rs->Text(QStringLiteral("fromroom"))),
            mdlPubFun::GetRoomName(context, rs->Text(QStringLiteral("toroom"))),
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

bool HistoryQuery::fillList(const mdlPubVar& context, PropertyItems& list, const QString& sql)
{
    // A failed query shows no records rather than the previous criteria's ones.
    list.ClearItems();
    const auto rs = context.db().open(sql);
    if (!rs)
        return false;
    if (rs->RecordCount() <= 0)
        return true;

    // A province's records share few rooms: ask for each room once, not twice per record.
    QHash<QString, QString> roomNames;
    const auto roomName = [&roomNames, &context](const QString& code) {
        const auto known = roomNames.constFind(code);
        if (known != roomNames.cend())
            return *known;
        const QString name = mdlPubFun::GetRoomName(context, code);
        roomNames.insert(code, name);
        return name;
    };
    const QString codeField = QStringLiteral("discode");
    const QString timeField = QStringLiteral("distime");
    const QString netField = QStringLiteral("net");
    const QString fromField = QStringLiteral("fromroom");
    const QString toField = QStringLiteral("toroom");
    for (rs->MoveFirst(); !rs->isEOF(); rs->MoveNext()) {
        const QString fromRoom = roomName(rs->Text(fromField));
        const QString toRoom = roomName(rs->Text(toField));
        list.AddItem(0, QStringLiteral("K:") + rs->Text(codeField),
                     caption(distimeText(rs->Value(timeField)), rs->Text(netField), fromRoom, toRoom),
                     ITEM_OPTION);
    }
    return true;
}

} // namespace corvan
