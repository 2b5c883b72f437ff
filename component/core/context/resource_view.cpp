// SPDX-License-Identifier: MIT
#include "core/context/resource_view.h"

#include <QMetaObject>

#include "core/context/mdl_pub_var.h"

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
    return QMetaObject::invokeMethod(
        service, "GetResourceData", Qt::DirectConnection, Q_RETURN_ARG(bool, found), Q_ARG(QString, view),
        Q_ARG(QString, code), Q_ARG(corvan::AttrTable*, table), Q_ARG(bool, true),
        Q_ARG(QString, QStringLiteral("queryfromview")), Q_ARG(bool, true), Q_ARG(QObject**, &detail));
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

QStringList ResourceView::FieldCaptions(const mdlPubVar& context, const QString& view,
                                        const QStringList& columns)
{
    QStringList fields;
    QStringList captions;
    bool known = false;
    if (QObject* service = context.ResourceViewService())
        // A host without the member answers no: the columns keep their names.
        QMetaObject::invokeMethod(service, "GetFieldCaptions", Qt::DirectConnection,
                                  Q_RETURN_ARG(bool, known), Q_ARG(QString, view),
                                  Q_ARG(QStringList*, &fields), Q_ARG(QStringList*, &captions));
    QStringList result;
    for (const QString& column : columns) {
        const qsizetype at = known ? fields.indexOf(column) : -1;
        result << (at >= 0 && !captions.value(at).isEmpty() ? captions.at(at) : column);
    }
    return result;
}

QStringList ResourceView::FieldTypes(const mdlPubVar& context, const QString& view,
                                     const QStringList& columns)
{
    QStringList fields;
    QStringList types;
    bool known = false;
    if (QObject* service = context.ResourceViewService())
        QMetaObject::invokeMethod(service, "GetFieldTypes", Qt::DirectConnection, Q_RETURN_ARG(bool, known),
                                  Q_ARG(QString, view), Q_ARG(QStringList*, &fields),
                                  Q_ARG(QStringList*, &types));
    QStringList result;
    for (const QString& column : columns) {
        const qsizetype at = known ? fields.indexOf(column) : -1;
        result << (at >= 0 ? types.value(at) : QString());
    }
    return result;
}

} // namespace corvan
