// SPDX-License-Identifier: MIT
#pragma once

#include "data/database_location.h"
#include "data/demo_database.h"

#include <QString>
#include <functional>

namespace corvan::host {

// Makes a demo resource database (schema and generated rows) at a location. An existing
// database is never touched unless replacing it was asked for; an SQLite file is built
// beside its final name and moved there only when complete, so a failure leaves the
// old file (or no file) behind.
class DemoCreator {
public:
    static bool create(const DatabaseLocation& location, int rooms, bool replace,
                       const std::function<void(int percent)>& progress, DemoReport* report, QString* error);

private:
    static bool createSqlite(const DatabaseLocation& location, const DemoOptions& options, bool replace,
                             DemoReport* report, QString* error);
    static bool createPostgresql(const DatabaseLocation& location, const DemoOptions& options, bool replace,
                                 DemoReport* report, QString* error);
};

} // namespace corvan::host
