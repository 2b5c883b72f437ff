// SPDX-License-Identifier: MIT
#pragma once

#include <functional>

#include <QMap>
#include <QString>
#include <QWidget>

#include "core/relocation/wizard_prompt.h"
#include "corvan/attr_table.h"

class QPushButton;
class QStackedWidget;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace corvan {

class PropertyGrid;
class RoomMove;
class Sheet;
class mdlPubVar;

// Moving a whole machine room: the room's BTSs to tick and the values they share on the
// first page, what each BTS still needs on the second (one grid per BTS), and the summary of
// every BTS on the finish page; Commit moves them all at once. The work is the core's
// RoomMove; this window lays out its grids and follows the user's clicks.
class frmMoveRoom : public QWidget, public WizardPrompt {
    Q_OBJECT

public:
    static const QString Caption;
    static constexpr int LastPage = 2;

    // tables: network letter to the table of the BTS of that network standing in the room.
    frmMoveRoom(mdlPubVar& context, const QString& roomName, const QMap<QString, AttrTable>& tables,
                QWidget* parent = nullptr);
    ~frmMoveRoom() override;

    RoomMove& move() const { return *m_move; }
    int currentPage() const;
    QTreeWidgetItem* btsItem(const QString& net) const;

    void cmdNextClick();
    void cmdPrevClick();
    bool cmdOkClick();
    void cmdCancelClick();

    void showMessage(const QString& text, Icon icon = Icon::None) override;
    bool askRetry(const QString& text, const QString& details) override;
    void setMessagePresenter(std::function<void(const QString&, Icon)> presenter)
    {
        m_presenter = std::move(presenter);
    }

signals:
    void moved();

private:
    void goToPage(int page);

    mdlPubVar& m_context;
    RoomMove* m_move = nullptr;
    QStackedWidget* m_pages = nullptr;
    QTreeWidget* m_smRoomBts = nullptr;
    PropertyGrid* m_smRoomNew = nullptr;
    QTabWidget* m_sstBts = nullptr;
    QMap<QString, PropertyGrid*> m_grids;
    Sheet* m_fbRoomModify = nullptr;
    QPushButton* m_cmdPrev = nullptr;
    QPushButton* m_cmdNext = nullptr;
    QPushButton* m_cmdOk = nullptr;
    QPushButton* m_cmdCancel = nullptr;
    std::function<void(const QString&, Icon)> m_presenter;
};

} // namespace corvan
