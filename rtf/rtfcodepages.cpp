// SPDX-License-Identifier: GPL-3.0-or-later
#include "rtfcodepages.h"

#include <QHash>

#include <algorithm>
#include <array>

namespace Quillmere {
namespace {

struct CharsetCodePage
{
    int charset;
    int codePage;
};

// What each `\fcharset` means, sorted by charset. 1 ("default") is absent on purpose: it
// means the document's code page, never the machine's locale.
constexpr std::array CharsetCodePages = std::to_array<CharsetCodePage>({
    { 0, 1252 },   { 2, SymbolCodePage }, { 77, 10000 }, { 78, 10001 }, { 79, 10003 },
    { 80, 10008 }, { 81, 10002 },         { 83, 10005 }, { 84, 10004 }, { 85, 10006 },
    { 86, 10081 }, { 87, 10021 },         { 88, 10029 }, { 89, 10007 }, { 128, 932 },
    { 129, 949 },  { 130, 1361 },         { 134, 936 },  { 136, 950 },  { 161, 1253 },
    { 162, 1254 }, { 163, 1258 },         { 177, 1255 }, { 178, 1256 }, { 186, 1257 },
    { 204, 1251 }, { 222, 874 },          { 238, 1250 }, { 254, 437 },  { 255, 850 },
});
static_assert(std::is_sorted(CharsetCodePages.begin(), CharsetCodePages.end(),
                             [](auto a, auto b) { return a.charset < b.charset; }));

struct NameHint
{
    const char16_t *text;
    bool suffix;
    int codePage;
};

// Font names that say which code page their bytes are in, as Windows names its legacy fonts.
constexpr std::array NameHints = std::to_array<NameHint>({
    { u" CE", true, 1250 },
    { u" Cyr", true, 1251 },
    { u" Greek", true, 1253 },
    { u" Tur", true, 1254 },
    { u" Baltic", true, 1257 },
    { u" (Hebrew)", true, 1255 },
    { u" (Arabic)", true, 1256 },
    { u" (Vietnamese)", true, 1258 },
    { u"Symbol", false, SymbolCodePage },
    { u"Wingdings", false, SymbolCodePage },
    { u"Webdings", false, SymbolCodePage },
});

struct CodePageName
{
    int codePage;
    const char *name;
};

// Decoder names Qt's ICU backend knows (checked on Debian 12). The cp874/cp949/cp950 aliases
// are avoided: ICU maps them to IBM tables that differ from Windows'.
constexpr std::array CodePageNames = std::to_array<CodePageName>({
    { 437, "IBM437" },
    { 850, "IBM850" },
    { 852, "IBM852" },
    { 866, "IBM866" },
    { 874, "windows-874" },
    { 932, "windows-932" },
    { 936, "windows-936" },
    { 949, "windows-949" },
    { 950, "windows-950" },
    { 1250, "windows-1250" },
    { 1251, "windows-1251" },
    { 1252, "windows-1252" },
    { 1253, "windows-1253" },
    { 1254, "windows-1254" },
    { 1255, "windows-1255" },
    { 1256, "windows-1256" },
    { 1257, "windows-1257" },
    { 1258, "windows-1258" },
    { 10000, "macintosh" },
    { 10001, "windows-932" },
    { 10002, "windows-950" },
    { 10003, "windows-949" },
    { 10004, "windows-1256" },
    { 10005, "windows-1255" },
    { 10006, "x-mac-greek" },
    { 10007, "x-mac-cyrillic" },
    { 10008, "windows-936" },
    { 10021, "windows-874" },
    { 10029, "x-mac-centraleurroman" },
    { 10081, "x-mac-turkish" },
    { 65001, "UTF-8" },
});
static_assert(std::is_sorted(CodePageNames.begin(), CodePageNames.end(),
                             [](auto a, auto b) { return a.codePage < b.codePage; }));

} // namespace

int codePageForCharset(int charset)
{
    const auto found = std::lower_bound(CharsetCodePages.begin(), CharsetCodePages.end(), charset,
                                        [](auto entry, int key) { return entry.charset < key; });
    return found != CharsetCodePages.end() && found->charset == charset ? found->codePage : 0;
}

int codePageForFontName(QStringView name)
{
    const QStringView trimmed = name.trimmed();
    for (const NameHint &hint : NameHints) {
        const QStringView text(hint.text);
        if (hint.suffix ? trimmed.endsWith(text, Qt::CaseInsensitive)
                        : trimmed.startsWith(text, Qt::CaseInsensitive))
            return hint.codePage;
    }
    return 0;
}

char16_t symbolCharacter(uchar byte, bool symbolFont)
{
    // The Symbol font from byte 0x20, 0 where Unicode has no equivalent or where the font has
    // a second, sans-serif copy of a sign (0xE2 to 0xE4).
    static constexpr std::array<char16_t, 224> SymbolFont = {
        // clang-format off
        u' ', u'!', 0x2200, u'#', 0x2203, u'%', u'&', 0x220B,
        u'(', u')', 0x2217, u'+', u',', 0x2212, u'.', u'/',
        u'0', u'1', u'2', u'3', u'4', u'5', u'6', u'7',
        u'8', u'9', u':', u';', u'<', u'=', u'>', u'?',
        0x2245, 0x0391, 0x0392, 0x03A7, 0x0394, 0x0395, 0x03A6, 0x0393,
        0x0397, 0x0399, 0x03D1, 0x039A, 0x039B, 0x039C, 0x039D, 0x039F,
        0x03A0, 0x0398, 0x03A1, 0x03A3, 0x03A4, 0x03A5, 0x03C2, 0x03A9,
        0x039E, 0x03A8, 0x0396, u'[', 0x2234, u']', 0x22A5, u'_',
        0, 0x03B1, 0x03B2, 0x03C7, 0x03B4, 0x03B5, 0x03C6, 0x03B3,
        0x03B7, 0x03B9, 0x03D5, 0x03BA, 0x03BB, 0x03BC, 0x03BD, 0x03BF,
        0x03C0, 0x03B8, 0x03C1, 0x03C3, 0x03C4, 0x03C5, 0x03D6, 0x03C9,
        0x03BE, 0x03C8, 0x03B6, u'{', u'|', u'}', 0x223C, 0,
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        0x20AC, 0x03D2, 0x2032, 0x2264, 0x2044, 0x221E, 0x0192, 0x2663,
        0x2666, 0x2665, 0x2660, 0x2194, 0x2190, 0x2191, 0x2192, 0x2193,
        0x00B0, 0x00B1, 0x2033, 0x2265, 0x00D7, 0x221D, 0x2202, 0x2022,
        0x00F7, 0x2260, 0x2261, 0x2248, 0x2026, 0, 0, 0x21B5,
        0x2135, 0x2111, 0x211C, 0x2118, 0x2297, 0x2295, 0x2205, 0x2229,
        0x222A, 0x2283, 0x2287, 0x2284, 0x2282, 0x2286, 0x2208, 0x2209,
        0x2220, 0x2207, 0x00AE, 0x00A9, 0x2122, 0x220F, 0x221A, 0x22C5,
        0x00AC, 0x2227, 0x2228, 0x21D4, 0x21D0, 0x21D1, 0x21D2, 0x21D3,
        0x25CA, 0x2329, 0, 0, 0, 0x2211, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        0, 0x232A, 0x222B, 0x2320, 0, 0x2321, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        // clang-format on
    };
    if (byte < 0x20)
        return byte;
    if (symbolFont && SymbolFont[byte - 0x20] != 0)
        return SymbolFont[byte - 0x20];
    return byte < 0x80 && !symbolFont ? char16_t(byte) : char16_t(0xF000 + byte);
}

int symbolByte(char16_t character, bool symbolFont)
{
    static const auto bytesOf = [](bool symbolFont) {
        QHash<char16_t, uchar> bytes;
        for (int byte = 0x20; byte <= 0xFF; ++byte)
            bytes.insert(symbolCharacter(uchar(byte), symbolFont), uchar(byte));
        return bytes;
    };
    static const QHash<char16_t, uchar> symbolFontBytes = bytesOf(true);
    static const QHash<char16_t, uchar> otherFontBytes = bytesOf(false);
    const QHash<char16_t, uchar> &bytes = symbolFont ? symbolFontBytes : otherFontBytes;
    const auto found = bytes.constFind(character);
    return found == bytes.cend() ? -1 : *found;
}

QByteArray codePageName(int codePage)
{
    const auto found = std::lower_bound(CodePageNames.begin(), CodePageNames.end(), codePage,
                                        [](auto entry, int key) { return entry.codePage < key; });
    if (found == CodePageNames.end() || found->codePage != codePage)
        return {};
    return QByteArray(found->name);
}

} // namespace Quillmere
