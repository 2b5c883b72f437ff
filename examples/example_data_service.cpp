// SPDX-License-Identifier: MIT
#include "example_data_service.h"

#include <QDate>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>
#include <sqlite3.h>

namespace example {

namespace {

QString valueText(sqlite3_value* value)
{
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(value))).trimmed();
}

// to_number(x): a number for a numeric text, null for any other; numbers pass unchanged.
// The same shape as the PostgreSQL schema's to_number accepts.
void toNumber(sqlite3_context* context, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) != SQLITE_TEXT) {
        sqlite3_result_value(context, argv[0]);
        return;
    }
    static const QRegularExpression numeric(QStringLiteral("^[-+]?(\\d+\\.?\\d*|\\.\\d+)$"));
    const QString text = valueText(argv[0]);
    bool ok = false;
    if (!numeric.match(text).hasMatch())
        sqlite3_result_null(context);
    else if (const qlonglong whole = text.toLongLong(&ok); ok)
        sqlite3_result_int64(context, whole);
    else
        sqlite3_result_double(context, text.toDouble());
}

// to_date(text, 'yyyy-mm-dd'): the date in ISO form, null for a text that is no date.
void toDate(sqlite3_context* context, int, sqlite3_value** argv)
{
    if (valueText(argv[1]).toLower() != QLatin1String("yyyy-mm-dd")) {
        sqlite3_result_error(context, "to_date: only the format 'yyyy-mm-dd' is supported", -1);
        return;
    }
    const QDate date = QDate::fromString(valueText(argv[0]), QStringLiteral("yyyy-M-d"));
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || !date.isValid()) {
        sqlite3_result_null(context);
        return;
    }
    const QByteArray iso = date.toString(Qt::ISODate).toUtf8();
    sqlite3_result_text(context, iso.constData(), int(iso.size()), SQLITE_TRANSIENT);
}

} // namespace

ExampleDataService::ExampleDataService(QObject* parent)
    : QObject(parent), m_connection(QStringLiteral("example-systemDB"))
{}

ExampleDataService::~ExampleDataService()
{
    QSqlDatabase::database(m_connection, false).close();
    QSqlDatabase::removeDatabase(m_connection);
}

bool ExampleDataService::open(const QString& path)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(path);
    if (!db.open()) {
        m_lastError = db.lastError().text();
        return false;
    }
    // SQLite keeps functions per connection, so every connection registers them.
    const QVariant handle = db.driver()->handle();
    sqlite3* sqlite = qstrcmp(handle.typeName(), "sqlite3*") == 0
                          ? *static_cast<sqlite3* const*>(handle.constData())
                          : nullptr;
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    if (!sqlite ||
        sqlite3_create_function_v2(sqlite, "to_number", 1, flags, nullptr, toNumber, nullptr, nullptr,
                                   nullptr) ||
        sqlite3_create_function_v2(sqlite, "to_date", 2, flags, nullptr, toDate, nullptr, nullptr, nullptr)) {
        m_lastError = QStringLiteral("cannot register the SQL functions on %1").arg(path);
        return false;
    }
    return run(QStringLiteral("pragma foreign_keys = on")) &&
           run(QStringLiteral("pragma busy_timeout = 5000"));
}

QSqlDatabase ExampleDataService::database() const
{
    return QSqlDatabase::database(m_connection, false);
}

bool ExampleDataService::known(const QString& database)
{
    if (database.compare(QLatin1String(corvan::SystemDatabase), Qt::CaseInsensitive) == 0)
        return true;
    m_lastError = QStringLiteral("unknown database \"%1\"").arg(database);
    return false;
}

bool ExampleDataService::run(const QString& sql)
{
    QSqlQuery query(database());
    if (!query.exec(sql)) {
        m_lastError = query.lastError().text();
        return false;
    }
    m_lastError.clear();
    return true;
}

std::unique_ptr<corvan::RecordSet> ExampleDataService::OpenRecordset(const QString& sql,
                                                                     const QString& database, qint32)
{
    if (!known(database))
        return nullptr;
    QSqlQuery query(this->database());
    query.setForwardOnly(true);
    if (!query.exec(sql)) {
        m_lastError = query.lastError().text();
        return nullptr;
    }
    // The component walks the rows after the query is gone: read them all now.
    QStringList names;
    for (int i = 0; i < query.record().count(); ++i)
        names.append(query.record().fieldName(i));
    QVector<QVector<QVariant>> rows;
    while (query.next()) {
        QVector<QVariant> row;
        for (int i = 0; i < names.size(); ++i)
            row.append(query.value(i));
        rows.append(row);
    }
    m_lastError.clear();
    return std::make_unique<corvan::RecordSet>(names, rows);
}

bool ExampleDataService::ExecuteSql(const QString& database, const QString& sql)
{
    return known(database) && run(sql);
}

// IMMEDIATE takes the write lock at once: what the component checks inside its
// transaction stays true until it commits, even with other users on the same file.
bool ExampleDataService::BeginTrans(const QString& database)
{
    return known(database) && run(QStringLiteral("begin immediate"));
}

bool ExampleDataService::CommitTrans(const QString& database)
{
    if (!known(database))
        return false;
    if (run(QStringLiteral("commit")))
        return true;
    // A failed COMMIT leaves the transaction open on SQLite; end it, keeping the reason.
    const QString reason = m_lastError;
    run(QStringLiteral("rollback"));
    m_lastError = reason;
    return false;
}

bool ExampleDataService::RollbackTrans(const QString& database)
{
    return known(database) && run(QStringLiteral("rollback"));
}

} // namespace example
