// SPDX-License-Identifier: GPL-3.0-or-later
#include "capitalize.h"
#include "capitalize_p.h"
#include "casekernel.h"

#include <QChar>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <stdexcept>

namespace Quillmere {
namespace {

// Both images of every unit side by side, indexed [unit][atWordStart], so that choosing one
// is an index, not a branch.
struct CaseTables
{
    alignas(64) char16_t images[0x10000][2];
    CaseRows rows;
    CaseRowPlanes planes;
};

char16_t singleUnitImage(char32_t image, char16_t unit)
{
    if (image > 0xFFFF || QChar::isSurrogate(image))
        return unit;
    return char16_t(image);
}

// The delta most units of a row share in one direction; 0 when none of them changes.
char16_t commonDelta(const char16_t (&deltas)[16])
{
    char16_t common = 0;
    int commonCount = 0;
    for (const char16_t delta : deltas) {
        const auto count = std::count(std::begin(deltas), std::end(deltas), delta);
        if (delta != 0 && count > commonCount) {
            common = delta;
            commonCount = int(count);
        }
    }
    return common;
}

void fillCaseRows(CaseRows &rows, const char16_t (&images)[0x10000][2])
{
    for (int row = 0; row < CaseRows::Count; ++row) {
        char16_t upperDeltas[16];
        char16_t lowerDeltas[16];
        for (int lane = 0; lane < 16; ++lane) {
            const int unit = CaseRows::First + 16 * row + lane;
            upperDeltas[lane] = char16_t(images[unit][1] - unit);
            lowerDeltas[lane] = char16_t(images[unit][0] - unit);
        }
        const char16_t upperDelta = commonDelta(upperDeltas);
        const char16_t lowerDelta = commonDelta(lowerDeltas);
        rows.upperDelta[row] = upperDelta;
        rows.lowerDelta[row] = lowerDelta;
        rows.upperChanges[row] = rows.lowerChanges[row] = rows.irregular[row] = 0;
        for (int lane = 0; lane < 16; ++lane) {
            const auto bit = char16_t(1u << lane);
            if ((upperDeltas[lane] != 0 && upperDeltas[lane] != upperDelta)
                || (lowerDeltas[lane] != 0 && lowerDeltas[lane] != lowerDelta)) {
                rows.irregular[row] |= bit;
                continue;
            }
            if (upperDeltas[lane] != 0)
                rows.upperChanges[row] |= bit;
            if (lowerDeltas[lane] != 0)
                rows.lowerChanges[row] |= bit;
        }
    }
}

void fillCaseRowPlanes(CaseRowPlanes &planes, const CaseRows &rows)
{
    for (int row = 0; row < CaseRows::Count; ++row) {
        const auto lowerDelta = std::int16_t(rows.lowerDelta[row]);
        const auto upperDelta = std::int16_t(rows.upperDelta[row]);
        const int delta = lowerDelta != 0 ? lowerDelta : -upperDelta;
        const bool fitsByte = delta >= -128 && delta <= 127;
        std::uint16_t upperUnits = rows.irregular[row];
        std::uint16_t lowerUnits = rows.irregular[row];
        for (int lane = 0; lane < 16; ++lane) {
            const auto bit = std::uint16_t(1u << lane);
            const bool isUpper = rows.lowerChanges[row] & bit;
            const bool isLower = rows.upperChanges[row] & bit;
            const bool regular = fitsByte && !(isUpper && isLower)
                && (!isUpper || lowerDelta == delta) && (!isLower || upperDelta == -delta);
            if (isUpper || isLower) {
                upperUnits |= isUpper || !regular ? bit : 0;
                lowerUnits |= isLower || !regular ? bit : 0;
            }
        }
        planes.upperUnitsLow[row] = static_cast<unsigned char>(upperUnits);
        planes.upperUnitsHigh[row] = static_cast<unsigned char>(upperUnits >> 8);
        planes.lowerUnitsLow[row] = static_cast<unsigned char>(lowerUnits);
        planes.lowerUnitsHigh[row] = static_cast<unsigned char>(lowerUnits >> 8);
        planes.delta[row] = static_cast<signed char>(fitsByte ? delta : 0);
    }
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
        fillCaseRows(built->rows, built->images);
        fillCaseRowPlanes(built->planes, built->rows);
        return built;
    }();
    return *tables;
}

constexpr std::array<char16_t, 128> asciiPunctuationTable()
{
    std::array<char16_t, 128> table {};
    for (char16_t unit = 0; unit < 128; ++unit)
        table[unit] = unit;
    for (const auto &row : PunctuationMap)
        table[row.find] = row.replacement;
    return table;
}

constexpr auto mappedAscii = asciiPunctuationTable();

// One lookup stands for the rows applied one after another only while no row's replacement is
// another row's find.
constexpr bool lookupMatchesRowsInOrder()
{
    for (char16_t unit = 0; unit < 128; ++unit) {
        char16_t replaced = unit;
        for (const auto &row : PunctuationMap)
            replaced = replaced == row.find ? row.replacement : replaced;
        if (replaced != mappedAscii[unit])
            return false;
    }
    return true;
}

static_assert(lookupMatchesRowsInOrder());

// What the scalar loop needs to know of a unit below 0x80 (and, at index 0x80, of every unit
// above): the xor that replaces it when it is punctuation, and whether it then separates words.
// One lookup instead of comparisons keeps the loop free of unpredictable branches.
struct ScalarUnit
{
    char16_t replacementXor;
    bool separator;
};

using ScalarUnits = std::array<ScalarUnit, 0x81>;

constexpr ScalarUnits scalarUnits(bool replacePunctuation)
{
    ScalarUnits table {};
    for (char16_t unit = 0; unit < 0x80; ++unit) {
        const char16_t replaced = replacePunctuation ? mappedAscii[unit] : unit;
        table[unit] = { char16_t(unit ^ replaced), isWordSeparator(replaced) };
    }
    return table;
}

constexpr ScalarUnits scalarCapitalizeWords = scalarUnits(true);
constexpr ScalarUnits scalarProperCase = scalarUnits(false);

// Scalar version of the fused rule; also finishes the tail the vector loops leave.
bool transformScalar(const char16_t *source, char16_t *target, qsizetype count, bool atWordStart,
                     const ScalarUnits &units, const CaseTables &tables)
{
    for (qsizetype i = 0; i < count; ++i) {
        const ScalarUnit &entry = units[std::min<char16_t>(source[i], 0x80)];
        const auto unit = char16_t(source[i] ^ entry.replacementXor);
        // A separator's images are itself, so it needs no branch of its own.
        target[i] = tables.images[unit][atWordStart];
        atWordStart = entry.separator;
    }
    return atWordStart;
}

// Splits each class of ASCII units into (set of high nibbles) x (set of low nibbles) products,
// one class bit per product, for the vector kernels' two table lookups. A class that does not
// split into few enough products stops the build.
class NibbleClassBuilder
{
public:
    constexpr explicit NibbleClassBuilder(CaseRule &rule)
        : m_rule(rule)
    {
    }

