// SPDX-License-Identifier: MIT
#include "history/frm_view_history.h"

#include "core/context/mdl_pub_var.h"
#include "core/history/history_query.h"
#include "core/journal/journal.h"
#include "core/journal/reentry.h"
#include "core/plan/plan_reversal.h"
#include "core/plan/plan_review.h"
#include "corvan/controls/property_grid.h"
#include "corvan/controls/sheet.h"
#include "history/frm_q_dispath_his.h"
#include "history/history_chart_view.h"
#include "history/history_sheets.h"
#include "ui/active_bar.h"
#include "ui/busy_cursor.h"
#include "ui/keyboard_bar.h"
#include "ui/messages.h"
#include "ui/progress_scope.h"
#include "ui/window_memory.h"
#include "ui/window_owner.h"

#include <QAbstractScrollArea>
#include <QAction>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QTableWidget>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWindow>
#include <memory>
#include <vector>

namespace corvan {

const QString frmViewHistory::Caption = QStringLiteral("基站调整历史记录");
const QString frmViewHistory::ExportTitle = QStringLiteral("基站调整记录");
const QString frmViewHistory::ListedCancelled = QStringLiteral("已取消导出，没有写入文件");
const QString frmViewHistory::NoRecord = QStringLiteral("请先在左侧的列表中选择一条调整记录，再导出或打印。");

namespace {

constexpr qint32 White = 0xFFFFFF;
constexpr int FontSize = 10;
// The host's "true" for the bold and wrap switches of StyleRange.
constexpr int On = -1;
constexpr int DetailRow = 8;
constexpr int SpareRow = 9;

const QString InfoCaption = QStringLiteral("详细信息");
const QString ReentryTitle = QStringLiteral("小区天馈清单-");
const QString ListedTitle = QStringLiteral("基站调整记录清单");
const QString NothingListed = QStringLiteral("列表中没有调整记录可以导出：请先查询。");
const QString NoWorkbook = QStringLiteral("主机不能导出多个工作表的工作簿。");
const QString ListedUnread = QStringLiteral("未能读出所列的全部调整记录，没有导出：");
const QString ReadingListed = QStringLiteral("正在读取所列的调整记录…");
// Where headings show (on screen and on paper) the two columns say what they hold.
const QString Headings[2] = {QStringLiteral("项目"), QStringLiteral("内容")};
// Column 1 of rows 1 to 7, the record's header fields.
const QString RowCaptions[frmViewHistory::ShownRows] = {
    QStringLiteral("调整时间"), QStringLiteral("操作用户"), QStringLiteral("网络类型"),
    QStringLiteral("来源城市"), QStringLiteral("去往城市"), QStringLiteral("来源机房"),
    QStringLiteral("去往机房")};

// Twips at 96 dpi: 15 make one pixel.
constexpr int px(int twips)
{
    return twips / 15;
}

} // namespace

frmViewHistory::frmViewHistory(mdlPubVar& context, QWidget* parent) : QDialog(parent), m_context(context)
{
    setObjectName(QStringLiteral("frmViewHistory"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::WindowModal);
    setWindowTitle(Caption);

    QToolBar* toolBar = buildToolBar();
    m_splitter = new QSplitter(Qt::Horizontal, this);
    QWidget* tlbTree = buildQueryPane();
    QWidget* picBack = buildRecordPane();
    // Below the record, the picture of what the query found.
    auto* right = new QSplitter(Qt::Vertical, m_splitter);
    right->setObjectName(QStringLiteral("splRight"));
    right->addWidget(picBack);
    m_chart = new HistoryChartView(right);
    right->addWidget(m_chart);
    right->setStretchFactor(0, 3);
    right->setStretchFactor(1, 2);
    right->setChildrenCollapsible(false);

    m_splitter->addWidget(tlbTree);
    m_splitter->addWidget(right);
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 1);
    m_splitter->setChildrenCollapsible(false);
    m_splitter->setSizes({300, 700});

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(toolBar);
    layout->addWidget(m_splitter, 1);
    resize(1000, 700);

    prepareSheet();
    m_txtInfo->clear();
    enableJournalCommands();
    m_fbHis->table()->setTabKeyNavigation(false);
    // The window opens in its query panel, so that Enter queries instead of pressing 退出.
    m_query->setFocus();
    WindowMemory::attach(this, {m_splitter, right});
}

QToolBar* frmViewHistory::buildToolBar()
{
    m_bar = new ActiveBar(QStringLiteral("atbMain"), this);
    auto* toolBar = new QToolBar(this);
    toolBar->setObjectName(QStringLiteral("tlbToolBar"));
    toolBar->setMovable(false);
    toolBar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    toolBar->addAction(m_bar->addTool(QStringLiteral("mnuExit"), QStringLiteral("   退    出  ")));
    toolBar->addAction(m_bar->addTool(QStringLiteral("mnuExcel"), QStringLiteral("导出到Execl")));
    toolBar->addAction(m_bar->addTool(QStringLiteral("mnuPrint"), QStringLiteral("打印记录")));
    toolBar->addAction(m_bar->addTool(QStringLiteral("mnuReverse"), QStringLiteral("撤销调整"),
                                      QStringLiteral("撤销所显示的这次调整")));
    toolBar->addAction(m_bar->addTool(QStringLiteral("mnuReversePlan"), QStringLiteral("撤销整个计划"),
                                      QStringLiteral("撤销所显示记录所属批量调整计划的全部调整")));
    toolBar->addAction(m_bar->addTool(QStringLiteral("mnuReentry"), QStringLiteral("导出小区天馈清单"),
                                      QStringLiteral("导出这次调整删除的小区、天线和馈线，以便重新录入")));
    toolBar->addAction(m_bar->addTool(QStringLiteral("mnuExportList"), QStringLiteral("导出所列记录"),
                                      QStringLiteral("把列表中显示的每条记录导出到一个工作簿")));
    QAction* withChart =
        m_bar->addTool(QStringLiteral("mnuChartInExport"), QStringLiteral("导出时附统计"),
                       QStringLiteral("导出时把统计图的数据（按月份和网络、按城市）也写入工作簿"));
    withChart->setCheckable(true);
    toolBar->addAction(withChart);
    m_bar->tool(QStringLiteral("mnuExcel"))->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    m_bar->tool(QStringLiteral("mnuPrint"))->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    m_bar->tool(QStringLiteral("mnuExportList"))->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E));
    KeyboardBar::attach(toolBar);
    connect(m_bar, &ActiveBar::ToolClick, this, &frmViewHistory::atbMainToolClick);
    return toolBar;
}

