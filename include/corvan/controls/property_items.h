// SPDX-License-Identifier: MIT
#pragma once

#include <QHash>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "corvan/controls/export.h"

namespace corvan {

class PropertyItem;

// An ordered list of items with unique keys: a grid's Items or an item's Children.
// Positions count from 1, as the grid's callers count them.
class CORVAN_ITEMS_EXPORT PropertyItems {
public:
    // Appended: items came at the end of the list in a Batch; Batched: items changed in a
    // Batch, their values or states (shown, selected, folded) and maybe their number; the item
    // is null for both.
    enum class Change { Structure, Value, State, Appended, Batched };
    // Told of every change in this list and in the lists below it, so a view can follow.
    using Listener = std::function<void(PropertyItem* item, Change change)>;
    // Shows a holder's Children as a popup menu at a point in the grid's mouse coordinates.
    using PopupPresenter = std::function<void(PropertyItem* holder, float x, float y)>;
    // Works out the caption of an item added with a deferred caption, by the item's number.
    using CaptionSource = std::function<QString(long number)>;
    // Appends the list's next items, all of those still to come when asked; false when none
    // could be read. A long list read page by page shows its first rows without its last.
    using MoreSource = std::function<bool(bool all)>;

    // While one lives, appends to the list and changes of its items' values and states are
    // told to the listeners once, when the last batch on the list ends: as an Appended change
    // when items were only appended, else as a Batched one. A view then builds its rows once
    // instead of row by row.
    class Batch {
    public:
        explicit Batch(PropertyItems& items);
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

    private:
        PropertyItems& m_items;
    };

    explicit PropertyItems(PropertyItem* parent = nullptr);
    ~PropertyItems();
    PropertyItems(const PropertyItems&) = delete;
    PropertyItems& operator=(const PropertyItems&) = delete;

    // Appends an item. The first argument is the grid's unused relative position and
    // is ignored. A key already in the list adds nothing and gives nullptr.
    PropertyItem* AddItem(int relative, const QString& key, const QString& caption, int type);
    // Appends an item whose caption the list's caption source gives when the caption is first
    // read (a view shows the row, a caller asks): a long list costs no caption nobody reads.
    PropertyItem* AddDeferredItem(int relative, const QString& key, long captionNumber, int type);
    // The source of deferred captions; ClearItems drops it with the items.
    void setCaptionSource(CaptionSource source) { m_captionSource = std::move(source); }
    void ClearItems();
    // Where the items still to come are read from, until the source says the list is complete;
    // ClearItems drops it with the items.
    void setMoreSource(MoreSource source) { m_moreSource = std::move(source); }
    void setComplete() { m_moreSource = nullptr; }
    bool HasMore() const { return bool(m_moreSource); }
    // Appends the next items (every one still to come, for all) in one batch; false when the
    // source could not read them.
    bool FetchMore(bool all);
    // Room for that many more items, for a caller about to append a long list.
    void reserve(long count);
    long ItemCount() const { return long(m_items.size()); }
    // By key, or by position from 1; nullptr when there is none.
    PropertyItem* GetItem(const QString& key) const;
    PropertyItem* GetItem(long position) const;
    bool HasItem(const QString& key) const { return m_index.contains(key); }

    // The item that owns this list, nullptr for a grid's root list.
    PropertyItem* parentItem() const { return m_parent; }

    void setListener(Listener listener) { m_listener = std::move(listener); }
    void notify(PropertyItem* item, Change change);

    // A grid installs a presenter on its root list; items anywhere below reach it through
    // PropertyItem::ShowPopup without knowing the grid.
    void setPopupPresenter(PopupPresenter presenter) { m_presenter = std::move(presenter); }
    // Hands the holder to the presenter of the top list above this one; false when no grid
    // shows that list.
    bool presentPopup(PropertyItem* holder, float x, float y);

    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }

private:
    friend class PropertyItem;
    PropertyItem* append(const QString& key, const QString& caption, int type, long captionNumber);

    PropertyItem* m_parent;
    std::vector<std::unique_ptr<PropertyItem>> m_items;
    CaptionSource m_captionSource;
    MoreSource m_moreSource;
    int m_batches = 0;
    bool m_batchGrew = false;
    bool m_batchChanged = false;
    QHash<QString, PropertyItem*> m_index;
    Listener m_listener;
    PopupPresenter m_presenter;
};

} // namespace corvan
