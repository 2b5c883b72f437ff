// SPDX-License-Identifier: MIT
// Nothing a relocation deletes is lost: G BTS 101 (four cells, six antennas, five feeders,
// a picture) moves from 一号机房 to 三号机房, and its reversal puts every row back.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QXmlStreamReader>

#include "core/context/resource_view.h"
#include "core/history/track.h"
#include "core/journal/journal.h"
#include "core/journal/reentry.h"
#include "core/relocation/connection_loss.h"
#include "core/relocation/relocation_session.h"
#include "core/reversal/reversal.h"
#include "corvan/controls/property_item.h"
#include "corvan/controls/sheet.h"
#include "desktop/xlsx_export.h"
#include "history/history_sheets.h"
#include "support/context_test.h"
#include "support/pg_servers.h"
#include "support/plain_data_service.h"
#include "support/prompt_recorder.h"

using namespace corvan;
using namespace Qt::StringLiterals;
using corvan::test::Fixture;

namespace {

// A picture with every byte value, the zero byte first.
QByteArray picture()
{
    QByteArray bytes;
    for (int i = 0; i < 256; ++i)
        bytes.append(char(i));
    return bytes;
}

class ReversalTest : public corvan::test::WizardContextTest {
protected:
    void SetUp() override
    {
        corvan::test::WizardContextTest::SetUp();
        db.exec(QStringLiteral("update res_gbts set photo=corvan_blob('%1') where basenum='101'")
                    .arg(QString::fromLatin1(picture().toHex())));
        before = tables();
    }

    // Every column of every resource row a relocation touches, pictures as hex.
    QStringList tables()
    {
        QStringList all;
        for (const char* table :
             {"res_gbts", "res_cbts", "res_baseroom", "res_gcell", "res_gant", "res_gantline"}) {
            auto rs = context.db().open(QStringLiteral("select * from %1").arg(QLatin1String(table)));
            EXPECT_TRUE(rs != nullptr) << table;
            QStringList rows;
            for (rs->MoveFirst(); rs && !rs->isEOF(); rs->MoveNext()) {
                QStringList row;
                for (int i = 0; i < rs->FieldCount(); ++i) {
                    const QVariant value = rs->Value(i);
                    row << (value.typeId() == QMetaType::QByteArray
                                ? QString::fromLatin1(value.toByteArray().toHex())
                            : value.isNull() ? QStringLiteral("<null>")
                                             : value.toString());
                }
                rows << QLatin1String(table) + QLatin1Char(':') + row.join(QLatin1Char('|'));
            }
            rows.sort();
            all << rows;
        }
        return all;
    }

    // Moves a BTS to a room of 甲市 the way the wizard does; the record's code.
    QString relocate(const QString& net, int bts, const QString& room)
    {
        QMap<QString, AttrTable> shown;
        EXPECT_TRUE(ResourceView::GetResourceData(context, QStringLiteral("v_res_%1bts").arg(net.toLower()),
                                                  Fixture::btsCode(bts), &shown[net]));
        PropertyItems page;
        corvan::test::PromptRecorder prompt;
        RelocationSession session(context, page, prompt);
        QString code;
        QObject::connect(&session, &RelocationSession::relocated,
                         [&code](const QString&, const QString&, const QString& record) { code = record; });
        EXPECT_TRUE(session.start(net, shown, true));
        page.GetItem(QStringLiteral("city"))->setValue(QStringLiteral("甲市"));
        page.GetItem(QStringLiteral("belongroom"))->setValue(room);
        EXPECT_TRUE(session.next() && session.commit()) << prompt.shown.join(QLatin1Char('/')).toStdString();
        return code;
    }
    // Plans and runs the reversal as the window does; the refusal or the reversal's code.
    QString reverse(const QString& code)
    {
        const Reversal::Plan plan = Reversal::plan(context, code);
        if (!plan.ok())
            return plan.refusal;
        const CommitOutcome outcome = Reversal::run(context, code, plan.rows);
        return outcome.done() ? outcome.recordCode : outcome.message;
    }

