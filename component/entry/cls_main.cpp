// SPDX-License-Identifier: MIT
#include "entry/cls_main.h"

#include <QPointer>
#include <QWidget>

#include "browser/frm_main.h"
#include "entry/mdl_pub_var.h"
#include "history/frm_view_history.h"

namespace corvan {

namespace {

// The texts the original platform gave these two failures; hosts may show them.
const QString SubscriptOutOfRangeText = QStringLiteral("Subscript out of range");
const QString TypeMismatchText = QStringLiteral("Type mismatch");

[[noreturn]] void subscriptOutOfRange()
{
    throw ComponentError(int(ComponentErrorNumber::SubscriptOutOfRange), SubscriptOutOfRangeText);
}

[[noreturn]] void typeMismatch()
{
    throw ComponentError(int(ComponentErrorNumber::TypeMismatch), TypeMismatchText);
}

} // namespace

clsMain::clsMain(QObject* parent) : QObject(parent) {}

void clsMain::initEnv(const QVector<QObject*>& objArr)
{
    auto& state = mdlPubVar::instance();
    // Subscripts are absolute, read one after the other: a failure leaves the fields
    // stored before it with their new values.
    const auto element = [&objArr](int subscript) -> QObject* {
        if (subscript >= objArr.size())
            subscriptOutOfRange();
        return objArr.at(subscript);
    };
    const auto require = [](bool stored) {
        if (!stored)
            typeMismatch();
    };
    require(state.setSheetService(element(HostSlot::Sheet)));
    require(state.setUiService(element(HostSlot::Ui)));
    require(state.setContextService(element(HostSlot::Context)));
    require(state.setApplicationService(element(HostSlot::Application)));
    require(state.setMessageService(element(HostSlot::Message)));
    require(state.setDataService(element(HostSlot::Data)));
    require(state.setRightService(element(HostSlot::Right)));
    require(state.setResourceViewService(element(HostSlot::ResourceView)));
}

void clsMain::clearEnv()
{
    // Unloading one window may take others with it (a docked pane goes with its host
    // window): each is unloaded once, and one already gone is passed over.
    for (const QPointer<QWidget>& form : mdlPubVar::instance().guardedForms())
        mdlPubVar::unloadForm(form.data());
}

void clsMain::hildFrm()
{
    const QList<QWidget*> forms = mdlPubVar::instance().forms();
    m_visible = QVector<bool>(forms.size() + 1, false);
    for (qsizetype i = 0; i < forms.size(); ++i) {
        m_visible[i] = forms.at(i)->isVisible();
        forms.at(i)->setVisible(false);
    }
}

void clsMain::showFrm()
{
    const QList<QWidget*> forms = mdlPubVar::instance().forms();
    for (qsizetype i = 0; i < forms.size(); ++i) {
        // A window loaded since the last hildFrm reads the spare entry (hidden); two or
        // more such windows run past the record, as does a showFrm without hildFrm.
        if (i >= m_visible.size())
            subscriptOutOfRange();
        forms.at(i)->setVisible(m_visible.at(i));
    }
}

void clsMain::ShowMainForm()
{
    // The host expects this call to come back normally whatever happens.
    try {
        auto& state = mdlPubVar::instance();
        mdlPubVar::unloadForm(state.form(QStringLiteral("frmQInBaseRoom")));
        mdlPubVar::unloadForm(state.form(QStringLiteral("frmMain")));
        auto* main = new frmMain();
        main->show();
        // A history window opened from the earlier main window stays open, now owned by
        // this one.
        for (QWidget* form : state.forms())
            if (auto* history = qobject_cast<frmViewHistory*>(form))
                history->setOwnerWindow(main);
    } catch (...) {
    }
}

} // namespace corvan
