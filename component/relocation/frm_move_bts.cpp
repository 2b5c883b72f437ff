// SPDX-License-Identifier: MIT
#include "relocation/frm_move_bts.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "core/context/field_names.h"
#include "core/context/mdl_pub_var.h"
#include "core/relocation/change_summary.h"
#include "core/relocation/grid_handlers.h"
#include "core/relocation/relocation_session.h"
#include "core/room_move/room_picker.h"
#include "corvan/controls/property_grid.h"
#include "corvan/controls/property_item.h"
#include "corvan/controls/sheet.h"
#include "corvan/record_set.h"
#include "relocation/room_picker_dialog.h"
#include "ui/busy_cursor.h"
#include "ui/summary_sheet.h"
#include "ui/window_memory.h"
#include "ui/window_prompt.h"

namespace corvan {

const QString frmMoveBts::Caption = QStringLiteral("基站调整");
const QString frmMoveBts::DiscardQuestion =
    QStringLiteral("“%1”中的修改还没有完成。放弃这些修改，改为调整新选择的基站吗？");
const QString frmMoveBts::CloseQuestion =
    QStringLiteral("“%1”中的修改还没有完成。放弃这些修改并关闭向导吗？");

namespace {

const QString StepCaptions[3] = {QStringLiteral("基站属性修改"), QStringLiteral("小区天馈线参数"),
                                 QStringLiteral("完成基站调整")};
const QString StepKeys[3] = {QStringLiteral("k1"), QStringLiteral("k2"), QStringLiteral("k3")};
const QString& RoomKey = FieldName::BelongRoom;
const QString RoomButton = QStringLiteral("选择目标机房(F4)…");
const QString RoomButtonTip =
    QStringLiteral("按名称或编号查找目标机房；在“所属机房”一行直接输入文字也可查找");
const QString ButtonTips[3] = {QStringLiteral("回到基站属性（Alt+←）"),
                               QStringLiteral("检查修改并查看调整内容（Ctrl+Enter）"),
                               QStringLiteral("写入这次调整（Ctrl+Enter）")};

} // namespace

frmMoveBts::frmMoveBts(mdlPubVar& context, QWidget* parent)
    : QWidget(parent, Qt::Window), m_context(context), m_ownPrompt(std::make_unique<WindowPrompt>(this)),
      m_prompt(context.prompt() ? *context.prompt() : *m_ownPrompt)
{
    setObjectName(QStringLiteral("frmMoveBts"));
    setAttribute(Qt::WA_DeleteOnClose);
    setUp();
}

frmMoveBts::~frmMoveBts() = default;

const MoveBtsState& frmMoveBts::state() const
{
    return m_session->state();
}

void frmMoveBts::setUp()
{
    setWindowTitle(Caption);
    m_smMoveTask = new PropertyGrid(this);
    m_smMoveTask->setObjectName(QStringLiteral("smMoveTask"));
    m_smMoveTask->setFixedWidth(180);
    // The steps only show where the user is; the keyboard goes to the page itself.
    m_smMoveTask->setFocusPolicy(Qt::NoFocus);
    for (QWidget* inner : m_smMoveTask->findChildren<QWidget*>())
        inner->setFocusPolicy(Qt::NoFocus);

    m_sstMain = new QTabWidget(this);
    m_sstMain->setObjectName(QStringLiteral("sstMain"));
    m_sstMain->addTab(buildBtsPage(), StepCaptions[0]);
    m_sstMain->addTab(buildCellPage(), StepCaptions[1]);
    m_sstMain->addTab(buildFinishPage(), StepCaptions[2]);
    m_sstMain->setTabVisible(1, false);
    m_sstMain->setTabEnabled(1, false);
    // The tabs follow the buttons; the keyboard has nothing to do on them.
    m_sstMain->tabBar()->setFocusPolicy(Qt::NoFocus);

    buildButtons();
    layOut();
    WindowMemory::attach(this, {}, false);
    wire();
    prepareFinishSheet();
    buildSteps();
}

QWidget* frmMoveBts::buildBtsPage()
{
    auto* fraBtsNew = new QWidget();
    fraBtsNew->setObjectName(QStringLiteral("fraBtsNew"));
    auto* btsLayout = new QVBoxLayout(fraBtsNew);
    m_smBtsNew = new PropertyGrid(fraBtsNew);
    m_smBtsNew->setObjectName(QStringLiteral("smBtsNew"));
    btsLayout->addWidget(m_smBtsNew);
    m_cmdRoom = new QPushButton(RoomButton, fraBtsNew);
    m_cmdRoom->setObjectName(QStringLiteral("cmdRoom"));
    m_cmdRoom->setToolTip(RoomButtonTip);
    m_cmdRoom->setAutoDefault(true);
    auto* roomRow = new QHBoxLayout();
    roomRow->addStretch(1);
    roomRow->addWidget(m_cmdRoom);
    btsLayout->addLayout(roomRow);
    return fraBtsNew;
}

// The page the user never sees. The BTS's cells, antennas and feeders that the commit
// deletes are held by the session; the page keeps its frames and idle buttons.
QWidget* frmMoveBts::buildCellPage()
{
    auto* fraCell = new QWidget();
    fraCell->setObjectName(QStringLiteral("fraCell"));
    auto* cellLayout = new QVBoxLayout(fraCell);
    auto* sstCell = new QTabWidget(fraCell);
    sstCell->setObjectName(QStringLiteral("sstCell"));
    cellLayout->addWidget(sstCell);
    auto* fraLine = new QWidget(fraCell);
    fraLine->setObjectName(QStringLiteral("fraLine"));
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
    return fraCell;
}

QWidget* frmMoveBts::buildFinishPage()
{
    auto* fraFinish = new QWidget();
    fraFinish->setObjectName(QStringLiteral("fraFinish"));
    auto* finishLayout = new QVBoxLayout(fraFinish);
    m_fbModify = new Sheet(fraFinish);
    m_fbModify->setObjectName(QStringLiteral("fbModify"));
    finishLayout->addWidget(m_fbModify);
    return fraFinish;
}

void frmMoveBts::buildButtons()
{
    m_cmdPrev = new QPushButton(QStringLiteral("上一步"), this);
    m_cmdPrev->setObjectName(QStringLiteral("cmdPrev"));
    m_cmdNext = new QPushButton(QStringLiteral("下一步"), this);
    m_cmdNext->setObjectName(QStringLiteral("cmdNext"));
    m_cmdOk = new QPushButton(QStringLiteral("完成搬迁"), this);
    m_cmdOk->setObjectName(QStringLiteral("cmdOk"));
    m_cmdOk->setVisible(false);
    m_cmdCancel = new QPushButton(QStringLiteral("取消"), this);
    m_cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    m_cmdCancel->setToolTip(QStringLiteral("关闭向导，不写入任何修改（Esc）"));
    // Enter on a focused button presses it, as in any dialog.
    for (QPushButton* button : {m_cmdPrev, m_cmdNext, m_cmdOk, m_cmdCancel})
        button->setAutoDefault(true);
    m_cmdPrev->setToolTip(ButtonTips[0]);
    m_cmdNext->setToolTip(ButtonTips[1]);
    m_cmdOk->setToolTip(ButtonTips[2]);
}

void frmMoveBts::layOut()
{
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
    setTabOrder(m_smBtsNew, m_cmdRoom);
    setTabOrder(m_cmdRoom, m_fbModify);
    setTabOrder(m_fbModify, m_cmdPrev);
    setTabOrder(m_cmdPrev, m_cmdNext);
    setTabOrder(m_cmdNext, m_cmdOk);
    setTabOrder(m_cmdOk, m_cmdCancel);
}

void frmMoveBts::wire()
{
    connect(m_cmdPrev, &QPushButton::clicked, this, &frmMoveBts::cmdPrevClick);
    connect(m_cmdNext, &QPushButton::clicked, this, &frmMoveBts::cmdNextClick);
    connect(m_cmdOk, &QPushButton::clicked, this, &frmMoveBts::cmdOkClick);
    connect(m_cmdCancel, &QPushButton::clicked, this, &frmMoveBts::cmdCancelClick);
    connect(m_sstMain, &QTabWidget::tabBarClicked, this, [this] { syncPage(); });
    // A shortcut of the window, not a key it waits for: on a focused button the arrow keys
    // move the focus and never reach the window.
    connect(new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Left), this), &QShortcut::activated, this, [this] {
        if (m_cmdPrev->isEnabled())
            m_cmdPrev->click();
    });

    m_session = new RelocationSession(m_context, m_smBtsNew->Items(), m_prompt, this);
    connect(m_session, &RelocationSession::relocated, this, [this] {
        emit relocated();
        close();
    });
    connect(m_smBtsNew, &PropertyGrid::ItemValueChanged, m_session, &RelocationSession::valueChanged);
    connect(m_smBtsNew, &PropertyGrid::GridEdited, m_session, &RelocationSession::edited);
    connect(m_smBtsNew, &PropertyGrid::GridEdited, this, [this] { m_edited = true; });
    connect(m_cmdRoom, &QPushButton::clicked, this, [this] { pickRoom(); });
    m_smBtsNew->setChooser([this](PropertyItem* item, const QString& typed) {
        if (item->Key() != RoomKey || item->Children().ItemCount() == 0)
            return false;
        pickRoom(typed);
        return true;
    });
    connect(m_smBtsNew, &PropertyGrid::GridMouseDown, this, [this](int button, int, float x, float y) {
        m_smBtsNew->setFocus();
        GridHandlers::rightClickSelect(m_smBtsNew->Items(), button, x, y);
    });
    connect(m_smBtsNew, &PropertyGrid::GridMouseUp, this, [this](int button, int, float x, float y) {
        GridHandlers::popup(m_smBtsNew->Items(), button, x, y);
    });
    connect(m_smBtsNew, &PropertyGrid::ItemChosen, m_session, &RelocationSession::popupChosen);
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
    SummarySheet::prepare(m_context.SheetService(), m_fbModify);
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
    m_cmdNext->setEnabled(!last && m_session->ready());
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

