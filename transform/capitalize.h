// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <array>

namespace Quillmere {

// One row of the punctuation table: every `find` unit becomes `replacement`.
struct PunctuationReplacement
{
    char16_t find;
    char16_t replacement;
};

// The punctuation rewritten before the case step, applied row by row in this order.
inline constexpr std::array<PunctuationReplacement, 7> PunctuationMap { {
    { u'"', u' ' },
    { u'+', u' ' },
    { u',', u' ' },
    { u'(', u' ' },
    { u')', u' ' },
    { u';', u'-' },
    { u'_', u'-' },
} };

// True for the seven units that end a word: NUL, tab, LF, VT, FF, CR and space.
[[nodiscard]] constexpr bool isWordSeparator(char16_t unit)
{
    return unit == u' ' || (unit >= 9 && unit <= 13) || unit == 0;
}

// Replaces every `row.find` unit of `text` by `row.replacement`; the length is unchanged.
[[nodiscard]] QString ReplacePunctuation(QString text, PunctuationReplacement row);

// Upper-cases the first unit of every word and lower-cases every other unit; words are
// separated by isWordSeparator() units only. The length is unchanged.
[[nodiscard]] QString ProperCase(QString text);

// The whole rule: every row of PunctuationMap in order, then ProperCase, fused into one pass.
[[nodiscard]] QString CapitalizeWords(QString text);

} // namespace Quillmere

namespace Quillmere {

// Rewrites a whole document by the rule as eight read-modify-write cycles of its plain text:
// one per PunctuationMap row, in order, then ProperCase. `Document` offers documentText(),
// setDocumentText() and a WriteBatch, which lets it replace its content once for all eight.
template<typename Document> void ApplyCapitalizeWords(Document &document)
{
    const typename Document::WriteBatch batch(document);
    for (const PunctuationReplacement &row : PunctuationMap)
        document.setDocumentText(ReplacePunctuation(document.documentText(), row));
    document.setDocumentText(ProperCase(document.documentText()));
}

} // namespace Quillmere
