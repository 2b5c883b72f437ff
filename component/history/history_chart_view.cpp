// SPDX-License-Identifier: MIT
#include "history/history_chart_view.h"

#include <QEvent>
#include <QPainter>
#include <algorithm>
#include <utility>

#include "core/context/field_names.h"

namespace corvan {

const QString HistoryChartView::Nothing = QStringLiteral("没有调整记录可以画图：请先查询。");
const QString HistoryChartView::Counting = QStringLiteral("正在统计……");

namespace {
const QColor NetworkColours[3] = {QColor(0x3b, 0x75, 0xaf), QColor(0x51, 0x9e, 0x3e),
                                  QColor(0xef, 0x8a, 0x36)};
const QColor FromColour(0x8c, 0x56, 0x4b);
const QColor ToColour(0x84, 0x9d, 0xd1);
const QString MonthsTitle = QStringLiteral("每月调整次数（按网络）");
const QString CitiesTitle = QStringLiteral("各城市调出 / 调入次数");
const QString FromLegend = QStringLiteral("调出");
const QString ToLegend = QStringLiteral("调入");
constexpr int Gap = 8;

// A small square of the colour and its text, at x; returns where the next one goes.
int legend(QPainter& painter, int x, int y, const QColor& colour, const QString& text)
{
    const int box = painter.fontMetrics().height() - 4;
    painter.fillRect(QRect(x, y + 2, box, box), colour);
    painter.drawText(x + box + 4, y + painter.fontMetrics().ascent(), text);
    return x + box + 8 + painter.fontMetrics().horizontalAdvance(text) + Gap;
}
} // namespace

HistoryChartView::HistoryChartView(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("chrHistory"));
    setMinimumHeight(160);
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
}

void HistoryChartView::setChart(HistoryChart chart)
{
    m_source = nullptr;
    m_chart = std::move(chart);
    setToolTip(m_chart.total ? QStringLiteral("共 %1 次调整").arg(m_chart.total) : QString());
    update();
}

void HistoryChartView::setSource(std::function<HistoryChart()> source, QWidget* after)
{
    if (m_after)
        m_after->removeEventFilter(this);
    m_after = after;
    if (m_after)
        m_after->installEventFilter(this);
    m_source = std::move(source);
    m_chart = HistoryChart();
    setToolTip(QString());
    update();
}

bool HistoryChartView::eventFilter(QObject* watched, QEvent* event)
{
    // Posted while the widget paints, the reading comes after the paint is on screen.
    if (watched == m_after && event->type() == QEvent::Paint) {
        m_after->removeEventFilter(this);
        m_after = nullptr;
        loadSoon();
    }
    return QWidget::eventFilter(watched, event);
}

void HistoryChartView::loadSoon()
{
    QMetaObject::invokeMethod(
        this, [this] { load(); }, Qt::QueuedConnection);
}

const HistoryChart& HistoryChartView::chart() const
{
    load();
    return m_chart;
}

void HistoryChartView::load() const
{
    if (!m_source)
        return;
    const auto source = std::exchange(m_source, nullptr);
    auto* self = const_cast<HistoryChartView*>(this);
    self->setChart(source());
}

QSize HistoryChartView::sizeHint() const
{
    return {600, 240};
}

void HistoryChartView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(palette().color(QPalette::Text));
    const QRect area = rect().adjusted(Gap, Gap, -Gap, -Gap);
    if (m_source) {
        painter.drawText(area, Qt::AlignCenter, Counting);
        if (!m_after || !m_after->isVisible())
            loadSoon();
        return;
    }
    if (m_chart.total == 0) {
        painter.drawText(area, Qt::AlignCenter, Nothing);
        return;
    }
    const int half = area.width() / 2;
    paintMonths(painter, QRect(area.left(), area.top(), half - Gap, area.height()));
    paintCities(painter,
                QRect(area.left() + half + Gap, area.top(), area.width() - half - Gap, area.height()));
}

