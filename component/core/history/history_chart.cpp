// SPDX-License-Identifier: MIT
#include "core/history/history_chart.h"

#include <QHash>
#include <QMap>
#include <algorithm>

#include "core/context/field_names.h"
#include "core/context/mdl_pub_fun.h"
#include "core/context/mdl_pub_var.h"
#include "core/context/system_db.h"
#include "core/history/history_query.h"

namespace corvan {

QString HistoryChart::statement(const QString& listStatement)
{
    const qsizetype from = listStatement.indexOf(QStringLiteral(" from h_btsdispatch "));
    return from < 0 ? QString()
                    : QStringLiteral("select distime,net,fromcity,tocity") + listStatement.mid(from);
}

QList<HistoryChart::Record> HistoryChart::read(const mdlPubVar& context, const QString& listStatement)
{
    // It reports what was written: a standby the host keeps may answer it.
    const SystemDb::ReportReads reports(context.db());
    QList<Record> records;
    const QString sql = statement(listStatement);
    const auto rs = sql.isEmpty() ? nullptr : context.db().open(sql);
    if (!rs)
        return records;
    QHash<QString, QString> names;
    const auto cityName = [&](const QString& id) {
        auto found = names.constFind(id);
        if (found == names.cend())
            found = names.insert(id, mdlPubFun::GetCityName(context, id));
        return *found;
    };
    const int time = rs->FieldIndex(QStringLiteral("distime"));
    const int net = rs->FieldIndex(QStringLiteral("net"));
    const int from = rs->FieldIndex(QStringLiteral("fromcity"));
    const int to = rs->FieldIndex(QStringLiteral("tocity"));
    records.reserve(rs->RecordCount());
    for (rs->MoveFirst(); !rs->isEOF(); rs->MoveNext()) {
        const QString text = HistoryQuery::distimeText(rs->Value(time));
        const int number = HistoryQuery::dayNumber(text);
        const QDate day = number >= 0 ? QDate(number / 10000, number / 100 % 100, number % 100)
                                      : QDate::fromString(text, Qt::ISODate);
        records.append(
            {day, rs->Text(net).trimmed().toUpper(), cityName(rs->Text(from)), cityName(rs->Text(to))});
    }
    return records;
}

HistoryChart HistoryChart::of(const QList<Record>& records)
{
    HistoryChart chart;
    // By year * 100 + month, -1 for records without a day: the order of their texts.
    QMap<int, std::array<int, 3>> months;
    QHash<QString, City> cities;
    for (const Record& record : records) {
        ++chart.total;
        const auto net = std::find(std::begin(NetworkLetters), std::end(NetworkLetters), record.net);
        auto& month = months[record.day.isValid() ? record.day.year() * 100 + record.day.month() : -1];
        if (net != std::end(NetworkLetters))
            ++month[std::size_t(net - std::begin(NetworkLetters))];
        City& from = cities[record.fromCity];
        from.name = record.fromCity;
        ++from.from;
        City& to = cities[record.toCity];
        to.name = record.toCity;
        ++to.to;
    }
    for (auto it = months.cbegin(); it != months.cend(); ++it)
        chart.months.append({it.key() < 0 ? QString()
                                          : QStringLiteral("%1-%2")
                                                .arg(it.key() / 100, 4, 10, QLatin1Char('0'))
                                                .arg(it.key() % 100, 2, 10, QLatin1Char('0')),
                             it.value()});
    chart.cities = cities.values();
    std::sort(chart.cities.begin(), chart.cities.end(), [](const City& a, const City& b) {
        return a.from + a.to != b.from + b.to ? a.from + a.to > b.from + b.to : a.name < b.name;
    });
    return chart;
}

HistoryChart::Axis HistoryChart::axis(int most, int length, int labelSpace)
{
    most = std::max(most, 1);
    // As many steps as labels fit above the one at 0.
    const int room = std::max(1, length / std::max(labelSpace, 1));
    Axis axis;
    for (qint64 power = 1;; power *= 10) {
        for (const int factor : {1, 2, 5}) {
            const qint64 step = power * factor;
            const qint64 steps = (most + step - 1) / step;
            if (steps <= room || step >= most) {
                axis.step = int(step);
                axis.top = int(steps * step);
                for (qint64 tick = 0; tick <= axis.top; tick += step)
                    axis.ticks.append(int(tick));
                return axis;
            }
        }
    }
}

QString HistoryChart::number(int value)
{
    QString digits = QString::number(value < 0 ? -qint64(value) : qint64(value));
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, QLatin1Char(','));
    return value < 0 ? QLatin1Char('-') + digits : digits;
}

int HistoryChart::labelEvery(int slot, int labelWidth, int gap)
{
    slot = std::max(slot, 1);
    return std::max(1, (labelWidth + gap + slot - 1) / slot);
}

} // namespace corvan
