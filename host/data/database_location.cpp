// SPDX-License-Identifier: MIT
#include "data/database_location.h"

#include <QDir>
#include <QHash>
#include <QRegularExpression>
#include <QUrl>
#include <libpq-fe.h>

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

// What the URL says before its query; the query may not say it a second time, or the
// location would show one thing and libpq do another.
const QStringList PartsOfTheUrl = {QStringLiteral("host"), QStringLiteral("port"), QStringLiteral("dbname"),
                                   QStringLiteral("user")};
const QStringList Secrets = {QStringLiteral("password"), QStringLiteral("sslpassword")};

// A postgresql:// URL cut where libpq cuts it: credentials up to the first '@' (before any
// '/'), then the servers, the database after '/', and the query after '?'. Nothing is
// decoded here; libpq decodes.
struct UrlParts {
    QString credentials;
    QString servers;
    QString path;
    QString query;
};

UrlParts cut(const QString& text)
{
    UrlParts parts;
    QString rest = text.mid(text.indexOf(QLatin1String("://")) + 3);
    qsizetype end = 0;
    while (end < rest.size() && rest.at(end) != QLatin1Char('@') && rest.at(end) != QLatin1Char('/'))
        ++end;
    if (end < rest.size() && rest.at(end) == QLatin1Char('@')) {
        parts.credentials = rest.left(end);
        rest.remove(0, end + 1);
    }
    const qsizetype query = rest.indexOf(QLatin1Char('?'));
    if (query >= 0) {
        parts.query = rest.mid(query + 1);
        rest.truncate(query);
    }
    const qsizetype slash = rest.indexOf(QLatin1Char('/'));
    parts.servers = slash < 0 ? rest : rest.left(slash);
    if (slash >= 0)
        parts.path = rest.mid(slash + 1);
    return parts;
}

// The query's items, decoded, in their order.
QList<std::pair<QString, QString>> queryItems(const QString& query)
{
    QList<std::pair<QString, QString>> items;
    const auto decode = [](const QString& text) {
        return QUrl::fromPercentEncoding(text.toUtf8());
    };
    for (const QString& item : query.split(QLatin1Char('&'), Qt::SkipEmptyParts)) {
        const qsizetype equals = item.indexOf(QLatin1Char('='));
        items.append({decode(item.left(equals)), equals < 0 ? QString() : decode(item.mid(equals + 1))});
    }
    return items;
}

// The keywords the libpq in use knows; one a later libpq added is refused by name.
QStringList libpqKeywords()
{
    QStringList keywords;
    if (PQconninfoOption* options = PQconndefaults()) {
        for (const PQconninfoOption* o = options; o->keyword; ++o)
            keywords << QString::fromLatin1(o->keyword);
        PQconninfoFree(options);
    }
    return keywords;
}

QString libpqVersion()
{
    const int version = PQlibVersion();
    return QStringLiteral("%1.%2").arg(version / 10000).arg(version % 10000);
}

// Checks the query's parameters; false with the reason for the first one refused. Those the
// URL gives before its query (hosts, ports, database, user) may not come again.
bool checkParameters(const QList<std::pair<QString, QString>>& items, const QStringList& givenByUrl,
                     const QString& shown, QString* error)
{
    static const QRegularExpression keyword(QStringLiteral("^[a-z][a-z0-9_]*$"));
    const QStringList known = libpqKeywords();
    QStringList seen;
    for (const auto& [key, value] : items) {
        if (!keyword.match(key).hasMatch())
            return fail(error, QStringLiteral("'%1' in the database URL '%2' is not a connection parameter")
                                   .arg(key, shown));
        if (Secrets.contains(key))
            return fail(error, QStringLiteral("the database URL must not hold the secret '%1' (a program's "
                                              "arguments can be read by anyone on the machine); the password "
                                              "goes in PGPASSWORD or ~/.pgpass")
                                   .arg(key));
        if (!known.contains(key))
            return fail(error,
                        QStringLiteral("'%1' in the database URL '%2' is not a connection parameter of "
                                       "the libpq in use (version %3)%4")
                            .arg(key, shown, libpqVersion(),
                                 key == QLatin1String("load_balance_hosts")
                                     ? QStringLiteral("; load_balance_hosts came with libpq 16")
                                     : QString()));
        if (givenByUrl.contains(key))
            return fail(error,
                        QStringLiteral("'%1' is given twice in the database URL '%2': before its query "
                                       "and in it")
                            .arg(key, shown));
        if (seen.contains(key))
            return fail(error,
                        QStringLiteral("'%1' is given twice in the database URL '%2'").arg(key, shown));
        seen << key;
        if (value.contains(QLatin1Char(';')))
            return fail(error, QStringLiteral("the value of '%1' in the database URL holds a ';', which the "
                                              "PostgreSQL driver cannot pass on")
                                   .arg(key));
    }
    return true;
}

