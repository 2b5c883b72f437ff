// SPDX-License-Identifier: MIT
// What a relocator of one city cannot do to another city's work on a shared server, whatever
// SQL it sends: mal relocates in 甲市 (11) only, vic in 乙市 (12) only, each over verified TLS
// on a connection of its own, and a reader looks on. Between their real relocation, room move
// and reversals, mal tries by hand what the product never sends: the server refuses each,
// and leaves the database as it was.

#include "core/context/mdl_pub_var.h"
#include "core/context/resource_view.h"
#include "core/relocation/relocation_session.h"
#include "core/reversal/reversal.h"
#include "core/room_move/room_move.h"
#include "corvan/controls/property_item.h"
#include "data/context_service_impl.h"
#include "data/sql_data_service.h"
#include "desktop/host_services.h"
#include "server_role.h"
#include "support/fixture.h"
#include "support/prompt_recorder.h"
#include "support/wizard_fixture.h"

#include <QMap>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <gtest/gtest.h>
#include <memory>

using namespace corvan;
using corvan::host::ContextServiceImpl;
using corvan::host::SqlDataService;
using corvan::test::Fixture;
using corvan::test::ServerRole;
using corvan::test::TestDatabase;

namespace {

QString u(const char* text)
{
    return QString::fromUtf8(text);
}

QString code(int n)
{
    return Fixture::roomCode(n);
}

// One role's desk: its own connection, and the component's context on it as corvan makes it.
struct Desk {
    explicit Desk(const ServerRole& role)
    {
        QString error;
        QString user;
        if (!data.open(role.urlWithPassword(), &error) ||
            !ContextServiceImpl::identify(data.database(), QString(), &user, &error))
            ADD_FAILURE() << error.toStdString();
        // A writer held up by someone else's lock gives up soon, as busy.
        data.setLockWait(300);
        services = std::make_unique<host::HostServices>(&data);
        services->configure(user, u("4"));
        if (context.setServices(services->objectArray()) != mdlPubVar::Services::Stored)
            ADD_FAILURE() << "the context took no services";
    }

    // Moves a G BTS the way the wizard does; the record's code, or what the user was told.
    QString relocate(int bts, const QString& city, const QString& room)
    {
        QMap<QString, AttrTable> shown;
        ResourceView::GetResourceData(context, u("v_res_gbts"), code(bts), &shown[u("G")]);
        PropertyItems page;
        corvan::test::PromptRecorder prompt;
        RelocationSession session(context, page, prompt);
        QString record;
        QObject::connect(
            &session, &RelocationSession::relocated,
            [&record](const QString&, const QString&, const QString& written) { record = written; });
        if (session.start(u("G"), shown, true)) {
            page.GetItem(u("city"))->setValue(city);
            session.valueChanged(page.GetItem(u("city")));
            page.GetItem(u("belongroom"))->setValue(room);
            if (session.next())
                session.commit();
        }
        return record.isEmpty() ? prompt.shown.join(u'/') : record;
    }

    // Moves G 101 and C 201 out of 一号机房 in one commit; their records' codes, G's first.
    QStringList moveRoom(const QString& city, const QString& room)
    {
        QMap<QString, AttrTable> tables;
        for (const auto& [net, bts] : {std::pair{"G", 101}, std::pair{"C", 201}})
            ResourceView::GetResourceData(context, u("v_res_%1bts").arg(u(net).toLower()), code(bts),
                                          &tables[u(net)]);
        PropertyItems shared;
        PropertyItems pages[2];
        corvan::test::PromptRecorder prompt;
        RoomMove move(context, shared, {{u("G"), &pages[0]}, {u("C"), &pages[1]}}, prompt);
        QStringList records;
        QObject::connect(&move, &RoomMove::moved,
                         [&records](const QStringList& written) { records = written; });
        if (move.start(tables)) {
            for (const auto& [key, value] : {std::pair{"city", city}, std::pair{"belongroom", room}}) {
                shared.GetItem(u(key))->setValue(value);
                move.sharedValueChanged(shared.GetItem(u(key)));
            }
            if (move.share() && move.check())
                move.commit();
        }
        return records.isEmpty() ? prompt.shown : records;
    }

