// SPDX-License-Identifier: GPL-3.0-or-later
#include "rtfkeywords.h"

#include <QFont>
#include <QTextCharFormat>
#include <QTextListFormat>
#include <QTextOption>

#include <array>

namespace Quillmere::Internal {
namespace {

using enum KeywordFamily;

// Every control word the reader acts on, with the value it stands for where several words
// share one action. Words not here are ignored, and so are groups they open after `\*`.
constexpr auto Keywords = std::to_array<KeywordEntry>({
    { "ansi", Keyword::Ansi, Document, 1252 },
    { "mac", Keyword::Ansi, Document, 10000 },
    { "pc", Keyword::Ansi, Document, 437 },
    { "pca", Keyword::Ansi, Document, 850 },
    { "ansicpg", Keyword::AnsiCodePage, Document },
    { "deff", Keyword::DefaultFont, Document },
    { "uc", Keyword::UnicodeSkip, Unicode },
    { "u", Keyword::UnicodeCharacter, Unicode },
    { "upr", Keyword::UnicodeAlternatives, Destination },
    { "ud", Keyword::UnicodeVersion, Destination },
    { "fonttbl", Keyword::FontTable, Destination },
    { "f", Keyword::Font, CharacterFormat },
    { "fcharset", Keyword::FontCharset, TableEntry },
    { "cpg", Keyword::FontCodePage, TableEntry },
    { "fname", Keyword::FontRealName, Destination },
    { "colortbl", Keyword::ColorTable, Destination },
    { "red", Keyword::Red, TableEntry },
    { "green", Keyword::Green, TableEntry },
    { "blue", Keyword::Blue, TableEntry },
    { "plain", Keyword::Plain, CharacterFormat },
    { "b", Keyword::Bold, CharacterFormat },
    { "i", Keyword::Italic, CharacterFormat },
    { "ul", Keyword::Underline, CharacterFormat, QTextCharFormat::SingleUnderline },
    { "uld", Keyword::Underline, CharacterFormat, QTextCharFormat::DotLine },
    { "uldash", Keyword::Underline, CharacterFormat, QTextCharFormat::DashUnderline },
    { "uldashd", Keyword::Underline, CharacterFormat, QTextCharFormat::DashDotLine },
    { "uldashdd", Keyword::Underline, CharacterFormat, QTextCharFormat::DashDotDotLine },
    { "uldb", Keyword::Underline, CharacterFormat, QTextCharFormat::SingleUnderline },
    { "ulhwave", Keyword::Underline, CharacterFormat, QTextCharFormat::WaveUnderline },
    { "ulldash", Keyword::Underline, CharacterFormat, QTextCharFormat::DashUnderline },
    { "ulnone", Keyword::Underline, CharacterFormat, QTextCharFormat::NoUnderline },
    { "ulth", Keyword::Underline, CharacterFormat, QTextCharFormat::SingleUnderline },
    { "ulthd", Keyword::Underline, CharacterFormat, QTextCharFormat::DotLine },
    { "ulthdash", Keyword::Underline, CharacterFormat, QTextCharFormat::DashUnderline },
    { "ulthdashd", Keyword::Underline, CharacterFormat, QTextCharFormat::DashDotLine },
    { "ulthdashdd", Keyword::Underline, CharacterFormat, QTextCharFormat::DashDotDotLine },
    { "ulthldash", Keyword::Underline, CharacterFormat, QTextCharFormat::DashUnderline },
    { "ululdbwave", Keyword::Underline, CharacterFormat, QTextCharFormat::WaveUnderline },
    { "ulw", Keyword::Underline, CharacterFormat, QTextCharFormat::SingleUnderline },
    { "ulwave", Keyword::Underline, CharacterFormat, QTextCharFormat::WaveUnderline },
    { "strike", Keyword::Strike, CharacterFormat },
    { "striked", Keyword::Strike, CharacterFormat },
    { "super", Keyword::VerticalAlignment, CharacterFormat, QTextCharFormat::AlignSuperScript },
    { "sub", Keyword::VerticalAlignment, CharacterFormat, QTextCharFormat::AlignSubScript },
    { "nosupersub", Keyword::VerticalAlignment, CharacterFormat, QTextCharFormat::AlignNormal },
    { "up", Keyword::Raise, CharacterFormat },
    { "dn", Keyword::Lower, CharacterFormat },
    { "caps", Keyword::Capitalization, CharacterFormat, QFont::AllUppercase },
    { "scaps", Keyword::Capitalization, CharacterFormat, QFont::SmallCaps },
    { "fs", Keyword::FontSize, CharacterFormat },
    { "cf", Keyword::Foreground, CharacterFormat },
    { "cb", Keyword::Background, CharacterFormat },
    { "chcbpat", Keyword::Background, CharacterFormat },
    { "highlight", Keyword::Background, CharacterFormat },
    { "v", Keyword::Hidden, CharacterFormat },
    { "pard", Keyword::ParagraphDefaults, ParagraphFormat },
    { "ql", Keyword::Alignment, ParagraphFormat, Qt::AlignLeft },
    { "qc", Keyword::Alignment, ParagraphFormat, Qt::AlignHCenter },
    { "qr", Keyword::Alignment, ParagraphFormat, Qt::AlignRight },
    { "qj", Keyword::Alignment, ParagraphFormat, Qt::AlignJustify },
    { "qd", Keyword::Alignment, ParagraphFormat, Qt::AlignJustify },
    { "li", Keyword::LeftIndent, ParagraphFormat },
    { "lin", Keyword::LeftIndent, ParagraphFormat },
    { "ri", Keyword::RightIndent, ParagraphFormat },
    { "rin", Keyword::RightIndent, ParagraphFormat },
    { "fi", Keyword::FirstLineIndent, ParagraphFormat },
    { "sb", Keyword::SpaceBefore, ParagraphFormat },
    { "sa", Keyword::SpaceAfter, ParagraphFormat },
    { "pagebb", Keyword::PageBreakBefore, ParagraphFormat },
    { "intbl", Keyword::InTable, ParagraphFormat },
    { "itap", Keyword::TableLevel, ParagraphFormat },
    { "ls", Keyword::ListOverride, ParagraphFormat },
    { "ilvl", Keyword::ListLevel, ParagraphFormat },
    { "par", Keyword::Paragraph, Break },
    { "line", Keyword::Character, SpecialCharacter, 0x2028 },
    { "tab", Keyword::Character, SpecialCharacter, '\t' },
    { "emdash", Keyword::Character, SpecialCharacter, 0x2014 },
    { "endash", Keyword::Character, SpecialCharacter, 0x2013 },
    { "emspace", Keyword::Character, SpecialCharacter, 0x2003 },
    { "enspace", Keyword::Character, SpecialCharacter, 0x2002 },
    { "qmspace", Keyword::Character, SpecialCharacter, 0x2005 },
    { "bullet", Keyword::Character, SpecialCharacter, 0x2022 },
    { "lquote", Keyword::Character, SpecialCharacter, 0x2018 },
    { "rquote", Keyword::Character, SpecialCharacter, 0x2019 },
    { "ldblquote", Keyword::Character, SpecialCharacter, 0x201C },
    { "rdblquote", Keyword::Character, SpecialCharacter, 0x201D },
    { "zwbo", Keyword::Character, SpecialCharacter, 0x200B },
    { "zwj", Keyword::Character, SpecialCharacter, 0x200D },
    { "zwnj", Keyword::Character, SpecialCharacter, 0x200C },
    { "ltrmark", Keyword::Character, SpecialCharacter, 0x200E },
    { "rtlmark", Keyword::Character, SpecialCharacter, 0x200F },
    { "page", Keyword::Page, Break },
    { "sect", Keyword::Section, Break },
    { "sbknone", Keyword::SectionNoBreak, Break },
    { "chftn", Keyword::FootnoteNumber, Break },
    { "trowd", Keyword::RowDefaults, Table },
    { "trleft", Keyword::RowLeft, Table },
    { "cellx", Keyword::CellEdge, Table },
    { "clmgf", Keyword::CellMerge, Table, MergeFirst },
    { "clmrg", Keyword::CellMerge, Table, MergeWithPrevious },
    { "clvmgf", Keyword::CellMerge, Table, MergeFirstVertical },
    { "clvmrg", Keyword::CellMerge, Table, MergeWithAbove },
    { "cell", Keyword::Cell, Table },
    { "row", Keyword::Row, Table },
    { "nestcell", Keyword::NestedCell, Table },
    { "nestrow", Keyword::NestedRow, Table },
    { "nesttableprops", Keyword::NestedTableProperties, Destination },
    { "field", Keyword::Field, Destination },
    { "fldinst", Keyword::FieldInstruction, Destination },
    { "fldrslt", Keyword::FieldResult, Destination },
    { "pict", Keyword::Picture, Destination },
    { "pngblip", Keyword::PictureType, TableEntry, PngPicture },
    { "jpegblip", Keyword::PictureType, TableEntry, JpegPicture },
    { "emfblip", Keyword::PictureType, TableEntry, EmfPicture },
    { "wmetafile", Keyword::PictureType, TableEntry, WmfPicture },
    { "macpict", Keyword::PictureType, TableEntry, MacPicture },
    { "pmmetafile", Keyword::PictureType, TableEntry, Os2Picture },
    { "dibitmap", Keyword::PictureType, TableEntry, DibPicture },
    { "wbitmap", Keyword::PictureType, TableEntry, BitmapPicture },
    { "picw", Keyword::PictureWidth, TableEntry },
    { "pich", Keyword::PictureHeight, TableEntry },
    { "piccropl", Keyword::PictureDetail, TableEntry },
    { "piccropr", Keyword::PictureDetail, TableEntry },
    { "piccropt", Keyword::PictureDetail, TableEntry },
    { "piccropb", Keyword::PictureDetail, TableEntry },
    { "picbmp", Keyword::PictureDetail, TableEntry },
    { "picbpp", Keyword::PictureDetail, TableEntry },
    { "wbmbitspixel", Keyword::PictureDetail, TableEntry },
    { "wbmplanes", Keyword::PictureDetail, TableEntry },
    { "wbmwidthbytes", Keyword::PictureDetail, TableEntry },
    { "picwgoal", Keyword::PictureGoalWidth, TableEntry },
    { "pichgoal", Keyword::PictureGoalHeight, TableEntry },
    { "picscalex", Keyword::PictureScaleX, TableEntry },
    { "picscaley", Keyword::PictureScaleY, TableEntry },
    { "shppict", Keyword::ShapePicture, Destination },
    { "nonshppict", Keyword::NonShapePicture, Destination },
    { "shprslt", Keyword::BodyText, Destination },
    { "listtable", Keyword::ListTable, Destination },
    { "list", Keyword::List, TableEntry },
    { "listid", Keyword::ListId, TableEntry },
    { "listlevel", Keyword::ListLevelDefinition, TableEntry },
    { "levelnfc", Keyword::LevelFormat, TableEntry },
    { "levelnfcn", Keyword::LevelFormat, TableEntry },
    { "levelstartat", Keyword::LevelStart, TableEntry },
    { "leveltext", Keyword::LevelText, TableEntry },
    { "listoverridetable", Keyword::ListOverrideTable, Destination },
    { "listoverride", Keyword::ListOverrideEntry, TableEntry },
    { "listtext", Keyword::ListMarker, Destination },
    { "pntext", Keyword::ListMarker, Destination },
    { "pn", Keyword::LegacyNumbering, Destination },
    { "pnlvlblt", Keyword::LegacyLevel, LegacyNumbering, LegacyBullet },
    { "pnlvlbody", Keyword::LegacyLevel, LegacyNumbering, LegacyNumbered },
    { "pnlvlcont", Keyword::LegacyLevel, LegacyNumbering, LegacyContinued },
    { "pnlvl", Keyword::LegacyLevel, LegacyNumbering, LegacyNumbered },
    { "pndec", Keyword::LegacyStyle, LegacyNumbering, QTextListFormat::ListDecimal },
    { "pnucltr", Keyword::LegacyStyle, LegacyNumbering, QTextListFormat::ListUpperAlpha },
    { "pnlcltr", Keyword::LegacyStyle, LegacyNumbering, QTextListFormat::ListLowerAlpha },
    { "pnucrm", Keyword::LegacyStyle, LegacyNumbering, QTextListFormat::ListUpperRoman },
    { "pnlcrm", Keyword::LegacyStyle, LegacyNumbering, QTextListFormat::ListLowerRoman },
    { "pnstart", Keyword::LegacyStart, LegacyNumbering },
    { "pnf", Keyword::LegacyFont, LegacyNumbering },
    { "pntxtb", Keyword::LegacyText, LegacyNumbering, 0 },
    { "pntxta", Keyword::LegacyText, LegacyNumbering, 1 },
    { "header", Keyword::Note, Destination, HeaderGroup },
    { "headerl", Keyword::Note, Destination, HeaderGroup },
    { "headerr", Keyword::Note, Destination, HeaderGroup },
    { "headerf", Keyword::Note, Destination, HeaderGroup },
    { "footer", Keyword::Note, Destination, HeaderGroup },
    { "footerl", Keyword::Note, Destination, HeaderGroup },
    { "footerr", Keyword::Note, Destination, HeaderGroup },
    { "footerf", Keyword::Note, Destination, HeaderGroup },
    { "footnote", Keyword::Note, Destination, FootnoteGroup },
    { "annotation", Keyword::Note, Destination, CommentGroup },
    { "atnid", Keyword::Note, Destination, CommentIdGroup },
    { "atnauthor", Keyword::Note, Destination, CommentAuthorGroup },
    { "stylesheet", Keyword::Skip, Destination },
    { "info", Keyword::Skip, Destination },
    { "ftnsep", Keyword::Skip, Destination },
    { "ftnsepc", Keyword::Skip, Destination },
    { "ftncn", Keyword::Skip, Destination },
    { "aftnsep", Keyword::Skip, Destination },
    { "aftnsepc", Keyword::Skip, Destination },
    { "aftncn", Keyword::Skip, Destination },
    { "atndate", Keyword::Skip, Destination },
    { "atnicn", Keyword::Skip, Destination },
    { "atnref", Keyword::Skip, Destination },
    { "atntime", Keyword::Skip, Destination },
    { "atrfstart", Keyword::Skip, Destination },
    { "atrfend", Keyword::Skip, Destination },
    { "xe", Keyword::Skip, Destination },
    { "tc", Keyword::Skip, Destination },
    { "txe", Keyword::Skip, Destination },
    { "rxe", Keyword::Skip, Destination },
    { "bkmkstart", Keyword::Skip, Destination },
    { "bkmkend", Keyword::Skip, Destination },
    { "objdata", Keyword::Skip, Destination },
    { "objclass", Keyword::Skip, Destination },
    { "objname", Keyword::Skip, Destination },
    { "template", Keyword::Skip, Destination },
    { "comment", Keyword::Skip, Destination },
    { "private", Keyword::Skip, Destination },
    { "revtbl", Keyword::Skip, Destination },
    { "rsidtbl", Keyword::Skip, Destination },
    { "filetbl", Keyword::Skip, Destination },
    { "pgdsctbl", Keyword::Skip, Destination },
    { "nonesttables", Keyword::Skip, Destination },
    { "listname", Keyword::Skip, Destination },
    { "levelnumbers", Keyword::Skip, Destination },
    { "lfolevel", Keyword::Skip, Destination },
    { "shpinst", Keyword::Skip, Destination },
    { "shptxt", Keyword::Skip, Destination },
    { "do", Keyword::Skip, Destination },
    { "themedata", Keyword::Skip, Destination },
    { "colorschememapping", Keyword::Skip, Destination },
    { "latentstyles", Keyword::Skip, Destination },
    { "datastore", Keyword::Skip, Destination },
    { "xmlnstbl", Keyword::Skip, Destination },
    { "generator", Keyword::Skip, Destination },
    // Word's own destinations, skipped even where a damaged file wrote `*` without its `\`.
    { "wgrffmtfilter", Keyword::Skip, Destination },
    { "listpicture", Keyword::Skip, Destination },
    { "mmathPr", Keyword::Skip, Destination },
    { "defchp", Keyword::Skip, Destination },
    { "defpap", Keyword::Skip, Destination },
    { "docvar", Keyword::Skip, Destination },
    { "userprops", Keyword::Skip, Destination },
    // line spacing, tab stops and letter spacing
    { "sl", Keyword::LineSpacing, ParagraphFormat },
    { "slmult", Keyword::LineSpacingMultiple, ParagraphFormat },
    { "tqr", Keyword::TabKind, ParagraphFormat, QTextOption::RightTab },
    { "tqc", Keyword::TabKind, ParagraphFormat, QTextOption::CenterTab },
    { "tqdec", Keyword::TabKind, ParagraphFormat, QTextOption::DelimiterTab },
    { "tldot", Keyword::TabLeader, ParagraphFormat, u'.' },
    { "tlmdot", Keyword::TabLeader, ParagraphFormat, 0x00B7 },
    { "tlhyph", Keyword::TabLeader, ParagraphFormat, u'-' },
    { "tlul", Keyword::TabLeader, ParagraphFormat, u'_' },
    { "tlth", Keyword::TabLeader, ParagraphFormat, 0x2501 },
    { "tleq", Keyword::TabLeader, ParagraphFormat, u'=' },
    { "tx", Keyword::TabStop, ParagraphFormat },
    { "tb", Keyword::BarTab, ParagraphFormat },
    { "expnd", Keyword::LetterSpacingQuarterPoints, CharacterFormat },
    { "expndtw", Keyword::LetterSpacingTwips, CharacterFormat },
    // borders and shading
    { "brdrt", Keyword::ParagraphBorderSide, BorderOrShading, TopSide },
    { "brdrb", Keyword::ParagraphBorderSide, BorderOrShading, BottomSide },
    { "brdrl", Keyword::ParagraphBorderSide, BorderOrShading, LeftSide },
    { "brdrr", Keyword::ParagraphBorderSide, BorderOrShading, RightSide },
    { "box", Keyword::ParagraphBorderSide, BorderOrShading, AllSides },
    { "clbrdrt", Keyword::CellBorderSide, BorderOrShading, TopSide },
    { "clbrdrb", Keyword::CellBorderSide, BorderOrShading, BottomSide },
    { "clbrdrl", Keyword::CellBorderSide, BorderOrShading, LeftSide },
    { "clbrdrr", Keyword::CellBorderSide, BorderOrShading, RightSide },
    { "trbrdrt", Keyword::RowBorderSide, BorderOrShading },
    { "trbrdrb", Keyword::RowBorderSide, BorderOrShading },
    { "trbrdrl", Keyword::RowBorderSide, BorderOrShading },
    { "trbrdrr", Keyword::RowBorderSide, BorderOrShading },
    { "trbrdrh", Keyword::RowBorderSide, BorderOrShading },
    { "trbrdrv", Keyword::RowBorderSide, BorderOrShading },
    { "brdrs", Keyword::BorderStyle, BorderOrShading, QTextFrameFormat::BorderStyle_Solid },
    { "brdrth", Keyword::BorderStyle, BorderOrShading, QTextFrameFormat::BorderStyle_Solid },
    { "brdrsh", Keyword::BorderStyle, BorderOrShading, QTextFrameFormat::BorderStyle_Solid },
    { "brdrhair", Keyword::BorderStyle, BorderOrShading, QTextFrameFormat::BorderStyle_Solid },
    { "brdrdb", Keyword::BorderStyle, BorderOrShading, QTextFrameFormat::BorderStyle_Double },
    { "brdrtriple", Keyword::BorderStyle, BorderOrShading, QTextFrameFormat::BorderStyle_Double },
    { "brdrdot", Keyword::BorderStyle, BorderOrShading, QTextFrameFormat::BorderStyle_Dotted },
    { "brdrdash", Keyword::BorderStyle, BorderOrShading, QTextFrameFormat::BorderStyle_Dashed },
    { "brdrdashsm", Keyword::BorderStyle, BorderOrShading, QTextFrameFormat::BorderStyle_Dashed },
    { "brdrdashd", Keyword::BorderStyle, BorderOrShading, QTextFrameFormat::BorderStyle_DotDash },
    { "brdrdashdd", Keyword::BorderStyle, BorderOrShading,
      QTextFrameFormat::BorderStyle_DotDotDash },
    { "brdrengrave", Keyword::BorderStyle, BorderOrShading, QTextFrameFormat::BorderStyle_Groove },
    { "brdremboss", Keyword::BorderStyle, BorderOrShading, QTextFrameFormat::BorderStyle_Ridge },
    { "brdrinset", Keyword::BorderStyle, BorderOrShading, QTextFrameFormat::BorderStyle_Inset },
    { "brdroutset", Keyword::BorderStyle, BorderOrShading, QTextFrameFormat::BorderStyle_Outset },
    { "brdrnone", Keyword::BorderStyle, BorderOrShading, QTextFrameFormat::BorderStyle_None },
    { "brdrnil", Keyword::BorderStyle, BorderOrShading, QTextFrameFormat::BorderStyle_None },
    { "brdrw", Keyword::BorderWidth, BorderOrShading },
    { "brdrcf", Keyword::BorderColor, BorderOrShading },
    { "cbpat", Keyword::ParagraphShadingBackground, BorderOrShading },
    { "cfpat", Keyword::ParagraphShadingForeground, BorderOrShading },
    { "shading", Keyword::ParagraphShadingPercent, BorderOrShading },
    { "clcbpat", Keyword::CellShadingBackground, BorderOrShading },
    { "clcbpatraw", Keyword::CellShadingBackground, BorderOrShading },
    { "clcfpat", Keyword::CellShadingForeground, BorderOrShading },
    { "clcfpatraw", Keyword::CellShadingForeground, BorderOrShading },
    { "clshdng", Keyword::CellShadingPercent, BorderOrShading },
    { "clshdngraw", Keyword::CellShadingPercent, BorderOrShading },
});

// The keyword table hashed with open addressing: files hold millions of control words, and
// this is where the reader spends most of its own time.
class KeywordIndex
{
public:
    KeywordIndex()
    {
        for (const KeywordEntry &entry : Keywords) {
            size_t slot = hash(entry.word);
            while (m_slots[slot])
                slot = (slot + 1) % m_slots.size();
            m_slots[slot] = &entry;
        }
    }

