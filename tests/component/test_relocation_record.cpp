// SPDX-License-Identifier: MIT
#include "corvan/controls/sheet.h"
#include "entry/cls_main.h"
#include "core/mdl_pub_var.h"
#include "core/move_bts_state.h"
#include "core/relocation_record.h"
#include "support/fixture.h"
#include "support/test_host.h"

#include <QDate>
#include <QStringList>
#include <gtest/gtest.h>
#include <memory>

using namespace corvan;
using corvan::test::Fixture;
using corvan::test::TestDatabase;
using corvan::test::TestHost;

namespace {

QString u(const char* text)
{
    return QString::fromUtf8(text);
}

QStringList row(const char* c1, const char* c2 = "", const char* c3 = "", const char* c4 = "")
{
    return {u(c1), u(c2), u(c3), u(c4)};
}

// The finish page of a G relocation from 一号机房 to 二号机房 that deletes one cell, an
// antenna and a feeder.
const QList<QStringList> WorkedExample{
    row("甲市 G网基站: 一号机房 调整记录"),
    row(""),
    row("BTS", "所属机房", "一号机房", "二号机房"),
    row("BTS", "备注", "旧备注", ""),
    row(""),
    row("CELL", "小区", "3021", "删除"),
    row(""),
    row("天线", "小区3021所属", "天线1", "删除"),
    row("馈线", "小区3021所属", "L-07", "删除"),
};

const char* const WorkedExampleText = "甲市 G网基站: 一号机房 调整记录 H=62s2Q"
                                      "H=62s2Q"
                                      "BTS属性:所属机房,从:一号机房,修改为:二号机房;H=62s2Q"
                                      "BTS属性:备注,从:旧备注,修改为:空;H=62s2Q"
                                      "H=62s2Q"
                                      "删除BTS所属小区:3021;H=62s2Q"
                                      "H=62s2Q"
                                      "删除:小区3021所属天线1;H=62s2Q"
                                      "删除:小区3021所属馈线L-07;H=62s2Q";

MoveBtsState movedState(bool simpleMode = true)
{
    MoveBtsState state;
    state.net = QStringLiteral("G");
    state.simpleMode = simpleMode;
    state.cityCode = QStringLiteral("11");
    state.newCityCode = QStringLiteral("12");
    state.oldRoomCode = Fixture::roomCode(1);
    state.newRoomCode = Fixture::roomCode(5);
    return state;
}

void fill(Sheet& sheet, const QList<QStringList>& rows)
{
    sheet.setMaxCol(4);
    sheet.setMaxRow(int(rows.size()));
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < rows.at(r).size(); ++c)
            sheet.setTextRC(r + 1, c + 1, rows.at(r).at(c));
}

TEST(RelocationRecord, DisinfoOfTheWorkedExampleAndATitleOnly)
{
    EXPECT_EQ(RelocationRecord::LineMarker, QStringLiteral("H=62s2Q"));
    EXPECT_EQ(RelocationRecord::disinfo(WorkedExample), u(WorkedExampleText));
    EXPECT_EQ(RelocationRecord::disinfo({row("甲市 G网基站: 一号机房 调整记录")}),
              u("甲市 G网基站: 一号机房 调整记录 H=62s2Q"));
    EXPECT_EQ(RelocationRecord::disinfo({row("title")}), QStringLiteral("title H=62s2Q"));
    EXPECT_EQ(RelocationRecord::disinfo({}), QString());
    // Short rows read their missing texts as empty.
    EXPECT_EQ(RelocationRecord::disinfo({QStringList{}, QStringList{QStringLiteral("BTS"), u("备注")}}),
              u("H=62s2QBTS属性:备注,从:,修改为:空;H=62s2Q"));
}

