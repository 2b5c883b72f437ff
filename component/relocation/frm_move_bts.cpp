// SPDX-License-Identifier: MIT
#include "relocation/frm_move_bts.h"

#include <optional>

#include <QHBoxLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "browser/frm_main.h"
#include "corvan/controls/property_grid.h"
#include "corvan/controls/property_item.h"
#include "corvan/controls/sheet.h"
#include "entry/mdl_pub_var.h"
#include "lookups/busy_cursor.h"
#include "lookups/sql_literal.h"
#include "relocation/bts_page.h"
#include "relocation/bts_save.h"
#include "relocation/cell_loader.h"
#include "relocation/change_summary.h"
#include "relocation/commit_steps.h"
#include "relocation/field_rules.h"
#include "relocation/grid_handlers.h"
#include "relocation/relocation_record.h"

namespace corvan {

const QString frmMoveBts::Caption = QStringLiteral("基站调整");
const QString frmMoveBts::SuccessMessage =
    QStringLiteral("基站调整成功\r\n请在资源维护中添加小区、天线、馈线的信息");
const QString frmMoveBts::RecordFailedMessage = QStringLiteral("保存调整记录失败");

namespace {

const QString StepCaptions[3] = {QStringLiteral("基站属性修改"), QStringLiteral("小区天馈线参数"),
                                 QStringLiteral("完成基站调整")};
const QString StepKeys[3] = {QStringLiteral("k1"), QStringLiteral("k2"), QStringLiteral("k3")};
constexpr qint32 White = 0xFFFFFF;
constexpr int FontSize = 10;
// Told when a commit did not go through and left the database as it was; the reason follows.
const QString CommitUndoneMessage = QStringLiteral("基站调整未能完成，数据库未作任何修改。");
const QString StaleBtsMessage =
    QStringLiteral("该基站已被其他用户调整，本次调整未作任何修改。请重新选择机房和基站后再调整。");
const QString BusyMessage =
    QStringLiteral("其他用户正在保存数据，数据库暂时无法写入，本次调整未作任何修改。\r\n是否重试？");
const QString NewLine = QStringLiteral("\r\n");

} // namespace

frmMoveBts::frmMoveBts(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frmMoveBts"));
    setAttribute(Qt::WA_DeleteOnClose);
    setUp();
    mdlPubVar::instance().registerForm(this);
}

frmMoveBts::~frmMoveBts() = default;

void frmMoveBts::setUp()
{
    setWindowTitle(Caption);

    m_smMoveTask = new PropertyGrid(this);
    m_smMoveTask->setObjectName(QStringLiteral("smMoveTask"));
    m_smMoveTask->setFixedWidth(180);

    m_sstMain = new QTabWidget(this);
    m_sstMain->setObjectName(QStringLiteral("sstMain"));

    auto* fraBtsNew = new QWidget();
    fraBtsNew->setObjectName(QStringLiteral("fraBtsNew"));
    auto* btsLayout = new QVBoxLayout(fraBtsNew);
    m_smBtsNew = new PropertyGrid(fraBtsNew);
    m_smBtsNew->setObjectName(QStringLiteral("smBtsNew"));
    btsLayout->addWidget(m_smBtsNew);

    // The page the user never sees: it holds the BTS's cells, antennas and feeders.
    auto* fraCell = new QWidget();
    fraCell->setObjectName(QStringLiteral("fraCell"));
    auto* cellLayout = new QVBoxLayout(fraCell);
    m_sstCell = new QTabWidget(fraCell);
    m_sstCell->setObjectName(QStringLiteral("sstCell"));
    cellLayout->addWidget(m_sstCell);
    auto* fraLine = new QWidget(fraCell);
    fraLine->setObjectName(QStringLiteral("fraLine"));
    auto* lineLayout = new QVBoxLayout(fraLine);
    m_smLine = new PropertyGrid(fraLine);
    m_smLine->setObjectName(QStringLiteral("smLine"));
    lineLayout->addWidget(m_smLine);
    cellLayout->addWidget(fraLine);
    auto* cellButtons = new QHBoxLayout();
    for (const auto& [name, caption] : {std::pair{"cmdNewCell", "新增"}, std::pair{"cmdDelCell", "删除"},
                                        std::pair{"cmdSaveCell", "保存"}}) {
        auto* button = new QPushButton(QString::fromUtf8(caption), fraCell);
        button->setObjectName(QString::fromLatin1(name));
        button->setVisible(false);
        button->setEnabled(false);
        cellButtons->addWidget(button);
    }
    cellLayout->addLayout(cellButtons);

    auto* fraFinish = new QWidget();
    fraFinish->setObjectName(QStringLiteral("fraFinish"));
    auto* finishLayout = new QVBoxLayout(fraFinish);
    m_fbModify = new Sheet(fraFinish);
    m_fbModify->setObjectName(QStringLiteral("fbModify"));
    finishLayout->addWidget(m_fbModify);

    m_sstMain->addTab(fraBtsNew, StepCaptions[0]);
    m_sstMain->addTab(fraCell, StepCaptions[1]);
    m_sstMain->addTab(fraFinish, StepCaptions[2]);
    m_sstMain->setTabVisible(1, false);
    m_sstMain->setTabEnabled(1, false);

    m_cmdPrev = new QPushButton(QStringLiteral("上一步"), this);
    m_cmdPrev->setObjectName(QStringLiteral("cmdPrev"));
    m_cmdNext = new QPushButton(QStringLiteral("下一步"), this);
    m_cmdNext->setObjectName(QStringLiteral("cmdNext"));
    m_cmdOk = new QPushButton(QStringLiteral("完成搬迁"), this);
    m_cmdOk->setObjectName(QStringLiteral("cmdOk"));
    m_cmdOk->setVisible(false);
    m_cmdCancel = new QPushButton(QStringLiteral("取消"), this);
    m_cmdCancel->setObjectName(QStringLiteral("cmdCancel"));

    auto* body = new QHBoxLayout();
    body->addWidget(m_smMoveTask);
    body->addSpacing(13); // 200 twips between the step list and the tab strip
    body->addWidget(m_sstMain, 1);
    auto* buttons = new QHBoxLayout();
    buttons->addStretch(1);
    buttons->addWidget(m_cmdPrev);
    // Commit takes Next's place: only one of the two is ever shown.
    buttons->addWidget(m_cmdNext);
    buttons->addWidget(m_cmdOk);
    buttons->addWidget(m_cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body, 1);
    layout->addLayout(buttons);
    resize(860, 600);

    connect(m_cmdPrev, &QPushButton::clicked, this, &frmMoveBts::cmdPrevClick);
    connect(m_cmdNext, &QPushButton::clicked, this, &frmMoveBts::cmdNextClick);
    connect(m_cmdOk, &QPushButton::clicked, this, &frmMoveBts::cmdOkClick);
    connect(m_cmdCancel, &QPushButton::clicked, this, &frmMoveBts::cmdCancelClick);
    connect(m_sstMain, &QTabWidget::tabBarClicked, this, [this] { syncPage(); });

    PropertyItems& grid = m_smBtsNew->Items();
    connect(m_smBtsNew, &PropertyGrid::ItemValueChanged, this,
            [&grid](PropertyItem* item) {
                GridHandlers::cityCascade(grid, item);
                GridHandlers::roomCascade(grid, item);
            });
    connect(m_smBtsNew, &PropertyGrid::GridEdited, this,
            [this] { GridHandlers::recordCityAndBaseNum(m_state, m_smBtsNew->Items(), cellGridItems()); });
    connect(m_smBtsNew, &PropertyGrid::GridMouseDown, this, [this](int button, int, float x, float y) {
        m_smBtsNew->setFocus();
        GridHandlers::rightClickSelect(m_smBtsNew->Items(), button, x, y);
    });
    connect(m_smBtsNew, &PropertyGrid::GridMouseUp, this, [this](int button, int, float x, float y) {
        GridHandlers::popup(m_smBtsNew->Items(), button, x, y);
    });
    connect(m_smBtsNew, &PropertyGrid::ItemChosen, this,
            [this](PropertyItem* item) { GridHandlers::popupChosen(m_state, item); });

    prepareFinishSheet();
    buildSteps();
}

void frmMoveBts::buildSteps()
{
    m_sstMain->setCurrentIndex(0);
    PropertyItems& steps = m_smMoveTask->Items();
    steps.ClearItems();
    m_smMoveTask->setCaption(QStringLiteral("基站调整步骤"));
    for (int i = 0; i < 3; ++i)
        steps.AddItem(0, StepKeys[i], StepCaptions[i], ITEM_STEP);
    steps.GetItem(StepKeys[1])->setVisible(false);
    steps.GetItem(StepKeys[0])->setSelected(true);
    m_cmdPrev->setEnabled(false);
    syncPage();
}

void frmMoveBts::prepareFinishSheet()
{
    if (SheetService* sheets = mdlPubVar::instance().SheetService()) {
        sheets->StyleRange(m_fbModify, 1, 1, 5, 5, 0, White, -1, FontSize, -1);
        sheets->PrepareSheet(m_fbModify);
    }
    m_fbModify->setMaxCol(4);
    m_fbModify->setMaxRow(1);
    const int first = m_fbModify->ColWidth(1);
    m_fbModify->setColWidth(2, int(std::lround(1.5 * first)));
    m_fbModify->setColWidth(3, 2 * first);
    m_fbModify->setColWidth(4, 2 * first);
    m_fbModify->setColText(1, QStringLiteral("资源类型"));
    m_fbModify->setColText(2, QStringLiteral("属性名称"));
    m_fbModify->setColText(3, QStringLiteral("原有属性"));
    m_fbModify->setColText(4, QStringLiteral("修改属性"));
}

int frmMoveBts::currentPage() const
{
    return m_sstMain->currentIndex();
}

void frmMoveBts::syncPage()
{
    const int page = currentPage();
    // Only the current tab can be chosen, so the tab strip never changes pages.
    for (int i = 0; i < m_sstMain->count(); ++i)
        m_sstMain->setTabEnabled(i, i == page);
    const bool last = page == LastPage;
    m_cmdPrev->setEnabled(last);
    // Without a BTS page there is nothing to check or to write.
    m_cmdNext->setEnabled(!last && m_state.pageBuilt);
    m_cmdNext->setVisible(!last);
    m_cmdOk->setVisible(last);
    (last ? m_cmdOk : m_cmdNext)->setDefault(true);
    PropertyItems& steps = m_smMoveTask->Items();
    for (long i = 1; i <= steps.ItemCount(); ++i)
        steps.GetItem(i)->setSelected(false);
    if (PropertyItem* step = steps.GetItem(long(page + 1)))
        step->setSelected(true);
}

void frmMoveBts::goToPage(int page)
{
    m_sstMain->setTabEnabled(page, true);
    m_sstMain->setCurrentIndex(page);
    syncPage();
}

PropertyItems& frmMoveBts::cellGrid(int index)
{
    // One tab per cell, however many cells the BTS has.
    while (m_smCell.size() <= index) {
        auto* grid = new PropertyGrid();
        grid->setObjectName(QStringLiteral("smCell"));
        grid->setProperty("index", int(m_smCell.size()));
        m_sstCell->addTab(grid, QString::number(m_smCell.size() + 1));
        m_smCell.append(grid);
    }
    return m_smCell.at(index)->Items();
}

QList<PropertyItems*> frmMoveBts::cellGridItems() const
{
    QList<PropertyItems*> grids;
    for (PropertyGrid* grid : m_smCell)
        grids.append(&grid->Items());
    return grids;
}

void frmMoveBts::clearLoadedPages()
{
    m_state.clearLoaded();
    m_smBtsNew->Items().ClearItems();
    m_smLine->Items().ClearItems();
    while (!m_smCell.isEmpty()) {
        PropertyGrid* grid = m_smCell.takeLast();
        m_sstCell->removeTab(m_sstCell->indexOf(grid));
        delete grid;
    }
    if (SheetService* sheets = mdlPubVar::instance().SheetService())
        sheets->ClearSheet(m_fbModify, true);
}

void frmMoveBts::showBts(const QString& net, const QMap<QString, AttrTable>& attrMap, bool simpleMode)
{
    // The arguments are kept before anything else touches the window.
    m_state.net = net;
    m_state.attrMap = attrMap;
    m_state.simpleMode = simpleMode;
    if (net.isEmpty())
        return;
    BusyCursor busy;
    // A wizard already open starts over for the new BTS: nothing of the earlier one (its
    // values, summary or cells) can reach a commit.
    clearLoadedPages();
    goToPage(0);
    QString caption;
    QString btsNumber;
    if (!BtsPage::build(m_state, m_smBtsNew->Items(), &caption, &btsNumber))
        return;
    m_state.pageBuilt = true;
    syncPage();
    setWindowTitle(caption);
    if (m_state.simpleMode)
        CellLoader::viewCell(
            m_state, m_state.cityCode, btsNumber, [this](int index) -> PropertyItems& { return cellGrid(index); },
            m_smLine->Items());
    if (!m_smCell.isEmpty())
        m_sstCell->setCurrentIndex(0);
}

void frmMoveBts::cmdNextClick()
{
    if (currentPage() != 0 || !m_state.pageBuilt)
        return;
    // The record needs the city and base number the page shows, whenever the grid last
    // told of an edit.
    GridHandlers::recordCityAndBaseNum(m_state, m_smBtsNew->Items(), cellGridItems());
    if (!BtsSave::saveBtsData(m_state, m_smBtsNew->Items(), *this))
        return;
    goToPage(LastPage);
    ChangeSummary::showModify(m_state, m_fbModify);
    syncPage();
}

void frmMoveBts::cmdPrevClick()
{
    if (currentPage() != LastPage)
        return;
    goToPage(0);
}

void frmMoveBts::cmdOkClick()
{
    if (currentPage() != LastPage)
        return;
    commit();
}

void frmMoveBts::cmdCancelClick()
{
    close();
}

void frmMoveBts::showMessage(const QString& text, Icon icon)
{
    m_shown.append(text);
    if (m_presenter) {
        m_presenter(text, icon);
        return;
    }
    QMessageBox box(icon == Icon::Information ? QMessageBox::Information : QMessageBox::NoIcon, windowTitle(), text,
                    QMessageBox::Ok, this);
    box.exec();
}

bool frmMoveBts::askRetry(const QString& text, const QString& details)
{
    m_shown.append(text);
    if (m_retryPresenter)
        return m_retryPresenter(text, details);
    QMessageBox box(QMessageBox::Warning, windowTitle(), text, QMessageBox::Retry | QMessageBox::Cancel, this);
    box.setDefaultButton(QMessageBox::Retry);
    box.setDetailedText(details);
    return box.exec() == QMessageBox::Retry;
}

bool frmMoveBts::commit()
{
    // Nothing was loaded for a BTS: there is nothing to write and no record to keep.
    if (!m_state.pageBuilt || !mdlPubVar::instance().DataService())
        return false;
    for (;;) {
        Attempt attempt;
        {
            // The busy pointer covers the work, waiting for another user's lock included,
            // and is gone before the user is told anything.
            BusyCursor busy;
            attempt = attemptCommit();
        }
        switch (attempt.result) {
        case Attempt::Result::Done:
            break;
        case Attempt::Result::Busy:
            if (askRetry(BusyMessage, attempt.details))
                continue;
            return false;
        case Attempt::Result::RecordFailed:
            showMessage(RecordFailedMessage);
            return false;
        case Attempt::Result::Refused:
        case Attempt::Result::Failed:
            if (!attempt.message.isEmpty())
                showMessage(attempt.message);
            return false;
        }
        break;
    }
    showMessage(SuccessMessage, Icon::Information);
    if (auto* main = qobject_cast<frmMain*>(mdlPubVar::instance().form(QStringLiteral("frmMain"))))
        main->hideBts();
    close();
    return true;
}

frmMoveBts::Attempt frmMoveBts::attemptCommit()
{
    auto& pubVar = mdlPubVar::instance();
    DataService* dataService = pubVar.DataService();
    const QString db = QLatin1String(SystemDatabase);
    TransactionService* transactions = pubVar.TransactionService();
    // The four steps are one transaction where the host offers one: any failure undoes
    // them all, and the database is as it was before Commit.
    const bool atomic = transactions != nullptr;
    const auto failure = [&](Attempt::Result result = Attempt::Result::Failed) {
        Attempt attempt;
        attempt.details = dataService->LastError();
        // Only work undone as a whole may simply be tried again.
        attempt.result = atomic && dataService->LastErrorIsBusy() ? Attempt::Result::Busy : result;
        // Without a transaction a failed step says nothing, as it always did.
        if (atomic && attempt.result == Attempt::Result::Failed)
            attempt.message = CommitUndoneMessage +
                              (attempt.details.isEmpty() ? QString() : NewLine + attempt.details);
        return attempt;
    };
    // Without its transaction the commit could be left half done: it does not start.
    if (atomic && !transactions->BeginTrans(db))
        return failure();
    const auto undo = [&](Attempt attempt) {
        if (atomic)
            transactions->RollbackTrans(db);
        return attempt;
    };
    if (atomic) {
        // Another user may have filled the target room, or moved this BTS, since Next;
        // the lock the transaction holds keeps the answer true until Commit ends.
        const Attempt refusal = staleChange();
        if (refusal.result != Attempt::Result::Done)
            return undo(refusal);
    }
    if (!saveBtsDataInDB() || !CommitSteps::delCellDataFromDB(m_state) ||
        !CommitSteps::delLineDataFromDB(m_state, m_smLine->Items()))
        return undo(failure());
    if (!RelocationRecord::saveModifyLog(m_state, m_fbModify))
        return undo(failure(Attempt::Result::RecordFailed));
    if (atomic && !transactions->CommitTrans(db))
        return failure();
    return Attempt{Attempt::Result::Done, {}, {}};
}

bool frmMoveBts::saveBtsDataInDB()
{
    DataService* dataService = mdlPubVar::instance().DataService();
    const QStringList statements = BtsSave::updateStatements(m_state);
    // A network without tables has nothing to write, which is a failure, not a success.
    if (!dataService || statements.isEmpty())
        return false;
    // Each statement runs only after the one before it succeeded.
    for (const QString& statement : statements)
        if (!dataService->ExecuteSql(QLatin1String(SystemDatabase), statement))
            return false;
    return true;
}

frmMoveBts::Attempt frmMoveBts::staleChange()
{
    DataService* dataService = mdlPubVar::instance().DataService();
    const QString n = m_state.n();
    const auto refused = [](const QString& message) { return Attempt{Attempt::Result::Refused, message, {}}; };
    if (n.isEmpty())
        return refused(StaleBtsMessage);
    // A query that fails is the database's failure, not a sign that someone else was here.
    bool failed = false;
    const auto firstText = [&](const QString& sql) {
        auto rs = dataService->OpenRecordset(sql, QLatin1String(SystemDatabase), 0);
        failed = failed || !rs;
        if (!rs || rs->RecordCount() <= 0)
            return std::optional<QString>();
        rs->MoveFirst();
        return std::optional<QString>(rs->Text(0).trimmed());
    };
    const auto databaseFailure = [&] {
        const QString reason = dataService->LastError();
        return Attempt{dataService->LastErrorIsBusy() ? Attempt::Result::Busy : Attempt::Result::Failed,
                       CommitUndoneMessage + (reason.isEmpty() ? QString() : NewLine + reason), reason};
    };
    if (m_state.movesRoom()) {
        const auto target = firstText(FieldRules::roomCheckStatement(m_state.net, m_state.newRoomCode));
        if (failed)
            return databaseFailure();
        if (target && !target->isEmpty())
            return refused(FieldRules::roomTakenMessage(m_state));
    }
    // The BTS must still stand where the wizard found it: its room holds its number, as
    // stored (a number the host shows in its own format never matches its display text).
    if (!m_state.oldRoomCode.isEmpty()) {
        const auto number = firstText(QStringLiteral("select basenum from res_") + n +
                                      QStringLiteral("bts where basecode='") + sqlText(m_state.btsCode) +
                                      QLatin1Char('\''));
        const auto room = failed ? std::nullopt : firstText(FieldRules::roomCheckStatement(m_state.net, m_state.oldRoomCode));
        if (failed)
            return databaseFailure();
        if (!number || !room || *number != *room)
            return refused(StaleBtsMessage);
    }
    return Attempt{Attempt::Result::Done, {}, {}};
}

} // namespace corvan
