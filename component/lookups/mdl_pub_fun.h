// SPDX-License-Identifier: MIT
#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

class QComboBox;
class QTreeWidgetItem;

namespace corvan {

class PropertyItem;

// The procedures that several windows share: new resource codes, city choice lists,
// division and room lookups, and the list options of property-grid items. Each takes
// plain values, queries the host's "systemDB" and keeps nothing between calls. A
// database failure is swallowed and answered with the procedure's fallback value.
namespace mdlPubFun {

// The text every failed NewCode falls back to.
extern const QString ZeroCode;
// The name every failed division lookup falls back to.
extern const QString UnknownName;
// The first entry of a city list that allows every city.
extern const QString AllCities;

// A new 20-digit code: the largest numeric value of the column plus one, zero-padded.
QString NewCode(const QString& table, const QString& column);

// Fills the parallel lists of city names and identifiers of the user's province, only
// the cities the user has right "13" for, "全部" first when withAll is set.
void InitQueryCity(QStringList& names, QStringList& ids, bool withAll);
// The same into a visible name list and its hidden companion; selects the first entry.
void InitQueryCity(QComboBox* names, QComboBox* ids, bool withAll);

QString GetCityName(const QString& cityId);
QString GetCountyName(const QString& countyId);
QString GetCityId(const QString& cityName);
QString GetRoomCodeByName(const QString& city, const QString& roomName);
QString GetRoomName(const QString& roomCode);
QString GetBtsRoomCode(const QString& net, const QString& city, const QString& btsName);

// Whether a tree's node collection (node key → node) has the key.
bool NodeExists(const QHash<QString, QTreeWidgetItem*>& nodes, const QString& key);

// Adds an option "K:" + code with the name as caption per "code,name" pair of the text;
// pairs are separated by ";" and empty pairs skipped. False at a malformed pair or a
// code the item already has; the options before it stay.
bool AddListOptions(PropertyItem* item, const QString& pairs);
// Adds one option per row of a query whose first column is the code, the second the name.
void FillListOptions(PropertyItem* item, const QString& sql);
// The code of the option whose caption is the text; the text itself for an item without
// options; empty when no option matches.
QString GetOptionCode(const PropertyItem* item, const QString& caption);

// The exact increment of a non-negative decimal integer text ("0099" gives "100").
QString incrementDecimal(const QString& digits);

} // namespace mdlPubFun

} // namespace corvan
