// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace corvan::host {

// SQLite's file locks, made to survive whatever else the process opens.
//
// SQLite locks a database, and its -shm file, with POSIX record locks. Those belong to the
// process, and the kernel drops every one the process holds on a file as soon as the process
// closes *any* descriptor of that file: a file dialog that looks into the database's folder, a
// thumbnailer, a plan read from the database file by mistake. The database then runs unlocked,
// and a second process (another corvan, the command line) checkpoints and deletes the WAL under
// it, takes the same record codes and damages its indexes.
//
// So every lock SQLite takes in this process is taken as an open file description lock
// (F_OFD_SETLK) on one descriptor per file that only this class holds. Such a lock belongs to
// that description, not to the process: closing any other descriptor leaves it alone. They
// conflict with classic POSIX locks, so processes of other programs (sqlite3, an older corvan)
// are kept out exactly as before. SQLite shares its locks between the connections of one
// process; taking them all on one description per file keeps that sharing intact.
class SqliteLocks {
public:
    // Puts the locking in place, once per process, before the first SQLite file is opened.
    // Safe to call from every place that opens one. False, with the reason, where the engine
    // or the kernel cannot take such locks; SQLite then locks as it always did.
    static bool install(QString* error = nullptr);
    // Whether install took effect.
    static bool installed();
    // How many files this process holds a lock description for (for tests).
    static int lockedFiles();
};

} // namespace corvan::host
