// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

namespace corvan {

class OptionCache;
class PropertyItem;
class mdlPubVar;

// The lookups every window shares: new resource codes, city choice lists, the division
// lookups, and the list options of property-grid items (the rooms' are RoomLookup's). Each procedure takes
// the component's context, queries "systemDB" and keeps nothing between calls; a database failure is
// swallowed and answered with the procedure's fallback value.
namespace mdlPubFun {

// The text every failed NewCode falls back to.
extern const QString ZeroCode;
// The name every failed division lookup falls back to.
extern const QString UnknownName;
// The first entry of a city list that allows every city.
extern const QString AllCities;
// The rights function whose cities a user may see and change.
extern const QString RightFunction;

// A new 20-digit code: the largest numeric value of the column plus one, zero-padded.
QString NewCode(const mdlPubVar& context, const QString& table, const QString& column);
// The exact increment of a non-negative decimal integer text ("0099" gives "100").
QString incrementDecimal(const QString& digits);

// Fills the parallel lists of city names and identifiers of the user's province, only
// the cities the user has right "13" for, "全部" first when withAll is set.
void InitQueryCity(const mdlPubVar& context, QStringList& names, QStringList& ids, bool withAll);

QString GetCityName(const mdlPubVar& context, const QString& cityId);
QString GetCountyName(const mdlPubVar& context, const QString& countyId);
QString GetCityId(const mdlPubVar& context, const QString& cityName);

// The county options of a city.
QString cityCountiesStatement(const QString& cityId);

// Adds an option "K:" + code with the name as caption per "code,name" pair of the text;
// pairs are separated by ";" and empty pairs skipped. False at a malformed pair or a
// code the item already has; the options before it stay.
bool AddListOptions(PropertyItem* item, const QString& pairs);
// Adds one option per row of a query whose first column is the code, the second the name;
// the rows come from kept when given.
void FillListOptions(const mdlPubVar& context, PropertyItem* item, const QString& sql,
                     OptionCache* kept = nullptr);
// The code of the option whose caption is the text; the text itself for an item without
// options; empty when no option matches.
QString GetOptionCode(const PropertyItem* item, const QString& caption);

} // namespace mdlPubFun

} // namespace corvan
