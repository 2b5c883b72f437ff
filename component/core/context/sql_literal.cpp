// SPDX-License-Identifier: MIT
#include "core/context/sql_literal.h"

#include "core/context/field_names.h"

namespace corvan {

QString sqlText(const QString& value)
{
    QString quoted = value;
    quoted.replace(QLatin1Char('\''), QLatin1String("''"));
    return quoted;
}

QString sqlTextList(const QStringList& values)
{
    QStringList quoted;
    quoted.reserve(values.size());
    for (const QString& value : values)
        quoted << QLatin1Char('\'') + sqlText(value) + QLatin1Char('\'');
    return quoted.join(QLatin1Char(','));
}

QString sqlValue(const QString& value)
{
    return value.isNull() ? QStringLiteral("null") : QLatin1Char('\'') + sqlText(value) + QLatin1Char('\'');
}

QString sqlWithValues(const QString& sql, const QStringList& values)
{
    QString text;
    qsizetype length = sql.size();
    for (const QString& value : values)
        length += value.size() + 2;
    text.reserve(length);
    bool quoted = false;
    qsizetype next = 0;
    for (const QChar c : sql) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        if (c == QLatin1Char('?') && !quoted && next < values.size())
            text += sqlValue(values.at(next++));
        else
            text += c;
    }
    return text;
}

QString sqlBareId(const QString& value)
{
    bool digitsOnly = !value.isEmpty();
    for (const QChar c : value)
        digitsOnly = digitsOnly && c >= QLatin1Char('0') && c <= QLatin1Char('9');
    if (digitsOnly)
        return value;
    return QLatin1Char('\'') + sqlText(value) + QLatin1Char('\'');
}

QString sqlName(const QString& name)
{
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString networkName(const QString& net)
{
    const QString upper = net.toUpper();
    for (const QString& letter : NetworkLetters)
        if (upper == letter)
            return upper.toLower();
    return {};
}

} // namespace corvan