// libpq's own reading of the URL: keyword -> value of everything it says.
bool libpqReading(const QString& text, const QString& shown, QHash<QString, QString>* out, QString* error)
{
    char* reason = nullptr;
    PQconninfoOption* options = PQconninfoParse(text.toUtf8().constData(), &reason);
    if (!options) {
        const QString why = reason ? QString::fromUtf8(reason).trimmed() : QStringLiteral("out of memory");
        PQfreemem(reason);
        return fail(error, QStringLiteral("malformed database URL '%1': %2").arg(shown, why));
    }
    for (const PQconninfoOption* o = options; o->keyword; ++o)
        if (o->val)
            out->insert(QString::fromLatin1(o->keyword), QString::fromUtf8(o->val));
    PQconninfoFree(options);
    return true;
}

// Every port of the list is a number a server can listen on, or empty for the default; there
// is one for all hosts or one per host.
bool checkPorts(const QString& ports, const QString& hosts, const QString& shown, QString* error)
{
    const qsizetype portCount = ports.count(QLatin1Char(',')) + 1;
    const qsizetype hostCount = hosts.count(QLatin1Char(',')) + 1;
    if (portCount > 1 && portCount != hostCount)
        return fail(error, QStringLiteral("database URL '%1' gives %2 ports for %3 hosts (give one port for "
                                          "all, or one per host)")
                               .arg(shown)
                               .arg(portCount)
                               .arg(hostCount));
    for (const QString& port : ports.split(QLatin1Char(','))) {
        bool number = false;
        const int value = port.toInt(&number);
        if (!port.isEmpty() && (!number || value < 1 || value > 65535))
            return fail(error,
                        QStringLiteral("malformed database URL '%1': '%2' is not a port").arg(shown, port));
    }
    return true;
}

// What a URL gives before its query; the query may add only what it leaves out.
QStringList givenByUrl(const UrlParts& parts)
{
    QStringList given;
    if (!parts.credentials.section(QLatin1Char(':'), 0, 0).isEmpty())
        given << QStringLiteral("user");
    if (!parts.servers.isEmpty())
        given << QStringLiteral("host");
    for (const QString& server : parts.servers.split(QLatin1Char(','))) {
        const qsizetype bracket = server.lastIndexOf(QLatin1Char(']'));
        if (server.indexOf(QLatin1Char(':'), bracket < 0 ? 0 : bracket) >= 0 &&
            !given.contains(QStringLiteral("port")))
            given << QStringLiteral("port");
    }
    if (!parts.path.isEmpty())
        given << QStringLiteral("dbname");
    return given;
}

} // namespace

int DatabaseLocation::port() const
{
    const int first = m_ports.section(QLatin1Char(','), 0, 0).toInt();
    return first > 0 ? first : 5432;
}

QStringList DatabaseLocation::servers() const
{
    const QStringList hosts = m_host.split(QLatin1Char(','));
    const QStringList ports = m_ports.split(QLatin1Char(','));
    QStringList result;
    for (qsizetype i = 0; i < hosts.size(); ++i) {
        // One port stands for every host; none, or an empty one, is the default.
        QString port = ports.size() == 1 ? ports.first() : ports.value(i);
        if (port.isEmpty())
            port = QStringLiteral("5432");
        const QString& host = hosts.at(i);
        result << (host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host) +
                      QLatin1Char(':') + port;
    }
    return result;
}

