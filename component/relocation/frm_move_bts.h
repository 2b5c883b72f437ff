// SPDX-License-Identifier: MIT
#pragma once

#include <memory>

#include <QMap>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include "core/context/wizard_prompt.h"
#include "corvan/attr_table.h"

class QKeyEvent;
class QPushButton;
class QShowEvent;
class QTabWidget;

namespace corvan {

class PropertyGrid;
class RelocationSession;
class Sheet;
class mdlPubVar;
struct MoveBtsState;

// The relocation wizard: the BTS page, a hidden page the user never sees, and the finish
// page with the summary of every change; Commit writes it all at once. The window lays
// out the pages, keeps them in step and passes the user's actions to its relocation
// session, which does the work; what they say to the user goes through the context's
// prompt, or the window's own message boxes. Opened modeless through showBts.
class frmMoveBts : public QWidget {
    Q_OBJECT

public:
    static const QString Caption;
    static constexpr int LastPage = 2;

    explicit frmMoveBts(mdlPubVar& context, QWidget* parent = nullptr);
    ~frmMoveBts() override;

    // The wizard's entry: relocate the BTS of network net from the tables on show. A
    // wizard already open goes back to its first page and is filled anew, so nothing of
    // the earlier BTS can reach a commit.
    void showBts(const QString& net, const QMap<QString, AttrTable>& attrMap, bool simpleMode);

    RelocationSession& session() const { return *m_session; }
    const MoveBtsState& state() const;
    int currentPage() const;

    // The question a wizard with edits asks before another BTS replaces them.
    static const QString DiscardQuestion;
    // The question Escape asks of a wizard with edits before it closes.
    static const QString CloseQuestion;
    // Whether the user has changed anything on the BTS page since it was filled.
    bool hasEdits() const { return m_edited; }
    // Opens the target room picker (the room row's own editor); typed starts its filter.
    void pickRoom(const QString& typed = QString());

    // The main window it opens over; the entry class tells it, and tells it again when the
    // main window is loaded anew.
    void setMainWindow(QWidget* main) { m_mainWindow = main; }

signals:
    // A relocation was written; the main window forgets the BTS it showed.
    void relocated();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // The buttons' work, also reachable from tests and the keyboard.
    void cmdNextClick();
    void cmdPrevClick();
    void cmdOkClick();
    void cmdCancelClick();
    void setUp();
    QWidget* buildBtsPage();
    QWidget* buildCellPage();
    QWidget* buildFinishPage();
    void buildButtons();
    void layOut();
    void wire();
    void buildSteps();
    void prepareFinishSheet();
    void paintSummary();
    void syncPage();
    void goToPage(int page);
    void centreOnMainWindow();
    QPointer<QWidget> m_mainWindow;
    // Whether the wizard may close: nothing was edited, or the user lets the edits go.
    bool mayClose();

    mdlPubVar& m_context;
    // The window's own message boxes, used unless the context names another prompt.
    std::unique_ptr<WizardPrompt> m_ownPrompt;
    WizardPrompt& m_prompt;
    RelocationSession* m_session = nullptr;
    PropertyGrid* m_smMoveTask = nullptr;
    QTabWidget* m_sstMain = nullptr;
    PropertyGrid* m_smBtsNew = nullptr;
    Sheet* m_fbModify = nullptr;
    QPushButton* m_cmdPrev = nullptr;
    QPushButton* m_cmdNext = nullptr;
    QPushButton* m_cmdOk = nullptr;
    QPushButton* m_cmdCancel = nullptr;
    QPushButton* m_cmdRoom = nullptr;
    bool m_edited = false;
    bool m_placed = false;
};

} // namespace corvan
