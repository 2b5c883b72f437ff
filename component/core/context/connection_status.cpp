// SPDX-License-Identifier: MIT
#include "core/context/connection_status.h"

#include "core/context/mdl_pub_var.h"

namespace corvan {

namespace {

// A host working on a database file names its path; a server is HOST:PORT.
bool isFile(const QString& server)
{
    return server.startsWith(QLatin1Char('/'));
}

QString unreachable(const QString& server)
{
    return (isFile(server) ? QStringLiteral("无法打开数据库文件 %1，正在重试")
                           : QStringLiteral("无法连接数据库服务器 %1，正在重试"))
        .arg(server);
}

} // namespace

QString ConnectionStatus::text(const mdlPubVar& context)
{
    const ConnectionService* connection = context.ConnectionService();
    if (!connection)
        return {};
    const QString server = connection->ServerName();
    switch (connection->ConnectionState()) {
    case ConnectionService::State::Connected:
        return (isFile(server) ? QStringLiteral("已打开 %1") : QStringLiteral("已连接 %1")).arg(server);
    case ConnectionService::State::Reconnecting:
        return QStringLiteral("连接中断，正在重新连接 %1").arg(server);
    case ConnectionService::State::Unreachable:
        return unreachable(server);
    }
    return {};
}

QString ConnectionStatus::unread(const mdlPubVar& context, const QString& then)
{
    const ConnectionService* connection = context.ConnectionService();
    const QString server = connection ? connection->ServerName() : QString();
    return (server.isEmpty() ? QStringLiteral("与数据库的连接中断") : unreachable(server)) +
           QStringLiteral("。") + then;
}

bool ConnectionStatus::broken(const mdlPubVar& context)
{
    const ConnectionService* connection = context.ConnectionService();
    return connection && connection->ConnectionState() != ConnectionService::State::Connected;
}

} // namespace corvan
