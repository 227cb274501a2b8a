// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

class QTextDocument;

namespace Quillmere {

// Writes the whole document as RTF that Word, WordPad, LibreOffice, TextEdit and pandoc read
// back alike: 7-bit ASCII with CR LF line ends and short lines; text outside ASCII as `\'hh`
// where Windows-1252 has it, otherwise as `\uN ?` (two for a character beyond the BMP).
//
// Every run is a group that names its font and size, so other programs show the sizes the
// document shows. Lengths go out in twips (15 to a pixel). Lists are written as WordPad writes
// them (`\pntext` marker plus `\*\pn`), with `\li` carrying the list's indentation and a hanging
// `\fi-360` for the marker. Tables nested in a cell are flattened into the cell's paragraphs.
// Pictures read from a file are written back with the bytes the file held; other images are
// encoded as PNG, and one that cannot be encoded is left out rather than written as data no
// reader could decode. Headers, footers, footnotes and comments the reader kept go back where
// they were; paragraphs whose list marker was kept as text are items of a list table entry that
// shows that marker.
[[nodiscard]] QByteArray writeRtf(const QTextDocument &document);

} // namespace Quillmere
