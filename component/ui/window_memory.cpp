// SPDX-License-Identifier: MIT
#include "ui/window_memory.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>
#include <QSplitter>

#include "core/context/ui_settings.h"

namespace corvan {

namespace {
const QString Geometry = QStringLiteral("geometry");
const QString Size = QStringLiteral("size");
const QString State = QStringLiteral("state");
const QString Splitter = QStringLiteral("splitter%1");
} // namespace

WindowMemory::WindowMemory(QWidget* window, const QList<QSplitter*>& splitters, bool place)
    : QObject(window), m_window(window), m_place(place)
{
    for (QSplitter* splitter : splitters)
        m_splitters.append(splitter);
}

WindowMemory* WindowMemory::attach(QWidget* window, const QList<QSplitter*>& splitters, bool place)
{
    auto* memory = new WindowMemory(window, splitters, place);
    memory->restore();
    window->installEventFilter(memory);
    return memory;
}

void WindowMemory::fitOnScreen(QWidget* window)
{
    QList<QRect> screens;
    for (const QScreen* screen : QGuiApplication::screens())
        screens.append(screen->availableGeometry());
    const QRect frame = window->frameGeometry();
    const QRect placed = UiSettings::fit(frame, screens);
    if (placed == frame)
        return;
    // The frame is what must fit; the window's own size is the frame less its decoration.
    window->resize(window->size() - (frame.size() - placed.size()));
    window->move(placed.topLeft());
}

void WindowMemory::restore()
{
    const QString name = m_window->objectName();
    if (m_place) {
        const QByteArray geometry = UiSettings::value(UiSettings::windowKey(name, Geometry)).toByteArray();
        if (!geometry.isEmpty() && m_window->restoreGeometry(geometry))
            fitOnScreen(m_window);
    } else {
        const QSize size = UiSettings::value(UiSettings::windowKey(name, Size)).toSize();
        if (size.isValid())
            m_window->resize(size);
    }
    if (auto* main = qobject_cast<QMainWindow*>(m_window)) {
        const QByteArray state = UiSettings::value(UiSettings::windowKey(name, State)).toByteArray();
        if (!state.isEmpty())
            main->restoreState(state);
    }
    for (qsizetype i = 0; i < m_splitters.size(); ++i) {
        const QByteArray state =
            UiSettings::value(UiSettings::windowKey(name, Splitter.arg(i))).toByteArray();
        if (m_splitters.at(i) && !state.isEmpty())
            m_splitters.at(i)->restoreState(state);
    }
}

void WindowMemory::save() const
{
    const QString name = m_window->objectName();
    if (m_place)
        UiSettings::setValue(UiSettings::windowKey(name, Geometry), m_window->saveGeometry());
    else if (!m_window->isMaximized() && !m_window->isFullScreen())
        UiSettings::setValue(UiSettings::windowKey(name, Size), m_window->size());
    if (auto* main = qobject_cast<QMainWindow*>(m_window))
        UiSettings::setValue(UiSettings::windowKey(name, State), main->saveState());
    for (qsizetype i = 0; i < m_splitters.size(); ++i)
        if (m_splitters.at(i))
            UiSettings::setValue(UiSettings::windowKey(name, Splitter.arg(i)),
                                 m_splitters.at(i)->saveState());
}

bool WindowMemory::eventFilter(QObject* watched, QEvent* event)
{
    // Only a window that was on screen has a place worth keeping; one the host merely
    // hides keeps the place it had.
    if (watched == m_window && event->type() == QEvent::Close && m_window->isVisible())
        save();
    return QObject::eventFilter(watched, event);
}

} // namespace corvan