TEST(RelocationRecord, EntryPerKindOfRow)
{
    // A cleared attribute, and an attribute without an old value.
    EXPECT_EQ(RelocationRecord::entry(u("BTS"), u("所属BSC"), u("BSC1"), QString()),
              u("BTS属性:所属BSC,从:BSC1,修改为:空;"));
    EXPECT_EQ(RelocationRecord::entry(u("BTS"), u("备注"), QString(), u("新备注")),
              u("BTS属性:备注,从:,修改为:新备注;"));
    // Blanks are values like any other: " " is not empty.
    EXPECT_EQ(RelocationRecord::entry(u("BTS"), u("备注"), u(" "), u(" ")), u("BTS属性:备注,从: ,修改为: ;"));
    // A value holding the marker is taken as it is; the history shows it as a line break.
    EXPECT_EQ(RelocationRecord::entry(u("BTS"), u("备注"), u("a H=62s2Q b"), QString()),
              u("BTS属性:备注,从:a H=62s2Q b,修改为:空;"));
    EXPECT_EQ(RelocationRecord::entry(u(""), u("x"), u("y"), u("z")), QString());
    // Kinds compare exactly; anything else counts as a title.
    EXPECT_EQ(RelocationRecord::entry(u("bts"), u("x"), u("y"), u("z")), u("bts "));
    EXPECT_EQ(RelocationRecord::entry(u("Cell"), u("小区"), u("3021"), u("删除")), u("Cell "));
    // The summary writes cell, antenna and feeder rows only as deletions; any other such row
    // adds nothing but its marker.
    EXPECT_EQ(RelocationRecord::entry(u("CELL"), u("小区"), u("3021"), u("保留")), QString());
    EXPECT_EQ(RelocationRecord::entry(u("天线"), u("小区3021所属"), u("天线1"), QString()), QString());
    EXPECT_EQ(RelocationRecord::entry(u("馈线"), u("小区3021所属"), u("L-07"), u("x")), QString());
}

TEST(RelocationRecord, RowsOfASheetFilledByHand)
{
    Sheet sheet;
    fill(sheet, WorkedExample);
    const QList<QStringList> rows = RelocationRecord::rowsOf(&sheet);
    EXPECT_EQ(rows, WorkedExample);
    EXPECT_EQ(RelocationRecord::disinfo(rows), u(WorkedExampleText));

    // A fifth column is not part of the summary.
    sheet.setMaxCol(5);
    sheet.setTextRC(3, 5, QStringLiteral("extra"));
    EXPECT_EQ(RelocationRecord::rowsOf(&sheet).at(2), row("BTS", "所属机房", "一号机房", "二号机房"));

    EXPECT_TRUE(RelocationRecord::rowsOf(nullptr).isEmpty());
}

TEST(RelocationRecord, InsertStatementText)
{
    const QString expected = QStringLiteral(
        "insert into "
        "h_btsdispatch(discode,distime,disuser,net,fromcity,tocity,fromroom,toroom,simplemode,disinfo) "
        "values('00000000000000000007',to_date('2026-03-07','yyyy-mm-dd'),'demo','G','11','12',"
        "'00000000000000000001','00000000000000000005','Y','title H=62s2Q')");
    EXPECT_EQ(RelocationRecord::insertStatement(QStringLiteral("00000000000000000007"), QDate(2026, 3, 7),
                                                QStringLiteral("demo"), movedState(),
                                                QStringLiteral("title H=62s2Q")),
              expected);

    // Month and day two digits, the year unpadded; "N" when not in simple mode.
    const QString other = RelocationRecord::insertStatement(
        QStringLiteral("1"), QDate(987, 12, 25), QStringLiteral("x"), movedState(false), QString());
    EXPECT_TRUE(other.contains(QStringLiteral(",to_date('987-12-25','yyyy-mm-dd'),"))) << other.toStdString();
    EXPECT_TRUE(other.endsWith(QStringLiteral(",'N','')"))) << other.toStdString();

    // Quotes are doubled in every value.
    MoveBtsState quoted = movedState();
    quoted.cityCode = QStringLiteral("1'1");
    quoted.newRoomCode = QStringLiteral("R'5");
    EXPECT_EQ(
        RelocationRecord::insertStatement(QStringLiteral("0'7"), QDate(2026, 11, 30),
                                          QStringLiteral("O'Neil"), quoted,
                                          u("BTS属性:所属机房,从:老'房,修改为:空;H=62s2Q")),
        u("insert into h_btsdispatch(discode,distime,disuser,net,fromcity,tocity,fromroom,toroom,simplemode,"
          "disinfo) values('0''7',to_date('2026-11-30','yyyy-mm-dd'),'O''Neil','G','1''1','12',"
          "'00000000000000000001','R''5','Y','BTS属性:所属机房,从:老''房,修改为:空;H=62s2Q')"));

    EXPECT_EQ(RelocationRecord::insertStatement(QStringLiteral("1"), QDate(), QStringLiteral("x"),
                                                movedState(), QString()),
              QString());
}

