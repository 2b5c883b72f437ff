// SPDX-License-Identifier: MIT
#pragma once

#include "corvan/services.h"

#include <QHash>
#include <QObject>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace corvan::host {

// The user's rights, kept by the host in host_right: per function number, the cities
// the user may work on. Read once, on first use, for the user the service was set to.
class RightServiceImpl : public QObject, public RightService {
    Q_OBJECT
    Q_INTERFACES(corvan::RightService)

public:
    explicit RightServiceImpl(QObject* parent = nullptr);

    // Forgets what was read; the next call reads the rights of this user.
    void setSource(const QSqlDatabase& db, const QString& user);
    // Reads now; false (and why) when host_right cannot be read. The user then has no rights.
    bool load(QString* error);

    // The city ids of a function, in ascending order.
    QStringList cities(const QString& function);

    // Each id in single quotes, joined by "," ('11','12'), so that "city in ( ... )" compares
    // text with text on every engine; empty when the user has no city for the function.
    QString GetRightCityList(const QString& function) override;
    bool HasCityRight(const QString& function, const QString& cityId) override;

private:
    QString m_connectionName;
    QString m_user;
    bool m_loaded = false;
    QHash<QString, QStringList> m_cities;
};

} // namespace corvan::host
