// SPDX-License-Identifier: MIT
#include "desktop/pdf_text_repair.h"

#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QHash>
#include <QRawFont>
#include <QSaveFile>
#include <QSet>
#include <QStringList>
#include <vector>

using namespace Qt::StringLiterals;

namespace corvan::host {

namespace {

// The Kangxi radicals and the CJK radicals supplement.
constexpr char16_t RadicalsFirst = 0x2E80;
constexpr char16_t RadicalsLast = 0x2FDF;

bool isRadical(char16_t code)
{
    return code >= RadicalsFirst && code <= RadicalsLast;
}

quint32 glyphOf(const QRawFont& font, char16_t code)
{
    const QList<quint32> glyphs = font.glyphIndexesForString(QString(QChar(code)));
    return glyphs.size() == 1 ? glyphs.first() : 0u;
}

// Radical code → the character of the text that the font draws with the radical's glyph.
// Each family of the font is looked at on its own, as the painter falls back from one to
// the next: asked for the font as a whole, Qt may answer with another CJK font than the
// one the text was drawn with, and those differ in which glyphs they share.
QHash<char16_t, char16_t> replacements(const QString& text, const QFont& font)
{
    QStringList families = font.families();
    if (families.isEmpty())
        families << font.family();
    std::vector<QRawFont> fonts;
    for (const QString& family : std::as_const(families)) {
        QFont single(font);
        single.setFamilies({family});
        single.setStyleStrategy(QFont::NoFontMerging);
        const QRawFont raw = QRawFont::fromFont(single);
        if (raw.isValid())
            fonts.push_back(raw);
    }
    QSet<char16_t> drawn;
    std::vector<QHash<quint32, char16_t>> byGlyph(fonts.size());
    for (const QChar ch : text) {
        const char16_t code = ch.unicode();
        if (ch.isSurrogate() || drawn.contains(code))
            continue;
        drawn.insert(code);
        if (isRadical(code))
            continue;
        for (std::size_t i = 0; i < fonts.size(); ++i) {
            if (!fonts[i].supportsCharacter(ch))
                continue;
            const quint32 glyph = glyphOf(fonts[i], code);
            if (glyph != 0 && !byGlyph[i].contains(glyph))
                byGlyph[i].insert(glyph, code);
            break;
        }
    }
    QHash<char16_t, char16_t> result;
    for (char16_t code = RadicalsFirst; code <= RadicalsLast; ++code) {
        if (drawn.contains(code))
            continue;
        for (std::size_t i = 0; i < fonts.size(); ++i) {
            const quint32 glyph = glyphOf(fonts[i], code);
            if (glyph != 0 && byGlyph[i].contains(glyph)) {
                result.insert(code, byGlyph[i].value(glyph));
                break;
            }
        }
    }
    return result;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f' || c == '\0';
}

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// One bfchar or bfrange section of a character map, read token by token.
class MapSection {
public:
    MapSection(QByteArray& pdf, qsizetype from, qsizetype to, const QHash<char16_t, char16_t>& map)
        : m_pdf(pdf), m_at(from), m_to(to), m_map(map)
    {}

    // Entries "<code> <unicode>".
    int repairChars()
    {
        Token source, target;
        while (next(source) && next(target))
            replace(target);
        return m_count;
    }

    // Entries "<first> <last> [<unicode> ...]" or "<first> <last> <unicode>".
    int repairRanges()
    {
        Token first, last, target;
        while (next(first) && next(last)) {
            skipBlanks();
            if (m_at < m_to && m_pdf.at(m_at) == '[') {
                ++m_at;
                for (;;) {
                    skipBlanks();
                    if (m_at < m_to && m_pdf.at(m_at) == ']') {
                        ++m_at;
                        break;
                    }
                    if (!next(target))
                        return m_count;
                    replace(target);
                }
            } else {
                if (!next(target))
                    break;
                // A single target starts a run of consecutive codes; only a run of one
                // can be changed without changing its neighbours.
                if (first.value == last.value)
                    replace(target);
            }
        }
        return m_count;
    }

private:
    struct Token {
        qsizetype start = 0;
        qsizetype length = 0;
        uint value = 0;
    };

    void skipBlanks()
    {
        while (m_at < m_to && isBlank(m_pdf.at(m_at)))
            ++m_at;
    }

    // Reads "<hex digits>"; false at the section's end or on anything else.
    bool next(Token& token)
    {
        skipBlanks();
        if (m_at >= m_to || m_pdf.at(m_at) != '<')
            return false;
        token.start = ++m_at;
        while (m_at < m_to && isHexDigit(m_pdf.at(m_at)))
            ++m_at;
        if (m_at >= m_to || m_pdf.at(m_at) != '>')
            return false;
        token.length = m_at - token.start;
        ++m_at;
        bool ok = false;
        token.value = m_pdf.mid(token.start, token.length).toUInt(&ok, 16);
        return ok || token.length == 0;
    }

    void replace(const Token& token)
    {
        if (token.length != 4 || token.value > 0xFFFF)
            return;
        const auto found = m_map.constFind(char16_t(token.value));
        if (found == m_map.constEnd())
            return;
        const QByteArray code = QByteArray::number(uint(found.value()), 16).toUpper().rightJustified(4, '0');
        m_pdf.replace(token.start, 4, code);
        ++m_count;
    }

    QByteArray& m_pdf;
    qsizetype m_at;
    qsizetype m_to;
    const QHash<char16_t, char16_t>& m_map;
    int m_count = 0;
};

} // namespace

int PdfTextRepair::repairBytes(QByteArray& pdf, const QString& text, const QFont& font)
{
    const QHash<char16_t, char16_t> map = replacements(text, font);
    if (map.isEmpty())
        return 0;
    int count = 0;
    for (const bool ranges : {false, true}) {
        const QByteArray begin = ranges ? "beginbfrange" : "beginbfchar";
        const QByteArray end = ranges ? "endbfrange" : "endbfchar";
        for (qsizetype at = pdf.indexOf(begin); at >= 0; at = pdf.indexOf(begin, at)) {
            const qsizetype from = at + begin.size();
            const qsizetype to = pdf.indexOf(end, from);
            if (to < 0)
                break;
            MapSection section(pdf, from, to, map);
            count += ranges ? section.repairRanges() : section.repairChars();
            at = to + end.size();
        }
    }
    return count;
}

bool PdfTextRepair::repair(const QString& path, const QString& text, const QFont& font)
{
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    QByteArray pdf = in.readAll();
    in.close();
    if (repairBytes(pdf, text, font) == 0)
        return true;
    QSaveFile out(path);
    return out.open(QIODevice::WriteOnly) && out.write(pdf) == pdf.size() && out.commit();
}

} // namespace corvan::host
