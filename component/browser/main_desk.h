// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QString>

class QLabel;
class QMainWindow;

namespace corvan {

class mdlPubVar;

// What the main window offers around its own panes: a menu bar with every command
// of the bar and its key, and an About box; a status bar with the database, province and
// user in use and, where the host tells it, the state of its connection and the server it
// reaches; a line on each network tab that has no sheet to show, saying why; the room tree
// at a useful width; and the window's place, size and tree width remembered.
class MainDesk : public QObject {
    Q_OBJECT

public:
    static const QString AboutTitle;

    MainDesk(QMainWindow& window, mdlPubVar& context);

    // The status bar's three parts, in order: database, province, user.
    static QStringList statusTexts(const mdlPubVar& context);
    // The window property frmMain sets to say why a room's BTSs could not be read.
    static const char* const UnreadProperty;
    static QString aboutText(const mdlPubVar& context);
    void showAbout();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    // The host's connection changed state or server, perhaps in the middle of a call: the
    // status bar says so at once.
    void updateConnection();

private:
    void updateEmptyLines();

    QMainWindow& m_window;
    mdlPubVar& m_context;
    QLabel* m_empty[3] = {};
    QLabel* m_connection = nullptr;
};

} // namespace corvan
