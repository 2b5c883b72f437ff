// SPDX-License-Identifier: MIT
#include "property_grid_view.h"

#include "corvan/controls/property_item.h"
#include "property_grid_model.h"

#include <QContextMenuEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <utility>

namespace corvan {

PropertyGridView::PropertyGridView(QWidget* parent) : QTreeView(parent)
{
    // A list read page by page reads its next one when the user comes within a screen of the
    // rows it has.
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
        auto* rows = qobject_cast<PropertyGridModel*>(model());
        if (rows && rows->hasMore() &&
            value >= verticalScrollBar()->maximum() - verticalScrollBar()->pageStep())
            rows->readMore(false);
    });
}

void PropertyGridView::spanLater(const QModelIndex& index)
{
    m_pendingSpans.emplace_back(index);
    // Rows added under a folded header ask for no layout themselves.
    scheduleDelayedItemsLayout();
}

void PropertyGridView::doItemsLayout()
{
    QTreeView::doItemsLayout();
    if (m_pendingSpans.empty())
        return;
    // Laid out now, each span below finds its row without another layout.
    const auto pending = std::exchange(m_pendingSpans, {});
    for (const QPersistentModelIndex& index : pending) {
        if (index.isValid())
            setFirstColumnSpanned(index.row(), index.parent(), true);
    }
}

void PropertyGridView::mousePressEvent(QMouseEvent* event)
{
    // The view selects first, so whoever hears the press sees the selection it made and
    // may change it.
    QTreeView::mousePressEvent(event);
    emit mousePressed(event->button(), event->modifiers(), event->position());
}

void PropertyGridView::mouseReleaseEvent(QMouseEvent* event)
{
    QTreeView::mouseReleaseEvent(event);
    emit mouseReleased(event->button(), event->modifiers(), event->position());
}

void PropertyGridView::keyPressEvent(QKeyEvent* event)
{
    const QModelIndex current = currentIndex();
    if (state() != EditingState && current.isValid() && event->modifiers() == Qt::NoModifier) {
        const int type = current.data(PropertyGridModel::TypeRole).toInt();
        const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
        // Space stays a typed character on a property, where it may start an edit.
        const bool space = event->key() == Qt::Key_Space && (type == ITEM_OPTION || type == ITEM_GROUP);
        if (enter || space) {
            emit keyActivated(current, event->key());
            event->accept();
            return;
        }
    }
    // The end of a list read page by page is its last item, not the last one read so far.
    if (event->key() == Qt::Key_End && state() != EditingState) {
        if (auto* rows = qobject_cast<PropertyGridModel*>(model()); rows && rows->hasMore())
            rows->readMore(true);
    }
    QTreeView::keyPressEvent(event);
}

void PropertyGridView::contextMenuEvent(QContextMenuEvent* event)
{
    // A mouse's right button was already reported as press and release; the grid's user
    // answers those, so no window behind the grid may open its own menu as well.
    event->accept();
    if (event->reason() != QContextMenuEvent::Mouse)
        emit contextKeyPressed();
}

bool PropertyGridView::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event)
{
    // A click on the caption makes the caption current; a key typed then edits the value,
    // its buddy, and the row's chooser must hear of it as it would on the value itself.
    const QModelIndex target = index.isValid() ? model()->buddy(index) : index;
    if (chooser && state() != EditingState && (trigger & editTriggers()) && target.isValid() &&
        (model()->flags(target) & Qt::ItemIsEditable)) {
        QString typed;
        if (event && event->type() == QEvent::KeyPress && trigger == AnyKeyPressed)
            typed = static_cast<QKeyEvent*>(event)->text().trimmed();
        else if (event && event->type() == QEvent::InputMethod && trigger == AnyKeyPressed)
            typed = static_cast<QInputMethodEvent*>(event)->commitString().trimmed();
        if (chooser(target, typed))
            return false;
    }
    return QTreeView::edit(index, trigger, event);
}

void PropertyGridView::updateGeometries()
{
    QTreeView::updateGeometries();
    emit rowsPlaced();
}

void PropertyGridView::scrollContentsBy(int dx, int dy)
{
    QTreeView::scrollContentsBy(dx, dy);
    emit rowsPlaced();
}

} // namespace corvan
