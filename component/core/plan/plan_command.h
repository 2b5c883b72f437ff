// SPDX-License-Identifier: MIT
#pragma once

#include <functional>

#include <QString>

namespace corvan {

class mdlPubVar;

// Relocation plans without a window, as a host's command line asks for them: the template
// written, a plan checked (and applied), one line per row, the files through the host's
// workbook service. The statuses are PlanRunner's: 0 passed (or applied, or written), 1 a
// row refused or the apply failed (nothing written), 2 a file or usage error.
class PlanCommand {
public:
    using Lines = std::function<void(const QString&)>;

    static int writeTemplate(const mdlPubVar& context, const QString& path, const Lines& out,
                             const Lines& err);
    static int run(const mdlPubVar& context, const QString& path, bool apply, const QString& report,
                   const Lines& out, const Lines& err);

    // Plans longer than this tell their progress.
    static constexpr int ProgressFrom = 100;
};

} // namespace corvan