void frmMoveBts::paintSummary()
{
    SummarySheet::paint(m_context.SheetService(), m_fbModify, m_session->summary(),
                        ChangeSummary::deletionTotals(m_session->summary()));
}

void frmMoveBts::showBts(const QString& net, const QMap<QString, AttrTable>& attrMap, bool simpleMode)
{
    // Another BTS would replace what the user typed for this one: ask first.
    if (!net.isEmpty() && isVisible() && m_edited) {
        const QString question = DiscardQuestion.arg(windowTitle());
        if (!m_prompt.ask(question))
            return;
    }
    if (!net.isEmpty()) {
        // A wizard already open starts over for the new BTS, on its first page, with no
        // summary of the earlier one.
        if (SheetService* sheets = m_context.SheetService())
            sheets->ClearSheet(m_fbModify, true);
        goToPage(0);
    }
    if (m_session->start(net, attrMap, simpleMode))
        setWindowTitle(m_session->caption());
    m_edited = false;
    syncPage();
    m_cmdRoom->setEnabled(m_session->ready() && m_smBtsNew->Items().HasItem(RoomKey) &&
                          m_smBtsNew->Items().GetItem(RoomKey)->Type() == ITEM_EDIT);
    m_smBtsNew->setFocus();
}

void frmMoveBts::pickRoom(const QString& typed)
{
    PropertyItems& grid = m_smBtsNew->Items();
    if (!m_session->ready() || currentPage() != 0 || !grid.HasItem(RoomKey))
        return;
    PropertyItem* row = grid.GetItem(RoomKey);
    if (row->Type() != ITEM_EDIT)
        return;
    RoomPickerDialog* picker = nullptr;
    auto rooms = std::make_shared<RoomPicker>();
    {
        // A city of twenty thousand rooms takes a moment to sort and list.
        BusyCursor busy;
        rooms->load(m_context, state(), grid);
        picker = new RoomPickerDialog(*rooms, variantText(row->Value()), typed, this);
    }
    // A room the page's city cannot take is refused in the picker, where the user sees why.
    picker->setCheck(
        [this, rooms](int room) { return rooms->choose(state(), m_smBtsNew->Items(), room).refusal; });
    picker->setAttribute(Qt::WA_DeleteOnClose);
    connect(picker, &QDialog::accepted, this, [this, picker, rooms] {
        PropertyItems& items = m_smBtsNew->Items();
        const RoomPicker::Choice choice = rooms->choose(state(), items, picker->chosenIndex());
        // The city first: its rooms become the row's options, the chosen one among them.
        if (!choice.city.isEmpty() && items.HasItem(FieldName::City))
            m_smBtsNew->editValue(items.GetItem(FieldName::City), choice.city);
        if (choice.refusal.isEmpty() && items.HasItem(RoomKey))
            m_smBtsNew->editValue(items.GetItem(RoomKey), choice.room);
        m_smBtsNew->setFocus();
    });
    picker->open();
}

