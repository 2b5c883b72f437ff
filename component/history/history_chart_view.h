// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

#include "core/history/history_chart.h"

namespace corvan {

// The relocations a history query found, as a picture: on the left a bar per month, its
// parts the networks G, C and D; on the right per city the relocations out of it and
// into it. A short line instead when there is nothing to draw.
class HistoryChartView : public QWidget {
    Q_OBJECT

public:
    static const QString Nothing;
    static constexpr int MostCities = 10;

    explicit HistoryChartView(QWidget* parent = nullptr);

    void setChart(HistoryChart chart);
    const HistoryChart& chart() const { return m_chart; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void paintMonths(QPainter& painter, const QRect& area) const;
    void paintCities(QPainter& painter, const QRect& area) const;

    HistoryChart m_chart;
};

} // namespace corvan
