// SPDX-License-Identifier: MIT
#include "core/context/mdl_pub_var.h"
#include "core/history/history_query.h"
#include "core/history/history_rows.h"
#include "corvan/component.h"
#include "corvan/controls/property_grid.h"
#include "corvan/controls/sheet.h"
#include "desktop/host_services.h"
#include "desktop/sheet_service_impl.h"
#include "desktop/xlsx_export.h"
#include "history/frm_q_dispath_his.h"
#include "history/frm_view_history.h"
#include "history/history_chart_view.h"
#include "support/fixture.h"
#include "support/test_host.h"
#include "ui/active_bar.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <gtest/gtest.h>

using namespace corvan;
using corvan::test::Fixture;
using corvan::test::TestDatabase;
using corvan::test::TestHost;

namespace {

// Stands in for the host's sheet service: styling goes on to the real one, every call is
// noted, and export and print note what the sheet looked like at that moment instead of
// writing a file or opening a preview.
class ObservingSheetService : public QObject, public SheetService {
    Q_OBJECT
    Q_INTERFACES(corvan::SheetService)

public:
    explicit ObservingSheetService(SheetService* real) : m_real(real) {}

    void StyleRange(Sheet* sheet, int row1, int col1, int row2, int col2, qint32 foreground,
                    qint32 background, int bold, int fontSize, int wrap) override
    {
        calls << QStringLiteral("StyleRange %1,%2,%3,%4 %5 %6 %7 %8 %9")
                     .arg(row1)
                     .arg(col1)
                     .arg(row2)
                     .arg(col2)
                     .arg(foreground)
                     .arg(background, 0, 16)
                     .arg(bold)
                     .arg(fontSize)
                     .arg(wrap);
        m_real->StyleRange(sheet, row1, col1, row2, col2, foreground, background, bold, fontSize, wrap);
    }
    void AlignRange(Sheet* sheet, int row1, int col1, int row2, int col2, bool merge) override
    {
        calls
            << QStringLiteral("AlignRange %1,%2,%3,%4 %5").arg(row1).arg(col1).arg(row2).arg(col2).arg(merge);
        m_real->AlignRange(sheet, row1, col1, row2, col2, merge);
    }
    void PrepareSheet(Sheet* sheet) override
    {
        calls << QStringLiteral("PrepareSheet");
        m_real->PrepareSheet(sheet);
    }
    void PrepareSheetView(Sheet* sheet) override
    {
        calls << QStringLiteral("PrepareSheetView");
        m_real->PrepareSheetView(sheet);
    }
    void ClearSheet(Sheet* sheet, bool all) override
    {
        calls << QStringLiteral("ClearSheet %1").arg(all);
        m_real->ClearSheet(sheet, all);
    }
    bool ExportSheet(Sheet* sheet, const QString& title, bool ask) override
    {
        calls << QStringLiteral("ExportSheet %1 %2 | %3").arg(title).arg(ask).arg(seen(sheet));
        return result;
    }
    bool PrintSheet(Sheet* sheet) override
    {
        calls << QStringLiteral("PrintSheet | %1").arg(seen(sheet));
        return result;
    }

    QStringList calls;
    bool result = true;

private:
    // Rows, and which of rows 8 and 9 the user would get.
    static QString seen(const Sheet* sheet)
    {
        return QStringLiteral("rows %1, row 8 %2, row 9 %3")
            .arg(sheet->MaxRow())
            .arg(sheet->RowHidden(8) ? QStringLiteral("hidden") : QStringLiteral("shown"))
            .arg(sheet->RowHidden(9) ? QStringLiteral("hidden") : QStringLiteral("shown"));
    }

    SheetService* m_real;
};

// A busy indication that keeps the progress it is told and cancels once so many steps are done.
class CountingProgress : public QObject, public UiService, public ProgressService {
    Q_OBJECT
    Q_INTERFACES(corvan::UiService corvan::ProgressService)

public:
    void BeginWait(QWidget*) override {}
    void EndWait() override {}
    QString GetTextField(const QString&, const QString&, int) override { return {}; }
    void BeginProgress(QWidget*, const QString& label, qint64 total, bool cancellable) override
    {
        calls << QStringLiteral("%1 %2 %3").arg(label).arg(total).arg(cancellable);
    }
    bool StepProgress(qint64 done) override
    {
        steps << done;
        return cancelAt < 0 || done < cancelAt;
    }
    void EndProgress() override { calls << QStringLiteral("end"); }

