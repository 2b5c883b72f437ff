// SPDX-License-Identifier: MIT
// The engine against a model of what it must do: random sequences of relocations, room moves
// and reversals (of the newest entry and of older ones, by the user of 甲市 and 乙市 or by a user
// of 乙市 alone), between which others rename and delete rooms, enter cells under new codes or
// codes a relocation deleted, add columns to the BTS tables and change a BTS's name, and on the
// server a relocator of 乙市 writes whatever the server lets him. After every step the tables are
// what the model says. Steps name the rooms R1 一号机房 (G101, C201), R2 二号机房 (C202), R3 a
// second 一号机房, R4 三号机房, R5 空机房 and R7 北机房 of 乙市; G102 stands in no room.
// RC_PARAMS sets the run; CORVAN_MODEL_STEPS what is drawn (README: the engine against its model).
#include <gtest/gtest.h>
#include <rapidcheck.h>
#include <rapidcheck/gtest.h>
#include <rapidcheck/state.h>

#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

#include "core/context/resource_view.h"
#include "core/relocation/relocation_session.h"
#include "core/reversal/reversal.h"
#include "core/room_move/room_move.h"
#include "corvan/controls/property_item.h"
#include "data/context_service_impl.h"
#include "data/schema.h"
#include "host/server_role.h"
#include "support/context_test.h"
#include "support/prompt_recorder.h"

using namespace corvan;
using corvan::test::Fixture;

namespace {

QString u(const char* text)
{
    return QString::fromUtf8(text);
}
QChar u(char c)
{
    return QLatin1Char(c);
}
const QStringList Cities{u("11"), u("12")};
QString codeColumn(const QString& table)
{
    return table.endsWith(u("antline")) ? u("linecode")
           : table.endsWith(u("ant"))   ? u("antcode")
           : table.endsWith(u("cell"))  ? u("cellcode")
                                        : u("basecode");
}
const QStringList& chosen()
{
    static const QStringList words =
        qEnvironmentVariable("CORVAN_MODEL_STEPS").split(QRegularExpression(u("[ ,]")), Qt::SkipEmptyParts);
    return words;
}
bool enabled(const char* kind)
{
    return chosen().isEmpty() || chosen().contains(QLatin1String(kind));
}
// A choice among n, any of them at every size (the size sets only how many steps are drawn),
// shrinking towards the first; and one of a list so chosen.
int any(qsizetype n)
{
    return *rc::gen::resize(100, rc::gen::inRange(0, int(n)));
}
template <typename T> T pick(const QList<T>& list)
{
    return list.at(any(list.size()));
}
// RC_PRE would evaluate both sides of || and &&.
void pre(bool ok)
{
    if (!ok)
        RC_DISCARD("not for this state");
}
QString currentStep; // named in a failure
void expect(bool ok, const QString& what)
{
    if (!ok)
        RC_FAIL((currentStep + u(":\n") + what).toStdString());
}

// What the tables must hold: the rooms with their network columns, where each BTS stands and
// the room name it carries, every cell, antenna and feeder ("table:code"), and every journal
// entry with the state of its BTS before and after it. A state is a number: a reversal brings
// the earlier number back, so an entry may be reversed exactly when its BTS is in the state the
// entry left (whatever was done and undone since), its old room stands and is free, no code it
// deleted is taken and the user holds both of its cities.
struct Model {
    struct Room {
        QString code, name, city;
        QMap<QString, QString> bts;
        bool exists = true;
    };
    struct Bts {
        QString net, code, number, city, room, name;
        int state = 0;
        QStringList carried;
    };
    struct Entry {
        int bts = 0;
        QString fromRoom, toRoom, fromCity, toCity;
        int before = 0, after = 0;
        QStringList deleted;
        int reverses = -1, reversedBy = -1;
    };
    std::vector<Room> rooms; // not shared between copies, so a room may be changed through a const look-up
    QList<Bts> btss;
    QList<Entry> entries;
    QStringList codes;
    QStringList columns; // "table.column", added by others
    int states = 0;
    bool server = false;

