// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include "core/context/mdl_pub_var.h"
#include "core/context/option_lists.h"
#include "core/plan/plan_columns.h"
#include "core/plan/plan_conflicts.h"
#include "core/relocation/relocation_commit.h"

namespace corvan {

class PlanReads;
class PlanSnapshot;

// What the check found for one row of a plan, and what applying it wrote.
struct PlanRowResult {
    int line = 0;     // the sheet's row number
    QString net;      // as the row names it
    QString bts;      // number and name
    QString fromRoom; // the room it stands in
    QString toRoom;   // the target room
    QString verdict;  // Passes, or why not
    int cells = 0;    // what its relocation deletes
    int antennas = 0;
    int feeders = 0;
    QString record; // the record written, once applied
    bool passed() const;
};

// The file a plan came from, kept with the plan when it is applied.
struct PlanSource {
    QString title;
    QString fileName;
    QString checksum; // SHA-256 of the file's bytes, hex
};

// A relocation plan: rows read from a sheet of texts, each a relocation exactly as the
// wizard makes it (the same page built from the BTS's attribute table, the same values
// entered, the same checks at Next, the same statements in order, the same record and
// journal entry), checked as a whole before anything is written and applied in one commit.
//
// The check writes nothing and locks nothing: it reads the plan's BTSs, rooms, cells and
// lines in a few statements (PlanSnapshot), then runs the rows in their order through the
// wizard's page, checks and re-checks against what it read, each passing row's relocation
// taken into account for the rows after it (a room an earlier row freed is free). What only
// a plan can get wrong (the same BTS twice, two BTSs of a network into one room, rooms taken
// each from the other) is refused before. Applying writes the plan and the checked
// relocations in one transaction, each re-checked as the wizard's Commit re-checks; any
// failure (the server's own rules included) writes nothing and names the row, the BTS and
// the step.
class PlanRun {
public:
    using Progress = std::function<bool(int done, int total)>; // false stops the work

    explicit PlanRun(const mdlPubVar& context);
    ~PlanRun();
    PlanRun(const PlanRun&) = delete;
    PlanRun& operator=(const PlanRun&) = delete;

    // The plan's rows from a sheet of texts (first row the headings). False with one line
    // why; nothing is checked then.
    bool load(const QList<QStringList>& sheet, QString* error);
    const PlanColumns& columns() const { return m_columns; }
    int rowCount() const { return int(m_rows.size()); }

    // Checks every row, in order. Done when every row passes; Refused when some row does not
    // (results() says which and why); Busy when another user holds the database; Failed when
    // the check could not be made (message).
    CommitOutcome check(const Progress& progress = {});
    // Checks by writing each row inside a transaction that is rolled back, as the wizard's
    // Commit would, instead of in memory: slower and it holds the rows' cities while it
    // runs, but it is what the check in memory must always agree with.
    void setRehearsal(bool rehearse) { m_rehearse = rehearse; }
    // Checks for a reviewer, who reads what the rows would do: whose right it is to relocate
    // in their cities is asked of whoever applies them, so it is left out. Nothing is applied
    // from such a check.
    void setReviewing(bool reviewing) { m_reviewing = reviewing; }
    // Statements the last check sent to the database.
    int checkStatements() const { return m_checkStatements; }
    // Applies a plan whose last check passed every row. Done with the plan's code in
    // recordCode; anything else writes nothing and its message names the row, BTS and step.
    CommitOutcome apply(const PlanSource& source, const Progress& progress = {});

    // Whether the last check passed every row (and nothing was applied since).
    bool passed() const { return m_checked; }
    // The cities the checked rows touch, each BTS's and each target room's, in order.
    QStringList cities() const;
    // A write of the apply's own transaction, made right after the plan's row (whose code it is
    // given): false undoes the apply, with the database's words.
    using PlanWritten = std::function<bool(const QString& planCode)>;
    void setPlanWritten(PlanWritten written) { m_planWritten = std::move(written); }

    const QList<PlanRowResult>& results() const { return m_results; }
    struct Totals {
        int rows = 0;
        int passed = 0;
        int cells = 0;
        int antennas = 0;
        int feeders = 0;
    };
    Totals totals() const;
    // The same of any rows' results: what passed, and what the passing rows delete.
    static Totals totalsOf(const QList<PlanRowResult>& results);

    // The message of a successful apply: "计划执行成功：调整基站 N 个" and the re-entry reminder.
    static QString successMessage(int relocated);
    static const QString Passes;
    static const QString NoTransactions;
    static const QString UndoneMessage;
    static const QString NotChecked;
    static const QString Stopped;

private:
    struct Row;
    struct CityRoom {
        QString code; // trimmed, as are the holders
        QString name;
        QString number;
        QString holders[3]; // each network's column, in the order of NetworkLetters
    };
    // The rooms of a city, read the first time a row of the check names it: a row's target
    // room is found among them by number or name, so that a plan reads each city once, not
    // once per row.
    struct CityRoomList {
        QList<CityRoom> rooms;
        QMultiHash<QString, qsizetype> byNumber; // as the database holds them, untrimmed
        QMultiHash<QString, qsizetype> byName;
    };
    const CityRoomList* cityRooms(const QString& cityId, QString* error);
    // The row's BTS and its target room found, or the row refused saying why.
    bool resolve(Row& row);
    bool resolveBts(Row& row, QString* cityName);
    bool resolveTarget(Row& row, const QString& cityName);
    QString heading(const QString& key) const;
    // The row run through the wizard's page and checks; then either written (a rehearsal)
    // or taken into the snapshot.
    void runRow(Row& row);
    void resetRow(Row& row);
    void resolveAll(QList<PlanConflicts::Move>* moves, QList<qsizetype>* movers);
    CommitOutcome checkInMemory(const Progress& progress);
    CommitOutcome checkByRehearsal(const Progress& progress);
    CommitOutcome finishCheck(CommitOutcome outcome);
    bool enterValues(Row& row);
    CommitOutcome writeRow(Row& row, const JournalPlanRow& plan);
    // A transaction that locks the cities of the rows: each BTS's and each target room's.
    CommitOutcome begin();

    const mdlPubVar& m_context;
    std::unique_ptr<PlanReads> m_reads;
    mdlPubVar m_rowContext;
    // The option lists its rows' pages share.
    OptionCache m_optionLists;
    PlanColumns m_columns;
    std::vector<std::unique_ptr<Row>> m_rows;
    QList<PlanRowResult> m_results;
    QHash<QString, CityRoomList> m_cityRooms;
    std::unique_ptr<PlanSnapshot> m_snapshot; // while a check in memory runs
    bool m_checked = false;
    PlanWritten m_planWritten;
    bool m_rehearse = false;
    bool m_reviewing = false;
    int m_checkStatements = 0;
};

} // namespace corvan