    QStringList calls;
    QList<qint64> steps;
    qint64 cancelAt = -1;
};

const QString Info1 = QStringLiteral(" 基站调整 H=62s2QBTS属性:所属地市,从:甲市,修改为:乙市;H=62s2Q"
                                     "删除BTS所属小区:甲一小区;H=62s2Q  ");

QString code(int n)
{
    return Fixture::roomCode(n);
}

template <class T> T* child(QWidget* parent, const char* name)
{
    T* found = parent ? parent->findChild<T*>(QString::fromLatin1(name)) : nullptr;
    EXPECT_NE(found, nullptr) << name;
    return found;
}

class HistoryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Fixture::load(db);
        // Records 1 and 2 in November 2006, 3 on the first of December, 4 on the last of
        // October; record 3 goes to a room that no longer exists.
        db.exec(QStringLiteral(
                    "insert into h_btsdispatch(discode,distime,disuser,net,fromcity,tocity,fromroom,"
                    "toroom,simplemode,disinfo) values "
                    "('%1',to_date('2006-11-03','yyyy-mm-dd'),'demo','G','11','12','%5','%6','1','%9'),"
                    "('%2',to_date('2006-11-10','yyyy-mm-dd'),'admin','C','12','11','%6','%7','1',"
                    "'BTS属性:备注,从:老站,修改为:空;H=62s2Q'),"
                    "('%3',to_date('2006-12-01','yyyy-mm-dd'),'demo','D','11','11','%5','%8','0',null),"
                    "('%4',to_date('2006-10-31','yyyy-mm-dd'),'demo','G','11','11','%7','%5','1','')")
                    .arg(code(1), code(2), code(3), code(4), Fixture::roomCode(1), Fixture::roomCode(5),
                         Fixture::roomCode(2), code(99), Info1));
        auto services = host.objectArray();
        services[HostSlot::Sheet] = &sheets;
        ASSERT_EQ(context.setServices(services), mdlPubVar::Services::Stored);
        window = new frmViewHistory(context);
        window->show();
        QApplication::processEvents();
        panel = window->queryPanel();
        sheet = window->sheet();
        list = child<PropertyGrid>(panel, "smHisList");
        host.recorder()->clear();
        sheets.calls.clear();
    }
    void TearDown() override { delete window.data(); }

    void criteria(int city, int net, QDate begin, QDate end)
    {
        child<QComboBox>(panel, "cbxCity")->setCurrentIndex(city);
        child<QComboBox>(panel, "cbxNet")->setCurrentIndex(net);
        child<QDateEdit>(panel, "dtBegin")->setDate(begin);
        child<QDateEdit>(panel, "dtEnd")->setDate(end);
    }
    void query(int city, int net, QDate begin, QDate end)
    {
        criteria(city, net, begin, end);
        QTest::mouseClick(child<QPushButton>(panel, "cmdQuery"), Qt::LeftButton);
    }
    // The index of a city name in the city list (the list follows the database's order).
    int city(const char* name) const
    {
        return panel->findChild<QComboBox*>(QStringLiteral("cbxCity"))->findText(QString::fromUtf8(name));
    }

    // "key=caption" per listed record, sorted: the query sends no ordering clause.
    QStringList listed() const
    {
        QStringList out;
        for (const auto& item : list->Items()) {
            EXPECT_EQ(item->Type(), ITEM_OPTION);
            out << item->Key() + QLatin1Char('=') + item->Caption();
        }
        out.sort();
        return out;
    }
    QStringList sheetRows() const
    {
        QStringList out;
        for (int r = 1; r <= sheet->MaxRow(); ++r)
            out << sheet->TextRC(r, 1) + QLatin1Char('|') + sheet->TextRC(r, 2);
        return out;
    }
    QStringList sentLike(const QString& start) const
    {
        QStringList found;
        for (const QString& sql : host.recorder()->statements())
            if (sql.startsWith(start))
                found << sql;
        return found;
    }
    QTreeView* listView() const { return list->findChild<QTreeView*>(); }
    void clickRow(PropertyItem* item)
    {
        QApplication::processEvents();
        const QRectF rect = list->itemRect(item);
        ASSERT_FALSE(rect.isEmpty());
        QWidget* viewport = listView()->viewport();
        QTest::mouseClick(viewport, Qt::LeftButton, {}, viewport->mapFrom(list, rect.center().toPoint()));
    }

    TestDatabase db;
    TestHost host{db};
    ObservingSheetService sheets{host.services()->sheets()};
    mdlPubVar context;
    QPointer<frmViewHistory> window;
    frmQDispathHis* panel = nullptr;
    Sheet* sheet = nullptr;
    PropertyGrid* list = nullptr;
};

// Runs the action, answers the message box it opens with OK, and tells its title, text and icon.
QString nextBox(const std::function<void()>& action)
{
    QString seen;
    QTimer::singleShot(0, [&seen] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            seen = QStringList{box->windowTitle(), box->text(), QString::number(box->icon())}.join(
                QLatin1Char('|'));
            box->accept();
        }
    });
    action();
    return seen;
}

const QString Record1Sheet[] = {QStringLiteral("调整时间|2006-11-03"),
                                QStringLiteral("操作用户|demo"),
                                QStringLiteral("网络类型|G 网"),
                                QStringLiteral("来源城市|甲市"),
                                QStringLiteral("去往城市|乙市"),
                                QStringLiteral("来源机房|一号机房"),
                                QStringLiteral("去往机房|空机房"),
                                QStringLiteral("详细信息|") + Info1,
                                QStringLiteral("|")};

