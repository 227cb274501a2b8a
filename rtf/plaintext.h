// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>
#include <QString>

#include <memory>

class QTextDocument;

namespace Quillmere {

// Decodes the bytes of a text file: a UTF-8 or UTF-16 byte order mark decides (and is dropped),
// otherwise UTF-8 when the bytes are valid UTF-8, otherwise Windows-1252. CR LF, LF and a lone
// CR all come out as LF.
[[nodiscard]] QString decodePlainText(QByteArrayView bytes);

// A document holding a text file, one paragraph a line, in the default format, with undo
// enabled and an empty history.
[[nodiscard]] std::unique_ptr<QTextDocument> readPlainText(QByteArrayView bytes);

} // namespace Quillmere
