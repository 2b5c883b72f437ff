// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include "core/relocation/bts_field.h"
#include "corvan/attr_table.h"

namespace corvan {

class mdlPubVar;

// One row of a relocation plan as the file has it: the sheet's row number (from 1, as the
// spreadsheet shows it) and each column's text, blanks trimmed, by column key.
struct PlanRow {
    int line = 0;
    QMap<QString, QString> values;
    QString value(const QString& key) const { return values.value(key); }
};

// A column of a plan: its key (one of the plan's own below, or a field name of the BTS
// page), the heading the template writes, the headings it is also read by, what it takes,
// and the values offered as a drop-down list.
struct PlanColumn {
    QString key;
    QString heading;
    QStringList aliases;
    QString help;
    QStringList choices;
    bool required = false;
};

// The columns of a relocation plan for the networks of a database: the plan's own (network,
// city, BTS number, target room by number or by name) and one per field that any network's
// rules mark "must change", headed by the host's captions.
class PlanColumns {
public:
    static const QString Net;
    static const QString City;
    static const QString Number;
    static const QString RoomNumber;
    static const QString RoomName;
    static const QStringList Networks;

    // From the rules of each network and the attribute table of one of its BTSs (which gives
    // the captions, types and flags); a network without a BTS brings no column.
    static PlanColumns of(const mdlPubVar& context);
    // The same from the fields given, disposed by their network's rules: network letter ->
    // the BTS page's fields.
    static PlanColumns of(const QMap<QString, BtsFields>& networks);

    const QList<PlanColumn>& columns() const { return m_columns; }
    const PlanColumn* column(const QString& key) const;
    // The networks whose rules ask for a field: "G、C".
    QString networksOf(const QString& key) const { return m_networks.value(key).join(QStringLiteral("、")); }
    // Whether a row of that network takes a value in that column: the plan's own columns
    // every row, a field's column the networks whose rules ask for it.
    bool takes(const QString& key, const QString& net) const
    {
        return !m_networks.contains(key) || m_networks.value(key).contains(net);
    }

    // A sheet of texts as plan rows: its first row the headings, matched by heading; every
    // non-empty row after it a row of the plan. False with one line why: a heading no column
    // has, a column the plan needs missing, a text under no heading, more rows than a plan
    // may hold.
    bool read(const QList<QStringList>& sheet, QList<PlanRow>* rows, QString* error) const;

    static constexpr int MaxRows = 20000;

private:
    QList<PlanColumn> m_columns;
    QMap<QString, QStringList> m_networks;
};

} // namespace corvan
