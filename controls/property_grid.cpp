// SPDX-License-Identifier: MIT
#include "corvan/controls/property_grid.h"

#include "property_grid_delegate.h"
#include "property_grid_model.h"
#include "property_grid_view.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QScopedValueRollback>
#include <QVBoxLayout>

namespace corvan {

namespace {

int buttonCode(Qt::MouseButton button)
{
    switch (button) {
    case Qt::LeftButton:
        return 1;
    case Qt::RightButton:
        return 2;
    case Qt::MiddleButton:
        return 4;
    default:
        return 0;
    }
}

int shiftCode(Qt::KeyboardModifiers modifiers)
{
    return (modifiers & Qt::ShiftModifier ? 1 : 0) | (modifiers & Qt::ControlModifier ? 2 : 0) |
           (modifiers & Qt::AltModifier ? 4 : 0);
}

} // namespace

PropertyGrid::PropertyGrid(QWidget* parent)
    : QWidget(parent), m_caption(new QLabel(this)), m_model(new PropertyGridModel(m_items, this)),
      m_view(new PropertyGridView(this)), m_delegate(new PropertyGridDelegate(*m_model, m_view))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    m_caption->setObjectName(QStringLiteral("caption"));
    QFont bold = m_caption->font();
    bold.setBold(true);
    m_caption->setFont(bold);
    m_caption->setContentsMargins(6, 4, 6, 4);
    m_caption->setAutoFillBackground(true);
    m_caption->setBackgroundRole(QPalette::Button);
    m_caption->hide();
    layout->addWidget(m_caption);

    m_view->setObjectName(QStringLiteral("rows"));
    m_view->setModel(m_model);
    m_view->setItemDelegate(m_delegate);
    // No row shows a value yet.
    m_view->setColumnHidden(PropertyGridModel::ValueColumn, true);
    m_view->setHeaderHidden(true);
    m_view->header()->setSectionResizeMode(QHeaderView::Stretch);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                            QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    // One height for all rows keeps long lists fast, and syncGeometry counts on it.
    m_view->setUniformRowHeights(true);
    m_view->setRootIsDecorated(false);
    m_view->setIndentation(14);
    m_view->setAllColumnsShowFocus(true);
    m_view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    layout->addWidget(m_view);
    setFocusProxy(m_view);

    connect(m_model, &PropertyGridModel::valueEdited, this, &PropertyGrid::valueEdited);
    connect(m_view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &PropertyGrid::selectionChanged);
    connect(m_view, &QTreeView::expanded, this, [this](const QModelIndex& index) { folded(index, true); });
    connect(m_view, &QTreeView::collapsed, this, [this](const QModelIndex& index) { folded(index, false); });
    connect(m_view, &QAbstractItemView::clicked, this, &PropertyGrid::clicked);
    connect(m_view, &PropertyGridView::keyActivated, this, &PropertyGrid::keyActivated);
    connect(m_view, &PropertyGridView::contextKeyPressed, this, &PropertyGrid::contextKey);
    connect(m_view, &PropertyGridView::rowsPlaced, this, &PropertyGrid::syncGeometry);
    connect(m_view, &PropertyGridView::mousePressed, this,
            [this](Qt::MouseButton b, Qt::KeyboardModifiers m, QPointF p) { relayMouse(true, b, m, p); });
    connect(m_view, &PropertyGridView::mouseReleased, this,
            [this](Qt::MouseButton b, Qt::KeyboardModifiers m, QPointF p) { relayMouse(false, b, m, p); });

    m_items.setListener(
        [this](PropertyItem* item, PropertyItems::Change change) { itemsChanged(item, change); });
    m_items.setPopupPresenter([this](PropertyItem* holder, float x, float y) { ShowPopup(holder, x, y); });
}

PropertyGrid::~PropertyGrid()
{
    // The items die with this object's members, before QWidget deletes the children that
    // point at them: cut the ties first.
    m_items.setListener({});
    m_items.setPopupPresenter({});
    closeMenu();
    delete m_view;
    delete m_model;
}

