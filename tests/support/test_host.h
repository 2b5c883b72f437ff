// SPDX-License-Identifier: MIT
#pragma once

#include "desktop/host_services.h"
#include "recording_data_service.h"
#include "recording_message_service.h"
#include "test_database.h"

#include <QObject>
#include <QString>
#include <QVector>
#include <memory>

namespace corvan::test {

// A complete host for initEnv around a TestDatabase: the reference services on its data
// service, with a recording data service at subscript 6 and a recording message service
// at 5. Province and rights are read when first asked for, so fixture rows may be
// inserted after the host is made.
class TestHost {
public:
    explicit TestHost(TestDatabase& database, const QString& user = QStringLiteral("demo"),
                      const QString& province = QStringLiteral("4"));
    ~TestHost();
    TestHost(const TestHost&) = delete;
    TestHost& operator=(const TestHost&) = delete;

    QVector<QObject*> objectArray() const { return m_services->objectArray(); }
    RecordingDataService* recorder() const { return m_recorder.get(); }
    RecordingMessageService* messages() const { return m_messages.get(); }
    host::HostServices* services() const { return m_services.get(); }

private:
    std::unique_ptr<RecordingDataService> m_recorder;
    std::unique_ptr<RecordingMessageService> m_messages;
    std::unique_ptr<host::HostServices> m_services;
};

} // namespace corvan::test
