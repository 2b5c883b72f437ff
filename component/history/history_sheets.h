// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

#include "core/history/history_chart.h"
#include "core/journal/reentry.h"

namespace corvan {

class Sheet;
class mdlPubVar;

// The sheets the history window hands to the host beside its record sheet, made for the
// export or the printout and never shown: the change text a line per row, the records
// the list shows a row each, and the numbers behind the chart.
class HistorySheets {
public:
    static const QString DetailName;
    static const QString RecordsName;
    static const QString MonthsName;
    static const QString CitiesName;

    // Owns the sheets made so far, in order, with their names.
    struct Book {
        std::vector<std::unique_ptr<Sheet>> owned;
        QList<Sheet*> sheets;
        QStringList names;
        void add(std::unique_ptr<Sheet> sheet, const QString& name);
    };

    // One column headed 详细信息, a row per line of the stored text (markers as breaks).
    static std::unique_ptr<Sheet> detail(const QString& disinfo);
    // A row per record code: the seven fields of the record sheet and its change text. step,
    // where given, is told the records read so far; when it answers false the reading stops
    // and there is no sheet.
    static std::unique_ptr<Sheet> records(const mdlPubVar& context, const QStringList& codes,
                                          const std::function<bool(qint64 done)>& step = {});
    // Per month the relocations of each network, and per city those out of and into it.
    static std::unique_ptr<Sheet> months(const HistoryChart& chart);
    static std::unique_ptr<Sheet> cities(const HistoryChart& chart);
    // A worksheet per table of what a relocation deleted, the captions in the first row and
    // the values of a column of numbers as numbers.
    static void reentry(Book& book, const QList<Reentry::Table>& tables);

private:
    static std::unique_ptr<Sheet> table(const QStringList& headings, const QList<QStringList>& rows);
};

} // namespace corvan
