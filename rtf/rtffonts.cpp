// SPDX-License-Identifier: GPL-3.0-or-later
// The font table, and the code page that decodes the text of each font.
#include "rtfreader_p.h"

#include "rtfcodepages.h"

#include <algorithm>

namespace Quillmere::Internal {

void FontTable::beginEntry(int number)
{
    m_entry = {};
    m_entry.number = number;
    m_entry.active = true;
}

bool FontTable::commit(int documentCodePage, const Decoder &decode)
{
    if (!m_entry.active)
        return false;
    m_entry.active = false;
    if (m_fonts.size() >= MaxFonts && !m_fonts.contains(m_entry.number))
        return false;

    int fontCodePage = 0;
    if (m_entry.codePage > 0 && !codePageName(m_entry.codePage).isEmpty())
        fontCodePage = m_entry.codePage;
    else if (m_entry.charset >= 0)
        fontCodePage = codePageForCharset(m_entry.charset);
    const int namesCodePage = nameCodePage(documentCodePage);
    const QString name = (m_entry.decodedName + decode(m_entry.name, namesCodePage)).trimmed();
    const QString realName
        = (m_entry.decodedRealName + decode(m_entry.realName, namesCodePage)).trimmed();

    const int hinted = codePageForFontName(name);
    if (hinted == SymbolCodePage && m_entry.codePage <= 0)
        fontCodePage = SymbolCodePage;
    else if (fontCodePage == 0 && m_entry.charset < 0)
        fontCodePage = hinted;

    const QString &family = realName.isEmpty() ? name : realName;
    if (fontCodePage == SymbolCodePage && family.startsWith(u"Symbol", Qt::CaseInsensitive))
        fontCodePage = SymbolFontCodePage;
    m_fonts.insert(m_entry.number, { family, fontCodePage });
    return true;
}

// Names are in the font's code page, save that a symbol font's name is in letters.
int FontTable::nameCodePage(int documentCodePage) const
{
    int codePage = documentCodePage;
    if (m_entry.codePage > 0 && !codePageName(m_entry.codePage).isEmpty())
        codePage = m_entry.codePage;
    else if (m_entry.charset >= 0 && codePageForCharset(m_entry.charset) != 0)
        codePage = codePageForCharset(m_entry.charset);
    return codePage == SymbolCodePage ? 1252 : codePage;
}

void FontTable::appendUnicode(char16_t unit, bool realName, int documentCodePage,
                              const Decoder &decode)
{
    QByteArray &bytes = realName ? m_entry.realName : m_entry.name;
    QString &decoded = realName ? m_entry.decodedRealName : m_entry.decodedName;
    if (!m_entry.active || unit < 0x20 || decoded.size() + bytes.size() >= MaxShortText)
        return;
    decoded += decode(bytes, nameCodePage(documentCodePage));
    bytes.clear();
    decoded += QChar(unit);
}

const FontInfo *FontTable::find(int number) const
{
    const auto found = m_fonts.constFind(number);
    return found != m_fonts.cend() ? &*found : nullptr;
}

void RtfReader::fontTableWord(const KeywordEntry &entry, int parameter)
{
    GroupState &group = state();
    switch (entry.keyword) {
    case Keyword::Font:
        commitFont();
        m_fonts.beginEntry(parameter);
        return;
    case Keyword::FontCharset:
        m_fonts.entry().charset = parameter;
        return;
    case Keyword::FontCodePage:
        m_fonts.entry().codePage = parameter;
        return;
    case Keyword::FontRealName:
        group.destination = Destination::FontRealName;
        return;
    case Keyword::UnicodeSkip:
        group.unicodeSkip = std::clamp(parameter, 0, MaxUnicodeSkip);
        return;
    case Keyword::UnicodeCharacter:
        m_fallbackToSkip = group.unicodeSkip;
        if (parameter >= -32768 && parameter <= 65535) {
            const auto unit = char16_t(parameter < 0 ? parameter + 65536 : parameter);
            m_fonts.appendUnicode(
                unit, group.destination == Destination::FontRealName,
                m_ansiCodePage ? m_ansiCodePage : m_headerCodePage,
                [this](QByteArrayView bytes, int codePage) { return decode(bytes, codePage); });
        }
        return;
    default:
        return;
    }
}

void RtfReader::fontTableText(QByteArrayView bytes)
{
    const GroupState &group = state();
    FontEntry &entry = m_fonts.entry();
    if (!entry.active)
        return;
    const qsizetype end = bytes.indexOf(';');
    QByteArray &name = group.destination == Destination::FontTable ? entry.name : entry.realName;
    const QString &decoded
        = group.destination == Destination::FontTable ? entry.decodedName : entry.decodedRealName;
    const qsizetype length
        = std::min(end < 0 ? bytes.size() : end, MaxShortText - decoded.size() - name.size());
    name.append(bytes.first(std::max<qsizetype>(0, length)));
    if (end >= 0 && group.destination == Destination::FontTable)
        commitFont();
}

void RtfReader::commitFont()
{
    const int documentCodePage = m_ansiCodePage ? m_ansiCodePage : m_headerCodePage;
    const bool added = m_fonts.commit(documentCodePage, [this](QByteArrayView bytes, int codePage) {
        return decode(bytes, codePage);
    });
    if (!added)
        return;
    m_codePageCached = false;
    m_formats.clear();
}

int RtfReader::codePage(const CharState &character)
{
    const int number = character.font >= 0 ? character.font : m_defaultFont;
    if (m_codePageCached && number == m_cachedFontNumber)
        return m_cachedCodePage;
    const FontInfo *font = m_fonts.find(number);
    int result = font ? font->codePage : 0;
    if (result == 0)
        result = m_ansiCodePage != 0 ? m_ansiCodePage : m_headerCodePage;
    m_cachedFontNumber = number;
    m_cachedCodePage = result;
    m_codePageCached = true;
    return result;
}

QStringDecoder &RtfReader::decoder(int codePage)
{
    auto found = m_decoders.find(codePage);
    if (found == m_decoders.end()) {
        QStringDecoder created(codePageName(codePage).constData(),
                               QStringConverter::Flag::Stateless);
        if (!created.isValid())
            created = QStringDecoder("windows-1252", QStringConverter::Flag::Stateless);
        found = m_decoders.emplace(codePage, std::move(created)).first;
    }
    return found->second;
}

QString RtfReader::decode(QByteArrayView bytes, int codePage)
{
    QString text;
    if (codePage != SymbolFontCodePage && isPlainAscii(bytes)) {
        return QString::fromLatin1(bytes);
    } else if (codePage == SymbolCodePage || codePage == SymbolFontCodePage) {
        text.reserve(bytes.size());
        for (const char c : bytes)
            text.append(QChar(symbolCharacter(uchar(c), codePage == SymbolFontCodePage)));
    } else {
        QStringDecoder &codec = decoder(codePage);
        if (codec.isValid())
            text = codec(bytes);
        else
            text = QString::fromLatin1(bytes);
    }
    removeUnwanted(text);
    return text;
}

} // namespace Quillmere::Internal
