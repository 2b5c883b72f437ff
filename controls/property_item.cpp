// SPDX-License-Identifier: MIT
#include "corvan/controls/property_item.h"

#include <utility>

namespace corvan {

PropertyItem::PropertyItem(PropertyItems* owner, QString key, QString caption, int type)
    : m_owner(owner), m_key(std::move(key)), m_caption(std::move(caption)), m_type(type)
{}

PropertyItems& PropertyItem::Children()
{
    if (!m_children)
        m_children = std::make_unique<PropertyItems>(this);
    return *m_children;
}

const PropertyItems& PropertyItem::Children() const
{
    static const PropertyItems none;
    return m_children ? *m_children : none;
}

void PropertyItem::setCaption(const QString& caption)
{
    if (m_captionNumber < 0 && m_caption == caption)
        return;
    m_captionNumber = -1;
    m_caption = caption;
    changed(PropertyItems::Change::State);
}

void PropertyItem::resolveCaption() const
{
    const long number = std::exchange(m_captionNumber, -1);
    if (m_owner && m_owner->m_captionSource)
        m_caption = m_owner->m_captionSource(number);
}

void PropertyItem::setValue(const QVariant& value)
{
    if (m_value == value && m_value.typeId() == value.typeId())
        return;
    m_value = value;
    changed(PropertyItems::Change::Value);
}

void PropertyItem::setVisible(bool visible)
{
    if (m_visible == visible)
        return;
    m_visible = visible;
    changed(PropertyItems::Change::State);
}

void PropertyItem::setSelected(bool selected)
{
    if (m_selected == selected)
        return;
    m_selected = selected;
    changed(PropertyItems::Change::State);
}

void PropertyItem::setGroupFlag(bool folded)
{
    if (m_groupFlag == folded)
        return;
    m_groupFlag = folded;
    changed(PropertyItems::Change::State);
}

void PropertyItem::setGeometry(float left, float top, float width, float height)
{
    // The view reports geometry; that is no change a view must redraw for.
    m_left = left;
    m_top = top;
    m_width = width;
    m_height = height;
}

void PropertyItem::ShowPopup(float x, float y)
{
    if (m_owner)
        m_owner->presentPopup(this, x, y);
}

void PropertyItem::changed(PropertyItems::Change change)
{
    if (m_owner)
        m_owner->notify(this, change);
}

} // namespace corvan
