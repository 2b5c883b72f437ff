// SPDX-License-Identifier: MIT
#include "data/context_service_impl.h"

#include <QDir>
#include <QSqlError>
#include <QSqlQuery>
#include <QVector>
#include <algorithm>

namespace corvan::host {

namespace {

struct Province {
    QString id;
    QString name;
};

// pro_id is text; "4" comes before "10" the way a person reads the ids.
bool provinceBefore(const Province& a, const Province& b)
{
    bool aNumeric = false;
    bool bNumeric = false;
    const qlonglong aValue = a.id.toLongLong(&aNumeric);
    const qlonglong bValue = b.id.toLongLong(&bNumeric);
    if (aNumeric != bNumeric)
        return aNumeric;
    if (aNumeric && aValue != bValue)
        return aValue < bValue;
    return a.id < b.id;
}

bool fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

} // namespace

ContextServiceImpl::ContextServiceImpl(QObject* parent) : QObject(parent) {}

void ContextServiceImpl::setSource(const QSqlDatabase& db, const QString& provinceChoice)
{
    m_connectionName = db.connectionName();
    m_provinceChoice = provinceChoice.trimmed();
    m_resolved = false;
    m_provinceId = 0;
    m_provinceName.clear();
}

QString ContextServiceImpl::loginName()
{
    const QString user = qEnvironmentVariable("USER");
    return user.isEmpty() ? QDir::home().dirName() : user;
}

bool ContextServiceImpl::identify(const QSqlDatabase& db, const QString& requested, QString* user,
                                  QString* error)
{
    if (db.driverName() != QLatin1String("QPSQL")) {
        *user = requested.isEmpty() ? loginName() : requested;
        return true;
    }
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("select session_user")) || !query.next())
        return fail(error, QStringLiteral("cannot ask the server who is connected: %1")
                               .arg(query.lastError().text().trimmed()));
    const QString role = query.value(0).toString();
    if (!requested.isEmpty() && requested != role)
        return fail(error,
                    QStringLiteral("--user %1 is refused: the server authenticated the role %2, and on "
                                   "PostgreSQL the user is that role (connect as %1 to work as %1)")
                        .arg(requested, role));
    *user = role;
    return true;
}

bool ContextServiceImpl::resolve(QString* error)
{
    // Asked once: a province that cannot be found stays unknown (id 0, no name)
    // instead of hitting the database on every call.
    m_resolved = true;
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("select pro_id, pro_name from com_province")))
        return fail(error,
                    QStringLiteral("cannot read the provinces: %1").arg(query.lastError().text().trimmed()));
    QVector<Province> provinces;
    while (query.next())
        provinces.append({query.value(0).toString(), query.value(1).toString()});
    if (provinces.isEmpty())
        return fail(error, QStringLiteral("the database has no province (com_province is empty)"));
    std::sort(provinces.begin(), provinces.end(), provinceBefore);

    const Province* chosen = &provinces.first();
    if (!m_provinceChoice.isEmpty()) {
        const auto byId = std::find_if(provinces.cbegin(), provinces.cend(),
                                       [&](const Province& p) { return p.id == m_provinceChoice; });
        const auto byName = std::find_if(provinces.cbegin(), provinces.cend(),
                                         [&](const Province& p) { return p.name == m_provinceChoice; });
        if (byId != provinces.cend())
            chosen = &*byId;
        else if (byName != provinces.cend())
            chosen = &*byName;
        else
            return fail(error, QStringLiteral("unknown province \"%1\"").arg(m_provinceChoice));
    }
    bool numeric = false;
    const short id = chosen->id.toShort(&numeric);
    if (!numeric)
        return fail(
            error,
            QStringLiteral("the province id \"%1\" is not a number from -32768 to 32767").arg(chosen->id));
    m_provinceId = id;
    m_provinceName = chosen->name;
    return true;
}

qint16 ContextServiceImpl::CurrentProvinceId()
{
    if (!m_resolved)
        resolve(nullptr);
    return m_provinceId;
}

QString ContextServiceImpl::CurrentProvinceName()
{
    if (!m_resolved)
        resolve(nullptr);
    return m_provinceName;
}

QString ContextServiceImpl::CurrentUser()
{
    return m_user.isEmpty() ? loginName() : m_user;
}

} // namespace corvan::host