    static Model initial(bool server)
    {
        const auto c = [](int n) {
            return Fixture::roomCode(n);
        };
        QStringList carried; // G101's four cells, six antennas and five feeders
        for (int n : {301, 302, 303, 304})
            carried << u("res_gcell:") + c(n);
        for (int n : {401, 402, 403, 404, 405, 406})
            carried << u("res_gant:") + c(n);
        for (int n : {501, 502, 503, 504, 505})
            carried << u("res_gantline:") + c(n);
        Model m;
        m.server = server;
        m.rooms = {{c(1), u("一号机房"), u("11"), {{u("G"), u("101")}, {u("C"), u("201")}}},
                   {c(2), u("二号机房"), u("11"), {{u("C"), u("202")}}},
                   {c(3), u("一号机房"), u("11"), {}},
                   {c(4), u("三号机房"), u("11"), {}},
                   {c(5), u("空机房"), u("12"), {}},
                   {c(6), u("远方机房"), u("99"), {}},
                   {c(7), u("北机房"), u("12"), {}}};
        m.btss = {{u("G"), c(101), u("101"), u("11"), c(1), u("一号机房"), 0, carried},
                  {u("G"),
                   c(102),
                   u("102"),
                   u("11"),
                   {},
                   {},
                   0,
                   {u("res_gcell:") + c(305), u("res_gant:") + c(407)}},
                  {u("C"), c(201), u("201"), u("11"), c(1), u("一号机房"), 0, {}},
                  {u("C"), c(202), u("202"), u("11"), c(2), u("二号机房"), 0, {}}};
        for (const Bts& b : m.btss)
            m.codes << b.carried;
        return m;
    }

    const Room* room(const QString& code) const
    {
        for (const Room& r : rooms)
            if (r.code == code)
                return &r;
        return nullptr;
    }
    Room* room(const QString& code) { return const_cast<Room*>(std::as_const(*this).room(code)); }
    // The BTSs steps draw from: those CORVAN_MODEL_STEPS names ("G101"), or all.
    QList<int> drawable() const
    {
        QList<int> all, named;
        for (int b = 0; b < btss.size(); ++b)
            (chosen().contains(btss[b].net + btss[b].number) ? named : all) << b;
        return named.isEmpty() ? all : named;
    }
    // The rooms the user may choose but one; of them, those that hold no BTS or those that do.
    enum Holding { Any, Empty, Holds };
    QStringList targets(const QString& but = {}, Holding holding = Any) const
    {
        QStringList found;
        for (const Room& r : rooms)
            if (r.exists && Cities.contains(r.city) && r.code != but &&
                (holding == Any || r.bts.isEmpty() == (holding == Empty)))
                found << r.code;
        return found;
    }

    bool mayRelocate(int b, const QString& target) const
    {
        const Room* to = room(target);
        return to && to->exists && target != btss[b].room && to->bts.value(btss[b].net).isEmpty() &&
               Cities.contains(to->city) && Cities.contains(btss[b].city);
    }
    bool mayReverse(int e, bool other) const
    {
        const Entry& entry = entries[e];
        const Bts& bts = btss[entry.bts];
        const Room* from = room(entry.fromRoom);
        const QStringList rights = other ? QStringList{u("12")} : Cities;
        if (entry.reversedBy >= 0 || !rights.contains(entry.fromCity) || !rights.contains(entry.toCity) ||
            bts.state != entry.after ||
            (!entry.fromRoom.isEmpty() && (!from->exists || !from->bts.value(bts.net).isEmpty())))
            return false;
        for (const QString& code : entry.deleted)
            if (codes.contains(code) && !bts.carried.contains(code))
                return false;
        return true;
    }
    void relocate(int b, const QString& target)
    {
        Bts& bts = btss[b];
        Room& to = *room(target);
        entries.push_back({b, bts.room, target, bts.city, to.city, bts.state, ++states, bts.carried});
        if (Room* from = room(bts.room))
            from->bts.remove(bts.net);
        to.bts[bts.net] = bts.number;
        for (const QString& code : std::as_const(bts.carried))
            codes.removeAll(code);
        bts = {bts.net, bts.code, bts.number, to.city, target, to.name, states, {}};
    }
    void reverse(int e)
    {
        const Entry entry = entries[e];
        Bts& bts = btss[entry.bts];
        entries[e].reversedBy = int(entries.size());
        entries.push_back({entry.bts, entry.toRoom, entry.fromRoom, entry.toCity, entry.fromCity, bts.state,
                           entry.before, bts.carried, e});
        if (Room* to = room(entry.toRoom)) // none when a reversal into no room is reversed
            to->bts.remove(bts.net);
        Room* from = room(entry.fromRoom);
        if (from)
            from->bts[bts.net] = bts.number;
        for (const QString& code : std::as_const(bts.carried))
            codes.removeAll(code);
        codes << entry.deleted;
        bts = {bts.net,        bts.code,       bts.number,
               entry.fromCity, entry.fromRoom, from ? from->name : QString(),
               entry.before,   entry.deleted};
    }
};

using Rows = QMap<QString, QMap<QString, QString>>; // "table:code" → column → value as stored

struct Outcome {
    bool done = false;
    QStringList records;
    QString told;
};

// The engine on a fresh fixture database, as the user of 甲市 and 乙市 (demo) and as a user of
// 乙市 alone: on SQLite a second host on the same file, on the server a role of its own over TLS.
struct Engine {
    test::TestDatabase db{test::TestDatabase::Contents::Nothing};
    test::TestHost host{db};
    mdlPubVar context;
    mdlPubVar other;
    std::unique_ptr<test::TestHost> otherHost;
    std::unique_ptr<test::ServerRole> role;
    host::SqlDataService roleData;
    std::unique_ptr<host::HostServices> roleServices;
    int steps = 0;
    QStringList records; // the record of each model entry
    QList<Rows> before;  // the rows of each entry's BTS before it

