// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QSize>

#include <optional>

class QTextDocument;
class QTextImageFormat;

namespace Quillmere::Internal {

// The bytes the writer puts in a \pict group: a PNG file and its size in pixels, or the data
// of a picture read from a file with the control words that described it there.
struct EncodedPicture
{
    QByteArray bytes;
    QSize size;
    std::optional<QByteArray> keywords;
};

// The picture as the file it was read from held it, when it was read from one.
[[nodiscard]] std::optional<EncodedPicture> originalPicture(const QTextImageFormat &format);

// The document's image resource `name` encoded as PNG; nothing when there is no image.
[[nodiscard]] std::optional<EncodedPicture> encodeImageResource(const QTextDocument &document,
                                                                const QString &name);

} // namespace Quillmere::Internal
