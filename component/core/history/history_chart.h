// SPDX-License-Identifier: MIT
#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <array>
#include <optional>

namespace corvan {

class mdlPubVar;

// The relocations a history query found, counted for a picture: per month and network,
// and per city as origin and as destination. No widget: the window draws it.
class HistoryChart {
public:
    struct Record {
        QDate day;
        QString net;
        QString fromCity;
        QString toCity;
    };
    struct Month {
        QString month;               // yyyy-MM
        std::array<int, 3> counts{}; // G, C, D
    };
    struct City {
        QString name;
        int from = 0;
        int to = 0;
    };

    // The statements that count what the chart shows of the records a history list statement
    // finds, with its condition: by day and network, then by city of origin and destination.
    // Empty for a statement not of the list's form.
    static QStringList statements(const QString& listStatement);
    // The chart of the records a history list statement finds, cities by name (each looked up
    // once); nothing when a statement failed.
    static std::optional<HistoryChart> read(const mdlPubVar& context, const QString& listStatement);
    static HistoryChart of(const QList<Record>& records);

    // The count axis of a bar chart: ticks from 0 to top at a step of 1, 2 or 5 times a power
    // of ten, the smallest step whose labels, one per labelSpace pixels, fit in length. The
    // bars are drawn to top, so the highest ends at or under the top tick.
    struct Axis {
        int top = 1;
        int step = 1;
        QList<int> ticks;
    };
    static Axis axis(int most, int length, int labelSpace);
    // A count as the chart writes it, in full with its thousands marked: 1,832.
    static QString number(int value);
    // Labels labelWidth wide at slots slot apart: every how many'th is written so that
    // gap pixels at least stay between two written ones.
    static int labelEvery(int slot, int labelWidth, int gap);

    // Months in order; cities by the number of relocations they took part in, most first.
    QList<Month> months;
    QList<City> cities;
    int total = 0;
};

} // namespace corvan
