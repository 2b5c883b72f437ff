// SPDX-License-Identifier: MIT
#pragma once

#include <memory>

#include <QString>

#include "corvan/record_set.h"

namespace corvan::SystemDb {

// The rows of a query on the host's "systemDB", or none when the statement is empty, the
// host has no data service, or the query fails.
std::unique_ptr<RecordSet> open(const QString& sql);

} // namespace corvan::SystemDb
