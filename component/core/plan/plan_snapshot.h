// SPDX-License-Identifier: MIT
#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

#include "corvan/record_set.h"
#include "corvan/services.h"

namespace corvan {

struct MoveBtsState;

// What a plan's check reads, read once for the whole plan and kept in memory: every BTS the
// plan names, the rooms that hold them and the rooms it targets, their cells, antennas and
// feeders, each by network in a few statements whose conditions list the plan's numbers
// and codes. The rows of the check then run the wizard's own page, checks and re-checks
// against this data service, which answers their per-row queries from what it holds and
// takes each passing row's relocation into account (the room it fills and the one it frees,
// the values it writes, what it deletes), so that a later row sees the plan as far as it
// has gone. Nothing is written and no transaction is begun: a check locks nothing.
//
// A query it holds no answer for goes to the database as it stands (through `reads`, which
// keeps what no relocation changes) and is kept for the rest of the check; only a count of
// key values is then corrected for what the plan's earlier rows wrote.
class PlanSnapshot : public QObject, public DataService {
    Q_OBJECT
    Q_INTERFACES(corvan::DataService)

public:
    // reads: the data service the rest of the check reads through.
    explicit PlanSnapshot(QObject* reads, QObject* parent = nullptr);

    // Reads every BTS of those numbers by network ("G", "C", "D"), the rooms that hold them,
    // their cells, antennas and feeders. False with the database's words on a failed read.
    bool loadBts(const QHash<QString, QStringList>& numbersByNet, QString* error);
    // Reads the rooms of those codes (the targets), beside the rooms held already.
    bool loadRooms(const QStringList& roomCodes, QString* error);
    // What a relocation the check let pass would leave: the BTS's written values, the target
    // room holding its number, its old room empty, its cells and their lines gone.
    void relocated(const MoveBtsState& state);

    std::unique_ptr<RecordSet> OpenRecordset(const QString& sql, const QString& database,
                                             qint32 options = 0) override;
    // A check writes nothing: every write is refused.
    bool ExecuteSql(const QString& database, const QString& sql) override;
    QString LastError() const override;
    bool LastErrorIsBusy() const override { return false; }

private:
    // The rows of one table by key, with its columns as the database named them, and the
    // texts of the columns queries look rows up by, indexed as they are first asked for.
    struct Table {
        QStringList columns;
        QHash<QString, QVector<QVariant>> rows; // by key
        QStringList order;                      // keys as read, so that answers keep the order
        QHash<QString, qsizetype> position;     // of each key in order
        mutable QHash<int, QMultiHash<QString, QString>> indexes; // column: text -> keys
        int column(const QString& name) const;
        QString text(const QString& key, const QString& name) const;
        void add(const RecordSet& rs, const QString& keyColumn);
        void set(const QString& key, int column, const QVariant& value);
        void remove(const QString& key);
        // The keys of the rows whose columns hold those texts (never null), in the order read.
        QStringList where(const QList<std::pair<QString, QString>>& equal) const;
    };
    bool readInto(Table& table, const QString& head, const QString& column, const QStringList& values,
                  const QString& keyColumn, QString* error);
    std::unique_ptr<RecordSet> answer(const QString& sql) const;
    std::unique_ptr<RecordSet> answerBts(const QString& sql) const;
    std::unique_ptr<RecordSet> answerRooms(const QString& sql) const;
    std::unique_ptr<RecordSet> answerCells(const QString& sql) const;
    std::unique_ptr<RecordSet> adjustedCount(const QString& sql, const RecordSet& counted) const;
    static std::unique_ptr<RecordSet> rowsOf(const Table& table, const QStringList& columns,
                                             const QStringList& keys);

    QPointer<QObject> m_reads;
    QHash<QString, Table> m_bts; // by network letter in lower case: res_gbts by basecode...
    QHash<QString, Table> m_btsAsRead;
    Table m_rooms;                               // res_baseroom by roomcode
    QHash<QString, Table> m_cells;               // res_gcell by cellcode
    QHash<QString, Table> m_antennas;            // res_gant by antcode
    QHash<QString, Table> m_feeders;             // res_gantline by linecode
    QHash<QString, Table> m_cellsAsRead;         // whose lines were read
    QHash<QString, QSet<QString>> m_numbers;     // the numbers each network's BTSs were read by
    QHash<QString, QSet<QString>> m_cellCities;  // the cells read: of these cities...
    QHash<QString, QSet<QString>> m_cellNumbers; // ...and these BTS numbers
    QHash<QString, RecordSet> m_kept;            // what was passed on, by statement
    QString m_error;
};

} // namespace corvan
