// SPDX-License-Identifier: MIT
#include "recording_message_service.h"

namespace corvan::test {

RecordingMessageService::RecordingMessageService(QObject* parent) : QObject(parent) {}

void RecordingMessageService::ShowMessage(const QString& text)
{
    messages.append(text);
}

} // namespace corvan::test