TEST_F(HistoryTest, WindowLayoutAndLoadOrder)
{
    EXPECT_EQ(window->windowTitle(), QStringLiteral("基站调整历史记录"));
    EXPECT_EQ(window->bar()->objectName(), QStringLiteral("atbMain"));
    QStringList tools;
    for (QAction* action : child<QToolBar>(window, "tlbToolBar")->actions())
        tools << action->objectName() + QLatin1Char('=') + action->text();
    EXPECT_EQ(tools,
              (QStringList{QStringLiteral("mnuExit=   退    出  "), QStringLiteral("mnuExcel=导出到Execl"),
                           QStringLiteral("mnuPrint=打印记录"), QStringLiteral("mnuReverse=撤销调整"),
                           QStringLiteral("mnuReversePlan=撤销整个计划"),
                           QStringLiteral("mnuReentry=导出小区天馈清单"),
                           QStringLiteral("mnuExportList=导出所列记录"),
                           QStringLiteral("mnuChartInExport=导出时附统计")}));

    // The panel sits in the left pane, beside the background panel with sheet and text.
    auto* pane = child<QWidget>(window, "tlbTree");
    auto* back = child<QWidget>(window, "picBack");
    EXPECT_EQ(panel->parentWidget(), child<QWidget>(pane, "frmTree"));
    EXPECT_LT(pane->mapTo(window, QPoint(pane->width(), 0)).x(), back->mapTo(window, QPoint(0, 0)).x());
    EXPECT_EQ(sheet->parentWidget(), back);
    auto* frame = child<QGroupBox>(back, "fraInfo");
    EXPECT_EQ(frame->title(), QStringLiteral("详细信息"));
    EXPECT_EQ(window->infoBox()->parentWidget(), frame);
    EXPECT_TRUE(window->infoBox()->isReadOnly());
    EXPECT_LT(sheet->geometry().bottom(), frame->geometry().top());

    // Criteria as they load.
    auto* cities = child<QComboBox>(panel, "cbxCity");
    QStringList cityNames;
    for (int i = 0; i < cities->count(); ++i)
        cityNames << cities->itemText(i);
    EXPECT_EQ(cityNames.value(0), QStringLiteral("全部"));
    EXPECT_EQ(cityNames.mid(1).size(), 3);
    for (const char* name : {"甲市", "乙市", "丙市"})
        EXPECT_TRUE(cityNames.contains(QString::fromUtf8(name))) << name;
    auto* nets = child<QComboBox>(panel, "cbxNet");
    QStringList netNames;
    for (int i = 0; i < nets->count(); ++i)
        netNames << nets->itemText(i);
    EXPECT_EQ(netNames, (QStringList{QStringLiteral("全部"), QStringLiteral("G 网"), QStringLiteral("C 网"),
                                     QStringLiteral("D 网")}));
    for (const auto& [name, caption] : {std::pair{"cbxCity", "所属地市:"}, std::pair{"cbxNet", "网络类型:"},
                                        std::pair{"dtBegin", "开始日期:"}, std::pair{"dtEnd", "结束日期:"}}) {
        bool labelled = false;
        for (QLabel* label : panel->findChildren<QLabel*>())
            labelled |=
                label->buddy() == child<QWidget>(panel, name) && label->text() == QString::fromUtf8(caption);
        EXPECT_TRUE(labelled) << name;
    }
    const QDate today = QDate::currentDate();
    EXPECT_EQ(child<QDateEdit>(panel, "dtBegin")->date(), QDate(today.year(), today.month(), 1));
    EXPECT_EQ(child<QDateEdit>(panel, "dtEnd")->date(), today);
    EXPECT_TRUE(child<QDateEdit>(panel, "dtEnd")->calendarPopup());
    EXPECT_EQ(child<QPushButton>(panel, "cmdQuery")->text(), QStringLiteral("确定"));
    EXPECT_EQ(child<QPushButton>(panel, "cmdReset")->text(), QStringLiteral("重置"));
    EXPECT_EQ(list->Items().ItemCount(), 0);

    // The sheet: two columns of doubled width, seven rows on screen, 8 and 9 hidden.
    EXPECT_EQ(sheet->MaxCol(), 2);
    EXPECT_EQ(sheet->MaxRow(), 7);
    EXPECT_EQ(sheet->ColWidth(1), 2 * sheet->DefaultColWidth());
    // The last column also stretches to the sheet's edge.
    EXPECT_GE(sheet->ColWidth(2), 2 * sheet->DefaultColWidth());
    EXPECT_TRUE(window->infoBox()->toPlainText().isEmpty());

    // Closing destroys both windows.
    QPointer<frmQDispathHis> panelGuard(panel);
    window->bar()->tool(QStringLiteral("mnuExit"))->trigger();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
    EXPECT_TRUE(panelGuard.isNull());
}

TEST_F(HistoryTest, SheetIsPreparedInTheHostsOrder)
{
    sheets.calls.clear();
    frmViewHistory another(context);
    EXPECT_EQ(sheets.calls,
              (QStringList{QStringLiteral("StyleRange 1,1,5,5 0 ffffff -1 10 -1"),
                           QStringLiteral("PrepareSheetView"), QStringLiteral("AlignRange 8,1,8,2 1"),
                           QStringLiteral("AlignRange 9,1,9,2 1"), QStringLiteral("PrepareSheet"),
                           QStringLiteral("PrepareSheetView"),
                           QStringLiteral("StyleRange 1,1,7,2 0 ffffff -1 10 -1")}));
    EXPECT_EQ(host.recorder()->statements(),
              QStringList{QStringLiteral("select city_id,city_name from com_city where pro_id=4")});
}

