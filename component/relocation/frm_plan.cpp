// SPDX-License-Identifier: MIT
#include "relocation/frm_plan.h"

#include <QApplication>
#include <QColor>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableWidget>
#include <QVBoxLayout>

#include "core/context/mdl_pub_var.h"
#include "core/plan/plan_review.h"
#include "core/plan/plan_run.h"
#include "core/plan/plan_template.h"
#include "corvan/controls/sheet.h"
#include "ui/progress_scope.h"
#include "ui/window_prompt.h"

namespace corvan {

const QString frmPlan::Caption = QStringLiteral("批量调整计划");
const QString frmPlan::NoReader =
    QStringLiteral("读取和写入计划文件需要主机提供工作簿读写服务（TextWorkbookService），当前主机没有提供。");
const QString frmPlan::TemplateTitle = QStringLiteral("批量调整计划模板");
const QString frmPlan::CheckedAgain =
    QStringLiteral("计划文件在检查之后改过：现按文件现在的内容重新检查，通过后才执行。");
const QString frmPlan::Unreadable = QStringLiteral("计划文件不能读取：");

namespace {

const QString Filter = QStringLiteral("调整计划 (*.xlsx *.csv);;Excel 工作簿 (*.xlsx);;CSV 文件 (*.csv)");
const QString NotChecked = QStringLiteral("未检查");
constexpr int ProgressAfterMs = 400;

QString documents(const QString& name)
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty())
        folder = QDir::homePath();
    return QDir(folder).filePath(name);
}

QString choose(QWidget* window, const frmPlan::Chooser& chooser, bool save, const QString& suggested)
{
    if (chooser)
        return chooser(save, suggested);
    return save ? QFileDialog::getSaveFileName(window, frmPlan::TemplateTitle, suggested,
                                               QStringLiteral("Excel 工作簿 (*.xlsx)"))
                : QFileDialog::getOpenFileName(window, frmPlan::Caption, suggested, Filter);
}

// The progress of work that takes a while, with a way to stop it: the host's where it
// offers one, so that all long work looks alike, else a dialog of our own.
class Progress {
public:
    Progress(const mdlPubVar& context, QWidget* window, const QString& label, int total)
    {
        if (context.ProgressService()) {
            m_scope = std::make_unique<ProgressScope>(context, window, label, total, true);
            return;
        }
        m_dialog = std::make_unique<QProgressDialog>(label, QStringLiteral("停止"), 0, 1, window);
        m_dialog->setWindowTitle(frmPlan::Caption);
        m_dialog->setWindowModality(Qt::WindowModal);
        m_dialog->setMinimumDuration(ProgressAfterMs);
        m_dialog->setAutoClose(false);
    }
    PlanRun::Progress callback()
    {
        return [this](int done, int total) {
            if (m_scope)
                return m_scope->step(done);
            m_dialog->setMaximum(std::max(total, 1));
            m_dialog->setValue(done);
            return !m_dialog->wasCanceled();
        };
    }

private:
    std::unique_ptr<ProgressScope> m_scope;
    std::unique_ptr<QProgressDialog> m_dialog;
};

} // namespace

