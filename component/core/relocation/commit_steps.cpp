// SPDX-License-Identifier: MIT
#include "core/relocation/commit_steps.h"

#include "core/context/mdl_pub_var.h"
#include "core/context/sql_literal.h"

namespace corvan {

QString CommitSteps::cellDeleteStatement(const MoveBtsState& state)
{
    const QString n = state.tableLetter();
    if (n.isEmpty())
        return {};
    QString where;
    for (const CellTable& cell : state.cellMap) {
        if (!where.isEmpty())
            where += QStringLiteral(" or");
        // Every condition starts with a blank, which gives the statement its two blanks
        // after "where"; the statement text is relied on letter for letter.
        where += QStringLiteral(" cellcode='") + sqlText(cell.cellcode) + QLatin1Char('\'');
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

QString CommitSteps::lineDeleteStatement(const QString& n, const LineEntry& line)
{
    if (line.kind == LineEntry::Kind::Antenna)
        return QStringLiteral("delete from res_") + n + QStringLiteral("ant") +
               QStringLiteral(" where antcode='") + sqlText(line.code) + QLatin1Char('\'');
    return QStringLiteral("delete from res_") + n + QStringLiteral("antline") +
           QStringLiteral(" where linecode='") + sqlText(line.code) + QLatin1Char('\'');
}

QStringList CommitSteps::lineDeleteStatements(const MoveBtsState& state)
{
    const QString n = state.tableLetter();
    if (n.isEmpty())
        return {};
    QStringList statements;
    for (const LineEntry& line : state.lineList)
        statements.append(lineDeleteStatement(n, line));
    return statements;
}

bool CommitSteps::delLineDataFromDB(const mdlPubVar& context, const MoveBtsState& state,
                                    const std::optional<std::pair<QStringList, QStringList>>& present)
{
    // Both counts matter: a BTS may have feeders without a single antenna.
    if (state.antCount == 0 && state.lineCount == 0)
        return true;
    const QString n = state.tableLetter();
    if (n.isEmpty())
        return false;
    for (const LineEntry& line : state.lineList) {
        const QString sql = lineDeleteStatement(n, line);
        const QStringList* codes =
            present ? (line.kind == LineEntry::Kind::Antenna ? &present->first : &present->second) : nullptr;
        if (!(codes ? context.db().execute(sql, codes->contains(line.code)) : context.db().execute(sql)))
            return false;
    }
    return true;
}

} // namespace corvan
