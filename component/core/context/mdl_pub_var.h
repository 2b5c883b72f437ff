// SPDX-License-Identifier: MIT
#pragma once

#include <memory>
#include <optional>

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVector>

#include "core/context/system_db.h"
#include "corvan/component.h"
#include "corvan/services.h"

namespace corvan {

class WizardPrompt;

// The component's context, its module state: the host's services as initEnv handed them
// over, and the one road to the database over them.
// One instance per loaded component, made by its clsMain and handed to every window and
// procedure that needs it; nothing of it is process-wide, so two components in one
// process never see each other. Needs no widget; the entry class keeps the windows.
class mdlPubVar {
public:
    mdlPubVar();
    mdlPubVar(const mdlPubVar&) = delete;
    mdlPubVar& operator=(const mdlPubVar&) = delete;

    // The services, each through its own interface; nullptr until initEnv has set it
    // (or after the host deleted the object, which the guarded pointers notice).
    corvan::SheetService* SheetService() const { return qobject_cast<corvan::SheetService*>(m_sheet); }
    corvan::UiService* UiService() const { return qobject_cast<corvan::UiService*>(m_ui); }
    // Offered by some UI services only.
    corvan::ProgressService* ProgressService() const { return qobject_cast<corvan::ProgressService*>(m_ui); }
    corvan::ContextService* ContextService() const
    {
        return qobject_cast<corvan::ContextService*>(m_context);
    }
    corvan::ApplicationService* ApplicationService() const
    {
        return qobject_cast<corvan::ApplicationService*>(m_application);
    }
    // Offered by some application objects only.
    corvan::HostInfoService* HostInfoService() const
    {
        return qobject_cast<corvan::HostInfoService*>(m_application);
    }
    corvan::MessageService* MessageService() const
    {
        return qobject_cast<corvan::MessageService*>(m_message);
    }
    corvan::DataService* DataService() const { return qobject_cast<corvan::DataService*>(m_data); }
    // Offered by some data services only.
    corvan::TransactionService* TransactionService() const
    {
        return qobject_cast<corvan::TransactionService*>(m_data);
    }
    // Offered by some data services only.
    corvan::RowCountService* RowCountService() const
    {
        return qobject_cast<corvan::RowCountService*>(m_data);
    }
    // Offered by some data services only.
    corvan::ConnectionService* ConnectionService() const
    {
        return qobject_cast<corvan::ConnectionService*>(m_data);
    }
    // Offered by some data services only.
    corvan::BoundWriteService* BoundWriteService() const
    {
        return qobject_cast<corvan::BoundWriteService*>(m_data);
    }
    corvan::CommitOutcomeService* CommitOutcomeService() const
    {
        return qobject_cast<corvan::CommitOutcomeService*>(m_data);
    }
    // Offered by some data services only.
    corvan::StandbyReadService* StandbyReadService() const
    {
        return qobject_cast<corvan::StandbyReadService*>(m_data);
    }
    // Offered by some data services only.
    corvan::CityLockService* CityLockService() const
    {
        return qobject_cast<corvan::CityLockService*>(m_data);
    }
    // The data service object itself, whose signals a window may follow.
    QObject* DataObject() const { return m_data; }
    // Offered by some sheet services only.
    corvan::WorkbookService* WorkbookService() const
    {
        return qobject_cast<corvan::WorkbookService*>(m_sheet);
    }
    corvan::WorkbookPrintService* WorkbookPrintService() const
    {
        return qobject_cast<corvan::WorkbookPrintService*>(m_sheet);
    }
    corvan::TextWorkbookService* TextWorkbookService() const
    {
        return qobject_cast<corvan::TextWorkbookService*>(m_sheet);
    }
    corvan::RightService* RightService() const { return qobject_cast<corvan::RightService*>(m_right); }
    // Called by member name.
    QObject* ResourceViewService() const { return m_resourceView; }

    // The one road to the host's "systemDB".
    SystemDb& db() { return m_db; }
    const SystemDb& db() const { return m_db; }

    // Whether the database has the journal's table, once it was looked at (Journal::available);
    // another data service forgets the answer.
    std::optional<bool> journalTable() const { return m_journalTable; }
    void setJournalTable(bool present) const { m_journalTable = present; }

    // The prompt through which the relocation windows tell the user something, set by a
    // host or a test that shows messages its own way before it opens them; none (the
    // default): each window shows its own message boxes. Not owned.
    WizardPrompt* prompt() const { return m_prompt; }
    void setPrompt(WizardPrompt* prompt) { m_prompt = prompt; }

    // Takes over every service of other but its data service, whose place data takes (a
    // relocation plan's reads through a cache of its own). The rest of this context (its
    // prompt, its journal answer) starts afresh.
    void deriveFrom(const mdlPubVar& other, QObject* data);

    // Stores an element of the host's array; false when it does not offer the interface.
    bool setSheetService(QObject* object) { return store<corvan::SheetService>(m_sheet, object); }
    bool setUiService(QObject* object) { return store<corvan::UiService>(m_ui, object); }
    bool setContextService(QObject* object) { return store<corvan::ContextService>(m_context, object); }
    bool setApplicationService(QObject* object)
    {
        return store<corvan::ApplicationService>(m_application, object);
    }
    bool setMessageService(QObject* object) { return store<corvan::MessageService>(m_message, object); }
    bool setDataService(QObject* object)
    {
        m_journalTable.reset();
        return store<corvan::DataService>(m_data, object);
    }
    bool setRightService(QObject* object) { return store<corvan::RightService>(m_right, object); }
    bool setResourceViewService(QObject* object);

    // Takes the host's object array by absolute subscript, 1 to 7 then 14, each element
    // stored before the next is read: a failure keeps the ones stored before it.
    enum class Services { Stored, SubscriptOutOfRange, TypeMismatch };
    Services setServices(const QVector<QObject*>& objArr);

private:
    template <class Interface> static bool store(QPointer<QObject>& field, QObject* object)
    {
        // An element without the interface is refused and leaves the field as it was.
        if (!qobject_cast<Interface*>(object))
            return false;
        field = object;
        return true;
    }

    QPointer<QObject> m_sheet;
    QPointer<QObject> m_ui;
    QPointer<QObject> m_context;
    QPointer<QObject> m_application;
    QPointer<QObject> m_message;
    QPointer<QObject> m_data;
    QPointer<QObject> m_right;
    QPointer<QObject> m_resourceView;
    SystemDb m_db;
    WizardPrompt* m_prompt = nullptr;
    mutable std::optional<bool> m_journalTable;
};

} // namespace corvan
