// SPDX-License-Identifier: MIT
#include "core/context/ui_settings.h"

#include <QCryptographicHash>
#include <QSettings>

#include "core/context/mdl_pub_var.h"

namespace corvan {

namespace {
const QString Organisation = QStringLiteral("corvan");
const QString Application = QStringLiteral("corvan-component");
} // namespace

std::unique_ptr<QSettings> UiSettings::open()
{
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, Organisation,
                                       Application);
}

QString UiSettings::windowKey(const QString& window, const QString& what)
{
    return QStringLiteral("windows/") + window + QLatin1Char('/') + what;
}

QString UiSettings::scope(const QString& database, const QString& user)
{
    const QByteArray digest =
        QCryptographicHash::hash((database + QChar(0) + user).toUtf8(), QCryptographicHash::Sha256);
    return QString::fromLatin1(digest.toHex().left(16));
}

QString UiSettings::databaseOf(const mdlPubVar& context)
{
    const HostInfoService* info = context.HostInfoService();
    return info ? info->DatabaseDescription() : QString();
}

QString UiSettings::criterionKey(const mdlPubVar& context, const QString& window, const QString& what)
{
    ContextService* host = context.ContextService();
    return QStringLiteral("criteria/") + scope(databaseOf(context), host ? host->CurrentUser() : QString()) +
           QLatin1Char('/') + window + QLatin1Char('/') + what;
}

QRect UiSettings::fit(const QRect& window, const QList<QRect>& screens)
{
    if (screens.isEmpty() || !window.isValid())
        return window;
    QRect best = screens.first();
    qint64 bestArea = 0;
    for (const QRect& screen : screens) {
        const QRect common = screen.intersected(window);
        const qint64 area = qint64(common.width()) * common.height();
        if (area > bestArea) {
            bestArea = area;
            best = screen;
        }
    }
    QRect placed(window.topLeft(), window.size().boundedTo(best.size()));
    // On no screen any more: in the middle of the first.
    if (bestArea == 0)
        placed.moveCenter(best.center());
    if (placed.right() > best.right())
        placed.moveRight(best.right());
    if (placed.bottom() > best.bottom())
        placed.moveBottom(best.bottom());
    if (placed.left() < best.left())
        placed.moveLeft(best.left());
    if (placed.top() < best.top())
        placed.moveTop(best.top());
    return placed;
}

QVariant UiSettings::value(const QString& key, const QVariant& fallback)
{
    return open()->value(key, fallback);
}

void UiSettings::setValue(const QString& key, const QVariant& value)
{
    setValues({{key, value}});
}

void UiSettings::setValues(const QList<std::pair<QString, QVariant>>& values)
{
    // The file is read once and written only when a value changed: a query that asks what the
    // last one asked costs no write.
    const auto settings = open();
    for (const auto& [key, value] : values)
        if (settings->value(key) != value)
            settings->setValue(key, value);
}

} // namespace corvan
