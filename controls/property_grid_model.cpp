// SPDX-License-Identifier: MIT
#include "property_grid_model.h"

#include "corvan/controls/property_item.h"

#include <QFont>
#include <atomic>

namespace corvan {

namespace {

// Children of a top-level row carry their header's row + 1, so parent() needs no lookup.
constexpr quintptr TopLevel = 0;

// Every layout of every grid stamps its items with a number of its own.
quint32 nextStamp()
{
    static std::atomic<quint32> last{0};
    quint32 stamp = ++last;
    // 0 is the stamp of an item no grid placed.
    return stamp != 0 ? stamp : ++last;
}

QString valueText(const PropertyItem& item)
{
    return item.Value().toString();
}

} // namespace

PropertyGridModel::PropertyGridModel(PropertyItems& items, QObject* parent)
    : QAbstractItemModel(parent), m_items(items)
{
    rebuild();
}

bool PropertyGridModel::hasRow(int type)
{
    return type != ITEM_MENU && type != ITEM_MENUENTRY;
}

bool PropertyGridModel::spansColumns(int type)
{
    return type == ITEM_GROUP || type == ITEM_STEP || type == ITEM_OPTION;
}

QStringList PropertyGridModel::optionsOf(const PropertyItem& item)
{
    QStringList options;
    for (const auto& child : item.Children()) {
        if (child->Type() == ITEM_OPTION && child->Visible())
            options << child->Caption();
    }
    return options;
}

bool PropertyGridModel::takes(const PropertyItem* item)
{
    if (!hasRow(item->Type()))
        return false;
    if (item->Type() == ITEM_GROUP) {
        m_hiddenGroup = !item->Visible();
        return item->Visible();
    }
    return item->Visible() && !m_hiddenGroup;
}

void PropertyGridModel::appended(PropertyItem* item)
{
    ++m_seen;
    if (!takes(item))
        return;
    if (item->Type() == ITEM_GROUP || m_lastGroup < 0) {
        const int row = int(m_top.size());
        beginInsertRows({}, row, row);
        place(item);
        endInsertRows();
        return;
    }
    const int row = int(m_top[std::size_t(m_lastGroup)].children.size());
    beginInsertRows(createIndex(m_lastGroup, 0, TopLevel), row, row);
    place(item);
    endInsertRows();
}

void PropertyGridModel::place(PropertyItem* item)
{
    if (item->Type() == ITEM_TEXT || item->Type() == ITEM_EDIT)
        ++m_propertyCount;
    if (item->Type() == ITEM_GROUP) {
        m_lastGroup = int(m_top.size());
        ++m_groupCount;
    }
    if (item->Type() == ITEM_GROUP || m_lastGroup < 0) {
        item->setRowPlace({-1, int(m_top.size()), m_stamp});
        m_top.push_back(Row{item, {}});
    } else {
        auto& children = m_top[std::size_t(m_lastGroup)].children;
        item->setRowPlace({m_lastGroup, int(children.size()), m_stamp});
        children.push_back(item);
    }
}

void PropertyGridModel::rebuild()
{
    // The items behind the old rows may be gone already: drop every pointer before the
    // views hear of the new rows.
    beginResetModel();
    m_top.clear();
    m_stamp = nextStamp();
    m_seen = 0;
    m_lastGroup = -1;
    m_hiddenGroup = false;
    m_groupCount = 0;
    m_propertyCount = 0;
    for (const auto& item : m_items) {
        ++m_seen;
        if (takes(item.get()))
            place(item.get());
    }
    endResetModel();
}

bool PropertyGridModel::catchUp()
{
    if (m_lastGroup >= 0 || m_hiddenGroup)
        return false;
    const long count = m_items.ItemCount();
    std::vector<PropertyItem*> rows;
    for (long position = m_seen + 1; position <= count; ++position) {
        PropertyItem* item = m_items.GetItem(position);
        if (item->Type() == ITEM_GROUP)
            return false;
        if (hasRow(item->Type()) && item->Visible())
            rows.push_back(item);
    }
    m_seen = count;
    if (rows.empty())
        return true;
    const int first = int(m_top.size());
    beginInsertRows({}, first, first + int(rows.size()) - 1);
    for (PropertyItem* item : rows)
        place(item);
    endInsertRows();
    return true;
}

bool PropertyGridModel::hasMore() const
{
    return m_items.HasMore();
}

void PropertyGridModel::readMore(bool all)
{
    m_items.FetchMore(all);
}

bool PropertyGridModel::isStale() const
{
    return m_items.ItemCount() < m_seen;
}

bool PropertyGridModel::isBehind() const
{
    return m_items.ItemCount() > m_seen;
}

void PropertyGridModel::changed(PropertyItem* item)
{
    const QModelIndex first = indexOf(item, CaptionColumn);
    if (!first.isValid())
        return;
    QModelIndex last = indexOf(item, ValueColumn);
    // A step shown or hidden renumbers the steps after it.
    if (item->Type() == ITEM_STEP && !first.parent().isValid())
        last = index(int(m_top.size()) - 1, ValueColumn);
    emit dataChanged(first, last);
}

QModelIndex PropertyGridModel::indexOf(const PropertyItem* item, int column) const
{
    if (!item || item->rowPlace().stamp != m_stamp)
        return {};
    const PropertyItem::RowPlace& place = item->rowPlace();
    return createIndex(place.row, column, place.group < 0 ? TopLevel : quintptr(place.group) + 1);
}

PropertyItem* PropertyGridModel::itemAt(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != this)
        return nullptr;
    const quintptr id = index.internalId();
    if (id == TopLevel)
        return m_top[std::size_t(index.row())].item;
    return m_top[std::size_t(id - 1)].children[std::size_t(index.row())];
}

