// SPDX-License-Identifier: MIT
#pragma once

#include "corvan/services.h"

#include <QObject>
#include <QString>

namespace corvan::host {

// Messages to the user as modal message boxes, titled with the application's name.
class MessageServiceImpl : public QObject, public MessageService {
    Q_OBJECT
    Q_INTERFACES(corvan::MessageService)

public:
    explicit MessageServiceImpl(QObject* parent = nullptr);
    void ShowMessage(const QString& text) override;
};

} // namespace corvan::host
