// SPDX-License-Identifier: MIT
#include "desktop/application_service_impl.h"

namespace corvan::host {

ApplicationServiceImpl::ApplicationServiceImpl(QObject* parent) : QObject(parent) {}

QString ApplicationServiceImpl::ApplicationName() const
{
    return QStringLiteral("corvan");
}

} // namespace corvan::host
