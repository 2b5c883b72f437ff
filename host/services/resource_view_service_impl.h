// SPDX-License-Identifier: MIT
#pragma once

#include "corvan/attr_table.h"

#include <QObject>
#include <QString>

namespace corvan::host {

// Showing and fetching resource records. The component calls these members by name
// (QMetaObject::invokeMethod), so their names and parameter types are the contract.
// They find nothing yet: the record display and the metadata reader come later.
class ResourceViewServiceImpl : public QObject {
    Q_OBJECT

public:
    explicit ResourceViewServiceImpl(QObject* parent = nullptr);

    Q_INVOKABLE bool ShowProperty(const QString& view, const QString& code);
    Q_INVOKABLE bool GetResourceData(const QString& view, const QString& code, corvan::AttrTable* out,
                                     bool withValues, const QString& keyView, bool withCaptions,
                                     QObject** outObject);
};

} // namespace corvan::host
