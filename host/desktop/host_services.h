// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVector>

namespace corvan::host {

class ApplicationServiceImpl;
class ContextServiceImpl;
class MessageServiceImpl;
class ResourceViewServiceImpl;
class RightServiceImpl;
class SheetServiceImpl;
class SqlDataService;
class UiServiceImpl;

// Every service the host hands to the component, and the object array that initEnv
// reads by subscript. The data service is the caller's (it outlives a component and
// may be shared); the others belong to this object.
class HostServices : public QObject {
    Q_OBJECT

public:
    explicit HostServices(SqlDataService* data, QObject* parent = nullptr);
    ~HostServices() override;

    // Points context and rights at the data service's database. An empty user stands
    // for the login name; an empty province for the first one in com_province.
    void configure(const QString& user, const QString& provinceChoice);

    SqlDataService* data() const { return m_data; }
    ContextServiceImpl* context() const { return m_context; }
    RightServiceImpl* rights() const { return m_rights; }
    MessageServiceImpl* messages() const { return m_messages; }
    UiServiceImpl* ui() const { return m_ui; }
    SheetServiceImpl* sheets() const { return m_sheets; }
    ResourceViewServiceImpl* resourceView() const { return m_resourceView; }
    ApplicationServiceImpl* application() const { return m_application; }

    // Subscripts 0..14 (corvan::HostSlot); the ones initEnv does not read are null.
    QVector<QObject*> objectArray() const;

    // Put another object at subscript 6 (data) or 5 (messages), such as a recording
    // wrapper in a test. Null puts the host's own one back.
    void replaceDataObject(QObject* object);
    void replaceMessageObject(QObject* object);

private:
    SqlDataService* m_data;
    ContextServiceImpl* m_context;
    RightServiceImpl* m_rights;
    MessageServiceImpl* m_messages;
    UiServiceImpl* m_ui;
    SheetServiceImpl* m_sheets;
    ResourceViewServiceImpl* m_resourceView;
    ApplicationServiceImpl* m_application;
    QPointer<QObject> m_dataObject;
    QPointer<QObject> m_messageObject;
};

} // namespace corvan::host
