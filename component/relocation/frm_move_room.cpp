// SPDX-License-Identifier: MIT
#include "relocation/frm_move_room.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "core/context/field_names.h"
#include "core/context/mdl_pub_var.h"
#include "core/relocation/move_bts_state.h"
#include "core/relocation/relocation_session.h"
#include "core/room_move/room_move.h"
#include "corvan/controls/focus_frame.h"
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

const QString frmMoveRoom::Caption = QStringLiteral("整机房搬迁");
const QString frmMoveRoom::DiscardQuestion =
    QStringLiteral("“%1”中的修改还没有完成。关闭窗口并放弃这些修改吗？");

namespace {
constexpr int NetRole = Qt::UserRole;
const QString& RoomKey = FieldName::BelongRoom;
const QString RoomButton = QStringLiteral("选择目标机房(F4)…");
const QString RoomButtonTip = QStringLiteral("按名称或编号查找目标机房，列出勾选的每个基站都能放入的机房");
const QString ButtonTips[4] = {QStringLiteral("回到上一页（Alt+←）"), QStringLiteral("下一页（Ctrl+Enter）"),
                               QStringLiteral("写入这次整机房搬迁（Ctrl+Enter）"),
                               QStringLiteral("关闭窗口，不写入任何修改（Esc）")};
} // namespace

