// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

class QTextDocument;

namespace QuillmereBench {

// Fills the document with about `units` UTF-16 units of makeProse() text, one paragraph a
// line, in runs of two to six words that are by turns plain, bold, italic or coloured: the
// same document on every call.
void fillFormatted(QTextDocument &document, qsizetype units);

} // namespace QuillmereBench
