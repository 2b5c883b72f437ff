// SPDX-License-Identifier: MIT
#pragma once

#include <QMap>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <functional>

namespace corvan::host {

struct DemoOptions {
    int rooms = 1000; // 1 .. 1,000,000
    quint32 seed = 20261206;
    std::function<void(int percent)> progress; // 0 .. 100, never decreasing; may be empty
    bool reviewRequired = false; // the province's plans need a reviewer's approval before they apply
};

struct DemoReport {
    QMap<QString, qint64> rowCounts; // table -> rows written
    QStringList loginRoles;          // PostgreSQL: the demo users made login roles
};

// Fills an empty database that has the schema with a province of cities, counties, rooms, the
// BTSs of networks G, C and D with their cells, antennas and feeders, the option rows, field
// rules, display metadata and three users ("admin" and "demo" relocate, "reviewer" reviews
// plans). Everything is written in one transaction; the same
// seed and room count give the same rows on every engine. False and a readable error text when
// the options are out of range, the database already holds data, or a write fails.
bool createDemoData(QSqlDatabase db, const DemoOptions& options, DemoReport* report, QString* error);

} // namespace corvan::host
