// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace corvan {

class mdlPubVar;

// The generator of new resource codes. With divisions.h and list_options.h it makes the
// module of lookups every window shares, mdlPubFun: each procedure takes the component's
// context, queries "systemDB" and keeps nothing between calls; a database failure is
// swallowed and answered with the procedure's fallback value.
namespace mdlPubFun {

// The text every failed NewCode falls back to.
extern const QString ZeroCode;

// A new 20-digit code: the largest numeric value of the column plus one, zero-padded.
QString NewCode(const mdlPubVar& context, const QString& table, const QString& column);
// The exact increment of a non-negative decimal integer text ("0099" gives "100").
QString incrementDecimal(const QString& digits);

} // namespace mdlPubFun

} // namespace corvan
