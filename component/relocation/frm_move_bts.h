// SPDX-License-Identifier: MIT
#pragma once

#include <functional>

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QWidget>

#include "corvan/attr_table.h"
#include "relocation/move_bts_state.h"
#include "relocation/wizard_prompt.h"

class QPushButton;
class QTabWidget;

namespace corvan {

class PropertyGrid;
class PropertyItems;
class Sheet;

// The relocation wizard: the BTS page, a hidden page holding the BTS's cells, antennas
// and feeders, and the finish page with the summary of every change; Commit writes it
// all at once. Opened modeless by the main window through showBts.
class frmMoveBts : public QWidget, public WizardPrompt {
    Q_OBJECT

public:
    static const QString Caption;
    static const QString SuccessMessage;
    static const QString RecordFailedMessage;
    static constexpr int LastPage = 2;

    explicit frmMoveBts(QWidget* parent = nullptr);
    ~frmMoveBts() override;

    // The wizard's entry: relocate the BTS of network net from the tables on show. A
    // wizard already open goes back to its first page and is filled anew, so nothing of
    // the earlier BTS can reach a commit.
    void showBts(const QString& net, const QMap<QString, AttrTable>& attrMap, bool simpleMode);

    QString net() const { return m_state.net; }
    const QMap<QString, AttrTable>& attrMap() const { return m_state.attrMap; }
    bool simpleMode() const { return m_state.simpleMode; }
    const MoveBtsState& state() const { return m_state; }
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
    // What the user was told, in order.
    const QStringList& shownMessages() const { return m_shown; }
    // Replaces the message box (tests, hosts that show messages their own way).
    void setMessagePresenter(std::function<void(const QString&, Icon)> presenter)
    {
        m_presenter = std::move(presenter);
    }
    void setRetryPresenter(std::function<bool(const QString&, const QString&)> presenter)
    {
        m_retryPresenter = std::move(presenter);
    }

    // The commit's four steps, for the window's Commit and for tests.
    bool commit();
    // saveBtsDataInDB: the BTS row, then the new room, then the old room.
    bool saveBtsDataInDB();

private:
    void setUp();
    void buildSteps();
    void prepareFinishSheet();
    void syncPage();
    void goToPage(int page);
    void clearLoadedPages();
    PropertyItems& cellGrid(int index);
    QList<PropertyItems*> cellGridItems() const;
    // What one attempt at the commit came to; the messages are shown once the work is over.
    struct Attempt {
        enum class Result { Done, Refused, Busy, RecordFailed, Failed } result = Result::Failed;
        QString message;
        QString details;
    };
    Attempt attemptCommit();
    // Inside the commit's transaction: why the relocation can no longer go ahead, or empty.
    Attempt staleChange();

    MoveBtsState m_state;
    PropertyGrid* m_smMoveTask = nullptr;
    QTabWidget* m_sstMain = nullptr;
    PropertyGrid* m_smBtsNew = nullptr;
    QTabWidget* m_sstCell = nullptr;
    QList<PropertyGrid*> m_smCell;
    PropertyGrid* m_smLine = nullptr;
    Sheet* m_fbModify = nullptr;
    QPushButton* m_cmdPrev = nullptr;
    QPushButton* m_cmdNext = nullptr;
    QPushButton* m_cmdOk = nullptr;
    QPushButton* m_cmdCancel = nullptr;
    QStringList m_shown;
    std::function<void(const QString&, Icon)> m_presenter;
    std::function<bool(const QString&, const QString&)> m_retryPresenter;
};

} // namespace corvan
