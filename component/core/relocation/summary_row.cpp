// SPDX-License-Identifier: MIT
#include "core/relocation/summary_row.h"

namespace corvan {

const QString SummaryRow::BtsWord = QStringLiteral("BTS");
const QString SummaryRow::CellWord = QStringLiteral("CELL");
const QString SummaryRow::AntennaWord = QStringLiteral("天线");
const QString SummaryRow::FeederWord = QStringLiteral("馈线");
const QString SummaryRow::RoomWord = QStringLiteral("机房");
const QString SummaryRow::DeleteWord = QStringLiteral("删除");
const QString SummaryRow::RestoreWord = QStringLiteral("恢复");

namespace {
const QString CellCaption = QStringLiteral("小区");
} // namespace

SummaryRow SummaryRow::title(const QString& text)
{
    return {Kind::Title, text, {}, {}, Action::Change};
}

SummaryRow SummaryRow::band()
{
    return {};
}

SummaryRow SummaryRow::change(Kind kind, const QString& caption, const QString& before, const QString& after)
{
    return {kind, caption, before, after, Action::Change};
}

SummaryRow SummaryRow::cell(const QString& ci, Action action)
{
    return {Kind::Cell, CellCaption, ci, {}, action};
}

SummaryRow SummaryRow::line(Kind kind, const QString& ci, const QString& label, Action action)
{
    return {kind, CellCaption + ci + QStringLiteral("所属"), label, {}, action};
}

QStringList SummaryRow::texts() const
{
    switch (kind) {
    case Kind::Title:
        return {caption, {}, {}, {}};
    case Kind::Band:
        return QStringList(4, QString());
    case Kind::Bts:
        return {BtsWord, caption, before, after};
    case Kind::Room:
        return {RoomWord, caption, before, after};
    case Kind::Cell:
    case Kind::Antenna:
    case Kind::Feeder:
        break;
    }
    const QString& word = kind == Kind::Cell ? CellWord : kind == Kind::Antenna ? AntennaWord : FeederWord;
    const QString last = action == Action::Delete    ? DeleteWord
                         : action == Action::Restore ? RestoreWord
                                                     : after;
    return {word, caption, before, last};
}

QList<QStringList> summaryTexts(const SummaryRows& rows)
{
    QList<QStringList> texts;
    texts.reserve(rows.size());
    for (const SummaryRow& row : rows)
        texts << row.texts();
    return texts;
}

} // namespace corvan