PropertyItem* PropertyGridModel::groupOf(const PropertyItem* item) const
{
    if (!item || item->rowPlace().stamp != m_stamp || item->rowPlace().group < 0)
        return nullptr;
    return m_top[std::size_t(item->rowPlace().group)].item;
}

int PropertyGridModel::stepNumber(int topRow) const
{
    int number = 0;
    for (int row = 0; row <= topRow; ++row) {
        const PropertyItem* item = m_top[std::size_t(row)].item;
        if (item->Type() == ITEM_STEP && item->Visible())
            ++number;
    }
    return number;
}

QModelIndex PropertyGridModel::index(int row, int column, const QModelIndex& parent) const
{
    if (!hasIndex(row, column, parent))
        return {};
    if (!parent.isValid())
        return createIndex(row, column, TopLevel);
    return createIndex(row, column, quintptr(parent.row()) + 1);
}

QModelIndex PropertyGridModel::parent(const QModelIndex& child) const
{
    if (!child.isValid() || child.internalId() == TopLevel)
        return {};
    return createIndex(int(child.internalId() - 1), 0, TopLevel);
}

int PropertyGridModel::rowCount(const QModelIndex& parent) const
{
    if (!parent.isValid())
        return int(m_top.size());
    if (parent.column() != CaptionColumn || parent.internalId() != TopLevel)
        return 0;
    return int(m_top[std::size_t(parent.row())].children.size());
}

int PropertyGridModel::columnCount(const QModelIndex& /*parent*/) const
{
    return ColumnCount;
}

QVariant PropertyGridModel::data(const QModelIndex& index, int role) const
{
    const PropertyItem* item = itemAt(index);
    if (!item)
        return {};
    const bool caption = index.column() == CaptionColumn;
    const bool property = item->Type() == ITEM_TEXT || item->Type() == ITEM_EDIT;
    switch (role) {
    case Qt::DisplayRole:
        if (caption)
            return item->Caption();
        return property ? QVariant(valueText(*item)) : QVariant();
    case Qt::ToolTipRole: {
        const QString text = caption ? item->Caption() : property ? valueText(*item) : QString();
        return text.isEmpty() ? QVariant() : QVariant(text);
    }
    case Qt::EditRole:
        return caption ? QVariant(item->Caption()) : item->Value();
    case Qt::FontRole:
        if (item->Type() == ITEM_GROUP || (item->Type() == ITEM_STEP && item->Selected())) {
            QFont font;
            font.setBold(true);
            return font;
        }
        return {};
    case TypeRole:
        return item->Type();
    case SelectedRole:
        return item->Selected();
    case StepNumberRole:
        if (item->Type() != ITEM_STEP || index.internalId() != TopLevel)
            return {};
        return stepNumber(index.row());
    default:
        return {};
    }
}

bool PropertyGridModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    PropertyItem* item = itemAt(index);
    if (!item || role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable))
        return false;
    const QString text = value.toString();
    const QStringList options = optionsOf(*item);
    // A drop-down cannot produce anything but one of its captions.
    if (!options.isEmpty() && !options.contains(text))
        return false;
    if (valueText(*item) == text)
        return true;
    item->setValue(text);
    emit valueEdited(item);
    return true;
}

Qt::ItemFlags PropertyGridModel::flags(const QModelIndex& index) const
{
    const PropertyItem* item = itemAt(index);
    if (!item)
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled;
    // Steps show progress; the user cannot pick one.
    if (item->Type() != ITEM_STEP)
        flags |= Qt::ItemIsSelectable;
    if (item->Type() != ITEM_GROUP)
        flags |= Qt::ItemNeverHasChildren;
    if (index.column() == ValueColumn && item->Type() == ITEM_EDIT)
        flags |= Qt::ItemIsEditable;
    return flags;
}

QModelIndex PropertyGridModel::buddy(const QModelIndex& index) const
{
    const PropertyItem* item = itemAt(index);
    if (item && item->Type() == ITEM_EDIT && index.column() == CaptionColumn)
        return index.siblingAtColumn(ValueColumn);
    return index;
}

} // namespace corvan
