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

std::unique_ptr<RecordSet> mdlPubVar::optionRows(const QString& sql) const
{
    if (m_keepOptionLists) {
        const auto kept = m_optionLists.constFind(sql);
        if (kept != m_optionLists.cend())
            return std::make_unique<RecordSet>(*kept);
    }
    auto rows = m_db.open(sql);
    // A failed read is not kept: the next page tries again.
    if (rows && m_keepOptionLists)
        m_optionLists.insert(sql, *rows);
    return rows;
}

QVector<QObject*> mdlPubVar::objectArray() const
{
    QVector<QObject*> objects(HostSlot::ArraySize, nullptr);
    objects[HostSlot::Sheet] = m_sheet;
    objects[HostSlot::Ui] = m_ui;
    objects[HostSlot::Context] = m_context;
    objects[HostSlot::Application] = m_application;
    objects[HostSlot::Message] = m_message;
    objects[HostSlot::Data] = m_data;
    objects[HostSlot::Right] = m_right;
    objects[HostSlot::ResourceView] = m_resourceView;
    return objects;
}

void mdlPubVar::registerForm(QObject* form)
{
    if (!form)
        return;
    for (const auto& known : std::as_const(m_forms))
        if (known == form)
            return;
    m_forms.append(form);
}

QList<QObject*> mdlPubVar::forms() const
{
    QList<QObject*> live;
    for (const auto& form : m_forms)
        if (form)
            live.append(form.data());
    return live;
}

QObject* mdlPubVar::form(const QString& objectName) const
{
    for (const auto& form : m_forms)
        if (form && form->objectName() == objectName)
            return form.data();
    return nullptr;
}

} // namespace corvan
