// SPDX-License-Identifier: MIT
#include "data/right_service_impl.h"

#include "data/sql_quote.h"

#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>

namespace corvan::host {

namespace {

// City ids are text; numeric ones sort by value so "9" comes before "10".
bool cityBefore(const QString& a, const QString& b)
{
    bool aNumeric = false;
    bool bNumeric = false;
    const qlonglong aValue = a.toLongLong(&aNumeric);
    const qlonglong bValue = b.toLongLong(&bNumeric);
    if (aNumeric != bNumeric)
        return aNumeric;
    if (aNumeric && aValue != bValue)
        return aValue < bValue;
    return a < b;
}

} // namespace

RightServiceImpl::RightServiceImpl(QObject* parent) : QObject(parent) {}

void RightServiceImpl::setSource(const QSqlDatabase& db, const QString& user)
{
    m_connectionName = db.connectionName();
    m_user = user;
    m_loaded = false;
    m_cities.clear();
}

bool RightServiceImpl::load(QString* error)
{
    m_loaded = true;
    m_cities.clear();
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    query.setForwardOnly(true);
    if (!query.prepare(QStringLiteral("select funcno, city_id from host_right where username = ?"))) {
        if (error)
            *error = QStringLiteral("cannot read the rights: %1").arg(query.lastError().text().trimmed());
        return false;
    }
    query.addBindValue(m_user);
    if (!query.exec()) {
        if (error)
            *error = QStringLiteral("cannot read the rights: %1").arg(query.lastError().text().trimmed());
        return false;
    }
    while (query.next())
        m_cities[query.value(0).toString()].append(query.value(1).toString());
    for (QStringList& list : m_cities)
        std::sort(list.begin(), list.end(), cityBefore);
    return true;
}

QStringList RightServiceImpl::cities(const QString& function)
{
    if (!m_loaded)
        load(nullptr);
    return m_cities.value(function);
}

QString RightServiceImpl::GetRightCityList(const QString& function)
{
    QStringList items;
    for (const QString& city : cities(function))
        items.append(sqlQuoted(city));
    return items.join(QLatin1Char(','));
}

bool RightServiceImpl::HasCityRight(const QString& function, const QString& cityId)
{
    return cities(function).contains(cityId);
}

} // namespace corvan::host
