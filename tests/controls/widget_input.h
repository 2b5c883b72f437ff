// SPDX-License-Identifier: MIT
#pragma once

// Input as a user gives it to the grid and the sheet, and the event loop turns that the
// widgets need before their editors and menus can be looked at.

#include "support/qt_printers.h"

#include <QAbstractItemView>
#include <QCoreApplication>
#include <QSignalSpy>
#include <QStringList>
#include <QTest>
#include <gtest/gtest.h>
#include <initializer_list>

namespace corvan::test {

// Closed editors and menus go by deferred deletion, which a plain processEvents skips.
inline void settle()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

inline void showAndFocus(QWidget& window, QSize size, QWidget* focus)
{
    window.resize(size);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    focus->setFocus();
    settle();
}

// Key clicks, then the turn of the event loop that lets closed editors go.
inline void press(QWidget* target, std::initializer_list<Qt::Key> keys, Qt::KeyboardModifiers modifiers = {})
{
    for (Qt::Key key : keys)
        QTest::keyClick(target, key, modifiers);
    settle();
}

// What a real double click delivers: press, release, double click, release. QTest's
// mouseDClick alone sends only the third.
inline void doubleClick(QWidget* viewport, QPoint at)
{
    QTest::mousePress(viewport, Qt::LeftButton, {}, at);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
}

template <typename Editor> Editor* openEditor(QAbstractItemView* view)
{
    settle();
    return view->viewport()->findChild<Editor*>();
}

// The editor a key on the view opened, if any.
template <typename Editor> Editor* editorAfter(QAbstractItemView* view, Qt::Key key)
{
    QTest::keyClick(view, key);
    return openEditor<Editor>(view);
}

// The first arguments of every emission a spy caught, as one text: "2,0 4,3".
inline QString spied(const QSignalSpy& spy, int arguments)
{
    QStringList out;
    for (const QList<QVariant>& emission : spy) {
        QStringList values;
        for (int i = 0; i < arguments; ++i)
            values << emission.at(i).toString();
        out << values.join(u',');
    }
    return out.join(u' ');
}

template <typename T> QList<T> firstArguments(const QSignalSpy& spy)
{
    QList<T> out;
    for (const QList<QVariant>& emission : spy)
        out << emission.at(0).value<T>();
    return out;
}

} // namespace corvan::test
