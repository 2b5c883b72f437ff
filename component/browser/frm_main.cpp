// SPDX-License-Identifier: MIT
#include "browser/frm_main.h"

#include <QAction>
#include <QApplication>
#include <QDockWidget>
#include <QFrame>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>
#include <QVBoxLayout>

#include "browser/main_desk.h"
#include "core/context/connection_status.h"
#include "core/context/divisions.h"
#include "core/context/field_names.h"
#include "core/context/mdl_pub_var.h"
#include "core/context/resource_view.h"
#include "core/context/sql_literal.h"
#include "core/relocation/bts_property_layout.h"
#include "core/rooms/room_lookup.h"
#include "corvan/controls/sheet.h"
#include "ui/active_bar.h"
#include "ui/busy_cursor.h"

namespace corvan {

const QString frmMain::Caption = QStringLiteral("基站调整");
const QString frmMain::NoBtsMessage = QStringLiteral("当前没有可调整的基站，请重新选择！");

namespace {

const QString BtsUnread = QStringLiteral("未能读取这个机房的基站，请稍后重新选择机房。");
const QString UnreadAgain = QStringLiteral("连接恢复后请重新选择机房。");
const auto& Letters = NetworkLetters;
constexpr qint32 White = 0xFFFFFF;
// Red 181, green 235, blue 255 in the host's 0x00BBGGRR order.
constexpr qint32 EmphasisBackground = 0xFFEBB5;
constexpr int FontSize = 10;

int networkIndex(const QString& net)
{
    const QString upper = net.toUpper();
    for (int i = 0; i < 3; ++i)
        if (Letters[i] == upper)
            return i;
    return -1;
}

} // namespace

frmMain::frmMain(mdlPubVar& context, QWidget* parent) : QMainWindow(parent), m_context(context)
{
    setObjectName(QStringLiteral("frmMain"));
    setAttribute(Qt::WA_DeleteOnClose);
    // Load: an empty attrMap comes with the object.
    setWindowTitle(Caption);

    buildToolBar();
    dockRoomSearch();
    buildTabs();
    resize(1100, 720);

    prepareSheets();
    if (SheetService* sheets = m_context.SheetService()) {
        for (int i : {0, 1, 2})
            sheets->PrepareSheet(m_sheets[i]);
        for (int i : {0, 2, 1})
            sheets->PrepareSheetView(m_sheets[i]);
    }
    // Menus, status bar, empty-tab lines and the remembered layout, around the above.
    new MainDesk(*this, m_context);
}

void frmMain::buildToolBar()
{
    m_bar = new ActiveBar(QStringLiteral("atbMain"), this);
    auto* toolBar = new QToolBar(this);
    toolBar->setObjectName(QStringLiteral("tlbToolBar"));
    toolBar->setMovable(false);
    toolBar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    toolBar->addAction(m_bar->addTool(QStringLiteral("mnuDispatch"), QStringLiteral("基站调整"),
                                      QStringLiteral("调整当前显示的基站")));
    toolBar->addAction(m_bar->addTool(QStringLiteral("mnuHistory"), QStringLiteral("调整记录"),
                                      QStringLiteral("查看基站调整记录")));
    toolBar->addAction(m_bar->addTool(QStringLiteral("mnuExit"), QStringLiteral("    退   出   ")));
    // Defined on the bar but answered by nothing, so not offered to the user.
    m_bar->addTool(QStringLiteral("mnuExport"), QStringLiteral("   导   出 "))->setVisible(false);
    m_bar->addTool(QStringLiteral("mnuPrint"), QStringLiteral("   打   印   "))->setVisible(false);
    m_bar->addTool(QStringLiteral("mnuExecl"), QStringLiteral("导出"))->setVisible(false);
    toolBar->addAction(m_bar->addTool(QStringLiteral("mnuTrack"), QStringLiteral("调整轨迹"),
                                      QStringLiteral("查看当前基站和机房的调整轨迹")));
    toolBar->addAction(m_bar->addTool(QStringLiteral("mnuRoomMove"), QStringLiteral("整机房搬迁"),
                                      QStringLiteral("把当前机房的基站一起搬迁到另一个机房")));
    toolBar->addAction(m_bar->addTool(QStringLiteral("mnuPlan"), QStringLiteral("批量调整计划"),
                                      QStringLiteral("按计划文件一次检查并调整多个基站")));
    toolBar->addAction(m_bar->addTool(QStringLiteral("mnuPlanTemplate"), QStringLiteral("导出计划模板"),
                                      QStringLiteral("导出批量调整计划的模板工作簿")));
    toolBar->addAction(m_bar->addTool(QStringLiteral("mnuReview"), QStringLiteral("审核计划"),
                                      QStringLiteral("查看、审核和执行提交审核的调整计划")));
    m_bar->tool(QStringLiteral("mnuDispatch"))->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    m_bar->tool(QStringLiteral("mnuHistory"))->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    m_bar->tool(QStringLiteral("mnuTrack"))->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    m_bar->tool(QStringLiteral("mnuRoomMove"))->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    addToolBar(Qt::TopToolBarArea, toolBar);
    connect(m_bar, &ActiveBar::ToolClick, this, &frmMain::atbMainToolClick);
}

// The room search window loads with the main window, so it comes first in load order.
void frmMain::dockRoomSearch()
{
    m_tlbTree = new QDockWidget(this);
    m_tlbTree->setObjectName(QStringLiteral("tlbTree"));
    m_tlbTree->setFeatures(QDockWidget::DockWidgetMovable);
    m_frmTree = new QWidget(m_tlbTree);
    m_frmTree->setObjectName(QStringLiteral("frmTree"));
    auto* treeLayout = new QVBoxLayout(m_frmTree);
    treeLayout->setContentsMargins(0, 0, 0, 0);
    m_roomSearch = new frmQInBaseRoom(m_context);
    treeLayout->addWidget(m_roomSearch);
    m_tlbTree->setWidget(m_frmTree);
    addDockWidget(Qt::LeftDockWidgetArea, m_tlbTree);
    connect(m_roomSearch, &frmQInBaseRoom::roomChosen, this, &frmMain::showBts);
    connect(m_roomSearch, &frmQInBaseRoom::queried, this, &frmMain::followQuery);
}

// One tab per network, each a sheet in a frame.
void frmMain::buildTabs()
{
    auto* picBack = new QWidget(this);
    picBack->setObjectName(QStringLiteral("picBack"));
    auto* backLayout = new QVBoxLayout(picBack);
    backLayout->setContentsMargins(0, 0, 0, 0);
    m_sstMain = new QTabWidget(picBack);
    m_sstMain->setObjectName(QStringLiteral("sstMain"));
    backLayout->addWidget(m_sstMain);
    const QString frameNames[3] = {QStringLiteral("fraGbts"), QStringLiteral("fraCbts"),
                                   QStringLiteral("fraDbts")};
    const QString sheetNames[3] = {QStringLiteral("fbGbts"), QStringLiteral("fbCbts"),
                                   QStringLiteral("fbDbts")};
    for (int i = 0; i < 3; ++i) {
        m_frames[i] = new QFrame();
        m_frames[i]->setObjectName(frameNames[i]);
        m_frames[i]->setFrameShape(QFrame::NoFrame);
        auto* frameLayout = new QVBoxLayout(m_frames[i]);
        // 100 twips around the sheet.
        frameLayout->setContentsMargins(7, 7, 7, 7);
        m_sheets[i] = new Sheet(m_frames[i]);
        m_sheets[i]->setObjectName(sheetNames[i]);
        frameLayout->addWidget(m_sheets[i]);
        m_sstMain->addTab(m_frames[i], Letters[i] + QStringLiteral("BTS"));
    }
    setCentralWidget(picBack);
}

frmMain::~frmMain()
{
    // Unloading detaches the room search window from its pane; it stays loaded on its own.
    if (m_roomSearch && m_roomSearch->parent() == m_frmTree) {
        m_roomSearch->hide();
        m_roomSearch->setParent(nullptr);
    }
}

void frmMain::prepareSheets()
{
    if (SheetService* sheets = m_context.SheetService()) {
        for (Sheet* sheet : m_sheets)
            sheets->StyleRange(sheet, 1, 1, 5, 5, 0, White, -1, FontSize, -1);
        sheets->PrepareSheet(m_sheets[0]);
        sheets->PrepareSheetView(m_sheets[1]);
        sheets->PrepareSheetView(m_sheets[2]);
    }
    for (Sheet* sheet : m_sheets) {
        sheet->setMaxCol(3);
        sheet->setMaxRow(1);
        const int width = int(std::lround(1.5 * sheet->DefaultColWidth()));
        sheet->setColWidth(1, width);
        sheet->setColWidth(2, sheet->ColWidth(1));
        sheet->setColWidth(3, 2 * sheet->ColWidth(1));
        sheet->setColText(1, QStringLiteral("属性组"));
        sheet->setColText(2, QStringLiteral("属性名称"));
        sheet->setColText(3, QStringLiteral("属性值"));
    }
    m_sstMain->setCurrentIndex(0);
}

Sheet* frmMain::sheet(const QString& net) const
{
    const int i = networkIndex(net);
    return i < 0 ? nullptr : m_sheets[i];
}

void frmMain::hideBts()
{
    setWindowTitle(Caption);
    for (Sheet* sheet : m_sheets)
        sheet->setVisible(false);
}

void frmMain::showBts(const QString& cityId, const QString& roomName)
{
    m_sstMain->setVisible(true);
    const QString roomCode = RoomLookup::GetRoomCodeByName(m_context, cityId, roomName);
    m_cityId = cityId;
    m_roomCode = roomCode;
    m_roomName = roomName;
    auto rs = m_context.db().open(
        QStringLiteral("select net,basecode,basenum,city,county,belongroom from v_res_bts") +
        QStringLiteral(" where roomcode='") + sqlText(roomCode) + QStringLiteral("'"));
    // The room's caption shows, and the earlier room's sheets go, even when its BTSs
    // cannot be read; then the tabs say so rather than that the room has none.
    setProperty(MainDesk::UnreadProperty, rs ? QString()
                                          : m_context.db().lastErrorIsConnectionLost()
                                              ? ConnectionStatus::unread(m_context, UnreadAgain)
                                              : BtsUnread);
    hideBts();
    setWindowTitle(QStringLiteral("基站调整     当前基站:") + mdlPubFun::GetCityName(m_context, cityId) +
                   QStringLiteral("—") + roomName);
    if (!rs)
        return;
    if (rs->RecordCount() > 0) {
        rs->MoveFirst();
        for (int i = 0; i < rs->RecordCount(); ++i, rs->MoveNext()) {
            const QString net = rs->Text(QStringLiteral("net")).toUpper();
            // Rows of another network are not this window's; of two rows of one network
            // the later wins.
            if (Sheet* target = sheet(net))
                showBtsProperties(target, net.toLower(), rs->Text(QStringLiteral("city")),
                                  rs->Text(QStringLiteral("basecode")));
        }
    }
    m_sstMain->setCurrentIndex(0);
}

void frmMain::refreshBts()
{
    const int tab = m_sstMain->currentIndex();
    hideBts();
    if (m_roomName.isEmpty())
        return;
    showBts(m_cityId, m_roomName);
    m_sstMain->setCurrentIndex(tab);
}

void frmMain::followQuery()
{
    if (m_roomName.isEmpty())
        return;
    if (m_roomSearch->holdsRoom(m_cityId, m_roomName)) {
        m_roomSearch->selectRoom(m_cityId, m_roomName);
        return;
    }
    // The sheets showed a room the user no longer looks at: back to no room.
    m_cityId.clear();
    m_roomCode.clear();
    m_roomName.clear();
    setProperty(MainDesk::UnreadProperty, QString());
    hideBts();
}

void frmMain::showBtsProperties(Sheet* sheet, const QString& net, const QString& /*city*/,
                                const QString& code)
{
    SheetService* sheets = m_context.SheetService();
    if (!sheet || !sheets || networkIndex(net) < 0)
        return;
    BusyCursor busy;
    sheet->setVisible(true);
    sheet->clearSpans();
    sheet->clearRange(1, 1, sheet->MaxRow(), sheet->MaxCol());

    AttrTable table;
    if (!ResourceView::GetResourceData(
            m_context, QStringLiteral("v_res_") + net.toLower() + QStringLiteral("bts"), code, &table))
        return;
    m_attrMap.insert(net.toUpper(), table);

    sheet->setMaxRow(table.FieldCount());
    const BtsPropertyLayout layout = BtsPropertyLayout::of(table);
    for (int r = 1; r <= layout.rows.size(); ++r) {
        const auto& row = layout.rows.at(r - 1);
        sheet->setTextRC(r, 1, row.group);
        sheet->setTextRC(r, 2, row.caption);
        sheet->setTextRC(r, 3, row.value);
    }
    // A table without a shown field keeps its rows, empty.
    if (!layout.rows.isEmpty())
        sheet->setMaxRow(int(layout.rows.size()));
    for (const auto& group : layout.groups)
        sheets->AlignRange(sheet, group.first, 1, group.last, 1, true);
    for (int r : layout.emphasised)
        sheets->StyleRange(sheet, r, 2, r, 3, 0, EmphasisBackground, -1, FontSize, -1);
    // The windows paint; the user's clicks and keys wait until the work that showed the room is
    // over, so that none of them acts in the middle of a commit's aftermath.
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void frmMain::atbMainToolClick(const QString& name)
{
    if (name == QLatin1String("mnuDispatch"))
        startRelocation();
    else if (name == QLatin1String("mnuHistory"))
        showHistory();
    else if (name == QLatin1String("mnuExit"))
        close();
    else if (name == QLatin1String("mnuTrack"))
        showTrack();
    else if (name == QLatin1String("mnuRoomMove"))
        startRoomMove();
    else if (name == QLatin1String("mnuPlan"))
        emit planRequested();
    else if (name == QLatin1String("mnuPlanTemplate"))
        emit planTemplateRequested();
    else if (name == QLatin1String("mnuReview"))
        emit reviewsRequested();
}

void frmMain::setWaitingReviews(int count)
{
    QAction* tool = m_bar->tool(QStringLiteral("mnuReview"));
    tool->setText(count > 0 ? QStringLiteral("审核计划(%1)").arg(count) : QStringLiteral("审核计划"));
    if (count > 0)
        statusBar()->showMessage(QStringLiteral("有 %1 个调整计划等待您审核：请点“审核计划”").arg(count));
    else
        statusBar()->clearMessage();
}

void frmMain::startRelocation()
{
    UiService* ui = m_context.UiService();
    if (ui)
        ui->BeginWait(this);
    const int tab = m_sstMain->currentIndex();
    const QString net = tab >= 0 && tab < 3 ? Letters[tab] : QString();
    // A sheet is shown only while the room on show has a BTS of that network; attrMap
    // may still hold an earlier room's BTS.
    const bool available = !net.isEmpty() && m_attrMap.contains(net) && !m_sheets[tab]->isHidden();
    if (available)
        emit relocationRequested(net, m_attrMap);
    if (ui)
        ui->EndWait();
    if (!available)
        if (MessageService* messages = m_context.MessageService())
            messages->ShowMessage(NoBtsMessage);
}

void frmMain::showHistory()
{
    emit historyRequested();
}

void frmMain::startRoomMove()
{
    // The BTSs of the room on show: those whose sheet shows; attrMap may still hold others.
    QMap<QString, AttrTable> tables;
    for (int i = 0; i < 3; ++i)
        if (!m_roomCode.isEmpty() && m_attrMap.contains(Letters[i]) && !m_sheets[i]->isHidden())
            tables.insert(Letters[i], m_attrMap.value(Letters[i]));
    if (tables.isEmpty()) {
        if (MessageService* messages = m_context.MessageService())
            messages->ShowMessage(NoBtsMessage);
        return;
    }
    emit roomMoveRequested(m_roomName, tables);
}

void frmMain::showTrack()
{
    if (m_roomCode.isEmpty()) {
        if (MessageService* messages = m_context.MessageService())
            messages->ShowMessage(NoBtsMessage);
        return;
    }
    const int tab = m_sstMain->currentIndex();
    const QString net = tab >= 0 && tab < 3 ? Letters[tab] : QString();
    QString basecode;
    QString btsName;
    // The BTS of the current tab, when the room on show has one of that network.
    if (!net.isEmpty() && m_attrMap.contains(net) && !m_sheets[tab]->isHidden()) {
        const AttrTable& table = m_attrMap[net];
        basecode = table.at(AttrTable::DisplayValue, table.findField(QStringLiteral("basecode")));
        btsName = table.at(AttrTable::DisplayValue, table.findField(QStringLiteral("basename")));
    }
    emit trackRequested(basecode.isEmpty() ? QString() : net, basecode, btsName, m_roomCode, m_roomName);
}

} // namespace corvan
