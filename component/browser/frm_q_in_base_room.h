// SPDX-License-Identifier: MIT
#pragma once

#include <QHash>
#include <QWidget>

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
// when the main window closes, until the component unloads it.
class frmQInBaseRoom : public QWidget {
    Q_OBJECT

public:
    // The item data roles of a tree node: its key, and a room node's room number (its tag).
    static constexpr int KeyRole = Qt::UserRole;
    static constexpr int TagRole = Qt::UserRole + 1;

    explicit frmQInBaseRoom(mdlPubVar& context, QWidget* parent = nullptr);

    // Rebuilds the tree from a room query; an empty text only empties it.
    void FillRoomTree(const QString& sql);
    // The statement the query button would run now.
    QString roomQuery() const;
    // The node with that key, or nullptr.
    QTreeWidgetItem* node(const QString& key) const { return m_nodes.value(key, nullptr); }
    // The line shown instead of a tree when the last query found no room.
    static const QString NothingFound;

signals:
    // A room node was clicked (or activated from the keyboard).
    void roomChosen(const QString& cityId, const QString& roomName);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void cmdOkClick();
    void nodeClick(QTreeWidgetItem* item);
    QTreeWidgetItem* addNode(QTreeWidgetItem* parent, const QString& key, const QString& text);
    // The criteria of the last search, per database and user.
    void restoreCriteria();
    void saveCriteria() const;

    mdlPubVar& m_context;
    QComboBox* m_cboCity;
    QComboBox* m_cboCityBack;
    QLineEdit* m_txtName;
    QLineEdit* m_txtNo;
    QPushButton* m_cmdOk;
    QTreeWidget* m_tvwRoom;
    QLabel* m_lblEmpty;
    bool m_keyMove = false;
    QHash<QString, QTreeWidgetItem*> m_nodes;
};

} // namespace corvan
