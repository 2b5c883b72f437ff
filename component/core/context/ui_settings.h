// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QRect>
#include <QString>
#include <QVariant>
#include <memory>
#include <utility>

class QSettings;

namespace corvan {

class mdlPubVar;

// What the component remembers for the user between runs, in the user's settings: the
// windows' places and sizes (per window) and the last search criteria (per database and
// user, so that one database's cities never turn up in another's criteria).
class UiSettings {
public:
    // The component's own store in the user's settings folder.
    static std::unique_ptr<QSettings> open();

    // A window's geometry, dock and bar state, and splitters, by the window's object name.
    static QString windowKey(const QString& window, const QString& what);
    // A search criterion of a window, for the database and user of the context.
    static QString criterionKey(const mdlPubVar& context, const QString& window, const QString& what);
    // The database and user as one key part: a digest, so that no path or server name
    // stands in the settings file.
    static QString scope(const QString& database, const QString& user);
    // The database the host says it works on, empty when the host does not tell.
    static QString databaseOf(const mdlPubVar& context);

    // Where a window goes on the screens there are now: on the screen it overlaps most,
    // else on the first, no larger than that screen and wholly on it.
    static QRect fit(const QRect& window, const QList<QRect>& screens);

    // Reads and writes through the component's store.
    static QVariant value(const QString& key, const QVariant& fallback = {});
    static void setValue(const QString& key, const QVariant& value);
    // Several at once; only those that changed are written.
    static void setValues(const QList<std::pair<QString, QVariant>>& values);
};

} // namespace corvan
