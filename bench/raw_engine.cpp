// SPDX-License-Identifier: MIT
#include "raw_engine.h"

#include "data/database_location.h"
#include "data/pg_rows.h"
#include "data/sqlite_dialect.h"

#include <libpq-fe.h>
#include <sqlite3.h>
#include <vector>

namespace corvan::bench {

namespace {

using host::SqliteDialect;

// The dialect's functions, as any program that runs the component's statements needs them.
void toNumber(sqlite3_context* context, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    if (sqlite3_value_type(argv[0]) != SQLITE_TEXT) {
        sqlite3_result_value(context, argv[0]);
        return;
    }
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    const auto number = SqliteDialect::toNumber(QByteArray(text, sqlite3_value_bytes(argv[0])));
    if (number.kind == SqliteDialect::NumberKind::Integer)
        sqlite3_result_int64(context, number.integer);
    else if (number.kind == SqliteDialect::NumberKind::Real)
        sqlite3_result_double(context, number.real);
    else
        sqlite3_result_null(context);
}

void toDate(sqlite3_context* context, int, sqlite3_value** argv)
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    const QByteArray date = text ? SqliteDialect::toIsoDate(QString::fromUtf8(text)).toUtf8() : QByteArray();
    if (date.isEmpty())
        sqlite3_result_null(context);
    else
        sqlite3_result_text(context, date.constData(), int(date.size()), SQLITE_TRANSIENT);
}

QString conninfoValue(const QString& value)
{
    return QLatin1Char('\'') +
           QString(value)
               .replace(QLatin1Char('\\'), QLatin1String("\\\\"))
               .replace(QLatin1Char('\''), QLatin1String("\\'")) +
           QLatin1Char('\'');
}

} // namespace

RawEngine::~RawEngine()
{
    if (m_sqlite)
        sqlite3_close(m_sqlite);
    if (m_pg)
        PQfinish(m_pg);
}

bool RawEngine::open(const host::DatabaseLocation& location, QString* error)
{
    if (location.isSqlite()) {
        if (sqlite3_open_v2(location.filePath().toUtf8().constData(), &m_sqlite, SQLITE_OPEN_READWRITE,
                            nullptr) != SQLITE_OK) {
            *error = QString::fromUtf8(sqlite3_errmsg(m_sqlite));
            return false;
        }
        const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
        sqlite3_create_function_v2(m_sqlite, "to_number", 1, flags, nullptr, toNumber, nullptr, nullptr,
                                   nullptr);
        sqlite3_create_function_v2(m_sqlite, "to_date", 2, flags, nullptr, toDate, nullptr, nullptr, nullptr);
        return run(QStringLiteral("PRAGMA busy_timeout=10000"), {}, error) &&
               run(QStringLiteral("PRAGMA foreign_keys=ON"), {}, error);
    }
    QStringList info{QStringLiteral("host=") + conninfoValue(location.hostName()),
                     QStringLiteral("port=%1").arg(location.port()),
                     QStringLiteral("dbname=") + conninfoValue(location.databaseName()),
                     QStringLiteral("user=") + conninfoValue(location.userName())};
    if (!location.password().isEmpty())
        info << QStringLiteral("password=") + conninfoValue(location.password());
    for (const auto& [key, value] : location.parameters())
        info << key + QLatin1Char('=') + conninfoValue(value);
    m_pg = PQconnectdb(info.join(QLatin1Char(' ')).toUtf8().constData());
    if (PQstatus(m_pg) != CONNECTION_OK) {
        *error = QString::fromUtf8(PQerrorMessage(m_pg));
        return false;
    }
    return run(QStringLiteral("set datestyle to 'ISO'"), {}, error);
}

bool RawEngine::run(const QString& sql, const QStringList& values, QString* error)
{
    if (m_sqlite) {
        const QByteArray text = SqliteDialect::statement(sql).toUtf8();
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(m_sqlite, text.constData(), int(text.size()) + 1, &stmt, nullptr) !=
            SQLITE_OK) {
            *error = QString::fromUtf8(sqlite3_errmsg(m_sqlite)) + QStringLiteral(": ") + sql;
            sqlite3_finalize(stmt);
            return false;
        }
        std::vector<QByteArray> bound;
        bound.reserve(std::size_t(values.size()));
        for (int i = 0; i < values.size(); ++i) {
            if (values.at(i).isNull())
                continue; // a place left unbound is null
            bound.push_back(values.at(i).toUtf8());
            sqlite3_bind_text(stmt, i + 1, bound.back().constData(), int(bound.back().size()), SQLITE_STATIC);
        }
        const int fields = sqlite3_column_count(stmt);
        int rc = SQLITE_OK;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            for (int i = 0; i < fields; ++i) {
                switch (sqlite3_column_type(stmt, i)) {
                case SQLITE_INTEGER:
                    m_sink += quint64(sqlite3_column_int64(stmt, i));
                    break;
                case SQLITE_FLOAT:
                    m_sink += quint64(sqlite3_column_double(stmt, i));
                    break;
                case SQLITE_NULL:
                    break;
                default: {
                    const unsigned char* cell = sqlite3_column_text(stmt, i);
                    m_sink += quint64(sqlite3_column_bytes(stmt, i)) + (cell ? cell[0] : 0u);
                    break;
                }
                }
            }
        }
        sqlite3_finalize(stmt);
        if (rc != SQLITE_DONE) {
            *error = QString::fromUtf8(sqlite3_errmsg(m_sqlite)) + QStringLiteral(": ") + sql;
            return false;
        }
        return true;
    }
    PGresult* result = nullptr;
    if (values.isEmpty()) {
        result = PQexec(m_pg, sql.toUtf8().constData());
    } else {
        std::vector<QByteArray> bound;
        std::vector<const char*> pointers;
        bound.reserve(std::size_t(values.size()));
        for (const QString& value : values) {
            bound.push_back(value.toUtf8());
            pointers.push_back(value.isNull() ? nullptr : bound.back().constData());
        }
        result = PQexecParams(m_pg, host::PgRows::numberedPlaces(sql).toUtf8().constData(),
                              int(values.size()), nullptr, pointers.data(), nullptr, nullptr, 0);
    }
    const ExecStatusType status = PQresultStatus(result);
    const bool ok = status == PGRES_TUPLES_OK || status == PGRES_COMMAND_OK;
    if (ok) {
        const int rows = PQntuples(result);
        const int fields = PQnfields(result);
        for (int r = 0; r < rows; ++r)
            for (int i = 0; i < fields; ++i)
                m_sink += quint64(PQgetlength(result, r, i)) + quint64(PQgetvalue(result, r, i)[0]);
    } else {
        *error = QString::fromUtf8(PQerrorMessage(m_pg)) + QStringLiteral(": ") + sql;
    }
    PQclear(result);
    return ok;
}

bool RawEngine::replay(const QVector<Sent>& sent, bool commit, QString* error)
{
    for (const Sent& s : sent) {
        bool ok = true;
        switch (s.kind) {
        case Sent::Kind::Begin:
            ok = run(m_sqlite ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN"), {}, error);
            break;
        case Sent::Kind::Commit:
            ok = run(commit ? QStringLiteral("COMMIT") : QStringLiteral("ROLLBACK"), {}, error);
            break;
        case Sent::Kind::Rollback:
            ok = run(QStringLiteral("ROLLBACK"), {}, error);
            break;
        default:
            ok = run(s.sql, s.values, error);
            break;
        }
        if (!ok)
            return false;
    }
    return true;
}

} // namespace corvan::bench
