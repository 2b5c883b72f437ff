// SPDX-License-Identifier: MIT
#pragma once

#include "corvan/services.h"

#include <QObject>
#include <QString>

namespace corvan::host {

// The host application as the component sees it; the component keeps it and calls nothing.
class ApplicationServiceImpl : public QObject, public ApplicationService {
    Q_OBJECT
    Q_INTERFACES(corvan::ApplicationService)

public:
    explicit ApplicationServiceImpl(QObject* parent = nullptr);
    QString ApplicationName() const override;
};

} // namespace corvan::host
