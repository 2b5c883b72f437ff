// SPDX-License-Identifier: MIT
#include "lookups/system_db.h"

#include "entry/mdl_pub_var.h"

namespace corvan::SystemDb {

std::unique_ptr<RecordSet> open(const QString& sql)
{
    DataService* data = mdlPubVar::instance().DataService();
    if (!data || sql.isEmpty())
        return nullptr;
    return data->OpenRecordset(sql, QLatin1String(SystemDatabase), 0);
}

} // namespace corvan::SystemDb