// The left pane: the query panel, loaded before this window and so first in load order.
QWidget* frmViewHistory::buildQueryPane()
{
    auto* tlbTree = new QFrame(m_splitter);
    tlbTree->setObjectName(QStringLiteral("tlbTree"));
    auto* paneLayout = new QVBoxLayout(tlbTree);
    paneLayout->setContentsMargins(0, 0, 0, 0);
    auto* frmTree = new QWidget(tlbTree);
    frmTree->setObjectName(QStringLiteral("frmTree"));
    auto* treeLayout = new QVBoxLayout(frmTree);
    treeLayout->setContentsMargins(0, 0, 0, 0);
    m_query = new frmQDispathHis(m_context, frmTree);
    treeLayout->addWidget(m_query);
    paneLayout->addWidget(frmTree);
    connect(m_query, &frmQDispathHis::recordChosen, this, &frmViewHistory::showHistory);
    connect(m_query, &frmQDispathHis::queried, this, &frmViewHistory::updateChart);
    return tlbTree;
}

// The client area: the sheet across the top at its own height, the change text below it
// taking the rest.
QWidget* frmViewHistory::buildRecordPane()
{
    auto* picBack = new QWidget(m_splitter);
    picBack->setObjectName(QStringLiteral("picBack"));
    auto* backLayout = new QVBoxLayout(picBack);
    backLayout->setContentsMargins(0, 0, 0, 0);
    backLayout->setSpacing(0);
    m_fbHis = new Sheet(picBack);
    m_fbHis->setObjectName(QStringLiteral("fbHis"));
    backLayout->addWidget(m_fbHis);
    m_lblPlan = new QLabel(picBack);
    m_lblPlan->setObjectName(QStringLiteral("lblPlan"));
    m_lblPlan->setWordWrap(true);
    m_lblPlan->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_lblPlan->setContentsMargins(px(50), px(30), px(50), 0);
    m_lblPlan->hide();
    backLayout->addWidget(m_lblPlan);
    m_fraInfo = new QGroupBox(InfoCaption, picBack);
    m_fraInfo->setObjectName(QStringLiteral("fraInfo"));
    auto* infoLayout = new QVBoxLayout(m_fraInfo);
    infoLayout->setContentsMargins(px(50), px(50), px(50), px(80));
    m_txtInfo = new QPlainTextEdit(m_fraInfo);
    m_txtInfo->setObjectName(QStringLiteral("txtInfo"));
    m_txtInfo->setReadOnly(true);
    infoLayout->addWidget(m_txtInfo);
    backLayout->addWidget(m_fraInfo, 1);
    return picBack;
}