void PropertyGrid::setCaption(const QString& caption)
{
    m_caption->setText(caption);
    m_caption->setVisible(!caption.isEmpty());
}

QString PropertyGrid::caption() const
{
    return m_caption->text();
}

// Following the items

void PropertyGrid::itemsChanged(PropertyItem* item, PropertyItems::Change change)
{
    if (change == PropertyItems::Change::Batched) {
        rebuildRows();
        return;
    }
    if (change == PropertyItems::Change::Appended) {
        // A batch of rows at once: inserted below the rows there are, or one rebuild, costs
        // less than as many single inserts.
        if (!m_model->isBehind())
            return;
        const long before = m_model->rowCount();
        if (before == 0 || !m_model->catchUp()) {
            rebuildRows();
            return;
        }
        syncValueColumn();
        for (long position = m_items.ItemCount(); position > 0; --position) {
            PropertyItem* added = m_items.GetItem(position);
            const QModelIndex index = m_model->indexOf(added);
            if (index.isValid() && index.row() < before)
                break;
            showRow(added, true);
        }
        return;
    }
    if (change == PropertyItems::Change::Structure) {
        if (!item) {
            // Some list lost its items; a popup may hold entries that are gone.
            closeMenu();
            if (m_model->isStale())
                rebuildRows();
        } else if (item->owner() == &m_items) {
            m_model->appended(item);
            syncValueColumn();
            showRow(item, true);
        }
        return;
    }
    if (!item || item->owner() != &m_items)
        return;
    m_model->changed(item);
    if (change == PropertyItems::Change::State)
        showRow(item, false);
}

bool PropertyGrid::syncValueColumn()
{
    const bool shown = m_model->hasProperties();
    if (m_view->isColumnHidden(PropertyGridModel::ValueColumn) == !shown)
        return shown;
    m_view->setColumnHidden(PropertyGridModel::ValueColumn, !shown);
    if (shown) {
        m_model->forEachRow([this](PropertyItem* row, const PropertyItem*) {
            if (PropertyGridModel::spansColumns(row->Type()))
                m_view->spanLater(m_model->indexOf(row));
        });
    }
    return shown;
}

void PropertyGrid::showRow(PropertyItem* item, bool added)
{
    // A new row shows as a row of the view does by default, unless it is hidden, selected, a
    // group header, or draws across a value column that shows: a long list of plain rows
    // costs nothing more here.
    const bool spans = added && PropertyGridModel::spansColumns(item->Type()) &&
                       !m_view->isColumnHidden(PropertyGridModel::ValueColumn);
    if (added && !spans && item->Visible() && !item->Selected() && item->Type() != ITEM_GROUP)
        return;
    const QModelIndex index = m_model->indexOf(item);
    // A hidden item has no row: one shown or hidden since the rows were built makes them anew.
    if (!added && index.isValid() != item->Visible()) {
        rebuildRows();
        return;
    }
    if (!index.isValid())
        return;
    QScopedValueRollback guard(m_syncing, true);
    if (spans)
        m_view->spanLater(index);
    if (item->Type() == ITEM_GROUP) {
        // Group headers need the fold marker; flat lists look better without the margin.
        if (!m_view->rootIsDecorated())
            m_view->setRootIsDecorated(true);
        if (m_view->isExpanded(index) == item->GroupFlag())
            m_view->setExpanded(index, !item->GroupFlag());
    }
    if (m_model->flags(index) & Qt::ItemIsSelectable) {
        QItemSelectionModel* selection = m_view->selectionModel();
        if (selection->isSelected(index) != item->Selected())
            selection->select(
                index, (item->Selected() ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) |
                           QItemSelectionModel::Rows);
    }
}

