// SPDX-License-Identifier: MIT
#pragma once

#include "data/schema.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <utility>

namespace corvan::host {

// Where the resource database lives: an SQLite file, or a PostgreSQL database given as a
// libpq URL, postgresql://USER@HOST:PORT/NAME[?PARAMETER=VALUE&...]. libpq reads the URL
// itself, so every form it accepts works: several servers (HOST1:PORT1,HOST2:PORT2, or the
// host= and port= lists in the query), target_session_attrs, TLS and the rest, all handed
// to libpq unchanged. Kept apart from the connection so that the command line can check a
// location (does the file exist?) before anything is opened or created.
class DatabaseLocation {
public:
    DatabaseLocation() = default;

    // Accepts a file path, "sqlite:PATH", or a postgresql:// (postgres://) URL. The
    // password comes from the URL when it has one, else from PGPASSWORD. The query may give
    // the hosts, ports, database or user only when the URL itself does not, names no
    // parameter twice, holds no secret (password, sslpassword) and only parameters the
    // libpq in use knows. An error text never shows a password.
    static bool parse(const QString& text, DatabaseLocation* out, QString* error);
    static DatabaseLocation sqliteFile(const QString& path);

    Engine engine() const { return m_engine; }
    bool isSqlite() const { return m_engine == Engine::SQLite; }

    // SQLite only.
    QString filePath() const { return m_path; }

    // PostgreSQL only.
    QString userName() const { return m_user; }
    QString password() const { return m_password; }
    // The hosts as libpq takes them: one name, or several separated by commas.
    QString hostName() const { return m_host; }
    // The first server's port (5432 when none is given).
    int port() const;
    // The ports as libpq takes them, one per host or one for all; empty when none is given.
    QString portList() const { return m_ports; }
    // Each server libpq may try, in order, as HOST:PORT.
    QStringList servers() const;
    QString databaseName() const { return m_databaseName; }
    // The other libpq parameters of the URL's query, in the order given.
    QList<std::pair<QString, QString>> parameters() const { return m_parameters; }
    // The same parameters as Qt's PostgreSQL driver takes them: key='value' pairs joined by
    // ';', each value quoted the way libpq reads it.
    QString connectOptions() const;
    // Whether the password was written in the location itself rather than taken from the
    // environment: a command line that carries one shows it to every user of the machine.
    bool passwordInText() const { return m_passwordInText; }
    // The same server and account, another database (tests make one per case).
    DatabaseLocation withDatabaseName(const QString& name) const;

    // For messages and output: the file path, or the URL (with its query) without any password.
    QString displayText() const;
    // The location text with any password in it masked, for a text that did not parse.
    static QString redacted(const QString& text);

private:
    // A postgresql:// or postgres:// URL, as libpq reads it.
    static bool parseServerUrl(const QString& text, const QString& usage, DatabaseLocation* out,
                               QString* error);
    Engine m_engine = Engine::SQLite;
    QString m_path;
    QString m_user;
    QString m_password;
    QString m_host;
    QString m_ports;
    QString m_databaseName;
    QList<std::pair<QString, QString>> m_parameters;
    bool m_passwordInText = false;
};

} // namespace corvan::host
