// SPDX-License-Identifier: MIT
#include "core/room_move/room_move.h"

#include <algorithm>

#include "core/journal/journal.h"

#include "core/context/busy_scope.h"
#include "core/context/field_names.h"
#include "core/context/item_keys.h"
#include "core/context/mdl_pub_var.h"
#include "core/relocation/connection_loss.h"
#include "core/relocation/grid_handlers.h"
#include "core/relocation/move_bts_state.h"
#include "core/relocation/relocation_commit.h"
#include "core/relocation/relocation_session.h"
#include "corvan/controls/property_item.h"
#include "corvan/controls/property_items.h"
#include "corvan/record_set.h"

namespace corvan {

const QString RoomMove::SharedFields[5] = {FieldName::City, FieldName::BelongRoom, FieldName::County,
                                           FieldName::Longitude, FieldName::Latitude};
const QString RoomMove::SuccessMessage =
    QStringLiteral("整机房搬迁成功\r\n请在资源维护中添加小区、天线、馈线的信息");
const QString RoomMove::NothingChosen = QStringLiteral("请至少选择一个要搬迁的基站");
const QString RoomMove::RoomKept =
    QStringLiteral("%1 的调整规则保留其所属机房，不能随整机房搬迁，请不要选择它。");
const QString RoomMove::TargetRefused = QStringLiteral("%1：%2");
const QString RoomMove::NoTransactions =
    QStringLiteral("数据服务不支持事务，整机房搬迁无法保证一次完成，未作任何修改。");

namespace {

const QString SharedGroupCaption = QStringLiteral("各基站共同的新属性");
const QString NewLine = QStringLiteral("\r\n");

// What one BTS's checks told, kept to be told with every other BTS's in one message.
class Collector : public WizardPrompt {
public:
    void showMessage(const QString& text, Icon) override { told << text; }
    bool askRetry(const QString&, const QString&) override { return false; }
    bool ask(const QString&) override { return false; }
    QStringList told;
};

} // namespace

struct RoomMove::Bts {
    QString net;
    PropertyItems* page = nullptr;
    Collector prompt;
    std::unique_ptr<RelocationSession> session;
    bool chosen = true;
};

RoomMove::RoomMove(mdlPubVar& context, PropertyItems& shared, const QMap<QString, PropertyItems*>& pages,
                   WizardPrompt& prompt, QObject* parent)
    : QObject(parent), m_context(context), m_shared(shared), m_prompt(prompt)
{
    for (const QString& net : NetworkLetters) {
        if (!pages.value(net))
            continue;
        auto bts = std::make_unique<Bts>();
        bts->net = net;
        bts->page = pages.value(net);
        bts->session = std::make_unique<RelocationSession>(m_context, *bts->page, bts->prompt);
        m_btss.push_back(std::move(bts));
    }
}

RoomMove::~RoomMove() = default;

RoomMove::Bts* RoomMove::find(const QString& net) const
{
    for (const auto& bts : m_btss)
        if (bts->net == net)
            return bts.get();
    return nullptr;
}

RelocationSession& RoomMove::session(const QString& net) const
{
    return *find(net)->session;
}

bool RoomMove::start(const QMap<QString, AttrTable>& tables)
{
    BusyScope busy(m_context);
    // A network whose page cannot be built has nothing to move.
    for (auto it = m_btss.begin(); it != m_btss.end();) {
        if (tables.contains((*it)->net) && (*it)->session->start((*it)->net, tables, true))
            ++it;
        else
            it = m_btss.erase(it);
    }
    m_shared.ClearItems();
    m_summary.clear();
    if (m_btss.empty())
        return false;
    // A shared row for each shared field that some BTS must change, with the options of the
    // first page that offers it: the city list, and the rooms and counties of the BTS's city.
    m_shared.AddItem(0, ItemKey::ModifyGroup, SharedGroupCaption, ITEM_GROUP);
    for (const QString& field : SharedFields) {
        for (const auto& bts : m_btss) {
            const PropertyItem* row = bts->page->GetItem(field);
            if (bts->session->state().fields.dispositionOf(field) != Disposition::Modify || !row ||
                row->Type() != ITEM_EDIT)
                continue;
            PropertyItem* shared = m_shared.AddItem(0, field, row->Caption(), ITEM_EDIT);
            for (const auto& option : row->Children())
                if (PropertyItem* copy =
                        shared->Children().AddItem(0, option->Key(), option->Caption(), ITEM_OPTION))
                    copy->setValue(option->Value());
            break;
        }
    }
    return true;
}

QStringList RoomMove::networks() const
{
    QStringList nets;
    for (const auto& bts : m_btss)
        nets << bts->net;
    return nets;
}

QString RoomMove::label(const QString& net) const
{
    const Bts* bts = find(net);
    if (!bts)
        return {};
    const MoveBtsState& state = bts->session->state();
    const BtsField* name = state.fields.find(FieldName::BaseName);
    return net + QStringLiteral("网基站 ") + (name ? name->shown : state.btsCode);
}

bool RoomMove::isChosen(const QString& net) const
{
    const Bts* bts = find(net);
    return bts && bts->chosen;
}

void RoomMove::setChosen(const QString& net, bool chosen)
{
    if (Bts* bts = find(net))
        bts->chosen = chosen;
}

void RoomMove::sharedValueChanged(PropertyItem* item)
{
    GridHandlers::cityCascade(m_context, m_shared, item);
    GridHandlers::roomCascade(m_context, m_shared, item);
}

RoomPicker RoomMove::picker() const
{
    RoomPicker rooms;
    bool first = true;
    for (const auto& bts : m_btss) {
        if (!bts->chosen)
            continue;
        if (first)
            rooms.load(m_context, bts->session->state(), m_shared);
        else
            rooms.alsoFor(m_context, bts->session->state(), m_shared);
        first = false;
    }
    return rooms;
}

void RoomMove::chooseRoom(const QString& caption)
{
    if (!m_shared.HasItem(FieldName::BelongRoom))
        return;
    const auto chosen =
        std::find_if(m_btss.begin(), m_btss.end(), [](const auto& bts) { return bts->chosen; });
    if (m_shared.HasItem(FieldName::City) && chosen != m_btss.end()) {
        PropertyItem* city = m_shared.GetItem(FieldName::City);
        const QString id = RoomPicker::cityOf((*chosen)->session->state(), m_shared);
        if (variantText(city->Value()).isEmpty())
            for (const auto& option : city->Children())
                if (option->Key() == ItemKey::code(id)) {
                    city->setValue(option->Caption());
                    sharedValueChanged(city);
                    break;
                }
    }
    PropertyItem* room = m_shared.GetItem(FieldName::BelongRoom);
    room->setValue(caption);
    sharedValueChanged(room);
}

bool RoomMove::share()
{
    // A BTS whose rules keep its room cannot follow the room; say so before its page would
    // fail on a room row it cannot take.
    QStringList kept;
    for (const auto& bts : m_btss)
        if (bts->chosen &&
            bts->session->state().fields.dispositionOf(FieldName::BelongRoom) != Disposition::Modify)
            kept << RoomKept.arg(label(bts->net));
    if (!kept.isEmpty()) {
        m_prompt.showMessage(kept.join(QStringLiteral("\r\n")));
        return false;
    }
    // A room that cannot take one of the chosen BTSs is refused now, with the picker's reason.
    if (const PropertyItem* room =
            m_shared.HasItem(FieldName::BelongRoom) ? m_shared.GetItem(FieldName::BelongRoom) : nullptr) {
        const QString target = variantText(room->Value());
        const RoomPicker rooms = target.isEmpty() ? RoomPicker() : picker();
        for (const RoomPicker::Room& listed : rooms.rooms())
            if (listed.caption == target && !listed.refusal.isEmpty()) {
                m_prompt.showMessage(TargetRefused.arg(listed.caption, listed.refusal));
                return false;
            }
    }
    bool any = false;
    for (const auto& bts : m_btss) {
        if (!bts->chosen)
            continue;
        any = true;
        // City first, so that the page offers the city's rooms and counties; the county
        // last, so that the shared choice stands whatever the room brought.
        for (const QString& field : SharedFields) {
            PropertyItem* row = bts->page->GetItem(field);
            if (!row || row->Type() != ITEM_EDIT || !m_shared.HasItem(field))
                continue;
            row->setValue(m_shared.GetItem(field)->Value());
            bts->session->valueChanged(row);
            row->setVisible(false);
        }
        if (PropertyItem* county = bts->page->GetItem(FieldName::County);
            county && m_shared.HasItem(county->Key()))
            county->setValue(m_shared.GetItem(county->Key())->Value());
        bts->session->edited();
    }
    if (!any)
        m_prompt.showMessage(NothingChosen);
    return any;
}

bool RoomMove::check()
{
    QStringList failures;
    for (const auto& bts : m_btss) {
        if (!bts->chosen)
            continue;
        bts->prompt.told.clear();
        if (!bts->session->next())
            failures << label(bts->net) + QStringLiteral("：") +
                            (bts->prompt.told.isEmpty() ? QStringLiteral("未通过检查")
                                                        : bts->prompt.told.join(QStringLiteral("；")));
    }
    m_summary.clear();
    if (!failures.isEmpty()) {
        m_prompt.showMessage(failures.join(QStringLiteral("\r\n")));
        return false;
    }
    for (const auto& bts : m_btss)
        if (bts->chosen)
            m_summary << bts->session->summary();
    return !m_summary.isEmpty();
}

RoomMove::Attempt RoomMove::writeAll() const
{
    Attempt attempt;
    for (const auto& bts : m_btss) {
        if (!bts->chosen)
            continue;
        const MoveBtsState& state = bts->session->state();
        attempt.outcome = RelocationCommit::staleChange(m_context, state);
        if (attempt.outcome.done())
            attempt.outcome = RelocationCommit::write(m_context, state, bts->session->summary(), true);
        if (!attempt.outcome.done()) {
            attempt.who = label(bts->net);
            return attempt;
        }
        attempt.codes << attempt.outcome.recordCode;
        if (!attempt.outcome.notice.isEmpty() && !attempt.notices.contains(attempt.outcome.notice))
            attempt.notices << attempt.outcome.notice;
    }
    return attempt;
}

RoomMove::Attempt RoomMove::attempt() const
{
    const SystemDb& db = m_context.db();
    BusyScope busy(m_context);
    // Every chosen BTS's city and its target's.
    QStringList cities;
    for (const auto& bts : m_btss)
        if (bts->chosen)
            cities << bts->session->state().cityCode << bts->session->state().newCityCode;
    if (!db.begin(cities)) {
        Attempt failed;
        failed.outcome.details = db.lastError();
        failed.outcome.result =
            db.lastErrorIsBusy() ? CommitOutcome::Result::Busy : CommitOutcome::Result::Failed;
        failed.outcome.message = RelocationCommit::UndoneMessage + NewLine + failed.outcome.details;
        if (auto lost = ConnectionLoss::undone(db, ConnectionLoss::Work::RoomMove))
            failed.outcome = *lost;
        return failed;
    }
    Attempt attempt = writeAll();
    if (!attempt.outcome.done()) {
        // Undone with the connection, as a whole move, whichever BTS was being written.
        if (auto lost = ConnectionLoss::undone(db, ConnectionLoss::Work::RoomMove)) {
            attempt.outcome = *lost;
            attempt.who.clear();
        }
        db.rollback();
    } else if (!db.commit()) {
        const QString reason = db.lastError();
        attempt.outcome =
            ConnectionLoss::afterCommit(m_context, ConnectionLoss::Work::RoomMove, attempt.outcome)
                .value_or(CommitOutcome::failed(RelocationCommit::UndoneMessage + NewLine + reason, reason));
    }
    return attempt;
}

bool RoomMove::commit()
{
    if (m_summary.isEmpty())
        return false;
    // Several BTSs written one by one could be left half moved: without transactions, none is.
    if (!m_context.db().hasTransactions()) {
        m_prompt.showMessage(NoTransactions);
        return false;
    }
    Journal::available(m_context);
    Attempt done;
    do
        done = attempt();
    while (done.outcome.result == CommitOutcome::Result::Busy &&
           m_prompt.askRetry(RelocationCommit::BusyMessage, done.outcome.details));
    return report(done);
}

bool RoomMove::report(const Attempt& attempt)
{
    const CommitOutcome& outcome = attempt.outcome;
    if (outcome.done()) {
        m_prompt.showMessage(SuccessMessage, WizardPrompt::Icon::Information);
        if (!attempt.notices.isEmpty())
            m_prompt.showMessage(attempt.notices.join(NewLine));
        emit moved(attempt.codes);
        return true;
    }
    if (outcome.result == CommitOutcome::Result::Busy)
        return false;
    if (outcome.result == CommitOutcome::Result::ConnectionLost) {
        m_prompt.showMessage(outcome.message);
        return false;
    }
    // Which BTS, and which of its steps, stopped the whole move. Everything was undone, the
    // record's failure included.
    QString message = outcome.message.isEmpty()
                          ? RelocationCommit::UndoneMessage +
                                (outcome.details.isEmpty() ? QString() : NewLine + outcome.details)
                          : outcome.message;
    if (!attempt.who.isEmpty())
        message = attempt.who +
                  (outcome.step.isEmpty() ? QString()
                                          : QStringLiteral("（") + outcome.step + QStringLiteral("）")) +
                  QStringLiteral("：") + message;
    m_prompt.showMessage(message);
    return false;
}

} // namespace corvan