void PropertyGrid::rebuildRows()
{
    QScopedValueRollback guard(m_syncing, true);
    m_model->rebuild();
    m_view->setRootIsDecorated(m_model->hasGroups());
    // A reset took every span: the rows below span again if the column shows.
    m_view->setColumnHidden(PropertyGridModel::ValueColumn, !m_model->hasProperties());
    m_model->forEachRow([this](PropertyItem* item, const PropertyItem*) { showRow(item, true); });
    // Items without a row have no place on the grid.
    for (const auto& item : m_items)
        if (!item->Visible() || !m_model->indexOf(item.get()).isValid())
            item->setGeometry(0, 0, 0, 0);
}

void PropertyGrid::syncGeometry()
{
    // Asking the view for a row may run a pending layout, which lands here again.
    if (m_placing)
        return;
    QScopedValueRollback guard(m_placing, true);
    m_view->flushLayout();
    // Rows have one height and follow each other without gaps, so one row the view places
    // gives every other: asking the view row by row would make each scroll step costly.
    QRectF first;
    bool found = false;
    m_model->forEachRow([this, &first, &found](PropertyItem* item, const PropertyItem* header) {
        if (!found && isShown(item, header)) {
            first = itemRect(item);
            found = true;
        }
    });
    int shown = 0;
    m_model->forEachRow([this, &first, &shown](PropertyItem* item, const PropertyItem* header) {
        if (!isShown(item, header)) {
            item->setGeometry(0, 0, 0, 0);
            return;
        }
        const double top = first.top() + shown++ * first.height();
        item->setGeometry(float(first.left()), float(top), float(first.width()), float(first.height()));
    });
}

bool PropertyGrid::isShown(const PropertyItem* item) const
{
    return isShown(item, m_model->groupOf(item));
}

bool PropertyGrid::isShown(const PropertyItem* item, const PropertyItem* header)
{
    return item->Visible() && (!header || (header->Visible() && !header->GroupFlag()));
}

QRectF PropertyGrid::itemRect(const PropertyItem* item) const
{
    // Checking our own state first spares the view a search for rows it does not show.
    if (!item || !m_model->indexOf(item).isValid() || !isShown(item))
        return {};
    const QRect cell = m_view->visualRect(m_model->indexOf(item));
    if (!cell.isValid())
        return {};
    // The whole line counts, indentation and fold marker included.
    const QRect row(0, cell.top(), m_view->viewport()->width(), cell.height());
    return QRectF(row.translated(m_view->viewport()->mapTo(this, QPoint(0, 0))));
}

PropertyItem* PropertyGrid::itemAt(const QPointF& point) const
{
    const QPoint inViewport = m_view->viewport()->mapFrom(this, point.toPoint());
    if (!m_view->viewport()->rect().contains(inViewport))
        return nullptr;
    return m_model->itemAt(m_view->indexAt(inViewport));
}

bool PropertyGrid::setCurrentItem(PropertyItem* item)
{
    const QModelIndex index = item ? m_model->indexOf(item) : QModelIndex();
    if (!index.isValid() || !isShown(item))
        return false;
    m_view->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                         QItemSelectionModel::Rows);
    m_view->scrollTo(index);
    return true;
}

// From the user back to the items

void PropertyGrid::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    if (m_syncing)
        return;
    QScopedValueRollback guard(m_syncing, true);
    for (const QModelIndex& index : deselected.indexes()) {
        if (index.column() == PropertyGridModel::CaptionColumn)
            if (PropertyItem* item = m_model->itemAt(index))
                item->setSelected(false);
    }
    for (const QModelIndex& index : selected.indexes()) {
        if (index.column() == PropertyGridModel::CaptionColumn)
            if (PropertyItem* item = m_model->itemAt(index))
                item->setSelected(true);
    }
}

void PropertyGrid::folded(const QModelIndex& index, bool open)
{
    if (m_syncing)
        return;
    if (PropertyItem* item = m_model->itemAt(index)) {
        QScopedValueRollback guard(m_syncing, true);
        item->setGroupFlag(!open);
    }
}

