// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

#include "corvan/attr_table.h"

namespace corvan {

class mdlPubVar;

// The host's resource view service, called by member name as hosts expect.
class ResourceView {
public:
    // Fills the table with the record of the view or table with that code. False when
    // the host has no such service or the call could not be made.
    static bool GetResourceData(const mdlPubVar& context, const QString& view, const QString& code,
                                AttrTable* table);
    // Has the host show the stored record.
    static bool ShowProperty(const mdlPubVar& context, const QString& view, const QString& code);
    // The host's caption of each column, where it offers them; the column's own name where not.
    static QStringList FieldCaptions(const mdlPubVar& context, const QString& view,
                                     const QStringList& columns);
    // The host's data type of each column ("num", "int", "char" …); empty where it offers none.
    static QStringList FieldTypes(const mdlPubVar& context, const QString& view, const QStringList& columns);
};

} // namespace corvan
