// SPDX-License-Identifier: MIT
#include "core/relocation/relocation_record.h"

#include "core/context/mdl_pub_fun.h"
#include "core/context/mdl_pub_var.h"
#include "core/context/sql_literal.h"
#include "core/relocation/change_summary.h"

namespace corvan {

const QString RelocationRecord::LineMarker = QStringLiteral("H=62s2Q");

namespace {

// The record reads back the kinds the summary writes in column 1, and its word for a deletion.
const QString& KindBts = ChangeSummary::BtsKind;
const QString& KindCell = ChangeSummary::CellKind;
const QString& KindAntenna = ChangeSummary::AntennaKind;
const QString& KindFeeder = ChangeSummary::FeederKind;
const QString& Deleted = ChangeSummary::Deleted;

const QString BtsAttribute = QStringLiteral("BTS属性:");
const QString From = QStringLiteral(",从:");
const QString ChangedTo = QStringLiteral(",修改为:");
const QString Nothing = QStringLiteral("空");
// "删除BTS所属小区:" and "删除:" for deletions; a reversal's restorations read "恢复…".
const QString DeletedWord = QStringLiteral("删除");
const QString RestoredWord = QStringLiteral("恢复");
const QString CellWord = QStringLiteral("BTS所属小区:");
const QString Colon = QStringLiteral(":");
const QString RoomWord = QStringLiteral("机房");
const QString FeederWord = QStringLiteral("馈线");
const QString EntryEnd = QStringLiteral(";");

QString quoted(const QString& value)
{
    return QStringLiteral(",'") + sqlText(value) + QLatin1Char('\'');
}

QString twoDigits(int number)
{
    return (QStringLiteral("00") + QString::number(number)).right(2);
}

} // namespace

QString RelocationRecord::entry(const QString& c1, const QString& c2, const QString& c3, const QString& c4)
{
    if (c1.isEmpty())
        return {};
    if (c1 == KindBts)
        return BtsAttribute + c2 + From + c3 + ChangedTo + (c4.isEmpty() ? Nothing : c4) + EntryEnd;
    // A reversal restores what a relocation deleted, and says so in the same words.
    const QString* done = c4 == Deleted ? &DeletedWord : c4 == RestoredWord ? &RestoredWord : nullptr;
    if (c1 == KindCell)
        return done ? *done + CellWord + c3 + EntryEnd : QString();
    if (c1 == KindAntenna)
        return done ? *done + Colon + c2 + c3 + EntryEnd : QString();
    if (c1 == KindFeeder)
        // A feeder's lineid carries no kind word, unlike an antenna's "天线" + number.
        return done ? *done + Colon + c2 + FeederWord + c3 + EntryEnd : QString();
    // A room's network column changes with the BTS's room, which the BTS rows tell.
    if (c1 == RoomWord)
        return {};
    // The title row.
    return c1 + QLatin1Char(' ');
}

QString RelocationRecord::disinfo(const QList<QStringList>& rows)
{
    QString text;
    for (const QStringList& row : rows) {
        const auto column = [&row](qsizetype i) {
            return i < row.size() ? row.at(i) : QString();
        };
        text += entry(column(0), column(1), column(2), column(3));
        text += LineMarker;
    }
    return text;
}

QString RelocationRecord::insertStatement(const QString& code, const QDate& date, const QString& user,
                                          const MoveBtsState& state, const QString& disinfo)
{
    if (!date.isValid())
        return {};
    return QStringLiteral(
               "insert into h_btsdispatch(discode,distime,disuser,net,fromcity,tocity,fromroom,toroom,"
               "simplemode,disinfo)") +
           QStringLiteral(" values('") + sqlText(code) + QLatin1Char('\'') + QStringLiteral(",to_date('") +
           QString::number(date.year()) + QLatin1Char('-') + twoDigits(date.month()) + QLatin1Char('-') +
           twoDigits(date.day()) + QStringLiteral("','yyyy-mm-dd')") + quoted(user) + quoted(state.net) +
           quoted(state.cityCode) + quoted(state.newCityCode) + quoted(state.oldRoomCode) +
           quoted(state.newRoomCode) + (state.simpleMode ? QStringLiteral(",'Y'") : QStringLiteral(",'N'")) +
           QStringLiteral(",'") + sqlText(disinfo) + QStringLiteral("')");
}

bool RelocationRecord::saveModifyLog(const mdlPubVar& context, const MoveBtsState& state,
                                     const QList<QStringList>& summary, QString* recordCode)
{
    corvan::ContextService* host = context.ContextService();
    if (!context.DataService() || !host)
        return false;
    const QString code =
        mdlPubFun::NewCode(context, QStringLiteral("h_btsdispatch"), QStringLiteral("discode"));
    // Twenty zeros is the generator's answer to a failed lookup, not a code: a record
    // written with it would clash with the next such record, or hide the failure.
    if (code.isEmpty() || code == mdlPubFun::ZeroCode)
        return false;
    // One reading of the clock: year, month and day read apart could straddle midnight.
    const QString sql =
        insertStatement(code, QDate::currentDate(), host->CurrentUser(), state, disinfo(summary));
    if (sql.isEmpty() || !context.db().execute(sql, 1))
        return false;
    if (recordCode)
        *recordCode = code;
    return true;
}

} // namespace corvan
