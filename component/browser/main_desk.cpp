// SPDX-License-Identifier: MIT
#include "browser/main_desk.h"

#include <QAction>
#include <QDockWidget>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QLayout>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QTableWidget>
#include <QToolBar>

#include "core/context/connection_status.h"
#include "core/context/field_names.h"
#include "core/context/mdl_pub_var.h"
#include "core/context/ui_settings.h"
#include "corvan/controls/sheet.h"
#include "ui/keyboard_bar.h"
#include "ui/qt_translations.h"
#include "ui/window_memory.h"

namespace corvan {

const QString MainDesk::AboutTitle = QStringLiteral("关于基站调整");
const char* const MainDesk::UnreadProperty = "corvanBtsUnread";

namespace {
const QString FrameNames[3] = {QStringLiteral("fraGbts"), QStringLiteral("fraCbts"),
                               QStringLiteral("fraDbts")};
const QString SheetNames[3] = {QStringLiteral("fbGbts"), QStringLiteral("fbCbts"), QStringLiteral("fbDbts")};
const auto& Letters = NetworkLetters;
const QString NoRoom = QStringLiteral("请在左侧查找机房，再选择一个机房查看它的基站。");
const QString NoBtsOfNetwork = QStringLiteral("这个机房没有 %1 网基站。");
const QString PlainCaption = QStringLiteral("基站调整");
const QString Unknown = QStringLiteral("（主机未说明）");
constexpr int TreeWidth = 320;
} // namespace

MainDesk::MainDesk(QMainWindow& window, mdlPubVar& context)
    : QObject(&window), m_window(window), m_context(context)
{
    ensureQtTranslations();

    auto* toolBar = window.findChild<QToolBar*>(QStringLiteral("tlbToolBar"));
    if (toolBar) {
        KeyboardBar::attach(toolBar);
        KeyboardBar::addMenu(window.menuBar(), QStringLiteral("操作(&O)"), toolBar);
    }
    QMenu* help = window.menuBar()->addMenu(QStringLiteral("帮助(&H)"));
    QAction* about = help->addAction(QStringLiteral("关于(&A)…"), this, &MainDesk::showAbout);
    about->setObjectName(QStringLiteral("mnuAbout"));
    about->setShortcut(QKeySequence(Qt::Key_F1));
    window.addAction(about);

    const QStringList status = statusTexts(context);
    const QString names[3] = {QStringLiteral("lblDatabase"), QStringLiteral("lblProvince"),
                              QStringLiteral("lblUser")};
    for (int i = 0; i < 3; ++i) {
        auto* label = new QLabel(status.value(i), &window);
        label->setObjectName(names[i]);
        label->setToolTip(status.value(i));
        if (i == 0)
            window.statusBar()->addWidget(label, 1);
        else
            window.statusBar()->addPermanentWidget(label);
    }

    // The connection's state, where the host tells it, changes while the window is open.
    if (QObject* data = context.DataObject(); data && context.ConnectionService()) {
        m_connection = new QLabel(&window);
        m_connection->setObjectName(QStringLiteral("lblConnection"));
        window.statusBar()->addPermanentWidget(m_connection);
        connect(data, SIGNAL(connectionChanged()), this, SLOT(updateConnection()));
        updateConnection();
    }

    for (int i = 0; i < 3; ++i) {
        auto* frame = window.findChild<QFrame*>(FrameNames[i]);
        auto* sheet = window.findChild<Sheet*>(SheetNames[i]);
        if (!frame || !sheet || !frame->layout())
            continue;
        m_empty[i] = new QLabel(frame);
        m_empty[i]->setObjectName(QStringLiteral("lblEmpty") + Letters[i]);
        m_empty[i]->setAlignment(Qt::AlignCenter);
        m_empty[i]->setWordWrap(true);
        frame->layout()->addWidget(m_empty[i]);
        sheet->installEventFilter(this);
        // A sheet to read passes Tab on, whatever the host made of it.
        sheet->table()->setTabKeyNavigation(false);
    }
    window.installEventFilter(this);

    if (auto* tree = window.findChild<QDockWidget*>(QStringLiteral("tlbTree")))
        window.resizeDocks({tree}, {TreeWidth}, Qt::Horizontal);
    WindowMemory::attach(&window);
    updateEmptyLines();
}

QStringList MainDesk::statusTexts(const mdlPubVar& context)
{
    const QString database = UiSettings::databaseOf(context);
    ContextService* host = context.ContextService();
    return {QStringLiteral("数据库：") + (database.isEmpty() ? Unknown : database),
            QStringLiteral("省份：") + (host ? host->CurrentProvinceName() : Unknown),
            QStringLiteral("用户：") + (host ? host->CurrentUser() : Unknown)};
}

QString MainDesk::aboutText(const mdlPubVar& context)
{
    const HostInfoService* info = context.HostInfoService();
    QStringList lines{QStringLiteral("基站调整组件 %1").arg(QStringLiteral(CORVAN_VERSION)),
                      QStringLiteral("在机房之间搬迁 G、C、D 网基站，并查询、导出、打印每次调整的记录。"),
                      QStringLiteral("许可证：MIT")};
    if (info)
        lines << QStringLiteral("主机：") + info->HostVersion();
    lines << statusTexts(context);
    const QString connection = ConnectionStatus::text(context);
    if (!connection.isEmpty())
        lines << QStringLiteral("连接：") + connection;
    return lines.join(QLatin1Char('\n'));
}

void MainDesk::showAbout()
{
    QMessageBox box(QMessageBox::Information, AboutTitle, aboutText(m_context), QMessageBox::Ok, &m_window);
    box.exec();
}

bool MainDesk::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::ShowToParent || type == QEvent::HideToParent || type == QEvent::WindowTitleChange)
        updateEmptyLines();
    return QObject::eventFilter(watched, event);
}

void MainDesk::updateConnection()
{
    if (!m_connection)
        return;
    const QString text = ConnectionStatus::text(m_context);
    m_connection->setText(text);
    m_connection->setToolTip(text);
    // Called in the middle of a call that holds the event loop: painted now, not later.
    if (m_connection->isVisible())
        m_connection->repaint();
}

void MainDesk::updateEmptyLines()
{
    // The plain caption means no room is on show; a hidden sheet with a room on show means
    // the room has no BTS of that network.
    const bool room = m_window.windowTitle() != PlainCaption;
    for (int i = 0; i < 3; ++i) {
        auto* sheet = m_window.findChild<Sheet*>(SheetNames[i]);
        if (!m_empty[i] || !sheet)
            continue;
        // A room whose BTSs could not be read is never said to have none.
        const QString unread = m_window.property(UnreadProperty).toString();
        m_empty[i]->setText(!room ? NoRoom : !unread.isEmpty() ? unread : NoBtsOfNetwork.arg(Letters[i]));
        m_empty[i]->setVisible(sheet->isHidden() || !room);
    }
}

} // namespace corvan
