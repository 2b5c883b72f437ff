// SPDX-License-Identifier: MIT
#include "core/context/option_lists.h"

#include "core/context/system_db.h"

namespace corvan {

std::unique_ptr<RecordSet> OptionCache::rows(const SystemDb& db, const QString& sql)
{
    const auto kept = m_rows.constFind(sql);
    if (kept != m_rows.cend())
        return std::make_unique<RecordSet>(*kept);
    auto rows = db.open(sql);
    if (rows)
        m_rows.insert(sql, *rows);
    return rows;
}

} // namespace corvan
