// SPDX-License-Identifier: MIT
#include "data/schema.h"

#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

namespace corvan::host {

namespace {

using namespace Qt::StringLiterals;

// The schema files hold one block of network tables written once with '@' for the letter.
constexpr auto NetworkBegin = "-- @network-begin"_L1;
constexpr auto NetworkEnd = "-- @network-end"_L1;
constexpr auto SinceBegin = "-- @since-begin"_L1;
constexpr auto SinceEnd = "-- @since-end"_L1;
constexpr char16_t NetworkLetters[] = {u'g', u'c', u'd'};

void setError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

// A line of a schema file with the version that brought it: what stands between
// "-- @since-begin N" and "-- @since-end" came with version N, everything else with 1.
struct Line {
    int version;
    QString text;
};

QList<Line> expandNetworks(const QString& script)
{
    QList<Line> out;
    QList<Line> block;
    bool inBlock = false;
    int version = 1;
    for (const QString& line : script.split(u'\n')) {
        const QString marker = line.trimmed();
        if (marker.startsWith(SinceBegin)) {
            bool ok = false;
            const int since = marker.mid(SinceBegin.size()).trimmed().toInt(&ok);
            version = ok && since > 1 ? since : 1;
        } else if (marker == SinceEnd) {
            version = 1;
        } else if (marker == NetworkBegin) {
            inBlock = true;
            block.clear();
        } else if (marker == NetworkEnd) {
            inBlock = false;
            for (const char16_t letter : NetworkLetters)
                for (const Line& blockLine : std::as_const(block))
                    out << Line{blockLine.version, QString(blockLine.text).replace(u'@', QChar(letter))};
        } else if (inBlock) {
            block << Line{version, line};
        } else {
            out << Line{version, line};
        }
    }
    return out;
}

QString joined(const QList<Line>& lines, int version)
{
    QStringList texts;
    for (const Line& line : lines)
        texts << (version == 0 || line.version == version ? line.text : QString());
    return texts.join(u'\n');
}

bool isNameStart(QChar c)
{
    return c.isLetter() || c == u'_';
}

bool isNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
}

// The length of a dollar-quote opener ("$$" or "$tag$") starting at i, or 0.
qsizetype dollarTagLength(const QString& s, qsizetype i)
{
    if (s.at(i) != u'$' || (i > 0 && isNameChar(s.at(i - 1))))
        return 0;
    qsizetype j = i + 1;
    if (j < s.size() && isNameStart(s.at(j))) {
        while (j < s.size() && isNameChar(s.at(j)))
            ++j;
    }
    return j < s.size() && s.at(j) == u'$' ? j - i + 1 : 0;
}

QString loadScript(Engine engine)
{
    QFile file(engine == Engine::PostgreSQL ? u":/corvan/db/schema-postgresql.sql"_s
                                            : u":/corvan/db/schema-sqlite.sql"_s);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

// The statements that undo the schema, in the reverse order of creation: policies before the
// tables their conditions read, views before the tables they read, and no table while another
// still refers to it.
QStringList dropStatements(Engine engine)
{
    static const QRegularExpression created(
        uR"(^create\s+(?:or\s+replace\s+)?(table|view|function|policy|sequence)\s+(\w+)\s*(\([^)]*\)|on\s+\w+)?)"_s,
        QRegularExpression::CaseInsensitiveOption);
    // A drop names the argument types only; a default value would be a syntax error there.
    static const QRegularExpression defaultValue(uR"(\s+default\s+[^,)]*)"_s,
                                                 QRegularExpression::CaseInsensitiveOption);
    // A trigger goes before the functions it calls, which cannot be dropped while it stands.
    static const QRegularExpression trigger(
        uR"(^create\s+(?:constraint\s+)?trigger\s+(\w+)\s.*?\son\s+(\w+))"_s,
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    QStringList drops;
    for (const QString& statement : schemaStatements(engine)) {
        if (const QRegularExpressionMatch t = trigger.match(statement); t.hasMatch()) {
            // SQLite drops a table's triggers with it, and its drop names no table.
            if (engine == Engine::SQLite)
                continue;
            drops.prepend(u"drop trigger if exists "_s + t.captured(1) + u" on "_s + t.captured(2));
            continue;
        }
        const QRegularExpressionMatch m = created.match(statement);
        if (!m.hasMatch())
            continue;
        const QString kind = m.captured(1).toLower();
        QString drop = u"drop "_s + kind + u" if exists "_s + m.captured(2);
        if (kind == u"function"_s)
            drop += QString(m.captured(3)).remove(defaultValue);
        else if (kind == u"policy"_s)
            drop += u' ' + m.captured(3);
        // A function a later version replaces goes where it was first made: after the triggers
        // that call it.
        if (!drops.contains(drop))
            drops.prepend(drop);
    }
    // "does not exist, skipping" for every object of an empty database is noise, not news.
    if (engine == Engine::PostgreSQL && !drops.isEmpty())
        drops.prepend(u"set local client_min_messages = warning"_s);
    return drops;
}

bool runInTransaction(QSqlDatabase& db, const QStringList& statements, const QString& what, QString* error)
{
    if (!db.isOpen()) {
        setError(error, what + u": the database is not open"_s);
        return false;
    }
    if (statements.isEmpty()) {
        setError(error, what + u": the schema file for the driver "_s + db.driverName() + u" is missing"_s);
        return false;
    }
    if (!db.transaction()) {
        setError(error, what + u": cannot begin a transaction: "_s + db.lastError().text());
        return false;
    }
    QSqlQuery query(db);
    for (const QString& statement : statements) {
        if (!query.exec(statement)) {
            const QString reason = query.lastError().text();
            query.finish();
            db.rollback();
            setError(error, what + u": "_s + reason + u"\nStatement: "_s + statement);
            return false;
        }
    }
    query.finish();
    if (!db.commit()) {
        const QString reason = db.lastError().text();
        db.rollback();
        setError(error, what + u": cannot commit: "_s + reason);
        return false;
    }
    setError(error, {});
    return true;
}

} // namespace

Engine engineOf(const QSqlDatabase& db)
{
    return db.driverName() == u"QPSQL"_s ? Engine::PostgreSQL : Engine::SQLite;
}

QStringList splitSqlStatements(const QString& script)
{
    QStringList statements;
    QString current;
    bool hasSql = false;
    auto finish = [&] {
        if (hasSql)
            statements << current.trimmed();
        current.clear();
        hasSql = false;
    };

    const qsizetype n = script.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = script.at(i);
        const QChar next = i + 1 < n ? script.at(i + 1) : QChar();
        if (c == u'-' && next == u'-') {
            while (i < n && script.at(i) != u'\n')
                ++i;
            continue;
        }
        if (c == u'/' && next == u'*') {
            const qsizetype end = script.indexOf(u"*/"_s, i + 2);
            i = end < 0 ? n : end + 2;
            current += u' ';
            continue;
        }
        if (c == u';') {
            // An SQLite trigger's body holds statements of its own, each ending in a semicolon,
            // up to its end.
            static const QRegularExpression triggerBody(uR"(^\s*create\s+trigger\s.*\sbegin\s)"_s,
                                                        QRegularExpression::CaseInsensitiveOption |
                                                            QRegularExpression::DotMatchesEverythingOption);
            static const QRegularExpression bodyEnd(uR"(\send\s*$)"_s,
                                                    QRegularExpression::CaseInsensitiveOption);
            if (triggerBody.match(current).hasMatch() && !bodyEnd.match(current).hasMatch()) {
                current += c;
                ++i;
                continue;
            }
            finish();
            ++i;
            continue;
        }
        qsizetype end = i + 1;
        if (c == u'\'' || c == u'"') {
            // A doubled quote inside stays part of the text.
            while (end < n) {
                if (script.at(end) == c) {
                    if (end + 1 < n && script.at(end + 1) == c) {
                        end += 2;
                        continue;
                    }
                    ++end;
                    break;
                }
                ++end;
            }
        } else if (const qsizetype tag = dollarTagLength(script, i); tag > 0) {
            const qsizetype close = script.indexOf(script.mid(i, tag), i + tag);
            end = close < 0 ? n : close + tag;
        }
        current += QStringView(script).mid(i, end - i);
        if (!c.isSpace())
            hasSql = true;
        i = end;
    }
    finish();
    return statements;
}

QStringList schemaStatements(Engine engine)
{
    return splitSqlStatements(joined(expandNetworks(loadScript(engine)), 0));
}

QStringList schemaStatements(Engine engine, int version)
{
    return splitSqlStatements(joined(expandNetworks(loadScript(engine)), version));
}

bool createSchema(QSqlDatabase db, QString* error)
{
    QStringList statements = schemaStatements(engineOf(db));
    if (!statements.isEmpty())
        statements << schemaVersionStatement(engineOf(db), LatestSchemaVersion);
    return runInTransaction(db, statements, u"Cannot create the schema"_s, error);
}

QString schemaVersionStatement(Engine engine, int version)
{
    // Who brought the version: the role the server authenticated, or the account on the
    // machine that wrote the file.
    const QString by = engine == Engine::PostgreSQL
                           ? u"session_user"_s
                           : u"'"_s + qEnvironmentVariable("USER").replace(u'\'', u"''"_s) + u"'"_s;
    return u"insert into corvan_schema(version,applied,appliedby,program) values ("_s +
           QString::number(version) + u",'"_s +
           QDateTime::currentDateTime().toString(u"yyyy-MM-dd hh:mm:ss"_s) + u"',"_s + by + u",'corvan "_s +
           QLatin1String(CORVAN_VERSION) + u"')"_s;
}

bool upgradeSchema(QSqlDatabase db, int from, const std::function<void(int)>& upgraded, QString* error)
{
    const Engine engine = engineOf(db);
    for (int version = std::max(from, 1) + 1; version <= LatestSchemaVersion; ++version) {
        QStringList statements = schemaStatements(engine, version);
        statements << schemaVersionStatement(engine, version);
        if (!runInTransaction(db, statements, u"Cannot upgrade the schema to version %1"_s.arg(version),
                              error))
            return false;
        if (upgraded)
            upgraded(version);
    }
    return true;
}

namespace {

// The journal as the development builds before version 2 made it; every other table and
// index of theirs is as version 2 makes it.
const QString DevelopmentJournal =
    u"create table corvan_journal ( discode text not null primary key, net text "
    u"not null, basecode text not null, fromroom text, toroom text, reverses text, "
    u"reversedby text, entry text not null )"_s;
const QString JournalAside = u"corvan_journal_development"_s;

QString normalised(const QString& sql)
{
    static const QRegularExpression Blanks(u"\\s+"_s);
    return sql.simplified().replace(Blanks, u" "_s).toLower();
}

// The table or index a create statement makes; empty for any other statement.
QString createdName(const QString& statement)
{
    static const QRegularExpression Create(u"^create\\s+(?:unique\\s+)?(?:table|index)\\s+(\\w+)"_s,
                                           QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = Create.match(statement.trimmed());
    return match.hasMatch() ? match.captured(1).toLower() : QString();
}

} // namespace

bool upgradeDevelopmentSchema(QSqlDatabase db, bool* known, QString* error)
{
    *known = false;
    if (engineOf(db) != Engine::SQLite)
        return true;
    QHash<QString, QString> present; // name -> its create statement, normalised
    {
        QSqlQuery query(db);
        if (!query.exec(u"select name, sql from sqlite_master where sql is not null"_s)) {
            setError(error, u"cannot read the database's catalogue: "_s + query.lastError().text());
            return false;
        }
        while (query.next())
            present.insert(query.value(0).toString().toLower(), normalised(query.value(1).toString()));
    }
    // Each of version 2's tables and indexes the database has must be exactly what a
    // development build made; the journal and its index are what every one of them had.
    const QStringList additions = schemaStatements(Engine::SQLite, 2);
    QStringList statements{u"alter table corvan_journal rename to "_s + JournalAside,
                           u"drop index ix_corvan_journal_bts"_s};
    for (const QString& statement : additions) {
        const QString name = createdName(statement);
        if (name == u"corvan_journal"_s) {
            if (present.value(name) != normalised(DevelopmentJournal))
                return true;
        } else if (name == u"ix_corvan_journal_bts"_s || name == u"corvan_province_extent"_s) {
            if (present.value(name) != normalised(statement))
                return true;
            if (name == u"corvan_province_extent"_s)
                continue;
        } else if (name == u"ix_h_btsdispatch_other_code"_s) {
            // Some development builds made it already.
            if (present.contains(name)) {
                if (present.value(name) != normalised(statement))
                    return true;
                continue;
            }
        } else if (!name.isEmpty() && present.contains(name)) {
            return true;
        }
        statements << statement;
    }
    if (present.contains(JournalAside))
        return true;
    *known = true;
    statements
        << u"insert into corvan_journal(discode,net,basecode,fromroom,toroom,reverses,reversedby,entry) "
           u"select discode,net,basecode,fromroom,toroom,reverses,reversedby,entry from "_s +
               JournalAside
        << u"drop table "_s + JournalAside << schemaVersionStatement(Engine::SQLite, 2);
    return runInTransaction(db, statements, u"Cannot upgrade the development build's schema to version 2"_s,
                            error) &&
           upgradeSchema(db, 2, {}, error);
}

bool dropSchema(QSqlDatabase db, QString* error)
{
    return runInTransaction(db, dropStatements(engineOf(db)), u"Cannot drop the schema"_s, error);
}

} // namespace corvan::host
