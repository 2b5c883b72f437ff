// SPDX-License-Identifier: MIT
#include "relocation/frm_reviews.h"

#include <QColor>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

#include "core/context/divisions.h"
#include "core/context/mdl_pub_var.h"
#include "core/plan/plan_template.h"
#include "corvan/controls/sheet.h"
#include "ui/progress_scope.h"
#include "ui/window_prompt.h"

namespace corvan {

const QString frmReviews::Caption = QStringLiteral("审核计划");

namespace {

const QStringList ListHeadings{QStringLiteral("编号"),     QStringLiteral("状态"),
                               QStringLiteral("版本"),     QStringLiteral("行数"),
                               QStringLiteral("计划名称"), QStringLiteral("提交人"),
                               QStringLiteral("提交时间"), QStringLiteral("审核人"),
                               QStringLiteral("审核时间"), QStringLiteral("计划编号")};
const QList<ReviewState> States{ReviewState::Waiting,   ReviewState::Approved, ReviewState::Returned,
                                ReviewState::Withdrawn, ReviewState::Applied,  ReviewState::Reversed};
const QString AtSubmission = QStringLiteral("提交时的结果");
const QColor Passed(0, 110, 0);
const QColor Refused(190, 0, 0);

QString currentUser(const mdlPubVar& context)
{
    ContextService* host = context.ContextService();
    return host ? host->CurrentUser() : QString();
}

} // namespace

frmReviews::frmReviews(mdlPubVar& context, QWidget* parent)
    : QWidget(parent, Qt::Window), m_context(context), m_ownPrompt(std::make_unique<WindowPrompt>(this)),
      m_prompt(context.prompt() ? *context.prompt() : *m_ownPrompt)
{
    setObjectName(QStringLiteral("frmReviews"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(Caption);
    makeLayout();
    resize(1180, 720);
    refresh();
}

frmReviews::~frmReviews() = default;

void frmReviews::makeLayout()
{
    m_cboState = new QComboBox(this);
    m_cboState->setObjectName(QStringLiteral("cboState"));
    m_cboState->addItem(QStringLiteral("全部"));
    for (ReviewState state : States)
        m_cboState->addItem(ReviewRules::stateCaption(state));
    m_cmdRefresh = makeButton(QStringLiteral("刷新(&F)"), QStringLiteral("cmdRefresh"));
    m_cmdExport = makeButton(QStringLiteral("导出列表(&E)"), QStringLiteral("cmdExport"));
    auto* top = new QHBoxLayout();
    auto* stateLabel = new QLabel(QStringLiteral("状态(&T)："), this);
    stateLabel->setBuddy(m_cboState);
    top->addWidget(stateLabel);
    top->addWidget(m_cboState);
    top->addWidget(m_cmdRefresh);
    top->addStretch(1);
    top->addWidget(m_cmdExport);

    m_fbReviews = new Sheet(this);
    m_fbReviews->setObjectName(QStringLiteral("fbReviews"));
    m_fbReviews->setReadOnly(true);
    m_fbReviews->setMaxCol(int(ListHeadings.size()));
    const int listWidths[] = {56, 64, 44, 44, 200, 90, 140, 90, 140, 170};
    for (int c = 1; c <= int(ListHeadings.size()); ++c) {
        m_fbReviews->setColText(c, ListHeadings.at(c - 1));
        m_fbReviews->setColWidth(c, listWidths[c - 1]);
    }
    m_fbReviews->table()->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_fbReviews->table()->setSelectionMode(QAbstractItemView::SingleSelection);

    m_lblReview = new QLabel(this);
    m_lblReview->setObjectName(QStringLiteral("lblReview"));
    m_lblReview->setWordWrap(true);
    m_lblReview->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_fbRows = new Sheet(this);
    m_fbRows->setObjectName(QStringLiteral("fbRows"));
    m_fbRows->setReadOnly(true);
    const QStringList headings = PlanTemplate::resultHeadings() << AtSubmission;
    m_fbRows->setMaxCol(int(headings.size()));
    const int rowWidths[] = {48, 56, 200, 150, 150, 220, 44, 44, 44, 170, 160};
    for (int c = 1; c <= int(headings.size()); ++c) {
        m_fbRows->setColText(c, headings.at(c - 1));
        m_fbRows->setColWidth(c, rowWidths[c - 1]);
    }
    m_txtLog = new QPlainTextEdit(this);
    m_txtLog->setObjectName(QStringLiteral("txtLog"));
    m_txtLog->setReadOnly(true);
    m_txtLog->setMaximumHeight(120);

    auto* detail = new QWidget(this);
    auto* detailLayout = new QVBoxLayout(detail);
    detailLayout->setContentsMargins(0, 0, 0, 0);
    detailLayout->addWidget(m_lblReview);
    detailLayout->addWidget(m_fbRows, 1);
    detailLayout->addWidget(new QLabel(QStringLiteral("审核记录："), this));
    detailLayout->addWidget(m_txtLog);
    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(m_fbReviews);
    split->addWidget(detail);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 2);

    m_txtComment = new QLineEdit(this);
    m_txtComment->setObjectName(QStringLiteral("txtComment"));
    m_txtComment->setPlaceholderText(QStringLiteral("退回时须写明原因；批准、撤回时可不写"));
    auto* commentLabel = new QLabel(QStringLiteral("审核意见(&M)："), this);
    commentLabel->setBuddy(m_txtComment);
    m_cmdApprove = makeButton(QStringLiteral("批准(&P)"), QStringLiteral("cmdApprove"));
    m_cmdReturn = makeButton(QStringLiteral("退回(&R)"), QStringLiteral("cmdReturn"));
    m_cmdWithdraw = makeButton(QStringLiteral("撤回(&W)"), QStringLiteral("cmdWithdraw"));
    m_cmdResubmit = makeButton(QStringLiteral("重新提交(&U)…"), QStringLiteral("cmdResubmit"));
    m_cmdApply = makeButton(QStringLiteral("执行计划(&A)"), QStringLiteral("cmdApply"));
    m_cmdClose = makeButton(QStringLiteral("关闭"), QStringLiteral("cmdClose"));
    auto* steps = new QHBoxLayout();
    steps->addWidget(commentLabel);
    steps->addWidget(m_txtComment, 1);
    for (QPushButton* button :
         {m_cmdApprove, m_cmdReturn, m_cmdWithdraw, m_cmdResubmit, m_cmdApply, m_cmdClose})
        steps->addWidget(button);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(split, 1);
    layout->addLayout(steps);

    connect(m_cboState, &QComboBox::currentIndexChanged, this, &frmReviews::refresh);
    connect(m_cmdRefresh, &QPushButton::clicked, this, &frmReviews::refresh);
    connect(m_cmdExport, &QPushButton::clicked, this, &frmReviews::exportList);
    connect(m_cmdApprove, &QPushButton::clicked, this, [this] { decide(ReviewAction::Approve); });
    connect(m_cmdReturn, &QPushButton::clicked, this, [this] { decide(ReviewAction::Return); });
    connect(m_cmdWithdraw, &QPushButton::clicked, this, [this] { decide(ReviewAction::Withdraw); });
    connect(m_cmdResubmit, &QPushButton::clicked, this, [this] {
        if (m_review)
            emit resubmitRequested(m_review->number);
    });
    connect(m_cmdApply, &QPushButton::clicked, this, &frmReviews::applyShown);
    connect(m_cmdClose, &QPushButton::clicked, this, &QWidget::close);
    connect(m_fbReviews->table(), &QTableWidget::currentCellChanged, this, [this](int row) {
        if (row >= 0 && row < m_reviews.size() && shown() != m_reviews.at(row).number)
            showReview(m_reviews.at(row).number);
    });
}

QPushButton* frmReviews::makeButton(const QString& text, const QString& name)
{
    auto* button = new QPushButton(text, this);
    button->setObjectName(name);
    return button;
}

void frmReviews::tell(const QString& text, bool information)
{
    m_prompt.showMessage(text, information ? WizardPrompt::Icon::Information : WizardPrompt::Icon::Warning);
}

void frmReviews::refresh()
{
    const int keep = shown();
    const int chosen = m_cboState->currentIndex();
    const std::optional<ReviewState> only =
        chosen > 0 ? std::optional<ReviewState>(States.at(chosen - 1)) : std::nullopt;
    QString error;
    m_reviews = PlanReview::list(m_context, only, &error);
    m_fbReviews->clearRange(1, 1, m_fbReviews->MaxRow(), m_fbReviews->MaxCol());
    m_fbReviews->setMaxRow(int(m_reviews.size()));
    for (int r = 1; r <= int(m_reviews.size()); ++r) {
        const Review& review = m_reviews.at(r - 1);
        const std::optional<ReviewStep> decision = review.decision();
        const QStringList cells{review.code(),
                                ReviewRules::stateCaption(review.state()),
                                QString::number(review.latest().version),
                                QString::number(review.latest().rows),
                                review.latest().title,
                                review.author(),
                                review.latest().submitted,
                                decision ? decision->actor : QString(),
                                decision ? decision->time : QString(),
                                review.appliedPlan()};
        for (int c = 1; c <= int(cells.size()); ++c)
            m_fbReviews->setTextRC(r, c, cells.at(c - 1));
        for (int c : {3, 4})
            m_fbReviews->setNumberRC(r, c, cells.at(c - 1).toDouble());
    }
    if (!error.isEmpty())
        tell(error);
    m_cmdExport->setEnabled(!m_reviews.isEmpty());
    emit listed();
    int row = 0;
    for (int i = 0; i < m_reviews.size(); ++i)
        if (m_reviews.at(i).number == keep)
            row = i;
    m_review.reset();
    if (m_reviews.isEmpty()) {
        showRows();
        return;
    }
    m_fbReviews->table()->setCurrentCell(row, 0);
    showReview(m_reviews.at(row).number);
}

bool frmReviews::showReview(int number)
{
    int row = -1;
    for (int i = 0; i < m_reviews.size(); ++i)
        if (m_reviews.at(i).number == number)
            row = i;
    if (row < 0)
        return false;
    QString error;
    m_review = PlanReview::read(m_context, number, true, &error);
    m_now.clear();
    if (m_review) {
        const ReviewState state = m_review->state();
        // Before it is applied, what its rows would do now: the database may have moved on since
        // the plan was submitted.
        if (state == ReviewState::Waiting || state == ReviewState::Approved) {
            PlanRun now(m_context);
            now.setReviewing(true);
            QString unread;
            if (now.load(m_review->latest().sheet, &unread)) {
                const CommitOutcome checked = now.check();
                if (checked.result == CommitOutcome::Result::Failed ||
                    checked.result == CommitOutcome::Result::Busy)
                    error = checked.message;
                m_now = now.results();
            }
        }
    }
    if (m_fbReviews->table()->currentRow() != row)
        m_fbReviews->table()->setCurrentCell(row, 0);
    showRows();
    if (!error.isEmpty())
        tell(error);
    return m_review.has_value();
}

void frmReviews::showRows()
{
    m_fbRows->clearRange(1, 1, m_fbRows->MaxRow(), m_fbRows->MaxCol());
    m_txtLog->clear();
    if (!m_review) {
        m_fbRows->setMaxRow(0);
        m_lblReview->setText(m_reviews.isEmpty() ? QStringLiteral("没有提交审核的计划") : QString());
        enableSteps();
        return;
    }
    const ReviewVersion& latest = m_review->latest();
    QStringList cities;
    for (const QString& city : latest.cities)
        cities << mdlPubFun::GetCityName(m_context, city);
    const QList<PlanRowResult>& shown = m_now.isEmpty() ? latest.verdicts : m_now;
    m_lblReview->setText(
        QStringLiteral("%1 %2（%3，第 %4 版）  状态：%5  提交人：%6  提交时间：%7  地市：%8\n%9：%10")
            .arg(m_review->code(), latest.title, latest.fileName)
            .arg(latest.version)
            .arg(ReviewRules::stateCaption(m_review->state()), m_review->author(), latest.submitted,
                 cities.join(QStringLiteral("、")),
                 m_now.isEmpty() ? QStringLiteral("提交时的检查结果") : QStringLiteral("现在检查的结果"),
                 PlanTemplate::totalsLine(PlanRun::totalsOf(shown))));
    m_fbRows->setMaxRow(int(shown.size()));
    const int atSubmission = m_fbRows->MaxCol();
    // Once applied, each row names the record it wrote.
    const QMap<int, QString> records = PlanReview::recordsOf(m_context, m_review->appliedPlan());
    for (int r = 1; r <= int(shown.size()); ++r) {
        const PlanRowResult& result = shown.at(r - 1);
        const QStringList cells = PlanTemplate::resultCells(result);
        for (int c = 1; c <= int(cells.size()); ++c)
            m_fbRows->setTextRC(r, c, cells.at(c - 1));
        if (records.contains(result.line))
            m_fbRows->setTextRC(r, atSubmission - 1, records.value(result.line));
        m_fbRows->setCellForeground(r, 6, result.passed() ? Passed : Refused);
        if (r - 1 < latest.verdicts.size())
            m_fbRows->setTextRC(r, atSubmission, latest.verdicts.at(r - 1).verdict);
    }
    QStringList log;
    for (const ReviewStep& step : m_review->log)
        log << QStringList{step.time, ReviewRules::actionCaption(step.action), step.actor,
                           QStringLiteral("第 %1 版").arg(step.version),
                           step.plan.isEmpty() ? step.comment : QStringLiteral("计划编号 ") + step.plan}
                   .join(QStringLiteral("  "))
                   .trimmed();
    m_txtLog->setPlainText(log.join(QLatin1Char('\n')));
    enableSteps();
}

QString frmReviews::logText() const
{
    return m_txtLog->toPlainText();
}

void frmReviews::enableSteps()
{
    const QString user = currentUser(m_context);
    const auto why = [&](ReviewAction action) -> QString {
        if (!m_review)
            return QStringLiteral("请先在列表中选择一个计划");
        const QStringList cities = m_review->latest().cities;
        QStringList mine;
        if (RightService* rights = m_context.RightService())
            for (const QString& city : cities)
                if (rights->HasCityRight(PlanReview::RightFunction, city))
                    mine << city;
        // The comment a return needs is asked for when the button is clicked, not before.
        const ReviewRules::Attempt attempt{action, user,   m_review->author(),
                                           mine,   cities, QStringLiteral("-")};
        return ReviewRules::refusal(m_review->state(), attempt, [this](const QString& city) {
            return mdlPubFun::GetCityName(m_context, city);
        });
    };
    const struct {
        QPushButton* button;
        ReviewAction action;
        QString tip;
    } steps[] = {
        {m_cmdApprove, ReviewAction::Approve, QStringLiteral("批准这一版计划：批准后可以执行")},
        {m_cmdReturn, ReviewAction::Return, QStringLiteral("把计划退回提交人修改（须写明原因）")},
        {m_cmdWithdraw, ReviewAction::Withdraw, QStringLiteral("提交人收回计划，不再审核")},
        {m_cmdResubmit, ReviewAction::Submit, QStringLiteral("选择改好的计划文件，作为这个计划的新版本提交")},
        {m_cmdApply, ReviewAction::Apply, QStringLiteral("按批准的行再检查一次，全部通过后在一个事务中执行")},
    };
    for (const auto& step : steps) {
        QString reason = why(step.action);
        // A plan waiting for review takes a new version only once its author has it back.
        if (reason.isEmpty() && step.action == ReviewAction::Submit && m_review &&
            m_review->state() != ReviewState::Returned && m_review->state() != ReviewState::Withdrawn)
            reason = QStringLiteral("计划%1，撤回或被退回后才能重新提交")
                         .arg(ReviewRules::stateCaption(m_review->state()));
        step.button->setEnabled(reason.isEmpty());
        step.button->setToolTip(reason.isEmpty() ? step.tip : reason);
    }
}

bool frmReviews::decide(ReviewAction action)
{
    if (!m_review)
        return false;
    const QString comment = m_txtComment->text().trimmed();
    if (action == ReviewAction::Return && comment.isEmpty()) {
        tell(QStringLiteral("退回计划须写明原因：请在“审核意见”中填写。"));
        m_txtComment->setFocus();
        return false;
    }
    const QString code = m_review->code();
    if (action == ReviewAction::Approve &&
        !m_prompt.ask(QStringLiteral("批准计划 %1（第 %2 版，%3 行）？批准后即可按保存的行执行。")
                          .arg(code)
                          .arg(m_review->latest().version)
                          .arg(m_review->latest().rows)))
        return false;
    const CommitOutcome outcome = PlanReview::decide(m_context, m_review->number, action, comment);
    if (outcome.done())
        m_txtComment->clear();
    refresh();
    tell(outcome.message, outcome.done());
    return outcome.done();
}

bool frmReviews::applyShown()
{
    if (!m_review)
        return false;
    const PlanRun::Totals totals = PlanRun::totalsOf(m_now.isEmpty() ? m_review->latest().verdicts : m_now);
    if (!m_prompt.ask(QStringLiteral("将按批准的计划 %1 调整 %2 个基站，删除小区 %3 个、天线 %4 个、馈线 %5 "
                                     "个，在一个事务中完成。是否执行？")
                          .arg(m_review->code())
                          .arg(totals.rows)
                          .arg(totals.cells)
                          .arg(totals.antennas)
                          .arg(totals.feeders)))
        return false;
    PlanRun plan(m_context);
    CommitOutcome outcome;
    for (;;) {
        std::unique_ptr<ProgressScope> scope;
        if (m_context.ProgressService())
            scope = std::make_unique<ProgressScope>(m_context, this, QStringLiteral("正在执行计划…"),
                                                    m_review->latest().rows, false);
        outcome = PlanReview::apply(m_context, m_review->number, plan,
                                    [&](int done, int) { return scope ? scope->step(done) : true; });
        if (outcome.result != CommitOutcome::Result::Busy ||
            !m_prompt.askRetry(RelocationCommit::BusyMessage, outcome.details))
            break;
    }
    refresh();
    if (outcome.result != CommitOutcome::Result::Busy)
        tell(outcome.done() ? outcome.message + QStringLiteral("\r\n计划编号：") + outcome.recordCode
                            : outcome.message,
             outcome.done());
    if (outcome.done())
        emit applied(outcome.recordCode);
    return outcome.done();
}

bool frmReviews::exportList()
{
    SheetService* sheets = m_context.SheetService();
    if (!sheets || m_reviews.isEmpty())
        return false;
    // The workbook reads on its own: the headings above the rows, as listed now.
    Sheet book(this);
    book.hide();
    const int rows = m_fbReviews->MaxRow();
    const int columns = m_fbReviews->MaxCol();
    book.setMaxCol(columns);
    book.setMaxRow(rows + 1);
    for (int c = 1; c <= columns; ++c) {
        book.setColText(c, m_fbReviews->ColText(c));
        book.setColWidth(c, m_fbReviews->ColWidth(c));
        book.setTextRC(1, c, m_fbReviews->ColText(c));
        for (int r = 1; r <= rows; ++r) {
            double number = 0;
            if (m_fbReviews->CellNumber(r, c, &number))
                book.setNumberRC(r + 1, c, number);
            else
                book.setTextRC(r + 1, c, m_fbReviews->TextRC(r, c));
        }
    }
    return sheets->ExportSheet(&book, Caption, true);
}

} // namespace corvan
