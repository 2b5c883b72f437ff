// SPDX-License-Identifier: MIT
#include "relocation/room_picker_dialog.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include "corvan/controls/focus_frame.h"

namespace corvan {

const QString RoomPickerDialog::Caption = QStringLiteral("选择目标机房");

namespace {
constexpr int IndexRole = Qt::UserRole;
const QString FilterLabel = QStringLiteral("查找(&F)：");
const QString CountyLabel = QStringLiteral("区县(&Q)：");
const QString FilterHint = QStringLiteral("输入机房名称或编号的一部分");
const QString Headings[4] = {QStringLiteral("机房名称"), QStringLiteral("机房编号"), QStringLiteral("区县"),
                             QStringLiteral("说明")};
const QString CountText = QStringLiteral("找到 %1 个机房，其中 %2 个可以选择");
const QString NothingFound = QStringLiteral("没有名称或编号含有“%1”的机房");
const QString CurrentMark = QStringLiteral("当前所选");
} // namespace

RoomPickerDialog::RoomPickerDialog(RoomPicker rooms, const QString& current, const QString& typed,
                                   QWidget* parent)
    : QDialog(parent), m_rooms(std::move(rooms)), m_current(current)
{
    setObjectName(QStringLiteral("RoomPickerDialog"));
    setWindowTitle(Caption);
    m_filter = new QLineEdit(typed, this);
    m_filter->setObjectName(QStringLiteral("txtFilter"));
    m_filter->setPlaceholderText(FilterHint);
    m_filter->setClearButtonEnabled(true);
    m_county = new QComboBox(this);
    m_county->setObjectName(QStringLiteral("cboCounty"));
    m_county->addItem(RoomPicker::AllCounties, QString());
    for (const auto& [id, name] : m_rooms.counties())
        m_county->addItem(name, id);
    const int pageCounty = m_county->findData(m_rooms.pageCounty());
    m_county->setCurrentIndex(pageCounty > 0 ? pageCounty : 0);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("lstRooms"));
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setAlternatingRowColors(true);
    m_list->setAllColumnsShowFocus(true);
    m_list->setItemDelegate(new FocusFrameDelegate(m_list));
    m_list->setHeaderLabels({Headings[0], Headings[1], Headings[2], Headings[3]});
    // Measuring every row for its columns' widths costs more than the rest of the dialog
    // together; the columns take the width of their longest text once.
    m_list->header()->setSectionResizeMode(QHeaderView::Interactive);
    m_list->header()->setStretchLastSection(true);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("lblStatus"));
    m_status->setWordWrap(true);
    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);

    layOut();

    connect(m_filter, &QLineEdit::textChanged, this, &RoomPickerDialog::refill);
    connect(m_county, &QComboBox::currentIndexChanged, this, &RoomPickerDialog::refill);
    connect(m_list, &QTreeWidget::currentItemChanged, this, &RoomPickerDialog::currentChanged);
    connect(m_list, &QTreeWidget::itemActivated, this, &RoomPickerDialog::accept);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &RoomPickerDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    // Arrows and pages in the filter box move in the list, so the hands stay on the keys.
    m_filter->installEventFilter(this);
    refill();
    sizeColumns();
    m_filter->setFocus();
}

void RoomPickerDialog::layOut()
{
    auto* layout = new QGridLayout(this);
    auto* filterLabel = new QLabel(FilterLabel, this);
    filterLabel->setBuddy(m_filter);
    auto* countyLabel = new QLabel(CountyLabel, this);
    countyLabel->setBuddy(m_county);
    layout->addWidget(filterLabel, 0, 0);
    layout->addWidget(m_filter, 0, 1);
    layout->addWidget(countyLabel, 0, 2);
    layout->addWidget(m_county, 0, 3);
    layout->addWidget(m_list, 1, 0, 1, 4);
    layout->addWidget(m_status, 2, 0, 1, 4);
    layout->addWidget(m_buttons, 3, 0, 1, 4);
    layout->setColumnStretch(1, 1);
    setTabOrder(m_filter, m_county);
    setTabOrder(m_county, m_list);
    setTabOrder(m_list, m_buttons);
    resize(640, 480);
}

