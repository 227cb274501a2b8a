// SPDX-License-Identifier: GPL-3.0-or-later
// Character formatting: the words that set it, the colour table, and the QTextCharFormat
// each combination becomes.
#include "rtfreader_p.h"

#include <algorithm>

namespace Quillmere::Internal {

void ColorTable::clear()
{
    m_colors.clear();
    m_colorGiven = false;
    m_red = m_green = m_blue = 0;
}

void ColorTable::setComponent(Keyword keyword, int value)
{
    int *component = keyword == Keyword::Red ? &m_red
        : keyword == Keyword::Green          ? &m_green
        : keyword == Keyword::Blue           ? &m_blue
                                             : nullptr;
    if (component) {
        *component = std::clamp(value, 0, 255);
        m_colorGiven = true;
    }
}

void ColorTable::commit()
{
    if (m_colors.size() < size_t(MaxColors))
        m_colors.push_back(m_colorGiven ? QColor(m_red, m_green, m_blue) : QColor());
    m_colorGiven = false;
    m_red = m_green = m_blue = 0;
}

QColor ColorTable::at(int index) const
{
    return index > 0 && size_t(index) < m_colors.size() ? m_colors[size_t(index)] : QColor();
}

void RtfReader::characterWord(const KeywordEntry &entry, const RtfToken &token)
{
    CharState &character = state().character;
    const int parameter = token.parameter;
    const bool on = !token.hasParameter || parameter != 0;
    switch (entry.keyword) {
    case Keyword::Plain: {
        const int link = character.link;
        character = {};
        character.link = link;
        return;
    }
    case Keyword::Bold:
        character.bold = on;
        return;
    case Keyword::Italic:
        character.italic = on;
        return;
    case Keyword::Underline:
        character.underline = quint8(on ? entry.value : QTextCharFormat::NoUnderline);
        return;
    case Keyword::Strike:
        character.strike = on;
        return;
    case Keyword::VerticalAlignment:
        character.verticalAlignment = quint8(entry.value);
        return;
    case Keyword::Raise:
    case Keyword::Lower:
        character.verticalAlignment
            = quint8(!on                                   ? QTextCharFormat::AlignNormal
                         : entry.keyword == Keyword::Raise ? QTextCharFormat::AlignSuperScript
                                                           : QTextCharFormat::AlignSubScript);
        return;
    case Keyword::Capitalization:
        character.capitalization = quint8(on ? entry.value : QFont::MixedCase);
        return;
    case Keyword::FontSize:
        character.halfPoints = parameter > 0 ? std::min(parameter, MaxHalfPoints) : 0;
        return;
    case Keyword::Font:
        character.font = parameter;
        return;
    case Keyword::Foreground:
        character.foreground = parameter;
        return;
    case Keyword::Background:
        character.background = parameter;
        return;
    case Keyword::Hidden:
        character.hidden = on;
        return;
    case Keyword::LetterSpacingQuarterPoints:
    case Keyword::LetterSpacingTwips: {
        // A quarter point is five twips.
        const int factor = entry.keyword == Keyword::LetterSpacingTwips ? 1 : 5;
        character.letterSpacing
            = qint16(std::clamp(parameter, -MaxTwips / factor, MaxTwips / factor) * factor);
        return;
    }
    default:
        return;
    }
}

void RtfReader::colorTableText(QByteArrayView bytes)
{
    for (const char c : bytes) {
        if (c == ';') {
            m_colors.commit();
            m_formats.clear();
        }
    }
}

QTextCharFormat RtfReader::charFormat(const CharState &character)
{
    const auto cached = m_formats.constFind(character);
    if (cached != m_formats.cend())
        return *cached;
    QTextCharFormat format;
    if (character.bold)
        format.setFontWeight(QFont::Bold);
    if (character.italic)
        format.setFontItalic(true);
    if (character.underline != QTextCharFormat::NoUnderline)
        format.setUnderlineStyle(QTextCharFormat::UnderlineStyle(character.underline));
    if (character.strike)
        format.setFontStrikeOut(true);
    if (character.verticalAlignment != QTextCharFormat::AlignNormal)
        format.setVerticalAlignment(
            QTextCharFormat::VerticalAlignment(character.verticalAlignment));
    if (character.capitalization != QFont::MixedCase)
        format.setFontCapitalization(QFont::Capitalization(character.capitalization));
    if (character.halfPoints > 0)
        format.setFontPointSize(character.halfPoints / 2.0);
    if (character.font >= 0) {
        const FontInfo *font = m_fonts.find(character.font);
        if (font && !font->family.isEmpty())
            format.setFontFamilies({ font->family });
    }
    if (const QColor foreground = m_colors.at(character.foreground); foreground.isValid())
        format.setForeground(foreground);
    if (const QColor background = m_colors.at(character.background); background.isValid())
        format.setBackground(background);
    if (character.letterSpacing != 0) {
        format.setFontLetterSpacingType(QFont::AbsoluteSpacing);
        format.setFontLetterSpacing(character.letterSpacing / TwipsPerDocumentPixel);
    }
    if (character.link >= 0) {
        format.setAnchor(true);
        format.setAnchorHref(m_links.at(character.link));
    }
    if (m_formats.size() >= MaxCachedFormats)
        m_formats.clear();
    m_formats.insert(character, format);
    return format;
}

} // namespace Quillmere::Internal
