// SPDX-License-Identifier: MIT
#include "core/context/mdl_pub_var.h"

namespace corvan {

mdlPubVar::mdlPubVar() : m_db(*this) {}

bool mdlPubVar::setResourceViewService(QObject* object)
{
    // Reached by member name, so any object serves; a missing one does not.
    if (!object)
        return false;
    m_resourceView = object;
    return true;
}

mdlPubVar::Services mdlPubVar::setServices(const QVector<QObject*>& objArr)
{
    using Setter = bool (mdlPubVar::*)(QObject*);
    const std::pair<int, Setter> order[] = {
        {HostSlot::Sheet, &mdlPubVar::setSheetService},
        {HostSlot::Ui, &mdlPubVar::setUiService},
        {HostSlot::Context, &mdlPubVar::setContextService},
        {HostSlot::Application, &mdlPubVar::setApplicationService},
        {HostSlot::Message, &mdlPubVar::setMessageService},
        {HostSlot::Data, &mdlPubVar::setDataService},
        {HostSlot::Right, &mdlPubVar::setRightService},
        {HostSlot::ResourceView, &mdlPubVar::setResourceViewService},
    };
    for (const auto& [subscript, set] : order) {
        if (subscript >= objArr.size())
            return Services::SubscriptOutOfRange;
        if (!(this->*set)(objArr.at(subscript)))
            return Services::TypeMismatch;
    }
    return Services::Stored;
}

void mdlPubVar::deriveFrom(const mdlPubVar& other, QObject* data)
{
    m_sheet = other.m_sheet;
    m_ui = other.m_ui;
    m_context = other.m_context;
    m_application = other.m_application;
    m_message = other.m_message;
    m_right = other.m_right;
    m_resourceView = other.m_resourceView;
    setDataService(data);
}

} // namespace corvan
