// SPDX-License-Identifier: MIT
#include "property_grid_delegate.h"

#include "corvan/controls/focus_frame.h"
#include "corvan/controls/property_item.h"
#include "property_grid_model.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPainter>

namespace corvan {

namespace {

int typeOf(const QModelIndex& index)
{
    return index.data(PropertyGridModel::TypeRole).toInt();
}

} // namespace

PropertyGridDelegate::PropertyGridDelegate(const PropertyGridModel& model, QObject* parent)
    : QStyledItemDelegate(parent), m_model(model)
{}

void PropertyGridDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    if (typeOf(index) == ITEM_GROUP)
        option->backgroundBrush = option->palette.button();
}

void PropertyGridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const
{
    const int type = typeOf(index);
    if (type == ITEM_STEP) {
        paintStep(painter, option, index);
        return;
    }
    QStyledItemDelegate::paint(painter, option, index);
    paintFocusFrame(painter, option);
    // Cell lines make a property sheet readable at a glance; lists go without.
    if (type == ITEM_OPTION)
        return;
    painter->save();
    painter->setPen(option.palette.color(QPalette::Midlight));
    const QRect r = option.rect;
    painter->drawLine(r.bottomLeft(), r.bottomRight());
    if (index.column() == PropertyGridModel::CaptionColumn && !PropertyGridModel::spansColumns(type))
        painter->drawLine(r.topRight(), r.bottomRight());
    painter->restore();
}

void PropertyGridDelegate::paintStep(QPainter* painter, const QStyleOptionViewItem& option,
                                     const QModelIndex& index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const bool current = index.data(PropertyGridModel::SelectedRole).toBool();
    const QRect r = opt.rect;
    const QColor highlight = opt.palette.color(QPalette::Highlight);

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    if (current) {
        QColor band = highlight;
        band.setAlpha(48);
        painter->fillRect(r, band);
    }
    const int diameter = qMax(12, r.height() - 10);
    const QRect badge(r.left() + 6, r.top() + (r.height() - diameter) / 2, diameter, diameter);
    painter->setPen(Qt::NoPen);
    painter->setBrush(current ? highlight : opt.palette.color(QPalette::Mid));
    painter->drawEllipse(badge);
    painter->setPen(current ? opt.palette.color(QPalette::HighlightedText)
                            : opt.palette.color(QPalette::Base));
    QFont numberFont = opt.font;
    numberFont.setBold(true);
    painter->setFont(numberFont);
    painter->drawText(badge, Qt::AlignCenter,
                      QString::number(index.data(PropertyGridModel::StepNumberRole).toInt()));

    painter->setFont(opt.font);
    painter->setPen(opt.palette.color(QPalette::Text));
    const QRect text = r.adjusted(badge.right() - r.left() + 8, 0, -4, 0);
    painter->drawText(text, Qt::AlignVCenter | Qt::AlignLeft,
                      opt.fontMetrics.elidedText(opt.text, Qt::ElideRight, text.width()));
    painter->restore();
}

QSize PropertyGridDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    const int line = option.fontMetrics.height();
    size.setHeight(qMax(size.height(), typeOf(index) == ITEM_STEP ? line + 16 : line + 8));
    return size;
}

QWidget* PropertyGridDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& /*option*/,
                                            const QModelIndex& index) const
{
    const PropertyItem* item = m_model.itemAt(index);
    if (!item || item->Type() != ITEM_EDIT)
        return nullptr;
    const QStringList options = PropertyGridModel::optionsOf(*item);
    if (!options.isEmpty()) {
        auto* combo = new QComboBox(parent);
        combo->setFrame(false);
        combo->addItems(options);
        return combo;
    }
    auto* line = new QLineEdit(parent);
    line->setFrame(false);
    return line;
}

void PropertyGridDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    const QString value = index.data(Qt::EditRole).toString();
    if (auto* combo = qobject_cast<QComboBox*>(editor))
        combo->setCurrentIndex(combo->findText(value, Qt::MatchExactly | Qt::MatchCaseSensitive));
    else if (auto* line = qobject_cast<QLineEdit*>(editor))
        line->setText(value);
}

void PropertyGridDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                        const QModelIndex& index) const
{
    if (auto* combo = qobject_cast<QComboBox*>(editor)) {
        // A value that is no longer among the options stays until the user picks one.
        if (combo->currentIndex() >= 0)
            model->setData(index, combo->currentText(), Qt::EditRole);
    } else if (auto* line = qobject_cast<QLineEdit*>(editor)) {
        model->setData(index, line->text(), Qt::EditRole);
    }
}

} // namespace corvan