void frmViewHistory::updateChart(const QString& statement)
{
    // Read once the list is on screen, with a statement of its own.
    auto* rows = m_query->list()->findChild<QAbstractScrollArea*>();
    m_chart->setSource(
        [this, statement] {
            BusyCursor busy;
            return HistoryChart::read(m_context, statement).value_or(HistoryChart());
        },
        rows ? rows->viewport() : nullptr);
}

bool frmViewHistory::chartWanted() const
{
    return m_bar->tool(QStringLiteral("mnuChartInExport"))->isChecked();
}

bool frmViewHistory::refuseWithoutRecord()
{
    if (!m_code.isEmpty())
        return false;
    Messages::show(this, Messages::Kind::Warning, NoRecord);
    return true;
}

void frmViewHistory::prepareSheet()
{
    SheetService* sheets = m_context.SheetService();
    if (sheets) {
        sheets->StyleRange(m_fbHis, 1, 1, 5, 5, 0, White, On, FontSize, On);
        sheets->PrepareSheetView(m_fbHis);
    }
    m_fbHis->setMaxCol(2);
    m_fbHis->setMaxRow(AllRows);
    m_fbHis->setColWidth(1, 2 * m_fbHis->ColWidth(1));
    m_fbHis->setColWidth(2, 2 * m_fbHis->ColWidth(2));
    m_fbHis->setColText(1, Headings[0]);
    m_fbHis->setColText(2, Headings[1]);
    if (sheets) {
        sheets->AlignRange(m_fbHis, DetailRow, 1, DetailRow, 2, true);
        sheets->AlignRange(m_fbHis, SpareRow, 1, SpareRow, 2, true);
    }
    m_fbHis->setRowHidden(DetailRow, true);
    m_fbHis->setRowHidden(SpareRow, true);
    if (sheets) {
        sheets->PrepareSheet(m_fbHis);
        sheets->PrepareSheetView(m_fbHis);
    }
    m_fbHis->setMaxRow(ShownRows);
    restyle();

    // The sheet keeps the height of its seven rows; the change text takes what is left.
    QTableWidget* table = m_fbHis->table();
    const int header =
        table->horizontalHeader()->isVisible() ? table->horizontalHeader()->sizeHint().height() : 0;
    m_fbHis->setFixedHeight(header + ShownRows * table->verticalHeader()->defaultSectionSize() +
                            2 * table->frameWidth() + px(100));
}

void frmViewHistory::restyle()
{
    if (SheetService* sheets = m_context.SheetService())
        sheets->StyleRange(m_fbHis, 1, 1, m_fbHis->MaxRow(), m_fbHis->MaxCol(), 0, White, On, FontSize, On);
}

