// SPDX-License-Identifier: MIT
#include "core/relocation/change_summary.h"

#include "core/context/divisions.h"
#include "core/context/field_names.h"

namespace corvan {

namespace {

using Kind = SummaryRow::Kind;

// Only blanks count: a tab or a full-width space is part of the text the user typed.
QString trimBlanks(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == QLatin1Char(' '))
        ++begin;
    while (end > begin && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return text.mid(begin, end - begin);
}

} // namespace

QString ChangeSummary::title(const mdlPubVar& context, const MoveBtsState& state)
{
    return mdlPubFun::GetCityName(context, state.cityCode) + QLatin1Char(' ') + state.net +
           QStringLiteral("网基站: ") + state.oldRoomValue + QStringLiteral(" 调整记录");
}

SummaryRows ChangeSummary::rows(const mdlPubVar& context, const MoveBtsState& state)
{
    SummaryRows rows;
    rows << SummaryRow::title(title(context, state));
    rows << SummaryRow::band();
    rows << btsRows(state);
    if (state.cellCount != 0)
        rows << SummaryRow::band() << cellRows(state);
    if (state.antCount != 0 || state.lineCount != 0)
        rows << SummaryRow::band() << lineRows(state);
    return rows;
}

SummaryRows ChangeSummary::btsRows(const MoveBtsState& state)
{
    SummaryRows rows;
    for (const BtsField& field : state.fields) {
        // The city and the room as the user chose them; every other field as the commit
        // leaves it, in the words the user saw.
        const QString changed = field.name == FieldName::City         ? state.newCityName
                                : field.name == FieldName::BelongRoom ? state.newRoomName
                                                                      : field.text;
        if (trimBlanks(changed) != trimBlanks(field.shown))
            rows << SummaryRow::change(Kind::Bts, field.caption, field.shown, changed);
    }
    return rows;
}

SummaryRows ChangeSummary::cellRows(const MoveBtsState& state)
{
    SummaryRows rows;
    for (const CellTable& loaded : state.cellMap) {
        QString ci;
        for (const CellEntry& cell : state.cellList) {
            if (cell.cellcode == loaded.cellcode) {
                ci = cell.ci;
                break;
            }
        }
        rows << SummaryRow::cell(ci, SummaryRow::Action::Delete);
    }
    return rows;
}

SummaryRows ChangeSummary::lineRows(const MoveBtsState& state)
{
    SummaryRows rows;
    // The counts are those of the entries listed; an entry past them is not deleted.
    const qsizetype count =
        qMin(qsizetype(state.antCount) + qsizetype(state.lineCount), state.lineList.size());
    for (qsizetype k = 0; k < count; ++k) {
        const LineEntry& entry = state.lineList.at(k);
        rows << SummaryRow::line(entry.kind == LineEntry::Kind::Antenna ? Kind::Antenna : Kind::Feeder,
                                 entry.ci, trimBlanks(entry.label), SummaryRow::Action::Delete);
    }
    return rows;
}

QString ChangeSummary::deletionTotals(const SummaryRows& rows)
{
    int counts[3] = {};
    const Kind kinds[3] = {Kind::Cell, Kind::Antenna, Kind::Feeder};
    for (const SummaryRow& row : rows)
        for (int k = 0; k < 3; ++k)
            if (row.kind == kinds[k] && row.action == SummaryRow::Action::Delete)
                ++counts[k];
    return QStringLiteral("本次调整将删除：小区 %1 个，天线 %2 副，馈线 %3 条")
        .arg(counts[0])
        .arg(counts[1])
        .arg(counts[2]);
}

} // namespace corvan
