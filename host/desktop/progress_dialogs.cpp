// SPDX-License-Identifier: MIT
#include "desktop/progress_dialogs.h"

#include <QApplication>
#include <QLocale>
#include <QProgressDialog>
#include <QWidget>
#include <algorithm>
#include <limits>

using namespace Qt::StringLiterals;

namespace corvan::host {

namespace {

// Painting costs; a step that comes sooner after the last update changes nothing on screen.
constexpr qint64 UpdateEveryMs = 40;
// A progress bar counts in int.
constexpr qint64 BarMax = std::numeric_limits<int>::max();

bool haveWidgets()
{
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

} // namespace

const QString ProgressDialogs::CancelCaption = u"取消"_s;

ProgressDialogs::ProgressDialogs() = default;

ProgressDialogs::~ProgressDialogs()
{
    delete m_dialog.data();
}

QString ProgressDialogs::countText(qint64 done, qint64 total)
{
    const QLocale numbers(QLocale::English);
    if (total <= 0)
        return u"已完成 %1"_s.arg(numbers.toString(done));
    return u"已完成 %1 / %2"_s.arg(numbers.toString(std::min(done, total)), numbers.toString(total));
}

void ProgressDialogs::BeginProgress(QWidget* window, const QString& label, qint64 total, bool cancellable)
{
    m_work.append(Work{label, std::max<qint64>(total, 0), cancellable, 0});
    m_cancelled = false;
    if (!haveWidgets())
        return;
    if (!m_dialog) {
        // A sheet made only to be written is a window never shown: the dialog then goes over
        // the window the user works in.
        QWidget* parent = window ? window->window() : nullptr;
        if (!parent || !parent->isVisible())
            parent = QApplication::activeWindow();
        m_dialog = new QProgressDialog(parent);
        m_dialog->setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
        m_dialog->setAutoClose(false);
        m_dialog->setAutoReset(false);
        m_dialog->setMinimumDuration(m_delayMs);
        if (parent)
            m_dialog->setWindowTitle(parent->windowTitle());
        // The value at the minimum starts the dialog's clock.
        m_dialog->setValue(0);
    }
    show();
}

void ProgressDialogs::show()
{
    const Work& work = m_work.constLast();
    m_dialog->setCancelButtonText(work.cancellable ? CancelCaption : QString());
    // A total not known shows a busy bar.
    m_dialog->setRange(0, work.total > 0 ? int(std::min(work.total, BarMax)) : 0);
    // The next step shows at once.
    m_sinceUpdate.invalidate();
    m_dialog->setLabelText(work.label + u'\n' + countText(work.done, work.total));
}

void ProgressDialogs::update(qint64 done)
{
    Work& work = m_work.last();
    work.done = done;
    m_dialog->setLabelText(work.label + u'\n' + countText(done, work.total));
    // Past the minimum, which would start the delay again; scaled when beyond the bar.
    const qint64 value =
        work.total <= 0 ? 1
        : work.total <= BarMax
            ? std::min(done, work.total)
            : qint64(double(std::min(done, work.total)) / double(work.total) * double(BarMax));
    m_dialog->setValue(int(std::max<qint64>(value, 1)));
    // Shown or not yet, the windows paint; the user's clicks and keys wait for the dialog,
    // which takes them itself once it shows (a modal one processes them as it is set).
    if (!m_dialog->isVisible())
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

bool ProgressDialogs::StepProgress(qint64 done)
{
    if (m_cancelled)
        return false;
    if (m_work.isEmpty() || !m_dialog)
        return true;
    const Work& work = m_work.constLast();
    if (!m_sinceUpdate.isValid() || m_sinceUpdate.elapsed() >= UpdateEveryMs ||
        (work.total > 0 && done >= work.total)) {
        update(done);
        m_sinceUpdate.start();
    }
    if (m_work.constLast().cancellable && m_dialog && m_dialog->wasCanceled())
        m_cancelled = true;
    return !m_cancelled;
}

void ProgressDialogs::EndProgress()
{
    if (m_work.isEmpty())
        return;
    m_work.removeLast();
    if (!m_work.isEmpty()) {
        if (m_dialog)
            show();
        return;
    }
    m_cancelled = false;
    delete m_dialog.data();
}

} // namespace corvan::host
