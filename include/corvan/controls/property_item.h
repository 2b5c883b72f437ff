// SPDX-License-Identifier: MIT
#pragma once

#include "corvan/controls/export.h"
#include "corvan/controls/property_items.h"

#include <QString>
#include <QVariant>
#include <memory>

namespace corvan {

// Item types of the property grid.
enum ItemType : int {
    ITEM_MENU = 203,
    ITEM_MENUENTRY = 206,
    ITEM_OPTION = 901,
    ITEM_STEP = 1000,
    ITEM_GROUP = 1200,
    ITEM_TEXT = 1201,
    ITEM_EDIT = 1206,
};

// One row of a property grid: a step, group header, property, option or menu entry.
// Items are created by PropertyItems::AddItem and owned by the list that holds them.
class CORVAN_ITEMS_EXPORT PropertyItem {
public:
    PropertyItem(PropertyItems* owner, QString key, QString caption, int type);
    PropertyItem(const PropertyItem&) = delete;
    PropertyItem& operator=(const PropertyItem&) = delete;

    const QString& Key() const { return m_key; }
    // An item added with a deferred caption asks its list for it the first time it is read.
    const QString& Caption() const
    {
        if (m_captionNumber >= 0)
            resolveCaption();
        return m_caption;
    }
    void setCaption(const QString& caption);
    int Type() const { return m_type; }

    // For a list property, the caption of the chosen option.
    const QVariant& Value() const { return m_value; }
    void setValue(const QVariant& value);

    bool Visible() const { return m_visible; }
    void setVisible(bool visible);
    bool Selected() const { return m_selected; }
    void setSelected(bool selected);
    // A group header whose GroupFlag is false shows its rows; true folds them away.
    bool GroupFlag() const { return m_groupFlag; }
    void setGroupFlag(bool folded);

    // Geometry of the item's row, in the grid's mouse coordinates; set by the view.
    float Left() const { return m_left; }
    float Top() const { return m_top; }
    float Width() const { return m_width; }
    float Height() const { return m_height; }
    void setGeometry(float left, float top, float width, float height);

    // Where the grid that shows the item put its row: the header row that holds it (-1 at the
    // top), its row there, and the grid's stamp of that layout. The grid's own business, kept
    // here so that a list of a hundred thousand items needs no table to find a row by its item.
    struct RowPlace {
        int group = -1;
        int row = -1;
        quint32 stamp = 0;
    };
    const RowPlace& rowPlace() const { return m_rowPlace; }
    void setRowPlace(const RowPlace& place) const { m_rowPlace = place; }

    // Shows Children as a popup menu of the grid that holds this item, at a point in the
    // grid's mouse coordinates; nothing happens for an item that is in no grid.
    void ShowPopup(float x, float y);

    // Made when first asked for: most items of a long list never hold any.
    PropertyItems& Children();
    const PropertyItems& Children() const;

    // The list that holds this item.
    PropertyItems* owner() const { return m_owner; }

private:
    friend class PropertyItems;
    void changed(PropertyItems::Change change);
    void resolveCaption() const;

    PropertyItems* m_owner;
    QString m_key;
    mutable QString m_caption;
    // The number the list's caption source knows the caption by, until it is read; -1 after.
    mutable long m_captionNumber = -1;
    int m_type;
    QVariant m_value;
    bool m_visible = true;
    bool m_selected = false;
    bool m_groupFlag = false;
    float m_left = 0;
    float m_top = 0;
    float m_width = 0;
    float m_height = 0;
    mutable RowPlace m_rowPlace;
    std::unique_ptr<PropertyItems> m_children;
};

} // namespace corvan
