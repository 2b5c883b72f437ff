// SPDX-License-Identifier: MIT
#include "core/journal/reentry.h"

#include <QHash>
#include <QJsonArray>

#include "core/context/divisions.h"
#include "core/context/field_names.h"
#include "core/context/mdl_pub_var.h"
#include "core/context/resource_view.h"
#include "core/context/sql_literal.h"
#include "core/context/system_db.h"
#include "core/journal/journal.h"
#include "core/rooms/room_lookup.h"

namespace corvan {

const QString Reentry::LocationName = QStringLiteral("基站新位置");
const QString Reentry::CityNameColumn = QStringLiteral("地市名称");
const QString Reentry::CountyNameColumn = QStringLiteral("区县名称");

namespace {

QString text(const QJsonValue& value)
{
    return value.isObject() ? QStringLiteral("(图片)") : value.toString();
}

// Names of cities and counties, each looked up once per worksheet.
class Names {
public:
    explicit Names(const mdlPubVar& context) : m_context(context) {}
    QString city(const QString& code) { return lookUp(m_cities, code, &mdlPubFun::GetCityName); }
    QString county(const QString& code) { return lookUp(m_counties, code, &mdlPubFun::GetCountyName); }

private:
    using LookUp = QString (*)(const mdlPubVar&, const QString&);
    QString lookUp(QHash<QString, QString>& known, const QString& code, LookUp name)
    {
        // No code, no name: an empty cell rather than "未知".
        if (code.isEmpty())
            return {};
        auto found = known.constFind(code);
        if (found == known.cend())
            found = known.insert(code, name(m_context, code));
        return *found;
    }
    const mdlPubVar& m_context;
    QHash<QString, QString> m_cities;
    QHash<QString, QString> m_counties;
};

// Where the BTS stands after the relocation, as its row was written then.
Reentry::Table location(const mdlPubVar& context, const Journal::Entry& entry, Names& names)
{
    const QJsonObject bts = entry.body.value(QStringLiteral("bts")).toObject();
    const QJsonArray columns = bts.value(QStringLiteral("columns")).toArray();
    const QJsonArray after = bts.value(QStringLiteral("after")).toArray();
    const auto field = [&](const QString& name) {
        for (qsizetype i = 0; i < columns.size(); ++i)
            if (columns.at(i).toString() == name)
                return text(after.at(i));
        return QString();
    };
    const QString city = field(FieldName::City);
    const QString county = field(FieldName::County);
    return {Reentry::LocationName,
            {QStringLiteral("项目"), QStringLiteral("内容")},
            {{QStringLiteral("网络类型"), entry.net + QStringLiteral(" 网")},
             {QStringLiteral("基站名称"), field(QStringLiteral("basename"))},
             {QStringLiteral("基站编码"), entry.basecode},
             {QStringLiteral("基站编号"), field(QStringLiteral("basenum"))},
             {QStringLiteral("所在机房"), RoomLookup::GetRoomName(context, entry.toRoom)},
             {QStringLiteral("机房编码"), entry.toRoom},
             {QStringLiteral("所属地市"), city},
             {Reentry::CityNameColumn, names.city(city)},
             {QStringLiteral("所属区县"), county},
             {Reentry::CountyNameColumn, names.county(county)}},
            {false, false}};
}

} // namespace

bool Reentry::number(const QString& text, double* value)
{
    bool ok = false;
    const double read = text.trimmed().toDouble(&ok);
    if (ok && value)
        *value = read;
    return ok;
}

QList<Reentry::Table> Reentry::tables(const mdlPubVar& context, const QString& discode)
{
    // It reports what was written: a standby the host keeps may answer it.
    const SystemDb::ReportReads reports(context.db());
    QList<Table> tables;
    const auto entry = Journal::read(context, discode);
    if (!entry || !entry->exists())
        return tables;
    Names names(context);
    tables << location(context, *entry, names);
    const QString n = networkName(entry->net);
    const struct {
        const char* key;
        QString table;
        QString name;
    } kinds[] = {{"cells", QStringLiteral("res_") + n + QStringLiteral("cell"), QStringLiteral("小区")},
                 {"antennas", QStringLiteral("res_") + n + QStringLiteral("ant"), QStringLiteral("天线")},
                 {"feeders", QStringLiteral("res_") + n + QStringLiteral("antline"), QStringLiteral("馈线")}};
    for (const auto& kind : kinds) {
        const QJsonObject rows = entry->body.value(QLatin1String(kind.key)).toObject();
        QStringList columns;
        for (const QJsonValue& column : rows.value(QStringLiteral("columns")).toArray())
            columns << column.toString();
        const QStringList captions = ResourceView::FieldCaptions(context, kind.table, columns);
        const QStringList types = ResourceView::FieldTypes(context, kind.table, columns);
        Table table{kind.name, {}, {}, {}};
        for (qsizetype c = 0; c < columns.size(); ++c) {
            table.columns << captions.value(c);
            table.numbers << (types.value(c) == QLatin1String("num") ||
                              types.value(c) == QLatin1String("int"));
            // The name beside the code, for a reader who knows the city but not its number.
            if (columns.at(c) == FieldName::City || columns.at(c) == FieldName::County) {
                table.columns << (columns.at(c) == FieldName::City ? CityNameColumn : CountyNameColumn);
                table.numbers << false;
            }
        }
        for (const QJsonValue& row : rows.value(QStringLiteral("rows")).toArray()) {
            const QJsonArray values = row.toArray();
            QStringList texts;
            for (qsizetype c = 0; c < columns.size(); ++c) {
                const QString value = text(values.at(c));
                texts << value;
                if (columns.at(c) == FieldName::City)
                    texts << names.city(value);
                else if (columns.at(c) == FieldName::County)
                    texts << names.county(value);
            }
            table.rows << texts;
        }
        tables << table;
    }
    return tables;
}

} // namespace corvan
