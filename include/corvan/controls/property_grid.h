// SPDX-License-Identifier: MIT
#pragma once

#include "corvan/controls/export.h"
#include "corvan/controls/property_item.h"

#include <QHash>
#include <QPointer>
#include <QRectF>
#include <QVariant>
#include <QWidget>
#include <functional>

class QAction;
class QItemSelection;
class QLabel;
class QMenu;
class QModelIndex;

namespace corvan {

class PropertyGridDelegate;
class PropertyGridModel;
class PropertyGridView;

// A property grid: a view over its own item list. Group headers fold the rows that follow
// them, properties show caption and value and edit through a drop-down of their options or
// free text, steps look like a numbered step list, list options at the root are a flat
// clickable list, and an invisible menu holder's entries appear only through ShowPopup.
// Every change to Items shows at once; the user's edits, clicks and choices come back as
// the signals below.
class CORVAN_CONTROLS_EXPORT PropertyGrid : public QWidget {
    Q_OBJECT
public:
    explicit PropertyGrid(QWidget* parent = nullptr);
    ~PropertyGrid() override;

    // The root list; the widget follows every change to it and below it.
    PropertyItems& Items() { return m_items; }
    const PropertyItems& Items() const { return m_items; }

    // A title line above the rows; an empty caption hides it.
    void setCaption(const QString& caption);
    QString caption() const;

    // Shows the holder's visible children as a popup menu at a point in the grid's
    // coordinates; choosing an entry emits ItemChosen(entry). Returns at once: the menu is
    // non-blocking and activeMenu() returns it while it is open.
    void ShowPopup(PropertyItem* holder, float x, float y);
    QMenu* activeMenu() const;

    // Puts a value as if the user had chosen or typed it. Refused (false) for an item that
    // is no editable property of this grid, and for a value that is none of its options.
    // Emits ItemValueChanged(item) then GridEdited() when the value really changed.
    bool editValue(PropertyItem* item, const QVariant& value);

    // Lets the grid's user choose an editable row's value its own way (a dialog, say):
    // asked whenever an editor would open on a row, with the text the user typed when a
    // key started it; when it answers true no editor opens. An empty function restores
    // the grid's own editors.
    void setChooser(std::function<bool(PropertyItem* item, const QString& typed)> chooser);

    // The row of an item in the grid's coordinates, the same the item reports through
    // Left/Top/Width/Height after every layout; empty for a row that is not shown.
    QRectF itemRect(const PropertyItem* item) const;
    // The item whose row holds the point, nullptr off the rows.
    PropertyItem* itemAt(const QPointF& point) const;
    // Makes the item's row the current and only selected one, scrolled into view, as a
    // click would without opening its editor; false for an item that is no shown row here.
    bool setCurrentItem(PropertyItem* item);

signals:
    // A popup entry chosen, or a root ITEM_OPTION row clicked or activated (Enter, Space).
    void ItemChosen(corvan::PropertyItem* item);
    // The user changed the item's value.
    void ItemValueChanged(corvan::PropertyItem* item);
    // After any user edit.
    void GridEdited();
    // button 1 left, 2 right, 4 middle; shift 1 Shift, 2 Ctrl, 4 Alt; x, y in the grid's coordinates.
    void GridMouseDown(int button, int shift, float x, float y);
    void GridMouseUp(int button, int shift, float x, float y);

private:
    void itemsChanged(PropertyItem* item, PropertyItems::Change change);
    void showRow(PropertyItem* item, bool added);
    // Shows the value column only while some row has a value, and spans the rows that draw
    // across it once it shows; true when it shows.
    bool syncValueColumn();
    void rebuildRows();
    void syncGeometry();
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected);
    void folded(const QModelIndex& index, bool open);
    void keyActivated(const QModelIndex& index, int key);
    void clicked(const QModelIndex& index);
    void relayMouse(bool press, Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPointF viewportPos);
    void contextKey();
    void valueEdited(PropertyItem* item);
    void menuTriggered(QAction* action);
    void closeMenu();
    bool isShown(const PropertyItem* item) const;
    static bool isShown(const PropertyItem* item, const PropertyItem* header);
    QPointF toGrid(QPointF viewportPos) const;

    PropertyItems m_items;
    QLabel* m_caption;
    PropertyGridModel* m_model;
    PropertyGridView* m_view;
    PropertyGridDelegate* m_delegate;
    QPointer<QMenu> m_menu;
    QHash<QAction*, PropertyItem*> m_menuEntries;
    // Set while the view and the items are brought in line, so neither echoes the other.
    bool m_syncing = false;
    bool m_placing = false;
};

} // namespace corvan