DatabaseLocation DatabaseLocation::sqliteFile(const QString& path)
{
    DatabaseLocation location;
    location.m_engine = Engine::SQLite;
    location.m_path = path;
    return location;
}

bool DatabaseLocation::parseServerUrl(const QString& text, const QString& usage, DatabaseLocation* out,
                                      QString* error)
{
    const QString shown = redacted(text);
    const UrlParts parts = cut(text);
    if (parts.servers.contains(QLatin1Char('#')) || parts.path.contains(QLatin1Char('#')) ||
        parts.query.contains(QLatin1Char('#')))
        return fail(error, QStringLiteral("database URL '%1' has a fragment ('#'), which names nothing in a "
                                          "database")
                               .arg(shown));
    const auto items = queryItems(parts.query);
    if (!checkParameters(items, givenByUrl(parts), shown, error))
        return false;
    QHash<QString, QString> said;
    // libpq knows its schemes in lower case only.
    const QString scheme = text.left(text.indexOf(QLatin1String("://")));
    if (!libpqReading(scheme.toLower() + text.mid(scheme.size()), shown, &said, error))
        return false;
    const QString name = said.value(QStringLiteral("dbname"));
    if (said.value(QStringLiteral("host")).isEmpty() || name.isEmpty() || name.contains(QLatin1Char('/')))
        return fail(
            error,
            QStringLiteral("database URL '%1' lacks a host or a database name (%2)").arg(shown, usage));
    if (!checkPorts(said.value(QStringLiteral("port")), said.value(QStringLiteral("host")), shown, error))
        return false;
    DatabaseLocation location;
    for (const auto& item : items)
        if (!PartsOfTheUrl.contains(item.first))
            location.m_parameters.append(item);
    location.m_engine = Engine::PostgreSQL;
    location.m_host = said.value(QStringLiteral("host"));
    location.m_ports = said.value(QStringLiteral("port"));
    location.m_databaseName = name;
    location.m_user = said.value(QStringLiteral("user"));
    if (location.m_user.isEmpty())
        location.m_user = qEnvironmentVariable("PGUSER");
    if (location.m_user.isEmpty())
        location.m_user = loginName();
    location.m_password = said.value(QStringLiteral("password"));
    location.m_passwordInText = !location.m_password.isEmpty();
    if (location.m_password.isEmpty())
        location.m_password = qEnvironmentVariable("PGPASSWORD");
    *out = location;
    return true;
}

bool DatabaseLocation::parse(const QString& text, DatabaseLocation* out, QString* error)
{
    const QString usage = QStringLiteral(
        "use a file path, sqlite:PATH or postgresql://USER@HOST:PORT/NAME[?PARAMETER=VALUE&...]");
    if (text.trimmed().isEmpty())
        return fail(error, QStringLiteral("empty database location (%1)").arg(usage));

    if (text.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive) ||
        text.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive))
        return parseServerUrl(text, usage, out, error);

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
    // The servers as the URL writes them: a socket folder's slashes and any other character
    // that would end the part are escaped, an IPv6 address stays in its brackets.
    QStringList servers;
    for (const QString& server : this->servers()) {
        const qsizetype colon = server.lastIndexOf(QLatin1Char(':'));
        servers << QString::fromUtf8(QUrl::toPercentEncoding(server.left(colon), "[]:")) + server.mid(colon);
    }
    QString text = QStringLiteral("postgresql://") + QString::fromUtf8(QUrl::toPercentEncoding(m_user)) +
                   QLatin1Char('@') + servers.join(QLatin1Char(',')) + QLatin1Char('/') +
                   QString::fromUtf8(QUrl::toPercentEncoding(m_databaseName));
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
