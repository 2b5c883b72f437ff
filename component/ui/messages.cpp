// SPDX-License-Identifier: MIT
#include "ui/messages.h"

#include <QWidget>

namespace corvan {

QMessageBox::Icon Messages::icon(Kind kind)
{
    switch (kind) {
    case Kind::Warning:
        return QMessageBox::Warning;
    case Kind::Error:
        return QMessageBox::Critical;
    case Kind::Information:
        break;
    }
    return QMessageBox::Information;
}

void Messages::show(QWidget* window, Kind kind, const QString& text)
{
    QWidget* speaker = window ? window->window() : nullptr;
    QMessageBox box(icon(kind), speaker ? speaker->windowTitle() : QString(), text, QMessageBox::Ok, speaker);
    box.exec();
}

bool Messages::ask(QWidget* window, const QString& text)
{
    QWidget* speaker = window ? window->window() : nullptr;
    QMessageBox box(QMessageBox::Question, speaker ? speaker->windowTitle() : QString(), text,
                    QMessageBox::Yes | QMessageBox::No, speaker);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

bool Messages::retry(QWidget* window, const QString& text, const QString& details)
{
    QWidget* speaker = window ? window->window() : nullptr;
    QMessageBox box(QMessageBox::Warning, speaker ? speaker->windowTitle() : QString(), text,
                    QMessageBox::Retry | QMessageBox::Cancel, speaker);
    box.setDefaultButton(QMessageBox::Retry);
    box.setDetailedText(details);
    return box.exec() == QMessageBox::Retry;
}

} // namespace corvan