    QStringList before;
};

TEST_F(ReversalTest, PutsBackEveryRowTheRelocationChangedOrDeleted)
{
    const QString moved = relocate(QStringLiteral("G"), 101, QStringLiteral("三号机房"));
    ASSERT_EQ(moved, QStringLiteral("00000000000000000001"));
    // A cell entered for the BTS in its new room since: the reversal deletes it.
    db.exec(QStringLiteral("insert into res_gcell(cellcode,ci,city,bts) values ('%1','3029','11','101')")
                .arg(Fixture::roomCode(309)));

    const Reversal::Plan plan = Reversal::plan(context, moved);
    ASSERT_TRUE(plan.ok()) << plan.refusal.toStdString();
    const QList<QStringList> rows = summaryTexts(plan.rows);
    EXPECT_EQ(rows.first().first(),
              QStringLiteral("甲市 G网基站: 三号机房 撤销调整记录 00000000000000000001"));
    EXPECT_TRUE(rows.contains({QStringLiteral("BTS"), QStringLiteral("所属机房"), QStringLiteral("三号机房"),
                               QStringLiteral("一号机房")}));
    EXPECT_TRUE(
        rows.contains({QStringLiteral("机房"), QStringLiteral("三号机房 G网"), QStringLiteral("101"), {}}));
    EXPECT_TRUE(
        rows.contains({QStringLiteral("机房"), QStringLiteral("一号机房 G网"), {}, QStringLiteral("101")}));
    EXPECT_TRUE(rows.contains(
        {QStringLiteral("CELL"), QStringLiteral("小区"), QStringLiteral("3029"), QStringLiteral("删除")}));
    int restored = 0;
    for (const QStringList& row : rows)
        restored += row.value(3) == QStringLiteral("恢复");
    EXPECT_EQ(restored, 4 + 6 + 5);

    host.recorder()->clear();
    const QString reversal = reverse(moved);
    ASSERT_EQ(reversal, QStringLiteral("00000000000000000002"));
    // Planned for the user to see, then planned again and written inside one transaction.
    const QStringList calls = host.recorder()->calls();
    ASSERT_EQ(calls.count(QStringLiteral("BEGIN")), 1);
    EXPECT_EQ(calls.last(), QStringLiteral("COMMIT"));
    EXPECT_EQ(calls.mid(calls.indexOf(QStringLiteral("BEGIN")))
                  .filter(QStringLiteral("EXEC insert into res_gcell"))
                  .size(),
              4);
    // Its budget: 28 reads (the plan, made for the user and again inside the transaction, the
    // record's code, the BTS as it ends) and 22 writes (the BTS, its two rooms, the 15 rows put
    // back one by one, the cell entered since, the record, the journal's entry and mark); on a
    // server that locks cities apart, one more read: the record's cities, to lock them first.
    const int cities = host.recorder()->LocksByCity() ? 1 : 0;
    EXPECT_EQ(calls.filter(QRegularExpression(QStringLiteral("^OPEN "))).size(), 28 + cities);
    EXPECT_EQ(calls.filter(QRegularExpression(QStringLiteral("^EXEC "))).size(), 22);
    EXPECT_EQ(calls.size(), 52 + cities) << calls.join(QLatin1Char('\n')).toStdString();
    // What came after it is read by code alone: the bodies of a BTS's entries, which hold every
    // cell it had, are not read back for every reversal.
    const QString later =
        QStringLiteral("OPEN ") + Journal::laterStatement(QStringLiteral("g"), Fixture::btsCode(101), moved);
    EXPECT_EQ(
        later,
        QStringLiteral("OPEN select discode,reverses from corvan_journal where net='G' and basecode='%1' and "
                       "discode>'00000000000000000001' order by discode")
            .arg(Fixture::btsCode(101)));
    EXPECT_EQ(calls.count(later), 2);
    EXPECT_EQ(calls.filter(QStringLiteral(",entry from corvan_journal where net=")).size(), 0);
    EXPECT_EQ(tables(), before) << "table by table, every column, the picture included";
    // Its own record, from the new room back to the old, and the original marked reversed.
    EXPECT_EQ(
        db.rows(QStringLiteral("select discode,net,fromcity,tocity,fromroom,toroom from h_btsdispatch "
                               "where discode='%1'")
                    .arg(reversal)),
        QStringList{
            QStringLiteral("%1|G|11|11|%2|%3").arg(reversal, Fixture::roomCode(4), Fixture::roomCode(1))});
    const QString disinfo =
        db.rows(QStringLiteral("select disinfo from h_btsdispatch where discode='%1'").arg(reversal))
            .value(0);
    EXPECT_TRUE(disinfo.startsWith(
        QStringLiteral("甲市 G网基站: 三号机房 撤销调整记录 00000000000000000001 H=62s2QH=62s2Q"
                       "BTS属性:所属机房,从:三号机房,修改为:一号机房;")))
        << disinfo.toStdString();
    EXPECT_TRUE(disinfo.contains(QStringLiteral("删除BTS所属小区:3029;H=62s2Q")));
    EXPECT_TRUE(disinfo.contains(QStringLiteral("恢复BTS所属小区:3021;H=62s2Q")));
    EXPECT_TRUE(disinfo.contains(QStringLiteral("恢复:小区3024所属馈线L-05;H=62s2Q")));
    EXPECT_EQ(Journal::read(context, moved)->reversedBy, reversal);
    EXPECT_EQ(Journal::read(context, reversal)->reverses, moved);

    // In order, the latest first: the first relocation cannot be reversed twice, the reversal
    // can (which moves the BTS again, the entered cell back with it), and then again.
    EXPECT_EQ(reverse(moved), Reversal::AlreadyReversed.arg(reversal));
    const QString redo = reverse(reversal);
    EXPECT_EQ(redo, QStringLiteral("00000000000000000003"));
    EXPECT_EQ(db.rows(QStringLiteral("select cellcode from res_gcell where bts='101'")),
              QStringList{Fixture::roomCode(309)});
    EXPECT_EQ(reverse(redo), QStringLiteral("00000000000000000004"));
    EXPECT_EQ(tables(), before);
}

TEST_F(ReversalTest, EveryRefusalSaysWhichAndChangesNothing)
{
    const QString moved = relocate(QStringLiteral("G"), 101, QStringLiteral("三号机房"));
    const QStringList relocated = tables();
    db.exec(QStringLiteral("insert into h_btsdispatch(discode,net) values ('00000000000000000099','G')"));
    struct Case {
        const char* what;
        QString setUp;
        QString code;
        QString refusal;
        QString undo;
    };
    const Case cases[] = {
        {"no journal", {}, QStringLiteral("00000000000000000099"), Reversal::NoJournal, {}},
        {"BTS edited since", QStringLiteral("update res_gbts set remark='改过' where basenum='101'"), moved,
         Reversal::BtsChanged, QStringLiteral("update res_gbts set remark='' where basenum='101'")},
        {"old room taken",
         QStringLiteral("update res_baseroom set gbts='102' where roomcode='%1'").arg(Fixture::roomCode(1)),
         moved, Reversal::RoomTaken.arg(QStringLiteral("一号机房"), QStringLiteral("G")),
         QStringLiteral("update res_baseroom set gbts=null where roomcode='%1'").arg(Fixture::roomCode(1))},
        {"a restored code taken",
         QStringLiteral("insert into res_gant(antcode,ci,city) values ('%1','9','12')")
             .arg(Fixture::roomCode(403)),
         moved, Reversal::CodeTaken.arg(QStringLiteral("天线"), Fixture::roomCode(403)),
         QStringLiteral("delete from res_gant where antcode='%1'").arg(Fixture::roomCode(403))},
    };
    for (const Case& c : cases) {
        if (!c.setUp.isEmpty())
            db.exec(c.setUp);
        const QStringList state = tables();
        EXPECT_EQ(reverse(c.code), c.refusal) << c.what;
        EXPECT_EQ(tables(), state) << c.what;
        if (!c.undo.isEmpty())
            db.exec(c.undo);
    }
    // A host without transactions could leave a reversal half done: it is refused.
    corvan::test::PlainDataService plain(host.recorder());
    ASSERT_TRUE(context.setDataService(&plain));
    EXPECT_EQ(Reversal::run(context, moved, Reversal::plan(context, moved).rows).message,
              Reversal::NoTransactions);
    EXPECT_EQ(tables(), relocated);
}

// A later relocation that left every column of the BTS and both rooms as they were, and only
// deleted the cells and the antenna entered since, still stands between the older move and
// its reversal: the older one waits until the later one is reversed.
TEST_F(ReversalTest, AnOlderMoveWaitsForALaterOneThatChangedOnlyItsCellsAndAntennas)
{
    const QString moved = relocate(QStringLiteral("G"), 101, QStringLiteral("三号机房"));
    db.exec(QStringLiteral("insert into res_gcell(cellcode,ci,city,bts) values ('%1','3029','11','101')")
                .arg(Fixture::roomCode(309)));
    db.exec(QStringLiteral("insert into res_gant(antcode,ci,city) values ('%1','3029','11')")
                .arg(Fixture::roomCode(409)));
    // The later relocation keeps the room and writes the remark it already has.
    db.exec(QStringLiteral("update gui_option set g_value='remark' where g_name='GBtsDispatchModify'"));
    db.exec(QStringLiteral("update gui_option set g_value='' where g_name='GBtsDispatchRemove'"));
    const QStringList entered = tables();
    const QString later = relocate(QStringLiteral("G"), 101, QStringLiteral("三号机房"));
    ASSERT_EQ(later, QStringLiteral("00000000000000000002"));
    EXPECT_EQ(db.rows(QStringLiteral("select count(*) from res_gcell where bts='101'")),
              QStringList{QStringLiteral("0")});
    EXPECT_EQ(db.rows(QStringLiteral("select count(*) from res_gant where ci='3029'")),
              QStringList{QStringLiteral("0")});
    const QStringList now = tables();
    EXPECT_EQ(reverse(moved), Reversal::LaterFirst.arg(later));
    EXPECT_EQ(tables(), now);
    // Later first, then the older one: everything is back.
    EXPECT_EQ(reverse(later), QStringLiteral("00000000000000000003"));
    EXPECT_EQ(tables(), entered);
    EXPECT_EQ(reverse(moved), QStringLiteral("00000000000000000004"));
    EXPECT_EQ(tables(), before);
}

TEST_F(ReversalTest, AnInjectedFailureAtAnyStatementChangesNothing)
{
    const QString moved = relocate(QStringLiteral("G"), 101, QStringLiteral("三号机房"));
    const QStringList relocated = tables();
    const SummaryRows rows = Reversal::plan(context, moved).rows;
    int injected = 0;
    for (int k = 1; k < 200; ++k) {
        int seen = 0;
        host.recorder()->failWhen([&seen, k](const QString&) { return ++seen == k; });
        const CommitOutcome outcome = Reversal::run(context, moved, rows);
        host.recorder()->failWhen({});
        if (outcome.done())
            break;
        ++injected;
        EXPECT_EQ(tables(), relocated) << "statement " << k;
        EXPECT_TRUE(Journal::read(context, moved)->reversedBy.isEmpty()) << "statement " << k;
    }
    std::printf("[ figures ] %d injected failures in a reversal, none left a change\n", injected);
    EXPECT_GT(injected, 30);
    EXPECT_EQ(tables(), before);

    // The connection lost in the middle of the next reversal's writes: told as such, nothing
    // changed, and the same reversal goes through once the database is there again.
    const QString again = relocate(QStringLiteral("G"), 101, QStringLiteral("三号机房"));
    const QStringList againRelocated = tables();
    const SummaryRows againRows = Reversal::plan(context, again).rows;
    db.service()->setReconnectSchedule({0, 100});
    corvan::test::Outage outage{db};
    bool broken = false;
    host.recorder()->beforeCall([&](const QString& call) {
        if (!broken && call.startsWith(QLatin1String("EXEC insert into h_btsdispatch"))) {
            broken = true;
            outage.begin();
        }
    });
    const CommitOutcome lost = Reversal::run(context, again, againRows);
    host.recorder()->beforeCall({});
    outage.end();
    EXPECT_EQ(lost.result, CommitOutcome::Result::ConnectionLost);
    EXPECT_TRUE(lost.message.startsWith(ConnectionLoss::message(ConnectionLoss::Work::Reversal) +
                                        QStringLiteral("\r\n")))
        << lost.message.toStdString();
    EXPECT_EQ(tables(), againRelocated);
    EXPECT_TRUE(Reversal::run(context, again, againRows).done());
}

TEST_F(ReversalTest, TimelineAndReentryWorksheetFromTheJournal)
{
    const QString moved = relocate(QStringLiteral("G"), 101, QStringLiteral("三号机房"));
    // A record from before the journal, into the BTS's room: matched by room and network.
    db.exec(QStringLiteral("insert into h_btsdispatch(discode,distime,disuser,net,fromroom,toroom) values "
                           "('00000000000000000000',to_date('2006-01-02','yyyy-mm-dd'),'old','G','%1','%2')")
                .arg(Fixture::roomCode(2), Fixture::roomCode(1)));
    const QString today =
        db.rows(QStringLiteral("select distime from h_btsdispatch where discode='%1'").arg(moved))
            .value(0)
            .left(10);
    // The entry keeps the time of day beside the record's bare day.
    const QString written =
        db.rows(QStringLiteral("select entrytime from corvan_journal where discode='%1'").arg(moved))
            .value(0);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$"))
                    .match(written)
                    .hasMatch())
        << written.toStdString();
    const QList<Track::Item> bts =
        Track::ofBts(context, QStringLiteral("G"), Fixture::btsCode(101), Fixture::roomCode(4));
    ASSERT_EQ(bts.size(), 2);
    EXPECT_EQ(bts.at(0).caption,
              today + QLatin1Char(' ') + written.mid(11) + QStringLiteral(",demo,G网,从一号机房到三号机房"));
    EXPECT_EQ(bts.at(1).caption,
              QStringLiteral("2006-01-02,old,G网,从二号机房到一号机房") + Track::InferredMark);
    EXPECT_TRUE(Track::ofBts(context, QStringLiteral("C"), Fixture::btsCode(201), QString()).isEmpty());
    const QList<Track::Item> room = Track::ofRoom(context, Fixture::roomCode(1));
    ASSERT_EQ(room.size(), 2);
    EXPECT_FALSE(room.at(1).inferred);

