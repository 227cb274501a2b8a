// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QTextDocument;

namespace Quillmere {

// Turns text as QTextDocument stores it (paragraph and line separators U+2029 and U+2028, frame
// markers U+FDD0 and U+FDD1) into document text, where every one of those is CR LF. Everything
// else, no-break spaces and object markers included, passes through unchanged.
[[nodiscard]] QString toDocumentText(const QString &qtText);

// `qtText`, the text of `document` from position `from` as QTextDocument stores it, without the
// break of the empty paragraph between two parts of one long table, so that the parts read as
// the one table they were in the file.
[[nodiscard]] QString joinTableParts(const QTextDocument &document, const QString &qtText,
                                     int from);

// Document text as other programs expect it on the clipboard, in a drag or in the X11
// selection: CR LF becomes LF.
[[nodiscard]] QString toClipboardText(const QString &documentText);

} // namespace Quillmere
