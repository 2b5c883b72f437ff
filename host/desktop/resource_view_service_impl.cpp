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
    m_views.clear();
}

void ResourceViewServiceImpl::forgetStatements()
{
    for (View& view : m_views)
        view.record.reset();
}

const ResourceViewServiceImpl::View* ResourceViewServiceImpl::viewOf(const QString& name)
{
    auto found = m_views.constFind(name);
    if (found != m_views.constEnd())
        return &found.value();
    // A view name goes into a statement, so only a plain one is looked up at all.
    if (!isPlainName(name))
        return nullptr;
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    query.prepare(
        QStringLiteral("select fieldname,caption,datatype,groupname,display,emphasis,required,lookup "
                       "from host_field where viewname = ? order by serial"));
    query.addBindValue(name);
    if (!query.exec())
        return nullptr;
    View known;
    while (query.next()) {
        Field f{query.value(0).toString(), query.value(1).toString(), query.value(2).toString(),
                query.value(3).toString(), query.value(4).toString(), query.value(5).toString(),
                query.value(6).toString(), query.value(7).toString()};
        // Names go into a statement, so only plain column names are taken.
        if (!isPlainName(f.name))
            return nullptr;
        known.fields.append(f);
    }
    if (known.fields.isEmpty())
        return nullptr;
    // One statement per record: the division names come with the values, each as its own
    // column after the fields. A division without a row gives null, one with a row its name
    // (empty rather than null), so that a code without a division can keep its code as text.
    QStringList columns;
    for (const Field& f : std::as_const(known.fields))
        columns << QStringLiteral("r.") + f.name;
    for (const Field& f : std::as_const(known.fields)) {
        if (f.lookup.isEmpty())
            continue;
        columns << (f.lookup == QLatin1String("city")
                        ? QStringLiteral("(select coalesce(city_name,'') from com_city where city_id = r.%1)")
                        : QStringLiteral(
                              "(select coalesce(county_name,'') from com_county where county_id = r.%1)"))
                       .arg(f.name);
    }
    known.statement = QStringLiteral("select ") + columns.join(QLatin1Char(',')) + QStringLiteral(" from ") +
                      name + QStringLiteral(" r where r.") + known.fields.first().name +
                      QStringLiteral(" = ?");
    return &m_views.insert(name, known).value();
}

const QVector<ResourceViewServiceImpl::Field>* ResourceViewServiceImpl::fields(const QString& name)
{
    const View* known = viewOf(name);
    return known ? &known->fields : nullptr;
}

QString ResourceViewServiceImpl::recordStatement(const QString& name)
{
    const View* known = viewOf(name);
    return known ? known->statement : QString();
}

QString ResourceViewServiceImpl::displayText(const Field& field, const QVariant& value,
                                             const QVariant& divisionName)
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
    // A code without a division keeps its code as text, so nothing is lost from view.
    return divisionName.isNull() ? text : divisionName.toString();
}

bool ResourceViewServiceImpl::GetResourceData(const QString& viewName, const QString& code,
                                              corvan::AttrTable* out, bool /*withValues*/,
                                              const QString& /*keyView*/, bool /*withCaptions*/,
                                              QObject** outObject)
{
    if (outObject)
        *outObject = nullptr;
    if (!out)
        return false;
    out->clear();
    if (!viewOf(viewName))
        return false;
    View& known = m_views[viewName];
    const QVector<Field>& list = known.fields;

    if (!known.record) {
        known.record = std::make_shared<QSqlQuery>(m_db);
        known.record->setForwardOnly(true);
        if (!known.record->prepare(known.statement))
            known.record.reset();
    }
    QSqlQuery* query = known.record.get();
    bool found = false;
    QVector<QVariant> values;
    if (query) {
        query->addBindValue(code);
        found = query->exec() && query->next();
        if (found) {
            values.reserve(query->record().count());
            for (int i = 0; i < query->record().count(); ++i)
                values.append(query->value(i));
        }
        // Nothing of the statement may stay open on the connection between records.
        query->finish();
    }
    // A connection that broke is made again and the record read on the new one, which
    // prepares the statement anew.
    if (!found && m_recover && m_recover())
        return GetResourceData(viewName, code, out, true, QString(), true, outObject);

    out->resize(int(list.size()));
    int division = int(list.size());
    for (int j = 1; j <= list.size(); ++j) {
        const Field& f = list.at(j - 1);
        const QVariant name = f.lookup.isEmpty() ? QVariant() : values.value(division++);
        out->set(AttrTable::Caption, j, f.caption);
        out->set(AttrTable::DisplayValue, j, found ? displayText(f, values.value(j - 1), name) : QString());
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

bool ResourceViewServiceImpl::GetFieldCaptions(const QString& view, QStringList* fieldNames,
                                               QStringList* captions)
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

bool ResourceViewServiceImpl::GetFieldTypes(const QString& view, QStringList* fieldNames, QStringList* types)
{
    const QVector<Field>* known = fields(view);
    if (!known || known->isEmpty() || !fieldNames || !types)
        return false;
    fieldNames->clear();
    types->clear();
    for (const Field& field : *known) {
        *fieldNames << field.name;
        *types << field.type;
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
