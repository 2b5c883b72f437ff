// SPDX-License-Identifier: MIT
#include "core/plan/plan_store.h"

#include "core/context/field_names.h"
#include "core/context/sql_literal.h"
#include "core/plan/plan_run.h"

namespace corvan {

const QString PlanStore::Table = QStringLiteral("corvan_plan");

namespace {

QString quoted(const QString& text)
{
    return QLatin1Char('\'') + sqlText(text) + QLatin1Char('\'');
}

} // namespace

QString PlanStore::insertStatement(const QString& code, const PlanSource& source, const QString& user,
                                   const QDateTime& when, int rows)
{
    return QStringLiteral(
               "insert into corvan_plan(plancode,title,filename,checksum,planuser,plantime,rowcount) "
               "values(") +
           quoted(code) + QLatin1Char(',') + quoted(source.title) + QLatin1Char(',') +
           quoted(source.fileName) + QLatin1Char(',') + quoted(source.checksum) + QLatin1Char(',') +
           quoted(user) + QLatin1Char(',') + quoted(when.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"))) +
           QLatin1Char(',') + QString::number(rows) + QLatin1Char(')');
}

QString PlanStore::roomOfNumberStatement(const QString& net, const QString& number)
{
    return QStringLiteral("select roomcode,roomname from res_baseroom where ") + networkName(net) +
           QStringLiteral("bts=") + quoted(number);
}

QString PlanStore::cityRoomsStatement(const QString& cityId)
{
    QString sql = QStringLiteral("select roomcode,roomname,roomno");
    for (const QString& letter : NetworkLetters)
        sql += QLatin1Char(',') + letter.toLower() + QStringLiteral("bts");
    return sql + QStringLiteral(" from res_baseroom where city=") + quoted(cityId);
}

QString PlanStore::planOfRecordStatement(const QString& discode)
{
    return QStringLiteral("select plancode,planrow from corvan_journal where discode=") + quoted(discode);
}

QString PlanStore::planStatement(const QString& plan)
{
    return QStringLiteral(
               "select title,filename,planuser,plantime,rowcount from corvan_plan where plancode=") +
           quoted(plan);
}

QString PlanStore::entriesStatement(const QString& plan)
{
    // With the cities of each record, which a reversal of the plan locks.
    return QStringLiteral("select j.discode,j.planrow,j.net,j.basecode,j.reversedby,h.fromcity,h.tocity from "
                          "corvan_journal j left join h_btsdispatch h on h.discode=j.discode where "
                          "j.plancode=") +
           quoted(plan) + QStringLiteral(" order by j.planrow");
}

QString PlanStore::reviewVersionsStatement(int number, bool withRows)
{
    return QStringLiteral(
               "select reviewno,version,title,filename,checksum,author,submitted,rowcount,cities") +
           (withRows ? QStringLiteral(",sheet,verdicts") : QString()) +
           QStringLiteral(" from corvan_review") +
           (number > 0 ? QStringLiteral(" where reviewno=") + QString::number(number) : QString()) +
           QStringLiteral(" order by reviewno,version");
}

QString PlanStore::reviewLogStatement(int number)
{
    return QStringLiteral("select reviewno,step,version,action,actor,acttime,comment,plancode from "
                          "corvan_review_log") +
           (number > 0 ? QStringLiteral(" where reviewno=") + QString::number(number) : QString()) +
           QStringLiteral(" order by reviewno,step");
}

QString PlanStore::lastReviewStatement()
{
    return QStringLiteral("select max(reviewno) from corvan_review");
}

QString PlanStore::insertReviewStatement()
{
    return QStringLiteral(
        "insert into corvan_review(reviewno,version,title,filename,checksum,author,submitted,"
        "rowcount,cities,sheet,verdicts) values(?,?,?,?,?,?,?,?,?,?,?)");
}

QString PlanStore::insertReviewStepStatement()
{
    return QStringLiteral("insert into corvan_review_log(reviewno,step,version,action,actor,acttime,comment,"
                          "plancode) values(?,?,?,?,?,?,?,?)");
}

QString PlanStore::reviewRequiredStatement(const QStringList& cities)
{
    QString sql = QStringLiteral("select count(*) from corvan_review_setting s where s.required");
    if (!cities.isEmpty())
        sql += QStringLiteral(" and s.pro_id in (select pro_id from com_city where city_id in (") +
               sqlTextList(cities) + QStringLiteral("))");
    return sql;
}

QString PlanStore::reviewOfPlanStatement(const QString& plan)
{
    return QStringLiteral("select l.reviewno,l.version,(select max(step)+1 from corvan_review_log n where "
                          "n.reviewno=l.reviewno) from corvan_review_log l where l.action='apply' and "
                          "l.plancode=") +
           quoted(plan);
}

QString PlanStore::recordsOfPlanStatement(const QString& plan)
{
    return QStringLiteral("select planrow,discode from corvan_journal where plancode=") + quoted(plan);
}

QString PlanStore::originOfRecordStatement(const QString& discode)
{
    return QStringLiteral(
               "select p.plancode,p.title,j.planrow,p.planuser,l.reviewno,r.author,a.actor,a.acttime from "
               "corvan_journal j join corvan_plan p on p.plancode=j.plancode left join corvan_review_log l "
               "on "
               "l.plancode=p.plancode and l.action='apply' left join corvan_review r on "
               "r.reviewno=l.reviewno and "
               "r.version=1 left join corvan_review_log a on a.reviewno=l.reviewno and a.step=(select "
               "max(s.step) "
               "from corvan_review_log s where s.reviewno=l.reviewno and s.step<l.step and "
               "s.action='approve') "
               "where j.discode=") +
           quoted(discode);
}

} // namespace corvan
