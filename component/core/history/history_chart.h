// SPDX-License-Identifier: MIT
#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <array>

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

    // The statement that reads what the chart counts for the records a history list
    // statement finds: the same condition, only the columns the chart needs.
    static QString statement(const QString& listStatement);
    // The records a history list statement finds, cities by name (each looked up once).
    static QList<Record> read(const mdlPubVar& context, const QString& listStatement);
    static HistoryChart of(const QList<Record>& records);

    // Months in order; cities by the number of relocations they took part in, most first.
    QList<Month> months;
    QList<City> cities;
    int total = 0;
};

} // namespace corvan