void HistoryChartView::paintMonths(QPainter& painter, const QRect& area) const
{
    const QFontMetrics metrics = painter.fontMetrics();
    const int line = metrics.height();
    painter.drawText(area.left(), area.top() + metrics.ascent(), MonthsTitle);
    int x = area.left();
    for (int n = 0; n < 3; ++n)
        x = legend(painter, x, area.top() + line + 2, NetworkColours[n],
                   NetworkLetters[n] + QStringLiteral(" 网"));
    const QRect plot(area.left() + metrics.horizontalAdvance(QStringLiteral("000")) + 4,
                     area.top() + 2 * line + 8, 0, area.height() - 3 * line - 12);
    const QRect bars(plot.left(), plot.top(), area.right() - plot.left(), plot.height());
    int most = 1;
    for (const auto& month : m_chart.months)
        most = std::max(most, month.counts[0] + month.counts[1] + month.counts[2]);
    painter.drawLine(bars.bottomLeft(), bars.bottomRight());
    painter.drawText(QRect(area.left(), bars.top() - line / 2, bars.left() - area.left() - 4, line),
                     Qt::AlignRight | Qt::AlignVCenter, QString::number(most));
    painter.drawText(QRect(area.left(), bars.bottom() - line / 2, bars.left() - area.left() - 4, line),
                     Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("0"));
    const int count = int(m_chart.months.size());
    const int slot = std::max(1, bars.width() / std::max(count, 1));
    const int labelEvery =
        std::max(1, (metrics.horizontalAdvance(QStringLiteral("0000-00")) + Gap) / slot + 1);
    for (int i = 0; i < count; ++i) {
        const auto& month = m_chart.months.at(i);
        const int left = bars.left() + i * slot + slot / 6;
        const int width = std::max(2, slot * 2 / 3);
        int bottom = bars.bottom();
        for (int n = 0; n < 3; ++n) {
            const int h = bars.height() * month.counts[std::size_t(n)] / most;
            painter.fillRect(QRect(left, bottom - h, width, h), NetworkColours[n]);
            bottom -= h;
        }
        if (i % labelEvery == 0)
            painter.drawText(
                QRect(bars.left() + i * slot - Gap, bars.bottom() + 2, slot * labelEvery + Gap, line),
                Qt::AlignLeft | Qt::AlignTop, month.month);
    }
}

void HistoryChartView::paintCities(QPainter& painter, const QRect& area) const
{
    const QFontMetrics metrics = painter.fontMetrics();
    const int line = metrics.height();
    painter.drawText(area.left(), area.top() + metrics.ascent(), CitiesTitle);
    int x = legend(painter, area.left(), area.top() + line + 2, FromColour, FromLegend);
    legend(painter, x, area.top() + line + 2, ToColour, ToLegend);
    const int shown = std::min(int(m_chart.cities.size()), MostCities);
    int nameWidth = 0;
    int most = 1;
    for (int i = 0; i < shown; ++i) {
        const auto& city = m_chart.cities.at(i);
        nameWidth = std::max(nameWidth, metrics.horizontalAdvance(city.name));
        most = std::max({most, city.from, city.to});
    }
    const int top = area.top() + 2 * line + 8;
    const int rowHeight = std::max(6, std::min(2 * line, (area.bottom() - top) / std::max(shown, 1)));
    const int barLeft = area.left() + nameWidth + 6;
    const int numberWidth = metrics.horizontalAdvance(QString::number(most)) + 6;
    const int barRoom = std::max(1, area.right() - barLeft - numberWidth);
    for (int i = 0; i < shown; ++i) {
        const auto& city = m_chart.cities.at(i);
        const int y = top + i * rowHeight;
        painter.drawText(QRect(area.left(), y, nameWidth, rowHeight), Qt::AlignRight | Qt::AlignVCenter,
                         city.name);
        const int half = std::max(2, rowHeight / 2 - 1);
        const int from = barRoom * city.from / most;
        const int to = barRoom * city.to / most;
        painter.fillRect(QRect(barLeft, y, from, half), FromColour);
        painter.fillRect(QRect(barLeft, y + half, to, half), ToColour);
        if (rowHeight >= line) {
            painter.drawText(QRect(barLeft + from + 3, y, numberWidth, half + 2),
                             Qt::AlignLeft | Qt::AlignVCenter, QString::number(city.from));
            painter.drawText(QRect(barLeft + to + 3, y + half, numberWidth, half + 2),
                             Qt::AlignLeft | Qt::AlignVCenter, QString::number(city.to));
        }
    }
}

} // namespace corvan
