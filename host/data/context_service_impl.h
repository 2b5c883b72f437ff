// SPDX-License-Identifier: MIT
#pragma once

#include "corvan/services.h"

#include <QObject>
#include <QSqlDatabase>
#include <QString>

namespace corvan::host {

// Who and where the user is. The province is read from com_province the first time it
// is asked for (or when resolve() is called), so a host can point the service at a
// database before the database holds its rows.
class ContextServiceImpl : public QObject, public ContextService {
    Q_OBJECT
    Q_INTERFACES(corvan::ContextService)

public:
    explicit ContextServiceImpl(QObject* parent = nullptr);

    // provinceChoice: a pro_id or a pro_name; empty for the first province by pro_id.
    void setSource(const QSqlDatabase& db, const QString& provinceChoice);
    // Reads the province now; false (and why) when it cannot be found.
    bool resolve(QString* error);
    // An empty user stands for the login name.
    void setUser(const QString& user) { m_user = user; }

    // The name the operating system knows the user by.
    static QString loginName();

    // Who the host works for. A PostgreSQL server has authenticated a role, and that role
    // (session_user) is the user: a requested name other than the role is refused, since
    // the rights and the records would otherwise belong to whoever the command line names.
    // An SQLite file is one person's: the requested name, else the login name.
    static bool identify(const QSqlDatabase& db, const QString& requested, QString* user, QString* error);

    qint16 CurrentProvinceId() override;
    QString CurrentProvinceName() override;
    QString CurrentUser() override;

private:
    QString m_connectionName;
    QString m_provinceChoice;
    QString m_user;
    bool m_resolved = false;
    qint16 m_provinceId = 0;
    QString m_provinceName;
};

} // namespace corvan::host
