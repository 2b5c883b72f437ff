// SPDX-License-Identifier: MIT
#pragma once

#include <optional>

#include <QList>
#include <QString>

#include "core/relocation/move_bts_state.h"
#include "core/relocation/verdict.h"

namespace corvan {

class mdlPubVar;

// What the user typed or chose must mean what the database will make of it: a number
// field holds a number, coordinates lie on the globe (and in the province, where the
// database knows its extent), and the county is the county of the chosen room. Runs on
// the values saveBtsData collected, before the database checks.
class ValueChecks {
public:
    // Every field that fails, in field order, each with the message naming it; changes nothing.
    static QList<Verdict> all(const mdlPubVar& context, const MoveBtsState& state);
    // The first of them; ok when none fails.
    static Verdict check(const mdlPubVar& context, const MoveBtsState& state);

    struct Range {
        double min = 0;
        double max = 0;
    };
    // The longitude and latitude a field of that name may take, when it is a coordinate.
    static std::optional<Range> coordinateRange(const mdlPubVar& context, const QString& field);
    static QString extentStatement(const QString& provinceId);

private:
    // A number field of the page holds a number, whole for "int", on the globe for a coordinate.
    static Verdict checkNumber(const mdlPubVar& context, const BtsField& field);
    // The county chosen is the county of the room chosen.
    static Verdict checkCounty(const mdlPubVar& context, const MoveBtsState& state);

    static const QString NotANumber;
    static const QString NotAWholeNumber;
    static const QString OutOfRange;
    static const QString CountyMismatch;
};

} // namespace corvan
