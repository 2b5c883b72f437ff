// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace corvan {

// One row of a change summary: what a finish page or a reversal's preview shows in four
// columns, and what the relocation record keeps of it. A relocation, a room move, a
// reversal and a plan's reversal all hand these on from the session to the record and
// the windows.
struct SummaryRow {
    enum class Kind {
        Title,   // the first row; its text in caption
        Band,    // the empty row that opens a section
        Bts,     // a BTS attribute whose text changes
        Room,    // a room's network column, which a reversal changes back
        Cell,    // a cell deleted or restored, by its CI
        Antenna, // an antenna deleted or restored, under its cell
        Feeder,  // a feeder deleted or restored, under its cell
    };
    // What becomes of a cell, antenna or feeder; an attribute or a room is changed.
    enum class Action { Change, Delete, Restore };

    Kind kind = Kind::Band;
    QString caption; // the attribute's caption, the resource's place, or the title
    QString before;  // the text shown before
    QString after;   // the text after a change; empty for a deletion or restoration
    Action action = Action::Change;

    static SummaryRow title(const QString& text);
    static SummaryRow band();
    static SummaryRow change(Kind kind, const QString& caption, const QString& before, const QString& after);
    // A cell by its CI; an antenna or feeder (kind) by its label under its cell's CI.
    static SummaryRow cell(const QString& ci, Action action);
    static SummaryRow line(Kind kind, const QString& ci, const QString& label, Action action);

    bool isBand() const { return kind == Kind::Band; }
    // The four texts of the row as the sheet shows them: the kind's word ("BTS", "CELL",
    // "天线", "馈线", "机房"), the caption, the text before and the text after or the action's
    // word ("删除", "恢复"). A title shows its text in the first column, a band nothing.
    QStringList texts() const;

    bool operator==(const SummaryRow&) const = default;

    // The words of the first and the last column.
    static const QString BtsWord;
    static const QString CellWord;
    static const QString AntennaWord;
    static const QString FeederWord;
    static const QString RoomWord;
    static const QString DeleteWord;
    static const QString RestoreWord;
};

using SummaryRows = QList<SummaryRow>;

// Every row's four texts, in order: what a sheet of the summary holds.
QList<QStringList> summaryTexts(const SummaryRows& rows);

} // namespace corvan
