// SPDX-License-Identifier: MIT
#include "desktop/ui_service_impl.h"

#include <QCursor>
#include <QGuiApplication>
#include <QStringList>

namespace corvan::host {

namespace {

bool haveGui()
{
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

} // namespace

UiServiceImpl::UiServiceImpl(QObject* parent) : QObject(parent) {}

UiServiceImpl::~UiServiceImpl()
{
    // A component that forgot an EndWait must not leave the host stuck with a busy cursor.
    while (m_depth > 0)
        EndWait();
}

// The cursor is the application's, so the window the wait is for does not matter.
void UiServiceImpl::BeginWait(QWidget* window)
{
    Q_UNUSED(window)
    if (haveGui())
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    ++m_depth;
}

void UiServiceImpl::EndWait()
{
    if (m_depth == 0)
        return;
    --m_depth;
    if (haveGui())
        QGuiApplication::restoreOverrideCursor();
}

void UiServiceImpl::BeginProgress(QWidget* window, const QString& label, qint64 total, bool cancellable)
{
    m_progress.BeginProgress(window, label, total, cancellable);
}

bool UiServiceImpl::StepProgress(qint64 done)
{
    return m_progress.StepProgress(done);
}

void UiServiceImpl::EndProgress()
{
    m_progress.EndProgress();
}

QString UiServiceImpl::GetTextField(const QString& text, const QString& separator, int position)
{
    if (position < 1)
        return {};
    // An empty separator splits nothing: the whole text is the one item.
    if (separator.isEmpty())
        return position == 1 ? text : QString();
    const QStringList items = text.split(separator);
    return position <= items.size() ? items.at(position - 1) : QString();
}

} // namespace corvan::host
