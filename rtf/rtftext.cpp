// SPDX-License-Identifier: GPL-3.0-or-later
// Text: bytes decoded, `\uN` characters and surrogate pairs, and where text goes.
#include "rtfreader_p.h"

#include <algorithm>

namespace Quillmere::Internal {
namespace {

void appendBounded(QString &target, QStringView text, qsizetype limit)
{
    target.append(text.first(std::clamp<qsizetype>(limit - target.size(), 0, text.size())));
}

// Characters QTextDocument must not receive as text: they would end blocks or frames behind
// the reader's back, or they are controls no font shows.
constexpr bool isUnwanted(char16_t c)
{
    return (c < 0x20 && c != '\t') || c == 0xFDD0 || c == 0xFDD1;
}

} // namespace

void removeUnwanted(QString &text)
{
    const auto unwanted = [](QChar c) { return isUnwanted(c.unicode()); };
    if (std::any_of(text.cbegin(), text.cend(), unwanted))
        text.removeIf(unwanted);
    text.replace(QChar::ParagraphSeparator, QChar::LineSeparator);
}

bool isPlainAscii(QByteArrayView bytes)
{
    return std::all_of(bytes.begin(), bytes.end(),
                       [](char c) { return (c >= 0x20 && c < 0x7F) || c == '\t'; });
}

void RtfReader::flushBytes()
{
    if (m_bytes.isEmpty())
        return;
    const QString text = decode(m_bytes, codePage(current().character));
    m_bytes.resize(0);
    deliver(text);
}

void RtfReader::unicodeCharacter(int parameter)
{
    if (parameter < -32768 || parameter > 65535)
        return;
    GroupState &group = state();
    m_fallbackToSkip = group.unicodeSkip;
    const auto unit = char16_t(parameter < 0 ? parameter + 65536 : parameter);
    if (group.destination == Destination::ListLevelText) {
        LevelDefinition *level = m_lists.currentLevel();
        if (level && !level->textComplete && level->text.size() < MaxShortText)
            level->text.append(QChar(unit));
        return;
    }
    if (!takesCharacters(group.destination))
        return;
    if (QChar::isHighSurrogate(unit)) {
        if (m_highSurrogate)
            deliverSurrogate();
        m_highSurrogate = unit;
        return;
    }
    if (QChar::isLowSurrogate(unit)) {
        if (m_highSurrogate) {
            const char16_t pair[] = { m_highSurrogate, unit };
            m_highSurrogate = 0;
            deliverCharacters(QStringView(pair, 2));
        } else {
            deliver(u"\uFFFD");
        }
        return;
    }
    if (isUnwanted(unit))
        return;
    const char16_t character
        = unit == QChar::ParagraphSeparator ? char16_t(QChar::LineSeparator) : unit;
    deliver(QStringView(&character, 1));
}

// A high surrogate with no low one after it.
void RtfReader::deliverSurrogate()
{
    m_highSurrogate = 0;
    deliverCharacters(u"\uFFFD");
}

void RtfReader::deliver(QStringView text)
{
    if (m_highSurrogate)
        deliverSurrogate();
    deliverCharacters(text);
}

void RtfReader::deliverCharacters(QStringView text)
{
    if (current().destination != Destination::Body) {
        appendToDestination(text);
        return;
    }
    if (beginBodyText())
        m_runText.append(text);
}

void RtfReader::deliverLatin1(QLatin1StringView text)
{
    if (m_highSurrogate)
        deliverSurrogate();
    if (beginBodyText())
        m_runText.append(text);
}

// Prepares the run for more body text in the current character format; false when the text
// is hidden.
bool RtfReader::beginBodyText()
{
    const CharState &character = current().character;
    if (character.hidden)
        return false;
    if (!m_runText.isEmpty() && !(character == m_runState))
        flushRun();
    if (m_runText.isEmpty()) {
        ensureContentPosition(tableLevelOf(current().paragraph));
        m_runState = character;
    }
    return true;
}

void RtfReader::appendToDestination(QStringView text)
{
    GroupState &group = state();
    switch (group.destination) {
    case Destination::ListMarker:
        if (m_marker.empty() || !(m_marker.back().state == group.character)) {
            if (m_marker.size() >= size_t(MaxShortText))
                return;
            m_marker.push_back({ QString(), group.character });
        }
        appendBounded(m_marker.back().text, text, MaxShortText);
        return;
    case Destination::FieldInstruction:
        appendBounded(m_fields[size_t(group.field)].instruction, text, MaxFieldInstruction);
        return;
    case Destination::LegacyNumberingText: {
        const int index = group.paragraph.legacy.texts;
        if (index < 0)
            return;
        QString &target = group.legacyTextAfter ? m_legacyTexts[size_t(index)].after
                                                : m_legacyTexts[size_t(index)].before;
        appendBounded(target, text, MaxShortText);
        return;
    }
    default:
        return;
    }
}

} // namespace Quillmere::Internal
