// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>

#include <memory>

class QTextDocument;

namespace Quillmere {

// A document holding the bytes of a file: read as RTF when they look like RTF (`readRtf`),
// otherwise as plain text (`readPlainText`). Reading never fails; the document has undo
// enabled and an empty history.
[[nodiscard]] std::unique_ptr<QTextDocument> readDocument(QByteArrayView bytes);

} // namespace Quillmere
