// SPDX-License-Identifier: MIT
#include "relocation/change_summary.h"

#include "corvan/controls/sheet.h"
#include "entry/mdl_pub_var.h"
#include "lookups/mdl_pub_fun.h"

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

int appendRow(Sheet* sheet)
{
    sheet->setMaxRow(sheet->MaxRow() + 1);
    return sheet->MaxRow();
}

void appendBand(SheetService* service, Sheet* sheet)
{
    const int r = appendRow(sheet);
    service->AlignRange(sheet, r, 1, r, Columns, true);
    service->StyleRange(sheet, r, 1, r, 1, ChangeSummary::BandForeground, ChangeSummary::BandBackground, -1,
                        ChangeSummary::BandFontSize, -1);
}

void appendData(Sheet* sheet, const QString& c1, const QString& c2, const QString& c3, const QString& c4)
{
    const int r = appendRow(sheet);
    sheet->setTextRC(r, 1, c1);
    sheet->setTextRC(r, 2, c2);
    sheet->setTextRC(r, 3, c3);
    sheet->setTextRC(r, 4, c4);
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

QString ChangeSummary::title(const MoveBtsState& state)
{
    return mdlPubFun::GetCityName(state.cityCode) + QLatin1Char(' ') + state.net +
           QStringLiteral("网基站: ") + state.oldRoomValue + QStringLiteral(" 调整记录");
}

void ChangeSummary::showModify(const MoveBtsState& state, Sheet* sheet)
{
    SheetService* service = mdlPubVar::instance().SheetService();
    if (!service || !sheet)
        return;
    service->ClearSheet(sheet, true);
    // Rows from an earlier visit must never survive, whatever the host's clearing leaves.
    sheet->setMaxRow(1);
    if (sheet->MaxCol() < Columns)
        sheet->setMaxCol(Columns);
    service->AlignRange(sheet, 1, 1, 1, Columns, true);
    sheet->setTextRC(1, 1, title(state));
    appendBand(service, sheet);

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
            return;
        if (trimBlanks(changed) != trimBlanks(oldText))
            appendData(sheet, BtsKind, attr.at(AttrTable::Caption, j), oldText, changed);
    }

    if (state.cellCount != 0) {
        appendBand(service, sheet);
        for (const auto& cellEntry : state.cellMap) {
            const QString& key = cellEntry.first;
            QString ci;
            for (const CellEntry& cell : state.cellList) {
                if (QStringLiteral("K:") + cell.cellcode == key) {
                    ci = cell.ci;
                    break;
                }
            }
            appendData(sheet, CellKind, CellCaption, ci, Deleted);
        }
    }

    if (state.antCount != 0 || state.lineCount != 0) {
        appendBand(service, sheet);
        const qsizetype count = qsizetype(state.antCount) + qsizetype(state.lineCount);
        for (qsizetype k = 0; k < count; ++k) {
            if (k >= state.lineList.size())
                return;
            const LineEntry& entry = state.lineList.at(k);
            appendData(sheet, entry.kind == QLatin1String("A") ? AntennaKind : FeederKind,
                       CellCaption + entry.ci + Belongs, trimBlanks(entry.label), Deleted);
        }
    }
}

} // namespace corvan
