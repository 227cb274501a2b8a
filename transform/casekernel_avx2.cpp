// SPDX-License-Identifier: GPL-3.0-or-later
// Compiled with -mavx2 and called only on processors that have it.
#include "casekernel.h"
#include "casekernel_loop.h"

#include <immintrin.h>

namespace Quillmere {
namespace {

// Sixteen units a vector. ASCII units are classified by two nibble lookups (vpshufb); a block
// with any other unit takes both case images of each unit from the tables with two gathers.
struct Avx2
{
    static constexpr std::ptrdiff_t Lanes = 16;

    struct Block
    {
        __m256i replaced;
        __m256i classes;
        __m256i separators;
    };

    explicit Avx2(const CaseRule &rule)
        : m_images(reinterpret_cast<const int *>(rule.images))
        , m_lowNibble(broadcast(rule.lowNibble))
        , m_highNibble(broadcast(rule.highNibble))
        , m_replacement(broadcast(rule.replacementByHighNibble))
        , m_replacedClasses(_mm256_set1_epi16(rule.replacedClasses))
        , m_separatorClasses(_mm256_set1_epi16(rule.separatorClasses))
        , m_letterClasses(_mm256_set1_epi16(rule.letterClasses))
    {
    }

    static __m256i broadcast(const unsigned char (&table)[16])
    {
        return _mm256_broadcastsi128_si256(
            _mm_loadu_si128(reinterpret_cast<const __m128i *>(table)));
    }

    static __m256i load(const char16_t *units)
    {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i *>(units));
    }

    static void store(char16_t *units, __m256i vector)
    {
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(units), vector);
    }

    // Only a lane's low byte is its class byte (the high byte looked up entry 0); the class
    // bits are all below 0x100, so the and clears the rest.
    static __m256i inClasses(__m256i classes, __m256i bits)
    {
        return _mm256_cmpgt_epi16(_mm256_and_si256(classes, bits), _mm256_setzero_si256());
    }

    template<bool ReplacePunctuation> Block classify(__m256i units) const
    {
        const __m256i low = _mm256_and_si256(units, _mm256_set1_epi16(0x0F));
        // Every unit from 0x80 on takes row 8 of the high-nibble table, which is empty.
        const __m256i high = _mm256_min_epu16(_mm256_srli_epi16(units, 4), _mm256_set1_epi16(8));
        const __m256i classes = _mm256_and_si256(_mm256_shuffle_epi8(m_lowNibble, low),
                                                 _mm256_shuffle_epi8(m_highNibble, high));
        __m256i replaced = units;
        if constexpr (ReplacePunctuation)
            replaced = _mm256_blendv_epi8(units, _mm256_shuffle_epi8(m_replacement, high),
                                          inClasses(classes, m_replacedClasses));
        return { replaced, classes, inClasses(classes, m_separatorClasses) };
    }

    static __m256i carryIn(bool atWordStart)
    {
        return _mm256_set_epi16(atWordStart ? -1 : 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
    }

    static bool lastLane(__m256i separators) { return _mm256_movemask_epi8(separators) < 0; }

    static __m256i shiftIn(__m256i separators, __m256i previous)
    {
        // vpalignr shifts within 128-bit halves; the permute supplies what crosses them.
        const __m256i before = _mm256_permute2x128_si256(previous, separators, 0x21);
        return _mm256_alignr_epi8(separators, before, 14);
    }

    static bool isAscii(__m256i units)
    {
        return _mm256_testz_si256(units, _mm256_set1_epi16(short(0xFF80)));
    }

    __m256i setCase(const Block &block, __m256i atStart) const
    {
        const __m256i caseBit = _mm256_set1_epi16(0x20);
        const __m256i letterCaseBits
            = _mm256_and_si256(inClasses(block.classes, m_letterClasses), caseBit);
        // A letter's case bit should be clear at a word start and set elsewhere.
        const __m256i wanted = _mm256_andnot_si256(atStart, caseBit);
        const __m256i wrong
            = _mm256_and_si256(_mm256_xor_si256(block.replaced, wanted), letterCaseBits);
        return _mm256_xor_si256(block.replaced, wrong);
    }

    // A 32-bit gather at a unit fetches both its images: lower in the low half, upper in the
    // high half. Even units sit in the low halves of the 32-bit lanes, odd ones in the high.
    void storeBeyondAscii(char16_t *target, const char16_t *, const Block &block,
                          __m256i atStart) const
    {
        const __m256i replaced = block.replaced;
        const __m256i evenUnits = _mm256_and_si256(replaced, _mm256_set1_epi32(0xFFFF));
        const __m256i oddUnits = _mm256_srli_epi32(replaced, 16);
        const __m256i evenImages = _mm256_i32gather_epi32(m_images, evenUnits, 4);
        const __m256i oddImages = _mm256_i32gather_epi32(m_images, oddUnits, 4);
        const __m256i even
            = _mm256_blendv_epi8(evenImages, _mm256_srli_epi32(evenImages, 16), atStart);
        const __m256i odd
            = _mm256_blendv_epi8(_mm256_slli_epi32(oddImages, 16), oddImages, atStart);
        store(target, _mm256_blend_epi16(even, odd, 0xAA));
    }

    const int *m_images;
    __m256i m_lowNibble;
    __m256i m_highNibble;
    __m256i m_replacement;
    __m256i m_replacedClasses;
    __m256i m_separatorClasses;
    __m256i m_letterClasses;
};

} // namespace

std::ptrdiff_t capitalizeBlocksAvx2(const char16_t *source, char16_t *target, std::ptrdiff_t count,
                                    bool &atWordStart, const CaseRule &rule)
{
    return capitalizeBlocks<Avx2>(source, target, count, atWordStart, rule);
}

} // namespace Quillmere
