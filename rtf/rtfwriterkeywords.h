// SPDX-License-Identifier: GPL-3.0-or-later
// The RTF writer's tables, which keyword stands for each Qt style, alignment and border, and
// the measures it writes where the document gives none.
#pragma once

#include <QTextCharFormat>
#include <QTextListFormat>
#include <QTextOption>

#include <array>

namespace Quillmere::Internal {

// Width shared out among table columns that have no fixed width: a Letter or A4 page less
// the usual margins.
constexpr int TextWidthTwips = 9360;
constexpr int MinimumColumnTwips = 240;
// Room that a list paragraph's first line hangs out by, for its marker.
constexpr int ListMarkerTwips = 360;
// The number of the first list written for kept markers: LibreOffice numbers the lists it makes
// of `\pn` paragraphs from 1, and a list table entry of the same number takes their place.
constexpr int FirstMarkerList = 1000;
// The longest level text a list table entry holds, its length being one byte.
constexpr qsizetype MaxLevelTextLength = 255;
// The widest border \brdrw allows, in twips.
constexpr int WidestBorderTwips = 75;

// RTF's keyword for each underline style; SpellCheckUnderline is a display aid, not formatting.
struct UnderlineKeyword
{
    QTextCharFormat::UnderlineStyle style;
    const char *keyword;
};
constexpr std::array<UnderlineKeyword, 6> UnderlineKeywords { {
    { QTextCharFormat::SingleUnderline, "\\ul" },
    { QTextCharFormat::DashUnderline, "\\uldash" },
    { QTextCharFormat::DotLine, "\\uld" },
    { QTextCharFormat::DashDotLine, "\\uldashd" },
    { QTextCharFormat::DashDotDotLine, "\\uldashdd" },
    { QTextCharFormat::WaveUnderline, "\\ulwave" },
} };

// Paragraph alignments other than the default left one.
struct AlignmentKeyword
{
    Qt::AlignmentFlag alignment;
    const char *keyword;
};
constexpr std::array<AlignmentKeyword, 3> AlignmentKeywords { {
    { Qt::AlignHCenter, "\\qc" },
    { Qt::AlignRight, "\\qr" },
    { Qt::AlignJustify, "\\qj" },
} };

// Table placements other than the default left one.
constexpr std::array<AlignmentKeyword, 2> RowAlignmentKeywords { {
    { Qt::AlignHCenter, "\\trqc" },
    { Qt::AlignRight, "\\trqr" },
} };

// The legacy numbering keyword for each numbered list style; the others are bullets.
struct NumberingKeyword
{
    QTextListFormat::Style style;
    const char *keyword;
};
constexpr std::array<NumberingKeyword, 5> NumberingKeywords { {
    { QTextListFormat::ListDecimal, "\\pndec" },
    { QTextListFormat::ListLowerAlpha, "\\pnlcltr" },
    { QTextListFormat::ListUpperAlpha, "\\pnucltr" },
    { QTextListFormat::ListLowerRoman, "\\pnlcrm" },
    { QTextListFormat::ListUpperRoman, "\\pnucrm" },
} };

// The marker of each bullet style, in the font Word draws it with; readers map these fonts'
// bytes back to the style. Styles missing here are written as the first.
struct BulletMarker
{
    QTextListFormat::Style style;
    const char16_t *family;
    bool symbolCharset;
    uchar byte;
};
constexpr std::array<BulletMarker, 3> BulletMarkers { {
    { QTextListFormat::ListDisc, u"Symbol", true, 0xB7 },
    { QTextListFormat::ListCircle, u"Courier New", false, 'o' },
    { QTextListFormat::ListSquare, u"Wingdings", true, 0xA7 },
} };

// The four sides of a cell border, as \clbrdr keywords.
constexpr std::array<const char *, 4> CellBorderKeywords { {
    "\\clbrdrt",
    "\\clbrdrl",
    "\\clbrdrb",
    "\\clbrdrr",
} };

// The four sides of a paragraph border, in the order of CellBorderKeywords.
constexpr std::array<const char *, 4> ParagraphBorderKeywords { {
    "\\brdrt",
    "\\brdrl",
    "\\brdrb",
    "\\brdrr",
} };

// Where each side of CellBorderKeywords and ParagraphBorderKeywords comes in the order of Qt's
// cell border properties: top, bottom, left, right.
constexpr std::array<int, 4> BorderPropertySides { 0, 2, 1, 3 };

// RTF's keyword for each border style, by QTextFrameFormat::BorderStyle.
constexpr std::array<const char *, 11> BorderStyleKeywords { {
    "\\brdrnone",
    "\\brdrdot",
    "\\brdrdash",
    "\\brdrs",
    "\\brdrdb",
    "\\brdrdashd",
    "\\brdrdashdd",
    "\\brdrengrave",
    "\\brdremboss",
    "\\brdrinset",
    "\\brdroutset",
} };

// Tab stops other than the default left-aligned one.
struct TabKeyword
{
    QTextOption::TabType type;
    const char *keyword;
};
constexpr std::array<TabKeyword, 3> TabKeywords { {
    { QTextOption::RightTab, "\\tqr" },
    { QTextOption::CenterTab, "\\tqc" },
    { QTextOption::DelimiterTab, "\\tqdec" },
} };

// The leaders that fill up to a tab stop, by the character that stands for each.
struct LeaderKeyword
{
    char16_t leader;
    const char *keyword;
};
constexpr std::array<LeaderKeyword, 6> LeaderKeywords { {
    { u'.', "\\tldot" },
    { 0x00B7, "\\tlmdot" },
    { u'-', "\\tlhyph" },
    { u'_', "\\tlul" },
    { 0x2501, "\\tlth" },
    { u'=', "\\tleq" },
} };

} // namespace Quillmere::Internal
