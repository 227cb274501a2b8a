// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>

#include <string_view>

namespace Quillmere::Internal {

enum class Keyword : quint8 {
    // document
    Ansi,
    AnsiCodePage,
    DefaultFont,
    // Unicode
    UnicodeSkip,
    UnicodeCharacter,
    UnicodeAlternatives,
    UnicodeVersion,
    // tables of fonts and colours
    FontTable,
    Font,
    FontCharset,
    FontCodePage,
    FontRealName,
    ColorTable,
    Red,
    Green,
    Blue,
    // character formatting
    Plain,
    Bold,
    Italic,
    Underline,
    Strike,
    VerticalAlignment,
    Raise,
    Lower,
    Capitalization,
    FontSize,
    Foreground,
    Background,
    Hidden,
    // paragraph formatting
    ParagraphDefaults,
    Alignment,
    LeftIndent,
    RightIndent,
    FirstLineIndent,
    SpaceBefore,
    SpaceAfter,
    PageBreakBefore,
    InTable,
    TableLevel,
    ListOverride,
    ListLevel,
    // breaks and characters
    Paragraph,
    Character,
    Page,
    Section,
    SectionNoBreak,
    FootnoteNumber,
    // tables
    RowDefaults,
    RowLeft,
    CellEdge,
    CellMerge,
    Cell,
    Row,
    NestedCell,
    NestedRow,
    NestedTableProperties,
    // fields and pictures
    Field,
    FieldInstruction,
    FieldResult,
    Picture,
    PictureType,
    PictureGoalWidth,
    PictureGoalHeight,
    PictureScaleX,
    PictureScaleY,
    PictureWidth,
    PictureHeight,
    // A word about the picture's data that is only kept, to be written back with it.
    PictureDetail,
    ShapePicture,
    NonShapePicture,
    BodyText,
    // lists
    ListTable,
    List,
    ListId,
    ListLevelDefinition,
    LevelFormat,
    LevelStart,
    LevelText,
    ListOverrideTable,
    ListOverrideEntry,
    ListMarker,
    LegacyNumbering,
    LegacyLevel,
    LegacyStyle,
    LegacyStart,
    LegacyFont,
    LegacyText,
    // headers, footers, notes and comments, kept aside
    Note,
    // groups whose text is not body text
    Skip,
    // line spacing, tab stops, letter spacing, borders and shading
    LineSpacing,
    LineSpacingMultiple,
    TabKind,
    TabLeader,
    TabStop,
    BarTab,
    LetterSpacingQuarterPoints,
    LetterSpacingTwips,
    ParagraphBorderSide,
    CellBorderSide,
    RowBorderSide,
    BorderStyle,
    BorderWidth,
    BorderColor,
    ParagraphShadingBackground,
    ParagraphShadingForeground,
    ParagraphShadingPercent,
    CellShadingBackground,
    CellShadingForeground,
    CellShadingPercent,
};

// What a control word does, which decides where the reader sends it.
enum class KeywordFamily : quint8 {
    // The document's character set and default font.
    Document,
    // `\uc` and `\uN`.
    Unicode,
    // A word that stands for one character, such as `\tab` or `\emdash`.
    SpecialCharacter,
    CharacterFormat,
    ParagraphFormat,
    // Paragraph, page and section breaks, and the footnote number.
    Break,
    // Row definitions and the ends of cells and rows.
    Table,
    // The properties inside a legacy `\pn` group.
    LegacyNumbering,
    // A word that opens a group whose text goes somewhere other than the body, or nowhere.
    Destination,
    // A word that means something only inside the font, colour or list table or a picture.
    TableEntry,
    // The borders and shading of paragraphs and cells.
    BorderOrShading,
};

// The kinds of data a `\pict` group holds, by the word that names it.
enum PictureKind : int {
    UnknownPicture,
    PngPicture,
    JpegPicture,
    EmfPicture,
    WmfPicture,
    MacPicture,
    Os2Picture,
    DibPicture,
    BitmapPicture,
};
// The groups read as notes: kept aside whole, and written back.
enum NoteGroup : int {
    FootnoteGroup,
    CommentGroup,
    CommentIdGroup,
    CommentAuthorGroup,
    HeaderGroup
};
enum LegacyKind : quint8 { NoLegacy, LegacyBullet, LegacyNumbered, LegacyContinued };
// How a cell of a row definition is merged with its neighbours, as bits.
enum CellMergeBit : quint8 {
    MergeFirst = 1,
    MergeWithPrevious = 2,
    MergeFirstVertical = 4,
    MergeWithAbove = 8,
};

// The side a border keyword names, in the order of Qt's table cell border properties;
// AllSides for `\box`.
enum BorderSide : int { TopSide, BottomSide, LeftSide, RightSide, AllSides };

struct KeywordEntry
{
    std::string_view word;
    Keyword keyword;
    KeywordFamily family;
    int value = 0;
};

// The entry of a control word the reader acts on, or null.
[[nodiscard]] const KeywordEntry *findKeyword(QByteArrayView word);

// Whether the destination a word opens is read even after `\*`.
[[nodiscard]] bool isReadDestination(Keyword keyword);

} // namespace Quillmere::Internal