TEST_F(HistoryTest, TheQueryButtonSendsTheCriteriasStatement)
{
    criteria(city("乙市"), 2, QDate(2006, 11, 1), QDate(2006, 11, 10));
    EXPECT_EQ(panel->queryStatement(),
              QStringLiteral(
                  "select discode,distime,disuser,net,fromcity,tocity,fromroom,toroom,simplemode from "
                  "h_btsdispatch where  fromcity='12' and  net='C' and distime "
                  ">=to_date('2006-11-01','yyyy-mm-dd') and distime <=to_date('2006-11-10','yyyy-mm-dd')"));
    EXPECT_EQ(host.recorder()->statements().value(0),
              QStringLiteral("select city_id from com_city where city_name = '乙市'"));
    host.recorder()->clear();
    QTest::mouseClick(child<QPushButton>(panel, "cmdQuery"), Qt::LeftButton);
    // Newest first, its first page: the statement with an ordering and a limit after it.
    EXPECT_EQ(sentLike(QStringLiteral("select discode")),
              QStringList{panel->queryStatement() +
                          QStringLiteral(" order by distime desc,discode desc limit 100")});
}

TEST_F(HistoryTest, ListShowsOneRowPerRecordWithRoomsByName)
{
    query(0, 0, QDate(2006, 11, 1), QDate(2006, 11, 30));
    EXPECT_EQ(listed(),
              (QStringList{QStringLiteral("K:00000000000000000001=2006-11-03,G网,从一号机房到空机房"),
                           QStringLiteral("K:00000000000000000002=2006-11-10,C网,从空机房到二号机房")}));

    // The end date counts; a room that is gone shows as nothing.
    query(0, 0, QDate(2006, 10, 31), QDate(2006, 12, 1));
    EXPECT_EQ(listed().size(), 4);
    EXPECT_TRUE(listed().contains(QStringLiteral("K:00000000000000000003=2006-12-01,D网,从一号机房到")));

    query(city("甲市"), 1, QDate(2006, 1, 1), QDate(2006, 12, 31));
    EXPECT_EQ(listed(),
              (QStringList{QStringLiteral("K:00000000000000000001=2006-11-03,G网,从一号机房到空机房"),
                           QStringLiteral("K:00000000000000000004=2006-10-31,G网,从二号机房到一号机房")}));

    // No rows, and a begin after the end, empty the list.
    query(city("丙市"), 0, QDate(2006, 1, 1), QDate(2006, 12, 31));
    EXPECT_TRUE(listed().isEmpty());
    query(0, 0, QDate(2006, 1, 1), QDate(2006, 12, 31));
    ASSERT_EQ(listed().size(), 4);
    query(0, 0, QDate(2006, 12, 31), QDate(2006, 1, 1));
    EXPECT_TRUE(listed().isEmpty());

    // A failing query shows no records rather than the previous criteria's.
    query(0, 0, QDate(2006, 1, 1), QDate(2006, 12, 31));
    ASSERT_EQ(listed().size(), 4);
    host.recorder()->failWhen(
        [](const QString& sql) { return sql.startsWith(QLatin1String("select discode")); });
    query(0, 0, QDate(2006, 1, 1), QDate(2006, 12, 31));
    EXPECT_TRUE(listed().isEmpty());
}

// Moves of one day show the time their journal entries keep (none for those written before the
// journal kept it, or with a text that is no time) and come newest first by code, the order in
// which they were recorded; the times of a page come with one statement naming its records.
TEST_F(HistoryTest, MovesOfOneDayShowTheirTimeAndComeInItsOrder)
{
    db.exec(QStringLiteral("insert into h_btsdispatch(discode,distime,disuser,net,fromcity,tocity,fromroom,"
                           "toroom,simplemode,disinfo) values "
                           "('%1',to_date('2006-11-10','yyyy-mm-dd'),'demo','G','11','11','%4','%5','1',''),"
                           "('%2',to_date('2006-11-10','yyyy-mm-dd'),'demo','G','11','11','%5','%4','1',''),"
                           "('%3',to_date('2006-11-10','yyyy-mm-dd'),'demo','D','11','11','%4','%5','1','')")
                .arg(code(5), code(6), code(7), Fixture::roomCode(1), Fixture::roomCode(5)));
    db.exec(QStringLiteral(
                "insert into corvan_journal(discode,net,basecode,entry,entrytime) values "
                "('%1','G','%4','{}','2006-11-10 16:00:00'),('%2','G','%4','{}','2006-11-10 09:15:00'),"
                "('%3','D','%4','{}','not a time')")
                .arg(code(5), code(6), code(7), Fixture::btsCode(101)));
    query(0, 0, QDate(2006, 11, 1), QDate(2006, 11, 30));
    QStringList shown;
    for (const auto& item : list->Items())
        shown << item->Key() + QLatin1Char('=') + item->Caption();
    EXPECT_EQ(shown,
              (QStringList{QStringLiteral("K:%1=2006-11-10,D网,从一号机房到空机房").arg(code(7)),
                           QStringLiteral("K:%1=2006-11-10 09:15:00,G网,从空机房到一号机房").arg(code(6)),
                           QStringLiteral("K:%1=2006-11-10 16:00:00,G网,从一号机房到空机房").arg(code(5)),
                           QStringLiteral("K:%1=2006-11-10,C网,从空机房到二号机房").arg(code(2)),
                           QStringLiteral("K:%1=2006-11-03,G网,从一号机房到空机房").arg(code(1))}));
    EXPECT_EQ(
        sentLike(QStringLiteral("select entrytime,discode")),
        QStringList{QStringLiteral("select entrytime,discode from corvan_journal where entrytime is not "
                                   "null and discode in ('%1','%2','%3','%4','%5')")
                        .arg(code(7), code(6), code(5), code(2), code(1))});
}

