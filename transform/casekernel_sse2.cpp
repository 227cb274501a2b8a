// SPDX-License-Identifier: GPL-3.0-or-later
#include "capitalize.h"
#include "casekernel.h"
#include "casekernel_loop.h"

#include <emmintrin.h>

namespace Quillmere {
namespace {

// Eight units a vector, on every x86-64 processor. SSE2 has no byte shuffle to classify by
// nibbles, so the units are compared with the punctuation rows and the separators directly.
struct Sse2
{
    static constexpr std::ptrdiff_t Lanes = 8;

    struct Block
    {
        __m128i replaced;
        __m128i separators;
    };

    explicit Sse2(const CaseRule &rule)
        : m_images(rule.images)
    {
    }

    static __m128i load(const char16_t *units)
    {
        return _mm_loadu_si128(reinterpret_cast<const __m128i *>(units));
    }

    static void store(char16_t *units, __m128i vector)
    {
        _mm_storeu_si128(reinterpret_cast<__m128i *>(units), vector);
    }

    // All ones in the lanes from `first` to `last`: one unsigned saturating subtraction.
    static __m128i inRange(__m128i units, char16_t first, char16_t last)
    {
        const __m128i offset = _mm_sub_epi16(units, _mm_set1_epi16(short(first)));
        return _mm_cmpeq_epi16(_mm_subs_epu16(offset, _mm_set1_epi16(short(last - first))),
                               _mm_setzero_si128());
    }

    template<bool ReplacePunctuation> static Block classify(__m128i units)
    {
        __m128i replaced = units;
        if constexpr (ReplacePunctuation) {
            // Where a row's unit is found, xor with (find ^ replacement) leaves the replacement.
#pragma GCC unroll 8
            for (const PunctuationReplacement &row : PunctuationMap) {
                const __m128i found = _mm_cmpeq_epi16(units, _mm_set1_epi16(short(row.find)));
                const __m128i change = _mm_set1_epi16(short(row.find ^ row.replacement));
                replaced = _mm_xor_si128(replaced, _mm_and_si128(found, change));
            }
        }
        const __m128i separators
            = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(replaced, _mm_setzero_si128()),
                                        _mm_cmpeq_epi16(replaced, _mm_set1_epi16(' '))),
                           inRange(replaced, u'\t', u'\r'));
        return { replaced, separators };
    }

    static __m128i carryIn(bool atWordStart)
    {
        return _mm_set_epi16(atWordStart ? -1 : 0, 0, 0, 0, 0, 0, 0, 0);
    }

    static bool lastLane(__m128i separators)
    {
        return (_mm_movemask_epi8(separators) & 0x8000) != 0;
    }

    static __m128i shiftIn(__m128i separators, __m128i previous)
    {
        return _mm_or_si128(_mm_slli_si128(separators, 2), _mm_srli_si128(previous, 14));
    }

    static bool isAscii(__m128i units)
    {
        const __m128i high = _mm_and_si128(units, _mm_set1_epi16(short(0xFF80)));
        return _mm_movemask_epi8(_mm_cmpeq_epi16(high, _mm_setzero_si128())) == 0xFFFF;
    }

    static __m128i setCase(const Block &block, __m128i atStart)
    {
        const __m128i wrongCase
            = _mm_or_si128(_mm_and_si128(atStart, inRange(block.replaced, u'a', u'z')),
                           _mm_andnot_si128(atStart, inRange(block.replaced, u'A', u'Z')));
        return _mm_xor_si128(block.replaced, _mm_and_si128(wrongCase, _mm_set1_epi16(0x20)));
    }

    // Every lane through the tables: one predictable loop beats a branch per non-ASCII lane.
    void storeBeyondAscii(char16_t *target, const char16_t *, const Block &block,
                          __m128i atStart) const
    {
        alignas(16) char16_t units[Lanes];
        store(units, block.replaced);
        const int startBits = _mm_movemask_epi8(atStart);
        for (int lane = 0; lane < Lanes; ++lane)
            target[lane] = m_images[units[lane]][(startBits >> (2 * lane)) & 1];
    }

    const char16_t (*m_images)[2];
};

} // namespace

std::ptrdiff_t capitalizeBlocksSse2(const char16_t *source, char16_t *target, std::ptrdiff_t count,
                                    bool &atWordStart, const CaseRule &rule)
{
    return capitalizeBlocks<Sse2>(source, target, count, atWordStart, rule);
}

} // namespace Quillmere
