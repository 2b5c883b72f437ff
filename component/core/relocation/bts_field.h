// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QString>

#include "corvan/attr_table.h"

namespace corvan {

// What a relocation does with a field of the BTS, as the operator's option rows for the
// network say. The value is the letter that stands for it in those rules.
enum class Disposition : char {
    Modify = 'M',    // must get a new value: an editable row of the group to modify
    Remove = 'R',    // cleared: a read-only row of that group that says so
    Keep = 'C',      // stays as it is: a read-only row of the group kept
    NoDisplay = 'N', // not shown, stays as it is
    Other = 'O',     // named by any other row of the network: not shown, stays
    Never = '\0',    // never shown (the host hides it, or it is a picture), never written
};

// One field of the BTS page: what the host's table says of it, what the rules make of it,
// and, once the user leaves the page, the value to write and the text the user saw for it.
struct BtsField {
    QString name; // the column, and the key of its row on the page
    QString caption;
    QString type;  // "char", "custom", "num", "int", "date", "pic"
    QString shown; // the value as the host showed it before the move
    bool displayed = false;
    bool required = false;
    Disposition disposition = Disposition::Never;

    // Set each time the page is left.
    QString value;       // what the commit writes: for a list, the chosen option's code
    QString text;        // what the user saw for that value: the option's caption
    bool onPage = false; // the page had a row for it
    bool listed = false; // that row offered options

    // On the page for the user to fill in or clear.
    bool edited() const { return disposition == Disposition::Modify || disposition == Disposition::Remove; }
    // Written to the BTS row: every field cleared, every field modified that the host
    // shows; never the code that names the row.
    bool written() const;
    // Written bare (or as null when empty) rather than between quotes.
    bool isNumber() const;

    bool operator==(const BtsField&) const = default;
};

// The BTS page's fields, in the order of the host's table: built once by the page, then
// read by everything that checks, summarises, writes or moves the BTS.
class BtsFields {
public:
    BtsFields() = default;
    // Every field of the table, none disposed yet.
    explicit BtsFields(const AttrTable& table);

    // The first field of that name (a name the table lists twice is one row on the page).
    const BtsField* find(const QString& name) const;
    // Never for a name that is not among the fields.
    Disposition dispositionOf(const QString& name) const;
    // The value the host showed; empty for a name that is not among the fields.
    QString shownOf(const QString& name) const;

    qsizetype size() const { return m_fields.size(); }
    bool isEmpty() const { return m_fields.isEmpty(); }
    BtsField& operator[](qsizetype i) { return m_fields[i]; }
    const BtsField& at(qsizetype i) const { return m_fields.at(i); }
    QList<BtsField>::iterator begin() { return m_fields.begin(); }
    QList<BtsField>::iterator end() { return m_fields.end(); }
    QList<BtsField>::const_iterator begin() const { return m_fields.begin(); }
    QList<BtsField>::const_iterator end() const { return m_fields.end(); }

    bool operator==(const BtsFields&) const = default;

private:
    QList<BtsField> m_fields;
};

} // namespace corvan