    const QList<Reentry::Table> sheets = Reentry::tables(context, moved);
    ASSERT_EQ(sheets.size(), 4);
    EXPECT_EQ(sheets.at(1).name, QStringLiteral("小区"));
    EXPECT_EQ(sheets.at(1).rows.size(), 4);
    EXPECT_EQ(
        sheets.at(1).columns.mid(0, 3),
        (QStringList{QStringLiteral("小区编码"), QStringLiteral("小区名称"), QStringLiteral("小区CI")}));
    EXPECT_EQ(sheets.at(2).rows.size(), 6);
    EXPECT_EQ(sheets.at(2).columns.first(), QStringLiteral("antcode"))
        << "no captions for antennas: column names";
    EXPECT_EQ(sheets.at(3).rows.size(), 5);
    EXPECT_TRUE(Reentry::tables(context, QStringLiteral("00000000000000000000")).isEmpty());
}

// The worksheet a user re-enters from: where the BTS stands now, the names of cities and
// counties beside their codes, and the host's number columns as numbers in the workbook.
TEST_F(ReversalTest, ReentryWorksheetNamesTheCodesAndWritesNumbersAsNumbers)
{
    db.exec(QStringLiteral("update res_gant set azimuth=120, height=25.5 where antname='A1'"));
    db.exec(QStringLiteral("update res_gant set azimuth=1832 where antname='A2'"));
    db.exec(
        QStringLiteral("insert into host_field(viewname,fieldname,serial,caption,datatype,groupname,display,"
                       "emphasis,required,lookup) values "
                       "('res_gant','antcode',1,'天线编码','char','基本信息','Y','0','Y',null),"
                       "('res_gant','azimuth',2,'方位角','int','设备信息','Y','0','Y',null),"
                       "('res_gant','height',3,'挂高(米)','num','设备信息','Y','0','Y',null)"));
    const QString moved = relocate(QStringLiteral("G"), 101, QStringLiteral("三号机房"));
    const QList<Reentry::Table> tables = Reentry::tables(context, moved);
    QStringList names;
    for (const auto& table : tables)
        names << table.name;
    ASSERT_EQ(names, (QStringList{QStringLiteral("基站新位置"), QStringLiteral("小区"),
                                  QStringLiteral("天线"), QStringLiteral("馈线")}));
    QStringList location;
    for (const QStringList& row : tables.at(0).rows)
        location << row.join(QLatin1Char('='));
    EXPECT_EQ(location, (QStringList{QStringLiteral("网络类型=G 网"), QStringLiteral("基站名称=甲一G基站"),
                                     QStringLiteral("基站编码=") + Fixture::btsCode(101),
                                     QStringLiteral("基站编号=101"), QStringLiteral("所在机房=三号机房"),
                                     QStringLiteral("机房编码=") + Fixture::roomCode(4),
                                     QStringLiteral("所属地市=11"), QStringLiteral("地市名称=甲市"),
                                     QStringLiteral("所属区县=1101"), QStringLiteral("区县名称=东区")}));
    const Reentry::Table& cells = tables.at(1);
    EXPECT_EQ(cells.columns.mid(4, 4), (QStringList{QStringLiteral("所属地市"), QStringLiteral("地市名称"),
                                                    QStringLiteral("county"), QStringLiteral("区县名称")}));
    EXPECT_EQ(cells.rows.value(0).mid(0, 8),
              (QStringList{Fixture::roomCode(301), QStringLiteral("甲一小区1"), QStringLiteral("3021"),
                           QStringLiteral("101"), QStringLiteral("11"), QStringLiteral("甲市"),
                           QStringLiteral("1101"), QStringLiteral("东区")}));
    const Reentry::Table& antennas = tables.at(2);
    EXPECT_EQ(antennas.columns.mid(3, 5),
              (QStringList{QStringLiteral("city"), QStringLiteral("地市名称"), QStringLiteral("anttype"),
                           QStringLiteral("方位角"), QStringLiteral("挂高(米)")}));
    EXPECT_EQ(antennas.numbers, (QList<bool>{false, false, false, false, false, false, true, true, false}));

    // Written by the host's writer and read back: numbers where the host says so, texts elsewhere
    // (a code with its leading zeros stays a text), nothing where a number is missing.
    corvan::HistorySheets::Book book;
    corvan::HistorySheets::reentry(book, tables);
    QList<corvan::host::XlsxExport::Part> parts;
    for (qsizetype i = 0; i < book.sheets.size(); ++i)
        parts << corvan::host::XlsxExport::Part{book.sheets.at(i), book.names.at(i)};
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("reentry.xlsx"));
    QString error;
    ASSERT_TRUE(corvan::host::XlsxExport::write(parts, QStringLiteral("小区天馈清单"), file, &error))
        << error.toStdString();
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"),
                {QStringLiteral("-p"), file, QStringLiteral("xl/worksheets/sheet3.xml")});
    ASSERT_TRUE(unzip.waitForFinished(30000));
    // Cell address → "n:value" for a number, "s" for a text, "" for a blank.
    QMap<QString, QString> kinds;
    QXmlStreamReader xml(unzip.readAllStandardOutput());
    QString address;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("c")) {
            address = xml.attributes().value(QLatin1String("r")).toString();
            const QString type = xml.attributes().value(QLatin1String("t")).toString();
            kinds[address] = type.isEmpty() ? QString() : type;
        } else if (xml.isStartElement() && xml.name() == QLatin1String("v") && kinds[address].isEmpty()) {
            kinds[address] = QStringLiteral("n:") + xml.readElementText();
        }
    }
    // Row 1 is the title, row 2 the captions, then the antennas in the journal's order.
    const auto rowOf = [&](const QString& name) {
        for (qsizetype r = 0; r < antennas.rows.size(); ++r)
            if (antennas.rows.at(r).value(1) == name)
                return QString::number(r + 3);
        return QString();
    };
    const QString a1 = rowOf(QStringLiteral("A1"));
    const QString a2 = rowOf(QStringLiteral("A2"));
    EXPECT_EQ(kinds.value(QStringLiteral("G2")), QStringLiteral("s"));
    EXPECT_EQ(kinds.value(QStringLiteral("A") + a1), QStringLiteral("s"));
    EXPECT_EQ(kinds.value(QStringLiteral("E") + a1), QStringLiteral("s"));
    EXPECT_EQ(kinds.value(QStringLiteral("G") + a1), QStringLiteral("n:120"));
    EXPECT_EQ(kinds.value(QStringLiteral("H") + a1), QStringLiteral("n:25.5"));
    EXPECT_EQ(kinds.value(QStringLiteral("G") + a2), QStringLiteral("n:1832"));
    EXPECT_EQ(kinds.value(QStringLiteral("H") + a2), QString());
    EXPECT_EQ(book.sheets.at(2)->TextRC(a1.toInt() - 1, 7), QStringLiteral("120"));
}

