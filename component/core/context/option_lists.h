// SPDX-License-Identifier: MIT
#pragma once

#include <memory>

#include <QHash>
#include <QString>

#include "corvan/record_set.h"

namespace corvan {

class SystemDb;

// Option lists read once and kept: a relocation plan builds a page per row, and its rows
// share their cities' lists, as a user sees a list as it stood when the wizard opened. A
// failed read is not kept, so the next page tries again.
class OptionCache {
public:
    // The rows of an option list's statement: kept ones, or read now.
    std::unique_ptr<RecordSet> rows(const SystemDb& db, const QString& sql);

private:
    QHash<QString, RecordSet> m_rows;
};

// Where a BTS page's lists come from. The wizard's: every room of the city, each list
// read as the page is built. A plan row's: its target room alone (where the city listed
// has it), from the plan's kept lists.
struct PageLists {
    QString roomScope;
    OptionCache* kept = nullptr;
};

} // namespace corvan