frmPlan::frmPlan(mdlPubVar& context, QWidget* parent)
    : QWidget(parent, Qt::Window), m_context(context), m_ownPrompt(std::make_unique<WindowPrompt>(this)),
      m_prompt(context.prompt() ? *context.prompt() : *m_ownPrompt),
      m_run(std::make_unique<PlanRun>(context)), m_reviewRequired(PlanReview::required(context))
{
    setObjectName(QStringLiteral("frmPlan"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(Caption);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(makeFileLine());
    layout->addWidget(makeSheet(), 1);
    layout->addLayout(makeButtons());
    resize(1180, 640);

    connect(m_cmdOpen, &QPushButton::clicked, this, &frmPlan::cmdOpenClick);
    connect(m_cmdCheck, &QPushButton::clicked, this, &frmPlan::cmdCheckClick);
    connect(m_cmdApply, &QPushButton::clicked, this, &frmPlan::cmdApplyClick);
    connect(m_cmdSubmit, &QPushButton::clicked, this, &frmPlan::cmdSubmitClick);
    connect(m_cmdExport, &QPushButton::clicked, this, &frmPlan::cmdExportClick);
    connect(m_cmdCancel, &QPushButton::clicked, this, &frmPlan::cmdCancelClick);
    enableCommands();
}

QHBoxLayout* frmPlan::makeFileLine()
{
    m_txtFile = new QLineEdit(this);
    m_txtFile->setObjectName(QStringLiteral("txtFile"));
    m_txtFile->setReadOnly(true);
    m_txtFile->setPlaceholderText(QStringLiteral("选择计划文件（.xlsx 或 .csv），可用“导出计划模板”生成"));
    m_cmdOpen = makeButton(QStringLiteral("选择文件(&O)…"), QStringLiteral("cmdOpen"));
    m_txtTitle = new QLineEdit(this);
    m_txtTitle->setObjectName(QStringLiteral("txtTitle"));
    auto* line = new QHBoxLayout();
    line->addWidget(new QLabel(QStringLiteral("计划文件："), this));
    line->addWidget(m_txtFile, 1);
    line->addWidget(m_cmdOpen);
    line->addSpacing(12);
    line->addWidget(new QLabel(QStringLiteral("计划名称："), this));
    line->addWidget(m_txtTitle);
    return line;
}

Sheet* frmPlan::makeSheet()
{
    m_fbPlan = new Sheet(this);
    m_fbPlan->setObjectName(QStringLiteral("fbPlan"));
    m_fbPlan->setReadOnly(true);
    const QStringList headings = PlanTemplate::resultHeadings();
    m_fbPlan->setMaxCol(int(headings.size()));
    m_fbPlan->setMaxRow(0);
    const int widths[] = {48, 56, 200, 150, 150, 360, 44, 44, 44, 150};
    for (int c = 1; c <= int(headings.size()); ++c) {
        m_fbPlan->setColText(c, headings.at(c - 1));
        m_fbPlan->setColWidth(c, widths[c - 1]);
    }
    return m_fbPlan;
}

QHBoxLayout* frmPlan::makeButtons()
{
    m_lblTotal = new QLabel(this);
    m_lblTotal->setObjectName(QStringLiteral("lblTotal"));
    m_cmdCheck = makeButton(QStringLiteral("检查计划(&C)"), QStringLiteral("cmdCheck"));
    m_cmdSubmit = makeButton(QStringLiteral("提交审核(&S)"), QStringLiteral("cmdSubmit"));
    m_cmdApply = makeButton(QStringLiteral("执行计划(&A)"), QStringLiteral("cmdApply"));
    m_cmdExport = makeButton(QStringLiteral("导出检查结果(&E)"), QStringLiteral("cmdExport"));
    m_cmdCancel = makeButton(QStringLiteral("关闭"), QStringLiteral("cmdCancel"));
    auto* buttons = new QHBoxLayout();
    buttons->addWidget(m_lblTotal, 1);
    for (QPushButton* button : {m_cmdCheck, m_cmdSubmit, m_cmdApply, m_cmdExport, m_cmdCancel})
        buttons->addWidget(button);
    return buttons;
}

QPushButton* frmPlan::makeButton(const QString& text, const QString& name)
{
    auto* button = new QPushButton(text, this);
    button->setObjectName(name);
    return button;
}

frmPlan::~frmPlan() = default;

void frmPlan::enableCommands()
{
    const bool open = !m_applied && !m_submitted;
    m_cmdCheck->setEnabled(m_loaded && open);
    m_cmdSubmit->setEnabled(m_checked && open);
    m_cmdApply->setEnabled(m_checked && open && !m_reviewRequired);
    m_cmdApply->setToolTip(m_reviewRequired ? PlanReview::ReviewNeeded : QString());
    m_cmdSubmit->setToolTip(
        m_review > 0 ? QStringLiteral("作为审核计划 %1 的新版本提交").arg(ReviewRules::codeText(m_review))
                     : QStringLiteral("提交给有审核权限的另一位用户审核，批准后才能执行"));
    m_cmdExport->setEnabled(!m_run->results().isEmpty());
    QPushButton* next = m_cmdOpen;
    if (m_checked && open)
        next = m_reviewRequired ? m_cmdSubmit : m_cmdApply;
    else if (m_loaded && open)
        next = m_cmdCheck;
    next->setDefault(true);
}

void frmPlan::setReview(int number)
{
    m_review = number;
    setWindowTitle(number > 0
                       ? Caption + QStringLiteral(" - 重新提交审核计划 ") + ReviewRules::codeText(number)
                       : Caption);
    enableCommands();
}

void frmPlan::tell(const QString& text, bool information)
{
    m_prompt.showMessage(text, information ? WizardPrompt::Icon::Information : WizardPrompt::Icon::Warning);
}

bool frmPlan::ask(const QString& text)
{
    return m_prompt.ask(text);
}

void frmPlan::cmdOpenClick()
{
    const QString path = choose(this, m_chooser, false, m_path.isEmpty() ? documents(QString()) : m_path);
    if (!path.isEmpty())
        openFile(path);
}

bool frmPlan::readPlan(const QString& path, std::unique_ptr<PlanRun>* run, QList<QStringList>* rows,
                       QString* checksum, QString* error)
{
    TextWorkbookService* files = m_context.TextWorkbookService();
    if (!files) {
        *error = NoReader;
        return false;
    }
    TextSheet sheet;
    QByteArray digest;
    *run = std::make_unique<PlanRun>(m_context);
    if (!files->ReadTextSheet(path, PlanTemplate::PlanSheet, &sheet, &digest, error) ||
        !(*run)->load(sheet.rows, error))
        return false;
    *checksum = QString::fromLatin1(digest.toHex());
    *rows = sheet.rows;
    return true;
}

// The planner fixes the refused rows in the spreadsheet and saves it while the window stays
// open: what is checked and applied is the file as it stands, never the copy read when it was
// chosen.
frmPlan::FileNow frmPlan::readAgain(QString* error)
{
    std::unique_ptr<PlanRun> run;
    QList<QStringList> rows;
    QString checksum;
    if (!readPlan(m_path, &run, &rows, &checksum, error))
        return FileNow::Unreadable;
    if (checksum == m_checksum)
        return FileNow::Same;
    m_run = std::move(run);
    m_rows = rows;
    m_checksum = checksum;
    m_checked = false;
    return FileNow::Changed;
}

bool frmPlan::openFile(const QString& path)
{
    if (!m_context.TextWorkbookService()) {
        tell(NoReader);
        return false;
    }
    QString error;
    m_loaded = m_checked = m_applied = m_submitted = false;
    const bool read = readPlan(path, &m_run, &m_rows, &m_checksum, &error);
    m_path = path;
    m_txtFile->setText(QDir::toNativeSeparators(path));
    if (!read) {
        m_checksum.clear();
        showRows();
        enableCommands();
        tell(error);
        return false;
    }
    m_txtTitle->setText(QFileInfo(path).completeBaseName());
    m_loaded = true;
    showRows();
    enableCommands();
    return true;
}

void frmPlan::showRows()
{
    m_fbPlan->clearRange(1, 1, m_fbPlan->MaxRow(), m_fbPlan->MaxCol());
    m_fbPlan->setMaxRow(0);
    m_lblTotal->setText(m_loaded ? QStringLiteral("共 %1 行，尚未检查").arg(m_run->rowCount()) : QString());
}

void frmPlan::showResults()
{
    const QList<PlanRowResult>& results = m_run->results();
    m_fbPlan->clearRange(1, 1, m_fbPlan->MaxRow(), m_fbPlan->MaxCol());
    m_fbPlan->setMaxRow(int(results.size()));
    for (int r = 1; r <= int(results.size()); ++r) {
        const PlanRowResult& result = results.at(r - 1);
        const QStringList cells = PlanTemplate::resultCells(result);
        for (int c = 1; c <= int(cells.size()); ++c)
            m_fbPlan->setTextRC(r, c, cells.at(c - 1));
        // A refused row reads at a glance.
        m_fbPlan->setCellForeground(r, 6, result.passed() ? QColor(0, 110, 0) : QColor(190, 0, 0));
    }
    m_lblTotal->setText(totalsText());
}

QString frmPlan::totalsText() const
{
    return m_run->results().isEmpty() ? m_lblTotal->text() : PlanTemplate::totalsLine(m_run->totals());
}

bool frmPlan::cmdCheckClick()
{
    if (!m_loaded || m_applied)
        return false;
    QString error;
    switch (readAgain(&error)) {
    case FileNow::Unreadable:
        m_loaded = m_checked = false;
        showRows();
        enableCommands();
        tell(Unreadable + error);
        return false;
    case FileNow::Changed:
        showRows();
        break;
    case FileNow::Same:
        break;
    }
    return checkRows();
}

bool frmPlan::checkRows()
{
    CommitOutcome outcome;
    for (;;) {
        Progress progress(m_context, this, QStringLiteral("正在逐行检查计划…"), m_run->rowCount());
        outcome = m_run->check(progress.callback());
        if (outcome.result != CommitOutcome::Result::Busy ||
            !m_prompt.askRetry(RelocationCommit::BusyMessage, outcome.details))
            break;
    }
    m_checked = outcome.done();
    showResults();
    enableCommands();
    if (m_checked && m_reviewRequired)
        m_lblTotal->setText(totalsText() + QStringLiteral("；须经审核批准后执行：请点“提交审核”"));
    if (outcome.result == CommitOutcome::Result::Refused) {
        const PlanRun::Totals totals = m_run->totals();
        tell(QStringLiteral("计划中有 %1 行不能调整（见“结果”一列），请修改计划文件，保存后再检查。")
                 .arg(totals.rows - totals.passed));
    } else if (!outcome.done() && outcome.result != CommitOutcome::Result::Busy) {
        tell(outcome.message);
    }
    return m_checked;
}

bool frmPlan::fileStillPasses()
{
    // Nothing is written from a file that changed since its check before it passed again.
    QString error;
    switch (readAgain(&error)) {
    case FileNow::Unreadable:
        m_loaded = m_checked = false;
        enableCommands();
        tell(Unreadable + error);
        return false;
    case FileNow::Changed:
        showRows();
        tell(CheckedAgain, true);
        return checkRows();
    case FileNow::Same:
        break;
    }
    return true;
}

PlanSource frmPlan::sourceOfFile() const
{
    const QString title = m_txtTitle->text().trimmed();
    return {title.isEmpty() ? QFileInfo(m_path).completeBaseName() : title, QFileInfo(m_path).fileName(),
            m_checksum};
}

bool frmPlan::cmdApplyClick()
{
    if (!m_checked || m_applied || m_submitted || m_reviewRequired || !fileStillPasses())
        return false;
    const PlanRun::Totals totals = m_run->totals();
    if (!ask(QStringLiteral("将按计划调整 %1 个基站，删除小区 %2 个、天线 %3 个、馈线 %4 "
                            "个，在一个事务中完成。是否执行？")
                 .arg(totals.passed)
                 .arg(totals.cells)
                 .arg(totals.antennas)
                 .arg(totals.feeders)))
        return false;
    const PlanSource source = sourceOfFile();
    CommitOutcome outcome;
    for (;;) {
        Progress progress(m_context, this, QStringLiteral("正在执行计划…"), m_run->rowCount());
        outcome = m_run->apply(source, progress.callback());
        if (outcome.result != CommitOutcome::Result::Busy ||
            !m_prompt.askRetry(RelocationCommit::BusyMessage, outcome.details))
            break;
    }
    showResults();
    if (!outcome.done()) {
        if (outcome.result != CommitOutcome::Result::Busy)
            tell(outcome.message);
        enableCommands();
        return false;
    }
    m_applied = true;
    enableCommands();
    tell(outcome.message, true);
    emit applied(outcome.recordCode);
    return true;
}

bool frmPlan::cmdSubmitClick()
{
    if (!m_checked || m_applied || m_submitted || !fileStillPasses())
        return false;
    const PlanRun::Totals totals = m_run->totals();
    const QString as = m_review > 0
                           ? QStringLiteral("作为审核计划 %1 的新版本").arg(ReviewRules::codeText(m_review))
                           : QString();
    if (!ask(QStringLiteral(
                 "将把计划（%1 行，调整基站 %2 个，删除小区 %3 个、天线 %4 个、馈线 %5 个）%6提交审核，"
                 "批准后才能执行。是否提交？")
                 .arg(totals.rows)
                 .arg(totals.passed)
                 .arg(totals.cells)
                 .arg(totals.antennas)
                 .arg(totals.feeders)
                 .arg(as)))
        return false;
    const PlanSource source = sourceOfFile();
    CommitOutcome outcome;
    for (;;) {
        outcome = PlanReview::submit(m_context, *m_run, m_rows, source, m_review);
        if (outcome.result != CommitOutcome::Result::Busy ||
            !m_prompt.askRetry(RelocationCommit::BusyMessage, outcome.details))
            break;
    }
    if (!outcome.done()) {
        if (outcome.result != CommitOutcome::Result::Busy)
            tell(outcome.message);
        return false;
    }
    m_submitted = true;
    enableCommands();
    m_lblTotal->setText(totalsText() + QStringLiteral("；已提交审核：") + outcome.recordCode);
    tell(outcome.message, true);
    emit submitted(outcome.recordCode);
    return true;
}

bool frmPlan::cmdExportClick()
{
    SheetService* sheets = m_context.SheetService();
    if (!sheets || m_run->results().isEmpty())
        return false;
    // The workbook must read on its own: the column headings, which the window shows in its
    // header and an export does not carry, above the rows, and the totals below them. It is
    // laid out on a sheet of its own, so the window's rows stay as they are.
    Sheet book(this);
    book.hide();
    const int rows = m_fbPlan->MaxRow();
    const int columns = m_fbPlan->MaxCol();
    book.setMaxCol(columns);
    book.setMaxRow(rows + 3);
    for (int c = 1; c <= columns; ++c) {
        book.setColText(c, m_fbPlan->ColText(c));
        book.setColWidth(c, m_fbPlan->ColWidth(c));
        book.setTextRC(1, c, m_fbPlan->ColText(c));
        for (int r = 1; r <= rows; ++r) {
            book.setTextRC(r + 1, c, m_fbPlan->TextRC(r, c));
            if (const QColor colour = m_fbPlan->CellForeground(r, c); colour.isValid())
                book.setCellForeground(r + 1, c, colour);
        }
    }
    book.setTextRC(rows + 3, 1, totalsText());
    return sheets->ExportSheet(&book, Caption + QStringLiteral("检查结果"), true);
}

void frmPlan::cmdCancelClick()
{
    close();
}

bool frmPlan::writeTemplate(mdlPubVar& context, QWidget* window, const Chooser& chooser)
{
    WindowPrompt boxes(window);
    WizardPrompt& prompt = context.prompt() ? *context.prompt() : boxes;
    const auto tellUser = [&](const QString& text, bool information) {
        prompt.showMessage(text, information ? WizardPrompt::Icon::Information : WizardPrompt::Icon::Warning);
    };
    TextWorkbookService* files = context.TextWorkbookService();
    if (!files) {
        tellUser(NoReader, false);
        return false;
    }
    QString path = choose(window, chooser, true, documents(TemplateTitle + QStringLiteral(".xlsx")));
    if (path.isEmpty())
        return false;
    if (!path.endsWith(QStringLiteral(".xlsx"), Qt::CaseInsensitive))
        path += QStringLiteral(".xlsx");
    QString error;
    bool written = false;
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        written =
            files->WriteTextWorkbook(path, PlanTemplate::sheets(context, PlanColumns::of(context)), &error);
        QApplication::restoreOverrideCursor();
    }
    if (!written) {
        tellUser(QStringLiteral("计划模板未能写入：") + error, false);
        return false;
    }
    tellUser(QStringLiteral("计划模板已写入：") + QDir::toNativeSeparators(path), true);
    return true;
}

} // namespace corvan