bool frmMoveBts::mayClose()
{
    return !m_edited || m_prompt.ask(CloseQuestion.arg(windowTitle()));
}

void frmMoveBts::keyPressEvent(QKeyEvent* event)
{
    // Keys no control of the page took: Escape leaves as Cancel does (asking first when
    // the page was edited), F4 opens the room picker, Ctrl+Enter presses the page's default
    // button. (Alt+Left is a shortcut.)
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        // A key pressed by mistake must not throw away what the user typed.
        if (mayClose())
            cmdCancelClick();
    } else if (event->key() == Qt::Key_F4 && event->modifiers() == Qt::NoModifier) {
        if (m_cmdRoom->isEnabled())
            pickRoom();
    } else if (enter && (event->modifiers() & Qt::ControlModifier)) {
        if (currentPage() == LastPage)
            m_cmdOk->click();
        else if (m_cmdNext->isEnabled())
            m_cmdNext->click();
    } else {
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void frmMoveBts::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_placed) {
        m_placed = true;
        centreOnMainWindow();
    }
}

void frmMoveBts::centreOnMainWindow()
{
    QWidget* main = m_mainWindow.data();
    if (main && main->isVisible()) {
        QRect frame = frameGeometry();
        frame.moveCenter(main->frameGeometry().center());
        move(frame.topLeft());
    }
    WindowMemory::fitOnScreen(this);
}

void frmMoveBts::cmdNextClick()
{
    if (currentPage() != 0)
        return;
    if (!m_session->next()) {
        // The user is taken to the field the refusal is about.
        if (PropertyItem* refused = m_smBtsNew->Items().GetItem(m_session->refusedField()))
            m_smBtsNew->setCurrentItem(refused);
        m_smBtsNew->setFocus();
        return;
    }
    goToPage(LastPage);
    paintSummary();
    syncPage();
    // The next step is the commit, or back: never Cancel by accident.
    m_cmdOk->setFocus();
}

void frmMoveBts::cmdPrevClick()
{
    if (currentPage() != LastPage)
        return;
    goToPage(0);
    m_smBtsNew->setFocus();
}

void frmMoveBts::cmdOkClick()
{
    if (currentPage() != LastPage)
        return;
    m_session->commit();
}

void frmMoveBts::cmdCancelClick()
{
    close();
}

} // namespace corvan