class RelocationRecordDbTest : public ::testing::Test {
protected:
    void SetUp() override { Fixture::load(db); }
    void TearDown() override { mdlPubVar::instance().reset(); }

    void start(const QString& user = QStringLiteral("demo"))
    {
        host = std::make_unique<TestHost>(db, user);
        component.initEnv(host->objectArray());
    }

    QStringList records()
    {
        return db.rows(
            QStringLiteral("select discode,distime,disuser,net,fromcity,tocity,fromroom,toroom,simplemode,"
                           "disinfo from h_btsdispatch order by discode"));
    }

    // The insert that saveModifyLog sent, as it must read for the code and today's date (the
    // clock is read around the call, in case the day turned meanwhile).
    void expectInsert(const QString& code, const QString& user, const MoveBtsState& state,
                      const QString& disinfo, const QDate& before, const QDate& after)
    {
        const QStringList sent = host->recorder()->statements();
        ASSERT_EQ(sent.size(), 2) << sent.join(QLatin1Char('\n')).toStdString();
        EXPECT_EQ(sent.at(0), QStringLiteral("select max(to_number(discode)) from h_btsdispatch"));
        const QString atBefore = RelocationRecord::insertStatement(code, before, user, state, disinfo);
        const QString atAfter = RelocationRecord::insertStatement(code, after, user, state, disinfo);
        EXPECT_TRUE(sent.at(1) == atBefore || sent.at(1) == atAfter) << sent.at(1).toStdString();
    }

    TestDatabase db;
    std::unique_ptr<TestHost> host;
    clsMain component;
};

TEST_F(RelocationRecordDbTest, SaveModifyLogWritesTheSheetAsOneRow)
{
    start();
    db.exec(
        QStringLiteral("insert into h_btsdispatch(discode,disinfo) values ('00000000000000000041','old')"));
    host->recorder()->clear();

    Sheet sheet;
    fill(sheet, WorkedExample);
    const MoveBtsState state = movedState();
    const QDate before = QDate::currentDate();
    ASSERT_TRUE(RelocationRecord::saveModifyLog(state, &sheet));
    const QDate after = QDate::currentDate();

    expectInsert(QStringLiteral("00000000000000000042"), QStringLiteral("demo"), state, u(WorkedExampleText),
                 before, after);
    const QStringList stored = records();
    ASSERT_EQ(stored.size(), 2);
    const QString prefix = QStringLiteral("00000000000000000042|");
    const QString rest =
        QStringLiteral("|demo|G|11|12|00000000000000000001|00000000000000000005|Y|") + u(WorkedExampleText);
    EXPECT_TRUE(stored.at(1) == prefix + before.toString(Qt::ISODate) + rest ||
                stored.at(1) == prefix + after.toString(Qt::ISODate) + rest)
        << stored.at(1).toStdString();
    // The sheet is read, never changed: a second commit would record the same rows.
    EXPECT_EQ(RelocationRecord::rowsOf(&sheet), WorkedExample);

    // Not in simple mode the row says so.
    host->recorder()->clear();
    ASSERT_TRUE(RelocationRecord::saveModifyLog(movedState(false), &sheet));
    EXPECT_EQ(
        db.rows(QStringLiteral("select simplemode from h_btsdispatch where discode='00000000000000000043'")),
        QStringList{QStringLiteral("N")});
}

