// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>
#include <QString>

#include <optional>

namespace Quillmere {

// The memory a document read from `bytes` (RTF or plain text) is expected to take once built
// and shown, in bytes, from one quick pass that counts what costs memory: characters,
// paragraphs, table cells and pictures.
[[nodiscard]] qint64 projectedDocumentBytes(QByteArrayView bytes);

// The memory this process can still take, in bytes: the address space its limits leave, and
// no more than the machine has.
[[nodiscard]] qint64 availableMemoryBytes();

// Why the document in `bytes` must not be built, or nothing when it may: it would take more
// than the reader promises (256 MB and ten times the file) or more than `availableBytes`. The
// check comes before building because Qt does not survive running out of memory.
[[nodiscard]] std::optional<QString> whyTooLargeToOpen(QByteArrayView bytes, qint64 availableBytes);

} // namespace Quillmere
