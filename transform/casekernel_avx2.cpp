// SPDX-License-Identifier: GPL-3.0-or-later
// Compiled with -mavx2 and called only on processors that have it.
#include "casekernel.h"
#include "casekernel_loop.h"

#include <immintrin.h>

namespace Quillmere {
namespace {

// Sixteen units a vector. ASCII units are classified by two nibble lookups (vpshufb). Units of
// Latin-1 and Latin Extended-A (rows 0-15 of CaseRows) and of Greek and basic Cyrillic (rows
// 48-63) take their row's delta from byte planes, again by vpshufb, because gathers are slow
// on the processors that have AVX2 but not AVX-512. A block with any other non-ASCII unit, or
// an irregular one, takes both case images of each unit from the tables by gathers.
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
        , m_windows { window(*rule.planes, 0), window(*rule.planes, SecondWindow) }
    {
    }

    // The planes of 16 consecutive rows, one vpshufb lookup each.
    struct Window
    {
        __m256i upperUnitsLow;
        __m256i upperUnitsHigh;
        __m256i lowerUnitsLow;
        __m256i lowerUnitsHigh;
        __m256i delta;
    };

    // A multiple of 16 within the planes, so that xor with it moves its rows to 0-15 and every
    // other row below 128 out of 0-15.
    static constexpr int SecondWindow = 48;
    static_assert(SecondWindow % 16 == 0 && SecondWindow + 16 <= CaseRows::Count);

