// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace corvan::host {

// A text as an SQL literal of either engine: between single quotes, embedded quotes doubled.
inline QString sqlQuoted(const QString& text)
{
    QString doubled = text;
    doubled.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + doubled + QLatin1Char('\'');
}

} // namespace corvan::host
