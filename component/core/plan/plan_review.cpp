// SPDX-License-Identifier: MIT
#include "core/plan/plan_review.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "core/context/busy_scope.h"
#include "core/context/divisions.h"
#include "core/context/mdl_pub_var.h"
#include "core/plan/plan_store.h"

namespace corvan {

const QString PlanReview::RightFunction = QStringLiteral("14");
const QString PlanReview::ReviewNeeded =
    QStringLiteral("本省的调整计划须经另一位有审核权限的用户批准后才能执行：请先提交审核");

namespace {

ReviewRules::Attempt attempt(ReviewAction action, const QString& actor = {}, const QString& author = {},
                             const QStringList& actorCities = {}, const QStringList& planCities = {},
                             const QString& comment = {})
{
    return {action, actor, author, actorCities, planCities, comment};
}

const QString TimeFormat = QStringLiteral("yyyy-MM-dd hh:mm:ss");

QString now()
{
    return QDateTime::currentDateTime().toString(TimeFormat);
}

QString currentUser(const mdlPubVar& context)
{
    ContextService* host = context.ContextService();
    return host ? host->CurrentUser() : QString();
}

// Of those cities, the ones the current user may review.
QStringList reviewCities(const mdlPubVar& context, const QStringList& cities)
{
    QStringList mine;
    if (RightService* rights = context.RightService())
        for (const QString& city : cities)
            if (rights->HasCityRight(PlanReview::RightFunction, city))
                mine << city;
    return mine;
}

ReviewVersion versionOf(const RecordSet& rs, bool withRows)
{
    ReviewVersion v;
    v.version = rs.Text(QStringLiteral("version")).toInt();
    v.title = rs.Text(QStringLiteral("title"));
    v.fileName = rs.Text(QStringLiteral("filename"));
    v.checksum = rs.Text(QStringLiteral("checksum"));
    v.author = rs.Text(QStringLiteral("author"));
    v.submitted = rs.Text(QStringLiteral("submitted"));
    v.rows = rs.Text(QStringLiteral("rowcount")).toInt();
    v.cities = rs.Text(QStringLiteral("cities")).split(QLatin1Char(','), Qt::SkipEmptyParts);
    if (withRows) {
        ReviewRules::sheetOf(rs.Text(QStringLiteral("sheet")), &v.sheet);
        v.verdicts = PlanReview::verdictsOf(rs.Text(QStringLiteral("verdicts")));
    }
    return v;
}

std::optional<ReviewStep> stepOf(const RecordSet& rs)
{
    const std::optional<ReviewAction> action = ReviewRules::actionOf(rs.Text(QStringLiteral("action")));
    if (!action)
        return std::nullopt;
    return ReviewStep{rs.Text(QStringLiteral("step")).toInt(),
                      rs.Text(QStringLiteral("version")).toInt(),
                      *action,
                      rs.Text(QStringLiteral("actor")),
                      rs.Text(QStringLiteral("acttime")),
                      rs.Text(QStringLiteral("comment")),
                      rs.Text(QStringLiteral("plancode"))};
}

// Reviews from their versions and steps, read in order of number.
bool readReviews(const mdlPubVar& context, int number, bool withRows, QList<Review>* reviews, QString* error)
{
    const SystemDb& db = context.db();
    const auto versions = db.open(PlanStore::reviewVersionsStatement(number, withRows));
    const auto steps = versions ? db.open(PlanStore::reviewLogStatement(number)) : nullptr;
    if (!versions || !steps) {
        if (error)
            *error = QStringLiteral("读取计划的审核未能完成：") + db.lastError();
        return false;
    }
    QHash<int, qsizetype> at;
    for (; !versions->isEOF(); versions->MoveNext()) {
        const int n = versions->Text(QStringLiteral("reviewno")).toInt();
        if (!at.contains(n)) {
            at.insert(n, reviews->size());
            reviews->append(Review{n, {}, {}});
        }
        (*reviews)[at.value(n)].versions << versionOf(*versions, withRows);
    }
    for (; !steps->isEOF(); steps->MoveNext()) {
        const auto found = at.constFind(steps->Text(QStringLiteral("reviewno")).toInt());
        if (found == at.cend())
            continue;
        if (const std::optional<ReviewStep> step = stepOf(*steps))
            (*reviews)[*found].log << *step;
    }
    return true;
}

CommitOutcome notDone(const SystemDb& db, const QString& what)
{
    const QString reason = db.lastError();
    return CommitOutcome::failedOrBusy(db.lastErrorIsBusy(), what + QStringLiteral("\r\n") + reason, reason);
}

// The review as it stands now, or why the step cannot be taken.
std::optional<Review> current(const mdlPubVar& context, int number, bool withRows, ReviewAction action,
                              CommitOutcome* refused)
{
    QString error;
    std::optional<Review> review = PlanReview::read(context, number, withRows, &error);
    if (!review)
        *refused = error.isEmpty() ? CommitOutcome::refused(QStringLiteral("没有审核计划 %1，不能%2")
                                                                .arg(ReviewRules::codeText(number),
                                                                     ReviewRules::actionCaption(action)))
                                   : CommitOutcome::failed(error, error);
    return review;
}

QStringList stepValues(const Review& review, ReviewAction action, const QString& actor,
                       const QString& comment, const QString& plan = {})
{
    return {QString::number(review.number),
            QString::number(review.log.isEmpty() ? 1 : review.log.constLast().step + 1),
            QString::number(review.latest().version),
            ReviewRules::actionName(action),
            actor,
            now(),
            comment.trimmed().isEmpty() ? QString() : comment.trimmed(),
            plan};
}

} // namespace

ReviewState Review::state() const
{
    return ReviewRules::stateAfter(log.isEmpty() ? std::nullopt : std::optional(log.constLast().action));
}

std::optional<ReviewStep> Review::decision() const
{
    for (auto step = log.crbegin(); step != log.crend(); ++step)
        if (step->action == ReviewAction::Approve || step->action == ReviewAction::Return)
            return *step;
    return std::nullopt;
}

QString Review::appliedPlan() const
{
    for (auto step = log.crbegin(); step != log.crend(); ++step)
        if (step->action == ReviewAction::Apply)
            return step->plan;
    return {};
}

QString PlanOrigin::text() const
{
    QString text = QStringLiteral("批量调整计划 %1（%2）第 %3 行：").arg(plan, title).arg(row);
    if (review.isEmpty())
        return text + QStringLiteral("执行人 %1，未经审核").arg(appliedBy);
    return text + QStringLiteral("提交人 %1，审核人 %2（审核计划 %3，%4 批准），执行人 %5")
                      .arg(author, reviewer, review, approved, appliedBy);
}

std::optional<PlanOrigin> PlanReview::originOf(const mdlPubVar& context, const QString& discode)
{
    if (discode.isEmpty())
        return std::nullopt;
    const auto rs = context.db().open(PlanStore::originOfRecordStatement(discode));
    if (!rs || rs->isEOF())
        return std::nullopt;
    const int review = rs->Text(4).toInt();
    return PlanOrigin{rs->Text(0).trimmed(),
                      rs->Text(1),
                      rs->Text(2).toInt(),
                      rs->Text(3),
                      review > 0 ? ReviewRules::codeText(review) : QString(),
                      rs->Text(5),
                      rs->Text(6),
                      rs->Text(7)};
}

QMap<int, QString> PlanReview::recordsOf(const mdlPubVar& context, const QString& plan)
{
    QMap<int, QString> records;
    if (plan.isEmpty())
        return records;
    const auto rs = context.db().open(PlanStore::recordsOfPlanStatement(plan));
    if (!rs)
        return records;
    for (rs->MoveFirst(); !rs->isEOF(); rs->MoveNext())
        records.insert(rs->Text(0).toInt(), rs->Text(1));
    return records;
}

bool PlanReview::required(const mdlPubVar& context, const QStringList& cities)
{
    return context.db().firstText(PlanStore::reviewRequiredStatement(cities)).value_or(QString()).toInt() > 0;
}

CommitOutcome PlanReview::submit(const mdlPubVar& context, const PlanRun& checked,
                                 const QList<QStringList>& sheet, const PlanSource& source, int number)
{
    if (!checked.passed())
        return CommitOutcome::refused(QStringLiteral("计划须先检查，且每一行都可以调整，才能提交审核。"));
    const QString user = currentUser(context);
    std::optional<Review> review;
    if (number > 0) {
        CommitOutcome refused;
        review = current(context, number, false, ReviewAction::Submit, &refused);
        if (!review)
            return refused;
        const QString why =
            ReviewRules::refusal(review->state(), attempt(ReviewAction::Submit, user, review->author()));
        if (!why.isEmpty())
            return CommitOutcome::refused(why);
    }
    const SystemDb& db = context.db();
    BusyScope busy(context);
    // The new number is read inside the transaction, which an SQLite file holds alone; the
    // server refuses a number another desk took meanwhile.
    if (!db.begin({}))
        return notDone(db, QStringLiteral("提交审核未能完成。"));
    if (!review) {
        const std::optional<QString> last = db.firstText(PlanStore::lastReviewStatement());
        if (!last) {
            const CommitOutcome failed = notDone(db, QStringLiteral("提交审核未能完成。"));
            db.rollback();
            return failed;
        }
        review = Review{last->toInt() + 1, {}, {}};
    }
    const int version = review->versions.isEmpty() ? 1 : review->latest().version + 1;
    review->versions << ReviewVersion{version, {}, {}, {}, {}, {}, checked.rowCount(), {}, {}, {}};
    const QString time = now();
    const bool written =
        db.execute(PlanStore::insertReviewStatement(),
                   {QString::number(review->number), QString::number(version), source.title, source.fileName,
                    source.checksum, user, time, QString::number(checked.rowCount()),
                    checked.cities().join(QLatin1Char(',')), ReviewRules::sheetText(sheet),
                    verdictsText(checked.results())},
                   1) &&
        db.execute(PlanStore::insertReviewStepStatement(),
                   stepValues(*review, ReviewAction::Submit, user, {}), 1);
    if (!written || !db.commit()) {
        const CommitOutcome failed = notDone(db, QStringLiteral("提交审核未能完成。"));
        db.rollback();
        return failed;
    }
    return CommitOutcome::succeeded(QStringLiteral("计划已提交审核：%1（第 %2 版，%3 行）")
                                        .arg(review->code())
                                        .arg(version)
                                        .arg(checked.rowCount()),
                                    review->code());
}

CommitOutcome PlanReview::decide(const mdlPubVar& context, int number, ReviewAction action,
                                 const QString& comment)
{
    CommitOutcome refused;
    const std::optional<Review> review = current(context, number, false, action, &refused);
    if (!review)
        return refused;
    const QString user = currentUser(context);
    const QStringList cities = review->latest().cities;
    const QString why = ReviewRules::refusal(
        review->state(),
        attempt(action, user, review->author(), reviewCities(context, cities), cities, comment),
        [&](const QString& city) {
            const QString name = mdlPubFun::GetCityName(context, city);
            return name == mdlPubFun::UnknownName ? city : name;
        });
    if (!why.isEmpty())
        return CommitOutcome::refused(why);
    // One statement: a reviewer holds no writer's lock, and the step's number is what tells
    // two desks acting on one review apart.
    const SystemDb& db = context.db();
    BusyScope busy(context);
    if (!db.execute(PlanStore::insertReviewStepStatement(), stepValues(*review, action, user, comment), 1))
        return notDone(db, QStringLiteral("%1计划未能完成（可能已被他人处理，请刷新后再试）。")
                               .arg(ReviewRules::actionCaption(action)));
    return CommitOutcome::succeeded(
        QStringLiteral("计划 %1 %2")
            .arg(review->code(), ReviewRules::stateCaption(ReviewRules::stateAfter(action))),
        review->code());
}

CommitOutcome PlanReview::apply(const mdlPubVar& context, int number, PlanRun& plan,
                                const PlanRun::Progress& progress)
{
    CommitOutcome refused;
    const std::optional<Review> review = current(context, number, true, ReviewAction::Apply, &refused);
    if (!review)
        return refused;
    const QString why = ReviewRules::refusal(review->state(), attempt(ReviewAction::Apply));
    if (!why.isEmpty())
        return CommitOutcome::refused(why);
    const ReviewVersion& approved = review->latest();
    QString error;
    if (!plan.load(approved.sheet, &error))
        return CommitOutcome::failed(QStringLiteral("计划 %1 保存的行无法读出：").arg(review->code()) + error,
                                     error);
    CommitOutcome outcome = plan.check(progress);
    const SystemDb& db = context.db();
    const QString user = currentUser(context);
    if (outcome.result == CommitOutcome::Result::Refused) {
        // What was approved no longer holds: back to its reviewers, with the rows named.
        const QString rows = refusedRows(plan.results());
        if (!db.execute(PlanStore::insertReviewStepStatement(),
                        stepValues(*review, ReviewAction::Overtaken, user, rows), 1))
            return notDone(db, QStringLiteral("计划 %1 有行未通过检查：\r\n%2\r\n退回审核也未能完成。")
                                   .arg(review->code(), rows));
        return CommitOutcome::refused(
            QStringLiteral(
                "数据库在计划 %1 批准后已有变化，以下行未通过检查，计划已退回审核，未作任何修改：\r\n%2")
                .arg(review->code(), rows));
    }
    if (!outcome.done())
        return outcome;
    plan.setPlanWritten([&](const QString& planCode) {
        return db.execute(PlanStore::insertReviewStepStatement(),
                          stepValues(*review, ReviewAction::Apply, user, {}, planCode), 1);
    });
    outcome = plan.apply({approved.title, approved.fileName, approved.checksum}, progress);
    plan.setPlanWritten({});
    return outcome;
}

bool PlanReview::noteReversed(const mdlPubVar& context, const QString& plan)
{
    const SystemDb& db = context.db();
    const auto rs = db.open(PlanStore::reviewOfPlanStatement(plan));
    if (!rs)
        return false;
    if (rs->isEOF())
        return true;
    return db.execute(PlanStore::insertReviewStepStatement(),
                      {rs->Text(0), rs->Text(2), rs->Text(1), ReviewRules::actionName(ReviewAction::Reverse),
                       currentUser(context), now(), QString(), plan},
                      1);
}

std::optional<Review> PlanReview::read(const mdlPubVar& context, int number, bool withRows, QString* error)
{
    if (error)
        error->clear();
    QList<Review> reviews;
    if (number <= 0 || !readReviews(context, number, withRows, &reviews, error) || reviews.isEmpty())
        return std::nullopt;
    return reviews.constFirst();
}

QList<Review> PlanReview::list(const mdlPubVar& context, std::optional<ReviewState> state, QString* error)
{
    QList<Review> reviews;
    if (!readReviews(context, 0, false, &reviews, error))
        return {};
    QList<Review> shown;
    for (auto review = reviews.crbegin(); review != reviews.crend(); ++review)
        if (!state || review->state() == *state)
            shown << *review;
    return shown;
}

int PlanReview::waitingFor(const mdlPubVar& context, const QList<Review>& reviews)
{
    const QString user = currentUser(context);
    int waiting = 0;
    for (const Review& review : reviews) {
        const QStringList cities = review.latest().cities;
        if (review.state() == ReviewState::Waiting &&
            ReviewRules::refusal(ReviewState::Waiting, attempt(ReviewAction::Approve, user, review.author(),
                                                               reviewCities(context, cities), cities))
                .isEmpty())
            ++waiting;
    }
    return waiting;
}

QString PlanReview::verdictsText(const QList<PlanRowResult>& results)
{
    QJsonArray rows;
    for (const PlanRowResult& r : results)
        rows.append(QJsonObject{{QStringLiteral("line"), r.line},
                                {QStringLiteral("net"), r.net},
                                {QStringLiteral("bts"), r.bts},
                                {QStringLiteral("from"), r.fromRoom},
                                {QStringLiteral("to"), r.toRoom},
                                {QStringLiteral("verdict"), r.verdict},
                                {QStringLiteral("cells"), r.cells},
                                {QStringLiteral("antennas"), r.antennas},
                                {QStringLiteral("feeders"), r.feeders}});
    return QString::fromUtf8(QJsonDocument(rows).toJson(QJsonDocument::Compact));
}

QList<PlanRowResult> PlanReview::verdictsOf(const QString& text)
{
    QList<PlanRowResult> results;
    for (const QJsonValue& each : QJsonDocument::fromJson(text.toUtf8()).array()) {
        const QJsonObject r = each.toObject();
        results << PlanRowResult{
            r.value(QStringLiteral("line")).toInt(),    r.value(QStringLiteral("net")).toString(),
            r.value(QStringLiteral("bts")).toString(),  r.value(QStringLiteral("from")).toString(),
            r.value(QStringLiteral("to")).toString(),   r.value(QStringLiteral("verdict")).toString(),
            r.value(QStringLiteral("cells")).toInt(),   r.value(QStringLiteral("antennas")).toInt(),
            r.value(QStringLiteral("feeders")).toInt(), {}};
    }
    return results;
}

QString PlanReview::refusedRows(const QList<PlanRowResult>& results)
{
    QStringList lines;
    for (const PlanRowResult& r : results)
        if (!r.passed())
            lines << QStringLiteral("第 %1 行（%2网基站 %3）：%4").arg(r.line).arg(r.net, r.bts, r.verdict);
    return lines.join(QStringLiteral("\r\n"));
}

} // namespace corvan
