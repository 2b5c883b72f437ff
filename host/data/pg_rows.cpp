// SPDX-License-Identifier: MIT
#include "data/pg_rows.h"

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <cmath>
#include <cstdlib>
#include <libpq-fe.h>
#include <limits>
#include <vector>

namespace corvan::host {

namespace {

// The type identifiers of the server's built-in types, as pg_type numbers them.
enum : unsigned {
    BoolOid = 16,
    ByteaOid = 17,
    Int8Oid = 20,
    Int2Oid = 21,
    Int4Oid = 23,
    RegprocOid = 24,
    XidOid = 28,
    CidOid = 29,
    Float4Oid = 700,
    Float8Oid = 701,
    AbstimeOid = 702,
    ReltimeOid = 703,
    DateOid = 1082,
    TimeOid = 1083,
    TimestampOid = 1114,
    TimestampTzOid = 1184,
    TimeTzOid = 1266,
    NumericOid = 1700,
    VoidOid = 2278,
};

// The Qt type of a server type, as Qt's driver decides it; everything it does not name is text.
int metaTypeOf(unsigned oid)
{
    switch (oid) {
    case BoolOid:
        return QMetaType::Bool;
    case Int8Oid:
        return QMetaType::LongLong;
    case Int2Oid:
    case Int4Oid:
    case VoidOid:
    case RegprocOid:
    case XidOid:
    case CidOid:
        return QMetaType::Int;
    case NumericOid:
    case Float4Oid:
    case Float8Oid:
        return QMetaType::Double;
    case AbstimeOid:
    case ReltimeOid:
    case DateOid:
        return QMetaType::QDate;
    case TimeOid:
    case TimeTzOid:
        return QMetaType::QTime;
    case TimestampOid:
    case TimestampTzOid:
        return QMetaType::QDateTime;
    case ByteaOid:
        return QMetaType::QByteArray;
    default:
        return QMetaType::QString;
    }
}

QSqlError failure(pg_conn* connection, const char* words, pg_result* result)
{
    QString message = QString::fromUtf8(PQerrorMessage(connection));
    QString code;
    if (result) {
        code = QString::fromLatin1(PQresultErrorField(result, PG_DIAG_SQLSTATE));
        message += QLatin1Char('(') + code + QLatin1Char(')');
    }
    return QSqlError(QStringLiteral("QPSQL: ") + QLatin1String(words), message, QSqlError::StatementError,
                     code);
}

QVariant realValue(const char* text)
{
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (end != text && *end == '\0')
        return value;
    if (qstricmp(text, "NaN") == 0)
        return std::numeric_limits<double>::quiet_NaN();
    if (qstricmp(text, "Infinity") == 0)
        return std::numeric_limits<double>::infinity();
    if (qstricmp(text, "-Infinity") == 0)
        return -std::numeric_limits<double>::infinity();
    return {};
}

QVariant dateTimeValue(const char* text)
{
    const QLatin1StringView value(text);
    // A time without a zone is the server's UTC; one with a zone says so itself.
    const QLatin1StringView time = value.size() > 11 ? value.sliced(11) : QLatin1StringView();
    if (time.contains(QLatin1Char('-')) || time.contains(QLatin1Char('+')) || time.endsWith(QLatin1Char('Z')))
        return QDateTime::fromString(value, Qt::ISODate);
    return QDateTime::fromString(value.toString() + QLatin1Char('Z'), Qt::ISODate);
}

} // namespace

std::unique_ptr<RecordSet> PgRows::open(pg_conn* connection, const QString& sql, QSqlError* error)
{
    // A result another query left unread would make the server refuse this one.
    while (pg_result* stale = PQgetResult(connection))
        PQclear(stale);
    if (!PQsendQuery(connection, sql.toUtf8().constData())) {
        *error = failure(connection, "Unable to send query", nullptr);
        return nullptr;
    }
    // The first statement's result; any further one of a text with several is dropped.
    pg_result* result = PQgetResult(connection);
    while (pg_result* further = PQgetResult(connection))
        PQclear(further);
    if (!result) {
        *error = failure(connection, "Unable to create query", nullptr);
        return nullptr;
    }
    const ExecStatusType status = PQresultStatus(result);
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) {
        *error = failure(connection, "Unable to create query", result);
        PQclear(result);
        return nullptr;
    }
    QStringList names;
    const int fields = PQnfields(result);
    names.reserve(fields);
    for (int i = 0; i < fields; ++i)
        names.append(QString::fromUtf8(PQfname(result, i)));
    std::shared_ptr<const PgRows> rows(new PgRows(result));
    return std::make_unique<RecordSet>(std::move(names), std::move(rows));
}

