// SPDX-License-Identifier: MIT
#include "test_database.h"

#include "corvan/record_set.h"
#include "data/schema.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QThread>
#include <QUrl>
#include <atomic>
#include <gtest/gtest.h>
#include <stdexcept>

namespace corvan::test {

namespace {

[[noreturn]] void fatal(const QString& text)
{
    throw std::runtime_error(text.toStdString());
}

// Runs one statement on the server's maintenance database (create or drop database
// cannot run inside the database they concern).
bool adminExec(const host::DatabaseLocation& admin, const QString& sql, QString* error)
{
    host::SqlDataService service;
    if (!service.open(admin, error))
        return false;
    QSqlQuery query(service.database());
    if (!query.exec(sql)) {
        *error = query.lastError().text();
        return false;
    }
    return true;
}

QString nextDatabaseName()
{
    static std::atomic<int> counter{0};
    return QStringLiteral("corvan_test_%1_%2").arg(QCoreApplication::applicationPid()).arg(++counter);
}

} // namespace

QString TestDatabase::engineFromEnvironment()
{
    const QString engine =
        qEnvironmentVariable("CORVAN_TEST_ENGINE", QStringLiteral("sqlite")).trimmed().toLower();
    if (engine != QLatin1String("sqlite") && engine != QLatin1String("postgresql"))
        fatal(QStringLiteral("CORVAN_TEST_ENGINE is '%1'; use sqlite or postgresql").arg(engine));
    return engine;
}

TestDatabase::TestDatabase(Contents contents) : TestDatabase(contents, QString()) {}

TestDatabase::TestDatabase(Contents contents, const QString& serverUrl)
    : m_service(std::make_unique<host::SqlDataService>())
{
    QString error;
    if (engineFromEnvironment() == QLatin1String("sqlite")) {
        m_folder = std::make_unique<QTemporaryDir>();
        if (!m_folder->isValid())
            fatal(QStringLiteral("cannot make a temporary folder: %1").arg(m_folder->errorString()));
        m_location = host::DatabaseLocation::sqliteFile(m_folder->filePath(QStringLiteral("test.sqlite")));
    } else {
        const QString url = serverUrl.isEmpty() ? qEnvironmentVariable("CORVAN_TEST_PG_URL") : serverUrl;
        if (url.isEmpty())
            fatal(
                QStringLiteral("CORVAN_TEST_ENGINE is postgresql but CORVAN_TEST_PG_URL is not set; run the "
                               "suite through ctest, which starts the server"));
        if (!host::DatabaseLocation::parse(url, &m_adminLocation, &error) || m_adminLocation.isSqlite())
            fatal(QStringLiteral("CORVAN_TEST_PG_URL '%1' is not a PostgreSQL URL: %2").arg(url, error));
        m_location = m_adminLocation.withDatabaseName(nextDatabaseName());
        if (!adminExec(m_adminLocation, QStringLiteral("create database %1").arg(m_location.databaseName()),
                       &error))
            fatal(QStringLiteral("cannot create the test database: %1").arg(error));
    }
    // A database made through a list of servers is made on the primary; a standby named first
    // has it once it has replayed that far, a moment later.
    QElapsedTimer waited;
    waited.start();
    while (!m_service->open(m_location, &error)) {
        if (m_location.servers().size() < 2 || waited.elapsed() > 30000)
            fatal(error);
        QThread::msleep(50);
    }
    if (contents == Contents::Schema && !host::createSchema(m_service->database(), &error))
        fatal(QStringLiteral("cannot create the schema: %1").arg(error));
}

TestDatabase::TestDatabase(const QString& sqliteFile)
    : m_location(host::DatabaseLocation::sqliteFile(sqliteFile)),
      m_service(std::make_unique<host::SqlDataService>())
{
    QString error;
    if (!m_service->open(m_location, &error))
        fatal(error);
}

TestDatabase::~TestDatabase()
{
    m_service.reset();
    if (m_location.engine() == host::Engine::PostgreSQL && !m_location.databaseName().isEmpty()) {
        QString error;
        // force: a test that failed half-way may still hold a connection of its own.
        if (!adminExec(
                m_adminLocation,
                QStringLiteral("drop database if exists %1 with (force)").arg(m_location.databaseName()),
                &error))
            ADD_FAILURE() << "cannot drop the test database: " << error.toStdString();
    }
}

QString TestDatabase::engine() const
{
    return isPostgresql() ? QStringLiteral("postgresql") : QStringLiteral("sqlite");
}

QString TestDatabase::location() const
{
    if (!isPostgresql())
        return m_location.filePath();
    QString url = m_location.displayText();
    if (!m_location.password().isEmpty())
        url.insert(url.indexOf(QLatin1Char('@')),
                   QLatin1Char(':') + QString::fromUtf8(QUrl::toPercentEncoding(m_location.password())));
    return url;
}

void TestDatabase::exec(const QString& sql)
{
    QSqlQuery query(database());
    if (!query.exec(sql))
        ADD_FAILURE() << "setup statement failed: " << sql.toStdString() << "\n  "
                      << query.lastError().text().toStdString();
}

QStringList TestDatabase::rows(const QString& sql, const QString& null)
{
    QSqlQuery query(database());
    query.setForwardOnly(true);
    if (!query.exec(sql)) {
        ADD_FAILURE() << "query failed: " << sql.toStdString() << "\n  "
                      << query.lastError().text().toStdString();
        return {};
    }
    QStringList result;
    while (query.next()) {
        QStringList fields;
        for (int i = 0; i < query.record().count(); ++i)
            fields.append(query.isNull(i) ? null : variantText(query.value(i)));
        result.append(fields.join(QLatin1Char('|')));
    }
    return result;
}

} // namespace corvan::test
