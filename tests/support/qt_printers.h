// SPDX-License-Identifier: MIT
#pragma once

// Readable failure messages: GoogleTest prints Qt strings as text, not as bytes.

#include <ostream>

#include <QRectF>
#include <QString>
#include <QVariant>

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QVariant& value, std::ostream* os)
{
    *os << "QVariant(" << value.typeName() << ", \"" << value.toString().toStdString() << "\")";
}

inline void PrintTo(const QRectF& r, std::ostream* os)
{
    *os << "QRectF(" << r.x() << ", " << r.y() << " " << r.width() << "x" << r.height() << ")";
}
