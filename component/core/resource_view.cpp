// SPDX-License-Identifier: MIT
#include "core/resource_view.h"

#include <QMetaObject>

#include "core/mdl_pub_var.h"

namespace corvan {

bool ResourceView::GetResourceData(const mdlPubVar& context, const QString& view, const QString& code,
                                   AttrTable* table)
{
    QObject* service = context.ResourceViewService();
    if (!service || !table)
        return false;
    bool found = false;
    QObject* detail = nullptr;
    // The host's answer and its detail object are not needed: the table is the result.
    return QMetaObject::invokeMethod(service, "GetResourceData", Qt::DirectConnection, Q_RETURN_ARG(bool, found),
                                     Q_ARG(QString, view), Q_ARG(QString, code), Q_ARG(corvan::AttrTable*, table),
                                     Q_ARG(bool, true), Q_ARG(QString, QStringLiteral("queryfromview")),
                                     Q_ARG(bool, true), Q_ARG(QObject**, &detail));
}

bool ResourceView::ShowProperty(const mdlPubVar& context, const QString& view, const QString& code)
{
    QObject* service = context.ResourceViewService();
    if (!service)
        return false;
    bool shown = false;
    return QMetaObject::invokeMethod(service, "ShowProperty", Qt::DirectConnection, Q_RETURN_ARG(bool, shown),
                                     Q_ARG(QString, view), Q_ARG(QString, code));
}

} // namespace corvan