void frmViewHistory::enableJournalCommands()
{
    const auto entry = m_code.isEmpty() ? std::nullopt : Journal::read(m_context, m_code);
    const bool journalled = entry && entry->exists();
    m_bar->tool(QStringLiteral("mnuReverse"))->setEnabled(journalled && entry->reversedBy.isEmpty());
    m_bar->tool(QStringLiteral("mnuReentry"))->setEnabled(journalled);
    m_bar->tool(QStringLiteral("mnuReversePlan"))
        ->setEnabled(journalled && !PlanReversal::planOf(m_context, m_code).isEmpty());
}

void frmViewHistory::clearView()
{
    m_code.clear();
    m_disinfo.clear();
    m_lblPlan->clear();
    m_lblPlan->hide();
    enableJournalCommands();
    if (SheetService* sheets = m_context.SheetService())
        sheets->ClearSheet(m_fbHis, true);
    m_txtInfo->clear();
}

void frmViewHistory::showHistory(const QString& code)
{
    ++m_showings;
    if (code.isEmpty()) {
        clearView();
        return;
    }
    BusyCursor busy;
    m_fbHis->setMaxRow(AllRows);
    m_fbHis->setRowHidden(DetailRow, true);
    m_fbHis->setRowHidden(SpareRow, true);

    const auto record = HistoryQuery::read(m_context, code);
    if (!record)
        return;
    if (!record->values.isEmpty()) {
        m_code = code;
        m_disinfo = record->disinfo;
        for (int row = 1; row <= ShownRows; ++row) {
            m_fbHis->setTextRC(row, 1, RowCaptions[row - 1]);
            m_fbHis->setTextRC(row, 2, record->values.value(row - 1));
        }
        m_txtInfo->setPlainText(HistoryQuery::infoText(record->disinfo));
        m_fbHis->setTextRC(DetailRow, 1, InfoCaption);
        m_fbHis->setTextRC(DetailRow, 2, record->disinfo);
        const std::optional<PlanOrigin> origin = PlanReview::originOf(m_context, code);
        m_lblPlan->setText(origin ? origin->text() : QString());
        m_lblPlan->setVisible(origin.has_value());
        enableJournalCommands();
    }
    restyle();
}

void frmViewHistory::setHiddenRowsShown(bool shown)
{
    m_fbHis->setRowHidden(DetailRow, !shown);
    m_fbHis->setRowHidden(SpareRow, !shown);
}

bool frmViewHistory::exportSheet()
{
    SheetService* sheets = m_context.SheetService();
    if (!sheets || refuseWithoutRecord())
        return false;
    setHiddenRowsShown(true);
    bool done = false;
    // Beside the record as stored, a worksheet with its change text a line per row, and
    // the chart's numbers when asked for; a host without workbooks gets the record alone.
    if (WorkbookService* books = m_context.WorkbookService()) {
        HistorySheets::Book book;
        book.sheets << m_fbHis;
        book.names << ExportTitle;
        book.add(HistorySheets::detail(m_disinfo), HistorySheets::DetailName);
        if (chartWanted()) {
            book.add(HistorySheets::months(m_chart->chart()), HistorySheets::MonthsName);
            book.add(HistorySheets::cities(m_chart->chart()), HistorySheets::CitiesName);
        }
        done = books->ExportWorkbook(book.sheets, book.names, ExportTitle, true);
    } else {
        done = sheets->ExportSheet(m_fbHis, ExportTitle, true);
    }
    setHiddenRowsShown(false);
    return done;
}

bool frmViewHistory::printSheet()
{
    SheetService* sheets = m_context.SheetService();
    if (!sheets || refuseWithoutRecord())
        return false;
    setHiddenRowsShown(true);
    bool done = false;
    if (WorkbookPrintService* printer = m_context.WorkbookPrintService()) {
        HistorySheets::Book book;
        book.sheets << m_fbHis;
        book.names << QString();
        book.add(HistorySheets::detail(m_disinfo), HistorySheets::DetailName);
        done = printer->PrintWorkbook(book.sheets, book.names);
    } else {
        done = sheets->PrintSheet(m_fbHis);
    }
    setHiddenRowsShown(false);
    return done;
}

