// SPDX-License-Identifier: MIT
#pragma once

#include "core/relocation/move_bts_state.h"
#include "corvan/attr_table.h"

#include <QString>
#include <QStringList>

namespace corvan {

class mdlPubVar;

class PropertyItems;
class WizardPrompt;

// Where the options of a BTS field come from (tabledictionarynew), and the last check of
// the collected BTS values before anything is written: the target room is free, the
// required fields to modify are filled and the key fields stay unique.
class FieldRules {
public:
    // The statement that reads a field's rule.
    static QString ruleStatement(const QString& table, const QString& field);
    // The rule: getrule unchanged, else the query built from customselectrule, else empty;
    // empty on any failure, so the field then simply gets no options.
    static QString getResRule(const mdlPubVar& context, const QString& table, const QString& field,
                              const AttrTable& attr);

    // The statement that reads the key fields of the network's BTS view; empty for a letter
    // other than G, C or D.
    static QString keyFieldsStatement(const QString& net);
    // The count statement for the key fields among the "M" fields, or empty when no key
    // field is among them.
    static QString countStatement(const MoveBtsState& state, const QStringList& keys);

    // A value for a "num" or "int" column: a number goes bare, an empty value is null, and
    // anything else is a quoted literal, so a typed text can never extend the statement.
    static QString numberLiteral(const QString& value);
    // Whether a text is a plain decimal number, the only kind written bare.
    static bool isNumber(const QString& value);
    // Whether a data type is written bare.
    static bool isNumberType(const QString& type);

    struct Check {
        QString message;
        bool ok = false;
    };
    // Sets newRoomName and newRoomCode from the row "belongroom". The room check shows its
    // own message through the prompt and returns ok=false with an empty message; any other
    // refusal comes back as a message for the caller to show. A failed query stops the
    // check with the message as far as it was built (empty when nothing was found yet).
    static Check checkBtsData(const mdlPubVar& context, MoveBtsState& state, const PropertyItems& grid,
                              WizardPrompt& prompt);

    static const QString RequiredSuffix; // caption + this, one part per empty required field
    static const QString DuplicateKeys;  // the part for key values another BTS already has
    static QString roomTakenMessage(const MoveBtsState& state);
};

} // namespace corvan
