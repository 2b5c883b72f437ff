// SPDX-License-Identifier: MIT
#include "corvan/controls/property_items.h"

#include "corvan/controls/property_item.h"

#include <utility>

namespace corvan {

PropertyItems::PropertyItems(PropertyItem* parent) : m_parent(parent) {}

PropertyItems::~PropertyItems() = default;

PropertyItems::Batch::Batch(PropertyItems& items) : m_items(items)
{
    ++m_items.m_batches;
}

PropertyItems::Batch::~Batch()
{
    if (--m_items.m_batches != 0)
        return;
    const bool grew = std::exchange(m_items.m_batchGrew, false);
    if (std::exchange(m_items.m_batchChanged, false))
        m_items.notify(nullptr, Change::Batched);
    else if (grew)
        m_items.notify(nullptr, Change::Appended);
}

PropertyItem* PropertyItems::append(const QString& key, const QString& caption, int type, long captionNumber)
{
    PropertyItem*& slot = m_index[key];
    if (slot)
        return nullptr;
    m_items.push_back(std::make_unique<PropertyItem>(this, key, caption, type));
    PropertyItem* item = m_items.back().get();
    item->m_captionNumber = captionNumber;
    slot = item;
    if (m_batches > 0)
        m_batchGrew = true;
    else
        notify(item, Change::Structure);
    return item;
}

PropertyItem* PropertyItems::AddItem(int /*relative*/, const QString& key, const QString& caption, int type)
{
    return append(key, caption, type, -1);
}

PropertyItem* PropertyItems::AddDeferredItem(int /*relative*/, const QString& key, long captionNumber,
                                             int type)
{
    return append(key, QString(), type, captionNumber < 0 ? -1 : captionNumber);
}

void PropertyItems::reserve(long count)
{
    if (count <= 0)
        return;
    m_items.reserve(m_items.size() + std::size_t(count));
    m_index.reserve(qsizetype(m_items.size()) + count);
}

bool PropertyItems::FetchMore(bool all)
{
    if (!m_moreSource)
        return true;
    // The source may end the list, and with it itself, while it runs.
    const MoreSource source = m_moreSource;
    const Batch batch(*this);
    return source(all);
}

void PropertyItems::ClearItems()
{
    m_captionSource = nullptr;
    m_moreSource = nullptr;
    if (m_items.empty())
        return;
    m_index.clear();
    m_items.clear();
    notify(nullptr, Change::Structure);
}

PropertyItem* PropertyItems::GetItem(const QString& key) const
{
    return m_index.value(key, nullptr);
}

PropertyItem* PropertyItems::GetItem(long position) const
{
    if (position < 1 || position > ItemCount())
        return nullptr;
    return m_items[std::size_t(position - 1)].get();
}

void PropertyItems::notify(PropertyItem* item, Change change)
{
    // In a batch the changes of items, this list's and those below, wait for its end.
    if (m_batches > 0 && item && (change == Change::Value || change == Change::State)) {
        m_batchChanged = true;
        return;
    }
    if (m_listener)
        m_listener(item, change);
    // Changes below an item reach the grid's root list, where the view listens.
    if (m_parent && m_parent->owner())
        m_parent->owner()->notify(item, change);
}

bool PropertyItems::presentPopup(PropertyItem* holder, float x, float y)
{
    PropertyItems* top = this;
    while (top->m_parent && top->m_parent->owner())
        top = top->m_parent->owner();
    if (!top->m_presenter)
        return false;
    top->m_presenter(holder, x, y);
    return true;
}

} // namespace corvan
