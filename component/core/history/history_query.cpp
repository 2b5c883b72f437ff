// SPDX-License-Identifier: MIT
#include "core/history/history_query.h"

#include "core/context/mdl_pub_fun.h"
#include "core/context/mdl_pub_var.h"
#include "core/context/sql_literal.h"
#include "core/relocation/relocation_record.h"
#include "core/rooms/room_lookup.h"
#include "corvan/controls/property_item.h"
#include "corvan/controls/property_items.h"

#include <QDateTime>
#include <QHash>
#include <algorithm>
#include <memory>

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

bool HistoryQuery::fillList(const mdlPubVar& context, PropertyItems& list, const QString& sql)
{
    // A failed query shows no records rather than the previous criteria's ones.
    list.ClearItems();
    std::shared_ptr<RecordSet> rs = context.db().open(sql);
    if (!rs)
        return false;
    if (rs->RecordCount() <= 0)
        return true;

    // The set stays with the list, and a caption is made from its row when first read. A
    // province's records share few rooms: each is asked for once, not twice per record.
    struct Captions {
        std::shared_ptr<RecordSet> rows;
        int time;
        int net;
        int from;
        int to;
        QHash<QString, QString> roomNames;
    };
    auto captions = std::make_shared<Captions>(Captions{rs,
                                                        rs->FieldIndex(QStringLiteral("distime")),
                                                        rs->FieldIndex(QStringLiteral("net")),
                                                        rs->FieldIndex(QStringLiteral("fromroom")),
                                                        rs->FieldIndex(QStringLiteral("toroom")),
                                                        {}});
    list.setCaptionSource([captions, &context](long row) {
        const auto roomName = [&](const QString& code) {
            const auto known = captions->roomNames.constFind(code);
            if (known != captions->roomNames.cend())
                return *known;
            const QString name = RoomLookup::GetRoomName(context, code);
            captions->roomNames.insert(code, name);
            return name;
        };
        RecordSet& r = *captions->rows;
        r.MoveTo(int(row));
        const QString fromRoom = roomName(r.Text(captions->from));
        const QString toRoom = roomName(r.Text(captions->to));
        return caption(distimeText(r.Value(captions->time)), r.Text(captions->net), fromRoom, toRoom);
    });
    {
        const PropertyItems::Batch batch(list);
        const int code = rs->FieldIndex(QStringLiteral("discode"));
        const QString prefix = QStringLiteral("K:");
        int row = 0;
        for (rs->MoveFirst(); !rs->isEOF(); rs->MoveNext(), ++row)
            list.AddDeferredItem(0, prefix + rs->Text(code), row, ITEM_OPTION);
    }
    for (long i = 1; i <= std::min(FirstScreen, list.ItemCount()); ++i)
        list.GetItem(i)->Caption();
    return true;
}

} // namespace corvan
