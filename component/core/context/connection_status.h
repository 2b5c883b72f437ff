// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace corvan {

class mdlPubVar;

// What the user is told of the host's connection to the database, where the host says
// anything of it (its optional ConnectionService): the server in use, or that it cannot be
// reached and the host keeps trying. Empty where the host says nothing.
class ConnectionStatus {
public:
    // "已连接 HOST:PORT"; "连接中断，正在重新连接 …"; "无法连接数据库服务器 …，正在重试".
    static QString text(const mdlPubVar& context);
    // What stands in place of a result that a broken connection kept from being read,
    // followed by what the user may do about it.
    static QString unread(const mdlPubVar& context, const QString& then);
    // Whether the host is without a working connection now.
    static bool broken(const mdlPubVar& context);
};

} // namespace corvan
