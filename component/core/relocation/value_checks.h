// SPDX-License-Identifier: MIT
#pragma once

#include <optional>

#include <QString>

#include "core/relocation/move_bts_state.h"

namespace corvan {

class PropertyItems;
class mdlPubVar;

// What the user typed or chose must mean what the database will make of it: a number
// field holds a number, coordinates lie on the globe (and in the province, where the
// database knows its extent), and the county is the county of the chosen room. Runs on
// the values saveBtsData collected, before the database checks.
class ValueChecks {
public:
    // The message naming the first field that fails, or empty when every value holds.
    static QString check(const mdlPubVar& context, const MoveBtsState& state, const PropertyItems& grid);

    struct Range {
        double min = 0;
        double max = 0;
    };
    // The longitude and latitude a field of that name may take, when it is a coordinate.
    static std::optional<Range> coordinateRange(const mdlPubVar& context, const QString& field);
    static QString extentStatement(const QString& provinceId);

    static const QString NotANumber;
    static const QString NotAWholeNumber;
    static const QString OutOfRange;
    static const QString CountyMismatch;
};

} // namespace corvan
