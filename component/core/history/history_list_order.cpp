// SPDX-License-Identifier: MIT
#include "core/history/history_list_order.h"

#include <QStringList>

namespace corvan {

bool HistoryListOrder::newerFirst(const QString& keyA, const QString& captionA, const QString& keyB,
                                  const QString& captionB)
{
    // Captions begin with the day as yyyy-MM-dd, which sorts as text.
    const QString dayA = captionA.section(QLatin1Char(','), 0, 0);
    const QString dayB = captionB.section(QLatin1Char(','), 0, 0);
    if (dayA != dayB)
        return dayA > dayB;
    return keyA > keyB;
}

bool HistoryListOrder::matches(const QString& caption, const QString& filter)
{
    const QStringList words = filter.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString& word : words)
        if (!caption.contains(word, Qt::CaseInsensitive))
            return false;
    return true;
}

QString HistoryListOrder::countText(int shown, int found)
{
    if (found == 0)
        return QStringLiteral("没有找到符合条件的调整记录");
    if (shown == found)
        return QStringLiteral("共找到 %1 条调整记录").arg(found);
    if (shown == 0)
        return QStringLiteral("共找到 %1 条调整记录，没有一条含有所输入的文字").arg(found);
    return QStringLiteral("共找到 %1 条调整记录，显示其中 %2 条").arg(found).arg(shown);
}

} // namespace corvan
