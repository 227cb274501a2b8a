// SPDX-License-Identifier: GPL-3.0-or-later
#include "rtfoutput.h"

#include <QStringDecoder>

#include <array>

namespace Quillmere::Internal {
namespace {

// Indexed by character, the Windows-1252 byte that stands for it, 0 where the code page has
// none; U+2122 is the highest character it has. Taken from the system's converter.
using Windows1252Table = std::array<uchar, 0x2123>;

const Windows1252Table &windows1252Bytes()
{
    static const Windows1252Table table = [] {
        Windows1252Table bytes {};
        QStringDecoder decoder("windows-1252");
        if (!decoder.isValid())
            return bytes;
        for (int byte = 0x80; byte <= 0xFF; ++byte) {
            const char raw = char(byte);
            const QString decoded = decoder.decode(QByteArrayView(&raw, 1));
            // The bytes the code page leaves unassigned come back as C1 controls: skip them.
            if (decoded.size() == 1 && decoded.at(0).unicode() >= 0xA0
                && decoded.at(0).unicode() < bytes.size())
                bytes[decoded.at(0).unicode()] = uchar(byte);
        }
        return bytes;
    }();
    return table;
}

} // namespace

void RtfOutput::writeText(QStringView text)
{
    const auto plain = [](char16_t unit) {
        return unit >= 0x20 && unit < 0x7F && unit != u'\\' && unit != u'{' && unit != u'}';
    };
    for (qsizetype i = 0; i < text.size();) {
        qsizetype end = i;
        while (end < text.size() && plain(text[end].unicode()))
            ++end;
        if (end > i) {
            literals(text.sliced(i, end - i));
            i = end;
            continue;
        }
        writeCharacter(text[i++].unicode());
    }
}

void RtfOutput::writeCharacter(char16_t unit)
{
    const Windows1252Table &windows1252 = windows1252Bytes();
    switch (unit) {
    case u'\\':
        symbol("\\\\");
        break;
    case u'{':
        symbol("\\{");
        break;
    case u'}':
        symbol("\\}");
        break;
    case u'\t':
        word("\\tab");
        break;
    case u'\n':
    case u'\v':
    case u'\r':
    case 0x2028:
        word("\\line");
        break;
    case 0x00A0:
        symbol("\\~");
        break;
    case 0x00AD:
        symbol("\\-");
        break;
    case 0x2011:
        symbol("\\_");
        break;
    default:
        if (unit < windows1252.size() && windows1252[unit] != 0)
            hexByte(windows1252[unit]);
        else
            unicodeUnit(unit);
    }
}

} // namespace Quillmere::Internal
