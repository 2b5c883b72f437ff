// SPDX-License-Identifier: MIT
#include "resource_view_service_impl.h"

namespace corvan::host {

ResourceViewServiceImpl::ResourceViewServiceImpl(QObject* parent) : QObject(parent) {}

bool ResourceViewServiceImpl::ShowProperty(const QString& view, const QString& code)
{
    Q_UNUSED(view)
    Q_UNUSED(code)
    return false;
}

bool ResourceViewServiceImpl::GetResourceData(const QString& view, const QString& code,
                                              corvan::AttrTable* out, bool withValues, const QString& keyView,
                                              bool withCaptions, QObject** outObject)
{
    Q_UNUSED(view)
    Q_UNUSED(code)
    Q_UNUSED(withValues)
    Q_UNUSED(keyView)
    Q_UNUSED(withCaptions)
    // Leave the caller with an empty table and no object rather than whatever it passed in.
    if (out)
        out->clear();
    if (outObject)
        *outObject = nullptr;
    return false;
}

} // namespace corvan::host
