// SPDX-License-Identifier: MIT
#include "core/plan/plan_columns.h"

#include "core/context/field_names.h"
#include "core/context/mdl_pub_var.h"
#include "core/context/resource_view.h"
#include "core/context/sql_literal.h"
#include "core/relocation/disposition_rules.h"
#include "core/relocation/field_rules.h"

namespace corvan {

const QString PlanColumns::Net = QStringLiteral("net");
const QString PlanColumns::City = QStringLiteral("city");
const QString PlanColumns::Number = QStringLiteral("bts");
const QString PlanColumns::RoomNumber = QStringLiteral("roomno");
const QString PlanColumns::RoomName = QStringLiteral("roomname");
const QStringList PlanColumns::Networks{std::begin(NetworkLetters), std::end(NetworkLetters)};

namespace {

const QString CityField = QStringLiteral("city");
const QString RoomField = QStringLiteral("belongroom");
const QString NumberField = QStringLiteral("basenum");
const QString Yes = QStringLiteral("是");
const QString No = QStringLiteral("否");

// The column's letters as a spreadsheet names them, A for 0.
QString columnName(qsizetype column)
{
    QString name;
    for (qsizetype c = column + 1; c > 0; c = (c - 1) / 26)
        name.prepend(QChar(u'A' + char16_t((c - 1) % 26)));
    return name;
}

QString captionOf(const QMap<QString, BtsFields>& networks, const QString& field, const QString& fallback)
{
    for (const BtsFields& fields : networks) {
        const BtsField* found = fields.find(field);
        if (found && !found->caption.isEmpty())
            return found->caption;
    }
    return fallback;
}

} // namespace

const PlanColumn* PlanColumns::column(const QString& key) const
{
    for (const PlanColumn& column : m_columns)
        if (column.key == key)
            return &column;
    return nullptr;
}

PlanColumns PlanColumns::of(const mdlPubVar& context)
{
    QMap<QString, BtsFields> networks;
    QMap<QString, QStringList> yesNo;
    for (const QString& net : Networks) {
        const QString n = net.toLower();
        bool read = false;
        const QStringList rules = DispositionRules::read(context, net, &read);
        const auto code = context.db().firstText(QStringLiteral("select min(basecode) from res_") + n +
                                                 QStringLiteral("bts"));
        AttrTable table;
        if (!read || !code || code->isEmpty() ||
            !ResourceView::GetResourceData(context, QStringLiteral("v_res_") + n + QStringLiteral("bts"),
                                           *code, &table) ||
            table.FieldCount() == 0)
            continue;
        BtsFields fields(table);
        DispositionRules::dispose(fields, rules);
        networks.insert(net, fields);
    }
    PlanColumns columns = of(networks);
    // Lists the user chooses from: yes or no where a field's rule says so.
    for (PlanColumn& column : columns.m_columns) {
        for (const auto& [net, entry] : networks.asKeyValueRange()) {
            if (!entry.find(column.key))
                continue;
            const QString rule = FieldRules::getResRule(
                context, QStringLiteral("res_") + net.toLower() + QStringLiteral("bts"), column.key, entry);
            if (rule.trimmed() == QLatin1String("YN"))
                column.choices = QStringList{Yes, No};
        }
    }
    return columns;
}

PlanColumns PlanColumns::of(const QMap<QString, BtsFields>& networks)
{
    PlanColumns plan;
    plan.m_columns << PlanColumn{
        Net, QStringLiteral("网络类型"), {}, QStringLiteral("基站所属的网络：G、C 或 D"), Networks, true};
    plan.m_columns << PlanColumn{
        City, captionOf(networks, CityField, QStringLiteral("所属地市")),
        {},   QStringLiteral("基站调整后所属的地市（名称）；目标机房在这个地市中查找"),
        {},   true};
    plan.m_columns << PlanColumn{Number, captionOf(networks, NumberField, QStringLiteral("基站编号")),
                                 {},     QStringLiteral("要调整的基站现在的编号，同一网络中的基站各不相同"),
                                 {},     true};
    plan.m_columns << PlanColumn{
        RoomNumber,
        QStringLiteral("目标机房编号"),
        {},
        QStringLiteral("目标机房的机房编号；与目标机房名称至少填一项，同一地市有同名机房时须填编号"),
        {},
        false};
    plan.m_columns << PlanColumn{RoomName, QStringLiteral("目标机房名称"),
                                 {},       QStringLiteral("目标机房的名称；两项都填时须是同一机房"),
                                 {},       false};
    // One column per field some network asks for, in the field order of the first network
    // that has it; captions that differ between networks are all read.
    for (const QString& net : Networks) {
        const auto entry = networks.constFind(net);
        if (entry == networks.cend())
            continue;
        for (const BtsField& bts : *entry) {
            const QString& field = bts.name;
            // A field the rules clear is shown read-only by the page and takes no value, even
            // when it may not be empty: a column for it would be read and thrown away.
            if (field == CityField || field == RoomField || bts.disposition != Disposition::Modify)
                continue;
            const QString& caption = bts.caption;
            QString heading = caption.isEmpty() ? field : caption;
            // The BTS is found by its present number; a new number has a heading of its own.
            if (field == NumberField)
                heading = QStringLiteral("新") + heading;
            plan.m_networks[field] << net;
            auto known = std::find_if(plan.m_columns.begin(), plan.m_columns.end(),
                                      [&](const PlanColumn& c) { return c.key == field; });
            if (known == plan.m_columns.end()) {
                plan.m_columns << PlanColumn{field, heading, {heading}, {}, {}, false};
                known = plan.m_columns.end() - 1;
            } else if (!known->aliases.contains(heading)) {
                known->aliases << heading;
                known->heading = known->aliases.join(QLatin1Char('/'));
            }
            known->help = plan.networksOf(field) + QStringLiteral("网调整时要填写的新值");
            if (bts.required)
                known->help += QStringLiteral("，不能为空");
        }
    }
    return plan;
}

bool PlanColumns::read(const QList<QStringList>& sheet, QList<PlanRow>* rows, QString* error) const
{
    const auto fail = [error](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    rows->clear();
    if (sheet.isEmpty() || sheet.constFirst().join(QString()).trimmed().isEmpty())
        return fail(QStringLiteral("第 1 行应是计划的列标题，文件中却没有"));
    // Which column each heading names.
    QStringList keys;
    QStringList seen;
    const QStringList& headings = sheet.constFirst();
    for (qsizetype c = 0; c < headings.size(); ++c) {
        const QString heading = headings.at(c).trimmed();
        QString key;
        for (const PlanColumn& column : m_columns)
            if (!heading.isEmpty() && (column.heading == heading || column.aliases.contains(heading)))
                key = column.key;
        if (!heading.isEmpty() && key.isEmpty())
            return fail(QStringLiteral("%1 列的标题“%2”不是计划的列").arg(columnName(c), heading));
        if (!key.isEmpty() && keys.contains(key))
            return fail(QStringLiteral("%1 列的标题“%2”与 %3 列重复")
                            .arg(columnName(c), heading, columnName(keys.indexOf(key))));
        keys << key;
        seen << heading;
    }
    QStringList missing;
    for (const PlanColumn& column : m_columns)
        if (column.required && !keys.contains(column.key))
            missing << column.heading;
    if (!keys.contains(RoomNumber) && !keys.contains(RoomName))
        missing << column(RoomNumber)->heading + QStringLiteral("（或") + column(RoomName)->heading +
                       QStringLiteral("）");
    if (!missing.isEmpty())
        return fail(QStringLiteral("缺少计划必需的列：") + missing.join(QStringLiteral("、")));

    for (qsizetype r = 1; r < sheet.size(); ++r) {
        const QStringList& cells = sheet.at(r);
        if (cells.join(QString()).trimmed().isEmpty())
            continue;
        PlanRow row{int(r + 1), {}};
        for (qsizetype c = 0; c < cells.size(); ++c) {
            const QString text = cells.at(c).trimmed();
            if (text.isEmpty())
                continue;
            if (keys.value(c).isEmpty())
                return fail(
                    QStringLiteral("%1%2 单元格有内容，但这一列没有标题").arg(columnName(c)).arg(r + 1));
            row.values.insert(keys.at(c), text);
        }
        *rows << row;
        if (rows->size() > MaxRows)
            return fail(QStringLiteral("计划超过了 %1 行的上限").arg(MaxRows));
    }
    if (rows->isEmpty())
        return fail(QStringLiteral("计划中没有要调整的基站（标题行下面没有内容）"));
    return true;
}

} // namespace corvan
