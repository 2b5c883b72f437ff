// SPDX-License-Identifier: MIT
#pragma once

#include "data/schema.h"

#include <QString>

namespace corvan::host {

// Where the resource database lives: an SQLite file, or a PostgreSQL database given as
// postgresql://USER@HOST:PORT/NAME. Kept apart from the connection so that the command
// line can check a location (does the file exist?) before anything is opened or created.
class DatabaseLocation {
public:
    DatabaseLocation() = default;

    // Accepts a file path, "sqlite:PATH", or a postgresql:// (postgres://) URL. The
    // password comes from the URL when it has one, else from PGPASSWORD.
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
    // The same server and account, another database (tests make one per case).
    DatabaseLocation withDatabaseName(const QString& name) const;

    // For messages and output: the file path, or the URL without any password.
    QString displayText() const;

private:
    Engine m_engine = Engine::SQLite;
    QString m_path;
    QString m_user;
    QString m_password;
    QString m_host;
    int m_port = 5432;
    QString m_databaseName;
};

} // namespace corvan::host
