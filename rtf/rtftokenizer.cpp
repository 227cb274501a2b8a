// SPDX-License-Identifier: GPL-3.0-or-later
#include "rtftokenizer.h"

#include <algorithm>
#include <limits>

namespace Quillmere {
namespace {

constexpr bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

constexpr bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

constexpr int hexValue(char c)
{
    if (isDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

RtfToken makeToken(RtfToken::Kind kind, QByteArrayView bytes = {}, int parameter = 0)
{
    RtfToken token;
    token.kind = kind;
    token.bytes = bytes;
    token.parameter = parameter;
    token.hasParameter = kind == RtfToken::Kind::ControlSymbol || kind == RtfToken::Kind::HexByte;
    return token;
}

constexpr bool isTextByte(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return c != '\\' && c != '{' && c != '}' && (byte >= 0x20 || c == '\t');
}

} // namespace

RtfTokenizer::RtfTokenizer(QByteArrayView input)
    : m_input(input)
{
}

RtfToken RtfTokenizer::next()
{
    while (m_position < m_input.size()) {
        const char c = m_input[m_position];
        if (c == '{' || c == '}') {
            ++m_position;
            return makeToken(c == '{' ? RtfToken::Kind::GroupStart : RtfToken::Kind::GroupEnd);
        }
        if (c == '\\') {
            const RtfToken token = readEscape();
            if (token.kind != RtfToken::Kind::End)
                return token;
            continue;
        }
        if (isTextByte(c))
            return readText();
        ++m_position;
    }
    return {};
}

// Returns a token of kind End for an escape that is dropped.
RtfToken RtfTokenizer::readEscape()
{
    ++m_position;
    if (m_position >= m_input.size())
        return {};
    const char c = m_input[m_position];
    if (isLetter(c))
        return readWord();
    if (c == '\'') {
        ++m_position;
        if (m_position + 1 < m_input.size()) {
            const int high = hexValue(m_input[m_position]);
            const int low = hexValue(m_input[m_position + 1]);
            if (high >= 0 && low >= 0) {
                m_position += 2;
                return makeToken(RtfToken::Kind::HexByte, {}, high * 16 + low);
            }
        }
        return {};
    }
    ++m_position;
    const int symbol = (c == '\r' || c == '\n') ? '\n' : static_cast<unsigned char>(c);
    return makeToken(RtfToken::Kind::ControlSymbol, {}, symbol);
}

RtfToken RtfTokenizer::readWord()
{
    const qsizetype start = m_position;
    while (m_position < m_input.size() && isLetter(m_input[m_position]))
        ++m_position;
    const qsizetype length = m_position - start;

    RtfToken token = makeToken(RtfToken::Kind::ControlWord);
    if (length <= MaxWordLength)
        token.bytes = m_input.sliced(start, length);

    const bool negative = m_position + 1 < m_input.size() && m_input[m_position] == '-'
        && isDigit(m_input[m_position + 1]);
    if (negative)
        ++m_position;
    if (m_position < m_input.size() && isDigit(m_input[m_position])) {
        // Every digit is consumed, however many there are; the value saturates.
        constexpr qint64 Limit = qint64(std::numeric_limits<int>::max()) + 1;
        qint64 value = 0;
        while (m_position < m_input.size() && isDigit(m_input[m_position])) {
            value = std::min(Limit, value * 10 + (m_input[m_position] - '0'));
            ++m_position;
        }
        token.hasParameter = true;
        token.parameter = negative ? int(-value)
                                   : int(std::min<qint64>(value, std::numeric_limits<int>::max()));
    }
    if (m_position < m_input.size() && m_input[m_position] == ' ')
        ++m_position;

    if (token.bytes == "bin") {
        const qsizetype size = std::clamp<qsizetype>(token.hasParameter ? token.parameter : 0, 0,
                                                     m_input.size() - m_position);
        token.kind = RtfToken::Kind::Binary;
        token.bytes = m_input.sliced(m_position, size);
        m_position += size;
    }
    return token;
}

RtfToken RtfTokenizer::readText()
{
    const qsizetype start = m_position;
    while (m_position < m_input.size() && isTextByte(m_input[m_position]))
        ++m_position;
    return makeToken(RtfToken::Kind::Text, m_input.sliced(start, m_position - start));
}

} // namespace Quillmere
