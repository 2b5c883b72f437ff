// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace corvan {

// The keys of the rows the component puts in its grids and lists. Code reads a row's meaning
// from its key (an option's code after "K:", an antenna or feeder after "K:A:" / "K:L:"), so the
// page that adds a row and the handler that reads it must spell the key alike.
namespace ItemKey {

// An option of a list property, a history list row, a track row, a cell of cellMap.
inline const QString Code = QStringLiteral("K:");
inline const QString Antenna = QStringLiteral("K:A:");
inline const QString Feeder = QStringLiteral("K:L:");
// The BTS page's groups: what must change or is cleared, and what stays.
inline const QString ModifyGroup = QStringLiteral("G:M");
inline const QString KeepGroup = QStringLiteral("G:C");
inline const QString AntennaGroup = QStringLiteral("G:ANT");
inline const QString FeederGroup = QStringLiteral("G:ANTLINE");
// The hidden holder of a grid's popup menu, and its one entry.
inline const QString Menu = QStringLiteral("P:1");
inline const QString MenuEntry = QStringLiteral("Pop1");

inline QString code(const QString& code)
{
    return Code + code;
}
// The code a key of `prefix` carries; empty when the key is not one of them.
inline QString codeOf(const QString& key, const QString& prefix = Code)
{
    return key.startsWith(prefix) ? key.mid(prefix.size()) : QString();
}

} // namespace ItemKey

} // namespace corvan