QString PgRows::numberedPlaces(const QString& sql)
{
    QString text;
    text.reserve(sql.size() + 16);
    bool quoted = false;
    int place = 0;
    for (const QChar c : sql) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        if (c == QLatin1Char('?') && !quoted)
            text += QLatin1Char('$') + QString::number(++place);
        else
            text += c;
    }
    return text;
}

bool PgRows::execute(pg_conn* connection, const QString& sql, const QStringList& values, qint64* changed,
                     QSqlError* error)
{
    *changed = -1;
    while (pg_result* stale = PQgetResult(connection))
        PQclear(stale);
    std::vector<QByteArray> texts;
    std::vector<const char*> pointers;
    texts.reserve(std::size_t(values.size()));
    pointers.reserve(std::size_t(values.size()));
    for (const QString& value : values) {
        texts.push_back(value.toUtf8());
        pointers.push_back(value.isNull() ? nullptr : texts.back().constData());
    }
    if (!PQsendQueryParams(connection, numberedPlaces(sql).toUtf8().constData(), int(values.size()), nullptr,
                           pointers.data(), nullptr, nullptr, 0)) {
        *error = failure(connection, "Unable to send query", nullptr);
        return false;
    }
    pg_result* result = PQgetResult(connection);
    while (pg_result* further = PQgetResult(connection))
        PQclear(further);
    if (!result) {
        *error = failure(connection, "Unable to create query", nullptr);
        return false;
    }
    const ExecStatusType status = PQresultStatus(result);
    const bool ok = status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
    if (!ok)
        *error = failure(connection, "Unable to create query", result);
    else // The server counts the rows a select read; it changed none.
        *changed = status == PGRES_TUPLES_OK ? 0 : std::strtoll(PQcmdTuples(result), nullptr, 10);
    PQclear(result);
    return ok;
}

PgRows::PgRows(pg_result* result) : m_result(result), m_count(PQntuples(result))
{
    const int fields = PQnfields(result);
    m_types.reserve(fields);
    m_oids.reserve(fields);
    m_plainText.reserve(fields);
    for (int i = 0; i < fields; ++i) {
        const unsigned oid = PQftype(result, i);
        const int type = metaTypeOf(oid);
        m_oids.append(oid);
        m_types.append(type);
        // Exact decimals come as their text; the text of any other type is read as it is sent.
        m_plainText.append(type == QMetaType::QString || oid == NumericOid);
    }
}

PgRows::~PgRows()
{
    PQclear(m_result);
}

QVariant PgRows::value(int row, int field) const
{
    const int type = m_types.at(field);
    if (PQgetisnull(m_result, row, field))
        return QVariant(QMetaType(type), nullptr);
    const char* text = PQgetvalue(m_result, row, field);
    switch (type) {
    case QMetaType::Bool:
        return QVariant(text[0] == 't');
    case QMetaType::QString:
        return QString::fromUtf8(text, PQgetlength(m_result, row, field));
    case QMetaType::LongLong:
        if (text[0] == '-')
            return QByteArray::fromRawData(text, qsizetype(qstrlen(text))).toLongLong();
        return QByteArray::fromRawData(text, qsizetype(qstrlen(text))).toULongLong();
    case QMetaType::Int:
        return std::atoi(text);
    case QMetaType::Double:
        if (m_oids.at(field) == NumericOid)
            return QString::fromLatin1(text);
        return realValue(text);
    case QMetaType::QDate:
        return QDate::fromString(QLatin1StringView(text), Qt::ISODate);
    case QMetaType::QTime:
        return QTime::fromString(QLatin1StringView(text), Qt::ISODate);
    case QMetaType::QDateTime:
        return dateTimeValue(text);
    case QMetaType::QByteArray: {
        size_t size = 0;
        unsigned char* bytes = PQunescapeBytea(reinterpret_cast<const unsigned char*>(text), &size);
        QByteArray value(reinterpret_cast<const char*>(bytes), qsizetype(size));
        PQfreemem(bytes);
        return value;
    }
    default:
        return {};
    }
}

QString PgRows::text(int row, int field) const
{
    if (!m_plainText.at(field))
        return variantText(value(row, field));
    if (PQgetisnull(m_result, row, field))
        return {};
    const char* text = PQgetvalue(m_result, row, field);
    const int size = PQgetlength(m_result, row, field);
    if (size == 0)
        return QString(QLatin1StringView(""));
    return m_oids.at(field) == NumericOid ? QString::fromLatin1(text, size) : QString::fromUtf8(text, size);
}

QString PgRows::storedText(int row, int field) const
{
    if (PQgetisnull(m_result, row, field))
        return {};
    return QString::fromUtf8(PQgetvalue(m_result, row, field), PQgetlength(m_result, row, field));
}

} // namespace corvan::host
