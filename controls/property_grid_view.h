// SPDX-License-Identifier: MIT
#pragma once

#include <QPersistentModelIndex>
#include <QTreeView>
#include <functional>
#include <vector>

namespace corvan {

// The rows area of a PropertyGrid. It reports what the grid turns into the grid's events:
// presses and releases anywhere on the rows, Enter and Space on a row, a keyboard request
// for the context menu, and every moment the rows may have moved.
class PropertyGridView : public QTreeView {
    Q_OBJECT
public:
    explicit PropertyGridView(QWidget* parent = nullptr);

    // Runs a pending relayout now, so row rectangles are current.
    void flushLayout() { executeDelayedItemsLayout(); }
    // Spans the row's first column across the row at the next layout. Spanning at once lays
    // out every row each time, which turns filling a long list quadratic.
    void spanLater(const QModelIndex& index);
    void doItemsLayout() override;

    // Asked before an editor opens on a row, with the text typed when a key started it:
    // true when the asker chose the value its own way, so no editor opens.
    std::function<bool(const QModelIndex& index, const QString& typed)> chooser;
    using QTreeView::edit;

signals:
    void mousePressed(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPointF viewportPos);
    void mouseReleased(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPointF viewportPos);
    void keyActivated(const QModelIndex& index, int key);
    void contextKeyPressed();
    void rowsPlaced();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void updateGeometries() override;
    void scrollContentsBy(int dx, int dy) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;

private:
    std::vector<QPersistentModelIndex> m_pendingSpans;
};

} // namespace corvan
