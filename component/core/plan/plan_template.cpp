// SPDX-License-Identifier: MIT
#include "core/plan/plan_template.h"

#include "core/context/divisions.h"
#include "core/context/mdl_pub_var.h"
#include "core/context/resource_view.h"
#include "core/context/sql_literal.h"

namespace corvan {

const QString PlanTemplate::PlanSheet = QStringLiteral("调整计划");
const QString PlanTemplate::HelpSheet = QStringLiteral("说明");

namespace {

const QString Arrow = QStringLiteral(" → ");

// The notes above the columns' descriptions on the sheet 说明.
const char16_t* const Notes[] = {
    u"每行调整一个基站：按网络类型和基站编号找到基站，调入所属地市中的目标机房，并按各列填写需要修改的属性。",
    u"计划按行的顺序执行：前面的行调出基站后空出的机房，后面的行可以调入；两行互换机房则无法执行。",
    u"检查时每一行都与基站调整向导一样逐项检查，全部通过后才能执行；执行在一个事务中完成，任何一行失败则全部"
    u"不写入。",
    u"执行后每个基站的小区、天线、馈线被删除，请在资源维护中重新添加；整个计划可以在调整记录中一次撤销。",
    u"第 2 行是示例（一个真实的基站和它所在地市的一个空闲机房），使用前请改写或删除。",
};

QString quotedList(const QString& rightCities, const QString& fallback)
{
    return rightCities.trimmed().isEmpty() ? fallback : rightCities;
}

} // namespace

QList<TextSheet> PlanTemplate::sheets(const mdlPubVar& context, const PlanColumns& columns)
{
    TextSheet plan{PlanSheet, {}, {}, {}, false};
    TextSheet help{HelpSheet, {}, {40, 80, 30}, {}, false};
    QStringList names;
    QStringList cityIds;
    mdlPubFun::InitQueryCity(context, names, cityIds, false);
    QStringList headings;
    for (const PlanColumn& column : columns.columns()) {
        headings << column.heading;
        plan.widths << std::max(10, int(column.heading.size()) * 2 + 4);
        plan.choices << (column.key == PlanColumns::City ? names : column.choices);
    }
    plan.rows << headings << exampleRow(context, columns);
    for (const char16_t* note : Notes)
        help.rows << QStringList{QString::fromUtf16(note)};
    help.rows << QStringList{}
              << QStringList{QStringLiteral("列"), QStringLiteral("说明"), QStringLiteral("可填的值")};
    for (const PlanColumn& column : columns.columns()) {
        const QStringList choices = column.key == PlanColumns::City ? names : column.choices;
        help.rows << QStringList{column.heading,
                                 column.help + (column.required ? QStringLiteral("（必填）") : QString()),
                                 choices.join(QStringLiteral("、"))};
    }
    return {plan, help};
}

QStringList PlanTemplate::exampleRow(const mdlPubVar& context, const PlanColumns& columns)
{
    RightService* rights = context.RightService();
    const QString cities = quotedList(rights ? rights->GetRightCityList(mdlPubFun::RightFunction) : QString(),
                                      QStringLiteral("''"));
    for (const QString& net : PlanColumns::Networks) {
        const QString n = net.toLower();
        const auto code = context.db().firstText(QStringLiteral("select min(basecode) from res_") + n +
                                                 QStringLiteral("bts where basenum<>'' and city in (") +
                                                 cities + QLatin1Char(')'));
        AttrTable bts;
        if (!code || code->isEmpty() ||
            !ResourceView::GetResourceData(context, QStringLiteral("v_res_") + n + QStringLiteral("bts"),
                                           *code, &bts))
            continue;
        const auto fieldText = [&bts](const QString& field) {
            const int j = bts.findField(field);
            return j > 0 ? bts.at(AttrTable::DisplayValue, j) : QString();
        };
        const QString cityId = mdlPubFun::GetCityId(context, fieldText(QStringLiteral("city")));
        auto room = context.db().open(
            QStringLiteral("select roomcode,roomname,roomno,county from res_baseroom where "
                           "city='") +
            sqlText(cityId) + QStringLiteral("' and (") + n + QStringLiteral("bts is null or ") + n +
            QStringLiteral("bts='') order by roomcode"));
        if (!room || room->RecordCount() == 0)
            continue;
        room->MoveFirst();
        QStringList row;
        for (const PlanColumn& column : columns.columns()) {
            // A column other networks ask for stays empty: this network's value there would
            // read as one the plan gives it.
            if (!columns.takes(column.key, net))
                row << QString();
            else if (column.key == PlanColumns::Net)
                row << net;
            else if (column.key == PlanColumns::City)
                row << fieldText(QStringLiteral("city"));
            else if (column.key == PlanColumns::Number)
                row << fieldText(QStringLiteral("basenum"));
            else if (column.key == PlanColumns::RoomNumber)
                row << room->Text(2);
            else if (column.key == PlanColumns::RoomName)
                row << room->Text(1);
            else if (column.key == QLatin1String("county"))
                row << mdlPubFun::GetCountyName(context, room->Text(3));
            else if (!column.choices.isEmpty())
                row << column.choices.last();
            else
                row << fieldText(column.key);
        }
        return row;
    }
    return {};
}

QStringList PlanTemplate::resultHeadings()
{
    return {QStringLiteral("行号"),    QStringLiteral("网络类型"), QStringLiteral("基站"),
            QStringLiteral("原机房"),  QStringLiteral("目标机房"), QStringLiteral("结果"),
            QStringLiteral("小区"),    QStringLiteral("天线"),     QStringLiteral("馈线"),
            QStringLiteral("调整记录")};
}

QStringList PlanTemplate::resultCells(const PlanRowResult& result)
{
    const auto count = [&result](int n) {
        return result.passed() ? QString::number(n) : QString();
    };
    return {QString::number(result.line),
            result.net,
            result.bts,
            result.fromRoom,
            result.toRoom,
            result.verdict,
            count(result.cells),
            count(result.antennas),
            count(result.feeders),
            result.record};
}

TextSheet PlanTemplate::resultSheet(const QList<PlanRowResult>& results, const PlanRun::Totals& totals)
{
    TextSheet sheet{
        QStringLiteral("检查结果"), {resultHeadings()}, {8, 10, 30, 24, 24, 60, 8, 8, 8, 24}, {}, false};
    for (const PlanRowResult& result : results)
        sheet.rows << resultCells(result);
    sheet.rows << QStringList{} << QStringList{totalsLine(totals)};
    return sheet;
}

QString PlanTemplate::resultLine(const PlanRowResult& result)
{
    return QStringLiteral("第 %1 行\t%2\t%3\t%4\t%5")
        .arg(result.line)
        .arg(result.net, result.bts, result.fromRoom + Arrow + result.toRoom,
             result.record.isEmpty() ? result.verdict
                                     : result.verdict + QStringLiteral("\t记录 ") + result.record);
}

QString PlanTemplate::totalsLine(const PlanRun::Totals& totals)
{
    return QStringLiteral(
               "共 %1 行：可以调整 %2 行，不能调整 %3 行；将删除小区 %4 个、天线 %5 个、馈线 %6 个")
        .arg(totals.rows)
        .arg(totals.passed)
        .arg(totals.rows - totals.passed)
        .arg(totals.cells)
        .arg(totals.antennas)
        .arg(totals.feeders);
}

} // namespace corvan
