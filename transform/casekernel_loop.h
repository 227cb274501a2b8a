// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "casekernel.h"

namespace Quillmere {

// The fused rule over one vector of units at a time, written once for every instruction set.
// `Isa` is a small struct of vector operations, built from the rule so that it can keep the
// rule's constants in registers:
//   Lanes                  units in a vector
//   load, store            unaligned access to a block of units
//   classify<Replace>(u)   a Block: `replaced` (u with the punctuation replaced, when Replace)
//                          and `separators` (a lane mask), plus whatever setCase needs
//   carryIn(b), lastLane   a separator mask whose last lane is b, and the reverse
//   shiftIn(s, previous)   "the unit before is a separator": s one lane up, previous's last
//                          lane in lane 0
//   isAscii(u)             no unit from 0x80 on
//   setCase(block, start)  the finished ASCII block
//   storeBeyondAscii(target, source, block, start)
//                          the finished block for any units
//   PairsBlocks            optional: then storePairBeyondAscii(target, first, firstStart,
//                          second, secondStart) finishes two consecutive non-ASCII blocks
// Instantiated only with an `Isa` local to its translation unit, so every copy stays there.
template<typename Isa, bool ReplacePunctuation>
std::ptrdiff_t capitalizeBlocks(const char16_t *source, char16_t *target, std::ptrdiff_t count,
                                bool &atWordStart, const CaseRule &rule)
{
    const Isa isa(rule);
    auto previousSeparators = Isa::carryIn(atWordStart);
    std::ptrdiff_t done = 0;
    if constexpr (requires { Isa::PairsBlocks; }) {
        for (; done + 2 * Isa::Lanes <= count; done += 2 * Isa::Lanes) {
            const auto firstUnits = Isa::load(source + done);
            const auto secondUnits = Isa::load(source + done + Isa::Lanes);
            const auto first = isa.template classify<ReplacePunctuation>(firstUnits);
            const auto second = isa.template classify<ReplacePunctuation>(secondUnits);
            const auto firstAtStart = Isa::shiftIn(first.separators, previousSeparators);
            const auto secondAtStart = Isa::shiftIn(second.separators, first.separators);
            previousSeparators = second.separators;
            char16_t *firstTarget = target + done;
            char16_t *secondTarget = firstTarget + Isa::Lanes;
            const bool firstAscii = isa.isAscii(firstUnits);
            const bool secondAscii = isa.isAscii(secondUnits);
            if (!firstAscii && !secondAscii) {
                isa.storePairBeyondAscii(firstTarget, first, firstAtStart, second, secondAtStart);
                continue;
            }
            if (firstAscii)
                Isa::store(firstTarget, isa.setCase(first, firstAtStart));
            else
                isa.storeBeyondAscii(firstTarget, source + done, first, firstAtStart);
            if (secondAscii)
                Isa::store(secondTarget, isa.setCase(second, secondAtStart));
            else
                isa.storeBeyondAscii(secondTarget, source + done + Isa::Lanes, second,
                                     secondAtStart);
        }
    }
    for (; done + Isa::Lanes <= count; done += Isa::Lanes) {
        const auto units = Isa::load(source + done);
        const auto block = isa.template classify<ReplacePunctuation>(units);
        const auto atStart = Isa::shiftIn(block.separators, previousSeparators);
        previousSeparators = block.separators;
        if (isa.isAscii(units))
            Isa::store(target + done, isa.setCase(block, atStart));
        else
            isa.storeBeyondAscii(target + done, source + done, block, atStart);
    }
    atWordStart = Isa::lastLane(previousSeparators);
    return done;
}

template<typename Isa>
std::ptrdiff_t capitalizeBlocks(const char16_t *source, char16_t *target, std::ptrdiff_t count,
                                bool &atWordStart, const CaseRule &rule)
{
    return rule.replacesPunctuation
        ? capitalizeBlocks<Isa, true>(source, target, count, atWordStart, rule)
        : capitalizeBlocks<Isa, false>(source, target, count, atWordStart, rule);
}

} // namespace Quillmere
