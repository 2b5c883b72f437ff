// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

namespace corvan {

// How the history panel arranges the records it lists, beside the captions themselves:
// narrowed by what the user types, with a line that counts them. (The list's order, newest
// first, is HistoryRows'.)
class HistoryListOrder {
public:
    // Whether a filter narrows anything: it holds a word.
    static bool narrows(const QString& filter);
    // Whether a caption holds every blank-separated word of the filter, in any case.
    static bool matches(const QString& caption, const QString& filter);
    // The same with the filter's words: a long list splits the filter once.
    static QStringList words(const QString& filter);
    static bool matchesWords(const QString& caption, const QStringList& words);
    // The line under the criteria: how many records the query found and how many show.
    static QString countText(int shown, int found);
};

} // namespace corvan
