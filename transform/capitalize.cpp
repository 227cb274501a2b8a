// SPDX-License-Identifier: GPL-3.0-or-later
#include "capitalize.h"

#include <QChar>

#include <algorithm>
#include <memory>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace Quillmere {
namespace {

// Both images of every unit side by side, indexed [unit][atWordStart], so that choosing one
// is an index, not a branch.
struct CaseTables
{
    char16_t images[0x10000][2];

    char16_t upper(char16_t unit) const { return images[unit][1]; }
    char16_t lower(char16_t unit) const { return images[unit][0]; }
};

char16_t singleUnitImage(char32_t image, char16_t unit)
{
    if (image > 0xFFFF || QChar::isSurrogate(image))
        return unit;
    return char16_t(image);
}

// Built once from Qt's Unicode data, so the hot loop is a plain lookup and never depends on
// the process locale.
const CaseTables &caseTables()
{
    static const std::unique_ptr<CaseTables> tables = [] {
        auto built = std::make_unique<CaseTables>();
        for (char32_t unit = 0; unit < 0x10000; ++unit) {
            const auto u16 = char16_t(unit);
            if (unit < 0x80) {
                const bool isLower = unit >= u'a' && unit <= u'z';
                const bool isUpper = unit >= u'A' && unit <= u'Z';
                built->images[unit][1] = isLower ? char16_t(unit - 32) : u16;
                built->images[unit][0] = isUpper ? char16_t(unit + 32) : u16;
            } else if (QChar::isSurrogate(unit)) {
                built->images[unit][1] = u16;
                built->images[unit][0] = u16;
            } else {
                built->images[unit][1] = singleUnitImage(QChar::toUpper(unit), u16);
                built->images[unit][0] = singleUnitImage(QChar::toLower(unit), u16);
            }
        }
        return built;
    }();
    return *tables;
}

constexpr std::array<char16_t, 128> asciiPunctuationTable()
{
    std::array<char16_t, 128> table{};
    for (char16_t unit = 0; unit < 128; ++unit)
        table[unit] = unit;
    for (const auto &row : PunctuationMap)
        table[row.find] = row.replacement;
    return table;
}

constexpr auto mappedAscii = asciiPunctuationTable();

// Scalar version of the fused rule; also finishes the tail the vector loop leaves.
template<bool MapPunctuation>
bool transformScalar(const char16_t *source, char16_t *target, qsizetype count, bool atWordStart,
                     const CaseTables &tables)
{
    for (qsizetype i = 0; i < count; ++i) {
        char16_t unit = source[i];
        if constexpr (MapPunctuation) {
            if (unit < 128)
                unit = mappedAscii[unit];
        }
        const bool separator = isWordSeparator(unit);
        target[i] = separator ? unit : tables.images[unit][atWordStart];
        atWordStart = separator;
    }
    return atWordStart;
}

#if defined(__SSE2__)
// Eight units at a time: punctuation, separators and ASCII case are computed with compares and
// a one-lane shift for "previous unit was a separator"; non-ASCII lanes fall back to the tables.
template<bool MapPunctuation>
qsizetype transformSse2(const char16_t *source, char16_t *target, qsizetype count,
                        bool &atWordStart, const CaseTables &tables)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i space = _mm_set1_epi16(' ');
    const __m128i hyphen = _mm_set1_epi16('-');
    const __m128i tab = _mm_set1_epi16(9);
    const __m128i four = _mm_set1_epi16(4);
    const __m128i twentyFive = _mm_set1_epi16(25);
    const __m128i lowerA = _mm_set1_epi16('a');
    const __m128i upperA = _mm_set1_epi16('A');
    const __m128i caseDelta = _mm_set1_epi16(32);
    const __m128i asciiMax = _mm_set1_epi16(0x7F);

