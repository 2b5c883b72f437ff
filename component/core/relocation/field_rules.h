// SPDX-License-Identifier: MIT
#pragma once

#include "core/relocation/move_bts_state.h"
#include "core/relocation/verdict.h"

#include <optional>

#include <QString>
#include <QStringList>

namespace corvan {

class mdlPubVar;

// Where the options of a BTS field come from (tabledictionarynew), and the last check of
// the collected BTS values before anything is written: the target room is free, the
// required fields to modify are filled and the key fields stay unique.
class FieldRules {
public:
    // The statement that reads a field's rule.
    static QString ruleStatement(const QString& table, const QString& field);
    // The rule: getrule unchanged, else the query built from customselectrule (filtered by
    // the value a field of the BTS has now), else empty; empty on any failure, so the
    // field then simply gets no options.
    static QString getResRule(const mdlPubVar& context, const QString& table, const QString& field,
                              const BtsFields& fields);

    // The statement that reads the key fields of the network's BTS view; empty for a letter
    // other than G, C or D.
    static QString keyFieldsStatement(const QString& net);
    // The count statement for the key fields among the fields to modify, or empty when no
    // key field is among them.
    static QString countStatement(const MoveBtsState& state, const QStringList& keys);

    // A value for a "num" or "int" column: a number goes bare, an empty value is null, and
    // anything else is a quoted literal, so a typed text can never extend the statement.
    static QString numberLiteral(const QString& value);
    // Whether a text is a plain decimal number, the only kind written bare.
    static bool isNumber(const QString& value);

    // The check of the values collected from the page (newRoomName and newRoomCode among
    // them): the target room holds no BTS of the network, then the required fields to
    // modify, then the key values. A query that fails refuses with the message as far as
    // it was built (none when nothing was found yet). Changes nothing.
    static Verdict checkBtsData(const mdlPubVar& context, const MoveBtsState& state);

    static const QString RequiredSuffix; // caption + this, one part per empty required field
    static const QString DuplicateKeys;  // the part for key values another BTS already has
    static QString roomTakenMessage(const MoveBtsState& state);

private:
    static Verdict checkRoom(const mdlPubVar& context, const MoveBtsState& state);
    // The key fields of the network's view; nothing when they cannot be read.
    static std::optional<QStringList> keyFields(const mdlPubVar& context, const QString& net);
};

} // namespace corvan
