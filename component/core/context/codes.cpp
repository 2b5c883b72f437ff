// SPDX-License-Identifier: MIT
#include "core/context/codes.h"

#include <cmath>
#include <optional>

#include <QRegularExpression>

#include "core/context/mdl_pub_var.h"

namespace corvan::mdlPubFun {

const QString ZeroCode = QStringLiteral("00000000000000000000");

namespace {

constexpr int CodeLength = 20;

// A whole number, possibly written with a zero fraction as exact engines return it.
const QRegularExpression WholeNumber(QStringLiteral("^\\s*\\+?0*([0-9]+)(\\.0*)?\\s*$"));

std::optional<QString> nextCode(const QString& base)
{
    const auto whole = WholeNumber.match(base);
    QString next;
    if (whole.hasMatch()) {
        next = incrementDecimal(whole.captured(1));
    } else {
        bool ok = false;
        const double value = base.trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(value + 1))
            return std::nullopt;
        // An engine without exact decimals hands large codes over as doubles; a whole
        // value is still written out in digits, never in exponent form.
        if (value >= 0 && value == std::floor(value))
            next = incrementDecimal(QString::number(value, 'f', 0));
        else
            next = QString::number(value + 1, 'g', 15);
    }
    // More digits than a code holds would wrap around to an existing code.
    if (next.size() > CodeLength)
        return std::nullopt;
    return next;
}

} // namespace

QString incrementDecimal(const QString& digits)
{
    QString result = digits.isEmpty() ? QStringLiteral("0") : digits;
    qsizetype i = result.size() - 1;
    for (; i >= 0; --i) {
        if (result.at(i) == QLatin1Char('9')) {
            result[i] = QLatin1Char('0');
            continue;
        }
        result[i] = QChar(result.at(i).unicode() + 1);
        break;
    }
    if (i < 0)
        result.prepend(QLatin1Char('1'));
    // Leading zeros of the input carry no value.
    while (result.size() > 1 && result.at(0) == QLatin1Char('0'))
        result.remove(0, 1);
    return result;
}

QString NewCode(const mdlPubVar& context, const QString& table, const QString& column)
{
    auto rs = context.db().open(QStringLiteral("select max(to_number(") + column +
                                QStringLiteral(")) from ") + table);
    if (!rs)
        return ZeroCode;
    QString base = QStringLiteral("0");
    if (!(rs->isBOF() && rs->isEOF())) {
        rs->MoveFirst();
        const QString maximum = rs->Text(0).trimmed();
        bool numeric = false;
        maximum.toDouble(&numeric);
        if (numeric)
            base = maximum;
    }
    const auto next = nextCode(base);
    if (!next)
        return ZeroCode;
    return (ZeroCode + *next).right(CodeLength);
}

} // namespace corvan::mdlPubFun
