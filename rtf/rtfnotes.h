// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>

#include <memory>

class QTextDocument;

namespace Quillmere::Internal {

// Reads the content of a header, footer, note or comment kept aside by the reader. Notes
// inside it are dropped: a note holds no notes of its own.
[[nodiscard]] std::unique_ptr<QTextDocument> readNoteContent(QByteArrayView rtf);

} // namespace Quillmere::Internal
