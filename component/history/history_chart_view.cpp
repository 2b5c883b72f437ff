// SPDX-License-Identifier: MIT
#include "history/history_chart_view.h"

#include <QAction>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QPainter>
#include <algorithm>
#include <utility>

#include "core/context/field_names.h"
#include "ui/messages.h"

namespace corvan {

const QString HistoryChartView::Nothing = QStringLiteral("没有调整记录可以画图：请先查询。");
const QString HistoryChartView::Counting = QStringLiteral("正在统计……");
const QString HistoryChartView::SaveTitle = QStringLiteral("保存统计图");
const QString HistoryChartView::NotSaved = QStringLiteral("统计图未能保存到 %1，请换个位置再试。");
const QString HistoryChartView::SuggestedName = QStringLiteral("基站调整统计图.png");

namespace {
const QColor NetworkColours[3] = {QColor(0x3b, 0x75, 0xaf), QColor(0x51, 0x9e, 0x3e),
                                  QColor(0xef, 0x8a, 0x36)};
const QString PictureFilter = QStringLiteral("PNG 图片 (*.png)");
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
    // The picture as a file, from the chart's own menu.
    m_save = new QAction(QStringLiteral("保存为图片(&S)…"), this);
    m_save->setObjectName(QStringLiteral("actSaveChart"));
    m_save->setShortcut(QKeySequence::Save);
    m_save->setShortcutContext(Qt::WindowShortcut);
    connect(m_save, &QAction::triggered, this, &HistoryChartView::askAndSave);
    addAction(m_save);
    setContextMenuPolicy(Qt::ActionsContextMenu);
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
    const int plotTop = area.top() + 2 * line + 8;
    const int plotHeight = std::max(1, area.height() - 3 * line - 12);
    int most = 1;
    for (const auto& month : m_chart.months)
        most = std::max(most, month.counts[0] + month.counts[1] + month.counts[2]);
    // The axis is as wide as its widest number, and its labels a line and a little apart.
    const HistoryChart::Axis axis = HistoryChart::axis(most, plotHeight, line + 2);
    int labelWidth = 0;
    for (int tick : axis.ticks)
        labelWidth = std::max(labelWidth, metrics.horizontalAdvance(HistoryChart::number(tick)));
    const int left = area.left() + labelWidth + 6;
    const QRect bars(left, plotTop, std::max(1, area.right() - left), plotHeight);
    const auto yOf = [&](int value) {
        return bars.bottom() - int(qint64(bars.height()) * value / axis.top);
    };
    const QColor grid = palette().color(QPalette::Mid);
    const QPen text = painter.pen();
    for (int tick : axis.ticks) {
        const int y = yOf(tick);
        painter.setPen(grid);
        painter.drawLine(bars.left() - 3, y, bars.right(), y);
        painter.setPen(text);
        painter.drawText(QRect(area.left(), y - line / 2, labelWidth + 2, line),
                         Qt::AlignRight | Qt::AlignVCenter, HistoryChart::number(tick));
    }
    painter.drawLine(bars.bottomLeft(), bars.bottomRight());
    const int count = int(m_chart.months.size());
    const int slot = std::max(1, bars.width() / std::max(count, 1));
    const int monthWidth = metrics.horizontalAdvance(QStringLiteral("0000-00"));
    const int every = HistoryChart::labelEvery(slot, monthWidth, Gap);
    for (int i = 0; i < count; ++i) {
        const auto& month = m_chart.months.at(i);
        const int barLeft = bars.left() + i * slot + slot / 6;
        const int width = std::max(2, slot * 2 / 3);
        // Each part from the running sum, so the parts add up to the whole bar.
        int below = 0;
        for (int n = 0; n < 3; ++n) {
            const int above = below + month.counts[std::size_t(n)];
            painter.fillRect(QRect(QPoint(barLeft, yOf(above)), QPoint(barLeft + width - 1, yOf(below) - 1)),
                             NetworkColours[n]);
            below = above;
        }
        if (i % every == 0)
            painter.drawText(QRect(bars.left() + i * slot, bars.bottom() + 2, monthWidth + Gap, line),
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
    const int top = area.top() + 2 * line + 8;
    // A city a line at least, so that no two names meet: as many as fit.
    const int fit = std::max(1, (area.bottom() - top) / line);
    const int shown = std::min({int(m_chart.cities.size()), MostCities, fit});
    int nameWidth = 0;
    int most = 1;
    for (int i = 0; i < shown; ++i) {
        const auto& city = m_chart.cities.at(i);
        nameWidth = std::max(nameWidth, metrics.horizontalAdvance(city.name));
        most = std::max({most, city.from, city.to});
    }
    const int rowHeight = std::max(line, std::min(2 * line, (area.bottom() - top) / std::max(shown, 1)));
    const int barLeft = area.left() + nameWidth + 6;
    const int numberWidth = metrics.horizontalAdvance(HistoryChart::number(most)) + 6;
    const int barRoom = std::max(1, area.right() - barLeft - numberWidth);
    // The two numbers of a row each need a line; in a row narrower than two they go beside
    // each other at the end of the longer bar.
    const bool twoLines = rowHeight >= 2 * line;
    for (int i = 0; i < shown; ++i) {
        const auto& city = m_chart.cities.at(i);
        const int y = top + i * rowHeight;
        painter.drawText(QRect(area.left(), y, nameWidth, rowHeight), Qt::AlignRight | Qt::AlignVCenter,
                         city.name);
        const int half = std::max(2, rowHeight / 2 - 1);
        const int from = int(qint64(barRoom) * city.from / most);
        const int to = int(qint64(barRoom) * city.to / most);
        painter.fillRect(QRect(barLeft, y, from, half), FromColour);
        painter.fillRect(QRect(barLeft, y + half, to, half), ToColour);
        if (twoLines) {
            painter.drawText(QRect(barLeft + from + 3, y, numberWidth, half + 2),
                             Qt::AlignLeft | Qt::AlignVCenter, HistoryChart::number(city.from));
            painter.drawText(QRect(barLeft + to + 3, y + half, numberWidth, half + 2),
                             Qt::AlignLeft | Qt::AlignVCenter, HistoryChart::number(city.to));
        } else {
            painter.drawText(QRect(barLeft + std::max(from, to) + 3, y, area.right() - barLeft, rowHeight),
                             Qt::AlignLeft | Qt::AlignVCenter,
                             HistoryChart::number(city.from) + QStringLiteral(" / ") +
                                 HistoryChart::number(city.to));
        }
    }
}

bool HistoryChartView::savePicture(const QString& path)
{
    load();
    return !path.isEmpty() && grab().save(path, "PNG");
}

void HistoryChartView::askAndSave()
{
    QString path = m_chooser ? m_chooser(SuggestedName)
                             : QFileDialog::getSaveFileName(this, SaveTitle, SuggestedName, PictureFilter);
    if (path.isEmpty())
        return;
    if (!path.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive))
        path += QStringLiteral(".png");
    if (!savePicture(path))
        Messages::show(window(), Messages::Kind::Warning, NotSaved.arg(QDir::toNativeSeparators(path)));
}

} // namespace corvan
