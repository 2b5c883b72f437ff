// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

class QFont;

namespace corvan::host {

// Qt's PDF writer tells readers which character each glyph stands for by asking the font
// for the lowest code point drawn with that glyph. CJK fonts draw many everyday characters
// (一 人 用 页 ...) with the glyph of a radical of the same shape, so the text of such a
// PDF is searched, copied and extracted as the radicals (⼀ ⼈ ⽤ ⻚). This puts back the
// characters that were drawn: a radical the text never held becomes the character of the
// text that the font draws with the same glyph.
class PdfTextRepair {
public:
    // Rewrites the file in place when something is to be repaired; the replacements are
    // as long as what they replace, so the file's offsets stay valid. text is everything
    // drawn, font the one its CJK characters were drawn with. False when the file could
    // not be read or written.
    static bool repair(const QString& path, const QString& text, const QFont& font);

    // The same on a PDF held in memory; returns how many codes were replaced.
    static int repairBytes(QByteArray& pdf, const QString& text, const QFont& font);
};

} // namespace corvan::host
