// SPDX-License-Identifier: MIT
#include "core/relocation/commit_steps.h"

#include "core/context/mdl_pub_var.h"
#include "core/context/sql_literal.h"
#include "corvan/controls/property_item.h"
#include "corvan/controls/property_items.h"

namespace corvan {

namespace {

// Cells in the wizard's map, and antenna and feeder rows of its grid, are keyed "K:" + ...
const QString ResourceKeyPrefix = QStringLiteral("K:");
// "K:A:" or "K:L:": the code follows the kind letter and its colon.
constexpr qsizetype LineCodeStart = 4;
constexpr qsizetype LineKindAt = 2;

} // namespace

QString CommitSteps::cellDeleteStatement(const MoveBtsState& state)
{
    const QString n = state.n();
    if (n.isEmpty())
        return {};
    QString where;
    for (const auto& [key, table] : state.cellMap) {
        Q_UNUSED(table);
        if (!where.isEmpty())
            where += QStringLiteral(" or");
        // Every condition starts with a blank, which gives the statement its two blanks
        // after "where"; the statement text is relied on letter for letter.
        where +=
            QStringLiteral(" cellcode='") + sqlText(key.mid(ResourceKeyPrefix.size())) + QLatin1Char('\'');
    }
    if (where.isEmpty())
        return {};
    return QStringLiteral("delete from res_") + n + QStringLiteral("cell where ") + where;
}

bool CommitSteps::delCellDataFromDB(const mdlPubVar& context, const MoveBtsState& state,
                                    const std::optional<QStringList>& present)
{
    if (state.cellMap.isEmpty())
        return true;
    const QString sql = cellDeleteStatement(state);
    if (sql.isEmpty())
        return false;
    return present ? context.db().execute(sql, present->size()) : context.db().execute(sql);
}

namespace {

struct LineDelete {
    bool antenna;
    QString code;
    QString sql;
};

// One deletion per antenna ("K:A:" + antcode) or feeder ("K:L:" + linecode) row of the grid.
QList<LineDelete> lineDeletes(const QString& n, const PropertyItems& lineGrid)
{
    QList<LineDelete> deletes;
    for (long i = 1; i <= lineGrid.ItemCount(); ++i) {
        const PropertyItem* item = lineGrid.GetItem(i);
        if (!item)
            continue;
        const QString& key = item->Key();
        // Group headers ("G:...") and the popup-menu holder ("P:1") name no resource.
        if (!key.startsWith(ResourceKeyPrefix))
            continue;
        const QString code = key.mid(LineCodeStart);
        const bool antenna = key.size() > LineKindAt && key.at(LineKindAt) == QLatin1Char('A');
        deletes.append({antenna, code,
                        antenna
                            ? QStringLiteral("delete from res_") + n + QStringLiteral("ant") +
                                  QStringLiteral(" where antcode='") + sqlText(code) + QLatin1Char('\'')
                            : QStringLiteral("delete from res_") + n + QStringLiteral("antline") +
                                  QStringLiteral(" where linecode='") + sqlText(code) + QLatin1Char('\'')});
    }
    return deletes;
}

} // namespace

QStringList CommitSteps::lineDeleteStatements(const MoveBtsState& state, const PropertyItems& lineGrid)
{
    const QString n = state.n();
    if (n.isEmpty())
        return {};
    QStringList statements;
    for (const LineDelete& line : lineDeletes(n, lineGrid))
        statements.append(line.sql);
    return statements;
}

bool CommitSteps::delLineDataFromDB(const mdlPubVar& context, const MoveBtsState& state,
                                    const PropertyItems& lineGrid,
                                    const std::optional<std::pair<QStringList, QStringList>>& present)
{
    // Both counts matter: a BTS may have feeders without a single antenna.
    if (state.antCount == 0 && state.lineCount == 0)
        return true;
    if (state.n().isEmpty())
        return false;
    for (const LineDelete& line : lineDeletes(state.n(), lineGrid)) {
        const bool ok =
            !present ? context.db().execute(line.sql)
                     : context.db().execute(
                           line.sql, (line.antenna ? present->first : present->second).contains(line.code));
        if (!ok)
            return false;
    }
    return true;
}

} // namespace corvan
