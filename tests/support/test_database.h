// SPDX-License-Identifier: MIT
#pragma once

#include "data/database_location.h"
#include "data/sql_data_service.h"
#include "qt_printers.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

namespace corvan::test {

// A fresh database for one test, on the engine that CORVAN_TEST_ENGINE names ("sqlite",
// the default, or "postgresql"): an SQLite file in a temporary folder, or a PostgreSQL
// database created on the server of CORVAN_TEST_PG_URL and dropped again afterwards.
// A missing server URL, or a database that cannot be made, throws: the test fails, it is
// never skipped.
class TestDatabase {
public:
    enum class Contents { Schema, Nothing };

    explicit TestDatabase(Contents contents = Contents::Schema);
    // On PostgreSQL: a database made on the server of that URL (a list of servers included)
    // rather than on the suite's.
    TestDatabase(Contents contents, const QString& serverUrl);
    // The SQLite file that a corvan process made, read (and left) where it is.
    explicit TestDatabase(const QString& sqliteFile);
    ~TestDatabase();
    TestDatabase(const TestDatabase&) = delete;
    TestDatabase& operator=(const TestDatabase&) = delete;

    // The real data service on the database ("systemDB").
    host::SqlDataService* service() { return m_service.get(); }

    // A setup statement; the test fails with the driver's text when it does not run.
    void exec(const QString& sql);
    // Each row's fields joined by "|", null as empty text unless another text for it is
    // given. The test fails when the query does.
    QStringList rows(const QString& sql, const QString& null = QString());

    QString engine() const;
    bool isPostgresql() const { return m_location.engine() == host::Engine::PostgreSQL; }
    QSqlDatabase database() const { return m_service->database(); }
    // What corvan's --database takes for this database.
    QString location() const;

    // "sqlite" or "postgresql" from the environment; throws on anything else.
    static QString engineFromEnvironment();

private:
    std::unique_ptr<QTemporaryDir> m_folder;
    host::DatabaseLocation m_location;
    host::DatabaseLocation m_adminLocation;
    std::unique_ptr<host::SqlDataService> m_service;
};

} // namespace corvan::test
