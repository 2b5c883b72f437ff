// SPDX-License-Identifier: MIT
#pragma once

#include <array>

#include <QMetaType>
#include <QString>
#include <QVector>

namespace corvan {

// The description and current values of one resource record: texts addressed as
// (column, field), both from 1. Columns: 1 caption, 2 value as display text,
// 3 field name, 4 data type, 5 group caption, 6 (unused), 7 display flag,
// 8 emphasis flag, 9 required flag.
class AttrTable {
public:
    static constexpr int ColumnCount = 9;
    enum Column {
        Caption = 1,
        DisplayValue = 2,
        FieldName = 3,
        DataType = 4,
        GroupCaption = 5,
        Spare = 6,
        Display = 7,
        Emphasis = 8,
        Required = 9
    };

    AttrTable() = default;
    explicit AttrTable(int fieldCount) { resize(fieldCount); }

    // The upper bound of the field dimension (fields run 1..FieldCount()).
    int FieldCount() const { return int(m_fields.size()); }
    void resize(int fieldCount) { m_fields.resize(fieldCount < 0 ? 0 : fieldCount); }
    void clear() { m_fields.clear(); }

    // Out-of-range reads give empty text; out-of-range writes are ignored and
    // reported as false, so a malformed table never crashes a reader.
    QString at(int column, int field) const
    {
        if (!valid(column, field))
            return {};
        return m_fields.at(field - 1)[std::size_t(column - 1)];
    }
    bool set(int column, int field, const QString& text)
    {
        if (!valid(column, field))
            return false;
        m_fields[field - 1][std::size_t(column - 1)] = text;
        return true;
    }

    // Appends a field and returns its number.
    int appendField()
    {
        m_fields.append(Row{});
        return FieldCount();
    }
    // The number of the first field whose column 3 equals the name, or 0.
    int findField(const QString& fieldName) const
    {
        for (int j = 1; j <= FieldCount(); ++j)
            if (at(FieldName, j) == fieldName)
                return j;
        return 0;
    }

    bool operator==(const AttrTable& other) const { return m_fields == other.m_fields; }

private:
    bool valid(int column, int field) const
    {
        return column >= 1 && column <= ColumnCount && field >= 1 && field <= FieldCount();
    }

    using Row = std::array<QString, ColumnCount>;
    QVector<Row> m_fields;
};

} // namespace corvan

Q_DECLARE_METATYPE(corvan::AttrTable)
Q_DECLARE_METATYPE(corvan::AttrTable*)
