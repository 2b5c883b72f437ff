// SPDX-License-Identifier: MIT
#include "entry/mdl_pub_var.h"

#include <QWidget>

namespace corvan {

mdlPubVar& mdlPubVar::instance()
{
    static mdlPubVar state;
    return state;
}

bool mdlPubVar::setResourceViewService(QObject* object)
{
    // Reached by member name, so any object serves; a missing one does not.
    if (!object)
        return false;
    m_resourceView = object;
    return true;
}

void mdlPubVar::reset()
{
    m_sheet.clear();
    m_ui.clear();
    m_context.clear();
    m_application.clear();
    m_message.clear();
    m_data.clear();
    m_right.clear();
    m_resourceView.clear();
    rightCityList.clear();
}

void mdlPubVar::registerForm(QWidget* form)
{
    if (!form)
        return;
    for (const auto& known : std::as_const(m_forms))
        if (known == form)
            return;
    m_forms.append(form);
    // A destroyed window leaves the collection at once, whoever destroyed it.
    // (The guarded pointer is already null when the signal comes.)
    QObject::connect(form, &QObject::destroyed,
                     [this] { m_forms.removeIf([](const QPointer<QWidget>& p) { return p.isNull(); }); });
}

QList<QWidget*> mdlPubVar::forms() const
{
    QList<QWidget*> live;
    for (const auto& form : m_forms)
        if (form)
            live.append(form.data());
    return live;
}

QList<QPointer<QWidget>> mdlPubVar::guardedForms() const
{
    QList<QPointer<QWidget>> live;
    for (const auto& form : m_forms)
        if (form)
            live.append(form);
    return live;
}

QWidget* mdlPubVar::form(const QString& objectName) const
{
    for (const auto& form : m_forms)
        if (form && form->objectName() == objectName)
            return form.data();
    return nullptr;
}

void mdlPubVar::unloadForm(QWidget* form)
{
    if (!form)
        return;
    QPointer<QWidget> guard(form);
    form->close();
    // close() may already have destroyed it (or scheduled it); destroying it now keeps
    // the collection exact for the caller.
    delete guard.data();
}

} // namespace corvan