    Engine()
    {
        QString error;
        if (!db.isPostgresql())
            db.exec(u("pragma synchronous=off")); // a file thrown away after the case need not reach the disk
        if (!host::createSchema(db.database(), &error))
            throw std::runtime_error(error.toStdString());
        test::WizardFixture::load(db);
        db.exec(u("insert into res_baseroom(roomcode,roomname,roomno,city,county) values "
                  "('%1','北机房','JF-007','12','1201')")
                    .arg(Fixture::roomCode(7)));
        context.setServices(host.objectArray());
        if (!db.isPostgresql()) {
            db.exec(u("insert into host_user(username,fullname) values ('other','乙市用户')"));
            db.exec(u("insert into host_right(username,funcno,city_id) values ('other','13','12')"));
            otherHost = std::make_unique<test::TestHost>(db, u("other"));
            other.setServices(otherHost->objectArray());
            return;
        }
        role = std::make_unique<test::ServerRole>(db, QStringList{u("12")});
        QString user;
        if (!roleData.open(role->urlWithPassword(), &error) ||
            !host::ContextServiceImpl::identify(roleData.database(), {}, &user, &error))
            throw std::runtime_error(error.toStdString());
        roleServices = std::make_unique<host::HostServices>(&roleData);
        roleServices->configure(user, u("4"));
        other.setServices(roleServices->objectArray());
    }

    // Every table the steps touch, for "changed nothing" and "changed something".
    QStringList dump()
    {
        QStringList all;
        for (const char* table : {"res_baseroom", "res_gbts", "res_cbts", "res_gcell", "res_gant",
                                  "res_gantline", "res_ccell", "h_btsdispatch", "corvan_journal"})
            all << db.rows(u("select * from %1 order by 1").arg(QLatin1String(table)));
        return all;
    }
    // A row exactly as stored: on SQLite each column's storage class and bytes, on the server
    // each column's text (a timestamp with its microseconds). Empty: no such row.
    QMap<QString, QString> row(const QString& key)
    {
        const QString table = key.section(u(':'), 0, 0);
        const QString where = u(" where t.%1='%2'").arg(codeColumn(table), key.section(u(':'), 1));
        QMap<QString, QString> values;
        QSqlQuery query(db.database());
        if (db.isPostgresql()) {
            query.exec(u("select j.key, j.value from %1 t, json_each_text(row_to_json(t)) j").arg(table) +
                       where);
            while (query.next())
                values.insert(query.value(0).toString(),
                              query.isNull(1) ? u("<null>") : query.value(1).toString());
            return values;
        }
        QStringList names, exact;
        for (query.exec(u("select name from pragma_table_info('%1')").arg(table)); query.next();) {
            names << query.value(0).toString();
            exact << u("typeof(\"%1\")||':'||hex(\"%1\")").arg(names.last());
        }
        if (query.exec(u("select %1 from %2 t").arg(exact.join(u(',')), table) + where) && query.next())
            for (int i = 0; i < names.size(); ++i)
                values.insert(names[i], query.value(i).toString());
        return values;
    }
    Rows slice(const Model::Bts& bts)
    {
        Rows rows;
        for (const QString& key :
             QStringList{u("res_%1bts:").arg(bts.net.toLower()) + bts.code} + bts.carried)
            rows.insert(key, row(key));
        return rows;
    }

