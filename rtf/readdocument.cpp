// SPDX-License-Identifier: GPL-3.0-or-later
#include "readdocument.h"

#include "plaintext.h"
#include "rtfreader.h"

#include <QTextDocument>

namespace Quillmere {

std::unique_ptr<QTextDocument> readDocument(QByteArrayView bytes)
{
    return looksLikeRtf(bytes) ? readRtf(bytes) : readPlainText(bytes);
}

} // namespace Quillmere
