// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>

class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QSplitter;
class QToolBar;

namespace corvan {

class ActiveBar;
class HistoryChartView;
class Sheet;
class frmQDispathHis;
class mdlPubVar;

// The relocation history window, opened modal from the main window: the query panel in
// a pane on the left, and one record in full on the right, as a small two-column sheet
// of its header fields above its change text. The sheet is exported or printed with
// two more rows that the screen does not show: the change text as stored.
class frmViewHistory : public QDialog {
    Q_OBJECT

public:
    static const QString Caption;
    // The title the exported sheet carries.
    static const QString ExportTitle;
    // Rows of the sheet: those shown on screen, and all of them with the hidden ones.
    static constexpr int ShownRows = 7;
    static constexpr int AllRows = 9;

    explicit frmViewHistory(mdlPubVar& context, QWidget* parent = nullptr);

    // The window this one is modal to and stays above, without being its Qt child.
    void setOwnerWindow(QWidget* owner);

    // Shows the record with that discode; the empty code clears the view. A code that
    // matches nothing leaves the cells as they are.
    void showHistory(const QString& code);
    // Empties the sheet and the text box.
    void clearView();
    // The bar's command handler, by tool name.
    void atbMainToolClick(const QString& name);
    // The sheet through the host, rows 8 and 9 shown for the call only; the host's result.
    bool exportSheet();
    bool printSheet();
    // Every record the list shows, one row each, in one workbook through the host.
    bool exportListed();
    // The message export and print give when no record is on show.
    static const QString NoRecord;
    // Told when the user cancels the export of the listed records while they are read.
    static const QString ListedCancelled;
    // The cells, antennas and feeders the shown record's relocation deleted, one worksheet
    // each, every stored column under the host's caption, through the host's workbook export.
    bool exportReentry();
    // mnuReversePlan: reverses the whole relocation plan the record on show belongs to, last
    // row first in one transaction, after the user confirmed what it will do; the list then
    // shows the reversals. True when it was reversed.
    bool reversePlan();
    // The record on show, empty when none.
    const QString& code() const { return m_code; }
    // Counts every time a record was put on show or the view cleared: work that ends later (a
    // reversal the user confirmed) tells by it whether the user has chosen anything since.
    quint64 showings() const { return m_showings; }

signals:
    // The user asks to reverse the record on show.
    void reverseRequested(const QString& discode);
    // The relocation plan of the record on show was reversed, every relocation of it.
    void planReversed();

public:
    frmQDispathHis* queryPanel() const { return m_query; }
    ActiveBar* bar() const { return m_bar; }
    Sheet* sheet() const { return m_fbHis; }
    QPlainTextEdit* infoBox() const { return m_txtInfo; }
    HistoryChartView* chartView() const { return m_chart; }

private:
    QToolBar* buildToolBar();
    QWidget* buildQueryPane();
    QWidget* buildRecordPane();
    void prepareSheet();
    void setHiddenRowsShown(bool shown);
    void restyle();
    // Reversal and re-entry need the record's journal entry, and reversal one not yet reversed.
    void enableJournalCommands();
    // The chart of what the panel's query found.
    void updateChart(const QString& statement);
    // The worksheets that go with an export when the user asks for the chart too.
    bool chartWanted() const;
    // Export and print need a record on show; the user is told so otherwise.
    bool refuseWithoutRecord();

    mdlPubVar& m_context;
    ActiveBar* m_bar = nullptr;
    QSplitter* m_splitter = nullptr;
    frmQDispathHis* m_query = nullptr;
    Sheet* m_fbHis = nullptr;
    QGroupBox* m_fraInfo = nullptr;
    QPlainTextEdit* m_txtInfo = nullptr;
    // A record a plan wrote: the plan, its row, who submitted, reviewed and applied it.
    QLabel* m_lblPlan = nullptr;
    HistoryChartView* m_chart = nullptr;
    QString m_code;
    QString m_disinfo;
    quint64 m_showings = 0;
};

} // namespace corvan