    template<typename Predicate> constexpr unsigned char addClass(Predicate inClass)
    {
        std::uint16_t lowSets[8] {};
        for (char16_t unit = 0; unit < 0x80; ++unit) {
            if (inClass(unit))
                lowSets[unit >> 4] |= std::uint16_t(1u << (unit & 15));
        }
        unsigned char classBits = 0;
        bool done[8] {};
        for (int high = 0; high < 8; ++high) {
            if (lowSets[high] == 0 || done[high])
                continue;
            if (m_nextBit == 8)
                throw std::logic_error("more classes than a byte has bits");
            const auto bit = static_cast<unsigned char>(1u << m_nextBit++);
            for (int other = high; other < 8; ++other) {
                if (lowSets[other] == lowSets[high]) {
                    m_rule.highNibble[other] |= bit;
                    done[other] = true;
                }
            }
            for (int low = 0; low < 16; ++low) {
                if (lowSets[high] & (1u << low))
                    m_rule.lowNibble[low] |= bit;
            }
            classBits |= bit;
        }
        return classBits;
    }

private:
    CaseRule &m_rule;
    int m_nextBit = 0;
};

constexpr bool isAsciiLetter(char16_t unit)
{
    return (unit | 0x20) >= u'a' && (unit | 0x20) <= u'z';
}

// The vector kernels' view of the rule, with or without the punctuation step; the case tables
// are added at run time.
constexpr CaseRule asciiCaseRule(bool replacePunctuation)
{
    CaseRule rule {};
    rule.replacesPunctuation = replacePunctuation;
    const auto replaced = [replacePunctuation](char16_t unit) {
        return replacePunctuation && unit < 0x80 ? mappedAscii[unit] : unit;
    };
    NibbleClassBuilder builder(rule);
    if (replacePunctuation) {
        rule.replacedClasses
            = builder.addClass([&](char16_t unit) { return replaced(unit) != unit; });
        // The kernels widen the byte to a unit, so the high nibble 0 must keep its entry 0.
        for (const PunctuationReplacement &row : PunctuationMap) {
            unsigned char &entry = rule.replacementByHighNibble[row.find >> 4];
            if (row.find < 0x10 || row.find >= 0x80 || row.replacement >= 0x80
                || (entry != 0 && entry != row.replacement))
                throw std::logic_error("replacement does not follow from the high nibble");
            entry = static_cast<unsigned char>(row.replacement);
        }
    }
    rule.separatorClasses
        = builder.addClass([&](char16_t unit) { return isWordSeparator(replaced(unit)); });
    rule.letterClasses = builder.addClass(isAsciiLetter);
    return rule;
}

// The kernels' lookups for every unit, against the rule: units from 0x80 on, whose low byte
// may look like ASCII, must fall in no class.
constexpr bool nibbleClassesAreExact(const CaseRule &rule)
{
    for (unsigned unit = 0; unit < 0x10000; ++unit) {
        const unsigned high = std::min(unit >> 4, 8u);
        const unsigned classes = rule.lowNibble[unit & 15] & rule.highNibble[high];
        const auto unit16 = char16_t(unit);
        const bool replaced
            = rule.replacesPunctuation && unit < 0x80 && mappedAscii[unit] != unit16;
        const char16_t afterwards = replaced ? mappedAscii[unit] : unit16;
        if (bool(classes & rule.replacedClasses) != replaced
            || (replaced && rule.replacementByHighNibble[high] != afterwards)
            || bool(classes & rule.separatorClasses) != isWordSeparator(afterwards)
            || bool(classes & rule.letterClasses) != (unit < 0x80 && isAsciiLetter(unit16)))
            return false;
    }
    return true;
}

static_assert(nibbleClassesAreExact(asciiCaseRule(true)));
static_assert(nibbleClassesAreExact(asciiCaseRule(false)));

CaseRule withTables(CaseRule rule)
{
    rule.images = caseTables().images;
    rule.rows = &caseTables().rows;
    rule.planes = &caseTables().planes;
    return rule;
}

const CaseRule &caseRule(bool replacePunctuation)
{
    static const CaseRule rules[2]
        = { withTables(asciiCaseRule(false)), withTables(asciiCaseRule(true)) };
    return rules[replacePunctuation];
}

using BlockKernel
    = std::ptrdiff_t (*)(const char16_t *source, char16_t *target, std::ptrdiff_t count,
                         bool &atWordStart, const CaseRule &rule);

BlockKernel blockKernel(Internal::InstructionSet set)
{
#if defined(QUILLMERE_X86_KERNELS)
    using Internal::InstructionSet;
    // Needed when this runs before the static constructors, in another one.
    __builtin_cpu_init();
    switch (set) {
    case InstructionSet::Scalar:
        return nullptr;
    case InstructionSet::Sse2:
        return capitalizeBlocksSse2;
    case InstructionSet::Avx2:
        return __builtin_cpu_supports("avx2") ? capitalizeBlocksAvx2 : nullptr;
    case InstructionSet::Avx512:
        return __builtin_cpu_supports("avx512bw") ? capitalizeBlocksAvx512 : nullptr;
    }
#endif
    Q_UNUSED(set);
    return nullptr;
}

// Kept apart with restrict so that the compiler vectorises it without checking for overlap.
void replaceUnits(const char16_t *__restrict source, char16_t *__restrict target, qsizetype count,
                  PunctuationReplacement row)
{
    for (qsizetype i = 0; i < count; ++i)
        target[i] = source[i] == row.find ? row.replacement : source[i];
}

QString transformCase(QString text, bool replacePunctuation, BlockKernel kernel)
{
    const qsizetype count = text.size();
    if (count == 0)
        return text;
    const CaseTables &tables = caseTables();
    // A shared string is read from its old buffer and written to a fresh one: one pass, no copy.
    const bool inPlace = text.isDetached();
    QString result = inPlace ? std::move(text) : QString(count, Qt::Uninitialized);
    const auto *source
        = reinterpret_cast<const char16_t *>(inPlace ? result.constData() : text.constData());
    auto *target = reinterpret_cast<char16_t *>(result.data());
    bool atWordStart = true;
    const qsizetype done
        = kernel ? kernel(source, target, count, atWordStart, caseRule(replacePunctuation)) : 0;
    transformScalar(source + done, target + done, count - done, atWordStart,
                    replacePunctuation ? scalarCapitalizeWords : scalarProperCase, tables);
    return result;
}

BlockKernel preferredKernel()
{
    static const BlockKernel kernel = blockKernel(Internal::preferredInstructionSet());
    return kernel;
}

} // namespace

