// SPDX-License-Identifier: MIT
#include "test_host.h"

namespace corvan::test {

TestHost::TestHost(TestDatabase& database, const QString& user, const QString& province)
    : m_recorder(std::make_unique<RecordingDataService>(database.service())),
      m_messages(std::make_unique<RecordingMessageService>()),
      m_services(std::make_unique<host::HostServices>(database.service()))
{
    m_services->configure(user, province);
    m_services->replaceDataObject(m_recorder.get());
    m_services->replaceMessageObject(m_messages.get());
}

TestHost::~TestHost() = default;

} // namespace corvan::test
