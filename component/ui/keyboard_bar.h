// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QString>

class QAction;
class QMenuBar;
class QToolBar;

namespace corvan {

// Makes a window's tool bar usable without a mouse: its buttons take the focus with Tab
// and answer Enter and Space, their tips show the key that does the same, and a menu
// bar (reached with Alt, or F10) lists every command with its key.
class KeyboardBar : public QObject {
    Q_OBJECT

public:
    static KeyboardBar* attach(QToolBar* bar);
    // The tip a command shows: its own tip (or caption, trimmed) and its key, when it has one.
    static QString tipOf(const QAction* action);
    // A menu titled with the caption whose entries are the bar's visible commands, kept in
    // step with the bar (commands added later included).
    static void addMenu(QMenuBar* menus, const QString& title, QToolBar* bar);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit KeyboardBar(QToolBar* bar);
    QToolBar* m_bar;
};

} // namespace corvan
