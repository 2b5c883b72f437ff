// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <optional>

#include <QList>
#include <QString>
#include <QStringList>

namespace corvan {

// The steps of a plan's review and who may take them. A review's state is what the last step
// of its log left; the client checks a step here before it writes it (on SQLite this is the only
// check: the file's owner is trusted), and the server holds its own roles to the same rules.
enum class ReviewAction { Submit, Approve, Return, Withdraw, Apply, Overtaken, Reverse };
enum class ReviewState { New, Waiting, Approved, Returned, Withdrawn, Applied, Reversed };

class ReviewRules {
public:
    // The word the log stores ("submit", "approve", ...), and back; none for any other word.
    static QString actionName(ReviewAction action);
    static std::optional<ReviewAction> actionOf(const QString& name);
    // What the step the user sees is called: 提交, 批准, 退回, ...
    static QString actionCaption(ReviewAction action);

    // The state a log whose last step is that one leaves; New for an empty log. A plan the
    // database overtook after its approval waits for review again.
    static ReviewState stateAfter(std::optional<ReviewAction> last);
    // 待审核, 已批准, 已退回, 已撤回, 已执行, 已撤销 (and 未提交 for New).
    static QString stateCaption(ReviewState state);
    // A state as a script names it: its caption, or waiting, approved, returned, withdrawn,
    // applied, reversed; none for any other text.
    static std::optional<ReviewState> stateOf(const QString& text);

    struct Attempt {
        ReviewAction action = ReviewAction::Submit;
        QString actor;
        QString author;          // who submitted the first version; empty for a new plan
        QStringList actorCities; // the cities the actor has the review right for
        QStringList planCities;  // the cities the plan's rows touch
        QString comment;
    };
    // Empty when the step may be taken from that state; otherwise why not, as the user is told.
    // A city the actor lacks is named by cityName where given (the code alone otherwise).
    static QString refusal(ReviewState state, const Attempt& attempt,
                           const std::function<QString(const QString& city)>& cityName = {});

    // A plan's rows (headings first) as the text the review keeps, and back: false for a text
    // that is not such a sheet.
    static QString sheetText(const QList<QStringList>& sheet);
    static bool sheetOf(const QString& text, QList<QStringList>* sheet);

    // The review's number as the user reads and types it: R12. A bare number is taken too.
    static QString codeText(int number);
    static int numberOf(const QString& code); // 0 when it is not a review's code
};

} // namespace corvan
