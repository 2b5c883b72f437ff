// SPDX-License-Identifier: MIT
#include "core/relocation/change_summary.h"

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
const QString CityField = QStringLiteral("city");
const QString RoomField = QStringLiteral("belongroom");

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

// The text the commit gives field j (from 1): what the user saw when the page kept it,
// else the value to write. False when neither list reaches the field.
bool newText(const MoveBtsState& state, int j, QString& text)
{
    const qsizetype i = j - 1;
    if (i < state.btsText.size()) {
        text = state.btsText.at(i);
        return true;
    }
    if (i < state.btsValue.size()) {
        text = state.btsValue.at(i);
        return true;
    }
    return false;
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

    const AttrTable& attr = state.btsAttr;
    for (int j = 1; j <= attr.FieldCount(); ++j) {
        const QString field = attr.at(AttrTable::FieldName, j);
        const QString oldText = attr.at(AttrTable::DisplayValue, j);
        QString changed;
        if (field == CityField)
            changed = state.newCityName;
        else if (field == RoomField)
            changed = state.newRoomName;
        else if (!newText(state, j, changed))
            return rows;
        if (trimBlanks(changed) != trimBlanks(oldText))
            rows << data(BtsKind, attr.at(AttrTable::Caption, j), oldText, changed);
    }

    if (state.cellCount != 0) {
        rows << band();
        for (const auto& cellEntry : state.cellMap) {
            const QString& key = cellEntry.first;
            QString ci;
            for (const CellEntry& cell : state.cellList) {
                if (QStringLiteral("K:") + cell.cellcode == key) {
                    ci = cell.ci;
                    break;
                }
            }
            rows << data(CellKind, CellCaption, ci, Deleted);
        }
    }

    if (state.antCount != 0 || state.lineCount != 0) {
        rows << band();
        const qsizetype count = qsizetype(state.antCount) + qsizetype(state.lineCount);
        for (qsizetype k = 0; k < count; ++k) {
            if (k >= state.lineList.size())
                return rows;
            const LineEntry& entry = state.lineList.at(k);
            rows << data(entry.kind == QLatin1String("A") ? AntennaKind : FeederKind,
                         CellCaption + entry.ci + Belongs, trimBlanks(entry.label), Deleted);
        }
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
