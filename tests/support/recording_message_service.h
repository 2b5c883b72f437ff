// SPDX-License-Identifier: MIT
#pragma once

#include "corvan/services.h"

#include <QObject>
#include <QString>
#include <QStringList>

namespace corvan::test {

// Keeps the messages the user would have seen, in order, instead of showing boxes.
class RecordingMessageService : public QObject, public MessageService {
    Q_OBJECT
    Q_INTERFACES(corvan::MessageService)

public:
    explicit RecordingMessageService(QObject* parent = nullptr);
    void ShowMessage(const QString& text) override;

    QStringList messages;
};

} // namespace corvan::test
