// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

namespace corvan {

// Every value placed between single quotes in a statement goes through here: embedded
// quotes are doubled, so a value is stored exactly as typed and can never end the
// literal early. The caller writes the surrounding quotes, so ordinary values give
// exactly the usual statement texts.
QString sqlText(const QString& value);

// Values for an in (...) list: each between single quotes as sqlText makes it, joined by commas.
QString sqlTextList(const QStringList& values);
// The most values one in (...) list of ours names: a statement stays short enough for either
// engine to plan quickly, and a long list goes in several.
inline constexpr qsizetype SqlListLimit = 500;

// A value as a literal: null for a null text, else quoted as sqlText quotes it.
QString sqlValue(const QString& value);
// The statement of a bound write with its values written in: each "?" outside a quoted text
// becomes the next value as sqlValue writes it. What a host that cannot bind values is sent,
// and what a trace shows after a bound statement.
QString sqlWithValues(const QString& sql, const QStringList& values);

// An identifier that statements compare bare (city_id = 12). A plain number is sent
// as it is; anything else is sent as a quoted literal, so it can neither break nor
// extend the statement.
QString sqlBareId(const QString& value);

// A name read from a live table (a column of a journal entry written back) as both
// engines take it: between double quotes, embedded double quotes doubled, its case kept,
// so that a name like group or "CellRemark" can neither break the statement nor name
// another column.
QString sqlName(const QString& name);

// The network letter in lower case for table, view and column names, or an empty text
// when the letter is not G, C or D: names built into SQL come from those letters only.
QString networkName(const QString& net);

} // namespace corvan
