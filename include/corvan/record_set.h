// SPDX-License-Identifier: MIT
#pragma once

#include <utility>

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

namespace corvan {

// Text of a value as the component reads it: null is empty, dates in ISO form.
inline QString variantText(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return {};
    switch (value.typeId()) {
    case QMetaType::QDate:
        return value.toDate().toString(Qt::ISODate);
    case QMetaType::QDateTime:
        return value.toDateTime().toString(Qt::ISODate);
    case QMetaType::QByteArray:
        return QString::fromUtf8(value.toByteArray());
    default:
        return value.toString();
    }
}

// The rows of one query, read once into memory and walked forward.
// Hosts may hand out their own subclasses; the component only uses this interface.
class RecordSet {
public:
    RecordSet() = default;
    RecordSet(QStringList fieldNames, QVector<QVector<QVariant>> rows)
        : m_names(std::move(fieldNames)), m_rows(std::move(rows))
    {
    }
    virtual ~RecordSet() = default;
    RecordSet(const RecordSet&) = default;
    RecordSet& operator=(const RecordSet&) = default;

    int RecordCount() const { return int(m_rows.size()); }
    int FieldCount() const { return int(m_names.size()); }
    QString FieldName(int position) const { return m_names.value(position); }

    // Before the first row, and past the last one. An empty set is at both.
    bool isBOF() const { return m_rows.isEmpty() || m_current < 0; }
    bool isEOF() const { return m_rows.isEmpty() || m_current >= RecordCount(); }
    void MoveFirst() { m_current = 0; }
    void MoveNext()
    {
        if (m_current < RecordCount())
            ++m_current;
    }

    // Field names match without regard to case. A missing field or a position past
    // the current row gives an invalid QVariant.
    QVariant Value(const QString& field) const { return Value(indexOf(field)); }
    QVariant Value(int position) const
    {
        if (isEOF() || position < 0 || position >= FieldCount())
            return {};
        return m_rows.at(m_current).value(position);
    }
    bool HasField(const QString& field) const { return indexOf(field) >= 0; }

    // The usual way to read: null (and a missing field) as empty text.
    QString Text(const QString& field) const { return variantText(Value(field)); }
    QString Text(int position) const { return variantText(Value(position)); }

private:
    int indexOf(const QString& field) const
    {
        for (int i = 0; i < FieldCount(); ++i)
            if (m_names.at(i).compare(field, Qt::CaseInsensitive) == 0)
                return i;
        return -1;
    }

    QStringList m_names;
    QVector<QVector<QVariant>> m_rows;
    int m_current = 0;
};

} // namespace corvan
