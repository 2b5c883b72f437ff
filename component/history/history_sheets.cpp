// SPDX-License-Identifier: MIT
#include "history/history_sheets.h"

#include "core/context/mdl_pub_var.h"
#include "core/context/system_db.h"
#include "core/history/history_query.h"
#include "corvan/controls/sheet.h"

namespace corvan {

const QString HistorySheets::DetailName = QStringLiteral("详细信息");
const QString HistorySheets::RecordsName = QStringLiteral("调整记录");
const QString HistorySheets::MonthsName = QStringLiteral("按月份和网络");
const QString HistorySheets::CitiesName = QStringLiteral("按城市");

namespace {
const QStringList RecordHeadings{QStringLiteral("调整时间"), QStringLiteral("操作用户"),
                                 QStringLiteral("网络类型"), QStringLiteral("来源城市"),
                                 QStringLiteral("去往城市"), QStringLiteral("来源机房"),
                                 QStringLiteral("去往机房"), QStringLiteral("详细信息")};
constexpr int WideColumn = 480;
} // namespace

void HistorySheets::Book::add(std::unique_ptr<Sheet> sheet, const QString& name)
{
    sheets << sheet.get();
    names << name;
    owned.push_back(std::move(sheet));
}

std::unique_ptr<Sheet> HistorySheets::table(const QStringList& headings, const QList<QStringList>& rows)
{
    // A workbook shows no column headings: they go in the first row, as a reader expects.
    auto sheet = std::make_unique<Sheet>();
    sheet->setMaxCol(int(headings.size()));
    sheet->setMaxRow(int(rows.size()) + 1);
    for (int c = 1; c <= headings.size(); ++c) {
        sheet->setColText(c, headings.at(c - 1));
        sheet->setTextRC(1, c, headings.at(c - 1));
    }
    for (int r = 1; r <= rows.size(); ++r)
        for (int c = 1; c <= headings.size(); ++c)
            sheet->setTextRC(r + 1, c, rows.at(r - 1).value(c - 1));
    return sheet;
}

std::unique_ptr<Sheet> HistorySheets::detail(const QString& disinfo)
{
    // Printed under its heading, exported under its worksheet's title: no heading row.
    const QStringList lines = HistoryQuery::infoText(disinfo).split(QStringLiteral("\r\n"));
    auto sheet = std::make_unique<Sheet>();
    sheet->setMaxCol(1);
    sheet->setMaxRow(int(lines.size()));
    sheet->setColText(1, DetailName);
    sheet->setColWidth(1, WideColumn);
    for (int r = 1; r <= lines.size(); ++r)
        sheet->setTextRC(r, 1, lines.at(r - 1));
    return sheet;
}

std::unique_ptr<Sheet> HistorySheets::records(const mdlPubVar& context, const QStringList& codes,
                                              const std::function<bool(qint64 done)>& step)
{
    // It reports what was written: a standby the host keeps may answer it.
    const SystemDb::ReportReads reports(context.db());
    QList<QStringList> rows;
    qint64 done = 0;
    for (const QString& code : codes) {
        if (step && !step(done))
            return nullptr;
        ++done;
        const auto record = HistoryQuery::read(context, code);
        if (!record || record->values.isEmpty())
            continue;
        rows.append(record->values + QStringList{HistoryQuery::infoText(record->disinfo)});
    }
    if (step && !step(done))
        return nullptr;
    auto sheet = table(RecordHeadings, rows);
    sheet->setColWidth(int(RecordHeadings.size()), WideColumn);
    return sheet;
}

std::unique_ptr<Sheet> HistorySheets::months(const HistoryChart& chart)
{
    QList<QStringList> rows;
    for (const auto& month : chart.months)
        rows.append({month.month, QString::number(month.counts[0]), QString::number(month.counts[1]),
                     QString::number(month.counts[2]),
                     QString::number(month.counts[0] + month.counts[1] + month.counts[2])});
    return table({QStringLiteral("月份"), QStringLiteral("G网"), QStringLiteral("C网"), QStringLiteral("D网"),
                  QStringLiteral("合计")},
                 rows);
}

std::unique_ptr<Sheet> HistorySheets::cities(const HistoryChart& chart)
{
    QList<QStringList> rows;
    for (const auto& city : chart.cities)
        rows.append({city.name, QString::number(city.from), QString::number(city.to)});
    return table({QStringLiteral("城市"), QStringLiteral("调出"), QStringLiteral("调入")}, rows);
}

void HistorySheets::reentry(Book& book, const QList<Reentry::Table>& tables)
{
    for (const Reentry::Table& table : tables) {
        auto sheet = std::make_unique<Sheet>();
        sheet->setMaxCol(int(table.columns.size()));
        sheet->setMaxRow(int(table.rows.size()) + 1);
        for (qsizetype c = 0; c < table.columns.size(); ++c)
            sheet->setTextRC(1, int(c) + 1, table.columns.at(c));
        for (qsizetype r = 0; r < table.rows.size(); ++r)
            for (qsizetype c = 0; c < table.rows.at(r).size(); ++c) {
                const QString& value = table.rows.at(r).at(c);
                double number = 0;
                if (table.numbers.value(c) && Reentry::number(value, &number))
                    sheet->setNumberRC(int(r) + 2, int(c) + 1, number);
                else
                    sheet->setTextRC(int(r) + 2, int(c) + 1, value);
            }
        book.add(std::move(sheet), table.name);
    }
}

} // namespace corvan
