// SPDX-License-Identifier: MIT
#include "shots_host.h"

#include <QFile>
#include <QPointer>
#include <QPushButton>

#include <cstdio>

#include "core/context/mdl_pub_var.h"
#include "core/context/sql_literal.h"
#include "core/plan/plan_columns.h"
#include "desktop/sheet_service_impl.h"

namespace corvan::tools {

bool ShotsHost::open(const QString& database, const QString& user, const QDir& out, const QString& exportName)
{
    QString error;
    if (!m_data.open(database, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return false;
    }
    m_services = std::make_unique<host::HostServices>(&m_data);
    m_services->configure(user, QString());
    const QString path = out.filePath(exportName);
    m_services->sheets()->setFileChooser([path](const QString&) { return path; });
    m_services->sheets()->setDoneNotifier(
        [](const QString& written) { std::printf("exported: %s\n", qPrintable(written)); });
    return true;
}

bool press(QWidget* window, const char* button)
{
    const QPointer<QWidget> alive(window);
    window->findChild<QPushButton*>(QString::fromLatin1(button))->click();
    return !alive || !alive->isVisible();
}

bool writePlan(const mdlPubVar& context, const QString& path, int perNetwork, bool withFailures)
{
    const SystemDb& db = context.db();
    const PlanColumns columns = PlanColumns::of(context);
    QStringList headings;
    for (const PlanColumn& column : columns.columns())
        headings << column.heading;
    QList<QStringList> rows;
    QStringList taken;
    for (int i = 0; i < perNetwork; ++i) {
        for (const char* letter : {"G", "C", "D"}) {
            const QString net = QLatin1String(letter);
            const QString n = net.toLower();
            auto bts = db.open(QStringLiteral("select b.basenum,c.city_name,b.city,b.longitude,b.latitude,"
                                              "b.belongbsc from res_%1bts b,com_city c where "
                                              "c.city_id=b.city and b.basenum<>'' order by b.basecode")
                                   .arg(n));
            if (!bts || bts->RecordCount() <= i)
                return false;
            bts->MoveFirst();
            for (int skip = 0; skip < i; ++skip)
                bts->MoveNext();
            const QString room =
                db.firstText(QStringLiteral("select roomno from res_baseroom where city='%1' and (%2bts is "
                                            "null or %2bts='') and roomno is not null%3 order by roomcode")
                                 .arg(sqlText(bts->Text(QStringLiteral("city"))), n,
                                      taken.isEmpty() ? QString()
                                                      : QStringLiteral(" and roomno not in ('%1')")
                                                            .arg(taken.join(QStringLiteral("','")))))
                    .value_or(QString());
            if (room.isEmpty())
                return false;
            taken << room;
            QStringList row;
            for (const QString& heading : std::as_const(headings)) {
                if (heading == QStringLiteral("网络类型"))
                    row << net;
                else if (heading == QStringLiteral("所属地市"))
                    row << bts->Text(QStringLiteral("city_name"));
                else if (heading == QStringLiteral("基站编号"))
                    row << bts->Text(QStringLiteral("basenum"));
                else if (heading == QStringLiteral("目标机房编号"))
                    row << room;
                else if (heading == QStringLiteral("经度"))
                    row << bts->Text(QStringLiteral("longitude"));
                else if (heading == QStringLiteral("纬度"))
                    row << bts->Text(QStringLiteral("latitude"));
                else if (heading == QStringLiteral("是否共享"))
                    row << (net == QStringLiteral("C") ? QStringLiteral("否") : QString());
                // Each network's own column: a value under another network's is refused.
                else if (heading.startsWith(QStringLiteral("所属BSC")))
                    row << (net != QStringLiteral("D") ? bts->Text(QStringLiteral("belongbsc")) : QString());
                else if (heading.startsWith(QStringLiteral("所属RNC")))
                    row << (net == QStringLiteral("D") ? bts->Text(QStringLiteral("belongbsc")) : QString());
                else
                    row << QString();
            }
            rows << row;
        }
    }
    // Row 2 of the file to a room of its city that holds a G BTS, row 6 with a longitude
    // written as words, row 9 naming a C BTS that does not exist.
    const QString held =
        !withFailures
            ? QString()
            : db.firstText(QStringLiteral("select roomno from res_baseroom where gbts is not null and "
                                          "gbts<>'' and roomno is not null and city=(select city "
                                          "from res_gbts where basenum='%1') order by roomcode desc")
                               .arg(sqlText(rows.at(0).at(headings.indexOf(QStringLiteral("基站编号"))))))
                  .value_or(QString());
    if (withFailures && rows.size() >= 8) {
        rows[0][headings.indexOf(QStringLiteral("目标机房编号"))] = held;
        rows[4][headings.indexOf(QStringLiteral("经度"))] = QStringLiteral("东经113度");
        rows[7][headings.indexOf(QStringLiteral("基站编号"))] = QStringLiteral("9999999");
    }
    QByteArray bytes("\xEF\xBB\xBF");
    rows.prepend(headings);
    for (const QStringList& row : std::as_const(rows))
        bytes += row.join(QLatin1Char(',')).toUtf8() + "\r\n";
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

} // namespace corvan::tools
