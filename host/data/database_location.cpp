// SPDX-License-Identifier: MIT
#include "data/database_location.h"

#include <QDir>
#include <QRegularExpression>
#include <QUrl>
#include <QUrlQuery>

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

// QUrl's own reason quotes the whole text, password and all; only the reason is kept.
QString urlProblem(const QUrl& url)
{
    QString reason = url.errorString();
    const qsizetype source = reason.indexOf(QLatin1String("; source was"));
    if (source >= 0)
        reason.truncate(source);
    return reason.trimmed();
}

// The URL's own parts: a second value in the query would make the location say one thing
// and libpq do another.
const QStringList PartsOfTheUrl = {QStringLiteral("host"), QStringLiteral("port"), QStringLiteral("dbname"),
                                   QStringLiteral("user")};
const QStringList Secrets = {QStringLiteral("password"), QStringLiteral("sslpassword")};

// Parses the query into libpq parameters; false with the reason for the first one refused.
bool parseParameters(const QUrl& url, const QString& shown, QList<std::pair<QString, QString>>* out,
                     QString* error)
{
    static const QRegularExpression keyword(QStringLiteral("^[a-z][a-z0-9_]*$"));
    const QUrlQuery query(url);
    for (const auto& [key, value] : query.queryItems(QUrl::FullyDecoded)) {
        if (!keyword.match(key).hasMatch())
            return fail(error, QStringLiteral("'%1' in the database URL '%2' is not a connection parameter")
                                   .arg(key, shown));
        if (Secrets.contains(key))
            return fail(error, QStringLiteral("the database URL must not hold the secret '%1' (a program's "
                                              "arguments can be read by anyone on the machine); the password "
                                              "goes in PGPASSWORD or ~/.pgpass")
                                   .arg(key));
        if (PartsOfTheUrl.contains(key))
            return fail(error,
                        QStringLiteral("'%1' belongs in the database URL itself, not in its query ('%2')")
                            .arg(key, shown));
        for (const auto& given : std::as_const(*out))
            if (given.first == key)
                return fail(error,
                            QStringLiteral("'%1' is given twice in the database URL '%2'").arg(key, shown));
        if (value.contains(QLatin1Char(';')))
            return fail(error, QStringLiteral("the value of '%1' in the database URL holds a ';', which the "
                                              "PostgreSQL driver cannot pass on")
                                   .arg(key));
        out->append({key, value});
    }
    return true;
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
    const QString usage = QStringLiteral(
        "use a file path, sqlite:PATH or postgresql://USER@HOST:PORT/NAME[?PARAMETER=VALUE&...]");
    if (text.trimmed().isEmpty())
        return fail(error, QStringLiteral("empty database location (%1)").arg(usage));

    if (text.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive) ||
        text.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive)) {
        const QUrl url(text, QUrl::StrictMode);
        const QString shown = redacted(text);
        if (!url.isValid())
            return fail(error, QStringLiteral("malformed database URL '%1': %2").arg(shown, urlProblem(url)));
        if (url.hasFragment())
            return fail(error,
                        QStringLiteral("database URL '%1' has a fragment ('#'), which names nothing in a "
                                       "database")
                            .arg(shown));
        QString name = url.path();
        if (name.startsWith(QLatin1Char('/')))
            name.remove(0, 1);
        if (url.host().isEmpty() || name.isEmpty() || name.contains(QLatin1Char('/')))
            return fail(
                error,
                QStringLiteral("database URL '%1' lacks a host or a database name (%2)").arg(shown, usage));
        DatabaseLocation location;
        if (!parseParameters(url, shown, &location.m_parameters, error))
            return false;
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
        location.m_passwordInText = !location.m_password.isEmpty();
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
        return fail(error,
                    QStringLiteral("unsupported database location '%1' (%2)").arg(redacted(text), usage));
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

QString DatabaseLocation::connectOptions() const
{
    QStringList options;
    for (const auto& [key, value] : m_parameters) {
        QString quoted = value;
        quoted.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
        quoted.replace(QLatin1Char('\''), QLatin1String("\\'"));
        options << key + QLatin1String("='") + quoted + QLatin1Char('\'');
    }
    return options.join(QLatin1Char(';'));
}

QString DatabaseLocation::displayText() const
{
    if (m_engine == Engine::SQLite)
        return m_path;
    QString text = QStringLiteral("postgresql://") + m_user + QLatin1Char('@') + m_host + QLatin1Char(':') +
                   QString::number(m_port) + QLatin1Char('/') + m_databaseName;
    QStringList items;
    for (const auto& [key, value] : m_parameters)
        items << key + QLatin1Char('=') + QString::fromUtf8(QUrl::toPercentEncoding(value, "/:"));
    if (!items.isEmpty())
        text += QLatin1Char('?') + items.join(QLatin1Char('&'));
    return text;
}

QString DatabaseLocation::redacted(const QString& text)
{
    QString shown = text;
    const qsizetype scheme = shown.indexOf(QLatin1String("://"));
    if (scheme >= 0) {
        // A ':' after the scheme and before the last '@' starts a password; a text that did not
        // parse may hold '?', '#' or '/' in it. Masking too much is harmless, too little is not.
        const qsizetype start = scheme + 3;
        const qsizetype at = shown.lastIndexOf(QLatin1Char('@'));
        const qsizetype colon = shown.indexOf(QLatin1Char(':'), start);
        if (at >= start && colon >= 0 && colon < at)
            shown.replace(colon + 1, at - colon - 1, QStringLiteral("***"));
    }
    static const QRegularExpression secret(QStringLiteral("([?&](?:ssl)?password=)[^&#]*"),
                                           QRegularExpression::CaseInsensitiveOption);
    shown.replace(secret, QStringLiteral("\\1***"));
    return shown;
}

} // namespace corvan::host
