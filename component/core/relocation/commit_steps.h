// SPDX-License-Identifier: MIT
#pragma once

#include "core/relocation/move_bts_state.h"

#include <optional>
#include <utility>

#include <QString>
#include <QStringList>

namespace corvan {

class mdlPubVar;

// The commit's deletions: a relocated BTS leaves its cells, and the antennas and feeders
// of those cells, behind in no room, so the commit removes them and the user enters them
// again in the resource maintenance. Each step runs its statements through the host's
// "systemDB" and reports success; the caller decides what a failure means for the rest.
class CommitSteps {
public:
    // One statement for every cell loaded when the wizard opened:
    // "delete from res_" + n + "cell where " + " cellcode='A' or cellcode='B'". Empty when
    // no cell was loaded or the network letter is not G, C or D.
    static QString cellDeleteStatement(const MoveBtsState& state);
    // True without a statement when no cell was loaded; otherwise whether the delete ran and,
    // where the codes still present are known, deleted exactly those.
    static bool delCellDataFromDB(const mdlPubVar& context, const MoveBtsState& state,
                                  const std::optional<QStringList>& present = std::nullopt);

    // One statement per antenna, then per feeder loaded, in load order. Empty for a network
    // letter other than G, C or D.
    static QStringList lineDeleteStatements(const MoveBtsState& state);
    // True without a statement when neither antennas nor feeders were loaded; otherwise runs
    // the statements in order and stops with false at the first that fails.
    // With the codes still present (antennas, feeders), each statement must delete its row
    // when it is present and nothing when it is not.
    static bool
    delLineDataFromDB(const mdlPubVar& context, const MoveBtsState& state,
                      const std::optional<std::pair<QStringList, QStringList>>& present = std::nullopt);

private:
    static QString lineDeleteStatement(const QString& n, const LineEntry& line);
};

} // namespace corvan
