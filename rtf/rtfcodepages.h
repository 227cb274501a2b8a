// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QStringView>

namespace Quillmere {

// Windows' number for the Symbol "code page": byte hh of a Symbol font is U+F0hh.
inline constexpr int SymbolCodePage = 42;
// Our own number for the Symbol font itself, whose bytes mostly have Unicode equivalents.
inline constexpr int SymbolFontCodePage = -42;

// The code page that a font's `\fcharsetN` stands for; 0 for "the document's code page"
// (`\fcharset1`) and for charsets nobody defines.
[[nodiscard]] int codePageForCharset(int charset);

// The code page a font name hints at by its suffix (" CE", " Cyr", ...) or by being a symbol
// font (Symbol, Wingdings, Webdings); 0 when the name hints at nothing.
[[nodiscard]] int codePageForFontName(QStringView name);

// The name under which QStringDecoder decodes the code page, or an empty array when Qt has no
// decoder for it. Code pages Qt lacks but that have a close relative (the Mac ones for
// Japanese, Chinese, Korean, Hebrew, Arabic and Thai) get the relative's name.
[[nodiscard]] QByteArray codePageName(int codePage);

// The character a symbol font draws for a byte: for the Symbol font the Greek letter or sign
// where Unicode has one, otherwise the byte in the private use area at U+F000 (ASCII bytes of
// other symbol fonts stay themselves, as readers expect).
[[nodiscard]] char16_t symbolCharacter(uchar byte, bool symbolFont);
// The byte that a symbol font draws a character with, -1 for none.
[[nodiscard]] int symbolByte(char16_t character, bool symbolFont);

} // namespace Quillmere
