// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>
#include <functional>

#include "core/room_move/room_picker.h"

class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QTreeWidget;

namespace corvan {

// Finds the target room as the user types: the rooms of the city by name and number,
// narrowed to a county (at first the one the page shows), sorted, each with its number
// and county. Rooms that cannot take the BTS are listed greyed with the reason, and
// cannot be chosen. Accepting gives the option of the room row the user picked.
class RoomPickerDialog : public QDialog {
    Q_OBJECT

public:
    static const QString Caption;

    // typed: what the user had begun to type on the row, the first filter text.
    RoomPickerDialog(RoomPicker rooms, const QString& current, const QString& typed,
                     QWidget* parent = nullptr);

    // The caption of the chosen room's option; empty until a room is chosen.
    const QString& chosen() const { return m_chosen; }
    // The chosen room among the picker's rooms; -1 until a room is chosen.
    int chosenIndex() const { return m_chosenIndex; }
    // What the caller says of a room the user would choose: why it cannot be chosen (the
    // picker then stays open and says so), or nothing.
    void setCheck(std::function<QString(int room)> check) { m_check = std::move(check); }
    QTreeWidget* list() const { return m_list; }

    void accept() override;
    void setVisible(bool visible) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void layOut();
    void refill();
    // Each column as wide as its longest text, measured once.
    void sizeColumns();
    void currentChanged();
    int currentRoom() const;

    RoomPicker m_rooms;
    QString m_current;
    QString m_chosen;
    int m_chosenIndex = -1;
    // What the county filter hides of the rooms searched for; empty when nothing.
    QString m_hidden;
    std::function<QString(int)> m_check;
    QLineEdit* m_filter;
    QComboBox* m_county;
    QTreeWidget* m_list;
    QLabel* m_status;
    QDialogButtonBox* m_buttons;
};

} // namespace corvan
