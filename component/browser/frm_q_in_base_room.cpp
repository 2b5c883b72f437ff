// SPDX-License-Identifier: MIT
#include "browser/frm_q_in_base_room.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "core/context/connection_status.h"
#include "core/context/divisions.h"
#include "core/context/mdl_pub_var.h"
#include "core/context/ui_settings.h"
#include "core/rooms/room_lookup.h"
#include "corvan/controls/focus_frame.h"
#include "ui/busy_cursor.h"

namespace corvan {

const QString frmQInBaseRoom::NothingFound = QStringLiteral("没有找到符合条件的机房，请换个名称或编号再查。");
const QString frmQInBaseRoom::QueryFailed =
    QStringLiteral("机房查询未能完成，这里没有显示任何机房。请稍后再查。");
const QString frmQInBaseRoom::AskAgain = QStringLiteral("连接恢复后请再点“查  询”。");

QString frmQInBaseRoom::noCity(const QString& user)
{
    return QStringLiteral("用户 %1 没有任何地市的查询权限，请联系管理员").arg(user);
}

namespace {
const QString RootKey = QStringLiteral("L1Root");
const QString WindowName = QStringLiteral("frmQInBaseRoom");
const QString CityCriterion = QStringLiteral("city");
const QString NameCriterion = QStringLiteral("name");
const QString NumberCriterion = QStringLiteral("number");

// The city names into the visible list, their identifiers into its hidden companion.
void fillCityLists(const mdlPubVar& context, QComboBox* names, QComboBox* ids)
{
    QStringList nameList;
    QStringList idList;
    mdlPubFun::InitQueryCity(context, nameList, idList, true);
    names->clear();
    ids->clear();
    names->addItems(nameList);
    ids->addItems(idList);
    if (names->count() > 0)
        names->setCurrentIndex(0);
    if (ids->count() > 0)
        ids->setCurrentIndex(0);
}
} // namespace

frmQInBaseRoom::frmQInBaseRoom(mdlPubVar& context, QWidget* parent) : QWidget(parent), m_context(context)
{
    setObjectName(QStringLiteral("frmQInBaseRoom"));
    buildControls();
    layOut();
    wire();

    fillCityLists(m_context, m_cboCity, m_cboCityBack);
    restoreCriteria();
    FillRoomTree(QString());
    // A user the rights do not know is told at once, not after a query that finds nothing.
    if (roomQuery().isEmpty()) {
        m_lblEmpty->setText(noCityLine());
        m_lblEmpty->setVisible(true);
    }
}

void frmQInBaseRoom::buildControls()
{
    m_cboCity = new QComboBox(this);
    m_cboCity->setObjectName(QStringLiteral("cboCity"));
    m_cboCityBack = new QComboBox(this);
    m_cboCityBack->setObjectName(QStringLiteral("cboCityBack"));
    m_cboCityBack->setVisible(false);
    m_txtName = new QLineEdit(this);
    m_txtName->setObjectName(QStringLiteral("txtName"));
    m_txtNo = new QLineEdit(this);
    m_txtNo->setObjectName(QStringLiteral("txtNo"));
    m_cmdOk = new QPushButton(QStringLiteral("查  询"), this);
    m_cmdOk->setObjectName(QStringLiteral("cmdOk"));
    m_cmdOk->setDefault(true);
    m_tvwRoom = new QTreeWidget(this);
    m_tvwRoom->setObjectName(QStringLiteral("tvwRoom"));
    m_tvwRoom->setHeaderHidden(true);
    m_tvwRoom->setUniformRowHeights(true);
    m_tvwRoom->setItemDelegate(new FocusFrameDelegate(m_tvwRoom));
    m_lblEmpty = new QLabel(NothingFound, this);
    m_lblEmpty->setObjectName(QStringLiteral("lblEmpty"));
    m_lblEmpty->setWordWrap(true);
    m_lblEmpty->setVisible(false);
    m_lblCount = new QLabel(this);
    m_lblCount->setObjectName(QStringLiteral("lblCount"));
    m_lblCount->setVisible(false);
}

void frmQInBaseRoom::layOut()
{
    auto* layout = new QGridLayout(this);
    const auto label = [this](const QString& text, QWidget* buddy) {
        auto* l = new QLabel(text, this);
        l->setBuddy(buddy);
        return l;
    };
    layout->addWidget(label(QStringLiteral("地  市："), m_cboCity), 0, 0);
    layout->addWidget(m_cboCity, 0, 1);
    layout->addWidget(label(QStringLiteral("机房名称："), m_txtName), 1, 0);
    layout->addWidget(m_txtName, 1, 1);
    layout->addWidget(label(QStringLiteral("机房编号："), m_txtNo), 2, 0);
    layout->addWidget(m_txtNo, 2, 1);
    // The button's right edge lines up with the boxes.
    layout->addWidget(m_cmdOk, 3, 1, Qt::AlignRight);
    layout->addWidget(m_tvwRoom, 4, 0, 1, 2);
    layout->addWidget(m_lblEmpty, 5, 0, 1, 2);
    layout->addWidget(m_lblCount, 6, 0, 1, 2);
    layout->setColumnStretch(1, 1);
    layout->setRowStretch(4, 1);
}

void frmQInBaseRoom::wire()
{
    connect(m_cmdOk, &QPushButton::clicked, this, &frmQInBaseRoom::cmdOkClick);
    connect(m_txtName, &QLineEdit::returnPressed, this, &frmQInBaseRoom::cmdOkClick);
    connect(m_txtNo, &QLineEdit::returnPressed, this, &frmQInBaseRoom::cmdOkClick);
    // A click shows the room, and so does Enter. The view's own "activated" is not used: a
    // double click, or a click on a style that activates on click, would also raise it, and
    // one action would show the room twice.
    connect(m_tvwRoom, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) { nodeClick(item); });
    connect(m_tvwRoom, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
        const auto county = m_countyOf.constFind(item);
        if (county != m_countyOf.cend())
            openCounty(*county);
    });
    m_tvwRoom->installEventFilter(this);
}

