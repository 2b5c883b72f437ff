// SPDX-License-Identifier: MIT
#include "ui/window_prompt.h"

#include <QMessageBox>
#include <QWidget>

#include "ui/messages.h"

namespace corvan {

void WindowPrompt::showMessage(const QString& text, Icon icon)
{
    const QMessageBox::Icon shown = icon == Icon::Information ? QMessageBox::Information
                                    : icon == Icon::Warning   ? QMessageBox::Warning
                                                              : QMessageBox::NoIcon;
    QMessageBox box(shown, m_window ? m_window->windowTitle() : QString(), text, QMessageBox::Ok, m_window);
    box.exec();
}

bool WindowPrompt::askRetry(const QString& text, const QString& details)
{
    return Messages::retry(m_window, text, details);
}

bool WindowPrompt::ask(const QString& question)
{
    return Messages::ask(m_window, question);
}

} // namespace corvan