// Three moves of one day told apart by their times, not by their codes: the reversal and the
// move after it carry a time (set here out of code order), the first move was written before
// the journal kept times and comes after them; the reversal and what it reversed are marked.
TEST_F(ReversalTest, TheTrackOrdersMovesOfOneDayByTheirTimeAndMarksReversals)
{
    const QString first = relocate(QStringLiteral("G"), 101, QStringLiteral("三号机房"));
    const QString reversal = reverse(first);
    const QString again = relocate(QStringLiteral("G"), 101, QStringLiteral("三号机房"));
    ASSERT_EQ((QStringList{first, reversal, again}),
              (QStringList{u"00000000000000000001"_s, u"00000000000000000002"_s, u"00000000000000000003"_s}));
    const QString today =
        db.rows(QStringLiteral("select distime from h_btsdispatch where discode='%1'").arg(first))
            .value(0)
            .left(10);
    const auto setTime = [&](const QString& code, const QString& time) {
        db.exec(QStringLiteral("update corvan_journal set entrytime=%1 where discode='%2'")
                    .arg(time.isEmpty() ? QStringLiteral("null") : QStringLiteral("'%1 %2'").arg(today, time),
                         code));
    };
    setTime(first, {});
    setTime(reversal, QStringLiteral("08:00:00"));
    setTime(again, QStringLiteral("07:30:05"));
    const QStringList expected{
        today + QStringLiteral(" 08:00:00,demo,G网,从三号机房到一号机房") + Track::ReversalMark,
        today + QStringLiteral(" 07:30:05,demo,G网,从一号机房到三号机房"),
        today + QStringLiteral(",demo,G网,从一号机房到三号机房") + Track::ReversedMark};
    const auto captions = [](const QList<Track::Item>& items) {
        QStringList out;
        for (const Track::Item& item : items)
            out << item.caption;
        return out;
    };
    const QList<Track::Item> bts =
        Track::ofBts(context, QStringLiteral("G"), Fixture::btsCode(101), Fixture::roomCode(4));
    EXPECT_EQ(captions(bts), expected);
    ASSERT_EQ(bts.size(), 3);
    EXPECT_TRUE(bts.at(0).reversal);
    EXPECT_FALSE(bts.at(1).reversal);
    EXPECT_EQ(captions(Track::ofRoom(context, Fixture::roomCode(4))), expected);

    // The order alone, of days, times and codes; a day that is no date orders as its text.
    using D = Track::Dated;
    const struct {
        D a, b;
        bool aFirst;
    } cases[] = {
        {D{u"2026-12-08"_s, {}, u"1"_s}, D{u"2026-12-07"_s, u"23:59:59"_s, u"2"_s}, true},
        {D{u"2026-12-08"_s, {}, u"9"_s}, D{u"2026-12-08"_s, u"00:00:00"_s, u"2"_s}, false},
        {D{u"2026-12-08"_s, u"10:00:00"_s, u"1"_s}, D{u"2026-12-08"_s, u"09:59:59"_s, u"2"_s}, true},
        {D{u"2026-12-08"_s, u"10:00:00"_s, u"1"_s}, D{u"2026-12-08"_s, u"10:00:00"_s, u"2"_s}, false},
        {D{u"2026-12-08"_s, {}, u"3"_s}, D{u"2026-12-08"_s, {}, u"2"_s}, true},
        {D{u"x"_s, {}, u"1"_s}, D{u"2026-12-08"_s, {}, u"2"_s}, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Track::newerFirst(c.a, c.b), c.aFirst)
            << c.a.day.toStdString() << ' ' << c.a.time.toStdString();
        EXPECT_EQ(Track::newerFirst(c.b, c.a), !c.aFirst);
    }
}

