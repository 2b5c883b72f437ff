// SPDX-License-Identifier: MIT
#include "core/plan/plan_run.h"

#include <algorithm>

#include <QDateTime>

#include "core/context/busy_scope.h"
#include "core/context/codes.h"
#include "core/context/divisions.h"
#include "core/context/item_keys.h"
#include "core/context/resource_view.h"
#include "core/context/sql_literal.h"
#include "core/context/wizard_prompt.h"
#include "core/plan/plan_conflicts.h"
#include "core/plan/plan_reads.h"
#include "core/plan/plan_snapshot.h"
#include "core/plan/plan_store.h"
#include "core/relocation/relocation_session.h"
#include "corvan/controls/property_item.h"
#include "corvan/controls/property_items.h"

namespace corvan {

const QString PlanRun::Passes = QStringLiteral("可以调整");
const QString PlanRun::NoTransactions =
    QStringLiteral("数据服务不支持事务，批量调整计划无法保证一次完成，未作任何修改。");
const QString PlanRun::UndoneMessage = QStringLiteral("批量调整计划未能执行，数据库未作任何修改。");
const QString PlanRun::NotChecked = QStringLiteral("未检查：第 %1 行写入失败，检查就此停止");
const QString PlanRun::Stopped = QStringLiteral("检查已停止，数据库未作任何修改。");

namespace {

const QString CityField = QStringLiteral("city");
const QString RoomField = QStringLiteral("belongroom");
const QString NoRight = QStringLiteral("您没有%1的基站调整权限");
const QString NotTaken = QStringLiteral("%1网的调整不改“%2”（只有%3网改它），这一列应留空");
const QString Separator = QStringLiteral("；");

// What the wizard would have told the user about one row, kept for the row's result.
class Collector : public WizardPrompt {
public:
    void showMessage(const QString& text, Icon) override { told << text; }
    bool askRetry(const QString&, const QString&) override { return false; }
    // A plan is checked as a whole before anything is written: no row waits for an answer.
    bool ask(const QString& question) override
    {
        told << question;
        return false;
    }
    QStringList told;
};

bool isEdited(const PropertyItem* item)
{
    return item && item->Type() == ITEM_EDIT;
}

// The caption of the option a text names, by caption or by code; the text itself when
// none does (the checks then say what is wrong with it).
QString optionCaption(const PropertyItem* item, const QString& text)
{
    for (const auto& option : item->Children())
        if (option->Caption() == text)
            return text;
    if (const PropertyItem* byCode = item->Children().GetItem(ItemKey::code(text)))
        return byCode->Caption();
    return text;
}

QString firstOf(const RecordSet& rs, int field)
{
    RecordSet copy = rs;
    copy.MoveFirst();
    return copy.Text(field).trimmed();
}

} // namespace

bool PlanRowResult::passed() const
{
    return verdict == PlanRun::Passes;
}

struct PlanRun::Row {
    PlanRow source;
    QString net;
    QString basecode;
    QString number;
    QString name;
    QString fromRoomCode;
    QString fromRoomName;
    QString cityId;
    QString btsCity;
    QString roomCode;
    QString roomName;
    QString roomHolder;
    QString verdict;
    bool passed = false;
    bool writeFailed = false;
    PropertyItems page;
    Collector prompt;
    std::unique_ptr<RelocationSession> session;
};

PlanRun::PlanRun(const mdlPubVar& context) : m_context(context)
{
    // The rows work through a context of their own: the host's services, with the data
    // service behind a cache of what no relocation changes.
    m_reads = std::make_unique<PlanReads>(context.DataObject());
    m_rowContext.deriveFrom(context, m_reads.get());
}

PlanRun::~PlanRun() = default;

QString PlanRun::successMessage(int relocated)
{
    return QStringLiteral("计划执行成功：调整基站 %1 个\r\n请在资源维护中添加小区、天线、馈线的信息")
        .arg(relocated);
}

bool PlanRun::load(const QList<QStringList>& sheet, QString* error)
{
    m_rows.clear();
    m_results.clear();
    m_checked = false;
    m_columns = PlanColumns::of(m_rowContext);
    QList<PlanRow> rows;
    if (!m_columns.read(sheet, &rows, error))
        return false;
    for (const PlanRow& source : std::as_const(rows)) {
        auto row = std::make_unique<Row>();
        row->source = source;
        m_rows.push_back(std::move(row));
    }
    return true;
}

QString PlanRun::heading(const QString& key) const
{
    return m_columns.column(key)->heading;
}

bool PlanRun::resolve(Row& row)
{
    QString cityName;
    return resolveBts(row, &cityName) && resolveTarget(row, cityName);
}

bool PlanRun::resolveBts(Row& row, QString* cityName)
{
    const SystemDb& db = m_rowContext.db();
    RightService* rights = m_rowContext.RightService();
    const auto refuse = [&row](const QString& why) {
        row.verdict = why;
        return false;
    };
    row.net = row.source.value(PlanColumns::Net).toUpper();
    row.number = row.source.value(PlanColumns::Number);
    const QString city = row.source.value(PlanColumns::City);
    if (!PlanColumns::Networks.contains(row.net))
        return refuse(QStringLiteral("网络类型“%1”应为 G、C 或 D").arg(row.source.value(PlanColumns::Net)));
    // A value the row's network does not change would be read by nobody: the planner is told,
    // rather than finding after the night that it was never written.
    for (const auto& [key, text] : row.source.values.asKeyValueRange())
        if (!m_columns.takes(key, row.net))
            return refuse(NotTaken.arg(row.net, heading(key), m_columns.networksOf(key)));
    const QString n = row.net.toLower();
    if (row.number.isEmpty())
        return refuse(heading(PlanColumns::Number) + QStringLiteral("不能为空"));
    if (city.isEmpty())
        return refuse(heading(PlanColumns::City) + QStringLiteral("不能为空"));

    auto cities =
        db.open(QStringLiteral("select city_id,city_name from com_city where city_name='") + sqlText(city) +
                QStringLiteral("' or city_id='") + sqlText(city) + QLatin1Char('\''));
    if (!cities)
        return refuse(QStringLiteral("无法读取地市：") + db.lastError());
    if (cities->RecordCount() != 1)
        return refuse(QStringLiteral("%1“%2”不存在").arg(heading(PlanColumns::City), city));
    row.cityId = firstOf(*cities, 0);
    *cityName = firstOf(*cities, 1);
    if (!m_reviewing && (!rights || !rights->HasCityRight(mdlPubFun::RightFunction, row.cityId)))
        return refuse(NoRight.arg(*cityName));

    auto bts = db.open(QStringLiteral("select basecode,city,basename from res_") + n +
                       QStringLiteral("bts where basenum='") + sqlText(row.number) + QLatin1Char('\''));
    if (!bts)
        return refuse(QStringLiteral("无法读取基站：") + db.lastError());
    if (bts->RecordCount() == 0)
        return refuse(QStringLiteral("找不到编号为 %1 的%2网基站").arg(row.number, row.net));
    if (bts->RecordCount() > 1)
        return refuse(QStringLiteral("编号为 %1 的%2网基站有 %3 个，无法确定是哪一个")
                          .arg(row.number, row.net)
                          .arg(bts->RecordCount()));
    row.basecode = firstOf(*bts, 0);
    row.name = firstOf(*bts, 2);
    const QString btsCity = firstOf(*bts, 1);
    row.btsCity = btsCity;
    if (!m_reviewing && !rights->HasCityRight(mdlPubFun::RightFunction, btsCity))
        return refuse(NoRight.arg(mdlPubFun::GetCityName(m_rowContext, btsCity)));

    if (auto from = db.open(PlanStore::roomOfNumberStatement(row.net, row.number));
        from && from->RecordCount() > 0) {
        row.fromRoomCode = firstOf(*from, 0);
        row.fromRoomName = firstOf(*from, 1);
    }
    return true;
}

bool PlanRun::resolveTarget(Row& row, const QString& cityName)
{
    const auto refuse = [&row](const QString& why) {
        row.verdict = why;
        return false;
    };
    const QString roomNumber = row.source.value(PlanColumns::RoomNumber);
    const QString roomName = row.source.value(PlanColumns::RoomName);
    if (roomNumber.isEmpty() && roomName.isEmpty())
        return refuse(QStringLiteral("%1与%2都没有填写")
                          .arg(heading(PlanColumns::RoomNumber), heading(PlanColumns::RoomName)));
    QString failure;
    const CityRoomList* cityRooms = this->cityRooms(row.cityId, &failure);
    if (!cityRooms)
        return refuse(QStringLiteral("无法读取目标机房：") + failure);
    // Compared as the database compares texts: exactly, as the row gives them.
    QList<const CityRoom*> rooms;
    for (const qsizetype i :
         roomNumber.isEmpty() ? cityRooms->byName.values(roomName) : cityRooms->byNumber.values(roomNumber))
        rooms << &cityRooms->rooms.at(i);
    if (rooms.isEmpty())
        return refuse(roomNumber.isEmpty()
                          ? QStringLiteral("%1没有名为“%2”的机房").arg(cityName, roomName)
                          : QStringLiteral("%1没有编号为“%2”的机房").arg(cityName, roomNumber));
    if (rooms.size() > 1)
        return refuse(roomNumber.isEmpty() ? QStringLiteral("%1有 %2 个名为“%3”的机房，请填写%4")
                                                 .arg(cityName)
                                                 .arg(rooms.size())
                                                 .arg(roomName, heading(PlanColumns::RoomNumber))
                                           : QStringLiteral("%1有 %2 个编号为“%3”的机房")
                                                 .arg(cityName)
                                                 .arg(rooms.size())
                                                 .arg(roomNumber));
    row.roomCode = rooms.first()->code;
    row.roomName = rooms.first()->name.trimmed();
    row.roomHolder = rooms.first()->holders[PlanColumns::Networks.indexOf(row.net)];
    if (!roomNumber.isEmpty() && !roomName.isEmpty() && row.roomName != roomName)
        return refuse(QStringLiteral("%1“%2”是“%3”，不是“%4”")
                          .arg(heading(PlanColumns::RoomNumber), roomNumber, row.roomName, roomName));
    return true;
}

const PlanRun::CityRoomList* PlanRun::cityRooms(const QString& cityId, QString* error)
{
    const auto kept = m_cityRooms.constFind(cityId);
    if (kept != m_cityRooms.cend())
        return &*kept;
    auto rs = m_rowContext.db().open(PlanStore::cityRoomsStatement(cityId));
    if (!rs) {
        *error = m_rowContext.db().lastError();
        return nullptr;
    }
    CityRoomList list;
    list.rooms.reserve(rs->RecordCount());
    for (rs->MoveFirst(); !rs->isEOF(); rs->MoveNext()) {
        CityRoom room{rs->Text(0).trimmed(), rs->Text(1), rs->Text(2), {}};
        for (int n = 0; n < 3; ++n)
            room.holders[n] = rs->Text(3 + n).trimmed();
        list.byNumber.insert(room.number, list.rooms.size());
        list.byName.insert(room.name, list.rooms.size());
        list.rooms << room;
    }
    return &*m_cityRooms.insert(cityId, list);
}

bool PlanRun::enterValues(Row& row)
{
    const MoveBtsState& state = row.session->state();
    RelocationSession& session = *row.session;
    if (!state.movesRoom()) {
        row.verdict = QStringLiteral("%1网的调整规则保留所属机房，计划不能调整它的机房").arg(row.net);
        return false;
    }
    // City first, so that the page offers the city's rooms and counties; then the room,
    // which brings its county; then every other value the row gives, in the page's order.
    PropertyItem* city = row.page.GetItem(CityField);
    if (isEdited(city)) {
        const PropertyItem* option = city->Children().GetItem(ItemKey::code(row.cityId));
        city->setValue(option ? option->Caption() : row.source.value(PlanColumns::City));
        session.valueChanged(city);
    } else if (row.cityId != state.cityCode) {
        row.verdict = QStringLiteral("%1网的调整规则保留所属地市，基站不能调到其他地市").arg(row.net);
        return false;
    }
    PropertyItem* room = row.page.GetItem(RoomField);
    if (isEdited(room)) {
        const PropertyItem* option = room->Children().GetItem(ItemKey::code(row.roomCode));
        room->setValue(option ? option->Caption() : row.roomName);
        session.valueChanged(room);
    }
    for (const auto& item : row.page) {
        if (!isEdited(item.get()) || item->Key() == CityField || item->Key() == RoomField)
            continue;
        const QString text = row.source.value(item->Key());
        if (text.isEmpty())
            continue;
        item->setValue(optionCaption(item.get(), text));
        session.valueChanged(item.get());
    }
    session.edited();
    return true;
}

CommitOutcome PlanRun::writeRow(Row& row, const JournalPlanRow& plan)
{
    const MoveBtsState& state = row.session->state();
    CommitOutcome outcome = RelocationCommit::staleChange(m_rowContext, state);
    if (outcome.done())
        outcome = RelocationCommit::write(m_rowContext, state, row.session->summary(), true, plan);
    return outcome;
}

void PlanRun::runRow(Row& row)
{
    const QString n = row.net.toLower();
    QMap<QString, AttrTable> tables;
    if (!ResourceView::GetResourceData(m_rowContext, QStringLiteral("v_res_") + n + QStringLiteral("bts"),
                                       row.basecode, &tables[row.net]) ||
        tables[row.net].FieldCount() == 0) {
        row.verdict = QStringLiteral("无法读取基站的属性");
        return;
    }
    row.session = std::make_unique<RelocationSession>(m_rowContext, row.page, row.prompt);
    row.session->setLists({row.roomCode, &m_optionLists});
    if (!row.session->start(row.net, tables, true)) {
        row.verdict = QStringLiteral("无法建立基站调整页面");
        return;
    }
    if (!enterValues(row))
        return;
    if (!row.session->next()) {
        row.verdict = row.prompt.told.isEmpty() ? QStringLiteral("未通过基站调整的检查")
                                                : row.prompt.told.join(Separator);
        return;
    }
    // The options are no longer needed: the commit works from the state and the summary.
    row.page.ClearItems();
    if (m_snapshot) {
        // What the commit re-checks in its transaction, asked of what the check read and
        // the rows before this one did; the writes themselves are the apply's.
        const CommitOutcome stale = RelocationCommit::staleChange(m_rowContext, row.session->state());
        if (!stale.done()) {
            row.verdict = stale.message.isEmpty() ? QStringLiteral("无法读取基站的数据：") + stale.details
                                                  : stale.message;
            return;
        }
        m_snapshot->relocated(row.session->state());
        row.passed = true;
        row.verdict = Passes;
        return;
    }
    const CommitOutcome written = writeRow(row, {});
    if (!written.done()) {
        if (written.result == CommitOutcome::Result::Refused) {
            row.verdict = written.message;
            return;
        }
        row.writeFailed = true;
        row.verdict =
            QStringLiteral("写入失败：") +
            (written.step.isEmpty() ? QString() : QStringLiteral("“%1”一步未能完成：").arg(written.step)) +
            (written.details.isEmpty() ? written.message : written.details);
        return;
    }
    row.passed = true;
    row.verdict = Passes;
}

CommitOutcome PlanRun::begin()
{
    const SystemDb& db = m_rowContext.db();
    QStringList cities;
    for (const auto& row : m_rows)
        cities << row->btsCity << row->cityId;
    if (db.begin(cities))
        return CommitOutcome::succeeded();
    const QString reason = db.lastError();
    return CommitOutcome::failedOrBusy(db.lastErrorIsBusy(), UndoneMessage + QStringLiteral("\r\n") + reason,
                                       reason);
}

void PlanRun::resetRow(Row& row)
{
    row.session.reset();
    row.page.ClearItems();
    row.prompt.told.clear();
    row.passed = false;
    row.writeFailed = false;
    row.verdict.clear();
    row.fromRoomCode.clear();
    row.btsCity.clear();
    row.fromRoomName.clear();
}

void PlanRun::resolveAll(QList<PlanConflicts::Move>* moves, QList<qsizetype>* movers)
{
    for (qsizetype i = 0; i < qsizetype(m_rows.size()); ++i) {
        Row& row = *m_rows[size_t(i)];
        resetRow(row);
        if (!resolve(row))
            continue;
        *moves << PlanConflicts::Move{row.source.line,  row.net,      row.basecode,  row.number,
                                      row.fromRoomCode, row.roomCode, row.roomHolder};
        *movers << i;
    }
    const QList<QString> conflicts = PlanConflicts::find(*moves);
    for (qsizetype k = 0; k < movers->size(); ++k)
        m_rows[size_t(movers->at(k))]->verdict = conflicts.at(k);
}

CommitOutcome PlanRun::check(const Progress& progress)
{
    m_results.clear();
    m_cityRooms.clear();
    m_checked = false;
    if (!m_context.DataService() || !m_context.TransactionService())
        return CommitOutcome::failed(NoTransactions);
    BusyScope busy(m_context);
    const int sentBefore = m_reads->sent();
    const CommitOutcome outcome = m_rehearse ? checkByRehearsal(progress) : checkInMemory(progress);
    m_checkStatements = m_reads->sent() - sentBefore;
    if (outcome.result == CommitOutcome::Result::Failed || outcome.result == CommitOutcome::Result::Busy)
        return outcome;
    if (progress)
        progress(int(m_rows.size()), int(m_rows.size()));
    return finishCheck(outcome);
}

CommitOutcome PlanRun::checkInMemory(const Progress& progress)
{
    m_snapshot = std::make_unique<PlanSnapshot>(m_reads.get());
    const struct Restore {
        PlanRun* run;
        ~Restore()
        {
            run->m_rowContext.setDataService(run->m_reads.get());
            run->m_snapshot.reset();
        }
    } restore{this};
    const auto failed = [](const QString& why) {
        return CommitOutcome::failed(QStringLiteral("无法读取计划涉及的基站和机房，检查未能进行。\r\n") + why,
                                     why);
    };
    QHash<QString, QStringList> numbers;
    for (const auto& row : m_rows) {
        const QString net = row->source.value(PlanColumns::Net).toUpper();
        const QString number = row->source.value(PlanColumns::Number);
        if (PlanColumns::Networks.contains(net) && !number.isEmpty())
            numbers[net] << number;
    }
    QString error;
    if (!m_snapshot->loadBts(numbers, &error))
        return failed(error);
    m_rowContext.setDataService(m_snapshot.get());
    QList<PlanConflicts::Move> moves;
    QList<qsizetype> movers;
    resolveAll(&moves, &movers);
    QStringList targets;
    for (const PlanConflicts::Move& move : std::as_const(moves))
        targets << move.toRoom;
    if (!m_snapshot->loadRooms(targets, &error))
        return failed(error);
    for (qsizetype i = 0; i < qsizetype(m_rows.size()); ++i) {
        if (progress && !progress(int(i), int(m_rows.size())))
            return CommitOutcome::failed(Stopped);
        Row& row = *m_rows[size_t(i)];
        if (row.verdict.isEmpty())
            runRow(row);
    }
    return CommitOutcome::succeeded();
}

CommitOutcome PlanRun::checkByRehearsal(const Progress& progress)
{
    QList<PlanConflicts::Move> moves;
    QList<qsizetype> movers;
    resolveAll(&moves, &movers);
    CommitOutcome outcome = begin();
    if (!outcome.done())
        return outcome;
    int stoppedAt = 0;
    for (qsizetype i = 0; i < qsizetype(m_rows.size()); ++i) {
        Row& row = *m_rows[size_t(i)];
        if (progress && !progress(int(i), int(m_rows.size()))) {
            m_rowContext.db().rollback();
            return CommitOutcome::failed(Stopped);
        }
        if (stoppedAt > 0) {
            row.verdict = NotChecked.arg(stoppedAt);
            continue;
        }
        if (!row.verdict.isEmpty())
            continue;
        runRow(row);
        // A write that failed leaves the transaction in no state to go on from.
        if (row.writeFailed)
            stoppedAt = row.source.line;
    }
    m_rowContext.db().rollback();
    return outcome;
}

CommitOutcome PlanRun::finishCheck(CommitOutcome outcome)
{
    bool all = true;
    for (const auto& row : m_rows) {
        const MoveBtsState* state = row->session ? &row->session->state() : nullptr;
        PlanRowResult result{row->source.line,
                             row->source.value(PlanColumns::Net),
                             row->number + (row->name.isEmpty() ? QString() : QLatin1Char(' ') + row->name),
                             row->fromRoomName,
                             row->roomName.isEmpty() ? row->source.value(PlanColumns::RoomName)
                                                     : row->roomName,
                             row->verdict,
                             row->passed && state ? state->cellCount : 0,
                             row->passed && state ? state->antCount : 0,
                             row->passed && state ? state->lineCount : 0,
                             {}};
        all = all && row->passed;
        m_results << result;
    }
    m_checked = all;
    outcome.result = all ? CommitOutcome::Result::Done : CommitOutcome::Result::Refused;
    return outcome;
}

CommitOutcome PlanRun::apply(const PlanSource& source, const Progress& progress)
{
    const SystemDb& db = m_rowContext.db();
    if (!m_checked || m_reviewing)
        return CommitOutcome::refused(QStringLiteral("计划须先检查，且每一行都可以调整，才能执行。"));
    BusyScope busy(m_context);
    CommitOutcome outcome = begin();
    if (!outcome.done())
        return outcome;
    const auto undone = [&](const QString& what, const QString& details) {
        db.rollback();
        for (PlanRowResult& result : m_results)
            result.record.clear();
        return CommitOutcome::failed(UndoneMessage + QStringLiteral("\r\n") + what +
                                         (details.isEmpty() ? QString() : QStringLiteral("\r\n") + details),
                                     details);
    };
    const QString code = mdlPubFun::NewCode(m_rowContext, PlanStore::Table, QStringLiteral("plancode"));
    ContextService* host = m_rowContext.ContextService();
    if (code == mdlPubFun::ZeroCode || !host ||
        !db.execute(PlanStore::insertStatement(code, source, host->CurrentUser(),
                                               QDateTime::currentDateTime(), int(m_rows.size())),
                    1))
        return undone(QStringLiteral("保存计划未能完成。"), db.lastError());
    if (m_planWritten && !m_planWritten(code))
        return undone(QStringLiteral("记录计划的审核未能完成。"), db.lastError());
    for (qsizetype i = 0; i < qsizetype(m_rows.size()); ++i) {
        Row& row = *m_rows[size_t(i)];
        if (progress && !progress(int(i), int(m_rows.size())))
            return undone(QStringLiteral("执行已停止。"), {});
        const CommitOutcome written = writeRow(row, {code, row.source.line});
        if (written.done()) {
            m_results[i].record = written.recordCode;
            continue;
        }
        const QString who =
            QStringLiteral("第 %1 行（%2网基站 %3）").arg(row.source.line).arg(row.net, m_results.at(i).bts);
        const QString what =
            written.step.isEmpty() ? written.message : QStringLiteral("在“%1”一步未能完成").arg(written.step);
        m_results[i].verdict = what.isEmpty() ? written.details : what;
        if (written.result == CommitOutcome::Result::Busy) {
            db.rollback();
            for (PlanRowResult& result : m_results)
                result.record.clear();
            return written;
        }
        return undone(who + QStringLiteral("：") + what,
                      written.step.isEmpty() ? QString() : written.details);
    }
    if (!db.commit()) {
        const QString reason = db.lastError();
        db.rollback();
        // The server's rules name a journal entry (or a record) when one fails them: the row
        // is told. A code may also stand for a room, so the entry's own words come first.
        for (const QString& before : {QStringLiteral("entry "), QString()})
            for (const PlanRowResult& result : std::as_const(m_results))
                if (!result.record.isEmpty() && reason.contains(before + result.record))
                    return undone(QStringLiteral("第 %1 行（%2网基站 %3）未通过数据库的检查。")
                                      .arg(result.line)
                                      .arg(result.net, result.bts),
                                  reason);
        return undone(QStringLiteral("提交未能完成。"), reason);
    }
    m_checked = false;
    if (progress)
        progress(int(m_rows.size()), int(m_rows.size()));
    outcome = CommitOutcome::succeeded(successMessage(int(m_rows.size())), code);
    return outcome;
}

QStringList PlanRun::cities() const
{
    QStringList cities;
    for (const auto& row : m_rows)
        for (const QString& city : {row->btsCity, row->cityId})
            if (!city.isEmpty() && !cities.contains(city))
                cities << city;
    std::sort(cities.begin(), cities.end());
    return cities;
}

PlanRun::Totals PlanRun::totals() const
{
    return totalsOf(m_results);
}

PlanRun::Totals PlanRun::totalsOf(const QList<PlanRowResult>& results)
{
    Totals totals;
    for (const PlanRowResult& result : results) {
        ++totals.rows;
        if (!result.passed())
            continue;
        ++totals.passed;
        totals.cells += result.cells;
        totals.antennas += result.antennas;
        totals.feeders += result.feeders;
    }
    return totals;
}

} // namespace corvan
