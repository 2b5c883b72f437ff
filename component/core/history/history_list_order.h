// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace corvan {

// How the history panel arranges the records it lists, beside the captions themselves:
// newest first, narrowed by what the user types, with a line that counts them.
class HistoryListOrder {
public:
    // Whether record a comes before record b: by the day its caption begins with, then
    // by its key (the record code), both newest first.
    static bool newerFirst(const QString& keyA, const QString& captionA, const QString& keyB,
                           const QString& captionB);
    // Whether a caption holds every blank-separated word of the filter, in any case.
    static bool matches(const QString& caption, const QString& filter);
    // The line under the criteria: how many records the query found and how many show.
    static QString countText(int shown, int found);
};

} // namespace corvan
