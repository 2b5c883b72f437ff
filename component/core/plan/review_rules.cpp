// SPDX-License-Identifier: MIT
#include "core/plan/review_rules.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace corvan {

namespace {

struct ActionInfo {
    ReviewAction action;
    const char* name;
    QString caption;
    QList<ReviewState> from; // the states the step may be taken from
};

const QList<ActionInfo>& actions()
{
    using S = ReviewState;
    static const QList<ActionInfo> all{
        {ReviewAction::Submit,
         "submit",
         QStringLiteral("提交"),
         {S::New, S::Waiting, S::Returned, S::Withdrawn}},
        {ReviewAction::Approve, "approve", QStringLiteral("批准"), {S::Waiting}},
        {ReviewAction::Return, "return", QStringLiteral("退回"), {S::Waiting}},
        {ReviewAction::Withdraw, "withdraw", QStringLiteral("撤回"), {S::Waiting, S::Approved, S::Returned}},
        {ReviewAction::Apply, "apply", QStringLiteral("执行"), {S::Approved}},
        {ReviewAction::Overtaken, "overtaken", QStringLiteral("退回审核"), {S::Approved}},
        {ReviewAction::Reverse, "reverse", QStringLiteral("撤销"), {S::Applied}},
    };
    return all;
}

const ActionInfo& info(ReviewAction action)
{
    return actions().at(qsizetype(action));
}

} // namespace

QString ReviewRules::actionName(ReviewAction action)
{
    return QString::fromLatin1(info(action).name);
}

std::optional<ReviewAction> ReviewRules::actionOf(const QString& name)
{
    for (const ActionInfo& each : actions())
        if (name == QLatin1String(each.name))
            return each.action;
    return std::nullopt;
}

QString ReviewRules::actionCaption(ReviewAction action)
{
    return info(action).caption;
}

ReviewState ReviewRules::stateAfter(std::optional<ReviewAction> last)
{
    if (!last)
        return ReviewState::New;
    switch (*last) {
    case ReviewAction::Submit:
    case ReviewAction::Overtaken:
        return ReviewState::Waiting;
    case ReviewAction::Approve:
        return ReviewState::Approved;
    case ReviewAction::Return:
        return ReviewState::Returned;
    case ReviewAction::Withdraw:
        return ReviewState::Withdrawn;
    case ReviewAction::Apply:
        return ReviewState::Applied;
    case ReviewAction::Reverse:
        return ReviewState::Reversed;
    }
    return ReviewState::New;
}

QString ReviewRules::stateCaption(ReviewState state)
{
    switch (state) {
    case ReviewState::New:
        return QStringLiteral("未提交");
    case ReviewState::Waiting:
        return QStringLiteral("待审核");
    case ReviewState::Approved:
        return QStringLiteral("已批准");
    case ReviewState::Returned:
        return QStringLiteral("已退回");
    case ReviewState::Withdrawn:
        return QStringLiteral("已撤回");
    case ReviewState::Applied:
        return QStringLiteral("已执行");
    case ReviewState::Reversed:
        return QStringLiteral("已撤销");
    }
    return {};
}

std::optional<ReviewState> ReviewRules::stateOf(const QString& text)
{
    static const QList<std::pair<const char*, ReviewState>> words{
        {"waiting", ReviewState::Waiting},   {"approved", ReviewState::Approved},
        {"returned", ReviewState::Returned}, {"withdrawn", ReviewState::Withdrawn},
        {"applied", ReviewState::Applied},   {"reversed", ReviewState::Reversed}};
    const QString given = text.trimmed();
    for (const auto& [word, state] : words)
        if (given.compare(QLatin1String(word), Qt::CaseInsensitive) == 0 || given == stateCaption(state))
            return state;
    return std::nullopt;
}

QString ReviewRules::refusal(ReviewState state, const Attempt& attempt,
                             const std::function<QString(const QString& city)>& cityName)
{
    const ActionInfo& step = info(attempt.action);
    if (!step.from.contains(state))
        return state == ReviewState::New
                   ? QStringLiteral("没有这个计划，不能%1").arg(step.caption)
                   : QStringLiteral("该计划%1，不能%2").arg(stateCaption(state), step.caption);
    const bool byAuthor = attempt.actor == attempt.author;
    switch (attempt.action) {
    case ReviewAction::Submit:
    case ReviewAction::Withdraw:
        // A new plan's author is whoever submits it; a plan's later versions are its author's.
        if (state != ReviewState::New && !byAuthor)
            return QStringLiteral("只有计划的提交人 %1 能%2").arg(attempt.author, step.caption);
        break;
    case ReviewAction::Approve:
    case ReviewAction::Return: {
        if (byAuthor)
            return QStringLiteral("不能审核自己提交的计划");
        QStringList missing;
        for (const QString& city : attempt.planCities)
            if (!attempt.actorCities.contains(city) && !missing.contains(city))
                missing << city;
        if (cityName)
            for (QString& city : missing)
                city = cityName(city);
        if (!missing.isEmpty())
            return QStringLiteral("没有审核这些地市计划的权限：%1").arg(missing.join(QStringLiteral("、")));
        if (attempt.action == ReviewAction::Return && attempt.comment.trimmed().isEmpty())
            return QStringLiteral("退回计划须写明原因");
        break;
    }
    case ReviewAction::Overtaken:
        if (attempt.comment.trimmed().isEmpty())
            return QStringLiteral("退回审核须写明哪些行未通过检查");
        break;
    case ReviewAction::Apply:
    case ReviewAction::Reverse:
        // Who may write the relocations is the relocations' own rule.
        break;
    }
    return {};
}

QString ReviewRules::sheetText(const QList<QStringList>& sheet)
{
    QJsonArray rows;
    for (const QStringList& row : sheet)
        rows.append(QJsonArray::fromStringList(row));
    return QString::fromUtf8(QJsonDocument(rows).toJson(QJsonDocument::Compact));
}

bool ReviewRules::sheetOf(const QString& text, QList<QStringList>* sheet)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return false;
    QList<QStringList> rows;
    for (const QJsonValue& row : document.array()) {
        if (!row.isArray())
            return false;
        QStringList texts;
        for (const QJsonValue& cell : row.toArray()) {
            if (!cell.isString())
                return false;
            texts << cell.toString();
        }
        rows << texts;
    }
    *sheet = rows;
    return true;
}

QString ReviewRules::codeText(int number)
{
    return QLatin1Char('R') + QString::number(number);
}

int ReviewRules::numberOf(const QString& code)
{
    QString digits = code.trimmed();
    if (digits.startsWith(QLatin1Char('R'), Qt::CaseInsensitive))
        digits.remove(0, 1);
    bool ok = false;
    const int number = digits.toInt(&ok);
    return ok && number > 0 && !digits.startsWith(QLatin1Char('+')) ? number : 0;
}

} // namespace corvan
