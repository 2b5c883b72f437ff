// SPDX-License-Identifier: MIT
// The relocation plan window through its own buttons: a refused row blocks the apply, the
// check result is exported with its headings, the file is checked and applied as it stands
// when the button is pressed, and the corrected file applies in one commit.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

#include "core/context/mdl_pub_var.h"
#include "core/plan/plan_columns.h"
#include "core/plan/plan_template.h"
#include "corvan/controls/sheet.h"
#include "data/database_location.h"
#include "desktop/host_services.h"
#include "desktop/sheet_service_impl.h"
#include "history/history_chart_view.h"
#include "relocation/frm_plan.h"
#include "support/plan_fixture.h"
#include "support/prompt_recorder.h"
#include "support/second_process.h"
#include "support/test_host.h"

using namespace corvan;
using corvan::test::PlanFixture;

namespace {

// An admin's context on a fresh database, its messages recorded; each test loads the plan
// fixture's province at its own size.
class PlanWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        context.setPrompt(&prompt);
        ASSERT_EQ(context.setServices(host.objectArray()), mdlPubVar::Services::Stored);
    }
    test::TestDatabase db;
    test::TestHost host{db, QStringLiteral("admin")};
    test::PromptRecorder prompt;
    mdlPubVar context;
};

TEST_F(PlanWindow, ARefusedRowBlocksTheApplyTheResultIsExportedAndTheFileAsSavedNowApplies)
{
    PlanFixture::load(db, 60);
    const PlanColumns columns = PlanColumns::of(context);
    QStringList headings;
    for (const PlanColumn& column : columns.columns())
        headings << column.heading;
    const QList<PlanFixture::Move> moves = PlanFixture::moves(db, 3);
    // A planner's file: UTF-8 with a byte-order mark and CRLF lines; its row 3 names no C BTS.
    QTemporaryDir folder;
    const auto writeCsv = [&](const QString& name, const QString& number, bool byteOrderMark = true) {
        QList<QStringList> rows = PlanFixture::sheet(headings, moves);
        rows[2][headings.indexOf(QStringLiteral("基站编号"))] = number;
        QByteArray bytes(byteOrderMark ? "\xEF\xBB\xBF" : "");
        for (const QStringList& row : std::as_const(rows))
            bytes += row.join(QLatin1Char(',')).toUtf8() + "\r\n";
        QFile file(folder.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        return file.fileName();
    };
    QString chosen = writeCsv(QStringLiteral("割接计划.csv"), QStringLiteral("9999999"));
    host::SheetServiceImpl* books = host.services()->sheets();
    books->setFileChooser([&](const QString&) { return folder.filePath(QStringLiteral("检查结果.xlsx")); });
    books->setDoneNotifier([](const QString&) {}); // no box to wait on
    const QStringList before = PlanFixture::resources(db);

    frmPlan window(context);
    window.setChooser([&chosen](bool save, const QString&) { return save ? QString() : chosen; });
    const auto click = [&window](const char* name) {
        window.findChild<QPushButton*>(QString::fromLatin1(name))->click();
    };
    click("cmdOpen");
    click("cmdCheck");
    EXPECT_EQ(window.sheet()->TextRC(2, 6), QStringLiteral("找不到编号为 9999999 的C网基站"));
    EXPECT_EQ(prompt.shown, QStringList{QStringLiteral(
                                "计划中有 1 行不能调整（见“结果”一列），请修改计划文件，保存后再检查。")});
    EXPECT_FALSE(window.findChild<QPushButton*>(QStringLiteral("cmdApply"))->isEnabled());
    EXPECT_EQ(PlanFixture::resources(db), before);

    // The exported result names its columns under the title, then the rows as shown.
    click("cmdExport");
    TextSheet written;
    ASSERT_TRUE(books->ReadTextSheet(folder.filePath(QStringLiteral("检查结果.xlsx")), {}, &written, nullptr,
                                     nullptr));
    EXPECT_EQ(written.rows.value(1).mid(0, PlanTemplate::resultHeadings().size()),
              PlanTemplate::resultHeadings());
    EXPECT_EQ(written.rows.value(3).value(5), QStringLiteral("找不到编号为 9999999 的C网基站"));

    // The planner fixes the row in the spreadsheet and saves it over the same file: the check
    // reads the file as it stands now, without choosing it again.
    const QString refused =
        QStringLiteral("计划中有 1 行不能调整（见“结果”一列），请修改计划文件，保存后再检查。");
    const auto pressed = [&](const char* name) {
        prompt.shown.clear();
        prompt.asked.clear();
        click(name);
        return prompt.shown;
    };
    writeCsv(QStringLiteral("割接计划.csv"), moves.at(1).number);
    EXPECT_EQ(pressed("cmdCheck"), QStringList());
    EXPECT_EQ(window.sheet()->TextRC(2, 6), window.sheet()->TextRC(1, 6));
    EXPECT_TRUE(window.totalsText().startsWith(QStringLiteral("共 3 行：可以调整 3 行，不能调整 0 行")))
        << window.totalsText().toStdString();

    // Spoiled again after its check, the file is checked again before anything is written, the
    // user told so; a refused row stops the apply.
    writeCsv(QStringLiteral("割接计划.csv"), QStringLiteral("8888888"));
    prompt.yes = true;
    EXPECT_EQ(pressed("cmdApply"), (QStringList{frmPlan::CheckedAgain, refused}));
    EXPECT_TRUE(prompt.asked.isEmpty());
    EXPECT_EQ(window.sheet()->TextRC(2, 6), QStringLiteral("找不到编号为 8888888 的C网基站"));
    EXPECT_EQ(PlanFixture::resources(db), before);

    // A file that can no longer be read is told, and nothing is checked or applied from it.
    ASSERT_TRUE(QFile::remove(chosen));
    const QStringList gone = pressed("cmdCheck");
    ASSERT_EQ(gone.size(), 1);
    EXPECT_TRUE(gone.at(0).startsWith(frmPlan::Unreadable)) << gone.at(0).toStdString();
    EXPECT_FALSE(window.findChild<QPushButton*>(QStringLiteral("cmdApply"))->isEnabled());

    // Chosen again and checked, then saved once more (by a program that writes no byte-order
    // mark): the apply checks the saved file, asks and applies it once, the plan kept with its
    // file's name and the checksum of what was applied.
    writeCsv(QStringLiteral("割接计划.csv"), moves.at(1).number);
    click("cmdOpen");
    EXPECT_EQ(pressed("cmdCheck"), QStringList());
    chosen = writeCsv(QStringLiteral("割接计划.csv"), moves.at(1).number, false);
    EXPECT_EQ(pressed("cmdApply"),
              (QStringList{frmPlan::CheckedAgain,
                           QStringLiteral(
                               "计划执行成功：调整基站 3 个\r\n请在资源维护中添加小区、天线、馈线的信息")}));
    EXPECT_EQ(prompt.asked.size(), 1);
    QFile saved(chosen);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QString digest =
        QString::fromLatin1(QCryptographicHash::hash(saved.readAll(), QCryptographicHash::Sha256).toHex());
    EXPECT_EQ(db.rows(QStringLiteral("select filename,planuser,rowcount from corvan_plan")),
              QStringList{QStringLiteral("割接计划.csv|admin|3")});
    EXPECT_EQ(db.rows(QStringLiteral("select checksum from corvan_plan")), QStringList{digest});
}

// Every file dialog of the product, opened in the folder that holds the SQLite database while
// something in the process looks into each of its files (as the desktop's dialogs and their
// thumbnailers do), leaves the database's locks in place: a second process's write waits for
// this one's transaction, and after both processes' commits the file is whole and holds them all.
TEST_F(PlanWindow, FileDialogsInTheDatabasesFolderLeaveItsLocksInPlace)
{
    if (db.isPostgresql())
        GTEST_SKIP() << "file locks are SQLite's";
    PlanFixture::load(db, 6);
    host::DatabaseLocation location;
    ASSERT_TRUE(host::DatabaseLocation::parse(db.location(), &location, nullptr));
    const QString file = location.filePath();
    const QString folder = QFileInfo(file).absolutePath();
    frmPlan window(context);
    window.show();
    HistoryChartView chart;
    Sheet sheet;
    sheet.setMaxRow(1);
    sheet.setMaxCol(1);
    sheet.setTextRC(1, 1, QStringLiteral("检查结果"));

    // Whichever file dialog comes up is taken to the database's folder, shown a while, its files
    // looked into, and cancelled.
    QStringList seen;
    QTimer watcher;
    watcher.setInterval(20);
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        watcher.stop();
        dialog->setDirectory(folder);
        QTest::qWait(150);
        seen << dialog->windowTitle() + QLatin1Char(':') + QString::number(test::lookIntoEveryFile(folder));
        dialog->reject();
    });
    const struct {
        const char* what;
        std::function<void()> open;
    } dialogs[] = {
        {"选择文件",
         [&] {
             window.findChild<QPushButton*>(QStringLiteral("cmdOpen"))->click();
         }},
        {"导出计划模板",
         [&] {
             frmPlan::writeTemplate(context, &window);
         }},
        {"导出到 Excel",
         [&] {
             host.services()->sheets()->ExportSheet(&sheet, QStringLiteral("检查结果"), true);
         }},
        {"保存统计图",
         [&] {
             chart.saveAction()->trigger();
         }},
    };
    int round = 0;
    for (const auto& d : dialogs) {
        SCOPED_TRACE(d.what);
        watcher.start();
        d.open();
        watcher.stop();
        ASSERT_EQ(seen.size(), round + 1) << "no file dialog came up";
        // The database, its -wal and its -shm at least.
        EXPECT_GE(seen.last().section(QLatin1Char(':'), -1).toInt(), 3) << seen.last().toStdString();
        test::expectLocksHeld(
            *db.service(), file,
            QStringLiteral("insert into com_city(city_id, city_name, pro_id) values ('%1', '本进程', '4')")
                .arg(70 + round),
            QStringLiteral("insert into com_city(city_id, city_name, pro_id) values ('%1', '他进程', '4');")
                .arg(80 + round));
        ++round;
    }
    EXPECT_TRUE(prompt.shown.isEmpty()) << prompt.shown.join(QLatin1Char('/')).toStdString();
    // The database itself chosen as a plan: refused as no plan, and read without unlocking it.
    EXPECT_FALSE(window.openFile(file));
    EXPECT_EQ(prompt.shown.size(), 1);
    test::expectLocksHeld(
        *db.service(), file,
        QStringLiteral("insert into com_city(city_id, city_name, pro_id) values ('79', '本进程', '4')"),
        QStringLiteral("insert into com_city(city_id, city_name, pro_id) values ('89', '他进程', '4');"));
    ++round;
    EXPECT_EQ(test::SecondProcess::run(file, QStringLiteral("pragma integrity_check;")).output,
              QStringLiteral("ok"));
    EXPECT_EQ(
        db.rows(QStringLiteral("select count(*) from com_city where city_name in ('本进程', '他进程')")),
        QStringList{QString::number(2 * round)});
}

} // namespace