    __m128i previousSeparator = atWordStart ? _mm_set_epi16(-1, 0, 0, 0, 0, 0, 0, 0) : zero;
    qsizetype i = 0;
    for (; i + 8 <= count; i += 8) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(source + i));
        if constexpr (MapPunctuation) {
            const __m128i toSpace = _mm_or_si128(
                _mm_or_si128(_mm_cmpeq_epi16(v, _mm_set1_epi16('"')),
                             _mm_cmpeq_epi16(v, _mm_set1_epi16('+'))),
                _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(v, _mm_set1_epi16(',')),
                                          _mm_cmpeq_epi16(v, _mm_set1_epi16('('))),
                             _mm_cmpeq_epi16(v, _mm_set1_epi16(')'))));
            const __m128i toHyphen = _mm_or_si128(_mm_cmpeq_epi16(v, _mm_set1_epi16(';')),
                                                  _mm_cmpeq_epi16(v, _mm_set1_epi16('_')));
            v = _mm_andnot_si128(_mm_or_si128(toSpace, toHyphen), v);
            v = _mm_or_si128(v, _mm_or_si128(_mm_and_si128(toSpace, space),
                                             _mm_and_si128(toHyphen, hyphen)));
        }
        const __m128i controlSeparator
            = _mm_cmpeq_epi16(_mm_subs_epu16(_mm_sub_epi16(v, tab), four), zero);
        const __m128i separator = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi16(v, space), _mm_cmpeq_epi16(v, zero)), controlSeparator);
        // The carry stays in a vector register: no round trip through a general register.
        const __m128i afterSeparator
            = _mm_or_si128(_mm_slli_si128(separator, 2), _mm_srli_si128(previousSeparator, 14));
        previousSeparator = separator;

        const __m128i isLower
            = _mm_cmpeq_epi16(_mm_subs_epu16(_mm_sub_epi16(v, lowerA), twentyFive), zero);
        const __m128i isUpper
            = _mm_cmpeq_epi16(_mm_subs_epu16(_mm_sub_epi16(v, upperA), twentyFive), zero);
        const __m128i raise = _mm_and_si128(afterSeparator, isLower);
        const __m128i lower = _mm_andnot_si128(afterSeparator, isUpper);
        v = _mm_sub_epi16(v, _mm_and_si128(raise, caseDelta));
        v = _mm_add_epi16(v, _mm_and_si128(lower, caseDelta));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(target + i), v);

        const __m128i nonAscii = _mm_cmpeq_epi16(_mm_subs_epu16(v, asciiMax), zero);
        if (_mm_movemask_epi8(nonAscii) != 0xFFFF) {
            // Every lane through the tables: ASCII lanes are already final and map to
            // themselves, and one predictable loop beats a branch per non-ASCII lane.
            const int startBits = _mm_movemask_epi8(afterSeparator);
            for (int lane = 0; lane < 8; ++lane) {
                const char16_t unit = target[i + lane];
                target[i + lane] = tables.images[unit][(startBits >> (2 * lane)) & 1];
            }
        }
    }
    atWordStart = _mm_extract_epi16(previousSeparator, 7) != 0;
    return i;
}
#endif

template<bool MapPunctuation>
QString transformCase(QString text)
{
    const qsizetype count = text.size();
    if (count == 0)
        return text;
    const CaseTables &tables = caseTables();
    // A shared string is read from its old buffer and written to a fresh one: one pass, no copy.
    const bool inPlace = text.isDetached();
    QString result = inPlace ? std::move(text) : QString(count, Qt::Uninitialized);
    const auto *source = reinterpret_cast<const char16_t *>(inPlace ? result.constData()
                                                                    : text.constData());
    auto *target = reinterpret_cast<char16_t *>(result.data());
    bool atWordStart = true;
    qsizetype done = 0;
#if defined(__SSE2__)
    done = transformSse2<MapPunctuation>(source, target, count, atWordStart, tables);
#endif
    transformScalar<MapPunctuation>(source + done, target + done, count - done, atWordStart,
                                    tables);
    return result;
}

} // namespace

char16_t upperCaseUnit(char16_t unit)
{
    return caseTables().upper(unit);
}

char16_t lowerCaseUnit(char16_t unit)
{
    return caseTables().lower(unit);
}

QString ReplacePunctuation(QString text, PunctuationReplacement row)
{
    const qsizetype first = text.indexOf(QChar(row.find));
    if (first < 0)
        return text;
    const qsizetype count = text.size();
    const bool inPlace = text.isDetached();
    QString result = inPlace ? std::move(text) : QString(count, Qt::Uninitialized);
    const auto *source = reinterpret_cast<const char16_t *>(inPlace ? result.constData()
                                                                    : text.constData());
    auto *target = reinterpret_cast<char16_t *>(result.data());
    if (!inPlace)
        std::copy(source, source + first, target);
    for (qsizetype i = first; i < count; ++i)
        target[i] = source[i] == row.find ? row.replacement : source[i];
    return result;
}

QString ProperCase(QString text)
{
    return transformCase<false>(std::move(text));
}

QString CapitalizeWords(QString text)
{
    return transformCase<true>(std::move(text));
}

} // namespace Quillmere
