// SPDX-License-Identifier: MIT
#include "core/history/history_list_order.h"

namespace corvan {

bool HistoryListOrder::narrows(const QString& filter)
{
    return !words(filter).isEmpty();
}

QStringList HistoryListOrder::words(const QString& filter)
{
    return filter.split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

bool HistoryListOrder::matches(const QString& caption, const QString& filter)
{
    return matchesWords(caption, words(filter));
}

bool HistoryListOrder::matchesWords(const QString& caption, const QStringList& words)
{
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
