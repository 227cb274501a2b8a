// SPDX-License-Identifier: GPL-3.0-or-later
#include "prose.h"

#include <array>

namespace QuillmereBench {

QString makeProse(qsizetype units, bool nonAsciiLetters)
{
    static const std::array<QStringView, 24> words { {
        u"the",  u"Quick",     u"brown",   u"FOX",   u"jumps",      u"over", u"lazy",  u"dog's",
        u"back", u"while",     u"editors", u"x-ray", u"first_name", u"e.g.", u"3rd",   u"place",
        u"and",  u"Documents", u"written", u"by",    u"people",     u"in",   u"ORDER", u"to",
    } };
    static const std::array<QStringView, 8> punctuation { {
        u"",
        u"",
        u"",
        u",",
        u".",
        u";",
        u")",
        u"\"",
    } };
    static const std::array<char16_t, 10> foreignLetters { {
        u'é',
        u'ü',
        u'ø',
        u'ž',
        u'ł',
        u'α',
        u'λ',
        u'ж',
        u'Д',
        u'щ',
    } };

    QString text;
    text.reserve(units + 128);
    quint32 state = 2024;
    auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    qsizetype lineLength = 0;
    qsizetype lineLimit = 60 + next() % 40;
    while (text.size() < units) {
        QString word = words[next() % words.size()].toString();
        if (nonAsciiLetters) {
            for (QChar &character : word) {
                if (character.isLetter() && next() % 5 == 0)
                    character = QChar(foreignLetters[next() % foreignLetters.size()]);
            }
        }
        if (next() % 9 == 0)
            word.prepend(u'(');
        word += punctuation[next() % punctuation.size()];
        text += word;
        lineLength += word.size();
        if (lineLength >= lineLimit) {
            text += next() % 6 == 0 ? u"\r\n\r\n" : u"\r\n";
            lineLength = 0;
            lineLimit = 60 + next() % 40;
        } else {
            text += u' ';
            ++lineLength;
        }
    }
    text.truncate(units);
    return text;
}

QString makeLineFeedProse(qsizetype units)
{
    QString text = makeProse(units, false);
    text.replace(u"\r\n"_qs, u"\n"_qs);
    return text;
}

} // namespace QuillmereBench
