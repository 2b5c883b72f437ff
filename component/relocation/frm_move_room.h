// SPDX-License-Identifier: MIT
#pragma once

#include <memory>

#include <QMap>
#include <QPointer>
#include <QString>
#include <QWidget>

#include "core/context/wizard_prompt.h"
#include "corvan/attr_table.h"

class QKeyEvent;
class QPushButton;
class QShowEvent;
class QStackedWidget;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace corvan {

class PropertyGrid;
class PropertyItems;
class RoomMove;
class Sheet;
class mdlPubVar;

// Moving a whole machine room: the room's BTSs to tick and the values they share on the
// first page, what each BTS still needs on the second (one grid per BTS), and the summary of
// every BTS on the finish page; Commit moves them all at once. The work is the core's
// RoomMove; this window lays out its grids and follows the user's clicks.
class frmMoveRoom : public QWidget {
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

    // Opens the target room picker for the shared room row; typed starts its filter.
    void pickRoom(const QString& typed = QString());

    // The question Cancel and Escape ask before edits are given up.
    static const QString DiscardQuestion;
    // Whether the user has ticked, unticked or changed anything since the window opened.
    bool hasEdits() const { return m_edited; }

    // The main window it opens over; the entry class tells it, and tells it again when the
    // main window is loaded anew.
    void setMainWindow(QWidget* main) { m_mainWindow = main; }

signals:
    void moved();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void cmdNextClick();
    void cmdPrevClick();
    bool cmdOkClick();
    // Closes the window; with edits, only when the user agrees to give them up.
    void cmdCancelClick();
    void buildPages(const QMap<QString, AttrTable>& tables, QMap<QString, PropertyItems*>& pages);
    QWidget* buildFirstPage();
    void buildButtons();
    void listBts();
    void wire();
    void goToPage(int page);
    void centreOnMainWindow();
    QPointer<QWidget> m_mainWindow;

    mdlPubVar& m_context;
    // The window's own message boxes, used unless the context names another prompt.
    std::unique_ptr<WizardPrompt> m_ownPrompt;
    WizardPrompt& m_prompt;
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
    QPushButton* m_cmdRoom = nullptr;
    bool m_edited = false;
    bool m_placed = false;
};

} // namespace corvan