// Exporting the list reads every record with its progress shown, then the host writes them
// with its own; a cancel in either writes no file and says so.
TEST_F(HistoryTest, ExportingTheListShowsItsProgressAndACancelWritesNothing)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("list.xlsx"));
    host::SheetServiceImpl* books = host.services()->sheets();
    QStringList told;
    QStringList written;
    books->setFileChooser([&path](const QString&) { return path; });
    books->setMessageSink([&told](const QString& text) { told << text; });
    books->setDoneNotifier([&written](const QString& file) { written << file; });
    CountingProgress progress;
    books->setProgress(&progress);
    auto services = host.objectArray();
    services[HostSlot::Ui] = &progress;
    ASSERT_EQ(context.setServices(services), mdlPubVar::Services::Stored);
    query(0, 0, QDate(2006, 1, 1), QDate(2006, 12, 31));
    const QString reading = QStringLiteral("正在读取所列的调整记录… 4 1");

    progress.cancelAt = 2;
    bool done = true;
    EXPECT_EQ(nextBox([&] { done = window->exportListed(); }),
              QStringList({frmViewHistory::Caption, frmViewHistory::ListedCancelled,
                           QString::number(QMessageBox::Information)})
                  .join(QLatin1Char('|')));
    EXPECT_FALSE(done);
    EXPECT_EQ(progress.steps, (QList<qint64>{0, 1, 2}));
    EXPECT_EQ(progress.calls, (QStringList{reading, QStringLiteral("end")}));

    // Cancelled while the host writes: the records were read, the file never appears.
    progress.calls.clear();
    progress.steps.clear();
    progress.cancelAt = 5;
    EXPECT_FALSE(window->exportListed());
    EXPECT_EQ(progress.steps.mid(0, 6), (QList<qint64>{0, 1, 2, 3, 4, 1}));
    EXPECT_EQ(told, QStringList{host::XlsxExport::Cancelled});
    EXPECT_TRUE(
        QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());

    progress.calls.clear();
    progress.cancelAt = -1;
    EXPECT_TRUE(window->exportListed());
    EXPECT_EQ(written, QStringList{path});
    ASSERT_EQ(progress.calls.size(), 4);
    EXPECT_EQ(progress.calls.mid(0, 2), (QStringList{reading, QStringLiteral("end")}));
    EXPECT_TRUE(progress.calls.at(2).startsWith(host::SheetServiceImpl::ExportProgress));
    EXPECT_TRUE(QFile::exists(path));
}

// A long list's first screen costs its first page with that page's times and rooms, the count
// of the rest and the chart's grouped counts with its cities' names: nothing per row or per room.
// The end of the list costs one more page, all that is left, with its times and rooms.
TEST_F(HistoryTest, ALongListReadsItsFirstPageThenTheRestAtItsEnd)
{
    QStringList values;
    for (int i = 0; i < 300; ++i)
        values << QStringLiteral(
                      "('%1',to_date('2007-%2-%3','yyyy-mm-dd'),'demo','G','11','12','%4','%5','1','')")
                      .arg(code(1000 + i))
                      .arg(1 + i % 12, 2, 10, QLatin1Char('0'))
                      .arg(1 + i % 28, 2, 10, QLatin1Char('0'))
                      .arg(code(5000 + i), code(6000 + i));
    db.exec(QStringLiteral(
                "insert into h_btsdispatch(discode,distime,disuser,net,fromcity,tocity,fromroom,toroom,"
                "simplemode,disinfo) values ") +
            values.join(QLatin1Char(',')));
    window->resize(900, 600);
    query(0, 0, QDate(2007, 1, 1), QDate(2007, 12, 31));
    QTRY_VERIFY(!window->chartView()->pending());
    QApplication::processEvents();
    const QString sql = panel->queryStatement();
    const QString condition = sql.mid(sql.indexOf(QStringLiteral(" from ")));
    const QString times = QStringLiteral(
        "select entrytime,discode from corvan_journal where entrytime is not null and discode in (");
    const QString rooms = QStringLiteral("select roomcode,roomname from res_baseroom where roomcode in (");
    const QString cityName = QStringLiteral("select city_name from com_city");
    // Each statement sent, cut after what tells it apart.
    const auto shapes = [&] {
        QStringList out;
        for (const QString& sent : host.recorder()->statements())
            out << (sent.startsWith(times)      ? times
                    : sent.startsWith(rooms)    ? rooms
                    : sent.startsWith(cityName) ? cityName
                                                : sent);
        return out;
    };
    EXPECT_EQ(shapes(), (QStringList{sql + QStringLiteral(" order by distime desc,discode desc limit 100"),
                                     times, rooms, QStringLiteral("select count(*)") + condition,
                                     QStringLiteral("select distime,net,count(*)") + condition +
                                         QStringLiteral(" group by distime,net"),
                                     QStringLiteral("select fromcity,tocity,count(*)") + condition +
                                         QStringLiteral(" group by fromcity,tocity"),
                                     cityName, cityName}));
    EXPECT_EQ(list->Items().ItemCount(), 100);
    EXPECT_EQ(panel->countText(), QStringLiteral("共找到 300 条调整记录"));
    EXPECT_EQ(window->chartView()->chart().total, 300);

    // Newest first: the last day, then the largest code of the day (three records of
    // 2007-12-28); its rooms are gone, and show as nothing.
    QStringList top;
    for (long position = 1; position <= 3; ++position)
        top << list->Items().GetItem(position)->Key();
    EXPECT_EQ(top, (QStringList{QStringLiteral("K:") + code(1251), QStringLiteral("K:") + code(1167),
                                QStringLiteral("K:") + code(1083)}));
    EXPECT_EQ(list->Items().GetItem(1)->Caption(), QStringLiteral("2007-12-28,G网,从到"));
    host.recorder()->clear();
    listView()->setFocus();
    QTest::keyClick(listView(), Qt::Key_End);
    QApplication::processEvents();
    EXPECT_EQ(shapes(),
              (QStringList{sql + QStringLiteral(" order by distime desc,discode desc limit 500 offset 100"),
                           times, rooms}));
    EXPECT_EQ(list->Items().ItemCount(), 300);
    EXPECT_FALSE(list->Items().HasMore());
    // The oldest record, 2007-01-01, is the current row at the end; the count stays.
    EXPECT_EQ(listView()->currentIndex().row(), 299);
    EXPECT_EQ(list->Items().GetItem(300L)->Key(), QStringLiteral("K:") + code(1000));
    EXPECT_EQ(panel->countText(), QStringLiteral("共找到 300 条调整记录"));
    host.recorder()->clear();
    QTest::keyClick(listView(), Qt::Key_Home);
    QTest::keyClick(listView(), Qt::Key_End);
    EXPECT_EQ(host.recorder()->statements(), QStringList());
}

