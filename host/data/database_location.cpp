// SPDX-License-Identifier: MIT
#include "data/database_location.h"

#include <QDir>
#include <QUrl>

namespace corvan::host {

namespace {

QString loginName()
{
    const QString user = qEnvironmentVariable("USER");
    return user.isEmpty() ? QDir::home().dirName() : user;
}

bool fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

} // namespace

DatabaseLocation DatabaseLocation::sqliteFile(const QString& path)
{
    DatabaseLocation location;
    location.m_engine = Engine::SQLite;
    location.m_path = path;
    return location;
}

bool DatabaseLocation::parse(const QString& text, DatabaseLocation* out, QString* error)
{
    const QString usage = QStringLiteral("use a file path, sqlite:PATH or postgresql://USER@HOST:PORT/NAME");
    if (text.trimmed().isEmpty())
        return fail(error, QStringLiteral("empty database location (%1)").arg(usage));

    if (text.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive) ||
        text.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive)) {
        const QUrl url(text, QUrl::StrictMode);
        if (!url.isValid())
            return fail(error,
                        QStringLiteral("malformed database URL '%1': %2").arg(text, url.errorString()));
        if (url.hasQuery() || url.hasFragment())
            return fail(error,
                        QStringLiteral("database URL '%1' has options this host does not read").arg(text));
        QString name = url.path();
        if (name.startsWith(QLatin1Char('/')))
            name.remove(0, 1);
        if (url.host().isEmpty() || name.isEmpty() || name.contains(QLatin1Char('/')))
            return fail(
                error,
                QStringLiteral("database URL '%1' lacks a host or a database name (%2)").arg(text, usage));
        DatabaseLocation location;
        location.m_engine = Engine::PostgreSQL;
        location.m_host = url.host();
        location.m_port = url.port(5432);
        location.m_databaseName = name;
        location.m_user = url.userName();
        if (location.m_user.isEmpty())
            location.m_user = qEnvironmentVariable("PGUSER");
        if (location.m_user.isEmpty())
            location.m_user = loginName();
        location.m_password = url.password();
        if (location.m_password.isEmpty())
            location.m_password = qEnvironmentVariable("PGPASSWORD");
        *out = location;
        return true;
    }

    QString path = text;
    if (path.startsWith(QLatin1String("sqlite:"), Qt::CaseInsensitive)) {
        path.remove(0, 7);
        if (path.startsWith(QLatin1String("//")))
            path.remove(0, 2);
    } else if (path.contains(QLatin1String("://"))) {
        return fail(error, QStringLiteral("unsupported database location '%1' (%2)").arg(text, usage));
    }
    if (path.isEmpty())
        return fail(error, QStringLiteral("empty database location (%1)").arg(usage));
    *out = sqliteFile(path);
    return true;
}

DatabaseLocation DatabaseLocation::withDatabaseName(const QString& name) const
{
    DatabaseLocation location = *this;
    location.m_databaseName = name;
    return location;
}

QString DatabaseLocation::displayText() const
{
    if (m_engine == Engine::SQLite)
        return m_path;
    return QStringLiteral("postgresql://") + m_user + QLatin1Char('@') + m_host + QLatin1Char(':') +
           QString::number(m_port) + QLatin1Char('/') + m_databaseName;
}

} // namespace corvan::host
