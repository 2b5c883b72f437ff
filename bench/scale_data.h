// SPDX-License-Identifier: MIT
#pragma once

#include <functional>

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace corvan::bench {

// A BTS the benchmark relocates back and forth between two rooms of one city, with the
// cells it gives it before every relocation.
struct MovingBts {
    QString code;
    QString number;
    QString city;
    QString county;
    QString cityName;
    QString rooms[2]; // where it stands, where it goes; swapped after each relocation
};

// The benchmark's database: the demo province of a number of rooms, as many relocation
// records over random rooms of it, and a BTS to relocate.
class ScaleData {
public:
    explicit ScaleData(QSqlDatabase db) : m_db(std::move(db)) {}

    // Makes the demo province unless the database holds one of that many rooms already, the
    // schema first (on a server, after dropping any schema it has).
    bool prepare(int rooms, QString* error);
    // Records over random rooms, 2025-01-01 to 2025-12-31, until the history holds as many;
    // each with a journal entry of the size and form a relocation writes (the BTS row before
    // and after, its rooms, three cells, five antennas and seven feeders: about 2.7 KB of text)
    // and a time of day, as a province that has been relocating for a year holds them.
    bool fillHistory(int records, QString* error);
    // The server's statistics and visibility map brought up to date, as its autovacuum keeps a
    // database in use: a table just loaded is read through none of its covering indexes.
    // Nothing on SQLite.
    bool vacuum(QString* error);
    // Takes the history out (into a table of the benchmark) and puts it back.
    bool setHistoryAside(QString* error);
    bool restoreHistory(QString* error);
    qint64 count(const QString& table);
    // The code of the newest relocation record: relocations take the largest code plus one.
    QString latestRecord() { return first(QStringLiteral("select max(discode) from h_btsdispatch")); }

    // The first G BTS of the largest city that stands in a room, and a free room of a name
    // of its own in that city.
    bool chooseBts(MovingBts* bts, QString* error);
    // Gives the BTS exactly cells cells, each with an antenna and a feeder.
    bool giveCells(const MovingBts& bts, int cells, int serial, QString* error);
    // The number of rooms of the BTS's city.
    qint64 cityRooms(const MovingBts& bts);
    // A relocation plan of count rows under the headings given: BTSs of G, C and D in turn,
    // other than the moving BTS, each to a numbered room of its own city that holds no BTS of
    // its network, no BTS and no room twice; coordinates and controller as the BTS has them,
    // "否" for yes-or-no columns. Fewer rows when the province has fewer such moves.
    QList<QStringList> planSheet(const QStringList& headings, int count, const MovingBts& moving);

private:
    bool exec(const QString& sql, QString* error);
    bool fillJournal(QString* error);
    // count rows, each row(i) the text of one row's values, inserted batch rows a statement in
    // one transaction.
    bool insertRows(const QString& insert, qint64 count, int batch, const std::function<QString(qint64)>& row,
                    QString* error);
    QString first(const QString& sql);

    QSqlDatabase m_db;
};

} // namespace corvan::bench
