// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>

namespace Quillmere {

// One lexical element of an RTF file; its views point into the tokenizer's input.
struct RtfToken
{
    enum class Kind : quint8 {
        GroupStart,
        GroupEnd,
        ControlWord,
        ControlSymbol,
        HexByte,
        Text,
        Binary,
        End,
    };

    Kind kind = Kind::End;
    // ControlWord: its letters, empty for a word longer than RTF allows. Text: a run of literal
    // bytes. Binary: the data of a `\binN`.
    QByteArrayView bytes;
    // ControlWord: the parameter, saturated to the int range. ControlSymbol: the symbol's
    // byte; `\` before a line end is reported as the symbol '\n'. HexByte: the byte's value.
    int parameter = 0;
    bool hasParameter = false;
};

// Splits RTF into tokens, byte by byte, in one pass. It never fails: a stray or malformed
// escape is dropped, and `\binN` takes at most the bytes that are left. Line ends, NUL and
// the other control bytes in the text are dropped; a tab byte stays in the text.
class RtfTokenizer
{
public:
    // The longest control word RTF allows; longer ones come out as a word without letters.
    static constexpr int MaxWordLength = 32;

    explicit RtfTokenizer(QByteArrayView input);

    RtfToken next();
    qsizetype position() const { return m_position; }

private:
    RtfToken readEscape();
    RtfToken readWord();
    RtfToken readText();

    QByteArrayView m_input;
    qsizetype m_position = 0;
};

} // namespace Quillmere