// A relocation and a reversal of the same BTS at the same moment: never both.
TEST_F(ReversalTest, ReversingAndRelocatingAtOnceCannotBothSucceed)
{
    const QString moved = relocate(QStringLiteral("G"), 101, QStringLiteral("三号机房"));
    const SummaryRows rows = Reversal::plan(context, moved).rows;
    QTemporaryDir folder;
    const QString go = folder.filePath(QStringLiteral("go"));
    QProcess other;
    other.setProgram(
        QDir(qEnvironmentVariable("CORVAN_BIN_DIR")).filePath(QStringLiteral("corvan-commit-probe")));
    other.setArguments({db.location(), QStringLiteral("11"), QStringLiteral("三号机房"), QStringLiteral("G"),
                        QStringLiteral("二号机房"), go});
    other.start();
    // The other user has passed Next when the ready file appears.
    for (int i = 0;
         i < 6000 && QDir(folder.path()).entryList({QStringLiteral("go.ready.*")}, QDir::Files).isEmpty();
         ++i)
        QThread::msleep(5);
    QFile(go).open(QIODevice::WriteOnly);
    const CommitOutcome reversal = Reversal::run(context, moved, rows);
    ASSERT_TRUE(other.waitForFinished(60000));
    const QString relocation = QString::fromUtf8(other.readAllStandardOutput()).trimmed();
    EXPECT_NE(reversal.done(), relocation == QLatin1String("COMMITTED")) << relocation.toStdString();
    // Whoever won, the BTS stands in exactly one room, and that room names it.
    EXPECT_EQ(db.rows(QStringLiteral("select count(*) from res_baseroom where gbts='101'")),
              QStringList{QStringLiteral("1")});
}

