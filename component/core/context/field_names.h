// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace corvan {

// The columns of a BTS that the component gives a meaning of its own. Each is also the key
// of its row on the BTS page, and the name the host's tables give the field; they are
// named here once, so that the page, its checks, the commit and the reversal mean the same
// field by the same word.
namespace FieldName {

inline const QString BaseCode = QStringLiteral("basecode");
inline const QString BaseNum = QStringLiteral("basenum");
inline const QString BaseName = QStringLiteral("basename");
inline const QString City = QStringLiteral("city");
inline const QString County = QStringLiteral("county");
inline const QString BelongRoom = QStringLiteral("belongroom");
inline const QString BelongBsc = QStringLiteral("belongbsc");
inline const QString Longitude = QStringLiteral("longitude");
inline const QString Latitude = QStringLiteral("latitude");
// A cell's BTS number, beside its city.
inline const QString CellBts = QStringLiteral("bts");

} // namespace FieldName

// The networks' letters, in the order of the main window's tabs. Table, view and column
// names built into SQL come from these letters only (networkName).
inline const QString NetworkLetters[3] = {QStringLiteral("G"), QStringLiteral("C"), QStringLiteral("D")};

} // namespace corvan
