// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace corvan {

class OptionCache;
class PropertyItem;
class mdlPubVar;

// The list options of a property-grid item, in the shared module mdlPubFun (codes.h):
// filled from a text of pairs or from a query, and a chosen caption's code read back. The
// rooms' options are RoomLookup's.
namespace mdlPubFun {

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
