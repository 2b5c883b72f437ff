// SPDX-License-Identifier: MIT
#pragma once

#include <functional>

#include <QMap>
#include <QString>
#include <QStringList>
#include <QWidget>

#include "core/relocation/wizard_prompt.h"
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
// session, which does the work. Opened modeless through showBts.
class frmMoveBts : public QWidget, public WizardPrompt {
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

    // The buttons' work, also reachable from tests and the keyboard.
    void cmdNextClick();
    void cmdPrevClick();
    void cmdOkClick();
    void cmdCancelClick();

    // WizardPrompt: a message box titled with the window's caption, OK only.
    void showMessage(const QString& text, Icon icon = Icon::None) override;
    // A question titled with the window's caption: Retry or Cancel, the details folded away.
    bool askRetry(const QString& text, const QString& details) override;
    // Replace the message boxes (tests, hosts that show messages their own way).
    void setMessagePresenter(std::function<void(const QString&, Icon)> presenter)
    {
        m_presenter = std::move(presenter);
    }
    void setRetryPresenter(std::function<bool(const QString&, const QString&)> presenter)
    {
        m_retryPresenter = std::move(presenter);
    }
    void setQuestionPresenter(std::function<bool(const QString&)> presenter)
    {
        m_questionPresenter = std::move(presenter);
    }

    // The question a wizard with edits asks before another BTS replaces them.
    static const QString DiscardQuestion;
    // Whether the user has changed anything on the BTS page since it was filled.
    bool hasEdits() const { return m_edited; }
    // Opens the target room picker (the room row's own editor); typed starts its filter.
    void pickRoom(const QString& typed = QString());

signals:
    // A relocation was written; the main window forgets the BTS it showed.
    void relocated();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void setUp();
    void buildSteps();
    void prepareFinishSheet();
    void paintSummary();
    void syncPage();
    void goToPage(int page);
    void centreOnMainWindow();

    mdlPubVar& m_context;
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
    std::function<bool(const QString&)> m_questionPresenter;
    std::function<void(const QString&, Icon)> m_presenter;
    std::function<bool(const QString&, const QString&)> m_retryPresenter;
};

} // namespace corvan