QString ReplacePunctuation(QString text, PunctuationReplacement row)
{
    const qsizetype first = text.indexOf(QChar(row.find));
    if (first < 0)
        return text;
    const qsizetype count = text.size();
    if (text.isDetached()) {
        auto *units = reinterpret_cast<char16_t *>(text.data());
        for (qsizetype i = first; i < count; ++i)
            units[i] = units[i] == row.find ? row.replacement : units[i];
        return text;
    }
    QString result(count, Qt::Uninitialized);
    const auto *source = reinterpret_cast<const char16_t *>(text.constData());
    auto *target = reinterpret_cast<char16_t *>(result.data());
    std::copy(source, source + first, target);
    replaceUnits(source + first, target + first, count - first, row);
    return result;
}

QString ProperCase(QString text)
{
    return transformCase(std::move(text), false, preferredKernel());
}

QString CapitalizeWords(QString text)
{
    return transformCase(std::move(text), true, preferredKernel());
}

} // namespace Quillmere

namespace Quillmere::Internal {

bool isSupported(InstructionSet set)
{
    return set == InstructionSet::Scalar || blockKernel(set) != nullptr;
}

InstructionSet preferredInstructionSet()
{
    for (const InstructionSet set :
         { InstructionSet::Avx512, InstructionSet::Avx2, InstructionSet::Sse2 }) {
        if (isSupported(set))
            return set;
    }
    return InstructionSet::Scalar;
}

QString capitalizeWordsWith(InstructionSet set, QString text)
{
    return transformCase(std::move(text), true, blockKernel(set));
}

QString properCaseWith(InstructionSet set, QString text)
{
    return transformCase(std::move(text), false, blockKernel(set));
}

} // namespace Quillmere::Internal
