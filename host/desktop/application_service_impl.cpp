// SPDX-License-Identifier: MIT
#include "desktop/application_service_impl.h"

#include "data/database_location.h"

#include <QFileInfo>

namespace corvan::host {

ApplicationServiceImpl::ApplicationServiceImpl(QObject* parent) : QObject(parent) {}

QString ApplicationServiceImpl::ApplicationName() const
{
    return QStringLiteral("corvan");
}

QString ApplicationServiceImpl::HostVersion() const
{
    return QStringLiteral("corvan " CORVAN_VERSION);
}

void ApplicationServiceImpl::setDatabase(const DatabaseLocation& location)
{
    m_database = describe(location);
}

QString ApplicationServiceImpl::describe(const DatabaseLocation& location)
{
    if (location.isSqlite())
        return QStringLiteral("SQLite 文件 ") + QFileInfo(location.filePath()).absoluteFilePath();
    // Built from the parts, never from the text the user gave, which may hold a password.
    // Every server the address names: which one is in use the connection itself tells.
    return QStringLiteral("PostgreSQL 数据库 %1（服务器 %2，用户 %3）")
        .arg(location.databaseName(), location.servers().join(QLatin1Char(',')), location.userName());
}

} // namespace corvan::host
