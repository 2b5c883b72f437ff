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

bool CommitSteps::delCellDataFromDB(const mdlPubVar& context, const MoveBtsState& state)
{
    if (state.cellMap.isEmpty())
        return true;
    const QString sql = cellDeleteStatement(state);
    if (sql.isEmpty())
        return false;
    return context.db().execute(sql);
}

QStringList CommitSteps::lineDeleteStatements(const MoveBtsState& state, const PropertyItems& lineGrid)
{
    const QString n = state.n();
    if (n.isEmpty())
        return {};
    QStringList statements;
    for (long i = 1; i <= lineGrid.ItemCount(); ++i) {
        const PropertyItem* item = lineGrid.GetItem(i);
        if (!item)
            continue;
        const QString& key = item->Key();
        // Group headers ("G:...") and the popup-menu holder ("P:1") name no resource.
        if (!key.startsWith(ResourceKeyPrefix))
            continue;
        const QString code = sqlText(key.mid(LineCodeStart));
        if (key.size() > LineKindAt && key.at(LineKindAt) == QLatin1Char('A'))
            statements.append(QStringLiteral("delete from res_") + n + QStringLiteral("ant") +
                              QStringLiteral(" where antcode='") + code + QLatin1Char('\''));
        else
            statements.append(QStringLiteral("delete from res_") + n + QStringLiteral("antline") +
                              QStringLiteral(" where linecode='") + code + QLatin1Char('\''));
    }
    return statements;
}

bool CommitSteps::delLineDataFromDB(const mdlPubVar& context, const MoveBtsState& state,
                                    const PropertyItems& lineGrid)
{
    // Both counts matter: a BTS may have feeders without a single antenna.
    if (state.antCount == 0 && state.lineCount == 0)
        return true;
    if (state.n().isEmpty())
        return false;
    const QStringList statements = lineDeleteStatements(state, lineGrid);
    for (const QString& sql : statements) {
        if (!context.db().execute(sql))
            return false;
    }
    return true;
}

} // namespace corvan
