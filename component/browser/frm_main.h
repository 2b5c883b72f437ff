// SPDX-License-Identifier: MIT
#pragma once

#include <QMainWindow>
#include <QMap>
#include <QPointer>

#include "browser/frm_q_in_base_room.h"
#include "corvan/attr_table.h"

class QDockWidget;
class QFrame;
class QTabWidget;
class QToolBar;

namespace corvan {

class ActiveBar;
class Sheet;
class mdlPubVar;

// The component's main window: the room search pane docked on the left, and per
// network G, C and D a tab with the property sheet of the BTS standing in the room on
// show. From its bar the user starts a relocation or opens the relocation history; the
// windows for those are opened by whoever listens to its requests.
class frmMain : public QMainWindow {
    Q_OBJECT

public:
    static const QString Caption;
    static const QString NoBtsMessage;

    explicit frmMain(mdlPubVar& context, QWidget* parent = nullptr);
    ~frmMain() override;

    // Shows the BTSs of a room (city identifier and room name).
    Q_INVOKABLE void showBts(const QString& cityId, const QString& roomName);
    // Back to no room on show: plain caption, the three sheets hidden.
    Q_INVOKABLE void hideBts();
    // The room on show read anew, on the tab the user was on (after a relocation its BTSs
    // are others); back to no room when none is on show.
    void refreshBts();
    // How many plans wait for the current user's review: shown on 审核计划 and in the status
    // bar while there are any.
    void setWaitingReviews(int count);
    // The city identifier and name of the room on show; empty when none is.
    QString shownCity() const { return m_cityId; }
    QString shownRoom() const { return m_roomName; }
    // Fills one network's sheet with the fields of a BTS and keeps its table in attrMap.
    void showBtsProperties(Sheet* sheet, const QString& net, const QString& city, const QString& code);

    // The table of the BTS last shown per network letter ("G", "C", "D").
    const QMap<QString, AttrTable>& attrMap() const { return m_attrMap; }
    // The sheet of a network letter, either case; nullptr for another letter.
    Sheet* sheet(const QString& net) const;
    frmQInBaseRoom* roomSearch() const { return m_roomSearch; }
    ActiveBar* bar() const { return m_bar; }

    // The bar's command handler, by tool name.
    void atbMainToolClick(const QString& name);

signals:
    // The user asks to relocate the BTS of that network shown in attrMap; the wizard is to
    // be shown, filled anew when it is open already.
    void relocationRequested(const QString& net, const QMap<QString, corvan::AttrTable>& attrMap);
    // The user asks for the relocation history, modal to this window.
    void historyRequested();
    // The user asks where the BTS on the current tab has been (net and basecode empty when
    // the tab shows none) and what went into or out of the room on show.
    void trackRequested(const QString& net, const QString& basecode, const QString& btsName,
                        const QString& roomCode, const QString& roomName);
    // The user asks to move every BTS of the room on show (network letter to its table).
    void roomMoveRequested(const QString& roomName, const QMap<QString, corvan::AttrTable>& tables);
    // The user asks for the relocation plan window, or for the plan template.
    void planRequested();
    void planTemplateRequested();
    // The user asks for the plans submitted for review.
    void reviewsRequested();

private:
    void buildToolBar();
    void dockRoomSearch();
    void buildTabs();
    void prepareSheets();
    void startRelocation();
    void showHistory();
    void showTrack();
    void startRoomMove();
    // A new query of the room tree: the room on show stays only if the tree holds it.
    void followQuery();

    mdlPubVar& m_context;
    ActiveBar* m_bar = nullptr;
    QDockWidget* m_tlbTree = nullptr;
    QWidget* m_frmTree = nullptr;
    QPointer<frmQInBaseRoom> m_roomSearch;
    QTabWidget* m_sstMain = nullptr;
    QFrame* m_frames[3] = {};
    Sheet* m_sheets[3] = {};
    QMap<QString, AttrTable> m_attrMap;
    QString m_cityId;
    QString m_roomCode;
    QString m_roomName;
};

} // namespace corvan
