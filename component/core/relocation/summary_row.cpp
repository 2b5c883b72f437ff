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

SummaryRow SummaryRow::resource(Kind kind, const QString& caption, const QString& shown, Action action)
{
    return {kind, caption, shown, {}, action};
}

QStringList SummaryRow::texts() const
{
    const auto word = [this]() -> QString {
        switch (kind) {
        case Kind::Title:
            return caption;
        case Kind::Band:
            return {};
        case Kind::Bts:
            return BtsWord;
        case Kind::Room:
            return RoomWord;
        case Kind::Cell:
            return CellWord;
        case Kind::Antenna:
            return AntennaWord;
        case Kind::Feeder:
            return FeederWord;
        }
        return {};
    };
    if (kind == Kind::Title || kind == Kind::Band)
        return {word(), {}, {}, {}};
    const QString last = action == Action::Delete    ? DeleteWord
                         : action == Action::Restore ? RestoreWord
                                                     : after;
    return {word(), caption, before, last};
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
