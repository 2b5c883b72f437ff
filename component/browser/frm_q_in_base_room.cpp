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

#include "core/mdl_pub_var.h"
#include "ui/busy_cursor.h"
#include "core/mdl_pub_fun.h"
#include "core/ui_settings.h"

namespace corvan {

const QString frmQInBaseRoom::NothingFound = QStringLiteral("没有找到符合条件的机房，请换个名称或编号再查。");

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

    auto* layout = new QGridLayout(this);
    const auto label = [this](const QString& text, QWidget* buddy) {
        auto* l = new QLabel(text, this);
        l->setBuddy(buddy);
        return l;
    };
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
    m_lblEmpty = new QLabel(NothingFound, this);
    m_lblEmpty->setObjectName(QStringLiteral("lblEmpty"));
    m_lblEmpty->setWordWrap(true);
    m_lblEmpty->setVisible(false);

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
    layout->setColumnStretch(1, 1);
    layout->setRowStretch(4, 1);

    connect(m_cmdOk, &QPushButton::clicked, this, &frmQInBaseRoom::cmdOkClick);
    connect(m_txtName, &QLineEdit::returnPressed, this, &frmQInBaseRoom::cmdOkClick);
    connect(m_txtNo, &QLineEdit::returnPressed, this, &frmQInBaseRoom::cmdOkClick);
    // A click shows the room, and so does Enter. The view's own "activated" is not used: a
    // double click, or a click on a style that activates on click, would also raise it, and
    // one action would show the room twice.
    connect(m_tvwRoom, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) { nodeClick(item); });
    m_tvwRoom->installEventFilter(this);

    // Load.
    if (RightService* rights = m_context.RightService())
        m_context.rightCityList = rights->GetRightCityList(mdlPubFun::RightFunction);
    fillCityLists(m_context, m_cboCity, m_cboCityBack);
    restoreCriteria();
    FillRoomTree(QString());

    m_context.registerForm(this);
}

QString frmQInBaseRoom::roomQuery() const
{
    const int chosen = m_cboCity->currentIndex();
    return mdlPubFun::roomSearchStatement(chosen <= 0, m_cboCityBack->itemText(chosen), m_context.rightCityList,
                                          m_txtName->text(), m_txtNo->text());
}

void frmQInBaseRoom::cmdOkClick()
{
    BusyCursor busy;
    saveCriteria();
    FillRoomTree(roomQuery());
    m_lblEmpty->setVisible(m_tvwRoom->topLevelItemCount() == 0);
}

void frmQInBaseRoom::restoreCriteria()
{
    const auto key = [this](const QString& what) { return UiSettings::criterionKey(m_context, WindowName, what); };
    const int city = m_cboCityBack->findText(UiSettings::value(key(CityCriterion)).toString());
    if (city > 0)
        m_cboCity->setCurrentIndex(city);
    m_txtName->setText(UiSettings::value(key(NameCriterion)).toString());
    m_txtNo->setText(UiSettings::value(key(NumberCriterion)).toString());
}

void frmQInBaseRoom::saveCriteria() const
{
    const auto key = [this](const QString& what) { return UiSettings::criterionKey(m_context, WindowName, what); };
    const int city = m_cboCity->currentIndex();
    UiSettings::setValue(key(CityCriterion), city > 0 ? m_cboCityBack->itemText(city) : QString());
    UiSettings::setValue(key(NameCriterion), m_txtName->text());
    UiSettings::setValue(key(NumberCriterion), m_txtNo->text());
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
    if (sql.isEmpty())
        return;
    auto rs = m_context.db().open(sql);
    if (!rs || rs->RecordCount() <= 0)
        return;

    ContextService* context = m_context.ContextService();
    // The tree is built apart and shown whole: a province of a hundred thousand rooms
    // would otherwise pay for every insertion into a live view. Division names are
    // looked up only when their node is new, so once per city and county.
    QTreeWidgetItem* root = addNode(nullptr, RootKey, context ? context->CurrentProvinceName() : QString());
    const QString cityField = QStringLiteral("city");
    const QString countyField = QStringLiteral("county");
    const QString nameField = QStringLiteral("RoomName");
    const QString numberField = QStringLiteral("RoomNo");
    rs->MoveFirst();
    for (int i = 0; i < rs->RecordCount(); ++i, rs->MoveNext()) {
        const QString city = rs->Text(cityField);
        const QString county = rs->Text(countyField);
        const QString roomName = rs->Text(nameField);
        const QString roomNo = rs->Text(numberField);
        const QString cityKey = QStringLiteral("L2") + city;
        QTreeWidgetItem* cityNode = node(cityKey);
        if (!cityNode)
            cityNode = addNode(root, cityKey, mdlPubFun::GetCityName(m_context, city));
        const QString countyKey = QStringLiteral("L3") + city + county;
        QTreeWidgetItem* countyNode = node(countyKey);
        if (!countyNode)
            countyNode = addNode(cityNode, countyKey, mdlPubFun::GetCountyName(m_context, county));
        // A room is known by its city and name: a second room of the same name is skipped.
        const QString roomKey = QStringLiteral("L4") + city + roomName;
        if (node(roomKey))
            continue;
        const QString text = roomNo.isEmpty() ? roomName : roomName + QLatin1Char('(') + roomNo + QLatin1Char(')');
        QTreeWidgetItem* roomNode = addNode(countyNode, roomKey, text);
        roomNode->setData(0, TagRole, roomNo);
        // A narrow pane cuts long names; the whole text is a pause of the pointer away.
        roomNode->setToolTip(0, text);
    }
    m_tvwRoom->addTopLevelItem(root);
    root->setExpanded(true);
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