    AttrTable shown(const Model::Bts& bts)
    {
        AttrTable table;
        ResourceView::GetResourceData(context, u("v_res_%1bts").arg(bts.net.toLower()), bts.code, &table);
        return table;
    }
    // Chooses the room's city, tells the grid, then the room by its code.
    template <typename Notify> static bool choose(PropertyItems& grid, const Model::Room& room, Notify notify)
    {
        PropertyItem* city = grid.GetItem(u("city"));
        city->setValue(room.city == u("11") ? u("甲市") : u("乙市"));
        notify(city);
        PropertyItem* target = grid.GetItem(u("belongroom"));
        for (const auto& option : target->Children())
            if (option->Key().mid(2) == room.code) {
                target->setValue(option->Caption());
                notify(target);
                return true;
            }
        return false;
    }
    // The wizard's relocation.
    Outcome relocate(const Model::Bts& bts, const Model::Room& room)
    {
        PropertyItems page;
        test::PromptRecorder prompt;
        RelocationSession session(context, page, prompt);
        Outcome out;
        QObject::connect(
            &session, &RelocationSession::relocated,
            [&out](const QString&, const QString&, const QString& code) { out.records << code; });
        out.done = session.start(bts.net, {{bts.net, shown(bts)}}, true) &&
                   choose(page, room, [&](PropertyItem* item) { session.valueChanged(item); }) &&
                   session.next() && session.commit();
        out.told = prompt.shown.join(u('/'));
        return out;
    }
    // The room move of every BTS of a room.
    Outcome move(const QList<const Model::Bts*>& btss, const Model::Room& room)
    {
        QMap<QString, AttrTable> tables;
        for (const Model::Bts* bts : btss)
            tables.insert(bts->net, shown(*bts));
        PropertyItems shared, pages[2];
        test::PromptRecorder prompt;
        RoomMove move(context, shared, {{u("G"), &pages[0]}, {u("C"), &pages[1]}}, prompt);
        Outcome out;
        QObject::connect(&move, &RoomMove::moved, [&out](const QStringList& codes) { out.records = codes; });
        out.done = move.start(tables) &&
                   choose(shared, room, [&](PropertyItem* item) { move.sharedValueChanged(item); }) &&
                   move.share() && move.check() && move.commit();
        out.told = prompt.shown.join(u('/'));
        return out;
    }
    // The reversal as its window runs it: planned, shown, run on what was shown.
    Outcome reverse(const QString& code, bool byOther)
    {
        mdlPubVar& user = byOther ? other : context;
        const Reversal::Plan plan = Reversal::plan(user, code);
        if (!plan.ok())
            return {false, {}, plan.refusal};
        const CommitOutcome done = Reversal::run(user, code, plan.rows);
        return {done.done(), done.done() ? QStringList{done.recordCode} : QStringList{}, done.message};
    }