frmMoveRoom::frmMoveRoom(mdlPubVar& context, const QString& roomName, const QMap<QString, AttrTable>& tables,
                         QWidget* parent)
    : QWidget(parent, Qt::Window), m_context(context), m_ownPrompt(std::make_unique<WindowPrompt>(this)),
      m_prompt(context.prompt() ? *context.prompt() : *m_ownPrompt)
{
    setObjectName(QStringLiteral("frmMoveRoom"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(roomName + Caption);

    QMap<QString, PropertyItems*> pages;
    buildPages(tables, pages);
    buildButtons();
    m_move = new RoomMove(m_context, m_smRoomNew->Items(), pages, m_prompt, this);
    m_move->start(tables);
    listBts();
    wire();
    goToPage(0);
}

// The three pages: which BTSs go and where to; one grid per BTS for what is still open,
// whose items the room move fills (pages); the summary.
void frmMoveRoom::buildPages(const QMap<QString, AttrTable>& tables, QMap<QString, PropertyItems*>& pages)
{
    m_sstBts = new QTabWidget();
    m_sstBts->setObjectName(QStringLiteral("sstBts"));
    for (const QString& net : tables.keys()) {
        auto* grid = new PropertyGrid();
        grid->setObjectName(QStringLiteral("smBts") + net);
        m_grids.insert(net, grid);
        pages.insert(net, &grid->Items());
    }
    m_fbRoomModify = new Sheet();
    m_fbRoomModify->setObjectName(QStringLiteral("fbRoomModify"));
    SummarySheet::prepare(m_context.SheetService(), m_fbRoomModify);

    m_pages = new QStackedWidget(this);
    m_pages->addWidget(buildFirstPage());
    m_pages->addWidget(m_sstBts);
    m_pages->addWidget(m_fbRoomModify);
}

// The first page: which BTSs go, and where to.
QWidget* frmMoveRoom::buildFirstPage()
{
    auto* first = new QWidget();
    auto* firstLayout = new QVBoxLayout(first);
    firstLayout->addWidget(new QLabel(QStringLiteral("机房中的基站（勾选要搬迁的基站）："), first));
    m_smRoomBts = new QTreeWidget(first);
    m_smRoomBts->setObjectName(QStringLiteral("smRoomBts"));
    m_smRoomBts->setHeaderLabels(
        {QStringLiteral("基站"), QStringLiteral("基站编号"), QStringLiteral("小区数")});
    m_smRoomBts->setRootIsDecorated(false);
    m_smRoomBts->setAllColumnsShowFocus(true);
    m_smRoomBts->setItemDelegate(new FocusFrameDelegate(m_smRoomBts));
    firstLayout->addWidget(m_smRoomBts);
    firstLayout->addWidget(new QLabel(QStringLiteral("目标机房和各基站共同的属性："), first));
    m_smRoomNew = new PropertyGrid(first);
    m_smRoomNew->setObjectName(QStringLiteral("smRoomNew"));
    firstLayout->addWidget(m_smRoomNew, 1);
    m_cmdRoom = new QPushButton(RoomButton, first);
    m_cmdRoom->setObjectName(QStringLiteral("cmdRoom"));
    m_cmdRoom->setToolTip(RoomButtonTip);
    auto* roomRow = new QHBoxLayout();
    roomRow->addStretch(1);
    roomRow->addWidget(m_cmdRoom);
    firstLayout->addLayout(roomRow);
    return first;
}

void frmMoveRoom::buildButtons()
{
    m_cmdPrev = new QPushButton(QStringLiteral("上一步"), this);
    m_cmdPrev->setObjectName(QStringLiteral("cmdPrev"));
    m_cmdNext = new QPushButton(QStringLiteral("下一步"), this);
    m_cmdNext->setObjectName(QStringLiteral("cmdNext"));
    m_cmdOk = new QPushButton(QStringLiteral("完成搬迁"), this);
    m_cmdOk->setObjectName(QStringLiteral("cmdOk"));
    m_cmdCancel = new QPushButton(QStringLiteral("取消"), this);
    m_cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    auto* buttons = new QHBoxLayout();
    buttons->addStretch(1);
    int tip = 0;
    for (QPushButton* button : {m_cmdPrev, m_cmdNext, m_cmdOk, m_cmdCancel}) {
        // Enter on a focused button presses it, as in any dialog.
        button->setAutoDefault(true);
        button->setToolTip(ButtonTips[tip++]);
        buttons->addWidget(button);
    }
    m_cmdRoom->setAutoDefault(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pages, 1);
    layout->addLayout(buttons);
    resize(860, 620);
}

// One line per BTS of the room, ticked, and one tab of what it still needs.
void frmMoveRoom::listBts()
{
    for (const QString& net : m_move->networks()) {
        const MoveBtsState& state = m_move->session(net).state();
        auto* item = new QTreeWidgetItem(m_smRoomBts);
        item->setText(0, m_move->label(net));
        item->setText(1, state.fields.shownOf(FieldName::BaseNum));
        item->setText(2, QString::number(state.cellCount));
        item->setData(0, NetRole, net);
        item->setCheckState(0, Qt::Checked);
        m_sstBts->addTab(m_grids.value(net), m_move->label(net));
    }
    m_smRoomBts->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    if (m_smRoomBts->topLevelItemCount() > 0)
        m_smRoomBts->setCurrentItem(m_smRoomBts->topLevelItem(0));
    m_cmdRoom->setEnabled(m_smRoomNew->Items().HasItem(RoomKey));
    m_smRoomBts->setFocus();
}

void frmMoveRoom::wire()
{
    connect(m_smRoomBts, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item) {
        m_move->setChosen(item->data(0, NetRole).toString(), item->checkState(0) == Qt::Checked);
        m_edited = true;
    });
    connect(m_smRoomNew, &PropertyGrid::ItemValueChanged, m_move, &RoomMove::sharedValueChanged);
    connect(m_smRoomNew, &PropertyGrid::GridEdited, this, [this] { m_edited = true; });
    // The room row's editor is the picker, as in the wizard: typing on the row starts its search.
    m_smRoomNew->setChooser([this](PropertyItem* item, const QString& typed) {
        if (item->Key() != RoomKey || item->Children().ItemCount() == 0)
            return false;
        pickRoom(typed);
        return true;
    });
    connect(m_cmdRoom, &QPushButton::clicked, this, [this] { pickRoom(); });
    for (const QString& net : m_move->networks()) {
        RelocationSession* session = &m_move->session(net);
        connect(m_grids.value(net), &PropertyGrid::ItemValueChanged, session,
                &RelocationSession::valueChanged);
        connect(m_grids.value(net), &PropertyGrid::GridEdited, session, &RelocationSession::edited);
        connect(m_grids.value(net), &PropertyGrid::GridEdited, this, [this] { m_edited = true; });
    }
    connect(m_move, &RoomMove::moved, this, [this] {
        emit moved();
        close();
    });
    connect(m_cmdPrev, &QPushButton::clicked, this, &frmMoveRoom::cmdPrevClick);
    connect(m_cmdNext, &QPushButton::clicked, this, &frmMoveRoom::cmdNextClick);
    connect(m_cmdOk, &QPushButton::clicked, this, &frmMoveRoom::cmdOkClick);
    connect(m_cmdCancel, &QPushButton::clicked, this, &frmMoveRoom::cmdCancelClick);
    // Shortcuts of the window, not keys it waits for: a focused button would take Enter as
    // its own click and the arrow keys as a move of the focus.
    const auto forward = [this] {
        if (currentPage() == LastPage)
            m_cmdOk->click();
        else if (m_cmdNext->isEnabled())
            m_cmdNext->click();
    };
    for (const QKeySequence& keys :
         {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)})
        connect(new QShortcut(keys, this), &QShortcut::activated, this, forward);
    connect(new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Left), this), &QShortcut::activated, this, [this] {
        if (m_cmdPrev->isEnabled())
            m_cmdPrev->click();
    });
}

