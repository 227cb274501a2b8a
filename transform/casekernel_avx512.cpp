// SPDX-License-Identifier: GPL-3.0-or-later
// Compiled with -mavx512bw and called only on processors that have it.
#include "casekernel.h"
#include "casekernel_loop.h"

#include <immintrin.h>

// GCC 12 warns about the deliberately undefined vectors inside its own AVX-512 intrinsics
// (GCC bug 105593).
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace Quillmere {
namespace {

// Thirty-two units a vector, with lane masks in mask registers: the same nibble lookups as the
// AVX2 kernel, but every class test is one instruction and the separator carry is a shift of
// a 32-bit mask.
struct Avx512
{
    static constexpr std::ptrdiff_t Lanes = 32;

    struct Block
    {
        __m512i replaced;
        __m512i classes;
        __mmask32 separators;
    };

    explicit Avx512(const CaseRule &rule)
        : m_images(rule.images)
        , m_lowNibble(broadcast(rule.lowNibble))
        , m_highNibble(broadcast(rule.highNibble))
        , m_replacement(broadcast(rule.replacementByHighNibble))
        , m_replacedClasses(_mm512_set1_epi16(rule.replacedClasses))
        , m_separatorClasses(_mm512_set1_epi16(rule.separatorClasses))
        , m_letterClasses(_mm512_set1_epi16(rule.letterClasses))
        , m_upperChanges(loadRows(rule.rows->upperChanges))
        , m_upperDelta(loadRows(rule.rows->upperDelta))
        , m_lowerChanges(loadRows(rule.rows->lowerChanges))
        , m_lowerDelta(loadRows(rule.rows->lowerDelta))
        , m_irregular(loadRows(rule.rows->irregular))
    {
    }

    static __m512i broadcast(const unsigned char (&table)[16])
    {
        return _mm512_broadcast_i32x4(_mm_loadu_si128(reinterpret_cast<const __m128i *>(table)));
    }

    static __m512i load(const char16_t *units) { return _mm512_loadu_si512(units); }

    static void store(char16_t *units, __m512i vector) { _mm512_storeu_si512(units, vector); }

    template<bool ReplacePunctuation> Block classify(__m512i units) const
    {
        const __m512i low = _mm512_and_si512(units, _mm512_set1_epi16(0x0F));
        // Every unit from 0x80 on takes row 8 of the high-nibble table, which is empty.
        const __m512i high = _mm512_min_epu16(_mm512_srli_epi16(units, 4), _mm512_set1_epi16(8));
        const __m512i classes = _mm512_and_si512(_mm512_shuffle_epi8(m_lowNibble, low),
                                                 _mm512_shuffle_epi8(m_highNibble, high));
        __m512i replaced = units;
        if constexpr (ReplacePunctuation)
            replaced
                = _mm512_mask_mov_epi16(units, _mm512_test_epi16_mask(classes, m_replacedClasses),
                                        _mm512_shuffle_epi8(m_replacement, high));
        return { replaced, classes, _mm512_test_epi16_mask(classes, m_separatorClasses) };
    }

    static __mmask32 carryIn(bool atWordStart) { return atWordStart ? 1u << 31 : 0; }

    static bool lastLane(__mmask32 separators) { return separators >> 31; }

    static __mmask32 shiftIn(__mmask32 separators, __mmask32 previous)
    {
        return separators << 1 | previous >> 31;
    }

    static __mmask32 nonAscii(__m512i units)
    {
        return _mm512_test_epi16_mask(units, _mm512_set1_epi16(short(0xFF80)));
    }

    static bool isAscii(__m512i units) { return nonAscii(units) == 0; }

    __m512i setCase(const Block &block, __mmask32 atStart) const
    {
        const __m512i caseBit = _mm512_set1_epi16(0x20);
        const __mmask32 letters = _mm512_test_epi16_mask(block.classes, m_letterClasses);
        const __mmask32 lowerCase = _mm512_test_epi16_mask(block.replaced, caseBit);
        // Lower case at a word start or upper case elsewhere.
        const __mmask32 wrongCase = letters & ~(lowerCase ^ atStart);
        return _mm512_mask_mov_epi16(block.replaced, wrongCase,
                                     _mm512_xor_si512(block.replaced, caseBit));
    }

    // Units beyond ASCII take the deltas of their row, looked up in registers; the few that
    // are outside the rows or irregular in theirs go through the tables one by one.
    void storeBeyondAscii(char16_t *target, const char16_t *source, const Block &block,
                          __mmask32 atStart) const
    {
        const __m512i units = block.replaced;
        const __m512i rows = _mm512_sub_epi16(_mm512_srli_epi16(units, 4),
                                              _mm512_set1_epi16(CaseRows::First >> 4));
        const __m512i laneBits = _mm512_sllv_epi16(
            _mm512_set1_epi16(1), _mm512_and_si512(units, _mm512_set1_epi16(0x0F)));
        const __mmask32 inRows = _mm512_cmplt_epu16_mask(rows, _mm512_set1_epi16(CaseRows::Count));
        const __mmask32 regular
            = inRows & ~_mm512_test_epi16_mask(lookUp(m_irregular, rows), laneBits);
        const __m512i changes = _mm512_mask_blend_epi16(atStart, lookUp(m_lowerChanges, rows),
                                                        lookUp(m_upperChanges, rows));
        const __m512i deltas = _mm512_mask_blend_epi16(atStart, lookUp(m_lowerDelta, rows),
                                                       lookUp(m_upperDelta, rows));
        const __m512i result = _mm512_mask_add_epi16(
            setCase(block, atStart), regular & _mm512_test_epi16_mask(changes, laneBits),
            block.replaced, deltas);
        store(target, result);
        // Those units are unchanged in `target`, so `source` still has them when it is `target`.
        for (__mmask32 rest = nonAscii(units) & ~regular; rest != 0; rest &= rest - 1) {
            const int lane = __builtin_ctz(rest);
            target[lane] = m_images[source[lane]][(atStart >> lane) & 1];
        }
    }

    // A row table of CaseRows in two registers, looked up with one two-source permute.
    struct RowTable
    {
        __m512i first;
        __m512i second;
    };

    static RowTable loadRows(const char16_t (&table)[CaseRows::Count])
    {
        static_assert(CaseRows::Count == 64);
        return { _mm512_loadu_si512(table), _mm512_loadu_si512(table + 32) };
    }

    static __m512i lookUp(const RowTable &table, __m512i rows)
    {
        return _mm512_permutex2var_epi16(table.first, rows, table.second);
    }

    const char16_t (*m_images)[2];
    __m512i m_lowNibble;
    __m512i m_highNibble;
    __m512i m_replacement;
    __m512i m_replacedClasses;
    __m512i m_separatorClasses;
    __m512i m_letterClasses;
    RowTable m_upperChanges;
    RowTable m_upperDelta;
    RowTable m_lowerChanges;
    RowTable m_lowerDelta;
    RowTable m_irregular;
};

} // namespace

std::ptrdiff_t capitalizeBlocksAvx512(const char16_t *source, char16_t *target,
                                      std::ptrdiff_t count, bool &atWordStart, const CaseRule &rule)
{
    return capitalizeBlocks<Avx512>(source, target, count, atWordStart, rule);
}

} // namespace Quillmere