    static Window window(const CaseRowPlanes &planes, int firstRow)
    {
        const auto rows = [firstRow](const auto &plane) {
            return _mm256_broadcastsi128_si256(
                _mm_loadu_si128(reinterpret_cast<const __m128i *>(plane + firstRow)));
        };
        return { rows(planes.upperUnitsLow), rows(planes.upperUnitsHigh),
                 rows(planes.lowerUnitsLow), rows(planes.lowerUnitsHigh), rows(planes.delta) };
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
        const __m256i low = _mm256_and_si256(units, m_lowNibbles);
        // Every unit from 0x80 on takes row 8 of the high-nibble table, which is empty.
        const __m256i high = _mm256_min_epu16(_mm256_srli_epi16(units, 4), m_highNibbleLimit);
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

    bool isAscii(__m256i units) const { return _mm256_testz_si256(units, m_beyondAscii); }

    __m256i setCase(const Block &block, __m256i atStart) const
    {
        const __m256i caseBit = m_caseBit;
        const __m256i letterCaseBits
            = _mm256_and_si256(inClasses(block.classes, m_letterClasses), caseBit);
        // A letter's case bit should be clear at a word start and set elsewhere.
        const __m256i wanted = _mm256_andnot_si256(atStart, caseBit);
        const __m256i wrong
            = _mm256_and_si256(_mm256_xor_si256(block.replaced, wanted), letterCaseBits);
        return _mm256_xor_si256(block.replaced, wrong);
    }

    // Non-ASCII lanes outside the two windows of rows, or irregular in theirs, send the block
    // through the gathers. ASCII lanes take row 0, the C1 controls, which have no case and add
    // nothing to setCase's result (the exhaustive tests would see it otherwise).
    [[gnu::always_inline]] void storeBeyondAscii(char16_t *target, const char16_t *,
                                                 const Block &block, __m256i atStart) const
    {
        const __m256i units = block.replaced;
        // Rows past the planes all take row 64, which is in neither window.
        const __m256i rows = _mm256_min_epu16(
            _mm256_subs_epu16(_mm256_srli_epi16(units, 4), m_firstRow), m_rowCount);
        const __m256i rowBytes = _mm256_shuffle_epi8(rows, m_lowBytesTwice);
        // vpshufb gives 0 at an index with bit 7 set; the saturating add sets it from 16 on.
        const __m256i firstIndex = _mm256_adds_epu8(rowBytes, m_windowBias);
        const __m256i secondIndex
            = _mm256_adds_epu8(_mm256_xor_si256(rowBytes, m_secondWindow), m_windowBias);
        if (_mm256_movemask_epi8(_mm256_and_si256(firstIndex, secondIndex)) != 0)
            return storeThroughTables(target, units, atStart);
        const auto lookUp = [&](__m256i Window::*plane) {
            return _mm256_or_si256(_mm256_shuffle_epi8(m_windows[0].*plane, firstIndex),
                                   _mm256_shuffle_epi8(m_windows[1].*plane, secondIndex));
        };
        const __m256i upperUnits = _mm256_blendv_epi8(lookUp(&Window::upperUnitsLow),
                                                      lookUp(&Window::upperUnitsHigh), m_highBytes);
        const __m256i lowerUnits = _mm256_blendv_epi8(lookUp(&Window::lowerUnitsLow),
                                                      lookUp(&Window::lowerUnitsHigh), m_highBytes);
        const __m256i laneTwice
            = _mm256_and_si256(_mm256_shuffle_epi8(units, m_lowBytesTwice), m_lowNibbleBytes);
        const __m256i bitIndex = _mm256_xor_si256(laneTwice, m_highByteEight);
        const __m256i bit = _mm256_shuffle_epi8(m_laneBits, bitIndex);
        if (!_mm256_testz_si256(_mm256_and_si256(upperUnits, lowerUnits), bit))
            return storeThroughTables(target, units, atStart);
        // At a word start a lower-case unit changes, elsewhere an upper-case one.
        const __m256i changing = _mm256_blendv_epi8(upperUnits, lowerUnits, atStart);
        const __m256i changes = _mm256_cmpeq_epi16(_mm256_and_si256(changing, bit), bit);
        // The delta byte fills both bytes of the lane.
        const __m256i delta = _mm256_srai_epi16(lookUp(&Window::delta), 8);
        const __m256i step
            = _mm256_sign_epi16(_mm256_and_si256(changes, delta), _mm256_or_si256(atStart, m_ones));
        store(target, _mm256_add_epi16(setCase(block, atStart), step));
    }

    // Two non-ASCII blocks share their lookups: packing their rows into one vector of bytes
    // (vpackuswb keeps each 128-bit half in order: the first block's units, then the
    // second's) lets each vpshufb serve 32 units, and vpunpck*bw takes the blocks apart again.
    static constexpr bool PairsBlocks = true;

    [[gnu::always_inline]] void storePairBeyondAscii(char16_t *target, const Block &first,
                                                     __m256i firstAtStart, const Block &second,
                                                     __m256i secondAtStart) const
    {
        const auto rowsOf = [this](__m256i units) {
            return _mm256_min_epu16(_mm256_subs_epu16(_mm256_srli_epi16(units, 4), m_firstRow),
                                    m_rowCount);
        };
        const __m256i rowBytes
            = _mm256_packus_epi16(rowsOf(first.replaced), rowsOf(second.replaced));
        const __m256i firstIndex = _mm256_adds_epu8(rowBytes, m_windowBias);
        const __m256i secondIndex
            = _mm256_adds_epu8(_mm256_xor_si256(rowBytes, m_secondWindow), m_windowBias);
        const auto eachOnItsOwn = [&] {
            storeBeyondAscii(target, nullptr, first, firstAtStart);
            storeBeyondAscii(target + Lanes, nullptr, second, secondAtStart);
        };
        if (_mm256_movemask_epi8(_mm256_and_si256(firstIndex, secondIndex)) != 0)
            return eachOnItsOwn();
        const auto lookUp = [&](__m256i Window::*plane) {
            return _mm256_or_si256(_mm256_shuffle_epi8(m_windows[0].*plane, firstIndex),
                                   _mm256_shuffle_epi8(m_windows[1].*plane, secondIndex));
        };
        // A unit's bit sits in the low plane for units 0-7 of its row, in the high one for 8-15.
        const __m256i columns
            = _mm256_packus_epi16(_mm256_and_si256(first.replaced, m_lowNibbles),
                                  _mm256_and_si256(second.replaced, m_lowNibbles));
        const __m256i bit = _mm256_shuffle_epi8(m_columnBits, columns);
        const __m256i inHighPlane = _mm256_cmpgt_epi8(columns, m_seven);
        const __m256i upperUnits = _mm256_blendv_epi8(lookUp(&Window::upperUnitsLow),
                                                      lookUp(&Window::upperUnitsHigh), inHighPlane);
        const __m256i lowerUnits = _mm256_blendv_epi8(lookUp(&Window::lowerUnitsLow),
                                                      lookUp(&Window::lowerUnitsHigh), inHighPlane);
        if (!_mm256_testz_si256(_mm256_and_si256(upperUnits, lowerUnits), bit))
            return eachOnItsOwn();
        // vpacksswb keeps the all-ones and all-zeros lanes as they are.
        const __m256i atStart = _mm256_packs_epi16(firstAtStart, secondAtStart);
        const __m256i changing = _mm256_blendv_epi8(upperUnits, lowerUnits, atStart);
        const __m256i changes = _mm256_cmpeq_epi8(_mm256_and_si256(changing, bit), bit);
        const __m256i deltas = _mm256_and_si256(changes, lookUp(&Window::delta));
        // Each delta byte widened to its lane with its sign.
        const __m256i firstDeltas = _mm256_srai_epi16(_mm256_unpacklo_epi8(deltas, deltas), 8);
        const __m256i secondDeltas = _mm256_srai_epi16(_mm256_unpackhi_epi8(deltas, deltas), 8);
        store(target,
              _mm256_add_epi16(
                  setCase(first, firstAtStart),
                  _mm256_sign_epi16(firstDeltas, _mm256_or_si256(firstAtStart, m_ones))));
        store(target + Lanes,
              _mm256_add_epi16(
                  setCase(second, secondAtStart),
                  _mm256_sign_epi16(secondDeltas, _mm256_or_si256(secondAtStart, m_ones))));
    }

    // Keeps a constant in a register or on the stack: left visible, GCC rebuilds it from a
    // general register inside the loop, three instructions for each use.
    static __m256i opaque(__m256i constant)
    {
        asm("" : "+x"(constant));
        return constant;
    }

    // A 32-bit gather at a unit fetches both its images: lower in the low half, upper in the
    // high half. Even units sit in the low halves of the 32-bit lanes, odd ones in the high.
    [[gnu::noinline]] void storeThroughTables(char16_t *target, __m256i replaced,
                                              __m256i atStart) const
    {
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
    Window m_windows[2];
    __m256i m_firstRow = opaque(_mm256_set1_epi16(CaseRows::First >> 4));
    __m256i m_rowCount = opaque(_mm256_set1_epi16(CaseRows::Count));
    __m256i m_windowBias = opaque(_mm256_set1_epi8(0x70));
    __m256i m_secondWindow = opaque(_mm256_set1_epi8(SecondWindow));
    __m256i m_highBytes = opaque(_mm256_set1_epi16(short(0xFF00)));
    __m256i m_lowNibbles = opaque(_mm256_set1_epi16(0x0F));
    __m256i m_highByteEight = opaque(_mm256_set1_epi16(0x0800));
    __m256i m_ones = opaque(_mm256_set1_epi16(1));
    __m256i m_highNibbleLimit = opaque(_mm256_set1_epi16(8));
    __m256i m_beyondAscii = opaque(_mm256_set1_epi16(short(0xFF80)));
    __m256i m_caseBit = opaque(_mm256_set1_epi16(0x20));
    __m256i m_lowNibbleBytes = opaque(_mm256_set1_epi8(0x0F));
    // vpshufb control that copies each lane's low byte to its high byte.
    __m256i m_lowBytesTwice
        = opaque(_mm256_setr_epi8(0, 0, 2, 2, 4, 4, 6, 6, 8, 8, 10, 10, 12, 12, 14, 14, 0, 0, 2, 2,
                                  4, 4, 6, 6, 8, 8, 10, 10, 12, 12, 14, 14));
    __m256i m_seven = opaque(_mm256_set1_epi8(7));
    // Entry k is 2^(k mod 8): a unit's bit within its plane's byte.
    __m256i m_columnBits = opaque(_mm256_setr_epi8(1, 2, 4, 8, 16, 32, 64, char(128), 1, 2, 4, 8,
                                                   16, 32, 64, char(128), 1, 2, 4, 8, 16, 32, 64,
                                                   char(128), 1, 2, 4, 8, 16, 32, 64, char(128)));
    // Entry k below 8 is 2^k: looked up at n in a lane's low byte and at n ^ 8 in its high
    // byte, it gives the 16-bit 2^n for n from 0 to 15.
    __m256i m_laneBits
        = opaque(_mm256_setr_epi8(1, 2, 4, 8, 16, 32, 64, char(128), 0, 0, 0, 0, 0, 0, 0, 0, 1, 2,
                                  4, 8, 16, 32, 64, char(128), 0, 0, 0, 0, 0, 0, 0, 0));
};

} // namespace

std::ptrdiff_t capitalizeBlocksAvx2(const char16_t *source, char16_t *target, std::ptrdiff_t count,
                                    bool &atWordStart, const CaseRule &rule)
{
    return capitalizeBlocks<Avx2>(source, target, count, atWordStart, rule);
}

} // namespace Quillmere