TEST_F(HistoryTest, ChoosingARecordShowsItInFull)
{
    query(0, 0, QDate(2006, 11, 1), QDate(2006, 12, 31));
    // The list is on screen, its chart read, when the user picks a row.
    QTRY_VERIFY(!window->chartView()->pending());
    // The list and its chart report what was written: a standby the host keeps may answer them.
    const QStringList reports = host.recorder()->reportStatements();
    EXPECT_TRUE(reports.contains(panel->queryStatement() +
                                 QStringLiteral(" order by distime desc,discode desc limit 100")));
    EXPECT_TRUE(reports.size() >= 2 && reports.last().startsWith(QStringLiteral("select ")))
        << reports.size();
    host.recorder()->clear();
    clickRow(list->Items().GetItem(QStringLiteral("K:") + code(1)));
    const QString record =
        QStringLiteral("select distime,disuser,net,fromcity,tocity,fromroom,toroom,simplemode,disinfo from "
                       "h_btsdispatch a where discode ='00000000000000000001'");
    EXPECT_EQ(host.recorder()->statements().value(0), record);
    // The record is a report too; what decides whether 撤销 may act (its journal entry) is not.
    EXPECT_EQ(host.recorder()->reportStatements().mid(reports.size()).value(0), record);
    int journalReads = 0;
    for (const QString& sent : host.recorder()->statements()) {
        if (sent.contains(QStringLiteral("corvan_journal"))) {
            ++journalReads;
            EXPECT_FALSE(host.recorder()->reportStatements().contains(sent)) << sent.toStdString();
        }
    }
    EXPECT_GE(journalReads, 1);
    EXPECT_EQ(sheetRows(), QStringList(std::begin(Record1Sheet), std::end(Record1Sheet)));
    EXPECT_TRUE(sheet->RowHidden(8));
    EXPECT_TRUE(sheet->RowHidden(9));
    for (int r = 1; r <= 7; ++r)
        EXPECT_FALSE(sheet->RowHidden(r)) << r;
    EXPECT_EQ(sheets.calls.value(0), QStringLiteral("StyleRange 1,1,9,2 0 ffffff -1 10 -1"));
    // The text box: trimmed, one line per marker, the last marker leaving an empty line.
    EXPECT_EQ(
        window->infoBox()->toPlainText().split(QLatin1Char('\n')),
        (QStringList{QStringLiteral("基站调整 "), QStringLiteral("BTS属性:所属地市,从:甲市,修改为:乙市;"),
                     QStringLiteral("删除BTS所属小区:甲一小区;"), QString()}));

    // Enter in the list picks the current row, and only that: no query is sent again.
    host.recorder()->clear();
    QTreeView* view = listView();
    view->setFocus();
    const long count = list->Items().ItemCount();
    for (long i = 1; i <= count; ++i)
        if (list->Items().GetItem(i)->Key() == QStringLiteral("K:") + code(3))
            view->setCurrentIndex(view->model()->index(int(i - 1), 0));
    QTest::keyClick(view, Qt::Key_Return);
    EXPECT_TRUE(sentLike(QStringLiteral("select discode,distime")).isEmpty());
    EXPECT_EQ(sentLike(QStringLiteral("select distime")).size(), 1);
    EXPECT_EQ(sheet->TextRC(1, 2), QStringLiteral("2006-12-01"));
    EXPECT_EQ(sheet->TextRC(3, 2), QStringLiteral("D 网"));
    EXPECT_EQ(sheet->TextRC(5, 2), QStringLiteral("甲市"));
    EXPECT_EQ(sheet->TextRC(7, 1), QStringLiteral("去往机房"));
    EXPECT_EQ(sheet->TextRC(7, 2), QString()) << "the lookup's default for a room that is gone";
    EXPECT_EQ(sheet->TextRC(8, 2), QString());
    EXPECT_TRUE(window->infoBox()->toPlainText().isEmpty());

    // Enter in the criteria runs the query instead.
    host.recorder()->clear();
    QTest::keyClick(child<QDateEdit>(panel, "dtEnd"), Qt::Key_Return);
    EXPECT_EQ(sentLike(QStringLiteral("select discode,distime")).size(), 1);
}