QString frmQInBaseRoom::roomQuery() const
{
    const int chosen = m_cboCity->currentIndex();
    // The cities the user may query as the rights say now, ready for an SQL in-list.
    RightService* rights = m_context.RightService();
    const QString rightCities = rights ? rights->GetRightCityList(mdlPubFun::RightFunction) : QString();
    if (chosen <= 0 && rightCities.trimmed().isEmpty())
        return {};
    return RoomLookup::roomSearchStatement(chosen <= 0, m_cboCityBack->itemText(chosen), rightCities,
                                           m_txtName->text(), m_txtNo->text());
}

void frmQInBaseRoom::cmdOkClick()
{
    BusyCursor busy;
    saveCriteria();
    const QString sql = roomQuery();
    FillRoomTree(sql);
    m_lblEmpty->setText(sql.isEmpty() ? noCityLine() : m_failure.isEmpty() ? NothingFound : m_failure);
    m_lblEmpty->setVisible(m_tvwRoom->topLevelItemCount() == 0);
    // A small result opens down to its rooms.
    if (m_tvwRoom->topLevelItemCount() > 0 && m_rooms.opensExpanded())
        for (QTreeWidgetItem* division : m_divisionNodes)
            division->setExpanded(true);
    emit queried();
}

QString frmQInBaseRoom::noCityLine() const
{
    ContextService* host = m_context.ContextService();
    return noCity(host ? host->CurrentUser() : QString());
}

bool frmQInBaseRoom::holdsRoom(const QString& cityId, const QString& roomName) const
{
    int division = -1;
    int position = -1;
    return m_rooms.find(QStringLiteral("L4") + cityId + roomName, &division, &position);
}

void frmQInBaseRoom::selectRoom(const QString& cityId, const QString& roomName)
{
    if (!holdsRoom(cityId, roomName))
        return;
    QTreeWidgetItem* room = node(QStringLiteral("L4") + cityId + roomName);
    for (QTreeWidgetItem* above = room->parent(); above; above = above->parent())
        above->setExpanded(true);
    // Made current without a click: the room is on show already.
    m_tvwRoom->setCurrentItem(room);
    m_tvwRoom->scrollToItem(room);
}

void frmQInBaseRoom::restoreCriteria()
{
    const auto key = [this](const QString& what) {
        return UiSettings::criterionKey(m_context, WindowName, what);
    };
    const int city = m_cboCityBack->findText(UiSettings::value(key(CityCriterion)).toString());
    if (city > 0)
        m_cboCity->setCurrentIndex(city);
    m_txtName->setText(UiSettings::value(key(NameCriterion)).toString());
    m_txtNo->setText(UiSettings::value(key(NumberCriterion)).toString());
}

void frmQInBaseRoom::saveCriteria() const
{
    const auto key = [this](const QString& what) {
        return UiSettings::criterionKey(m_context, WindowName, what);
    };
    const int city = m_cboCity->currentIndex();
    UiSettings::setValues({{key(CityCriterion), city > 0 ? m_cboCityBack->itemText(city) : QString()},
                           {key(NameCriterion), m_txtName->text()},
                           {key(NumberCriterion), m_txtNo->text()}});
}

QTreeWidgetItem* frmQInBaseRoom::addNode(QTreeWidgetItem* parent, const QString& key, const QString& text)
{
    auto* item = new QTreeWidgetItem(QStringList{text});
    item->setData(0, KeyRole, key);
    if (parent)
        parent->addChild(item);
    m_nodes.insert(key, item);
    return item;
}

