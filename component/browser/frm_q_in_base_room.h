// SPDX-License-Identifier: MIT
#pragma once

#include <QHash>
#include <QWidget>
#include <vector>

#include "core/rooms/room_tree.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace corvan {

class mdlPubVar;

// The room search window, docked in the main window's left pane: rooms of the province
// by city, name and number, as a tree province / city / county / room. It stays loaded
// when the main window closes, until the component unloads it. A county's rooms become
// nodes when it is first opened (or one of them is asked for by key): until then they are
// text in a RoomTree, so a province of a hundred thousand rooms shows at once.
class frmQInBaseRoom : public QWidget {
    Q_OBJECT

public:
    // The item data roles of a tree node: its key, and a room node's room number (its tag).
    static constexpr int KeyRole = Qt::UserRole;
    static constexpr int TagRole = Qt::UserRole + 1;

    explicit frmQInBaseRoom(mdlPubVar& context, QWidget* parent = nullptr);

    // Rebuilds the tree from a room query; an empty text only empties it.
    void FillRoomTree(const QString& sql);
    // The statement the query button would run now; empty for all cities when the user's
    // role holds none (" city in (  ) " is no statement a server takes).
    QString roomQuery() const;
    // The node with that key, or nullptr. A room's county is filled in first when needed.
    QTreeWidgetItem* node(const QString& key) const;
    // The line shown instead of a tree when the last query found no room.
    static const QString NothingFound;
    // The line shown instead of a tree when the last query failed: never a "nothing found".
    static const QString QueryFailed;
    // What a user may do once the connection is back, after the line that says it is not.
    static const QString AskAgain;
    // The line shown instead of a tree, from the start on, to a user whose role holds no city.
    static QString noCity(const QString& user);
    // Whether the tree holds the room (city identifier and room name), and makes its node the
    // current one when it does.
    bool holdsRoom(const QString& cityId, const QString& roomName) const;
    void selectRoom(const QString& cityId, const QString& roomName);

signals:
    // A room node was clicked (or activated from the keyboard).
    void roomChosen(const QString& cityId, const QString& roomName);
    // The user ran a query and the tree shows its result.
    void queried();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void layOut();
    void wire();
    void cmdOkClick();
    // The user's name in the line that says the role holds no city.
    QString noCityLine() const;
    void nodeClick(QTreeWidgetItem* item);
    QTreeWidgetItem* addNode(QTreeWidgetItem* parent, const QString& key, const QString& text);
    // The criteria of the last search, per database and user.
    void restoreCriteria();
    void saveCriteria() const;
    // Makes the nodes of a county's rooms, once. Filling a county in changes nothing the
    // tree holds, only whether it is made of nodes yet, so it may happen in a const lookup.
    void openCounty(int division) const;

    mdlPubVar& m_context;
    QComboBox* m_cboCity;
    QComboBox* m_cboCityBack;
    QLineEdit* m_txtName;
    QLineEdit* m_txtNo;
    QPushButton* m_cmdOk;
    QTreeWidget* m_tvwRoom;
    QLabel* m_lblEmpty;
    QLabel* m_lblCount;
    bool m_keyMove = false;
    // The province and division nodes by key, and by their division's number.
    QHash<QString, QTreeWidgetItem*> m_nodes;
    std::vector<QTreeWidgetItem*> m_divisionNodes;
    QHash<const QTreeWidgetItem*, int> m_countyOf;
    RoomTree m_rooms;
    mutable std::vector<bool> m_opened;
    // Why the last query of FillRoomTree gave no rows to show; empty when it ran.
    QString m_failure;
};

} // namespace corvan