// What the database went through since a relocation: its reversal either restores what the
// relocation changed, as things stand now, or refuses with the reason and changes nothing.
struct SinceCase {
    const char* what;
    QStringList before; // run before the relocation
    QStringList since;  // run between the relocation and its reversal
    QString refusal;    // empty when the reversal goes through
    QString check;      // a query after the reversal, and the rows it must give
    QStringList expected;
    const char* engine = nullptr; // only on this engine
};

class ReversalSinceTest : public ReversalTest, public ::testing::WithParamInterface<SinceCase> {};

TEST_P(ReversalSinceTest, RestoresAsThingsStandNowOrRefusesAndChangesNothing)
{
    const SinceCase& c = GetParam();
    if (c.engine && db.engine() != QLatin1String(c.engine)) {
        GTEST_SKIP() << "a case of " << c.engine;
    }
    for (const QString& sql : c.before)
        db.exec(sql);
    const QString moved = relocate(QStringLiteral("G"), 101, QStringLiteral("三号机房"));
    ASSERT_FALSE(moved.isEmpty());
    for (const QString& sql : c.since)
        db.exec(sql);
    const QStringList state = tables();
    const QString result = reverse(moved);
    if (!c.refusal.isEmpty()) {
        EXPECT_EQ(result, c.refusal);
        EXPECT_EQ(tables(), state);
    } else {
        EXPECT_EQ(result, QStringLiteral("00000000000000000002"));
    }
    if (!c.check.isEmpty()) {
        EXPECT_EQ(db.rows(c.check), c.expected);
    }
}

