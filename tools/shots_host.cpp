// SPDX-License-Identifier: MIT
#include "shots_host.h"

#include <QPointer>
#include <QPushButton>

#include <cstdio>

#include "desktop/sheet_service_impl.h"

namespace corvan::tools {

bool ShotsHost::open(const QString& database, const QString& user, const QDir& out, const QString& exportName)
{
    QString error;
    if (!m_data.open(database, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return false;
    }
    m_services = std::make_unique<host::HostServices>(&m_data);
    m_services->configure(user, QString());
    const QString path = out.filePath(exportName);
    m_services->sheets()->setFileChooser([path](const QString&) { return path; });
    m_services->sheets()->setDoneNotifier(
        [](const QString& written) { std::printf("exported: %s\n", qPrintable(written)); });
    return true;
}

bool press(QWidget* window, const char* button)
{
    const QPointer<QWidget> alive(window);
    window->findChild<QPushButton*>(QString::fromLatin1(button))->click();
    return !alive || !alive->isVisible();
}

} // namespace corvan::tools
