// SPDX-License-Identifier: MIT
#include "history/frm_q_dispath_his.h"

#include "corvan/controls/property_grid.h"
#include "core/mdl_pub_var.h"
#include "core/history_query.h"
#include "ui/busy_cursor.h"
#include "core/mdl_pub_fun.h"

#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace corvan {

namespace {
const QString DateFormat = QStringLiteral("yyyy-MM-dd");
const QString KeyPrefix = QStringLiteral("K:");
} // namespace

frmQDispathHis::frmQDispathHis(mdlPubVar& context, QWidget* parent) : QWidget(parent), m_context(context)
{
    setObjectName(QStringLiteral("frmQDispathHis"));

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
    // The list keeps its top edge and takes the rest of the panel, edge to edge.
    layout->addWidget(m_smHisList, 5, 0, 1, 2);
    layout->setColumnStretch(1, 1);
    layout->setRowStretch(5, 1);

    connect(m_cmdQuery, &QPushButton::clicked, this, &frmQDispathHis::query);
    connect(m_cmdReset, &QPushButton::clicked, this, &frmQDispathHis::reset);
    connect(m_smHisList, &PropertyGrid::ItemChosen, this, &frmQDispathHis::itemChosen);

    // Load.
    fillCriteria();
    m_context.registerForm(this);
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
    HistoryQuery::fillList(m_context, m_smHisList->Items(), queryStatement());
}

void frmQDispathHis::reset()
{
    fillCriteria();
    emit recordChosen(QString());
}

void frmQDispathHis::itemChosen(PropertyItem* item)
{
    if (!item || !item->Key().startsWith(KeyPrefix))
        return;
    emit recordChosen(item->Key().mid(KeyPrefix.size()));
}

} // namespace corvan
