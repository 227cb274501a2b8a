// SPDX-License-Identifier: GPL-3.0-or-later
#include "rtfcodepages.h"

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

QByteArray codePageName(int codePage)
{
    const auto found = std::lower_bound(CodePageNames.begin(), CodePageNames.end(), codePage,
                                        [](auto entry, int key) { return entry.codePage < key; });
    if (found == CodePageNames.end() || found->codePage != codePage)
        return {};
    return QByteArray(found->name);
}

} // namespace Quillmere
