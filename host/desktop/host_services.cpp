// SPDX-License-Identifier: MIT
#include "desktop/host_services.h"

#include "corvan/component.h"
#include "data/context_service_impl.h"
#include "data/right_service_impl.h"
#include "data/sql_data_service.h"
#include "desktop/application_service_impl.h"
#include "desktop/message_service_impl.h"
#include "desktop/resource_view_service_impl.h"
#include "desktop/sheet_service_impl.h"
#include "desktop/ui_service_impl.h"

namespace corvan::host {

HostServices::HostServices(SqlDataService* data, QObject* parent)
    : QObject(parent), m_data(data), m_context(new ContextServiceImpl(this)),
      m_rights(new RightServiceImpl(this)), m_messages(new MessageServiceImpl(this)),
      m_ui(new UiServiceImpl(this)), m_sheets(new SheetServiceImpl(this)),
      m_resourceView(new ResourceViewServiceImpl(this)), m_application(new ApplicationServiceImpl(this)),
      m_dataObject(data), m_messageObject(m_messages)
{
    // Export and print show their progress as the component's long work does.
    m_sheets->setProgress(m_ui);
    if (!m_data)
        return;
    // The user waits while the host connects anew, and nothing prepared on the old
    // connection is used on the new one.
    connect(m_data, &SqlDataService::reconnecting, m_ui, [ui = m_ui](bool active) {
        if (active)
            ui->BeginWait(nullptr);
        else
            ui->EndWait();
    });
    connect(m_data, &SqlDataService::reconnected, m_resourceView, &ResourceViewServiceImpl::forgetStatements);
}

HostServices::~HostServices() = default;

void HostServices::configure(const QString& user, const QString& provinceChoice)
{
    const QString name = user.isEmpty() ? ContextServiceImpl::loginName() : user;
    m_context->setUser(name);
    if (m_data) {
        m_context->setSource(m_data->database(), provinceChoice);
        m_rights->setSource(m_data->database(), name);
        m_resourceView->setSource(m_data->database());
        m_resourceView->setRecovery([data = m_data] { return data->recoverConnection(); });
        m_application->setDatabase(m_data->location());
    }
}

QVector<QObject*> HostServices::objectArray() const
{
    QVector<QObject*> array(HostSlot::ArraySize, nullptr);
    array[HostSlot::Sheet] = m_sheets;
    array[HostSlot::Ui] = m_ui;
    array[HostSlot::Context] = m_context;
    array[HostSlot::Application] = m_application;
    array[HostSlot::Message] = m_messageObject.data();
    array[HostSlot::Data] = m_dataObject.data();
    array[HostSlot::Right] = m_rights;
    array[HostSlot::ResourceView] = m_resourceView;
    return array;
}

void HostServices::replaceDataObject(QObject* object)
{
    m_dataObject = object ? object : m_data;
}

void HostServices::replaceMessageObject(QObject* object)
{
    m_messageObject = object ? object : static_cast<QObject*>(m_messages);
}

} // namespace corvan::host
