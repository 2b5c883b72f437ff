// SPDX-License-Identifier: MIT
#pragma once

#include <QPainter>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QStyledItemDelegate>

namespace corvan {

// The frame that shows, at a glance, which row or cell of a view has the keyboard: two
// pixels in the highlight colour (darker on a selected row, which is highlighted already)
// around the current item of a view that has the focus. A view that shows focus on whole
// rows gets one frame around the row: each cell draws only its part of it.
inline void paintFocusFrame(QPainter* painter, const QStyleOptionViewItem& option)
{
    if (!(option.state & QStyle::State_HasFocus))
        return;
    constexpr int Width = 2;
    using Position = QStyleOptionViewItem::ViewItemPosition;
    const Position position = option.viewItemPosition;
    const bool left = position != Position::Middle && position != Position::End;
    const bool right = position != Position::Middle && position != Position::Beginning;
    const QColor highlight = option.palette.color(QPalette::Active, QPalette::Highlight);
    const QRect r = option.rect;
    painter->save();
    painter->setPen(Qt::NoPen);
    painter->setBrush(option.state & QStyle::State_Selected ? highlight.darker(220) : highlight);
    painter->drawRect(r.left(), r.top(), r.width(), Width);
    painter->drawRect(r.left(), r.bottom() - Width + 1, r.width(), Width);
    if (left)
        painter->drawRect(r.left(), r.top(), Width, r.height());
    if (right)
        painter->drawRect(r.right() - Width + 1, r.top(), Width, r.height());
    painter->restore();
}

// A view's ordinary items with the focus frame around the current one.
class FocusFrameDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        paintFocusFrame(painter, option);
    }
};

} // namespace corvan
