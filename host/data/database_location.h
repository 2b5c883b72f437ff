// SPDX-License-Identifier: MIT
#pragma once

#include "data/schema.h"

#include <QList>
#include <QString>
#include <utility>

namespace corvan::host {

// Where the resource database lives: an SQLite file, or a PostgreSQL database given as
// postgresql://USER@HOST:PORT/NAME[?PARAMETER=VALUE&...], the query holding libpq's own
// connection parameters (sslmode, sslrootcert, application_name, ...), which are handed to
// libpq unchanged. Kept apart from the connection so that the command line can check a
// location (does the file exist?) before anything is opened or created.
class DatabaseLocation {
public:
    DatabaseLocation() = default;

    // Accepts a file path, "sqlite:PATH", or a postgresql:// (postgres://) URL. The
    // password comes from the URL when it has one, else from PGPASSWORD. The query may not
    // repeat what the URL says (host, port, dbname, user) nor hold a secret (password,
    // sslpassword). An error text never shows a password.
    static bool parse(const QString& text, DatabaseLocation* out, QString* error);
    static DatabaseLocation sqliteFile(const QString& path);

    Engine engine() const { return m_engine; }
    bool isSqlite() const { return m_engine == Engine::SQLite; }

    // SQLite only.
    QString filePath() const { return m_path; }

    // PostgreSQL only.
    QString userName() const { return m_user; }
    QString password() const { return m_password; }
    QString hostName() const { return m_host; }
    int port() const { return m_port; }
    QString databaseName() const { return m_databaseName; }
    // The libpq parameters of the URL's query, in the order given.
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
    Engine m_engine = Engine::SQLite;
    QString m_path;
    QString m_user;
    QString m_password;
    QString m_host;
    int m_port = 5432;
    QString m_databaseName;
    QList<std::pair<QString, QString>> m_parameters;
    bool m_passwordInText = false;
};

} // namespace corvan::host
