// SPDX-License-Identifier: MIT
#include "data/sql_trace.h"

#include "data/sql_quote.h"

namespace corvan::host {

namespace {

QLatin1String callName(SqlTrace::Call call)
{
    switch (call) {
    case SqlTrace::Call::Open:
        return QLatin1String("OPEN");
    case SqlTrace::Call::Exec:
        return QLatin1String("EXEC");
    case SqlTrace::Call::Begin:
        return QLatin1String("BEGIN");
    case SqlTrace::Call::Commit:
        return QLatin1String("COMMIT");
    case SqlTrace::Call::Rollback:
        return QLatin1String("ROLLBACK");
    case SqlTrace::Call::Connect:
        return QLatin1String("CONNECT");
    }
    return QLatin1String("?");
}

} // namespace

bool SqlTrace::setFile(const QString& path, QString* error)
{
    if (m_file.isOpen())
        m_file.close();
    if (path.isEmpty())
        return true;
    m_file.setFileName(path);
    // The statements name rooms, BTSs and people: a new trace is for its owner's eyes only.
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append,
                     QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        if (error)
            *error = QStringLiteral("cannot open the trace file %1: %2").arg(path, m_file.errorString());
        return false;
    }
    // A file that was there already keeps its mode when appended to; it gets the same
    // owner-only mode as a new one, or nothing is traced into it.
    if (!m_file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        if (error)
            *error = QStringLiteral("cannot make the trace file %1 readable by its owner only: %2")
                         .arg(path, m_file.errorString());
        m_file.close();
        return false;
    }
    return true;
}

QString SqlTrace::bound(const QString& statement, const QStringList& values)
{
    QStringList literals;
    literals.reserve(values.size());
    for (const QString& value : values)
        literals << (value.isNull() ? QStringLiteral("null") : sqlQuoted(value));
    return statement + QStringLiteral(" -- ") + literals.join(QLatin1Char(','));
}

QString SqlTrace::escape(const QString& statement)
{
    QString text;
    text.reserve(statement.size() + 8);
    for (const QChar c : statement) {
        switch (c.unicode()) {
        case u'\\':
            text += QLatin1String("\\\\");
            break;
        case u'\t':
            text += QLatin1String("\\t");
            break;
        case u'\r':
            text += QLatin1String("\\r");
            break;
        case u'\n':
            text += QLatin1String("\\n");
            break;
        default:
            text += c;
        }
    }
    return text;
}

QString SqlTrace::line(Call call, bool ok, qint64 rows, const QString& statement)
{
    return callName(call) + QLatin1Char('\t') + (ok ? QLatin1String("ok") : QLatin1String("fail")) +
           QLatin1Char('\t') + (rows < 0 ? QStringLiteral("-") : QString::number(rows)) + QLatin1Char('\t') +
           escape(statement) + QLatin1Char('\n');
}

void SqlTrace::write(Call call, bool ok, qint64 rows, const QString& statement)
{
    if (!m_file.isOpen())
        return;
    m_file.write(line(call, ok, rows, statement).toUtf8());
    m_file.flush();
}

} // namespace corvan::host
