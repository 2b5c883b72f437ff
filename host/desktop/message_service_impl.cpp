// SPDX-License-Identifier: MIT
#include "desktop/message_service_impl.h"

#include <QApplication>
#include <QMessageBox>
#include <QWidget>

namespace corvan::host {

MessageServiceImpl::MessageServiceImpl(QObject* parent) : QObject(parent) {}

void MessageServiceImpl::ShowMessage(const QString& text)
{
    // Without a widget application there is no one to show a box to; the log still
    // keeps what the user would have been told.
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        qWarning("%s", qUtf8Printable(text));
        return;
    }
    // The box speaks for the window the user works in, and carries its title.
    QWidget* window = QApplication::activeWindow();
    const QString title = window && !window->windowTitle().isEmpty() ? window->windowTitle()
                                                                     : QCoreApplication::applicationName();
    QMessageBox::information(window, title, text);
}

} // namespace corvan::host
