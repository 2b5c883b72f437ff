// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

#include "bench_recorder.h"

struct sqlite3;
struct pg_conn;

namespace corvan::host {
class DatabaseLocation;
}

namespace corvan::bench {

// The database through its engine's own C interface (sqlite3, libpq) on a connection of its
// own: what the same statements cost without the host and the component. Every value of
// every row is read, as a program that uses the rows would read them.
class RawEngine {
public:
    RawEngine() = default;
    ~RawEngine();
    RawEngine(const RawEngine&) = delete;
    RawEngine& operator=(const RawEngine&) = delete;

    bool open(const host::DatabaseLocation& location, QString* error);
    // Runs what the component sent, in order. A transaction in it ends as the component's did
    // when commit is true (the replay then changes the data as the component would have), and
    // is rolled back otherwise, so that the replay leaves the data as it found it.
    bool replay(const QVector<Sent>& sent, bool commit, QString* error);

private:
    // values: one text for each "?" of the statement, bound as the host binds them.
    bool run(const QString& sql, const QStringList& values, QString* error);

    sqlite3* m_sqlite = nullptr;
    pg_conn* m_pg = nullptr;
    // Where the values read go, so that no compiler can leave the reading out.
    quint64 m_sink = 0;
};

} // namespace corvan::bench
