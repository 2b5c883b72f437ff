// SPDX-License-Identifier: MIT
#pragma once

#include <memory>
#include <utility>

#include <QDate>
#include <QDateTime>
#include <QHash>
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
    // Where the cells of a set are kept. A host that holds the rows in a form of its own (the
    // engine's result, one buffer of text) implements it, so that a cell becomes a QVariant
    // or a QString only when it is read, and a column nobody reads costs nothing but its bytes.
    // Rows never change once a set holds them; copies of a set share them.
    class Rows {
    public:
        virtual ~Rows() = default;
        virtual int count() const = 0;
        // row and field are in range; the value as Value() hands it out.
        virtual QVariant value(int row, int field) const = 0;
        // The same cell as Text() reads it; must equal variantText(value(row, field)).
        virtual QString text(int row, int field) const { return variantText(value(row, field)); }
        // The cell as the engine itself wrote it out, where a value loses something on its
        // way (a time's microseconds in a QDateTime), so that it can be written back
        // unchanged; a null text where the host keeps no such form.
        virtual QString storedText(int /*row*/, int /*field*/) const { return {}; }
    };

    RecordSet() = default;
    RecordSet(QStringList fieldNames, QVector<QVector<QVariant>> rows)
        : RecordSet(std::move(fieldNames), std::make_shared<const VariantRows>(std::move(rows)))
    {}
    RecordSet(QStringList fieldNames, std::shared_ptr<const Rows> rows)
        : m_names(std::move(fieldNames)), m_rows(std::move(rows)), m_count(m_rows ? m_rows->count() : 0)
    {}
    virtual ~RecordSet() = default;
    RecordSet(const RecordSet&) = default;
    RecordSet& operator=(const RecordSet&) = default;

    int RecordCount() const { return m_count; }
    int FieldCount() const { return int(m_names.size()); }
    QString FieldName(int position) const { return m_names.value(position); }
    // The position of a field, its name matched without regard to case; -1 when there is none.
    // Names are indexed once per set, so a loop may look a field up per row; one that reads
    // many rows does better still to take the position once and read by it.
    int FieldIndex(const QString& field) const
    {
        if (m_positions.isEmpty() && !m_names.isEmpty())
            indexNames();
        const auto exact = m_positions.constFind(field);
        if (exact != m_positions.cend())
            return *exact;
        return m_positions.value(field.toCaseFolded(), -1);
    }

    // Before the first row, and past the last one. An empty set is at both.
    bool isBOF() const { return m_count == 0 || m_current < 0; }
    bool isEOF() const { return m_count == 0 || m_current >= m_count; }
    void MoveFirst() { m_current = 0; }
    void MoveNext()
    {
        if (m_current < m_count)
            ++m_current;
    }
    // Goes to the row of that number, counted from 0: a set keeps its rows, so any row can be
    // read again. A number outside them is past the end.
    void MoveTo(int row) { m_current = row >= 0 && row < m_count ? row : m_count; }

    // Field names match without regard to case. A missing field or a position past
    // the current row gives an invalid QVariant.
    QVariant Value(const QString& field) const { return Value(FieldIndex(field)); }
    QVariant Value(int position) const
    {
        if (isEOF() || position < 0 || position >= FieldCount())
            return {};
        return m_rows->value(m_current, position);
    }
    bool HasField(const QString& field) const { return FieldIndex(field) >= 0; }
    // The engine's own text of a field of the current row (see Rows::storedText); null when
    // the host keeps none, or past the row.
    QString StoredText(int position) const
    {
        if (isEOF() || position < 0 || position >= FieldCount())
            return {};
        return m_rows->storedText(m_current, position);
    }

    // The usual way to read: null (and a missing field) as empty text.
    QString Text(const QString& field) const { return Text(FieldIndex(field)); }
    QString Text(int position) const
    {
        if (isEOF() || position < 0 || position >= FieldCount())
            return {};
        return m_rows->text(m_current, position);
    }

private:
    // Rows handed over as values, as hosts without a store of their own build them.
    class VariantRows final : public Rows {
    public:
        explicit VariantRows(QVector<QVector<QVariant>> rows) : m_rows(std::move(rows)) {}
        int count() const override { return int(m_rows.size()); }
        QVariant value(int row, int field) const override { return m_rows.at(row).value(field); }

    private:
        QVector<QVector<QVariant>> m_rows;
    };

    // Every name as spelt and in folded case, each to the first field that matches it
    // without regard to case; made at the first lookup by name, as a set read by position
    // (one value, say) needs none.
    void indexNames() const
    {
        m_positions.reserve(m_names.size() * 2);
        for (int i = 0; i < FieldCount(); ++i) {
            const QString folded = m_names.at(i).toCaseFolded();
            const int first = m_positions.value(folded, i);
            m_positions.insert(folded, first);
            m_positions.insert(m_names.at(i), first);
        }
    }

    QStringList m_names;
    mutable QHash<QString, int> m_positions;
    std::shared_ptr<const Rows> m_rows;
    int m_count = 0;
    int m_current = 0;
};

} // namespace corvan