const QString Room1 = Fixture::roomCode(1);

INSTANTIATE_TEST_SUITE_P(
    Since, ReversalSinceTest,
    ::testing::Values(
        SinceCase{"the old room deleted",
                  {},
                  {QStringLiteral("delete from res_baseroom where roomcode='%1'").arg(Room1)},
                  Reversal::RoomGone.arg(QStringLiteral("一号机房")),
                  QStringLiteral("select belongroom from res_gbts where basenum='101'"),
                  {QStringLiteral("三号机房")}},
        SinceCase{"the old room renamed: the BTS names it as it is called now",
                  {},
                  {QStringLiteral("update res_baseroom set roomname='一号机房（东）' where roomcode='%1'")
                       .arg(Room1)},
                  {},
                  QStringLiteral("select b.belongroom, r.gbts from res_gbts b, res_baseroom r "
                                 "where b.basenum='101' and r.roomcode='%1'")
                      .arg(Room1),
                  {QStringLiteral("一号机房（东）|101")}},
        SinceCase{"a column added to the BTS table: older entries stay reversible, the column untouched",
                  {},
                  {QStringLiteral("alter table res_gbts add column vendorcode text"),
                   QStringLiteral("update res_gbts set vendorcode='HW-7' where basenum='101'")},
                  {},
                  QStringLiteral("select vendorcode, belongroom from res_gbts where basenum='101'"),
                  {QStringLiteral("HW-7|一号机房")}},
        SinceCase{"cells with a column named group come back whole",
                  {QStringLiteral("alter table res_gcell add column \"group\" text"),
                   QStringLiteral("update res_gcell set \"group\"='A组' where bts='101'")},
                  {},
                  {},
                  QStringLiteral("select count(*) from res_gcell where \"group\"='A组'"),
                  {QStringLiteral("4")}},
        SinceCase{"a mixed-case column name",
                  {QStringLiteral("alter table res_gcell add column \"CellRemark\" text"),
                   QStringLiteral("update res_gcell set \"CellRemark\"='备注' where bts='101'")},
                  {},
                  {},
                  QStringLiteral("select count(*) from res_gcell where \"CellRemark\"='备注'"),
                  {QStringLiteral("4")},
                  "postgresql"},
        SinceCase{
            "times to the microsecond",
            {QStringLiteral("alter table res_gcell add column installed timestamp, add column installedtz "
                            "timestamptz, add column checkedat time"),
             QStringLiteral("update res_gcell set installed='2024-01-02 03:04:05.123456', "
                            "installedtz='2024-01-02 03:04:05.654321+00', checkedat='10:11:12.345678' "
                            "where bts='101'")},
            {},
            {},
            QStringLiteral("select distinct installed::text, (installedtz at time zone 'UTC')::text, "
                           "checkedat::text from res_gcell where bts='101'"),
            {QStringLiteral("2024-01-02 03:04:05.123456|2024-01-02 03:04:05.654321|10:11:12.345678")},
            "postgresql"},
        SinceCase{"bytes the relocation never changed are never written back",
                  {QStringLiteral(
                      "update res_gbts set basename=cast(x'bcd7d2bbbbf9d5be' as text) where basenum='101'")},
                  {},
                  {},
                  QStringLiteral("select hex(basename) from res_gbts where basenum='101'"),
                  {QStringLiteral("BCD7D2BBBBF9D5BE")},
                  "sqlite"}),
    [](const ::testing::TestParamInfo<SinceCase>& param) { return "Case" + std::to_string(param.index); });

// Relocate (1 → 3), relocate again (3 → 2), reverse the second: the two cancel out, and the
// first can be reversed. Re-applying the second by reversing its reversal puts it in force
// again, and it is named; reversing that ends the chain.
TEST_F(ReversalTest, ReversalsThatCancelOutAreNotLaterChanges)
{
    const QString first = relocate(QStringLiteral("G"), 101, QStringLiteral("三号机房"));
    // Renamed in between: undoing the second move names the room by its new name, which is no
    // change of the BTS when the first is undone.
    const QString renameRoom = QStringLiteral("update res_baseroom set roomname='%1' where roomcode='%2'");
    db.exec(renameRoom.arg(QStringLiteral("四号机房"), Fixture::roomCode(4)));
    const QString second = relocate(QStringLiteral("G"), 101, QStringLiteral("二号机房"));
    const QString undone = reverse(second);
    ASSERT_EQ(undone, QStringLiteral("00000000000000000003"));
    const QString redone = reverse(undone);
    ASSERT_EQ(redone, QStringLiteral("00000000000000000004"));
    EXPECT_EQ(reverse(first), Reversal::LaterFirst.arg(redone));
    ASSERT_EQ(reverse(redone), QStringLiteral("00000000000000000005"));
    EXPECT_EQ(reverse(first), QStringLiteral("00000000000000000006"));
    db.exec(renameRoom.arg(QStringLiteral("三号机房"), Fixture::roomCode(4)));
    EXPECT_EQ(tables(), before);
}

