// SPDX-License-Identifier: MIT
#include "scale_data.h"

#include "data/demo_database.h"
#include "data/schema.h"
#include "data/schema_version.h"

#include <QDate>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <cstdio>
#include <random>
#include <vector>

namespace corvan::bench {

namespace {

using namespace Qt::StringLiterals;

// Generated records take codes from here on, far from the ones relocations give out.
constexpr qint64 FirstGeneratedCode = 1'000'000'000'001;
const QString Aside = u"corvan_bench_"_s;
const QStringList HistoryTables{u"h_btsdispatch"_s, u"corvan_journal"_s};

QString code20(qint64 n)
{
    return u"%1"_s.arg(n, 20, 10, QLatin1Char('0'));
}

QString quoted(const QString& text)
{
    return QLatin1Char('\'') + QString(text).replace(QLatin1Char('\''), u"''"_s) + QLatin1Char('\'');
}

} // namespace

bool ScaleData::exec(const QString& sql, QString* error)
{
    QSqlQuery query(m_db);
    if (query.exec(sql))
        return true;
    *error = query.lastError().text() + u"\nStatement: "_s + sql.left(300);
    return false;
}

QString ScaleData::first(const QString& sql)
{
    QSqlQuery query(m_db);
    return query.exec(sql) && query.next() ? query.value(0).toString() : QString();
}

qint64 ScaleData::count(const QString& table)
{
    return first(u"select count(*) from "_s + table).toLongLong();
}

bool ScaleData::prepare(int rooms, QString* error)
{
    if (first(u"select count(*) from res_baseroom"_s).toLongLong() == rooms) {
        // A province kept from an earlier build is measured with what this build's schema adds.
        int version = 0;
        if (!host::SchemaVersion::read(m_db, &version, error))
            return false;
        if (version >= host::LatestSchemaVersion)
            return true;
        std::fprintf(stderr, "upgrading the kept province's schema\n");
        return host::upgradeSchema(
            m_db, version, [](int) {}, error);
    }
    std::fprintf(stderr, "making the demo province of %d rooms\n", rooms);
    for (const QString& table : HistoryTables)
        exec(u"drop table if exists "_s + Aside + table, error);
    if (!host::dropSchema(m_db, error) || !host::createSchema(m_db, error))
        return false;
    host::DemoOptions options;
    options.rooms = rooms;
    host::DemoReport report;
    return host::createDemoData(m_db, options, &report, error);
}

bool ScaleData::vacuum(QString* error)
{
    return host::engineOf(m_db) != host::Engine::PostgreSQL || exec(u"vacuum analyze"_s, error);
}

bool ScaleData::insertRows(const QString& insert, qint64 count, int batch,
                           const std::function<QString(qint64)>& row, QString* error)
{
    if (!m_db.transaction()) {
        *error = m_db.lastError().text();
        return false;
    }
    QStringList values;
    for (qint64 i = 0; i < count; ++i) {
        values << row(i);
        if (values.size() == batch || i + 1 == count) {
            if (!exec(insert + values.join(QLatin1Char(',')), error)) {
                m_db.rollback();
                return false;
            }
            values.clear();
        }
    }
    if (m_db.commit())
        return true;
    *error = m_db.lastError().text();
    return false;
}

bool ScaleData::fillHistory(int records, QString* error)
{
    const qint64 have = count(u"h_btsdispatch"_s);
    if (have >= records)
        return fillJournal(error);
    std::fprintf(stderr, "writing %lld relocation records\n", static_cast<long long>(records - have));
    std::vector<std::pair<QString, QString>> rooms;
    {
        QSqlQuery query(m_db);
        if (!query.exec(u"select roomcode, city from res_baseroom order by roomcode"_s)) {
            *error = query.lastError().text();
            return false;
        }
        while (query.next())
            rooms.emplace_back(query.value(0).toString(), query.value(1).toString());
    }
    const qint64 start =
        std::max(FirstGeneratedCode, first(u"select max(discode) from h_btsdispatch"_s).toLongLong() + 1);
    std::mt19937 random(14);
    std::uniform_int_distribution<std::size_t> anyRoom(0, rooms.size() - 1);
    const QDate firstDay(2025, 1, 1);
    const bool written = insertRows(
        u"insert into h_btsdispatch(discode,distime,disuser,net,fromcity,tocity,fromroom,toroom,simplemode,"
        u"disinfo) values "_s,
        records - have, 500,
        [&](qint64 i) {
            const auto& from = rooms[anyRoom(random)];
            const auto& to = rooms[anyRoom(random)];
            const QString net = QString(QLatin1Char("GCD"[i % 3]));
            return u"(%1,to_date('%2','yyyy-mm-dd'),'admin',%3,%4,%5,%6,%7,'1',%8)"_s.arg(
                quoted(code20(start + i)), firstDay.addDays(i % 365).toString(Qt::ISODate), quoted(net),
                quoted(from.second), quoted(to.second), quoted(from.first), quoted(to.first),
                quoted(u"BTS属性:所属机房,从:"_s + from.first + u",修改为:"_s + to.first + u";H=62s2Q"_s));
        },
        error);
    if (!written)
        return false;
    return fillJournal(error) &&
           (host::engineOf(m_db) == host::Engine::SQLite || exec(u"analyze h_btsdispatch"_s, error));
}

namespace {

// A journal entry as a relocation of a G BTS with three cells writes it (the form of
// Journal::write; the values made up, the codes of its cells and lines its own).
QString journalEntry(qint64 n, const QString& net, const QString& fromRoom, const QString& toRoom)
{
    const QString code = code20(n);
    const QString number = QString::number(1'000'000 + n % 9'000'000);
    const auto texts = [](std::initializer_list<QString> values) {
        QJsonArray array;
        for (const QString& value : values)
            array.append(value);
        return array;
    };
    const auto part = [](const QJsonArray& columns, const QJsonArray& rows) {
        return QJsonObject{{u"columns"_s, columns}, {u"rows"_s, rows}};
    };
    QJsonArray cells, antennas, feeders;
    for (int c = 1; c <= 3; ++c) {
        const QString ci = QString::number(10'000 + c);
        cells.append(texts({u"J%1C%2"_s.arg(code).arg(c), u"某区某机房%1-%2"_s.arg(net).arg(c), ci,
                            u"11103"_s, u"11"_s, u"1103"_s, number, c == 3 ? u"室内分布"_s : u"宏站"_s}));
        for (int a = 1; a <= (c == 2 ? 1 : 2); ++a)
            antennas.append(texts({u"J%1A%2%3"_s.arg(code).arg(c).arg(a),
                                   u"某区某机房%1-%2天线%3"_s.arg(net).arg(c).arg(a), ci, u"11"_s, u"电调"_s,
                                   QString::number(40 * a + c), u"25.5"_s, u"4"_s}));
        for (int f = 1; f <= (c == 1 ? 3 : 2); ++f)
            feeders.append(texts({u"J%1F%2%3"_s.arg(code).arg(c).arg(f), u"KX%1%2%3"_s.arg(n).arg(c).arg(f),
                                  ci, u"11"_s, u"7/8\""_s, u"52.3"_s}));
    }
    const QJsonArray btsColumns =
        texts({u"basecode"_s, u"basenum"_s, u"basename"_s, u"city"_s, u"county"_s, u"belongroom"_s,
               u"belongbsc"_s, u"vendor"_s, u"btstype"_s, u"carriers"_s, u"longitude"_s, u"latitude"_s,
               u"opendate"_s, u"status"_s, u"shared"_s, u"remark"_s, u"photo"_s});
    const auto btsRow = [&](const QString& room) {
        return texts({code, number, u"某区某机房%1网基站"_s.arg(net), u"11"_s, u"1103"_s, room,
                      u"某市BSC01"_s, u"爱立信"_s, u"RBS2206"_s, u"9"_s, u"113.216194"_s, u"28.344846"_s,
                      u"2011-07-22"_s, u"在网"_s, u"Y"_s, QString(), QString()});
    };
    const QJsonObject entry{
        {u"antennas"_s, part(texts({u"antcode"_s, u"antname"_s, u"ci"_s, u"city"_s, u"anttype"_s,
                                    u"azimuth"_s, u"height"_s, u"downtilt"_s}),
                             antennas)},
        {u"basecode"_s, code},
        {u"bts"_s, QJsonObject{{u"after"_s, btsRow(u"某区某新机房"_s)},
                               {u"before"_s, btsRow(u"某区某机房"_s)},
                               {u"columns"_s, btsColumns}}},
        {u"cells"_s, part(texts({u"cellcode"_s, u"cellname"_s, u"ci"_s, u"lac"_s, u"city"_s, u"county"_s,
                                 u"bts"_s, u"covertype"_s}),
                          cells)},
        {u"feeders"_s,
         part(texts({u"linecode"_s, u"lineid"_s, u"ci"_s, u"city"_s, u"linetype"_s, u"linelength"_s}),
              feeders)},
        {u"net"_s, net},
        {u"rooms"_s, QJsonArray{QJsonObject{{u"roomcode"_s, fromRoom}, {u"value"_s, number}},
                                QJsonObject{{u"roomcode"_s, toRoom}, {u"value"_s, QJsonValue()}}}}};
    return QString::fromUtf8(QJsonDocument(entry).toJson(QJsonDocument::Compact));
}

} // namespace

bool ScaleData::fillJournal(QString* error)
{
    QSqlQuery query(m_db);
    if (!query.exec(
            u"select h.discode, h.distime, h.net, h.fromroom, h.toroom from h_btsdispatch h where "
            u"h.discode >= '%1' and not exists (select 1 from corvan_journal j where j.discode = h.discode) "
            u"order by h.discode"_s.arg(code20(FirstGeneratedCode)))) {
        *error = query.lastError().text();
        return false;
    }
    struct Missing {
        QString code, day, net, from, to;
    };
    std::vector<Missing> missing;
    while (query.next())
        missing.push_back({query.value(0).toString(), query.value(1).toString().left(10),
                           query.value(2).toString(), query.value(3).toString(), query.value(4).toString()});
    if (missing.empty())
        return true;
    std::fprintf(stderr, "writing %zu journal entries\n", missing.size());
    const bool written = insertRows(
        u"insert into corvan_journal(discode,net,basecode,fromroom,toroom,entry,entrytime) values "_s,
        qint64(missing.size()), 200,
        [&](qint64 i) {
            const Missing& m = missing[std::size_t(i)];
            const qint64 n = m.code.toLongLong();
            const QString time = u"%1 %2:%3:%4"_s.arg(m.day)
                                     .arg(8 + n % 12, 2, 10, QLatin1Char('0'))
                                     .arg(n / 12 % 60, 2, 10, QLatin1Char('0'))
                                     .arg(n / 720 % 60, 2, 10, QLatin1Char('0'));
            return u"(%1,%2,%3,%4,%5,%6,%7)"_s.arg(
                quoted(m.code), quoted(m.net), quoted(m.code), quoted(m.from), quoted(m.to),
                quoted(journalEntry(n, m.net, m.from, m.to)), quoted(time));
        },
        error);
    if (!written)
        return false;
    return host::engineOf(m_db) == host::Engine::SQLite || exec(u"analyze corvan_journal"_s, error);
}

bool ScaleData::setHistoryAside(QString* error)
{
    for (const QString& table : HistoryTables) {
        if (!exec(u"drop table if exists "_s + Aside + table, error) ||
            !exec(u"create table "_s + Aside + table + u" as select * from "_s + table, error) ||
            !exec(u"delete from "_s + table, error))
            return false;
    }
    // Rows deleted on a server stay in its indexes until a vacuum.
    return host::engineOf(m_db) == host::Engine::SQLite || exec(u"vacuum analyze h_btsdispatch"_s, error);
}

bool ScaleData::restoreHistory(QString* error)
{
    for (const QString& table : HistoryTables) {
        if (!exec(u"delete from "_s + table, error) ||
            !exec(u"insert into "_s + table + u" select * from "_s + Aside + table, error) ||
            !exec(u"drop table "_s + Aside + table, error))
            return false;
    }
    return host::engineOf(m_db) == host::Engine::SQLite || exec(u"vacuum analyze h_btsdispatch"_s, error);
}

bool ScaleData::chooseBts(MovingBts* bts, QString* error)
{
    bts->city = first(u"select city from res_baseroom group by city order by count(*) desc, city"_s);
    bts->cityName = first(u"select city_name from com_city where city_id = "_s + quoted(bts->city));
    const QString ownName =
        u"(select count(*) from res_baseroom x where x.city = r.city and x.roomname = r.roomname) = 1"_s;
    QSqlQuery query(m_db);
    if (!query.exec(u"select b.basecode, b.basenum, b.county, r.roomname from res_gbts b join res_baseroom r "
                    u"on r.city = b.city and r.gbts = b.basenum where b.city = "_s +
                    quoted(bts->city) + u" and "_s + ownName + u" order by b.basecode"_s) ||
        !query.next()) {
        *error = u"no G BTS in a room of a name of its own in city "_s + bts->city;
        return false;
    }
    bts->code = query.value(0).toString();
    bts->number = query.value(1).toString();
    bts->county = query.value(2).toString();
    bts->rooms[0] = query.value(3).toString();
    query.finish();
    bts->rooms[1] = first(u"select roomname from res_baseroom r where city = "_s + quoted(bts->city) +
                          u" and (gbts is null or gbts = '') and "_s + ownName + u" order by roomcode"_s);
    if (bts->rooms[1].isEmpty()) {
        *error = u"no free room in city "_s + bts->city;
        return false;
    }
    return true;
}

QList<QStringList> ScaleData::planSheet(const QStringList& headings, int count, const MovingBts& moving)
{
    const QString nets[] = {u"G"_s, u"C"_s, u"D"_s};
    QList<QStringList> candidates[3];
    QHash<QString, QStringList> free[3]; // per city, rooms free for the network
    for (int n = 0; n < 3; ++n) {
        const QString l = nets[n].toLower();
        QSqlQuery query(m_db);
        query.exec(
            u"select b.basenum, c.city_name, b.city, b.longitude, b.latitude, b.belongbsc from res_%1bts b "
            u"join com_city c on c.city_id = b.city where b.basenum <> '' and b.basecode <> %2 "
            u"order by b.basecode"_s.arg(l, quoted(n == 0 ? moving.code : QString())));
        while (query.next()) {
            QStringList row;
            for (int i = 0; i < 6; ++i)
                row << query.value(i).toString();
            candidates[n] << row;
        }
        query.exec(u"select city, roomno from res_baseroom where (%1bts is null or %1bts = '') and roomno is "
                   u"not null and roomno <> '' order by roomcode"_s.arg(l));
        while (query.next())
            free[n][query.value(0).toString()] << query.value(1).toString();
    }
    // A room is the target of one row only, whichever network it is free for.
    QSet<QString> used;
    QList<QStringList> sheet{headings};
    int next[3] = {};
    for (int i = 0; sheet.size() <= count && i < 10 * count; ++i) {
        const int n = i % 3;
        if (next[n] >= candidates[n].size())
            continue;
        const QStringList& bts = candidates[n].at(next[n]++);
        QStringList& rooms = free[n][bts.at(2)];
        while (!rooms.isEmpty() && used.contains(bts.at(2) + u'|' + rooms.first()))
            rooms.removeFirst();
        if (rooms.isEmpty())
            continue;
        const QString room = rooms.takeFirst();
        used << bts.at(2) + u'|' + room;
        QStringList row;
        for (const QString& heading : headings) {
            if (heading == u"网络类型"_s)
                row << nets[n];
            else if (heading == u"所属地市"_s)
                row << bts.at(1);
            else if (heading == u"基站编号"_s)
                row << bts.at(0);
            else if (heading == u"目标机房编号"_s)
                row << room;
            else if (heading == u"经度"_s)
                row << bts.at(3);
            else if (heading == u"纬度"_s)
                row << bts.at(4);
            else if (heading == u"是否共享"_s)
                row << (n == 1 ? u"否"_s : QString());
            else if (heading.startsWith(u"所属BSC"_s))
                row << (n != 2 ? bts.at(5) : QString());
            else if (heading.startsWith(u"所属RNC"_s))
                row << (n == 2 ? bts.at(5) : QString());
            else
                row << QString();
        }
        sheet << row;
    }
    return sheet;
}

qint64 ScaleData::cityRooms(const MovingBts& bts)
{
    return first(u"select count(*) from res_baseroom where city = "_s + quoted(bts.city)).toLongLong();
}

bool ScaleData::giveCells(const MovingBts& bts, int cells, int serial, QString* error)
{
    const QString city = quoted(bts.city);
    const QString own =
        u"(select ci from res_gcell where city = "_s + city + u" and bts = "_s + quoted(bts.number) + u")"_s;
    QStringList cellRows;
    QStringList antRows;
    QStringList lineRows;
    for (int k = 0; k < cells; ++k) {
        const qint64 n = qint64(serial) * 1000 + k;
        const QString code = quoted(u"7"_s + code20(n).right(19));
        const QString ci = quoted(QString::number(700'000'000 + n));
        cellRows << u"(%1,%2,%3,'1',%4,%5,%6,'宏站')"_s.arg(code, quoted(u"测试小区%1"_s.arg(k + 1)), ci,
                                                            city, quoted(bts.county), quoted(bts.number));
        antRows << u"(%1,%2,%3,%4,'定向',120,30.5,4)"_s.arg(code, quoted(u"测试天线%1"_s.arg(k + 1)), ci,
                                                            city);
        lineRows << u"(%1,%2,%3,%4,'7/8\"',40.5)"_s.arg(code, quoted(u"KX%1"_s.arg(n)), ci, city);
    }
    const bool ok =
        m_db.transaction() &&
        exec(u"delete from res_gant where city = "_s + city + u" and ci in "_s + own, error) &&
        exec(u"delete from res_gantline where city = "_s + city + u" and ci in "_s + own, error) &&
        exec(u"delete from res_gcell where city = "_s + city + u" and bts = "_s + quoted(bts.number),
             error) &&
        exec(u"insert into res_gcell(cellcode,cellname,ci,lac,city,county,bts,covertype) values "_s +
                 cellRows.join(QLatin1Char(',')),
             error) &&
        exec(u"insert into res_gant(antcode,antname,ci,city,anttype,azimuth,height,downtilt) values "_s +
                 antRows.join(QLatin1Char(',')),
             error) &&
        exec(u"insert into res_gantline(linecode,lineid,ci,city,linetype,linelength) values "_s +
                 lineRows.join(QLatin1Char(',')),
             error) &&
        m_db.commit();
    if (!ok)
        m_db.rollback();
    return ok;
}

} // namespace corvan::bench
