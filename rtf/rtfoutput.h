// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QStringView>

#include <algorithm>

namespace Quillmere::Internal {

// Output lines end before a token that would pass this column; text waits for a space.
constexpr qsizetype SoftLineLength = 100;
// Text with no space to break at is broken here all the same: readers ignore line ends.
constexpr qsizetype HardLineLength = 120;
constexpr qsizetype HexDigitsPerLine = 128;

// Appends a number in decimal, as RTF writes control word parameters.
inline void appendNumber(QByteArray &bytes, qint64 value)
{
    char digits[24];
    int count = 0;
    const bool negative = value < 0;
    quint64 magnitude = negative ? quint64(-(value + 1)) + 1 : quint64(value);
    do {
        digits[count++] = char('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (negative)
        bytes += '-';
    while (count > 0)
        bytes += digits[--count];
}

// The output: RTF tokens appended to one buffer, with line ends put in between tokens so that
// lines stay short. A control word gets its delimiting space only when literal text comes next;
// a line end goes before a backslash or a brace, or after that space, so that a reader that
// drops line ends before it tokenizes still sees where each word ends.
class RtfOutput
{
public:
    QByteArray bytes;

    // Text as literal ASCII where it can be, otherwise as control symbols and words, `\\'hh`
    // where Windows-1252 has the character and `\\uN ?` where it has not.
    void writeText(QStringView text);
    void writeCharacter(char16_t unit);

    void word(const char *keyword)
    {
        const qsizetype length = qsizetype(qstrlen(keyword));
        beforeToken(length);
        bytes.append(keyword, length);
        m_delimit = true;
    }

    void word(const char *keyword, qint64 value)
    {
        const qsizetype length = qsizetype(qstrlen(keyword));
        beforeToken(length + 6);
        bytes.append(keyword, length);
        appendNumber(bytes, value);
        m_delimit = true;
    }

    // Several control words written as one, e.g. a run's cached formatting.
    void words(const QByteArray &keywords)
    {
        if (keywords.isEmpty())
            return;
        beforeToken(keywords.size());
        bytes += keywords;
        m_delimit = true;
    }

    // A control symbol such as \~ or \{: it needs no delimiter.
    void symbol(const char *text)
    {
        const qsizetype length = qsizetype(qstrlen(text));
        beforeToken(length);
        bytes.append(text, length);
        m_delimit = false;
    }

    void open()
    {
        beforeToken(1);
        bytes += '{';
        m_delimit = false;
    }

    void close()
    {
        beforeToken(1);
        bytes += '}';
        m_delimit = false;
    }

    void hexByte(uchar byte)
    {
        beforeToken(4);
        bytes += "\\'";
        appendHex(byte);
        m_delimit = false;
    }

    // One UTF-16 unit as \uN with N signed, and `?` for readers that do not know \u. The
    // space before the `?` is the word's delimiter: pandoc 2.17 takes any character after the
    // number for one and then skips the next as the fallback, losing a letter of the text.
    void unicodeUnit(char16_t unit)
    {
        beforeToken(10);
        bytes += "\\u";
        appendNumber(bytes, unit > 0x7FFF ? int(unit) - 0x10000 : int(unit));
        bytes += " ?";
        m_delimit = false;
    }

    // A printable ASCII character that needs no escape.
    void literal(char character)
    {
        delimit();
        const qsizetype column = bytes.size() - m_lineStart;
        if (m_lineEndWanted || (column >= SoftLineLength && character == ' ')
            || column >= HardLineLength)
            endLine();
        bytes += character;
    }

    // Printable ASCII that needs no escape, copied in bulk up to where a line may end.
    void literals(QStringView text)
    {
        delimit();
        const char16_t *next = text.utf16();
        const char16_t *const end = next + text.size();
        while (next != end) {
            const qsizetype column = bytes.size() - m_lineStart;
            if (column < SoftLineLength && !m_lineEndWanted) {
                const qsizetype count = qMin(SoftLineLength - column, qsizetype(end - next));
                const qsizetype start = bytes.size();
                bytes.resize(start + count);
                std::copy(next, next + count, bytes.data() + start);
                next += count;
            } else {
                literal(char(*next++));
            }
        }
    }

    // Binary data as hex digits on lines of their own.
    void hex(QByteArrayView data)
    {
        delimit();
        bytes.reserve(bytes.size() + data.size() * 2
                      + (data.size() * 2 / HexDigitsPerLine + 2) * 2);
        constexpr qsizetype BytesPerLine = HexDigitsPerLine / 2;
        for (qsizetype start = 0; start < data.size(); start += BytesPerLine) {
            endLine();
            for (const char value : data.sliced(start, qMin(BytesPerLine, data.size() - start)))
                appendHex(uchar(value));
        }
        m_lineEndWanted = true;
    }

    // Appends the output of another RtfOutput that ended its last line.
    void embed(QByteArrayView other)
    {
        delimit();
        if (bytes.size() > m_lineStart)
            endLine();
        bytes += other;
        m_lineStart = bytes.size();
        m_lineEndWanted = false;
    }

    // Ends the line before the next token.
    void lineEnd() { m_lineEndWanted = true; }

    // Ends the line here, where the output is finished or joined to another.
    void finishLine()
    {
        delimit();
        endLine();
    }

private:
    void appendHex(uchar byte)
    {
        static constexpr char digits[] = "0123456789abcdef";
        bytes += digits[byte >> 4];
        bytes += digits[byte & 0xF];
    }

    void delimit()
    {
        if (m_delimit) {
            bytes += ' ';
            m_delimit = false;
        }
    }

    // Every token but literal text starts with a backslash or a brace.
    void beforeToken(qsizetype length)
    {
        if (m_lineEndWanted
            || (bytes.size() - m_lineStart + length > SoftLineLength && bytes.size() > m_lineStart))
            endLine();
    }

    void endLine()
    {
        bytes += "\r\n";
        m_lineStart = bytes.size();
        m_lineEndWanted = false;
    }

    qsizetype m_lineStart = 0;
    bool m_delimit = false;
    bool m_lineEndWanted = false;
};

} // namespace Quillmere::Internal