void RoomPickerDialog::refill()
{
    const QList<int> shown = m_rooms.filter(m_filter->text(), m_county->currentData().toString());
    m_list->clear();
    QList<QTreeWidgetItem*> items;
    QTreeWidgetItem* selected = nullptr;
    int choosable = 0;
    const QBrush grey = palette().brush(QPalette::Disabled, QPalette::Text);
    for (int i : shown) {
        const RoomPicker::Room& room = m_rooms.rooms().at(i);
        const bool isCurrent = !m_current.isEmpty() && room.caption == m_current;
        auto* item = new QTreeWidgetItem({room.caption, room.number, room.county,
                                          room.refusal.isEmpty() && isCurrent ? CurrentMark : room.refusal});
        item->setData(0, IndexRole, i);
        if (room.refusal.isEmpty()) {
            ++choosable;
            if (!selected && (isCurrent || m_current.isEmpty()))
                selected = item;
        } else {
            for (int c = 0; c < 4; ++c) {
                item->setForeground(c, grey);
                item->setToolTip(c, room.refusal);
            }
        }
        items.append(item);
    }
    m_list->addTopLevelItems(items);
    if (!selected && !items.isEmpty())
        selected = items.constFirst();
    m_list->setCurrentItem(selected);
    QString status = shown.isEmpty() && !m_filter->text().trimmed().isEmpty()
                         ? NothingFound.arg(m_filter->text().trimmed())
                         : CountText.arg(shown.size()).arg(choosable);
    // A room the user is looking for may stand in another county than the one chosen.
    m_hidden = m_rooms.hiddenByCounty(m_filter->text(), m_county->currentData().toString());
    if (!m_hidden.isEmpty())
        status += QLatin1Char('\n') + m_hidden;
    m_status->setText(status);
    currentChanged();
}

void RoomPickerDialog::sizeColumns()
{
    // The longest text of a column stands for its widest: names and numbers are of one script
    // each, so the count of characters ranks them nearly as their width does.
    QString longest[3] = {Headings[0], Headings[1], Headings[2]};
    for (const RoomPicker::Room& room : m_rooms.rooms()) {
        const QString* texts[3] = {&room.caption, &room.number, &room.county};
        for (int c = 0; c < 3; ++c)
            if (texts[c]->size() > longest[c].size())
                longest[c] = *texts[c];
    }
    const QFontMetrics metrics(m_list->font());
    // Room for the cell's margins and a little air.
    const int margin = 4 * metrics.averageCharWidth();
    for (int c = 0; c < 3; ++c)
        m_list->setColumnWidth(c, metrics.horizontalAdvance(longest[c]) + margin);
}

int RoomPickerDialog::currentRoom() const
{
    const QTreeWidgetItem* item = m_list->currentItem();
    return item ? item->data(0, IndexRole).toInt() : -1;
}

void RoomPickerDialog::currentChanged()
{
    const int i = currentRoom();
    const QString refusal = i >= 0 ? m_rooms.rooms().at(i).refusal : QString();
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(i >= 0 && refusal.isEmpty());
    if (!refusal.isEmpty())
        m_status->setText(m_rooms.rooms().at(i).caption + QStringLiteral("：") + refusal +
                          (m_hidden.isEmpty() ? QString() : QLatin1Char('\n') + m_hidden));
}

void RoomPickerDialog::accept()
{
    const int i = currentRoom();
    // A room that cannot take the BTS stays listed with its reason; nothing is chosen.
    if (i < 0 || !m_rooms.rooms().at(i).refusal.isEmpty()) {
        currentChanged();
        QApplication::beep();
        return;
    }
    if (const QString refusal = m_check ? m_check(i) : QString(); !refusal.isEmpty()) {
        m_status->setText(refusal);
        QApplication::beep();
        return;
    }
    m_chosen = m_rooms.rooms().at(i).caption;
    m_chosenIndex = i;
    QDialog::accept();
}

void RoomPickerDialog::setVisible(bool visible)
{
    QDialog::setVisible(visible);
    // A dialog shown before its window is active hands its focus widget a focus as by Tab,
    // which selects the search box's text: the letter typed on the room row would then be
    // replaced by the next one. The search goes on after what was typed.
    if (visible) {
        m_filter->deselect();
        m_filter->end(false);
    }
}

bool RoomPickerDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_filter && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        switch (key->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            QApplication::sendEvent(m_list, event);
            return true;
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace corvan