    const KeywordEntry *find(std::string_view word) const
    {
        for (size_t slot = hash(word); m_slots[slot]; slot = (slot + 1) % m_slots.size()) {
            if (m_slots[slot]->word == word)
                return m_slots[slot];
        }
        return nullptr;
    }

private:
    static size_t hash(std::string_view word)
    {
        quint32 value = 2166136261u;
        for (const char c : word)
            value = (value ^ quint8(c)) * 16777619u;
        return value % 1024;
    }

    std::array<const KeywordEntry *, 1024> m_slots {};
};

} // namespace

const KeywordEntry *findKeyword(QByteArrayView word)
{
    static const KeywordIndex index;
    return index.find(std::string_view(word.data(), size_t(word.size())));
}

// Words that may follow `\*` and still be read.
bool isReadDestination(Keyword keyword)
{
    switch (keyword) {
    case Keyword::UnicodeVersion:
    case Keyword::FontRealName:
    case Keyword::FieldInstruction:
    case Keyword::NestedTableProperties:
    case Keyword::ShapePicture:
    case Keyword::BodyText:
    case Keyword::ListTable:
    case Keyword::ListOverrideTable:
    case Keyword::LegacyNumbering:
    case Keyword::Note:
        return true;
    default:
        return false;
    }
}

} // namespace Quillmere::Internal
