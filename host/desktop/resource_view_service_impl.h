// SPDX-License-Identifier: MIT
#pragma once

#include "corvan/attr_table.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSqlDatabase>
#include <QString>
#include <QVector>
#include <functional>
#include <memory>

class QSqlQuery;

class QWidget;

namespace corvan::host {

// Showing and fetching resource records from the host's field metadata (host_field):
// per view or table its fields in order, with caption, type, group and flags; the field
// numbered 1 is the record's code. Coded columns marked with a lookup are shown by
// their division's name. The component calls these members by name
// (QMetaObject::invokeMethod), so their names and parameter types are the contract.
class ResourceViewServiceImpl : public QObject {
    Q_OBJECT

public:
    explicit ResourceViewServiceImpl(QObject* parent = nullptr);
    ~ResourceViewServiceImpl() override;

    void setSource(const QSqlDatabase& db);
    // Asked when a record cannot be read: true when the host connected anew (its connection
    // had broken), so that the record is read again on the new connection.
    void setRecovery(std::function<bool()> recover) { m_recover = std::move(recover); }
    // The statements prepared on a connection that is gone are dropped.
    void forgetStatements();

    // Opens a read-only window with every stored field of the record; false when the
    // view or the record is unknown.
    Q_INVOKABLE bool ShowProperty(const QString& view, const QString& code);
    // Fills out with one field per metadata row, values of the record with that code.
    // False when the view has no metadata or no such record (the table then holds the
    // fields with empty values). outObject is set to null: no object comes with it.
    Q_INVOKABLE bool GetResourceData(const QString& view, const QString& code, corvan::AttrTable* out,
                                     bool withValues, const QString& keyView, bool withCaptions,
                                     QObject** outObject);

    // The fields of a view or table with their captions, in the metadata's order; false
    // when the view has none.
    Q_INVOKABLE bool GetFieldCaptions(const QString& view, QStringList* fields, QStringList* captions);
    Q_INVOKABLE bool GetFieldTypes(const QString& view, QStringList* fields, QStringList* types);

    // The windows ShowProperty opened and that are still open.
    QList<QWidget*> propertyWindows() const;

    // The one statement GetResourceData runs for a record of the view, the code as its one
    // value ("?"): the fields in the metadata's order, then the name of each coded division.
    // Empty when the view has no metadata.
    QString recordStatement(const QString& view);

private:
    struct Field {
        QString name;
        QString caption;
        QString type;
        QString group;
        QString display;
        QString emphasis;
        QString required;
        QString lookup;
    };
    // What is known of a view: its fields, and the statement of a record, prepared once.
    struct View {
        QVector<Field> fields;
        QString statement;
        std::shared_ptr<QSqlQuery> record;
    };
    const View* viewOf(const QString& name);
    const QVector<Field>* fields(const QString& name);
    static QString displayText(const Field& field, const QVariant& value, const QVariant& divisionName);

    QSqlDatabase m_db;
    QHash<QString, View> m_views;
    std::function<bool()> m_recover;
    QList<QPointer<QWidget>> m_windows;
};

} // namespace corvan::host