TEST_F(HistoryTest, CodeThatMatchesNothingKeepsTheCells)
{
    window->showHistory(code(1));
    sheets.calls.clear();
    host.recorder()->clear();
    window->showHistory(QStringLiteral("00000000000000000777"));
    EXPECT_EQ(
        host.recorder()->statements(),
        QStringList{QStringLiteral("select distime,disuser,net,fromcity,tocity,fromroom,toroom,simplemode,"
                                   "disinfo from h_btsdispatch a where discode ='00000000000000000777'")});
    EXPECT_EQ(sheetRows(), QStringList(std::begin(Record1Sheet), std::end(Record1Sheet)));
    EXPECT_EQ(sheets.calls, QStringList{QStringLiteral("StyleRange 1,1,9,2 0 ffffff -1 10 -1")});
    EXPECT_TRUE(window->infoBox()->toPlainText().startsWith(QStringLiteral("基站调整")));

    // A failing read stops there: nothing changes, not even the style.
    sheets.calls.clear();
    host.recorder()->failWhen([](const QString&) { return true; });
    window->showHistory(code(2));
    EXPECT_EQ(sheetRows(), QStringList(std::begin(Record1Sheet), std::end(Record1Sheet)));
    EXPECT_TRUE(sheets.calls.isEmpty());

    // A quote in a code cannot end the literal early.
    host.recorder()->failWhen({});
    host.recorder()->clear();
    window->showHistory(QStringLiteral("1' or '1'='1"));
    EXPECT_EQ(host.recorder()->statements().value(0).section(QStringLiteral(" where "), 1),
              QStringLiteral("discode ='1'' or ''1''=''1'"));
    EXPECT_EQ(sheet->TextRC(2, 2), QStringLiteral("demo"));
}

TEST_F(HistoryTest, ResetRestoresCriteriaAndClearsListAndView)
{
    query(city("甲市"), 2, QDate(2006, 1, 1), QDate(2006, 12, 31));
    window->showHistory(code(1));
    ASSERT_FALSE(window->infoBox()->toPlainText().isEmpty());
    sheets.calls.clear();
    QTest::mouseClick(child<QPushButton>(panel, "cmdReset"), Qt::LeftButton);

    EXPECT_EQ(list->Items().ItemCount(), 0);
    EXPECT_EQ(child<QComboBox>(panel, "cbxCity")->currentText(), QStringLiteral("全部"));
    EXPECT_EQ(child<QComboBox>(panel, "cbxCity")->count(), 4) << "the cities are not added twice";
    EXPECT_EQ(child<QComboBox>(panel, "cbxNet")->currentText(), QStringLiteral("全部"));
    EXPECT_EQ(child<QComboBox>(panel, "cbxNet")->count(), 4);
    const QDate today = QDate::currentDate();
    EXPECT_EQ(child<QDateEdit>(panel, "dtBegin")->date(), QDate(today.year(), today.month(), 1));
    EXPECT_EQ(child<QDateEdit>(panel, "dtEnd")->date(), today);
    EXPECT_EQ(sheets.calls, QStringList{QStringLiteral("ClearSheet 1")});
    EXPECT_EQ(sheet->TextRC(1, 1), QString());
    EXPECT_EQ(sheet->TextRC(1, 2), QString());
    EXPECT_TRUE(window->infoBox()->toPlainText().isEmpty());

    // A record shown after a reset has all its rows again, 8 and 9 hidden.
    window->showHistory(code(1));
    EXPECT_EQ(sheetRows(), QStringList(std::begin(Record1Sheet), std::end(Record1Sheet)));
    EXPECT_TRUE(sheet->RowHidden(8));
    EXPECT_TRUE(sheet->RowHidden(9));
}

