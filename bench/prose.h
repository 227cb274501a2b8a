// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace QuillmereBench {

// Deterministic prose of about `units` UTF-16 units: words of mixed case with the punctuation
// people type, lines of 60-100 characters ended by CR LF, a blank line between paragraphs.
// With `nonAsciiLetters` set, about a fifth of the letters are accented Latin, Greek or
// Cyrillic.
QString makeProse(qsizetype units, bool nonAsciiLetters);

// ASCII prose with LF line breaks, as another program puts text on the clipboard.
QString makeLineFeedProse(qsizetype units);

} // namespace QuillmereBench