void frmQInBaseRoom::FillRoomTree(const QString& sql)
{
    m_tvwRoom->clear();
    m_nodes.clear();
    m_divisionNodes.clear();
    m_countyOf.clear();
    m_opened.clear();
    m_rooms.clear();
    m_failure.clear();
    m_lblCount->clear();
    m_lblCount->setVisible(false);
    if (sql.isEmpty())
        return;
    auto rs = m_context.db().open(sql);
    if (!rs)
        m_failure = m_context.db().lastErrorIsConnectionLost() ? ConnectionStatus::unread(m_context, AskAgain)
                                                               : QueryFailed;
    if (!rs || rs->RecordCount() <= 0)
        return;

    ContextService* context = m_context.ContextService();
    QTreeWidgetItem* root = addNode(nullptr, RootKey, context ? context->CurrentProvinceName() : QString());
    m_rooms.read(m_context, *rs);
    rs.reset();
#ifdef __GLIBC__
    // The rows were several times the text kept of them; give their pages back rather than keep
    // them in the heap until some later work reuses them.
    malloc_trim(0);
#endif
    // The tree is built apart and shown whole; the rooms wait in m_rooms until their county opens.
    const auto& divisions = m_rooms.divisions();
    m_divisionNodes.reserve(divisions.size());
    m_opened.assign(divisions.size(), false);
    for (std::size_t i = 0; i < divisions.size(); ++i) {
        const RoomTree::Division& division = divisions[i];
        const bool county = division.city >= 0;
        QTreeWidgetItem* item = addNode(county ? m_divisionNodes[std::size_t(division.city)] : root,
                                        division.key, division.caption);
        m_divisionNodes.push_back(item);
        if (county && m_rooms.roomCount(int(i)) > 0) {
            m_countyOf.insert(item, int(i));
            item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
        }
    }
    m_tvwRoom->addTopLevelItem(root);
    root->setExpanded(true);
    // Under the tree, how much it holds: the node captions stay as they are.
    m_lblCount->setText(m_rooms.countText());
    m_lblCount->setVisible(true);
}

void frmQInBaseRoom::openCounty(int division) const
{
    if (m_opened[std::size_t(division)])
        return;
    m_opened[std::size_t(division)] = true;
    QTreeWidgetItem* county = m_divisionNodes[std::size_t(division)];
    QList<QTreeWidgetItem*> rooms;
    const int count = m_rooms.roomCount(division);
    rooms.reserve(count);
    for (int i = 0; i < count; ++i) {
        const QString caption = m_rooms.roomCaption(division, i);
        auto* item = new QTreeWidgetItem(QStringList{caption});
        // A narrow pane cuts long names; the whole text is a pause of the pointer away.
        item->setToolTip(0, caption);
        item->setData(0, KeyRole, m_rooms.roomKey(division, i));
        item->setData(0, TagRole, m_rooms.roomNumber(division, i));
        rooms.append(item);
    }
    county->addChildren(rooms);
    county->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

QTreeWidgetItem* frmQInBaseRoom::node(const QString& key) const
{
    int division = -1;
    int position = -1;
    if (!m_rooms.find(key, &division, &position))
        return m_nodes.value(key, nullptr);
    openCounty(division);
    return m_divisionNodes[std::size_t(division)]->child(position);
}

bool frmQInBaseRoom::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_tvwRoom && event->type() == QEvent::KeyPress && !m_keyMove) {
        const auto* press = static_cast<QKeyEvent*>(event);
        const int key = press->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            nodeClick(m_tvwRoom->currentItem());
            return true;
        }
        const bool moves = (key >= Qt::Key_Home && key <= Qt::Key_PageDown) ||
                           (!press->text().isEmpty() && press->text().at(0).isPrint() &&
                            !(press->modifiers() & (Qt::ControlModifier | Qt::AltModifier)));
        if (!moves)
            return QWidget::eventFilter(watched, event);
        // Moving through the tree with the keys shows each room reached, once per room:
        // the key goes to the tree here, and the room shows if the current node changed.
        QTreeWidgetItem* before = m_tvwRoom->currentItem();
        m_keyMove = true;
        QCoreApplication::sendEvent(m_tvwRoom, event);
        m_keyMove = false;
        QTreeWidgetItem* after = m_tvwRoom->currentItem();
        if (after && after != before)
            nodeClick(after);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void frmQInBaseRoom::nodeClick(QTreeWidgetItem* item)
{
    if (!item)
        return;
    const QString key = item->data(0, KeyRole).toString();
    if (key.size() < 2 || key.at(1) != QLatin1Char('4'))
        return;
    QTreeWidgetItem* cityNode = item->parent() ? item->parent()->parent() : nullptr;
    if (!cityNode)
        return;
    const QString cityKey = cityNode->data(0, KeyRole).toString();
    emit roomChosen(cityKey.mid(2), key.mid(cityKey.size()));
}

} // namespace corvan