TEST_F(HistoryTest, ExportAndPrintShowRowsEightAndNineForTheCallOnly)
{
    window->showHistory(code(1));
    sheets.calls.clear();
    window->bar()->tool(QStringLiteral("mnuExcel"))->trigger();
    window->bar()->tool(QStringLiteral("mnuPrint"))->trigger();
    window->atbMainToolClick(QStringLiteral("mnuExport"));
    EXPECT_EQ(sheets.calls,
              (QStringList{QStringLiteral("ExportSheet 基站调整记录 1 | rows 9, row 8 shown, row 9 shown"),
                           QStringLiteral("PrintSheet | rows 9, row 8 shown, row 9 shown")}));
    EXPECT_TRUE(sheet->RowHidden(8));
    EXPECT_TRUE(sheet->RowHidden(9));
    EXPECT_EQ(sheet->MaxRow(), 9);
    EXPECT_EQ(sheet->TextRC(8, 2), Info1);

    // The host's answer comes back unchanged, and the rows are hidden again either way.
    sheets.result = false;
    EXPECT_FALSE(window->exportSheet());
    EXPECT_FALSE(window->printSheet());
    sheets.result = true;
    EXPECT_TRUE(window->exportSheet());
    EXPECT_TRUE(window->printSheet());
    EXPECT_TRUE(sheet->RowHidden(8));
    EXPECT_TRUE(sheet->RowHidden(9));
    EXPECT_TRUE(host.messages()->messages.isEmpty());
}

TEST_F(HistoryTest, NewestFirstWithFilterCountChartAndRefusals)
{
    // Export and print with no record on show refuse, in a warning titled with the window.
    const QString refused =
        QStringList{frmViewHistory::Caption, frmViewHistory::NoRecord, QString::number(QMessageBox::Warning)}
            .join(QLatin1Char('|'));
    EXPECT_EQ(nextBox([this] { window->bar()->tool(QStringLiteral("mnuExcel"))->trigger(); }), refused);
    EXPECT_EQ(nextBox([this] { window->bar()->tool(QStringLiteral("mnuPrint"))->trigger(); }), refused);
    EXPECT_TRUE(sheets.calls.isEmpty());

    query(0, 0, QDate(2006, 1, 1), QDate(2006, 12, 31));
    QStringList order;
    for (const auto& item : list->Items())
        order << item->Key().right(1);
    EXPECT_EQ(order, (QStringList{QStringLiteral("3"), QStringLiteral("2"), QStringLiteral("1"),
                                  QStringLiteral("4")}));
    EXPECT_EQ(panel->countText(), QStringLiteral("共找到 4 条调整记录"));
    for (const QChar ch : QStringLiteral("G网"))
        QTest::sendKeyEvent(QTest::Click, child<QLineEdit>(panel, "txtFilter"), Qt::Key_unknown, QString(ch),
                            {});
    EXPECT_EQ(panel->shownCodes(), (QStringList{code(1), code(4)}));
    EXPECT_EQ(panel->countText(), QStringLiteral("共找到 4 条调整记录，显示其中 2 条"));

    // The chart counts what the query found: per month and network, per city out and in.
    QStringList series;
    const HistoryChart& chart = window->chartView()->chart();
    for (const auto& month : chart.months)
        series << QStringLiteral("%1 %2/%3/%4")
                      .arg(month.month)
                      .arg(month.counts[0])
                      .arg(month.counts[1])
                      .arg(month.counts[2]);
    for (const auto& city : chart.cities)
        series << QStringLiteral("%1 %2/%3").arg(city.name).arg(city.from).arg(city.to);
    EXPECT_EQ(series, (QStringList{QStringLiteral("2006-10 1/0/0"), QStringLiteral("2006-11 1/1/0"),
                                   QStringLiteral("2006-12 0/0/1"), QStringLiteral("甲市 3/3"),
                                   QStringLiteral("乙市 1/1")}));

    // The chart's menu saves it as a PNG of what it shows; a place that cannot take the file
    // is told, with the path, and leaves nothing.
    HistoryChartView* view = window->chartView();
    view->resize(600, 240);
    QTemporaryDir dir;
    QStringList suggested;
    QString answer = dir.filePath(QStringLiteral("统计"));
    view->setChooser([&](const QString& name) {
        suggested << name;
        return answer;
    });
    ASSERT_TRUE(view->actions().contains(view->saveAction()));
    EXPECT_EQ(view->contextMenuPolicy(), Qt::ActionsContextMenu);
    view->saveAction()->trigger();
    EXPECT_EQ(suggested, QStringList{HistoryChartView::SuggestedName});
    const QImage picture(dir.filePath(QStringLiteral("统计.png")), "PNG");
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.size(), view->size() * view->devicePixelRatio());
    bool networkColour = false;
    for (int y = 0; y < picture.height() && !networkColour; ++y)
        for (int x = 0; x < picture.width() && !networkColour; ++x)
            networkColour = picture.pixelColor(x, y) == QColor(0x3b, 0x75, 0xaf);
    EXPECT_TRUE(networkColour) << "a G bar is drawn";
    answer = dir.filePath(QStringLiteral("没有的目录/统计.png"));
    const QStringList refusal{frmViewHistory::Caption,
                              HistoryChartView::NotSaved.arg(QDir::toNativeSeparators(answer)),
                              QString::number(QMessageBox::Warning)};
    EXPECT_EQ(nextBox([view] { view->saveAction()->trigger(); }), refusal.join(QLatin1Char('|')));
    EXPECT_FALSE(QFile::exists(answer));

    // Tab leaves the record sheet for the change text; Escape closes the window.
    window->showHistory(code(1));
    EXPECT_EQ(sheet->ColText(1) + sheet->ColText(2), QStringLiteral("项目内容"));
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    sheet->table()->setFocus();
    QTest::keyClick(sheet->table(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), window->infoBox());
    QTest::keyClick(window->infoBox(), Qt::Key_Escape);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
}

} // namespace

#include "test_history.moc"
