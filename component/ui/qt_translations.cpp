// SPDX-License-Identifier: MIT
#include "ui/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace corvan {

bool ensureQtTranslations()
{
    auto* app = QCoreApplication::instance();
    if (!app)
        return false;
    const QString cancel = QStringLiteral("Cancel");
    if (QCoreApplication::translate("QPlatformTheme", "Cancel") != cancel)
        return true;
    // Owned by the application, whose texts it translates for as long as it runs.
    auto* translator = new QTranslator(app);
    if (!translator->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                          QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    return true;
}

} // namespace corvan
