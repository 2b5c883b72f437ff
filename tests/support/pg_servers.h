// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace corvan::test {

// PostgreSQL servers driven the way an operator drives them, through tests/support/pg_server.sh:
// the suite's own server (restarted, halted and started again), and a primary with its
// streaming standby that a test starts on the ports of CORVAN_TEST_PG_PAIR_PORTS and that
// are stopped and removed with it.
class PgServers {
public:
    // Runs the script; false, with what it printed, when it fails.
    static bool script(const QStringList& arguments, QString* output = nullptr);
    // The suite's server, by its folder and port (restart, halt, resume).
    static bool suite(const QString& action, QString* output = nullptr);
    static int suitePort();
    // One value of a query on a server of this machine, as the superuser (psql).
    static QString value(int port, const QString& sql, const QString& database = QStringLiteral("postgres"));
    // Ends the server process that serves the backend pid, as pg_terminate_backend does: what a
    // restart does to every connection, done to one.
    static bool terminate(int port, const QString& pid);
};

class TestDatabase;

// Breaks the connection of a test database's data service the way the world does: the suite's
// server restarted (PostgreSQL; it is back at once, the connection is not) or, lasting, stopped
// until end() starts it again; or the database file moved away until end() puts it back
// (SQLite: a share unmounted and mounted again).
class Outage {
public:
    enum class Kind { Restart, Lasting };
    explicit Outage(TestDatabase& db, Kind kind = Kind::Restart);
    // A server still stopped is started again, whatever the test came to.
    ~Outage();
    Outage(const Outage&) = delete;
    Outage& operator=(const Outage&) = delete;
    void begin();
    void end();

private:
    TestDatabase& m_db;
    Kind m_kind;
    bool m_away = false;
};

class ServerPair {
public:
    // Starts the primary and, unless told not to, its standby; throws when either does not start.
    explicit ServerPair(bool withStandby = true);
    // One pair for the tests of a suite that leave it as they found it (a primary halted is
    // resumed, a replay paused is resumed): started when first asked for, stopped by the
    // suite's main through releaseShared().
    static ServerPair& shared();
    static void releaseShared();
    ~ServerPair();
    ServerPair(const ServerPair&) = delete;
    ServerPair& operator=(const ServerPair&) = delete;

    int primaryPort() const { return m_primaryPort; }
    int standbyPort() const { return m_standbyPort; }
    // postgresql://postgres@127.0.0.1:PORT/NAME of one server, or of both for a failover:
    // the standby first, and only a server that takes writes will do.
    QString url(int port, const QString& database = QStringLiteral("postgres")) const;
    QString failoverUrl(const QString& database = QStringLiteral("postgres")) const;

    bool haltPrimary() { return act(QStringLiteral("halt"), m_primary, m_primaryPort); }
    bool resumePrimary() { return act(QStringLiteral("resume"), m_primary, m_primaryPort); }
    bool promoteStandby() { return act(QStringLiteral("promote"), m_standby, m_standbyPort); }
    // The promotion as a command of its own, for a test that goes on while it runs.
    QStringList promoteCommand() const;
    // Waits until the standby has replayed everything the primary had written when asked.
    bool waitForStandby() const;

private:
    bool act(const QString& action, const QString& folder, int port);

    QTemporaryDir m_folder;
    QString m_primary;
    QString m_standby;
    int m_primaryPort = 0;
    int m_standbyPort = 0;
};

} // namespace corvan::test
