// SPDX-License-Identifier: MIT
#pragma once

#include "corvan/services.h"

#include <QObject>
#include <QString>

namespace corvan::host {

class DatabaseLocation;

// The host application as the component sees it, and what it tells about where it works:
// the database in use, described without any password.
class ApplicationServiceImpl : public QObject, public ApplicationService, public HostInfoService {
    Q_OBJECT
    Q_INTERFACES(corvan::ApplicationService corvan::HostInfoService)

public:
    explicit ApplicationServiceImpl(QObject* parent = nullptr);
    QString ApplicationName() const override;

    void setDatabase(const DatabaseLocation& location);
    // "SQLite 文件 PATH", or "PostgreSQL 数据库 NAME（服务器 HOST:PORT[,HOST:PORT…]，用户 USER）".
    static QString describe(const DatabaseLocation& location);
    QString DatabaseDescription() const override { return m_database; }
    QString HostVersion() const override;

private:
    QString m_database;
};

} // namespace corvan::host
