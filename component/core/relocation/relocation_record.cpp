// SPDX-License-Identifier: MIT
#include "core/relocation/relocation_record.h"

#include "core/context/codes.h"
#include "core/context/mdl_pub_var.h"
#include "core/context/sql_literal.h"

namespace corvan {

const QString RelocationRecord::LineMarker = QStringLiteral("H=62s2Q");

namespace {

const QString BtsAttribute = QStringLiteral("BTS属性:");
const QString From = QStringLiteral(",从:");
const QString ChangedTo = QStringLiteral(",修改为:");
const QString Nothing = QStringLiteral("空");
// "删除BTS所属小区:" and "删除:" for deletions; a reversal's restorations read "恢复…".
const QString CellWord = QStringLiteral("BTS所属小区:");
const QString Colon = QStringLiteral(":");
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

QString RelocationRecord::entry(const SummaryRow& row)
{
    using Kind = SummaryRow::Kind;
    switch (row.kind) {
    case Kind::Band:
        return {};
    // An empty title is no entry, as the band that follows it.
    case Kind::Title:
        return row.caption.isEmpty() ? QString() : row.caption + QLatin1Char(' ');
    case Kind::Bts:
        return BtsAttribute + row.caption + From + row.before + ChangedTo +
               (row.after.isEmpty() ? Nothing : row.after) + EntryEnd;
    // A room's network column changes with the BTS's room, which the BTS rows tell.
    case Kind::Room:
        return {};
    case Kind::Cell:
    case Kind::Antenna:
    case Kind::Feeder:
        break;
    }
    // A reversal restores what a relocation deleted, and says so in the same words.
    if (row.action == SummaryRow::Action::Change)
        return {};
    const QString& done =
        row.action == SummaryRow::Action::Delete ? SummaryRow::DeleteWord : SummaryRow::RestoreWord;
    if (row.kind == Kind::Cell)
        return done + CellWord + row.before + EntryEnd;
    if (row.kind == Kind::Antenna)
        return done + Colon + row.caption + row.before + EntryEnd;
    // A feeder's lineid carries no kind word, unlike an antenna's "天线" + number.
    return done + Colon + row.caption + SummaryRow::FeederWord + row.before + EntryEnd;
}

QString RelocationRecord::disinfo(const SummaryRows& rows)
{
    QString text;
    for (const SummaryRow& row : rows) {
        text += entry(row);
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
                                     const SummaryRows& summary, QString* recordCode)
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
