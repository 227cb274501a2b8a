// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>

#include <memory>

class QTextDocument;

namespace Quillmere {

// Whether the bytes are RTF: `{\rtf` at the start, after white space or a UTF-8 byte order
// mark at most.
[[nodiscard]] bool looksLikeRtf(QByteArrayView bytes);

// Builds a new document from RTF: text in the code pages the file names, character and
// paragraph formatting, links, lists, tables and PNG or JPEG pictures. Headers and footers are
// kept on the root frame's format, footnotes and comments on their reference mark, neither
// shown; everything else that is not body text stays out. Reading never fails: a damaged
// or hostile file gives what can be read of it, in time and memory linear in its size. The
// document has undo enabled and an empty history; images are resources named by their format,
// decoded within a budget, and keep the file's own bytes for saving.
[[nodiscard]] std::unique_ptr<QTextDocument> readRtf(QByteArrayView rtf);

} // namespace Quillmere