    // Plans and runs a reversal as its window does; its record's code or the refusal.
    QString reverse(const QString& record)
    {
        const Reversal::Plan plan = Reversal::plan(context, record);
        if (!plan.ok())
            return plan.refusal;
        const CommitOutcome outcome = Reversal::run(context, record, plan.rows);
        return outcome.done() ? outcome.recordCode : outcome.message;
    }

    SqlDataService data;
    std::unique_ptr<host::HostServices> services;
    mdlPubVar context;
};

enum class Act { Sql, Hold, Release, Relocate, MoveRoom, Reverse };
enum Who { Mal, Vic, Reader };

struct Step {
    const char* rule;
    Who who;
    Act act;
    // Sql and Hold: statements, one a line, sent in one transaction ({next} is the next record
    // code, {name} a record written before); Relocate: "BTS|city|room"; MoveRoom: "city|room";
    // Reverse: the record.
    QString text;
    // Sql: a piece of the server's refusal, empty when it goes through; rows: what the last
    // statement changed. A product step must go through and names its records.
    const char* refusal = "";
    int rows = -1;
    QStringList names = {};
};

// Everything a relocation or a rule touches, as the owner sees it.
QStringList dump(TestDatabase& db)
{
    QStringList all;
    for (const char* sql :
         {"select basecode,basenum,city,belongroom,remark from res_gbts order by basecode",
          "select basecode,basenum,city,belongroom from res_cbts order by basecode",
          "select roomcode,gbts,cbts,dbts from res_baseroom order by roomcode",
          "select cellcode,ci,city,bts from res_gcell order by cellcode",
          "select antcode,ci from res_gant order by 1", "select linecode,ci from res_gantline order by 1",
          "select discode,disuser,fromcity,tocity,fromroom,toroom from h_btsdispatch order by 1",
          "select discode,basecode,reverses,reversedby from corvan_journal order by 1"})
        all << db.rows(u(sql), u("<null>"));
    return all;
}

QString journalOf(const QString& bts, const char* before, const char* after)
{
    return u("{\"net\":\"G\",\"basecode\":\"%1\",\"bts\":{\"columns\":[\"basecode\",\"city\",\"remark\"],"
             "\"before\":[\"%1\",%2],\"after\":[\"%1\",%3]},\"rooms\":[],\"cells\":{\"columns\":["
             "\"cellcode\"],"
             "\"rows\":[]}}")
        .arg(bts, u(before), u(after));
}

QString record(const char* code, const char* rooms = "'',''")
{
    return u("insert into "
             "h_btsdispatch(discode,distime,disuser,net,fromcity,tocity,fromroom,toroom,simplemode,"
             "disinfo) values('%1',to_date('2026-03-07','yyyy-mm-dd'),current_user,'G','11','11',%2,'Y','')")
        .arg(u(code), u(rooms));
}

TEST(ServerRules, ACoUserCannotCorruptForgeOrBlockAnotherCitysWork)
{
    TestDatabase db;
    if (!db.isPostgresql())
        GTEST_SKIP() << "needs the PostgreSQL server of the postgresql run";
    corvan::test::WizardFixture::load(db);
    // 乙市's own: G BTS 120 in 乙一机房 with a cell, an antenna and a feeder; G BTSs 121 and 122 in
    // no room; empty 乙二机房 and 乙三机房.
    db.exec(u("insert into res_baseroom(roomcode,roomname,roomno,city,county,gbts) values "
              "('%1','乙一机房','JF-007','12','1201','120'),('%2','乙二机房','JF-008','12','1201',null),"
              "('%3','乙三机房','JF-009','12','1201',null)")
                .arg(code(7), code(8), code(9)));
    db.exec(u("insert into res_gbts(basecode,basenum,basename,city,county,belongroom) values "
              "('%1','120','乙一G基站','12','1201','乙一机房'),('%2','121','乙二G基站','12','1201',null),"
              "('%3','122','乙三G基站','12','1201',null)")
                .arg(code(120), code(121), code(122)));
    db.exec(u("update res_gbts set photo=decode(repeat('00ff7f80',64),'hex') where basenum='120'"));
    db.exec(u("insert into res_gcell(cellcode,cellname,ci,city,county,bts) values "
              "('%1','乙一小区','3071','12','1201','120')")
                .arg(code(307)));
    db.exec(u("insert into res_gant(antcode,antname,ci,city) values ('%1','A8','3071','12')").arg(code(408)));
    db.exec(u("insert into res_gantline(linecode,lineid,ci,city) values ('%1','L-08','3071','12')")
                .arg(code(508)));
    const ServerRole mal(db, {u("11")});
    const ServerRole vic(db, {u("12")});
    const ServerRole reader(db, {u("11"), u("12")}, false);
    Desk desks[] = {Desk(mal), Desk(vic), Desk(reader)};

    const QString room1 = code(1);
    const QString room3 = code(3);
    const Step steps[] = {
        {"", Vic, Act::Relocate, u("120|乙市|空机房"), "", -1, {u("vic")}},
        {"", Mal, Act::MoveRoom, u("甲市|三号机房"), "", -1, {u("malG"), u("malC")}},
        // B7: the lock every commit waits for is the relocators' alone.
        {"B7", Reader, Act::Sql, u("lock table corvan_writer_lock in exclusive mode"),
         "permission denied for table corvan_writer_lock"},
        {"B7", Reader, Act::Hold, u("select pg_advisory_xact_lock(109330312880494)"), "", 1},
        // B7: a city's lock is its relocators' alone: a reader may not take it, and a relocator
        // of another city takes nothing (row-level security), so a relocation there goes on.
        {"B7", Reader, Act::Sql, u("select city_id from corvan_city_lock where city_id = '12' for update"),
         "permission denied for table corvan_city_lock"},
        {"B7", Mal, Act::Hold,
         u("select city_id from corvan_city_lock where city_id in ('11', '12') for update"), "", 1},
        {"B7", Vic, Act::Relocate, u("121|乙市|乙二机房"), "", -1, {u("vic2")}},
        {"B7", Mal, Act::Release, {}},
        {"B7", Reader, Act::Release, {}},
        // B1: a journal entry only with its own relocation, telling what the server saw.
        {"B1", Mal, Act::Sql,
         record("{next}") +
             u("\ninsert into corvan_journal(discode,net,basecode,entry) values('{next}','G','%1','%2')")
                 .arg(code(120), journalOf(code(120), "\"12\",\"forged\"", "\"12\",null")),
         "names G BTS 00000000000000000120 of city 12, not of its record's cities 11 and 11"},
        {"B1", Mal, Act::Sql,
         u("update res_gbts set remark='x' where basecode='%1'\n").arg(code(102)) + record("{next}") +
             u("\ninsert into corvan_journal(discode,net,basecode,entry) values('{next}','G','%1','%2')")
                 .arg(code(102), journalOf(code(102), "\"12\",\"forged\"", "\"11\",\"x\"")),
         "does not hold G BTS 00000000000000000102 as its transaction found and left it (column city)"},
        {"B3", Mal, Act::Sql, record("{next}"), "", 1, {u("bare")}},
        {"B1", Mal, Act::Sql,
         u("update res_gbts set remark='x' where basecode='%1'\n"
           "insert into corvan_journal(discode,net,basecode,entry) values('{bare}','G','%1','%2')")
             .arg(code(102), journalOf(code(102), "\"11\",null", "\"11\",\"x\"")),
         "goes with no record written in its transaction"},
        // B2: a room names a BTS of its own city that no other room names.
        {"B2", Mal, Act::Sql, u("update res_baseroom set gbts='122' where roomcode='%1'").arg(room3),
         "room 00000000000000000003 of city 11 cannot hold G BTS 122 of city 12"},
        {"B2", Mal, Act::Sql, u("update res_baseroom set gbts='120' where roomcode='%1'").arg(room3),
         "G BTS 120 is held by more than one room"},
        {"B2", Mal, Act::Sql, u("update res_baseroom set gbts='101' where roomcode='%1'").arg(room3),
         "G BTS 101 is held by more than one room"},
        {"B2", Mal, Act::Sql, u("update res_baseroom set gbts='' where roomcode='%1'").arg(room3), "", 1},
        {"B2", Mal, Act::Sql, u("update res_baseroom set gbts=null where roomcode='%1'").arg(room3), "", 1},
        {"B2", Mal, Act::Sql, u("update res_gbts set basenum='199' where basecode='%1'").arg(code(101)),
         "holds G BTS 101, and no G BTS has that number"},
        // B4: what vic's relocation deleted stays his reversal's to put back.
        {"B4", Mal, Act::Sql,
         u("insert into res_gcell(cellcode,ci,city,bts) values ('%1','3999','11','102')").arg(code(307)),
         "is kept for relocation"},
        {"B4", Mal, Act::Sql,
         u("insert into res_gant(antcode,ci,city) values ('%1','3031','11')").arg(code(408)),
         "is kept for relocation"},
        // ... though vic may enter it again for the BTS itself, which its reversal takes as the BTS's own.
        {"B4", Vic, Act::Sql,
         u("insert into res_gcell(cellcode,ci,city,bts) values ('%1','3079','12','120')").arg(code(307)), "",
         1},
        // B5: an entry is marked reversed by its reversal alone.
        {"B5", Mal, Act::Sql, u("update corvan_journal set reversedby='{malC}' where discode='{malG}'"),
         "is marked reversed once, by the transaction of the reversal that reverses it"},
        // B8: nobody but the owner redates a relocation.
        {"B8", Mal, Act::Sql,
         u("update corvan_journal set entrytime='2000-01-01 00:00:00' where discode='{malG}'"),
         "permission denied for table corvan_journal"},
        // B6: a record's rooms are of its cities.
        {"B6", Mal, Act::Sql, record("{next}", u("'%1',''").arg(code(5)).toUtf8().constData()),
         "the record's room 00000000000000000005 is not a room of its city 11"},
        {"B6", Mal, Act::Sql, record("{next}", u("'','%1'").arg(code(6)).toUtf8().constData()),
         "the record's room 00000000000000000006 is not a room of its city 11"},
        {"", Vic, Act::Reverse, u("{vic}"), "", -1, {u("vicR")}},
        {"", Mal, Act::Reverse, u("{malG}"), "", -1, {u("malGR")}},
        {"B5", Mal, Act::Sql, u("update corvan_journal set reversedby=null where discode='{malG}'"),
         "is marked reversed once"},
        {"B5", Mal, Act::Sql, u("update corvan_journal set reversedby='{malGR}' where discode='{malC}'"),
         "is marked reversed once"},
        // B3: codes are given out one by one.
        {"B3", Mal, Act::Sql, record("99999999999999999999"), "the next record code is"},
        {"B3", Mal, Act::Sql, record("6"), "the next record code is"},
        {"B3", Mal, Act::Reverse, u("{malC}"), "", -1, {u("malCR")}},
        {"B3", Vic, Act::Relocate, u("122|乙市|乙三机房"), "", -1, {u("vic3")}},
    };

    QMap<QString, QString> records;
    const auto fill = [&](QString text) {
        text.replace(u("{next}"),
                     db.rows(u("select lpad((coalesce(max(to_number(discode)),0)+1)::text,20,'0') "
                               "from h_btsdispatch"))
                         .value(0));
        for (auto it = records.cbegin(); it != records.cend(); ++it)
            text.replace(u("{%1}").arg(it.key()), it.value());
        return text;
    };
    for (const Step& step : steps) {
        Desk& desk = desks[step.who];
        const QString text = fill(step.text);
        SCOPED_TRACE(std::string(step.rule) + " " + text.toStdString());
        QStringList written;
        if (step.act == Act::Relocate) {
            const QStringList parts = text.split(u'|');
            written << desk.relocate(parts[0].toInt(), parts[1], parts[2]);
        } else if (step.act == Act::MoveRoom) {
            written = desk.moveRoom(text.section(u'|', 0, 0), text.section(u'|', 1));
        } else if (step.act == Act::Reverse) {
            written << desk.reverse(text);
        } else if (step.act == Act::Release) {
            EXPECT_TRUE(desk.data.database().commit());
            continue;
        }
        if (!written.isEmpty()) {
            const QString codes = written.join(u' ');
            EXPECT_TRUE(QRegularExpression(u("^([0-9]{20} ?)+$")).match(codes).hasMatch())
                << codes.toStdString();
            EXPECT_EQ(written.size(), step.names.size()) << codes.toStdString();
            for (qsizetype i = 0; i < written.size() && i < step.names.size(); ++i)
                records.insert(step.names[i], written[i]);
            continue;
        }
        // Plain SQL: refused, and nothing of it stays; or through, changing what it says.
        const QStringList before = dump(db);
        QSqlDatabase connection = desk.data.database();
        connection.transaction();
        QSqlQuery query(connection);
        QString refused;
        for (const QString& statement : text.split(u'\n'))
            if (!query.exec(statement)) {
                refused = query.lastError().text();
                break;
            }
        const int rows = refused.isEmpty() ? query.numRowsAffected() : -1;
        query.finish();
        if (step.act == Act::Hold && refused.isEmpty())
            continue;
        if (!refused.isEmpty())
            connection.rollback();
        else if (!connection.commit())
            refused = connection.lastError().text();
        if (*step.refusal) {
            EXPECT_TRUE(refused.contains(u(step.refusal))) << "told: " << refused.toStdString();
            EXPECT_EQ(dump(db), before);
        } else {
            EXPECT_EQ(refused, QString());
            EXPECT_EQ(rows, step.rows);
            if (!step.names.isEmpty())
                records.insert(step.names[0], db.rows(u("select max(discode) from h_btsdispatch")).value(0));
        }
    }

    // Each reversal put its BTS back: rooms, cells, antennas and feeders.
    EXPECT_EQ(db.rows(u("select roomcode,gbts,cbts from res_baseroom where gbts<>'' or cbts<>'' order by 1"),
                      u("<null>")),
              (QStringList{room1 + u("|101|201"), code(2) + u("|<null>|202"), code(7) + u("|120|<null>"),
                           code(8) + u("|121|<null>"), code(9) + u("|122|<null>")}));
    EXPECT_EQ(db.rows(u("select cellcode,ci,bts from res_gcell where city='12'")),
              QStringList{code(307) + u("|3071|120")});
    EXPECT_EQ(db.rows(u("select count(*) from res_gant where antcode='%1'").arg(code(408))),
              QStringList{u("1")});
    EXPECT_EQ(db.rows(u("select discode,reversedby from corvan_journal where reverses is null order by 1")),
              (QStringList{records[u("vic")] + u("|") + records[u("vicR")],
                           records[u("malG")] + u("|") + records[u("malGR")],
                           records[u("malC")] + u("|") + records[u("malCR")], records[u("vic2")] + u("|"),
                           records[u("vic3")] + u("|")}));
    // Every product entry has its time, and a time a client sends is the server's own.
    EXPECT_EQ(db.rows(u("select count(*) from corvan_journal where entrytime is null")), QStringList{u("0")});
    {
        QSqlDatabase connection = desks[Mal].data.database();
        connection.transaction();
        QSqlQuery query(connection);
        const QString next = fill(u("{next}"));
        EXPECT_TRUE(query.exec(record(next.toUtf8().constData())));
        EXPECT_TRUE(query.exec(u("insert into corvan_journal(discode,net,basecode,entry,entrytime) "
                                 "values('%1','G','%2','{}','1999-12-31 23:59:59')")
                                   .arg(next, code(102))));
        EXPECT_TRUE(query.exec(u("select entrytime like to_char(localtimestamp,'YYYY-MM-DD ')||'%' from "
                                 "corvan_journal where discode='%1'")
                                   .arg(next)));
        EXPECT_TRUE(query.next() && query.value(0).toBool());
        query.finish();
        connection.rollback();
    }
    // The owner is not held to the rules: a migration brings old records with their own codes.
    db.exec(record("00000000000000000900"));
    EXPECT_EQ(db.rows(u("select count(*) from h_btsdispatch where discode='00000000000000000900'")),
              QStringList{u("1")});
}

// The journal check reads each value as its column's type does, whatever columns the owner
// added: a relocation of a BTS carrying them goes through, and any value but the stored one
// differs (times to the millisecond the client keeps).
TEST(ServerRules, AJournalRowIsComparedInEachColumnsOwnType)
{
    TestDatabase db;
    if (!db.isPostgresql())
        GTEST_SKIP() << "needs the PostgreSQL server of the postgresql run";
    corvan::test::WizardFixture::load(db);
    db.exec(
        u("alter table res_gbts add column seen timestamp(6), add column seentz timestamptz, add column hour "
          "time, add column ratio double precision, add column active boolean, add column tags int[], add "
          "column extra json, add column built date"));
    db.exec(
        u("update res_gbts set seen='2024-05-06 07:08:09.123456', seentz='2024-05-06 07:08:09.987654+08', "
          "hour='07:08:09.5', ratio=0.1, active=true, tags='{1,2}', extra='{\"a\": [1, 2]}', "
          "built='2020-02-29', longitude=113.250, photo=decode('00ff10','hex') where basecode='%1'")
            .arg(code(102)));
    const ServerRole mal(db, {u("11")});
    Desk desk(mal);
    EXPECT_EQ(desk.relocate(102, u("甲市"), u("三号机房")), u("00000000000000000001"));

    const struct {
        const char* column;
        const char* same;
        const char* other;
    } cases[] = {
        {"seen", "\"2024-05-06T07:08:09.123Z\"", "\"2024-05-06T07:08:09.125Z\""},
        {"seentz", "\"2024-05-05T23:08:09.988Z\"", "\"2024-05-06T07:08:09.988Z\""},
        {"hour", "\"07:08:09.500\"", "\"07:08:10\""},
        {"ratio", "\"0.1\"", "\"0.10000001\""},
        {"active", "\"true\"", "\"false\""},
        {"tags", "\"{1,2}\"", "\"{2,1}\""},
        {"extra", "\"{\\\"a\\\":[1,2]}\"", "\"{\\\"a\\\":[2,1]}\""},
        {"built", "\"2020-02-29\"", "\"2020-03-01\""},
        {"longitude", "\"113.25\"", "\"113.26\""},
        {"photo", "{\"base64\":\"AP8Q\"}", "{\"base64\":\"AP8R\"}"},
        {"basenum", "\"102\"", "\"102 \""},
        {"remark", "\"\"", "null"},
    };
    const auto differs = [&](const QString& columns, const QString& values) {
        return db
            .rows(u("select corvan_row_differs('res_gbts',corvan_columns('res_gbts'),'%1','%2',to_jsonb(b)) "
                    "from res_gbts b where basecode='%3'")
                      .arg(columns, values, code(102)),
                  u("<same>"))
            .value(0);
    };
    for (const auto& c : cases) {
        const QString column = u("[\"%1\"]").arg(u(c.column));
        EXPECT_EQ(differs(column, u("[%1]").arg(u(c.same))), u("<same>")) << c.column;
        EXPECT_EQ(differs(column, u("[%1]").arg(u(c.other))), u(c.column)) << c.column;
    }
    // A column named twice differs; one the table does not have, as the engine spells it,
    // cannot be written back.
    EXPECT_EQ(differs(u("[\"city\",\"city\"]"), u("[\"11\",\"11\"]")), u("city"));
    EXPECT_EQ(differs(u("[\"CITY\",\"nosuch\"]"), u("[\"12\",\"x\"]")), u("<same>"));
}

} // namespace
