// SPDX-License-Identifier: MIT
#include "desktop/resource_view_service_impl.h"

#include "corvan/controls/sheet.h"

#include <QDate>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTableWidget>
#include <QVBoxLayout>

namespace corvan::host {

namespace {

bool isPlainName(const QString& name)
{
    if (name.isEmpty())
        return false;
    for (const QChar c : name)
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != QLatin1Char('_'))
            return false;
    return true;
}

} // namespace

ResourceViewServiceImpl::ResourceViewServiceImpl(QObject* parent) : QObject(parent) {}

ResourceViewServiceImpl::~ResourceViewServiceImpl()
{
    for (const auto& window : std::as_const(m_windows))
        delete window.data();
}

void ResourceViewServiceImpl::setSource(const QSqlDatabase& db)
{
    m_db = db;
    m_fields.clear();
}

const QVector<ResourceViewServiceImpl::Field>* ResourceViewServiceImpl::fields(const QString& view)
{
    auto found = m_fields.constFind(view);
    if (found != m_fields.constEnd())
        return &found.value();
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("select fieldname,caption,datatype,groupname,display,emphasis,required,lookup "
                                 "from host_field where viewname = ? order by serial"));
    query.addBindValue(view);
    if (!query.exec())
        return nullptr;
    QVector<Field> list;
    while (query.next()) {
        Field f{query.value(0).toString(), query.value(1).toString(), query.value(2).toString(),
                query.value(3).toString(), query.value(4).toString(), query.value(5).toString(),
                query.value(6).toString(), query.value(7).toString()};
        // Names go into a statement, so only plain column names are taken.
        if (!isPlainName(f.name))
            return nullptr;
        list.append(f);
    }
    if (list.isEmpty())
        return nullptr;
    return &m_fields.insert(view, list).value();
}

QString ResourceViewServiceImpl::displayText(const Field& field, const QVariant& value)
{
    if (value.isNull())
        return {};
    if (field.type == QLatin1String("pic"))
        return QStringLiteral("（图片）");
    if (value.typeId() == QMetaType::QDate)
        return value.toDate().toString(Qt::ISODate);
    const QString text = value.toString();
    if (field.lookup.isEmpty() || text.isEmpty())
        return text;
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (field.lookup == QLatin1String("city"))
        query.prepare(QStringLiteral("select city_name from com_city where city_id = ?"));
    else
        query.prepare(QStringLiteral("select county_name from com_county where county_id = ?"));
    query.addBindValue(text);
    // A code without a division keeps its code as text, so nothing is lost from view.
    if (query.exec() && query.next())
        return query.value(0).toString();
    return text;
}

bool ResourceViewServiceImpl::GetResourceData(const QString& view, const QString& code, corvan::AttrTable* out,
                                              bool /*withValues*/, const QString& /*keyView*/,
                                              bool /*withCaptions*/, QObject** outObject)
{
    if (outObject)
        *outObject = nullptr;
    if (!out)
        return false;
    out->clear();
    const QVector<Field>* list = fields(view);
    if (!list || !isPlainName(view))
        return false;

    QStringList names;
    for (const Field& f : *list)
        names << f.name;
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("select ") + names.join(QLatin1Char(',')) + QStringLiteral(" from ") + view +
                  QStringLiteral(" where ") + list->first().name + QStringLiteral(" = ?"));
    query.addBindValue(code);
    const bool found = query.exec() && query.next();

    out->resize(int(list->size()));
    for (int j = 1; j <= list->size(); ++j) {
        const Field& f = list->at(j - 1);
        out->set(AttrTable::Caption, j, f.caption);
        out->set(AttrTable::DisplayValue, j, found ? displayText(f, query.value(j - 1)) : QString());
        out->set(AttrTable::FieldName, j, f.name);
        out->set(AttrTable::DataType, j, f.type);
        out->set(AttrTable::GroupCaption, j, f.group);
        out->set(AttrTable::Display, j, f.display);
        out->set(AttrTable::Emphasis, j, f.emphasis);
        out->set(AttrTable::Required, j, f.required);
    }
    return found;
}

bool ResourceViewServiceImpl::ShowProperty(const QString& view, const QString& code)
{
    AttrTable table;
    if (!GetResourceData(view, code, &table, true, QStringLiteral("queryfromview"), true, nullptr))
        return false;

    auto* window = new QDialog();
    window->setObjectName(QStringLiteral("frmResourceProperty"));
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(QStringLiteral("资源属性 — ") + code);
    auto* layout = new QVBoxLayout(window);
    auto* sheet = new Sheet(window);
    sheet->setObjectName(QStringLiteral("fbProperty"));
    sheet->setMaxCol(3);
    sheet->setMaxRow(table.FieldCount());
    sheet->setColText(1, QStringLiteral("属性组"));
    sheet->setColText(2, QStringLiteral("属性名称"));
    sheet->setColText(3, QStringLiteral("属性值"));
    for (int j = 1; j <= table.FieldCount(); ++j) {
        sheet->setTextRC(j, 1, table.at(AttrTable::GroupCaption, j));
        sheet->setTextRC(j, 2, table.at(AttrTable::Caption, j));
        sheet->setTextRC(j, 3, table.at(AttrTable::DisplayValue, j));
    }
    sheet->setReadOnly(true);
    sheet->table()->verticalHeader()->setVisible(false);
    sheet->table()->horizontalHeader()->setStretchLastSection(true);
    sheet->table()->resizeColumnsToContents();
    layout->addWidget(sheet);
    window->resize(560, 520);
    window->show();
    m_windows.append(window);
    m_windows.removeIf([](const QPointer<QWidget>& w) { return w.isNull(); });
    return true;
}

bool ResourceViewServiceImpl::GetFieldCaptions(const QString& view, QStringList* fieldNames, QStringList* captions)
{
    const QVector<Field>* known = fields(view);
    if (!known || known->isEmpty() || !fieldNames || !captions)
        return false;
    fieldNames->clear();
    captions->clear();
    for (const Field& field : *known) {
        *fieldNames << field.name;
        *captions << field.caption;
    }
    return true;
}

QList<QWidget*> ResourceViewServiceImpl::propertyWindows() const
{
    QList<QWidget*> open;
    for (const auto& window : m_windows)
        if (window)
            open.append(window.data());
    return open;
}

} // namespace corvan::host
