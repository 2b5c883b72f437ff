// SPDX-License-Identifier: MIT
#include "core/history/history_chart.h"

#include <QHash>
#include <QMap>
#include <algorithm>

#include "core/context/divisions.h"
#include "core/context/field_names.h"
#include "core/context/mdl_pub_var.h"
#include "core/context/system_db.h"
#include "core/history/history_query.h"

namespace corvan {

namespace {

// What a chart counts, group by group: a group of records of one day and network, or of one
// pair of cities.
class Counts {
public:
    void day(const QDate& day, const QString& net, int count)
    {
        // By year * 100 + month, -1 for records without a day: the order of their texts.
        auto& month = m_months[day.isValid() ? day.year() * 100 + day.month() : -1];
        const auto letter = std::find(std::begin(NetworkLetters), std::end(NetworkLetters), net);
        if (letter != std::end(NetworkLetters))
            month[std::size_t(letter - std::begin(NetworkLetters))] += count;
        m_total += count;
    }
    void cities(const QString& fromCity, const QString& toCity, int count)
    {
        HistoryChart::City& from = m_cities[fromCity];
        from.name = fromCity;
        from.from += count;
        HistoryChart::City& to = m_cities[toCity];
        to.name = toCity;
        to.to += count;
    }
    HistoryChart chart() const
    {
        HistoryChart chart;
        chart.total = m_total;
        for (auto it = m_months.cbegin(); it != m_months.cend(); ++it)
            chart.months.append({it.key() < 0 ? QString()
                                              : QStringLiteral("%1-%2")
                                                    .arg(it.key() / 100, 4, 10, QLatin1Char('0'))
                                                    .arg(it.key() % 100, 2, 10, QLatin1Char('0')),
                                 it.value()});
        chart.cities = m_cities.values();
        std::sort(chart.cities.begin(), chart.cities.end(), [](const auto& a, const auto& b) {
            return a.from + a.to != b.from + b.to ? a.from + a.to > b.from + b.to : a.name < b.name;
        });
        return chart;
    }

private:
    QMap<int, std::array<int, 3>> m_months;
    QHash<QString, HistoryChart::City> m_cities;
    int m_total = 0;
};

} // namespace

QStringList HistoryChart::statements(const QString& listStatement)
{
    const qsizetype from = listStatement.indexOf(QStringLiteral(" from h_btsdispatch "));
    if (from < 0)
        return {};
    const QString rest = listStatement.mid(from);
    return {QStringLiteral("select distime,net,count(*)") + rest + QStringLiteral(" group by distime,net"),
            QStringLiteral("select fromcity,tocity,count(*)") + rest +
                QStringLiteral(" group by fromcity,tocity")};
}

std::optional<HistoryChart> HistoryChart::read(const mdlPubVar& context, const QString& listStatement)
{
    // It reports what was written: a standby the host keeps may answer it.
    const SystemDb::ReportReads reports(context.db());
    const QStringList sql = statements(listStatement);
    if (sql.size() != 2)
        return std::nullopt;
    const auto days = context.db().open(sql[0]);
    const auto cities = days ? context.db().open(sql[1]) : nullptr;
    if (!cities)
        return std::nullopt;
    Counts counts;
    // A day as the list shows it; the same day written two ways is one day.
    for (days->MoveFirst(); !days->isEOF(); days->MoveNext()) {
        const QString text = HistoryQuery::distimeText(days->Value(0));
        const int number = HistoryQuery::dayNumber(text);
        const QDate day = number >= 0 ? QDate(number / 10000, number / 100 % 100, number % 100)
                                      : QDate::fromString(text, Qt::ISODate);
        counts.day(day, days->Text(1).trimmed().toUpper(), days->Value(2).toInt());
    }
    QHash<QString, QString> names;
    const auto cityName = [&](const QString& id) {
        auto found = names.constFind(id);
        if (found == names.cend())
            found = names.insert(id, mdlPubFun::GetCityName(context, id));
        return *found;
    };
    for (cities->MoveFirst(); !cities->isEOF(); cities->MoveNext())
        counts.cities(cityName(cities->Text(0)), cityName(cities->Text(1)), cities->Value(2).toInt());
    return counts.chart();
}

HistoryChart HistoryChart::of(const QList<Record>& records)
{
    Counts counts;
    for (const Record& record : records) {
        counts.day(record.day, record.net, 1);
        counts.cities(record.fromCity, record.toCity, 1);
    }
    return counts.chart();
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
