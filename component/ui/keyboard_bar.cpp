// SPDX-License-Identifier: MIT
#include "ui/keyboard_bar.h"

#include <QAction>
#include <QEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>

namespace corvan {

KeyboardBar::KeyboardBar(QToolBar* bar) : QObject(bar), m_bar(bar) {}

KeyboardBar* KeyboardBar::attach(QToolBar* bar)
{
    auto* keyboard = new KeyboardBar(bar);
    bar->installEventFilter(keyboard);
    for (QToolButton* button : bar->findChildren<QToolButton*>()) {
        button->setFocusPolicy(Qt::TabFocus);
        button->installEventFilter(keyboard);
    }
    return keyboard;
}

QString KeyboardBar::tipOf(const QAction* action)
{
    QString tip = action->toolTip().trimmed();
    if (tip.isEmpty())
        tip = action->text().trimmed();
    if (!action->shortcut().isEmpty())
        tip += QStringLiteral("（") + action->shortcut().toString(QKeySequence::NativeText) +
               QStringLiteral("）");
    return tip;
}

void KeyboardBar::addMenu(QMenuBar* menus, const QString& title, QToolBar* bar)
{
    QMenu* menu = menus->addMenu(title);
    // Filled each time it opens, so it lists what the bar offers at that moment.
    connect(menu, &QMenu::aboutToShow, menu, [menu, bar] {
        menu->clear();
        for (QAction* action : bar->actions())
            if (action->isVisible() && !action->isSeparator())
                menu->addAction(action);
    });
    // A menu bar with an empty menu would not open it from the keyboard.
    menu->addAction(QString())->setVisible(false);
}

bool KeyboardBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_bar) {
        // Buttons the bar makes for commands added later take the focus too.
        if (event->type() == QEvent::ChildPolished)
            if (auto* button = qobject_cast<QToolButton*>(static_cast<QChildEvent*>(event)->child()))
                if (button->focusPolicy() != Qt::TabFocus) {
                    button->setFocusPolicy(Qt::TabFocus);
                    button->installEventFilter(this);
                }
        return QObject::eventFilter(watched, event);
    }
    auto* button = qobject_cast<QToolButton*>(watched);
    QAction* action = button ? button->defaultAction() : nullptr;
    if (!action)
        return QObject::eventFilter(watched, event);
    if (event->type() == QEvent::ToolTip) {
        QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), tipOf(action), button);
        return true;
    }
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            button->click();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace corvan
