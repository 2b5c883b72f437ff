// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

class QSplitter;
class QWidget;

namespace corvan {

// Remembers a window for the user: its place and size (and, for a main window, its docks
// and bars, so the tree keeps its width), and the given splitters. Restored when attached,
// placed on a screen it fits, and saved whenever the window closes.
class WindowMemory : public QObject {
    Q_OBJECT

public:
    // place: the place as well as the size; a window placed by whoever opens it keeps
    // only its size.
    static WindowMemory* attach(QWidget* window, const QList<QSplitter*>& splitters = {}, bool place = true);
    // Puts a window on the screen it overlaps most, wholly, no larger than that screen.
    static void fitOnScreen(QWidget* window);

    void save() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    WindowMemory(QWidget* window, const QList<QSplitter*>& splitters, bool place);
    void restore();

    QWidget* m_window;
    QList<QPointer<QSplitter>> m_splitters;
    bool m_place;
};

} // namespace corvan
