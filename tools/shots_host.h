// SPDX-License-Identifier: MIT
#pragma once

#include <QDir>
#include <QString>
#include <QWidget>
#include <memory>

#include "data/sql_data_service.h"
#include "desktop/host_services.h"

namespace corvan {
class mdlPubVar;
}

namespace corvan::tools {

// The host of a picture tool: the database its command line names, the reference host's
// services over it, and exports that neither ask nor wait: each goes into the output folder
// under one fixed name and is reported on standard output, so the tool runs unattended.
class ShotsHost {
public:
    // False, with the reason on standard error, when the database cannot be opened.
    bool open(const QString& database, const QString& user, const QDir& out, const QString& exportName);

    host::SqlDataService& data() { return m_data; }
    host::HostServices& services() { return *m_services; }

private:
    host::SqlDataService m_data;
    std::unique_ptr<host::HostServices> m_services;
};

// A plan of perNetwork rows of each network in turn (G, C, D, G, ...), each BTS to a room of its
// own city that holds no BTS of that network and that no other row takes; with failures, rows 2,
// 6 and 9 are made to fail (a target room that holds a G BTS, a longitude written as words, a C
// BTS that does not exist). Written as a planner's spreadsheet saves a CSV file (UTF-8 with a
// byte-order mark). False when the database has too few BTSs or free rooms, or the file cannot
// be written.
bool writePlan(const mdlPubVar& context, const QString& path, int perNetwork, bool withFailures);

// Presses a window's button as a user does; true when the window closed on it (work done).
bool press(QWidget* window, const char* button);

} // namespace corvan::tools
