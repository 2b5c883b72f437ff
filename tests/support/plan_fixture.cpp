// SPDX-License-Identifier: MIT
#include "plan_fixture.h"

#include <QMap>
#include <QSet>

#include "data/demo_database.h"
#include "test_database.h"

#include <gtest/gtest.h>

namespace corvan::test {

void PlanFixture::load(TestDatabase& db, int rooms)
{
    host::DemoOptions options;
    options.rooms = rooms;
    host::DemoReport report;
    QString error;
    ASSERT_TRUE(host::createDemoData(db.database(), options, &report, &error)) << error.toStdString();
}

QList<PlanFixture::Move> PlanFixture::moves(TestDatabase& db, int count)
{
    const QString nets[] = {QStringLiteral("G"), QStringLiteral("C"), QStringLiteral("D")};
    QList<QStringList> candidates[3];
    QMap<QString, QStringList> free[3]; // per city, the numbers of rooms free for the network
    for (int n = 0; n < 3; ++n) {
        const QString l = nets[n].toLower();
        for (const QString& row : db.rows(
                 QStringLiteral("select b.basenum,c.city_name,b.city,b.longitude,b.latitude,b.belongbsc from "
                                "res_%1bts b,com_city c where c.city_id=b.city and b.basenum<>'' order by "
                                "b.basecode")
                     .arg(l)))
            candidates[n] << row.split(QLatin1Char('|'));
        for (const QString& row :
             db.rows(QStringLiteral("select city,roomno from res_baseroom where (%1bts is null "
                                    "or %1bts='') and roomno is not null order by roomcode")
                         .arg(l))) {
            const QStringList parts = row.split(QLatin1Char('|'));
            free[n][parts.at(0)] << parts.at(1);
        }
    }
    QList<Move> moves;
    int next[3] = {};
    for (int i = 0; moves.size() < count && i < 10 * count; ++i) {
        const int n = i % 3;
        if (next[n] >= candidates[n].size())
            continue;
        const QStringList& bts = candidates[n].at(next[n]++);
        QStringList& rooms = free[n][bts.at(2)];
        if (rooms.isEmpty())
            continue;
        moves << Move{nets[n], bts.at(1), bts.at(0), rooms.takeFirst(), bts.at(3), bts.at(4), bts.at(5)};
    }
    EXPECT_EQ(moves.size(), count);
    return moves;
}

QList<QStringList> PlanFixture::sheet(const QStringList& headings, const QList<Move>& moves)
{
    QList<QStringList> sheet{headings};
    for (const Move& move : moves) {
        QStringList row;
        for (const QString& heading : headings) {
            if (heading == QStringLiteral("网络类型"))
                row << move.net;
            else if (heading == QStringLiteral("所属地市"))
                row << move.cityName;
            else if (heading == QStringLiteral("基站编号"))
                row << move.number;
            else if (heading == QStringLiteral("目标机房编号"))
                row << move.roomNumber;
            else if (heading == QStringLiteral("经度"))
                row << move.longitude;
            else if (heading == QStringLiteral("纬度"))
                row << move.latitude;
            else if (heading == QStringLiteral("是否共享"))
                row << (move.net == QStringLiteral("C") ? QStringLiteral("否") : QString());
            // Each network's own column: a value under another network's is refused.
            else if (heading.startsWith(QStringLiteral("所属BSC")))
                row << (move.net != QStringLiteral("D") ? move.bsc : QString());
            else if (heading.startsWith(QStringLiteral("所属RNC")))
                row << (move.net == QStringLiteral("D") ? move.bsc : QString());
            else
                row << QString();
        }
        sheet << row;
    }
    return sheet;
}

QStringList PlanFixture::resources(TestDatabase& db)
{
    QStringList all =
        db.rows(QStringLiteral("select * from res_baseroom order by roomcode"), QStringLiteral("<null>"));
    for (const char* n : {"g", "c", "d"}) {
        const QString l = QString::fromLatin1(n);
        for (const auto& [table, code] : {std::pair{QStringLiteral("bts"), QStringLiteral("basecode")},
                                          std::pair{QStringLiteral("cell"), QStringLiteral("cellcode")},
                                          std::pair{QStringLiteral("ant"), QStringLiteral("antcode")},
                                          std::pair{QStringLiteral("antline"), QStringLiteral("linecode")}})
            all << db.rows(QStringLiteral("select * from res_%1%2 order by %3").arg(l, table, code),
                           QStringLiteral("<null>"));
    }
    return all;
}

} // namespace corvan::test