bool frmViewHistory::exportListed()
{
    WorkbookService* books = m_context.WorkbookService();
    if (books && !m_query->readEveryRecord()) {
        Messages::show(this, Messages::Kind::Error, ListedUnread + m_context.db().lastError());
        return false;
    }
    const QStringList codes = m_query->shownCodes();
    if (!books || codes.isEmpty()) {
        Messages::show(this, books ? Messages::Kind::Warning : Messages::Kind::Error,
                       books ? NothingListed : NoWorkbook);
        return false;
    }
    HistorySheets::Book book;
    {
        BusyCursor busy;
        // Every listed record is read before the host is asked where the file goes: at
        // thousands of records that takes a while, shown and open to cancel.
        ProgressScope progress(m_context, this, ReadingListed, codes.size(), true);
        auto records = HistorySheets::records(m_context, codes,
                                              [&progress](qint64 done) { return progress.step(done); });
        if (!records) {
            Messages::show(this, Messages::Kind::Information, ListedCancelled);
            return false;
        }
        book.add(std::move(records), HistorySheets::RecordsName);
        if (chartWanted()) {
            book.add(HistorySheets::months(m_chart->chart()), HistorySheets::MonthsName);
            book.add(HistorySheets::cities(m_chart->chart()), HistorySheets::CitiesName);
        }
    }
    return books->ExportWorkbook(book.sheets, book.names, ListedTitle, true);
}

bool frmViewHistory::exportReentry()
{
    WorkbookService* books = m_context.WorkbookService();
    if (!books || m_code.isEmpty())
        return false;
    QList<Reentry::Table> tables;
    {
        BusyCursor busy;
        tables = Reentry::tables(m_context, m_code);
    }
    if (tables.isEmpty())
        return false;
    // Sheets of our own for the host to write, never shown.
    HistorySheets::Book book;
    HistorySheets::reentry(book, tables);
    return books->ExportWorkbook(book.sheets, book.names, ReentryTitle + m_code, true);
}

void frmViewHistory::atbMainToolClick(const QString& name)
{
    if (name == QLatin1String("mnuExit"))
        close();
    else if (name == QLatin1String("mnuExcel"))
        exportSheet();
    else if (name == QLatin1String("mnuPrint"))
        printSheet();
    else if (name == QLatin1String("mnuReverse") && !m_code.isEmpty() &&
             m_bar->tool(QStringLiteral("mnuReverse"))->isEnabled())
        // The record on show, whose text the user reads; never one the list points at.
        emit reverseRequested(m_code);
    else if (name == QLatin1String("mnuReversePlan"))
        reversePlan();
    else if (name == QLatin1String("mnuReentry"))
        exportReentry();
    else if (name == QLatin1String("mnuExportList"))
        exportListed();
}

bool frmViewHistory::reversePlan()
{
    const quint64 asked = m_showings;
    const QString plan = PlanReversal::planOf(m_context, m_code);
    if (plan.isEmpty()) {
        Messages::show(this, Messages::Kind::Warning, PlanReversal::NotPlanned);
        return false;
    }
    PlanReversal::Preview preview = PlanReversal::preview(m_context, plan);
    if (!preview.ok()) {
        Messages::show(this, Messages::Kind::Warning, preview.refusal);
        return false;
    }
    if (!Messages::ask(this, PlanReversal::confirmation(preview)))
        return false;
    QStringList records;
    CommitOutcome outcome;
    for (;;) {
        outcome = PlanReversal::run(m_context, preview, &records);
        if (outcome.result != CommitOutcome::Result::Busy ||
            !Messages::retry(this, RelocationCommit::BusyMessage, outcome.details))
            break;
    }
    if (!outcome.done()) {
        if (outcome.result != CommitOutcome::Result::Busy)
            Messages::show(this, Messages::Kind::Warning, outcome.message);
        return false;
    }
    Messages::show(this, Messages::Kind::Information, outcome.message);
    m_query->query();
    // The plan's last reversal in place of the record reversed, unless the user chose another.
    if (m_showings == asked)
        showHistory(records.value(0));
    emit planReversed();
    return true;
}

void frmViewHistory::setOwnerWindow(QWidget* owner)
{
    setWindowOwner(this, owner);
}

} // namespace corvan
