// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

namespace corvan {

class mdlPubVar;

// The division lookups of the shared module mdlPubFun (codes.h): the user's cities, and
// the names and codes of cities and counties. A failed lookup answers UnknownName.
namespace mdlPubFun {

// The name every failed division lookup falls back to.
extern const QString UnknownName;
// The first entry of a city list that allows every city.
extern const QString AllCities;
// The rights function whose cities a user may see and change.
extern const QString RightFunction;

// Fills the parallel lists of city names and identifiers of the user's province, only
// the cities the user has right "13" for, "全部" first when withAll is set.
void InitQueryCity(const mdlPubVar& context, QStringList& names, QStringList& ids, bool withAll);

QString GetCityName(const mdlPubVar& context, const QString& cityId);
QString GetCountyName(const mdlPubVar& context, const QString& countyId);
QString GetCityId(const mdlPubVar& context, const QString& cityName);

// The county options of a city.
QString cityCountiesStatement(const QString& cityId);

} // namespace mdlPubFun

} // namespace corvan
