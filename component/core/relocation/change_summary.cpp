// SPDX-License-Identifier: MIT
#include "core/relocation/change_summary.h"

#include "core/context/field_names.h"
#include "core/context/mdl_pub_fun.h"

namespace corvan {

const QString ChangeSummary::BtsKind = QStringLiteral("BTS");
const QString ChangeSummary::CellKind = QStringLiteral("CELL");
const QString ChangeSummary::AntennaKind = QStringLiteral("天线");
const QString ChangeSummary::FeederKind = QStringLiteral("馈线");
const QString ChangeSummary::Deleted = QStringLiteral("删除");

namespace {

constexpr int Columns = 4;
const QString CellCaption = QStringLiteral("小区");
const QString Belongs = QStringLiteral("所属");

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

QStringList band()
{
    return QStringList(Columns, QString());
}

QStringList data(const QString& c1, const QString& c2, const QString& c3, const QString& c4)
{
    return QStringList{c1, c2, c3, c4};
}

} // namespace

QString ChangeSummary::title(const mdlPubVar& context, const MoveBtsState& state)
{
    return mdlPubFun::GetCityName(context, state.cityCode) + QLatin1Char(' ') + state.net +
           QStringLiteral("网基站: ") + state.oldRoomValue + QStringLiteral(" 调整记录");
}

bool ChangeSummary::isBand(const QStringList& row)
{
    for (const QString& text : row)
        if (!text.isEmpty())
            return false;
    return true;
}

QList<QStringList> ChangeSummary::rows(const mdlPubVar& context, const MoveBtsState& state)
{
    QList<QStringList> rows;
    rows << data(title(context, state), QString(), QString(), QString());
    rows << band();
    rows << btsRows(state);
    if (state.cellCount != 0)
        rows << band() << cellRows(state);
    if (state.antCount != 0 || state.lineCount != 0)
        rows << band() << lineRows(state);
    return rows;
}

QList<QStringList> ChangeSummary::btsRows(const MoveBtsState& state)
{
    QList<QStringList> rows;
    for (const BtsField& field : state.fields) {
        // The city and the room as the user chose them; every other field as the commit
        // leaves it, in the words the user saw.
        const QString changed = field.name == FieldName::City         ? state.newCityName
                                : field.name == FieldName::BelongRoom ? state.newRoomName
                                                                      : field.text;
        if (trimBlanks(changed) != trimBlanks(field.shown))
            rows << data(BtsKind, field.caption, field.shown, changed);
    }
    return rows;
}

QList<QStringList> ChangeSummary::cellRows(const MoveBtsState& state)
{
    QList<QStringList> rows;
    for (const CellTable& loaded : state.cellMap) {
        QString ci;
        for (const CellEntry& cell : state.cellList) {
            if (cell.cellcode == loaded.cellcode) {
                ci = cell.ci;
                break;
            }
        }
        rows << data(CellKind, CellCaption, ci, Deleted);
    }
    return rows;
}

QList<QStringList> ChangeSummary::lineRows(const MoveBtsState& state)
{
    QList<QStringList> rows;
    // The counts are those of the entries listed; an entry past them is not deleted.
    const qsizetype count =
        qMin(qsizetype(state.antCount) + qsizetype(state.lineCount), state.lineList.size());
    for (qsizetype k = 0; k < count; ++k) {
        const LineEntry& entry = state.lineList.at(k);
        rows << data(entry.kind == LineEntry::Kind::Antenna ? AntennaKind : FeederKind,
                     CellCaption + entry.ci + Belongs, trimBlanks(entry.label), Deleted);
    }
    return rows;
}

QString ChangeSummary::deletionTotals(const QList<QStringList>& rows)
{
    int counts[3] = {};
    const QString kinds[3] = {CellKind, AntennaKind, FeederKind};
    for (const QStringList& row : rows)
        for (int k = 0; k < 3; ++k)
            if (row.value(0) == kinds[k] && row.value(3) == Deleted)
                ++counts[k];
    return QStringLiteral("本次调整将删除：小区 %1 个，天线 %2 副，馈线 %3 条")
        .arg(counts[0])
        .arg(counts[1])
        .arg(counts[2]);
}

} // namespace corvan
