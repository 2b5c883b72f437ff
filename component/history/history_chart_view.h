// SPDX-License-Identifier: MIT
#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>

#include "core/history/history_chart.h"

class QAction;

namespace corvan {

// The relocations a history query found, as a picture: on the left a bar per month, its
// parts the networks G, C and D; on the right per city the relocations out of it and
// into it. A short line instead when there is nothing to draw. Given a source instead of a
// chart, it reads the chart once the widget it waits for (the query's list) has painted, so
// that the list is on screen first; or once it has painted itself when there is no such
// widget on screen; or when its chart is asked for.
class HistoryChartView : public QWidget {
    Q_OBJECT

public:
    static const QString Nothing;
    // Shown while the chart is read.
    static const QString Counting;
    static constexpr int MostCities = 10;
    static const QString SaveTitle;
    // Told when the picture could not be written, with the file's path.
    static const QString NotSaved;
    static const QString SuggestedName;

    explicit HistoryChartView(QWidget* parent = nullptr);

    void setChart(HistoryChart chart);
    // The chart to read when it is needed, after the widget painted; replaces the one shown.
    void setSource(std::function<HistoryChart()> source, QWidget* after = nullptr);
    // Reads a pending source first.
    const HistoryChart& chart() const;
    bool pending() const { return bool(m_source); }

    QSize sizeHint() const override;

    // Writes the chart as it shows now to a PNG file; false when it could not.
    bool savePicture(const QString& path);
    // The file the user chooses; a test or a host sets its own in place of the dialog.
    using Chooser = std::function<QString(const QString& suggested)>;
    void setChooser(Chooser chooser) { m_chooser = std::move(chooser); }
    // The chart's menu command: asks where, writes, and tells when it could not.
    QAction* saveAction() const { return m_save; }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void paintMonths(QPainter& painter, const QRect& area) const;
    void paintCities(QPainter& painter, const QRect& area) const;
    void askAndSave();

    // Reads the chart from a pending source, once.
    void load() const;
    // Reads it once the events of now are done.
    void loadSoon();

    mutable HistoryChart m_chart;
    mutable std::function<HistoryChart()> m_source;
    QPointer<QWidget> m_after;
    QAction* m_save = nullptr;
    Chooser m_chooser;
};

} // namespace corvan