void PropertyGrid::keyActivated(const QModelIndex& index, int key)
{
    PropertyItem* item = m_model->itemAt(index);
    if (!item)
        return;
    switch (item->Type()) {
    case ITEM_EDIT:
        if (key != Qt::Key_Space)
            m_view->edit(index.siblingAtColumn(PropertyGridModel::ValueColumn));
        break;
    case ITEM_GROUP:
        item->setGroupFlag(!item->GroupFlag());
        break;
    case ITEM_OPTION:
        emit ItemChosen(item);
        break;
    default:
        break;
    }
}

void PropertyGrid::clicked(const QModelIndex& index)
{
    PropertyItem* item = m_model->itemAt(index);
    if (item && item->Type() == ITEM_OPTION)
        emit ItemChosen(item);
}

void PropertyGrid::valueEdited(PropertyItem* item)
{
    emit ItemValueChanged(item);
    emit GridEdited();
}

bool PropertyGrid::editValue(PropertyItem* item, const QVariant& value)
{
    const QModelIndex index = m_model->indexOf(item, PropertyGridModel::ValueColumn);
    return index.isValid() && m_model->setData(index, value, Qt::EditRole);
}

void PropertyGrid::setChooser(std::function<bool(PropertyItem*, const QString&)> chooser)
{
    if (!chooser) {
        m_view->chooser = {};
        return;
    }
    m_view->chooser = [this, chooser = std::move(chooser)](const QModelIndex& index, const QString& typed) {
        PropertyItem* item = m_model->itemAt(index);
        return item && item->Type() == ITEM_EDIT && chooser(item, typed);
    };
}

QPointF PropertyGrid::toGrid(QPointF viewportPos) const
{
    return viewportPos + QPointF(m_view->viewport()->mapTo(this, QPoint(0, 0)));
}

void PropertyGrid::relayMouse(bool press, Qt::MouseButton button, Qt::KeyboardModifiers modifiers,
                              QPointF viewportPos)
{
    // Whoever answers compares the point with the rows' geometry, which must be current.
    syncGeometry();
    const QPointF at = toGrid(viewportPos);
    if (press)
        emit GridMouseDown(buttonCode(button), shiftCode(modifiers), float(at.x()), float(at.y()));
    else
        emit GridMouseUp(buttonCode(button), shiftCode(modifiers), float(at.x()), float(at.y()));
}

void PropertyGrid::contextKey()
{
    // The menu key acts as a right click in the middle of the current row, so a popup the
    // grid's user opens on right clicks opens from the keyboard too.
    syncGeometry();
    const QRectF row = itemRect(m_model->itemAt(m_view->currentIndex()));
    const QPointF at = row.isEmpty() ? toGrid(QPointF(4, 4)) : row.center();
    emit GridMouseDown(2, 0, float(at.x()), float(at.y()));
    emit GridMouseUp(2, 0, float(at.x()), float(at.y()));
}

// The popup menu

void PropertyGrid::ShowPopup(PropertyItem* holder, float x, float y)
{
    closeMenu();
    if (!holder)
        return;
    // A fresh menu each time: the old one may still be delivering its last choice.
    auto* menu = new QMenu(this);
    menu->setObjectName(holder->Key());
    for (const auto& entry : holder->Children()) {
        if (entry->Visible())
            m_menuEntries.insert(menu->addAction(entry->Caption()), entry.get());
    }
    if (menu->isEmpty()) {
        delete menu;
        return;
    }
    connect(menu, &QMenu::triggered, this, &PropertyGrid::menuTriggered);
    m_menu = menu;
    menu->popup(mapToGlobal(QPointF(double(x), double(y))).toPoint());
}

QMenu* PropertyGrid::activeMenu() const
{
    return m_menu && m_menu->isVisible() ? m_menu.data() : nullptr;
}

void PropertyGrid::menuTriggered(QAction* action)
{
    PropertyItem* entry = m_menuEntries.value(action, nullptr);
    if (!entry || sender() != m_menu)
        return;
    emit ItemChosen(entry);
}

void PropertyGrid::closeMenu()
{
    m_menuEntries.clear();
    if (m_menu) {
        m_menu->hide();
        m_menu->deleteLater();
        m_menu = nullptr;
    }
}

} // namespace corvan