frmMoveRoom::~frmMoveRoom() = default;

int frmMoveRoom::currentPage() const
{
    return m_pages->currentIndex();
}

QTreeWidgetItem* frmMoveRoom::btsItem(const QString& net) const
{
    for (int i = 0; i < m_smRoomBts->topLevelItemCount(); ++i)
        if (m_smRoomBts->topLevelItem(i)->data(0, NetRole).toString() == net)
            return m_smRoomBts->topLevelItem(i);
    return nullptr;
}

void frmMoveRoom::goToPage(int page)
{
    m_pages->setCurrentIndex(page);
    const bool last = page == LastPage;
    m_cmdPrev->setEnabled(page > 0);
    m_cmdNext->setVisible(!last);
    m_cmdNext->setEnabled(!last && !m_move->networks().isEmpty());
    m_cmdOk->setVisible(last);
    (last ? m_cmdOk : m_cmdNext)->setDefault(true);
    // Only the chosen BTSs' grids are on the second page.
    for (const QString& net : m_move->networks())
        m_sstBts->setTabVisible(m_sstBts->indexOf(m_grids.value(net)), m_move->isChosen(net));
}

void frmMoveRoom::cmdNextClick()
{
    if (currentPage() == 0 && m_move->share()) {
        goToPage(1);
        if (QWidget* grid = m_sstBts->currentWidget())
            grid->setFocus();
    } else if (currentPage() == 1 && m_move->check()) {
        SummarySheet::paint(m_context.SheetService(), m_fbRoomModify, m_move->summary());
        goToPage(LastPage);
        // The next step is the commit, or back: never Cancel by accident.
        m_cmdOk->setFocus();
    }
}

void frmMoveRoom::cmdPrevClick()
{
    if (currentPage() > 0)
        goToPage(currentPage() - 1);
    QWidget* page = currentPage() == 0 ? m_smRoomNew : m_sstBts->currentWidget();
    if (page)
        page->setFocus();
}

bool frmMoveRoom::cmdOkClick()
{
    return currentPage() == LastPage && m_move->commit();
}

void frmMoveRoom::cmdCancelClick()
{
    if (m_edited && !m_prompt.ask(DiscardQuestion.arg(windowTitle())))
        return;
    close();
}

void frmMoveRoom::pickRoom(const QString& typed)
{
    PropertyItems& grid = m_smRoomNew->Items();
    if (currentPage() != 0 || !grid.HasItem(RoomKey))
        return;
    PropertyItem* row = grid.GetItem(RoomKey);
    if (row->Type() != ITEM_EDIT || row->Children().ItemCount() == 0)
        return;
    RoomPickerDialog* picker = nullptr;
    {
        BusyCursor busy;
        RoomPicker rooms = m_move->picker();
        if (rooms.rooms().isEmpty()) {
            // No BTS ticked: no room could be told free or taken.
            m_prompt.showMessage(RoomMove::NothingChosen);
            return;
        }
        picker = new RoomPickerDialog(std::move(rooms), variantText(row->Value()), typed, this);
    }
    picker->setAttribute(Qt::WA_DeleteOnClose);
    // Back to this window whichever way the picker closes, where the window system would not.
    connect(picker, &QDialog::finished, this, [this] { activateWindow(); });
    connect(picker, &QDialog::accepted, this, [this, picker] {
        m_move->chooseRoom(picker->chosen());
        m_edited = true;
        m_smRoomNew->setFocus();
    });
    picker->open();
}

void frmMoveRoom::keyPressEvent(QKeyEvent* event)
{
    // Keys no control of the page took, as in the wizard: Escape is Cancel, F4 opens the
    // room picker. (Ctrl+Enter and Alt+Left are shortcuts.)
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        cmdCancelClick();
    } else if (event->key() == Qt::Key_F4 && event->modifiers() == Qt::NoModifier) {
        if (m_cmdRoom->isEnabled())
            pickRoom();
    } else {
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void frmMoveRoom::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_placed) {
        m_placed = true;
        centreOnMainWindow();
    }
}

// Over the main window it was opened from, and wholly on a screen.
void frmMoveRoom::centreOnMainWindow()
{
    QWidget* main = m_mainWindow.data();
    if (main && main->isVisible()) {
        QRect frame = frameGeometry();
        frame.moveCenter(main->frameGeometry().center());
        QWidget::move(frame.topLeft());
    }
    WindowMemory::fitOnScreen(this);
}

} // namespace corvan