TEST_F(RelocationRecordDbTest, QuotesBackslashesAndMarkersAreStoredAsTheyAre)
{
    start(QStringLiteral("O'Neil"));
    Sheet sheet;
    fill(sheet,
         {row("甲市 G网基站: 老'机房 调整记录"), row(""), row("BTS", "所属机房", "老'机房", "新''机房"),
          row("BTS", "备注", "C:\\temp\\n", "a H=62s2Q b")});
    MoveBtsState state = movedState();
    state.oldRoomCode = QStringLiteral("JF'01");
    const QString disinfo = u("甲市 G网基站: 老'机房 调整记录 H=62s2QH=62s2Q"
                              "BTS属性:所属机房,从:老'机房,修改为:新''机房;H=62s2Q"
                              "BTS属性:备注,从:C:\\temp\\n,修改为:a H=62s2Q b;H=62s2Q");
    host->recorder()->clear();
    const QDate before = QDate::currentDate();
    ASSERT_TRUE(RelocationRecord::saveModifyLog(state, &sheet));
    const QDate after = QDate::currentDate();
    expectInsert(QStringLiteral("00000000000000000001"), QStringLiteral("O'Neil"), state, disinfo, before,
                 after);

    EXPECT_EQ(db.rows(QStringLiteral("select disuser,fromroom,disinfo from h_btsdispatch")),
              QStringList{QStringLiteral("O'Neil|JF'01|") + disinfo});
}

TEST_F(RelocationRecordDbTest, AFailedCodeLookupWritesNoRecord)
{
    start();
    Sheet sheet;
    fill(sheet, {row("title")});
    // The code lookup fails: the generator's fallback of twenty zeros is no code to file a
    // record under, so nothing is inserted and the commit learns of the failure.
    host->recorder()->failWhen(
        [](const QString& sql) { return sql.startsWith(QStringLiteral("select max(to_number(discode))")); });
    EXPECT_FALSE(RelocationRecord::saveModifyLog(movedState(), &sheet));
    EXPECT_EQ(host->recorder()->statements(),
              QStringList{QStringLiteral("select max(to_number(discode)) from h_btsdispatch")});
    EXPECT_EQ(db.rows(QStringLiteral("select count(*) from h_btsdispatch")), QStringList{QStringLiteral("0")});

    host->recorder()->failWhen({});
    ASSERT_TRUE(RelocationRecord::saveModifyLog(movedState(), &sheet));
    EXPECT_EQ(db.rows(QStringLiteral("select discode,disinfo from h_btsdispatch")),
              QStringList{QStringLiteral("00000000000000000001|title H=62s2Q")});
}

TEST_F(RelocationRecordDbTest, FailingInsertOrMissingPiecesWriteNothing)
{
    start();
    Sheet sheet;
    fill(sheet, {row("title")});
    host->recorder()->clear();
    host->recorder()->failWhen(
        [](const QString& sql) { return sql.startsWith(QStringLiteral("insert into h_btsdispatch")); });
    EXPECT_FALSE(RelocationRecord::saveModifyLog(movedState(), &sheet));
    EXPECT_EQ(host->recorder()->statements().size(), 2);
    host->recorder()->failWhen({});

    // No sheet to read: nothing is asked of the database.
    host->recorder()->clear();
    EXPECT_FALSE(RelocationRecord::saveModifyLog(movedState(), nullptr));
    EXPECT_TRUE(host->recorder()->statements().isEmpty());

    // Without the host's services there is no record either.
    mdlPubVar::instance().reset();
    EXPECT_FALSE(RelocationRecord::saveModifyLog(movedState(), &sheet));
    EXPECT_TRUE(host->recorder()->statements().isEmpty());
    EXPECT_TRUE(records().isEmpty());
}

} // namespace
