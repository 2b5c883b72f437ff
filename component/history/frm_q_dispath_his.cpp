// SPDX-License-Identifier: MIT
#include "history/frm_q_dispath_his.h"

#include "core/context/divisions.h"
#include "core/context/item_keys.h"
#include "core/context/mdl_pub_var.h"
#include "core/context/ui_settings.h"
#include "core/history/history_list_order.h"
#include "core/history/history_query.h"
#include "core/history/history_rows.h"
#include "corvan/controls/property_grid.h"
#include "corvan/controls/property_item.h"
#include "ui/busy_cursor.h"

#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <optional>

namespace corvan {

namespace {
const QString DateFormat = QStringLiteral("yyyy-MM-dd");
const QString WindowName = QStringLiteral("frmQDispathHis");
const QString FilterHint = QStringLiteral("输入文字，只列出含有它的记录");
const QString FilterLabel = QStringLiteral("筛选(&S):");
const QString NotQueried = QStringLiteral("选好条件后按“确定”查询");
} // namespace

frmQDispathHis::frmQDispathHis(mdlPubVar& context, QWidget* parent) : QWidget(parent), m_context(context)
{
    setObjectName(QStringLiteral("frmQDispathHis"));
    buildControls();
    layOut();
    // The panel is where the history window starts: its first criterion takes the focus.
    setFocusProxy(m_cbxCity);

    connect(m_cmdQuery, &QPushButton::clicked, this, &frmQDispathHis::query);
    connect(m_cmdReset, &QPushButton::clicked, this, &frmQDispathHis::reset);
    connect(m_smHisList, &PropertyGrid::ItemChosen, this, &frmQDispathHis::itemChosen);
    connect(m_txtFilter, &QLineEdit::textChanged, this, &frmQDispathHis::applyFilter);

    // Load.
    fillCriteria();
    restoreCriteria();
}

void frmQDispathHis::buildControls()
{
    m_cbxCity = new QComboBox(this);
    m_cbxCity->setObjectName(QStringLiteral("cbxCity"));
    m_cbxNet = new QComboBox(this);
    m_cbxNet->setObjectName(QStringLiteral("cbxNet"));
    const auto datePicker = [this](const QString& name) {
        auto* picker = new QDateEdit(this);
        picker->setObjectName(name);
        picker->setCalendarPopup(true);
        picker->setDisplayFormat(DateFormat);
        return picker;
    };
    m_dtBegin = datePicker(QStringLiteral("dtBegin"));
    m_dtEnd = datePicker(QStringLiteral("dtEnd"));
    m_cmdQuery = new QPushButton(QStringLiteral("确定"), this);
    m_cmdQuery->setObjectName(QStringLiteral("cmdQuery"));
    // Enter in the criteria runs the query; Enter in the list picks a record instead.
    m_cmdQuery->setDefault(true);
    m_cmdReset = new QPushButton(QStringLiteral("重置"), this);
    m_cmdReset->setObjectName(QStringLiteral("cmdReset"));
    m_cmdReset->setAutoDefault(false);
    m_smHisList = new PropertyGrid(this);
    m_smHisList->setObjectName(QStringLiteral("smHisList"));
    m_txtFilter = new QLineEdit(this);
    m_txtFilter->setObjectName(QStringLiteral("txtFilter"));
    m_txtFilter->setPlaceholderText(FilterHint);
    m_txtFilter->setClearButtonEnabled(true);
    m_lblCount = new QLabel(NotQueried, this);
    m_lblCount->setObjectName(QStringLiteral("lblCount"));
    m_lblCount->setWordWrap(true);
}

void frmQDispathHis::layOut()
{
    auto* layout = new QGridLayout(this);
    const auto label = [this](const QString& text, QWidget* buddy) {
        auto* l = new QLabel(text, this);
        l->setBuddy(buddy);
        return l;
    };
    layout->addWidget(label(QStringLiteral("所属地市:"), m_cbxCity), 0, 0);
    layout->addWidget(m_cbxCity, 0, 1);
    layout->addWidget(label(QStringLiteral("网络类型:"), m_cbxNet), 1, 0);
    layout->addWidget(m_cbxNet, 1, 1);
    layout->addWidget(label(QStringLiteral("开始日期:"), m_dtBegin), 2, 0);
    layout->addWidget(m_dtBegin, 2, 1);
    layout->addWidget(label(QStringLiteral("结束日期:"), m_dtEnd), 3, 0);
    layout->addWidget(m_dtEnd, 3, 1);
    auto* buttons = new QHBoxLayout();
    buttons->addStretch(1);
    buttons->addWidget(m_cmdQuery);
    buttons->addWidget(m_cmdReset);
    layout->addLayout(buttons, 4, 0, 1, 2);
    // The list keeps its top edge and takes the rest of the panel, edge to edge; the count
    // and the filter stand above it.
    layout->addWidget(m_lblCount, 5, 0, 1, 2);
    layout->addWidget(label(FilterLabel, m_txtFilter), 6, 0);
    layout->addWidget(m_txtFilter, 6, 1);
    layout->addWidget(m_smHisList, 7, 0, 1, 2);
    layout->setColumnStretch(1, 1);
    layout->setRowStretch(7, 1);
    setTabOrder(m_cmdQuery, m_cmdReset);
    setTabOrder(m_cmdReset, m_txtFilter);
    setTabOrder(m_txtFilter, m_smHisList);
}

void frmQDispathHis::fillCriteria()
{
    m_cbxCity->clear();
    m_cbxCity->addItem(HistoryQuery::All);
    m_cbxCity->addItems(HistoryQuery::cityNames(m_context));
    m_cbxCity->setCurrentIndex(0);

    m_cbxNet->clear();
    m_cbxNet->addItem(HistoryQuery::All);
    for (const QString& net : HistoryQuery::NetworkEntries)
        m_cbxNet->addItem(net);
    m_cbxNet->setCurrentIndex(0);

    const QDate today = QDate::currentDate();
    m_dtBegin->setDate(QDate(today.year(), today.month(), 1));
    m_dtEnd->setDate(today);

    m_smHisList->Items().ClearItems();
    m_rows.reset();
    m_queried = false;
    m_lblCount->setText(NotQueried);
}

QString frmQDispathHis::queryStatement() const
{
    const QString city = m_cbxCity->currentText();
    std::optional<QString> cityId;
    if (city != HistoryQuery::All)
        cityId = mdlPubFun::GetCityId(m_context, city);
    return HistoryQuery::statement(cityId, m_cbxNet->currentText(), m_dtBegin->date(), m_dtEnd->date());
}

void frmQDispathHis::query()
{
    BusyCursor busy;
    saveCriteria();
    const QString statement = queryStatement();
    // Newest first, a page at a time: the list costs the statements of its first page, and
    // the rest come as the user scrolls.
    m_rows = HistoryQuery::fillList(m_context, m_smHisList->Items(), statement);
    m_queried = true;
    applyFilter();
    emit queried(statement);
}

void frmQDispathHis::applyFilter()
{
    const QStringList words = HistoryListOrder::words(m_txtFilter->text());
    const bool narrowing = !words.isEmpty();
    // A filter reads every caption of a list that may hold a hundred thousand records.
    std::optional<BusyCursor> busy;
    if (narrowing)
        busy.emplace();
    // Every caption is read now: every record comes, and its rooms are named with one
    // statement, not one each.
    if (narrowing && m_rows) {
        m_smHisList->Items().FetchMore(true);
        m_rows->nameEveryRoom();
    }
    int shown = 0;
    {
        // The list's rows are made once, for all the records shown or hidden.
        const PropertyItems::Batch batch(m_smHisList->Items());
        for (const auto& item : m_smHisList->Items()) {
            const bool match = !narrowing || HistoryListOrder::matchesWords(item->Caption(), words);
            if (item->Visible() != match)
                item->setVisible(match);
            shown += match ? 1 : 0;
        }
    }
    if (m_queried) {
        // Records not read yet are listed as well: they show as the user scrolls to them.
        const int listed = int(m_smHisList->Items().ItemCount());
        const int found = m_rows && !m_rows->complete() ? std::max(m_rows->count(), listed) : listed;
        m_lblCount->setText(HistoryListOrder::countText(narrowing ? shown : found, found));
    }
}

void frmQDispathHis::setFilterText(const QString& text)
{
    m_txtFilter->setText(text);
}

QString frmQDispathHis::countText() const
{
    return m_lblCount->text();
}

bool frmQDispathHis::readEveryRecord()
{
    if (!m_smHisList->Items().HasMore())
        return true;
    BusyCursor busy;
    const bool read = m_smHisList->Items().FetchMore(true);
    applyFilter();
    return read;
}

QStringList frmQDispathHis::shownCodes() const
{
    QStringList codes;
    for (const auto& item : m_smHisList->Items())
        if (item->Visible() && item->Key().startsWith(ItemKey::Code))
            codes << ItemKey::codeOf(item->Key());
    return codes;
}

// The city and network of the last query; the dates keep their defaults, which follow
// today.
void frmQDispathHis::restoreCriteria()
{
    const auto value = [this](const char* what) {
        return UiSettings::value(UiSettings::criterionKey(m_context, WindowName, QString::fromLatin1(what)));
    };
    const int city = m_cbxCity->findText(value("city").toString());
    if (city > 0)
        m_cbxCity->setCurrentIndex(city);
    const int net = m_cbxNet->findText(value("net").toString());
    if (net > 0)
        m_cbxNet->setCurrentIndex(net);
}

void frmQDispathHis::saveCriteria() const
{
    const auto key = [this](const char* what) {
        return UiSettings::criterionKey(m_context, WindowName, QString::fromLatin1(what));
    };
    UiSettings::setValues({{key("city"), m_cbxCity->currentText()}, {key("net"), m_cbxNet->currentText()}});
}

void frmQDispathHis::reset()
{
    fillCriteria();
    emit recordChosen(QString());
}

void frmQDispathHis::itemChosen(PropertyItem* item)
{
    if (!item || !item->Key().startsWith(ItemKey::Code))
        return;
    emit recordChosen(ItemKey::codeOf(item->Key()));
}

} // namespace corvan
