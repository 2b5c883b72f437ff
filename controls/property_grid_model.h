// SPDX-License-Identifier: MIT
#pragma once

#include <QAbstractItemModel>
#include <QHash>
#include <QStringList>
#include <vector>

namespace corvan {

class PropertyItem;
class PropertyItems;

// The rows of a property grid over its root item list. A group header owns the root rows
// that follow it up to the next header, so they become its children and fold with it. Menu
// holders never get a row: their entries only appear in a popup. Nor do hidden items, nor the
// items of a hidden header: a list that shows two of a hundred thousand records has two rows.
// A property's options stay in its Children, where the editor reads them.
//
// The model never edits items on its own; setData is the user's path and reports every
// real change through valueEdited.
class PropertyGridModel : public QAbstractItemModel {
    Q_OBJECT
public:
    enum Column { CaptionColumn = 0, ValueColumn = 1, ColumnCount = 2 };
    enum Role {
        TypeRole = Qt::UserRole + 1, // the item's type
        SelectedRole,                // the item's Selected flag
        StepNumberRole,              // 1-based position among visible steps
    };

    explicit PropertyGridModel(PropertyItems& items, QObject* parent = nullptr);

    // Follows the list: appended is O(1) per item, rebuild starts over from the list.
    void appended(PropertyItem* item);
    void rebuild();
    // Rows for the items appended to the root list since the rows were built, inserted after
    // the last row so that the view keeps its place and selection; false when they need a
    // rebuild instead (a group header among them or above them).
    bool catchUp();
    void changed(PropertyItem* item);
    // True when the root list lost items since the rows were built (ClearItems on it).
    bool isStale() const;
    // True when the root list holds items the rows were never told of (a Batch).
    bool isBehind() const;

    QModelIndex indexOf(const PropertyItem* item, int column = CaptionColumn) const;
    PropertyItem* itemAt(const QModelIndex& index) const;
    // The group header whose rows hold the item, nullptr for a row at the top.
    PropertyItem* groupOf(const PropertyItem* item) const;
    bool hasGroups() const { return m_groupCount > 0; }
    // Whether some row shows a value (a property); without one the value column stays empty.
    bool hasProperties() const { return m_propertyCount > 0; }
    // Calls f(item, header) for every item that has a row, in display order; header is the
    // group header that holds the row, nullptr at the top.
    template <typename F> void forEachRow(F f) const;

    // The option captions an ITEM_EDIT row offers; empty means free text.
    static QStringList optionsOf(const PropertyItem& item);
    // Whether the row draws across both columns (headers, steps and list options).
    static bool spansColumns(int type);
    static bool hasRow(int type);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Editing a property's caption edits its value, so F2, typing or a double click work
    // wherever the row's current cell is.
    QModelIndex buddy(const QModelIndex& index) const override;
    // A list read page by page: whether items are still to come, and reading the next page or
    // all of them. Not Qt's canFetchMore: a tree view would read a page at every layout.
    bool hasMore() const;
    void readMore(bool all);

signals:
    void valueEdited(corvan::PropertyItem* item);

private:
    struct Row {
        PropertyItem* item;
        std::vector<PropertyItem*> children;
    };

    void place(PropertyItem* item);
    // Whether the item, the next of the root list, gets a row; follows hidden headers.
    bool takes(const PropertyItem* item);
    int stepNumber(int topRow) const;

    PropertyItems& m_items;
    std::vector<Row> m_top;
    // Stamped on the items placed by this layout, so that a place from an earlier one, or
    // from another grid, is known for what it is.
    quint32 m_stamp = 0;
    long m_seen = 0; // root items taken in, rows or not
    int m_lastGroup = -1;
    bool m_hiddenGroup = false;
    int m_groupCount = 0;
    int m_propertyCount = 0;
};

template <typename F> void PropertyGridModel::forEachRow(F f) const
{
    for (const Row& row : m_top) {
        f(row.item, static_cast<const PropertyItem*>(nullptr));
        for (PropertyItem* child : row.children)
            f(child, static_cast<const PropertyItem*>(row.item));
    }
}

} // namespace corvan
