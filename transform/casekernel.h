// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Shared by the vector kernels, which are compiled with their own instruction-set flags: this
// header stays free of Qt and the standard library's templates, so that no inline function
// compiled for a wider instruction set can be merged into code that runs everywhere.

#include <cstddef>

namespace Quillmere {

// The case images of the units from 0x80 to 0x47F (Latin-1 to Cyrillic) as deltas by row of
// 16 units, small enough to keep in vector registers where gathering from the full tables is
// slow. Bit n of a row's mask stands for its unit n. A unit with its bit in upperChanges has
// the upper-case image unit + upperDelta (modulo 2^16), likewise for lower case; a unit whose
// images are not its row's deltas (ÿ, final sigma, ...) has its bit in `irregular` only.
struct CaseRows
{
    static constexpr char16_t First = 0x80;
    static constexpr int Count = 64;

    char16_t upperChanges[Count];
    char16_t upperDelta[Count];
    char16_t lowerChanges[Count];
    char16_t lowerDelta[Count];
    char16_t irregular[Count];
};

// The same rows in byte planes, one byte a row, for kernels whose lookups take 16 bytes
// (vpshufb). A row has one delta: a unit with its bit in upperUnits is upper case and its lower
// case is unit + delta; one with its bit in lowerUnits is lower case and its upper case is
// unit - delta. A unit whose images are not these has its bit in both; the rest have no case.
struct CaseRowPlanes
{
    unsigned char upperUnitsLow[CaseRows::Count];
    unsigned char upperUnitsHigh[CaseRows::Count];
    unsigned char lowerUnitsLow[CaseRows::Count];
    unsigned char lowerUnitsHigh[CaseRows::Count];
    signed char delta[CaseRows::Count];
};

// Everything a block kernel needs to know about the rule, in plain arrays.
struct CaseRule
{
    // Both case images of every unit: [unit][0] lower, [unit][1] upper. Four bytes a unit, so
    // one 32-bit load fetches the pair.
    const char16_t (*images)[2];
    const CaseRows *rows;
    const CaseRowPlanes *planes;

    // ASCII classes by nibble: a unit below 0x80 is in a class when the class's bit is set in
    // both lowNibble[unit & 15] and highNibble[unit >> 4]. highNibble[8] is 0 and stands for
    // every unit from 0x80 on, which is in no class.
    unsigned char lowNibble[16];
    unsigned char highNibble[16];
    // What a punctuation unit becomes, by its high nibble; 0 where nothing is replaced.
    unsigned char replacementByHighNibble[16];
    unsigned char replacedClasses;
    unsigned char separatorClasses; // separators after the punctuation is replaced
    unsigned char letterClasses; // a-z and A-Z, whose case is bit 0x20

    // False for the case step alone: no punctuation is replaced and no class bit says so.
    bool replacesPunctuation;
};

// Each kernel rewrites whole blocks of its vector width from the start of `source` into
// `target` (which may be `source`), carrying `atWordStart` in and out, and returns how many
// units it did; the caller finishes the remainder.
std::ptrdiff_t capitalizeBlocksSse2(const char16_t *source, char16_t *target, std::ptrdiff_t count,
                                    bool &atWordStart, const CaseRule &rule);
std::ptrdiff_t capitalizeBlocksAvx2(const char16_t *source, char16_t *target, std::ptrdiff_t count,
                                    bool &atWordStart, const CaseRule &rule);
std::ptrdiff_t capitalizeBlocksAvx512(const char16_t *source, char16_t *target,
                                      std::ptrdiff_t count, bool &atWordStart,
                                      const CaseRule &rule);

} // namespace Quillmere