// A BTS that stood in no room moves into one, back out, and in again.
TEST_F(ReversalTest, ABtsWithoutARoomMovesBackAndForth)
{
    db.exec(QStringLiteral("update res_baseroom set gbts=null where gbts='101'"));
    db.exec(QStringLiteral("update res_gbts set belongroom=null where basenum='101'"));
    const QStringList roomless = tables();
    const QString moved = relocate(QStringLiteral("G"), 101, QStringLiteral("三号机房"));
    const QString back = reverse(moved);
    ASSERT_EQ(back, QStringLiteral("00000000000000000002"));
    EXPECT_EQ(tables(), roomless);
    EXPECT_EQ(reverse(back), QStringLiteral("00000000000000000003"));
    EXPECT_EQ(db.rows(QStringLiteral("select roomcode from res_baseroom where gbts='101'")),
              QStringList{Fixture::roomCode(4)});
}

// Acting needs the right to both cities of the record, whatever the engine; a journal entry
// naming a BTS of another city than its record's is not undone.
TEST_F(ReversalTest, OnlyAUserWithTheRecordsCitiesAndOnlyTheRecordsBts)
{
    const QString moved = relocate(QStringLiteral("G"), 101, QStringLiteral("三号机房"));
    db.exec(QStringLiteral("insert into host_user(username,fullname) values ('wang','王')"));
    db.exec(QStringLiteral("insert into host_right(username,funcno,city_id) values ('wang','13','12')"));
    corvan::test::TestHost wangHost(db, QStringLiteral("wang"));
    mdlPubVar wang;
    ASSERT_EQ(wang.setServices(wangHost.objectArray()), mdlPubVar::Services::Stored);
    const QStringList relocated = tables();
    EXPECT_EQ(Reversal::plan(wang, moved).refusal, Reversal::NoRight.arg(QStringLiteral("甲市")));
    EXPECT_EQ(Reversal::run(wang, moved, Reversal::plan(context, moved).rows).message,
              Reversal::NoRight.arg(QStringLiteral("甲市")));
    EXPECT_EQ(tables(), relocated);

    // A record of 乙市 whose entry names BTS 101 of 甲市.
    db.exec(QStringLiteral("insert into h_btsdispatch(discode,net,fromcity,tocity) values "
                           "('00000000000000000050','G','12','12')"));
    db.exec(QStringLiteral("insert into corvan_journal(discode,net,basecode,entry) select "
                           "'00000000000000000050',net,basecode,entry from corvan_journal where discode='%1'")
                .arg(moved));
    EXPECT_EQ(reverse(QStringLiteral("00000000000000000050")), Reversal::NotOfRecord);
    EXPECT_EQ(tables(), relocated);
}

} // namespace

// The journal writes its entries' JSON by hand, once: every text must read back exactly, and a
// body built as an object (a reversal's) must read back as that object with the BTS row after.
TEST(JournalText, EveryTextReadsBackAsWrittenAndADraftKeepsItsBody)
{
    const QString texts[] = {
        u""_s,
        u"plain"_s,
        u"O'Brien \"机房\" \\ 末"_s,
        u"\t\n\r\b\f"_s,
        QString(QChar(1)) + QChar(0x1f) + QChar(0x7f) + QChar(0x2028) + u"é"_s,
        u"H=62s2Q;行,列:值"_s,
        QString::fromUtf16(u"\U0001F4E1 tower"),
    };
    for (const QString& text : texts) {
        QString json = u"["_s;
        Journal::appendJsonText(json, text);
        json += u"]"_s;
        QJsonParseError error;
        const QJsonDocument read = QJsonDocument::fromJson(json.toUtf8(), &error);
        ASSERT_EQ(error.error, QJsonParseError::NoError) << json.toStdString();
        EXPECT_EQ(read.array().at(0).toString(), text) << json.toStdString();
    }

    const auto rows = [](const QStringList& columns, const QJsonArray& values) {
        return QJsonObject{{u"columns"_s, QJsonArray::fromStringList(columns)}, {u"rows"_s, values}};
    };
    const QJsonObject body{
        {u"net"_s, u"G"_s},
        {u"basecode"_s, u"B'1"_s},
        {u"bts"_s, QJsonObject{{u"columns"_s, QJsonArray{u"basecode"_s, u"photo"_s}},
                               {u"before"_s, QJsonArray{u"B'1"_s, QJsonObject{{u"base64"_s, u"AAE="_s}}}}}},
        {u"rooms"_s, QJsonArray{QJsonObject{{u"roomcode"_s, u"R1"_s}, {u"value"_s, QJsonValue::Null}}}},
        {Journal::Cells,
         rows({u"cellcode"_s, u"ci"_s}, {QJsonArray{u"C1"_s, u"3021"_s}, QJsonArray{u"C2"_s, {}}})},
        {Journal::Antennas, rows({u"antcode"_s}, {})},
        {Journal::Feeders, rows({u"LINECODE"_s}, QJsonArray() << QJsonArray{u"L1"_s})},
    };
    const Journal::Draft draft = Journal::draft(body);
    EXPECT_EQ((QList<QStringList>{draft.cellCodes, draft.antennaCodes, draft.feederCodes}),
              (QList<QStringList>{{u"C1"_s, u"C2"_s}, {}, {u"L1"_s}}));
    const QString after = u",\"after\":[\"B'1\",null]"_s;
    QJsonObject expected = body;
    QJsonObject bts = body.value(u"bts"_s).toObject();
    bts.insert(u"after"_s, QJsonArray{u"B'1"_s, QJsonValue::Null});
    expected.insert(u"bts"_s, bts);
    EXPECT_EQ(QJsonDocument::fromJson((draft.head + after + draft.tail).toUtf8()).object(), expected)
        << (draft.head + after + draft.tail).toStdString();
}
