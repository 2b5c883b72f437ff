// SPDX-License-Identifier: MIT
#pragma once

namespace corvan {

// Qt's own texts (standard buttons, file dialog, print preview, calendar) in Chinese, as
// every text of the component is: Qt's translations are loaded unless the host loaded
// them already. True when they are in place.
bool ensureQtTranslations();

} // namespace corvan
