// SPDX-License-Identifier: MIT
#pragma once

namespace corvan::host {

// Loads Qt's own Chinese texts (standard buttons, file dialog, print preview) and makes
// Chinese the default locale, so that dates and numbers read as the rest of the program.
// False when Qt's translations are not installed (Debian: qt6-translations-l10n).
bool installQtTranslations();

} // namespace corvan::host
