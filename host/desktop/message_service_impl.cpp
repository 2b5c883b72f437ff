// SPDX-License-Identifier: MIT
#include "desktop/message_service_impl.h"

#include <QApplication>
#include <QMessageBox>

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
    QMessageBox::information(QApplication::activeWindow(), QCoreApplication::applicationName(), text);
}

} // namespace corvan::host
