// SPDX-License-Identifier: MIT
#include "core/relocation/bts_field.h"

#include "core/context/field_names.h"

namespace corvan {

namespace {
const QString Shown = QStringLiteral("Y");
const QString MustNotBeEmpty = QStringLiteral("N");
} // namespace

bool BtsField::written() const
{
    if (name == FieldName::BaseCode)
        return false;
    return disposition == Disposition::Remove || (disposition == Disposition::Modify && displayed);
}

bool BtsField::isNumber() const
{
    return type == QLatin1String("num") || type == QLatin1String("int");
}

BtsFields::BtsFields(const AttrTable& table)
{
    m_fields.reserve(table.FieldCount());
    for (int j = 1; j <= table.FieldCount(); ++j) {
        BtsField field;
        field.name = table.at(AttrTable::FieldName, j);
        field.caption = table.at(AttrTable::Caption, j);
        field.type = table.at(AttrTable::DataType, j);
        field.shown = table.at(AttrTable::DisplayValue, j);
        field.displayed = table.at(AttrTable::Display, j) == Shown;
        field.required = table.at(AttrTable::Required, j) == MustNotBeEmpty;
        m_fields.append(field);
    }
}

const BtsField* BtsFields::find(const QString& name) const
{
    for (const BtsField& field : m_fields)
        if (field.name == name)
            return &field;
    return nullptr;
}

Disposition BtsFields::dispositionOf(const QString& name) const
{
    const BtsField* field = find(name);
    return field ? field->disposition : Disposition::Never;
}

QString BtsFields::shownOf(const QString& name) const
{
    const BtsField* field = find(name);
    return field ? field->shown : QString();
}

} // namespace corvan
