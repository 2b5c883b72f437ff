// SPDX-License-Identifier: MIT
#include "core/journal/reentry.h"

#include <QJsonArray>

#include "core/context/resource_view.h"
#include "core/context/sql_literal.h"
#include "core/journal/journal.h"

namespace corvan {

QList<Reentry::Table> Reentry::tables(const mdlPubVar& context, const QString& discode)
{
    QList<Table> tables;
    const auto entry = Journal::read(context, discode);
    if (!entry || !entry->exists())
        return tables;
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
        Table table{kind.name, ResourceView::FieldCaptions(context, kind.table, columns), {}};
        for (const QJsonValue& row : rows.value(QStringLiteral("rows")).toArray()) {
            QStringList texts;
            for (const QJsonValue& value : row.toArray())
                texts << (value.isObject() ? QStringLiteral("(图片)") : value.toString());
            table.rows << texts;
        }
        tables << table;
    }
    return tables;
}

} // namespace corvan
