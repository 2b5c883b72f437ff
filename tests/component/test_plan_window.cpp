// SPDX-License-Identifier: MIT
// The relocation plan window driven through its own buttons: a plan file with a refused row
// is checked and cannot be applied, its check result exported and read back; the corrected
// file is chosen again, checked and applied in one commit.
#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>

#include "core/context/mdl_pub_var.h"
#include "core/plan/plan_columns.h"
#include "core/plan/plan_template.h"
#include "corvan/controls/sheet.h"
#include "desktop/host_services.h"
#include "desktop/sheet_service_impl.h"
#include "relocation/frm_plan.h"
#include "support/plan_fixture.h"
#include "support/prompt_recorder.h"
#include "support/test_host.h"

using namespace corvan;
using corvan::test::PlanFixture;
using corvan::test::TestDatabase;
using corvan::test::TestHost;

namespace {

// A plan file as a planner's spreadsheet saves it: UTF-8 with a byte-order mark, CRLF lines.
// Gives the SHA-256 of its bytes in hex.
QString writeCsv(const QString& path, const QList<QStringList>& rows)
{
    QByteArray bytes("\xEF\xBB\xBF");
    for (const QStringList& row : rows)
        bytes += row.join(QLatin1Char(',')).toUtf8() + "\r\n";
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size());
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

QStringList sheetRows(const Sheet& sheet)
{
    QStringList rows;
    for (int r = 1; r <= sheet.MaxRow(); ++r) {
        QStringList cells;
        for (int c = 1; c <= sheet.MaxCol(); ++c)
            cells << sheet.TextRC(r, c);
        rows << cells.join(QLatin1Char('|'));
    }
    return rows;
}

// The sum of one column of rows shown as "a|b|c".
QString sum(const QStringList& rows, int column)
{
    int total = 0;
    for (const QString& row : rows)
        total += row.section(QLatin1Char('|'), column, column).toInt();
    return QString::number(total);
}

TEST(PlanWindow, ARefusedRowBlocksTheApplyUntilTheFileIsCorrectedThenOneCommitMovesEveryRow)
{
    TestDatabase db;
    PlanFixture::load(db, 60);
    TestHost host{db, QStringLiteral("admin")};
    test::PromptRecorder prompt;
    mdlPubVar context;
    context.setPrompt(&prompt);
    ASSERT_EQ(context.setServices(host.objectArray()), mdlPubVar::Services::Stored);
    QStringList headings;
    const PlanColumns columns = PlanColumns::of(context);
    for (const PlanColumn& column : columns.columns())
        headings << column.heading;

    // Rows 2 to 4 of the file move a G, a C and a D BTS; row 3 names a C BTS that does not exist.
    const QList<PlanFixture::Move> moves = PlanFixture::moves(db, 3);
    ASSERT_EQ(moves.size(), 3);
    const QList<QStringList> fixed = PlanFixture::sheet(headings, moves);
    QList<QStringList> failing = fixed;
    failing[2][headings.indexOf(QStringLiteral("基站编号"))] = QStringLiteral("9999999");
    QTemporaryDir folder;
    const QString planPath = folder.filePath(QStringLiteral("割接计划.csv"));
    writeCsv(planPath, failing);

    QString chosen = planPath;
    QStringList exported;
    QStringList exportErrors;
    host::SheetServiceImpl* books = host.services()->sheets();
    books->setFileChooser([&](const QString&) { return folder.filePath(QStringLiteral("检查结果.xlsx")); });
    books->setDoneNotifier([&exported](const QString& path) { exported << path; });
    books->setMessageSink([&exportErrors](const QString& text) { exportErrors << text; });

    const QStringList before = PlanFixture::resources(db);
    const QString records = db.rows(QStringLiteral("select count(*) from h_btsdispatch")).value(0);
    auto* window = new frmPlan(context);
    QPointer<frmPlan> alive(window);
    const auto gone = qScopeGuard([&alive] { delete alive.data(); });
    window->setChooser([&chosen](bool save, const QString&) { return save ? QString() : chosen; });
    window->show();
    auto* open = window->findChild<QPushButton*>(QStringLiteral("cmdOpen"));
    auto* check = window->findChild<QPushButton*>(QStringLiteral("cmdCheck"));
    auto* apply = window->findChild<QPushButton*>(QStringLiteral("cmdApply"));
    auto* exportResult = window->findChild<QPushButton*>(QStringLiteral("cmdExport"));
    auto* total = window->findChild<QLabel*>(QStringLiteral("lblTotal"));
    ASSERT_TRUE(open && check && apply && exportResult && total);
    const auto buttons = [&] {
        return QStringList{check->isEnabled() ? QStringLiteral("check") : QString(),
                           apply->isEnabled() ? QStringLiteral("apply") : QString(),
                           exportResult->isEnabled() ? QStringLiteral("export") : QString()}
            .join(QLatin1Char(','));
    };
    EXPECT_EQ(buttons(), QStringLiteral(",,"));

    open->click();
    EXPECT_EQ(total->text(), QStringLiteral("共 3 行，尚未检查"));
    EXPECT_EQ(buttons(), QStringLiteral("check,,"));
    EXPECT_TRUE(prompt.shown.isEmpty()) << prompt.shown.join(QLatin1Char('\n')).toStdString();

    // What each row shows once checked: its BTS by number and name, the room it stands in and
    // the target room by name, and what its relocation deletes, counted from the tables.
    const auto expectedRow = [&db](int line, const PlanFixture::Move& move, const QString& verdict) {
        const QString where = QStringLiteral(" where city=b.city and bts=b.basenum");
        const QString cis = QStringLiteral(" where city=b.city and ci in (select ci from res_%1cell") + where;
        const QString sql =
            QStringLiteral("select '%4',b.basenum||' '||b.basename,r.roomname,trim(t.roomname),'%5',(select "
                           "count(*) from res_%1cell") +
            where + QStringLiteral("),(select count(*) from res_%1ant") + cis +
            QStringLiteral(")),(select count(*) from res_%1antline") + cis +
            QStringLiteral(")),'' from res_%1bts b,res_baseroom r,res_baseroom t where b.basenum='%2' and "
                           "r.%1bts=b.basenum "
                           "and t.roomno='%3'");
        return QString::number(line) + QLatin1Char('|') +
               db.rows(sql.arg(move.net.toLower(), move.number, move.roomNumber, move.net, verdict)).value(0);
    };
    const QString passes = QStringLiteral("可以调整");
    const QStringList good{expectedRow(2, moves.at(0), passes), expectedRow(4, moves.at(2), passes)};

    check->click();
    const QString refused = QStringLiteral("3|C|9999999|||找不到编号为 9999999 的C网基站||||");
    EXPECT_EQ(sheetRows(*window->sheet()), (QStringList{good.at(0), refused, good.at(1)}));
    EXPECT_EQ(window->sheet()->CellForeground(2, 6), QColor(190, 0, 0));
    EXPECT_EQ(window->sheet()->CellForeground(1, 6), QColor(0, 110, 0));
    EXPECT_EQ(prompt.shown, QStringList{QStringLiteral(
                                "计划中有 1 行不能调整（见“结果”一列），请修改计划文件后重新选择并检查。")});
    EXPECT_EQ(buttons(), QStringLiteral("check,,export"));
    const QString refusedTotals =
        QStringLiteral("共 3 行：可以调整 2 行，不能调整 1 行；将删除小区 %1 个、天线 %2 个、馈线 %3 个")
            .arg(sum(good, 6), sum(good, 7), sum(good, 8));
    EXPECT_EQ(total->text(), refusedTotals);
    // Nothing was written by the check, and a refused plan cannot be applied.
    EXPECT_FALSE(window->cmdApplyClick());
    EXPECT_EQ(PlanFixture::resources(db), before);

    // The check result as a workbook: the rows as shown, then the totals below them; the
    // window's sheet keeps its three rows.
    exportResult->click();
    ASSERT_EQ(exported, QStringList{folder.filePath(QStringLiteral("检查结果.xlsx"))})
        << exportErrors.join(QLatin1Char('\n')).toStdString();
    TextSheet written;
    QString error;
    ASSERT_TRUE(books->ReadTextSheet(exported.first(), QString(), &written, nullptr, &error))
        << error.toStdString();
    QStringList writtenRows;
    for (const QStringList& row : std::as_const(written.rows))
        writtenRows << row.join(QLatin1Char('|'));
    while (!writtenRows.isEmpty() && writtenRows.last().remove(QLatin1Char('|')).isEmpty())
        writtenRows.removeLast();
    const auto cells = [](const QString& row) {
        return row.split(QLatin1Char('|')).mid(0, 9).join(QLatin1Char('|'));
    };
    EXPECT_EQ(writtenRows,
              (QStringList{QStringLiteral("批量调整计划检查结果"),
                           PlanTemplate::resultHeadings().join(QLatin1Char('|')), cells(good.at(0)),
                           QStringLiteral("3|C|9999999|||找不到编号为 9999999 的C网基站"), cells(good.at(1)),
                           QString(), refusedTotals}));
    EXPECT_EQ(sheetRows(*window->sheet()), (QStringList{good.at(0), refused, good.at(1)}));
    EXPECT_EQ(total->text(), refusedTotals);

    // The row corrected in the file, which is chosen again: the check starts over.
    prompt.shown.clear();
    chosen = folder.filePath(QStringLiteral("割接计划-改.csv"));
    const QString checksum = writeCsv(chosen, fixed);
    open->click();
    EXPECT_EQ(window->sheet()->MaxRow(), 0);
    EXPECT_EQ(total->text(), QStringLiteral("共 3 行，尚未检查"));
    EXPECT_EQ(buttons(), QStringLiteral("check,,"));
    check->click();
    const QStringList all{good.at(0), expectedRow(3, moves.at(1), passes), good.at(1)};
    EXPECT_EQ(sheetRows(*window->sheet()), all);
    EXPECT_TRUE(prompt.shown.isEmpty()) << prompt.shown.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(buttons(), QStringLiteral("check,apply,export"));
    const QString question = QStringLiteral("将按计划调整 3 个基站，删除小区 %1 个、天线 %2 个、馈线 %3 "
                                            "个，在一个事务中完成。是否执行？")
                                 .arg(sum(all, 6), sum(all, 7), sum(all, 8));

    // Declined: nothing written, the plan still ready to apply.
    EXPECT_FALSE(window->cmdApplyClick());
    EXPECT_EQ(prompt.asked, QStringList{question});
    EXPECT_EQ(PlanFixture::resources(db), before);
    EXPECT_EQ(buttons(), QStringLiteral("check,apply,export"));

    // Applied: one record per row, each BTS in its target room, what each row showed deleted.
    const auto sizes = [&db](const QString& net) {
        return db
            .rows(QStringLiteral("select (select count(*) from res_%1cell),(select count(*) from res_%1ant),"
                                 "(select count(*) from res_%1antline)")
                      .arg(net.toLower()))
            .value(0)
            .split(QLatin1Char('|'));
    };
    QList<QStringList> sizesBefore;
    for (const PlanFixture::Move& move : moves)
        sizesBefore << sizes(move.net);
    QStringList emitted;
    QObject::connect(window, &frmPlan::applied, [&emitted](const QString& plan) { emitted << plan; });
    prompt.yes = true;
    apply->click();
    ASSERT_EQ(emitted.size(), 1) << prompt.shown.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(prompt.shown, QStringList{QStringLiteral(
                                "计划执行成功：调整基站 3 个\r\n请在资源维护中添加小区、天线、馈线的信息")});
    EXPECT_EQ(buttons(), QStringLiteral(",,export"));
    const QString plan = emitted.first();
    EXPECT_EQ(
        db.rows(QStringLiteral("select plancode,title,filename,checksum,planuser,rowcount from corvan_plan")),
        QStringList{plan + QStringLiteral("|割接计划-改|割接计划-改.csv|") + checksum +
                    QStringLiteral("|admin|3")});
    EXPECT_EQ(db.rows(QStringLiteral("select count(*) from h_btsdispatch")).value(0).toInt(),
              records.toInt() + 3);
    for (int i = 0; i < 3; ++i) {
        const PlanFixture::Move& move = moves.at(i);
        const QString n = move.net.toLower();
        const QString record = window->sheet()->TextRC(i + 1, 10);
        SCOPED_TRACE(move.net.toStdString());
        // The sheet names each row's record: the BTS left its room for the target, as the
        // record says, and the journal ties the record to the plan's row.
        EXPECT_EQ(sheetRows(*window->sheet()).value(i), all.at(i) + record);
        EXPECT_EQ(
            db.rows(QStringLiteral("select roomno from res_baseroom where %1bts='%2'").arg(n, move.number)),
            QStringList{move.roomNumber});
        EXPECT_EQ(db.rows(QStringLiteral(
                              "select d.disuser,d.net,d.toroom from h_btsdispatch d,res_baseroom r where "
                              "d.discode='%1' and r.roomcode=d.toroom and r.roomno='%2'")
                              .arg(record, move.roomNumber)),
                  QStringList{QStringLiteral("admin|") + move.net + QLatin1Char('|') +
                              db.rows(QStringLiteral("select roomcode from res_baseroom where roomno='%1'")
                                          .arg(move.roomNumber))
                                  .value(0)});
        EXPECT_EQ(
            db.rows(
                QStringLiteral("select plancode,planrow from corvan_journal where discode='%1'").arg(record)),
            QStringList{plan + QLatin1Char('|') + QString::number(i + 2)});
        QStringList shrunk;
        const QStringList now = sizes(move.net);
        for (int t = 0; t < 3; ++t)
            shrunk << QString::number(sizesBefore.at(i).at(t).toInt() - now.at(t).toInt());
        EXPECT_EQ(shrunk.join(QLatin1Char('|')), all.at(i).section(QLatin1Char('|'), 6, 8));
    }
    // An applied plan is not applied twice.
    EXPECT_FALSE(window->cmdApplyClick());
    EXPECT_EQ(db.rows(QStringLiteral("select count(*) from corvan_plan")), QStringList{QStringLiteral("1")});

    window->findChild<QPushButton*>(QStringLiteral("cmdCancel"))->click();
    EXPECT_FALSE(window->isVisible());
}

} // namespace
