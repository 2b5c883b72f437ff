// SPDX-License-Identifier: MIT
#include "core/relocation/reversal.h"

#include <QDate>
#include <QHash>
#include <QJsonArray>

#include "core/context/busy_scope.h"
#include "core/context/mdl_pub_fun.h"
#include "core/context/mdl_pub_var.h"
#include "core/context/resource_view.h"
#include "core/context/sql_literal.h"
#include "core/relocation/cell_loader.h"
#include "core/relocation/change_summary.h"
#include "core/relocation/connection_loss.h"
#include "core/relocation/relocation_record.h"
#include "corvan/attr_table.h"

namespace corvan {

const QString Reversal::SuccessMessage = QStringLiteral("撤销调整成功");
const QString Reversal::UndoneMessage = QStringLiteral("撤销调整未能完成，数据库未作任何修改。");
const QString Reversal::NoJournal = QStringLiteral("该调整记录没有调整日志，无法撤销。");
const QString Reversal::AlreadyReversed = QStringLiteral("该调整已被记录 %1 撤销。");
const QString Reversal::BtsGone = QStringLiteral("该基站已不存在，无法撤销。");
const QString Reversal::BtsChanged =
    QStringLiteral("该基站在此次调整之后又被修改或调整过，与调整后的状态不一致，无法撤销。");
const QString Reversal::LaterFirst = QStringLiteral("该基站有更晚的调整（记录 %1），请先撤销更晚的调整。");
const QString Reversal::RoomTaken = QStringLiteral("原机房 %1 已有%2网基站，无法撤销。");
const QString Reversal::CodeTaken = QStringLiteral("要恢复的%1编码 %2 已被占用，无法撤销。");
const QString Reversal::NoTransactions =
    QStringLiteral("数据服务不支持事务，撤销调整无法保证一次完成，未作任何修改。");
const QString Reversal::Changed =
    QStringLiteral("撤销内容已被其他用户改变，未作任何修改。请重新打开撤销调整。");

namespace {

const QString ReadFailed = QStringLiteral("撤销调整所需的数据无法读取：");
const QString RoomKind = QStringLiteral("机房");
const QString Restored = QStringLiteral("恢复");
const QString PictureText = QStringLiteral("(图片)");
const QString CellCaption = QStringLiteral("小区");

struct Rows {
    QJsonArray columns;
    QJsonArray rows;
};

Rows rowsOf(const QJsonObject& object)
{
    return {object.value(QStringLiteral("columns")).toArray(),
            object.value(QStringLiteral("rows")).toArray()};
}

QJsonValue valueOf(const QJsonArray& columns, const QJsonArray& row, const QString& name)
{
    for (qsizetype i = 0; i < columns.size(); ++i)
        if (columns.at(i).toString() == name)
            return row.at(i);
    return QJsonValue::Undefined;
}

QString textOf(const QJsonValue& value)
{
    if (value.isObject())
        return PictureText;
    return value.toString();
}

QString quotedList(const QStringList& codes)
{
    QStringList quoted;
    for (const QString& code : codes)
        quoted << QLatin1Char('\'') + sqlText(code) + QLatin1Char('\'');
    return QLatin1Char('(') + quoted.join(QLatin1Char(',')) + QLatin1Char(')');
}

// One kind of resource the BTS carries: its table, code column, the word the user reads,
// and the column the summary shows of each row.
struct Kind {
    QString table;
    QString code;
    QString summaryKind;
    QString label;
    QString word;