    // What an engine step must keep: done as the model says, never done without a change, never
    // refused without a reason or with a change.
    void judge(bool expected, const Outcome& out, const QStringList& tablesBefore)
    {
        const bool changed = dump() != tablesBefore;
        expect(out.done || !expected, u("refused although it may go ahead: ") + out.told);
        expect(!out.done || expected, u("done although it must be refused: ") + out.told);
        expect(!out.done || (changed && !out.records.isEmpty()), u("reported success and changed nothing"));
        expect(out.done || (!changed && !out.told.isEmpty()), u("refused with changes or without a reason"));
    }
};

void compare(QStringList actual, QStringList expected, const char* what)
{
    actual.sort();
    expected.sort();
    expect(actual == expected,
           u("%1 are\n  %2\nbut the model says\n  %3")
               .arg(QLatin1String(what), actual.join(u("\n  ")), expected.join(u("\n  "))));
}

// The invariants, after every step. The rooms, the BTSs (city and room name), the cells, antennas
// and feeders, and the journal with its records are what the model says; no room holds a BTS of
// another city or one another room holds; no record names a room outside its cities.
void holds(const Model& m, Engine& e)
{
    QStringList rooms, btss, codes, journal;
    for (const Model::Room& r : m.rooms)
        if (r.exists)
            rooms << QStringList{r.code, r.name, r.city, r.bts.value(u("G")), r.bts.value(u("C"))}.join(
                u('|'));
    compare(e.db.rows(u("select roomcode,roomname,city,gbts,cbts from res_baseroom")), rooms, "the rooms");
    for (const Model::Bts& b : m.btss)
        btss << QStringList{b.code, b.city, b.name}.join(u('|'));
    compare(e.db.rows(u("select basecode,city,belongroom from res_gbts union all "
                        "select basecode,city,belongroom from res_cbts")),
            btss, "the BTSs");
    for (const QString& table : {u("res_gcell"), u("res_gant"), u("res_gantline"), u("res_ccell")})
        for (const QString& code : e.db.rows(u("select %1 from %2").arg(codeColumn(table), table)))
            codes << table + u(':') + code;
    compare(codes, m.codes, "the cells, antennas and feeders");
    for (int i = 0; i < m.entries.size(); ++i) {
        const Model::Entry& x = m.entries[i];
        const QStringList keys{e.records.value(i), m.btss[x.bts].code, e.records.value(x.reverses),
                               e.records.value(x.reversedBy)};
        journal << (keys + QStringList{x.fromCity, x.toCity, x.fromRoom, x.toRoom}).join(u('|'));
    }
    compare(e.db.rows(u("select j.discode,j.basecode,j.reverses,j.reversedby,h.fromcity,h.tocity,h.fromroom,"
                        "h.toroom from corvan_journal j left join h_btsdispatch h on h.discode=j.discode")),
            journal, "the journal entries");
    for (const QString& n : {u("g"), u("c")})
        compare(
            e.db.rows(
                u("select r.roomcode,r.%1bts from res_baseroom r where coalesce(r.%1bts,'')<>'' and "
                  "(not exists (select 1 from res_%1bts b where b.basenum=r.%1bts and b.city=r.city) or "
                  "exists (select 1 from res_baseroom o where o.%1bts=r.%1bts and o.roomcode<>r.roomcode))")
                    .arg(n)),
            {}, "rooms holding a BTS of another city or of another room");
    for (const QString& row :
         e.db.rows(u("select discode,fromcity,fromroom,tocity,toroom from h_btsdispatch"))) {
        const QStringList f = row.split(u('|'));
        for (int i : {1, 3}) {
            const Model::Room* r = m.room(f[i + 1]);
            expect(f[i + 1].isEmpty() || (r && r->city == f[i]),
                   u("record %1 names room %2 outside its city %3").arg(f[0], f[i + 1], f[i]));
        }
    }
}

// A step: what it does to the engine, then the invariants; it says what it is in a failure.
struct Step : rc::state::Command<Model, Engine> {
    QString what;
    void show(std::ostream& os) const override { os << what.toStdString(); }
    void run(const Model& m, Engine& e) const final
    {
        currentStep = u("step %1, %2").arg(++e.steps).arg(what);
        act(m, e);
        holds(nextState(m), e);
    }
    virtual void act(const Model& m, Engine& e) const = 0;
};

// The BTSs of a room one after another, or one BTS, into a room chosen by its code.
struct Relocate : Step {
    QString from, to;
    int bts = -1; // the room move's when none
    explicit Relocate(const Model& m, bool wholeRoom)
    {
        if (!wholeRoom)
            bts = pick(m.drawable());
        from = wholeRoom ? pick(m.targets({}, Model::Holds)) : m.btss[bts].room;
        to = pick(m.targets(from));
        const auto room = [](const QString& code) {
            return u("R%1").arg(code.toInt());
        };
        what = (wholeRoom ? u("move room ") + room(from)
                          : u("relocate %1%2").arg(m.btss[bts].net, m.btss[bts].number)) +
               u(" to ") + room(to);
    }
    QList<int> moved(const Model& m) const
    {
        QList<int> btss;
        for (int b = 0; b < m.btss.size(); ++b)
            if (bts < 0 ? m.btss[b].room == from : b == bts)
                btss << b;
        return btss;
    }
    bool may(const Model& m) const
    {
        for (int b : moved(m))
            if (!m.mayRelocate(b, to))
                return false;
        return true;
    }
    void checkPreconditions(const Model& m) const override
    {
        pre(m.room(to)->exists && to != (bts < 0 ? from : m.btss[bts].room) && !moved(m).isEmpty());
        pre(bts >= 0 || m.room(from)->exists);
    }
    void apply(Model& m) const override
    {
        if (may(m))
            for (int b : moved(m))
                m.relocate(b, to);
    }
    void act(const Model& m, Engine& e) const override
    {
        const QStringList before = e.dump();
        QList<const Model::Bts*> btss;
        QList<Rows> rows;
        for (int b : moved(m)) {
            btss << &m.btss[b];
            rows << e.slice(m.btss[b]);
        }
        const Outcome out = bts < 0 ? e.move(btss, *m.room(to)) : e.relocate(*btss.first(), *m.room(to));
        e.judge(may(m), out, before);
        expect(!out.done || out.records.size() == btss.size(), u("not a record for each BTS"));
        if (out.done) {
            e.records << out.records;
            e.before << rows;
        }
    }
};
struct RelocateOne : Relocate {
    explicit RelocateOne(const Model& m) : Relocate(m, false) {}
};
struct MoveRoom : Relocate {
    explicit MoveRoom(const Model& m) : Relocate(m, true) {}
};

struct Reverse : Step {
    int entry = 0;
    bool byOther = false;
    explicit Reverse(const Model& m)
    {
        pre(!m.entries.isEmpty());
        entry = any(2) ? int(m.entries.size()) - 1 : any(m.entries.size());
        byOther = enabled("other") && any(4) == 0;
        what =
            u("reverse entry %1%2").arg(entry + 1).arg(byOther ? u(" as the user of 乙市 alone") : QString());
    }
    void checkPreconditions(const Model& m) const override { pre(entry < m.entries.size()); }
    void apply(Model& m) const override
    {
        if (m.mayReverse(entry, byOther))
            m.reverse(entry);
    }
    void act(const Model& m, Engine& e) const override
    {
        const QStringList before = e.dump();
        const Rows now = e.slice(m.btss[m.entries[entry].bts]);
        const bool may = m.mayReverse(entry, byOther);
        const Outcome out = e.reverse(e.records.at(entry), byOther);
        e.judge(may, out, before);
        if (out.done) {
            // Every row as it was before the reversed step, but the room name; a column added
            // since as it was before the reversal.
            const Rows& then = e.before.at(entry);
            for (auto row = then.begin(); row != then.end(); ++row) {
                const QMap<QString, QString> after = e.row(row.key());
                expect(!after.isEmpty(), row.key() + u(" not restored"));
                for (auto column = after.begin(); column != after.end(); ++column) {
                    const QString was = row->contains(column.key())
                                            ? row->value(column.key())
                                            : now.value(row.key()).value(column.key());
                    expect(
                        column.key() == u("belongroom") || column.value() == was,
                        u("%1 %2 restored as %3, was %4").arg(row.key(), column.key(), column.value(), was));
                }
            }
            e.records << out.records;
            e.before << now;
        }
    }
};

// What others do between the steps, with plain SQL on the owner's connection.
struct Others : Step {
    static constexpr const char* Kinds[] = {"rename", "delete", "cell", "column", "name"};
    int kind = 0;
    int bts = -1;
    QString room, value, sql;
    explicit Others(const Model& m)
    {
        QList<int> kinds;
        for (int k = 0; k < 5; ++k)
            if (enabled(Kinds[k]))
                kinds << k;
        kind = pick(kinds);
        const QString table = kind == 3 ? pick(QStringList{u("res_gbts"), u("res_cbts")}) : QString();
        if (kind == 2 || kind == 4)
            bts = pick(m.drawable());
        const Model::Bts* b = bts < 0 ? nullptr : &m.btss[bts];
        QStringList freed; // cell codes a relocation deleted and nobody took since
        for (const Model::Entry& entry : m.entries)
            for (const QString& code : entry.deleted)
                if (b && code.startsWith(u("res_%1cell:").arg(b->net.toLower())) && !m.codes.contains(code))
                    freed << code;
        switch (kind) {
        case 0:
            room = pick(m.targets());
            value = u("机房%1").arg(10 + any(90));
            sql = u("update res_baseroom set roomname='%1' where roomcode='%2'").arg(value, room);
            break;
        case 1:
            pre(!m.targets({}, Model::Empty).isEmpty());
            room = pick(m.targets({}, Model::Empty));
            sql = u("delete from res_baseroom where roomcode='%1'").arg(room);
            break;
        case 2:
            value = !freed.isEmpty() && any(2)
                        ? pick(freed)
                        : u("res_%1cell:").arg(b->net.toLower()) + Fixture::roomCode(900 + any(50));
            sql = u("insert into %1(cellcode,ci,city,bts) values ('%2','39%3','%4','%5')")
                      .arg(value.section(u(':'), 0, 0), value.section(u(':'), 1), value.right(2), b->city,
                           b->number);
            break;
        case 3:
            value = table + u('.') + pick(QStringList{u("extra"), u("group"), u("stamp"), u("CellRemark")});
            sql = u("alter table %1 add column \"%2\" %3")
                      .arg(table, value.section(u('.'), 1),
                           !value.endsWith(u("stamp")) ? u("text default '附加'")
                                                       : (m.server ? u("timestamp") : u("text")) +
                                                             u(" default '2024-01-02 03:04:05.123456'"));
            break;
        default: // a name in bytes of another encoding on SQLite, with a quote on the server
            value = b->number + QString::number(any(1000));
            sql =
                u("update res_%1bts set basename=%2 where basecode='%3'")
                    .arg(
                        b->net.toLower(),
                        m.server
                            ? u("'O''Neil %1'").arg(value)
                            : u("cast(x'bcd7%1' as text)").arg(QString::fromLatin1(value.toLatin1().toHex())),
                        b->code);
        }
        what = u("others: ") + sql;
    }
    void checkPreconditions(const Model& m) const override
    {
        pre(room.isEmpty() || (m.room(room)->exists && (kind == 0 || m.room(room)->bts.isEmpty())));
        pre(kind != 2 || !m.codes.contains(value));
        pre(kind != 3 || !m.columns.contains(value));
    }
    void apply(Model& m) const override
    {
        if (kind == 0)
            m.room(room)->name = value;
        if (kind == 1)
            m.room(room)->exists = false;
        if (kind == 2) {
            m.codes << value;
            m.btss[bts].carried << value;
        }
        if (kind == 3)
            m.columns << value;
        if (kind == 4)
            m.btss[bts].state = ++m.states;
    }
    void act(const Model&, Engine& e) const override
    {
        QSqlQuery query(e.db.database());
        expect(query.exec(sql), u("others' write failed: ") + query.lastError().text());
    }
};

// On the server a relocator of 乙市 alone writes with plain SQL on his own connection. A cell of
// his city under a new code is his to enter; the model expects every other write refused.
struct CoUserWrite : Step {
    static constexpr const char* Kinds[] = {"own-cell", "hold", "forge",  "endless",
                                            "squat",    "mark", "foreign"};
    QStringList sql;
    QString cell;  // his own, the model keeps it
    QString taken; // a code a reversible relocation deleted
    int bts = -1;  // a BTS of 甲市 he names
    explicit CoUserWrite(const Model& m)
    {
        QList<int> all, named; // those CORVAN_MODEL_STEPS names ("squat"), or all
        for (int k = 0; k < 7; ++k)
            (chosen().contains(QLatin1String(Kinds[k])) ? named : all) << k;
        const int kind = pick(named.isEmpty() ? all : named);
        const QString record =
            u("insert into h_btsdispatch(discode,disuser,net,fromcity,tocity,fromroom) values "
              "(%1,'{user}','G','12','12',%2)");
        const QString next =
            u("(select lpad((coalesce(max(to_number(discode)),0)+1)::text,20,'0') from h_btsdispatch)");
        if (kind == 1 || kind == 2)
            bts = pick(m.drawable());
        QStringList rooms, codes;
        for (const Model::Room& r : m.rooms)
            if (r.exists && r.city == (kind == 1 ? u("12") : u("11")))
                rooms << r.code;
        for (int i = 0; i < m.entries.size(); ++i)
            if (m.mayReverse(i, false))
                codes << m.entries[i].deleted;
        switch (kind) {
        case 0:
            cell = u("res_gcell:") + Fixture::roomCode(960 + any(40));
            sql << u("insert into res_gcell(cellcode,ci,city) values ('%1','3998','12')")
                       .arg(cell.section(u(':'), 1));
            break;
        case 1:
            sql << u("update res_baseroom set %1bts='%2' where roomcode='%3'")
                       .arg(m.btss[bts].net.toLower(), m.btss[bts].number, pick(rooms));
            break;
        case 2:
            sql << record.arg(next, u("null"))
                << u("insert into corvan_journal(discode,net,basecode,entry) values ((select max(discode) "
                     "from "
                     "h_btsdispatch),'%1','%2','{}')")
                       .arg(m.btss[bts].net, m.btss[bts].code);
            break;
        case 3:
            sql << record.arg(u("'99999999999999999999'"), u("null"));
            break;
        case 4:
            pre(!codes.isEmpty());
            taken = pick(codes);
            sql << u("insert into %1(%2,ci,city) values ('%3','3999','12')")
                       .arg(taken.section(u(':'), 0, 0), codeColumn(taken.section(u(':'), 0, 0)),
                            taken.section(u(':'), 1));
            break;
        case 5:
            sql << u(
                "update corvan_journal set reversedby=case when reversedby is null then discode end where "
                "discode in (select discode from h_btsdispatch where fromcity='12' or tocity='12')");
            break;
        default:
            sql << record.arg(next, u("'%1'").arg(pick(rooms)));
        }
        what = u("the co-user of 乙市: ") + sql.join(u("; "));
    }
    void checkPreconditions(const Model& m) const override
    {
        pre(cell.isEmpty() || !m.codes.contains(cell));
        pre(bts < 0 || m.btss[bts].city == u("11"));
        bool reserved = taken.isEmpty();
        for (int i = 0; i < m.entries.size(); ++i)
            reserved = reserved || (m.mayReverse(i, false) && m.entries[i].deleted.contains(taken));
        pre(reserved);
    }
    void apply(Model& m) const override
    {
        if (!cell.isEmpty())
            m.codes << cell;
    }
    void act(const Model&, Engine& e) const override
    {
        QSqlQuery query(e.roleData.database());
        for (const QString& statement : sql)
            query.exec(QString(statement).replace(u("{user}"), e.role->name()));
        expect(cell.isEmpty() || query.lastError().type() == QSqlError::NoError,
               u("the co-user's own cell refused: ") + query.lastError().text());
    }
};

// One step, of a kind drawn by weight among the kinds enabled.
using StepPtr = std::shared_ptr<const rc::state::Command<Model, Engine>>;
template <typename T> rc::Gen<StepPtr> draw(const Model& m)
{
    return rc::gen::exec([m] { return StepPtr(std::make_shared<T>(m)); });
}
rc::Gen<StepPtr> drawStep(const Model& m)
{
    std::vector<rc::Gen<StepPtr>> kinds;
    const auto add = [&](bool on, int weight, const rc::Gen<StepPtr>& step) {
        for (int i = 0; on && i < weight; ++i)
            kinds.push_back(step);
    };
    add(enabled("relocate"), 3, draw<RelocateOne>(m));
    add(enabled("move"), 1, draw<MoveRoom>(m));
    add(enabled("reverse"), 4, draw<Reverse>(m));
    bool others = false;
    for (const char* kind : Others::Kinds)
        others = others || enabled(kind);
    add(others, 3, draw<Others>(m));
    add(m.server && enabled("couser"), 2, draw<CoUserWrite>(m));
    return rc::gen::mapcat(rc::gen::resize(100, rc::gen::inRange<std::size_t>(0, kinds.size())),
                           [kinds](std::size_t kind) { return kinds[kind]; });
}

TEST(EngineModel, EveryStepLeavesTheTablesAsTheModelSays)
{
    // A short seeded run inside the suite; on the server, where a case costs more, shorter and
    // without shrinking a failure (the README's long run shrinks). RC_PARAMS sets another.
    const bool server = test::TestDatabase::engineFromEnvironment() == u("postgresql");
    if (qEnvironmentVariableIsEmpty("RC_PARAMS"))
        qputenv("RC_PARAMS",
                server ? "seed=1 max_success=6 max_size=16 noshrink=1" : "seed=1 max_success=20 max_size=30");
    const Model initial = Model::initial(server);
    rc::detail::checkGTest([&initial] {
        // Drawn first: a sequence the model discards costs no database.
        const auto steps = *rc::state::gen::commands(initial, drawStep);
        Engine engine;
        rc::state::runAll(steps, initial, engine);
    });
}

} // namespace
