// SPDX-License-Identifier: MIT
#pragma once

#include "corvan/services.h"

#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <functional>

struct pg_conn;
struct sqlite3;

namespace corvan::host {

// Why a call failed, as far as what may follow: another user's lock (the same work may
// succeed later), a broken connection (connect again), the database file gone, read-only or
// full (tell the user in those words), or anything else.
enum class FailureKind { Other, Busy, ConnectionLost, FileGone, ReadOnly, DiskFull };

// What the data service knows of its connection: how a failure is told from a broken
// connection, the state its user is shown, and the tries of a reconnect, spaced out so that a
// server restarting or a standby being promoted has the time it needs, and bounded so that
// the window is never held longer than a few seconds.
class ConnectionKeeper {
public:
    using State = ConnectionService::State;

    // A PostgreSQL failure: its SQLSTATE (empty when the server sent none) and the connection
    // it happened on, which libpq marks bad once the server is gone.
    static FailureKind postgresqlFailure(const QString& sqlstate, pg_conn* connection);
    // An SQLite failure by its result code (primary or extended, as text).
    static FailureKind sqliteFailure(const QString& code);
    // Whether the open database file was deleted, renamed or unmounted since it was opened:
    // SQLite would otherwise go on reading and writing a file nobody can reach any more.
    static bool sqliteFileMoved(sqlite3* handle);
    // The user's words for a failure of the database file itself; empty for other kinds.
    static QString fileFailureText(FailureKind kind, const QString& path);

    // The waits before each try of a reconnect, in milliseconds (the first try is at once).
    static QList<int> defaultSchedule() { return {0, 250, 500, 1000, 2000, 3000}; }
    void setSchedule(const QList<int>& waits) { m_schedule = waits; }
    QList<int> schedule() const { return m_schedule; }

    State state() const { return m_state; }
    // The server reached, or while none is, the servers being tried.
    QString server() const { return m_server; }
    // Whether the connection is known to be broken and not yet made again.
    bool broken() const { return m_state != State::Connected; }

    // The connection was made (at open, or again) to that server.
    void connected(const QString& server);
    // The connection broke; servers are what a reconnect tries. True when that is news.
    bool lost(const QString& servers);

    // Tries attempt() after each wait of the schedule until one succeeds; true when one did.
    // changed() is called when the tries fail or succeed, before the wait that follows. When
    // the tries so far have failed (Unreachable), a later call makes one try only: the user
    // waits the whole schedule once per outage, not at every click.
    bool reconnect(const std::function<bool()>& attempt, const std::function<void()>& changed);

private:
    QList<int> m_schedule = defaultSchedule();
    State m_state = State::Connected;
    QString m_server;
};

} // namespace corvan::host