    // A summary row as the relocation's summary writes them: a cell by its CI, an antenna or
    // feeder by its label under its cell.
    QStringList row(const QJsonArray& columns, const QJsonArray& values, const QString& what) const
    {
        const QString ci = textOf(valueOf(columns, values, QStringLiteral("ci")));
        if (summaryKind == ChangeSummary::CellKind)
            return {summaryKind, CellCaption, ci, what};
        return {summaryKind, CellCaption + ci + QStringLiteral("所属"),
                textOf(valueOf(columns, values, label)), what};
    }
};

} // namespace

QString Reversal::title(const QString& cityName, const QString& net, const QString& roomName,
                        const QString& discode)
{
    return cityName + QLatin1Char(' ') + net + QStringLiteral("网基站: ") + roomName +
           QStringLiteral(" 撤销调整记录 ") + discode;
}

Reversal::Plan Reversal::plan(const mdlPubVar& context, const QString& discode)
{
    Plan plan;
    const SystemDb& db = context.db();
    const auto readFailed = [&] {
        plan.refusal = ReadFailed + db.lastError();
        return plan;
    };
    const auto entry = Journal::read(context, discode);
    if (!entry || !entry->exists() || networkName(entry->net).isEmpty()) {
        plan.refusal = NoJournal;
        return plan;
    }
    plan.entry = *entry;
    if (!entry->reversedBy.isEmpty()) {
        plan.refusal = AlreadyReversed.arg(entry->reversedBy);
        return plan;
    }
    const QString net = entry->net;
    const QString n = networkName(net);
    const QJsonObject bts = entry->body.value(QStringLiteral("bts")).toObject();
    const QJsonArray columns = bts.value(QStringLiteral("columns")).toArray();
    const QJsonArray before = bts.value(QStringLiteral("before")).toArray();
    const QJsonArray after = bts.value(QStringLiteral("after")).toArray();

    // The BTS must stand exactly as this relocation left it, and no later one may.
    const auto now = Journal::rowsOf(db, Journal::btsStatement(net, entry->basecode));
    if (!now)
        return readFailed();
    const Rows current = rowsOf(*now);
    if (current.rows.size() != 1) {
        plan.refusal = BtsGone;
        return plan;
    }
    const QJsonArray nowRow = current.rows.at(0).toArray();
    for (qsizetype i = 0; i < current.columns.size(); ++i)
        if (valueOf(columns, after, current.columns.at(i).toString()) != nowRow.at(i)) {
            plan.refusal = BtsChanged;
            return plan;
        }
    bool entriesRead = false;
    const QList<Journal::Entry> entries = Journal::ofBts(context, net, entry->basecode, &entriesRead);
    if (!entriesRead)
        return readFailed();
    for (const Journal::Entry& later : entries)
        if (later.discode > discode && later.reversedBy.isEmpty() &&
            later.body.value(QStringLiteral("bts")).toObject().value(QStringLiteral("after")).toArray() ==
                nowRow) {
            plan.refusal = LaterFirst.arg(later.discode);
            return plan;
        }

    const QString city = textOf(valueOf(current.columns, nowRow, QStringLiteral("city")));
    const QString number = textOf(valueOf(current.columns, nowRow, QStringLiteral("basenum")));
    const QString cityBefore = textOf(valueOf(columns, before, QStringLiteral("city")));

    // The rooms: the BTS's present room goes back to what it held, its old room gets it back.
    const QJsonArray rooms = entry->body.value(QStringLiteral("rooms")).toArray();
    const bool moved = entry->fromRoom != entry->toRoom;
    QHash<QString, QJsonValue> roomNow;
    for (const QJsonValue& room : rooms) {
        const QString code = room.toObject().value(QStringLiteral("roomcode")).toString();
        auto rs = db.open(mdlPubFun::roomCheckStatement(net, code));
        if (!rs)
            return readFailed();
        QJsonValue value = QJsonValue::Null;
        if (rs->RecordCount() > 0) {
            rs->MoveFirst();
            const QString text = rs->Text(0);
            value = rs->Value(0).isNull() ? QJsonValue(QJsonValue::Null) : QJsonValue(text);
        }
        roomNow.insert(code, value);
    }
    if (moved) {
        if (roomNow.value(entry->toRoom).toString().trimmed() != number.trimmed()) {
            plan.refusal = BtsChanged;
            return plan;
        }
        const QString held = roomNow.value(entry->fromRoom).toString().trimmed();
        if (!held.isEmpty() && held != number.trimmed()) {
            plan.refusal = RoomTaken.arg(mdlPubFun::GetRoomName(context, entry->fromRoom), net);
            return plan;
        }
    }

    // What the BTS carries now was entered since: it goes, and what the relocation deleted
    // comes back, unless another record has taken its code meanwhile.
    const Kind kinds[] = {
        {QStringLiteral("res_") + n + QStringLiteral("cell"), QStringLiteral("cellcode"),
         ChangeSummary::CellKind, QStringLiteral("ci"), CellCaption},
        {QStringLiteral("res_") + n + QStringLiteral("ant"), QStringLiteral("antcode"),
         ChangeSummary::AntennaKind, QStringLiteral("antname"), ChangeSummary::AntennaKind},
        {QStringLiteral("res_") + n + QStringLiteral("antline"), QStringLiteral("linecode"),
         ChangeSummary::FeederKind, QStringLiteral("lineid"), ChangeSummary::FeederKind},
    };
    const QString bodyKeys[] = {QStringLiteral("cells"), QStringLiteral("antennas"),
                                QStringLiteral("feeders")};
    Rows present[3];
    {
        const auto cells = Journal::rowsOf(
            db, QStringLiteral("select * from ") + kinds[0].table + QStringLiteral(" where city='") +
                    sqlText(city) + QStringLiteral("' and bts='") + sqlText(number) + QLatin1Char('\''));
        if (!cells)
            return readFailed();
        present[0] = rowsOf(*cells);
        QList<CellEntry> cis;
        for (const QJsonValue& row : std::as_const(present[0].rows))
            cis << CellEntry{
                {}, textOf(valueOf(present[0].columns, row.toArray(), QStringLiteral("ci"))), {}};
        for (int k : {1, 2}) {
            if (cis.isEmpty()) {
                const auto empty =
                    Journal::rowsOf(db, Journal::rowsStatement(kinds[k].table, kinds[k].code, {}));
                if (!empty)
                    return readFailed();
                present[k] = rowsOf(*empty);
                continue;
            }
            const auto rows = Journal::rowsOf(db, k == 1 ? CellLoader::antennaStatement(net, city, cis)
                                                         : CellLoader::feederStatement(net, city, cis));
            if (!rows)
                return readFailed();
            present[k] = rowsOf(*rows);
        }
    }
    QStringList restoreStatements;
    QList<QStringList> resourceRows[3];
    for (int k = 0; k < 3; ++k) {
        const Kind& kind = kinds[k];
        QStringList presentCodes;
        for (const QJsonValue& row : std::as_const(present[k].rows)) {
            const QJsonArray values = row.toArray();
            presentCodes << textOf(valueOf(present[k].columns, values, kind.code));
            resourceRows[k] << kind.row(present[k].columns, values, ChangeSummary::Deleted);
        }
        const Rows restore = rowsOf(entry->body.value(bodyKeys[k]).toObject());
        QStringList restoreCodes;
        for (const QJsonValue& row : std::as_const(restore.rows))
            restoreCodes << textOf(valueOf(restore.columns, row.toArray(), kind.code));
        const auto taken = Journal::rowsOf(db, Journal::rowsStatement(kind.table, kind.code, restoreCodes));
        if (!taken)
            return readFailed();
        const Rows takenRows = rowsOf(*taken);
        for (const QJsonValue& row : std::as_const(takenRows.rows)) {
            const QString code = textOf(valueOf(takenRows.columns, row.toArray(), kind.code));
            if (!presentCodes.contains(code)) {
                plan.refusal = CodeTaken.arg(kind.word, code);
                return plan;
            }
        }
        if (!presentCodes.isEmpty())
            plan.statements << QStringLiteral("delete from ") + kind.table + QStringLiteral(" where ") +
                                   kind.code + QStringLiteral(" in ") + quotedList(presentCodes);
        // Columns as the table has them now; a column the table no longer has is left out.
        for (const QJsonValue& row : std::as_const(restore.rows)) {
            QStringList names;
            QStringList values;
            for (const QJsonValue& column : std::as_const(takenRows.columns)) {
                const QJsonValue value = valueOf(restore.columns, row.toArray(), column.toString());
                if (value.isUndefined())
                    continue;
                names << column.toString();
                values << Journal::literal(value);
            }
            restoreStatements << QStringLiteral("insert into ") + kind.table + QLatin1Char('(') +
                                     names.join(QLatin1Char(',')) + QStringLiteral(") values(") +
                                     values.join(QLatin1Char(',')) + QLatin1Char(')');
            resourceRows[k] << kind.row(restore.columns, row.toArray(), Restored);
        }
    }

    // The BTS row back to what it was, every column but its code; the rooms back.
    QStringList sets;
    AttrTable captions;
    ResourceView::GetResourceData(context, QStringLiteral("v_res_") + n + QStringLiteral("bts"),
                                  entry->basecode, &captions);
    // The user reads divisions by name, as the host shows them; an empty text and no value
    // read alike, so only what the user can see change is listed (all is written back).
    const auto shown = [&](const QString& column, const QJsonValue& value) {
        const QString text = textOf(value);
        if (text.isEmpty())
            return text;
        if (column == QLatin1String("city"))
            return mdlPubFun::GetCityName(context, text);
        if (column == QLatin1String("county"))
            return mdlPubFun::GetCountyName(context, text);
        return text;
    };
    QList<QStringList> btsRows;
    for (qsizetype i = 0; i < current.columns.size(); ++i) {
        const QString column = current.columns.at(i).toString();
        const QJsonValue value = valueOf(columns, before, column);
        if (column == QLatin1String("basecode") || value.isUndefined())
            continue;
        sets << column + QLatin1Char('=') + Journal::literal(value);
        const QString from = shown(column, nowRow.at(i));
        const QString to = shown(column, value);
        if (from != to) {
            const int field = captions.findField(column);
            btsRows << QStringList{ChangeSummary::BtsKind,
                                   field > 0 ? captions.at(AttrTable::Caption, field) : column, from, to};
        }
    }
    plan.statements.prepend(QStringLiteral("update res_") + n + QStringLiteral("bts set ") +
                            sets.join(QLatin1Char(',')) + QStringLiteral(" where basecode='") +
                            sqlText(entry->basecode) + QLatin1Char('\''));
    QList<QStringList> roomRows;
    QJsonArray roomsNow;
    if (moved) {
        for (qsizetype r = rooms.size() - 1; r >= 0; --r) {
            const QJsonObject room = rooms.at(r).toObject();
            const QString code = room.value(QStringLiteral("roomcode")).toString();
            plan.statements.insert(1 + (rooms.size() - 1 - r),
                                   QStringLiteral("update res_baseroom set ") + n + QStringLiteral("bts=") +
                                       Journal::literal(room.value(QStringLiteral("value"))) +
                                       QStringLiteral(" where roomcode='") + sqlText(code) +
                                       QLatin1Char('\''));
            roomRows << QStringList{RoomKind,
                                    mdlPubFun::GetRoomName(context, code) + QLatin1Char(' ') + net +
                                        QStringLiteral("网"),
                                    textOf(roomNow.value(code)), textOf(room.value(QStringLiteral("value")))};
            roomsNow.append(QJsonObject{{QStringLiteral("roomcode"), code},
                                        {QStringLiteral("value"), roomNow.value(code)}});
        }
    }
    plan.statements << restoreStatements;

    plan.rows << QStringList{title(mdlPubFun::GetCityName(context, city), net,
                                   mdlPubFun::GetRoomName(context, entry->toRoom), discode),
                             {},
                             {},
                             {}};
    plan.rows << QStringList(4, QString()) << btsRows;
    if (!roomRows.isEmpty())
        plan.rows << QStringList(4, QString()) << roomRows;
    if (!resourceRows[0].isEmpty())
        plan.rows << QStringList(4, QString()) << resourceRows[0];
    if (!resourceRows[1].isEmpty() || !resourceRows[2].isEmpty())
        plan.rows << QStringList(4, QString()) << resourceRows[1] << resourceRows[2];

    plan.record.net = net;
    plan.record.cityCode = city;
    plan.record.newCityCode = cityBefore;
    plan.record.oldRoomCode = entry->toRoom;
    plan.record.newRoomCode = entry->fromRoom;
    plan.record.simpleMode = true;
    plan.journal =
        QJsonObject{{QStringLiteral("net"), net},
                    {QStringLiteral("basecode"), entry->basecode},
                    {QStringLiteral("bts"), QJsonObject{{QStringLiteral("columns"), current.columns},
                                                        {QStringLiteral("before"), nowRow}}},
                    {QStringLiteral("rooms"), roomsNow}};
    for (int k = 0; k < 3; ++k)
        plan.journal.insert(bodyKeys[k], QJsonObject{{QStringLiteral("columns"), present[k].columns},
                                                     {QStringLiteral("rows"), present[k].rows}});
    return plan;
}

CommitOutcome Reversal::run(const mdlPubVar& context, const QString& discode,
                            const QList<QStringList>& confirmed)
{
    const SystemDb& db = context.db();
    const auto result = [](CommitOutcome::Result kind, const QString& message, const QString& details = {}) {
        return CommitOutcome{kind, message, details, {}, {}};
    };
    if (!db.hasTransactions())
        return result(CommitOutcome::Result::Refused, NoTransactions);
    ContextService* host = context.ContextService();
    if (!host)
        return result(CommitOutcome::Result::Refused, NoTransactions);
    BusyScope busy(context);
    const auto failed = [&] {
        if (auto lost = ConnectionLoss::undone(db, ConnectionLoss::Work::Reversal)) {
            db.rollback();
            return *lost;
        }
        const QString reason = db.lastError();
        const bool busyNow = db.lastErrorIsBusy();
        db.rollback();
        return result(busyNow ? CommitOutcome::Result::Busy : CommitOutcome::Result::Failed,
                      UndoneMessage + (reason.isEmpty() ? QString() : QStringLiteral("\r\n") + reason),
                      reason);
    };
    if (!db.begin()) {
        if (auto lost = ConnectionLoss::undone(db, ConnectionLoss::Work::Reversal))
            return *lost;
        const QString reason = db.lastError();
        return result(db.lastErrorIsBusy() ? CommitOutcome::Result::Busy : CommitOutcome::Result::Failed,
                      UndoneMessage + QStringLiteral("\r\n") + reason, reason);
    }
    // Planned again under the writer lock: what is written is what holds now.
    const Plan plan = Reversal::plan(context, discode);
    // A read that failed with the connection makes no refusal: the reversal was undone.
    if (auto lost = ConnectionLoss::undone(db, ConnectionLoss::Work::Reversal)) {
        db.rollback();
        return *lost;
    }
    if (!plan.ok() || plan.rows != confirmed) {
        db.rollback();
        return result(CommitOutcome::Result::Refused, plan.ok() ? Changed : plan.refusal);
    }
    for (const QString& statement : plan.statements)
        if (!db.execute(statement))
            return failed();
    const QString code =
        mdlPubFun::NewCode(context, QStringLiteral("h_btsdispatch"), QStringLiteral("discode"));
    if (code == mdlPubFun::ZeroCode)
        return failed();
    if (!db.execute(RelocationRecord::insertStatement(code, QDate::currentDate(), host->CurrentUser(),
                                                      plan.record, RelocationRecord::disinfo(plan.rows))) ||
        !Journal::write(context, plan.journal, code, plan.record.oldRoomCode, plan.record.newRoomCode,
                        discode) ||
        !db.execute(Journal::markReversedStatement(discode, code)))
        return failed();
    CommitOutcome done = result(CommitOutcome::Result::Done, SuccessMessage);
    done.recordCode = code;
    if (!db.commit()) {
        if (auto settled = ConnectionLoss::afterCommit(context, ConnectionLoss::Work::Reversal, done))
            return *settled;
        return result(CommitOutcome::Result::Failed, UndoneMessage + QStringLiteral("\r\n") + db.lastError());
    }
    return done;
}

} // namespace corvan
