// SPDX-License-Identifier: GPL-3.0-or-later
// The RTF reader's state, shared by the files that read each concern: the read loop with its
// groups and destinations (rtfreader.cpp), text and code pages (rtftext.cpp, rtffonts.cpp),
// character formatting (rtfcharformat.cpp), paragraphs, lists, tables, pictures and fields.
#pragma once

#include "rtfkeywords.h"
#include "rtftokenizer.h"
#include "rtfunits.h"

#include <QColor>
#include <QHash>
#include <QImage>
#include <QStringDecoder>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFormat>
#include <QTextListFormat>
#include <QTextOption>

#include <array>
#include <deque>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

class QImageReader;
class QTextList;
class QTextTable;

namespace Quillmere::Internal {

// Limits that keep hostile files from exhausting time or memory. Real files stay far below.
// Groups that change nothing share their parent's state, so depth alone costs nothing; this
// bounds the memory of the states kept for groups that do (Outlook's mail nests 3,000 deep).
constexpr size_t MaxGroupStateBytes = size_t(128) << 20;
// Qt lays out every cell of a table several times to size its columns, so each level of
// nesting multiplies the cost of the text inside it; deeper levels are flattened into the third.
constexpr int MaxTableDepth = 3;
constexpr int MaxTableColumns = 63;
// Long tables are built as a stack of tables of this many rows: Qt rebuilds a table's cell grid
// and lays a table out whole, so a single table of n rows costs n squared to build and cannot
// be laid out a screen at a time.
constexpr int MaxRowsPerTable = 16;
// A vertical merge keeps its rows in one part up to this many; past it the merge goes on as a
// new merge in the next part, so that a merge running down a whole long table stays linear.
constexpr int MaxRowsPerMergedTable = 128;
// Qt lays out a table part whole, twice, at every change in it: a cell that would hold more
// paragraphs goes on in a row of the next part.
constexpr int MaxParagraphsPerCell = 2000;
constexpr int MaxListLevels = 9;
constexpr qsizetype MaxFonts = 10000;
constexpr qsizetype MaxColors = 10000;
constexpr qsizetype MaxListDefinitions = 10000;
constexpr qsizetype MaxShortText = 256;
constexpr qsizetype MaxCachedFormats = 4096;
constexpr qsizetype MaxFieldInstruction = 4096;
constexpr qsizetype MaxPictureBytes = qsizetype(32) << 20;
// The largest picture decoded: PNGs are decoded whole before they are scaled down.
constexpr qint64 MaxImagePixelBytes = qint64(64) << 20;
constexpr int MaxTwips = 31680;
constexpr int MaxUnicodeSkip = 16;
constexpr int NoListOverride = std::numeric_limits<int>::min();
// Word's own limit of tab stops in a paragraph.
constexpr qsizetype MaxTabStops = 64;
constexpr qsizetype MaxParagraphExtras = 10000;

// Where the text of a group goes.
enum class Destination : quint8 {
    Body,
    Skip,
    FontTable,
    FontRealName,
    ColorTable,
    FieldInstruction,
    Picture,
    ListMarker,
    LegacyNumbering,
    LegacyNumberingText,
    ListTable,
    ListLevelText,
    ListOverrideTable,
    UnicodeAlternatives,
    UnicodeChoice,
    TableProperties,
};

// Destinations whose text is decoded and delivered as characters.
constexpr bool takesCharacters(Destination destination)
{
    return destination == Destination::Body || destination == Destination::ListMarker
        || destination == Destination::FieldInstruction
        || destination == Destination::LegacyNumberingText;
}

struct CharState
{
    int font = -1;
    int halfPoints = 0;
    int foreground = 0;
    int background = 0;
    int link = -1;
    quint8 underline = QTextCharFormat::NoUnderline;
    quint8 verticalAlignment = QTextCharFormat::AlignNormal;
    quint8 capitalization = QFont::MixedCase;
    bool bold = false;
    bool italic = false;
    bool strike = false;
    bool hidden = false;
    // twips
    qint16 letterSpacing = 0;

    friend bool operator==(const CharState &, const CharState &) = default;
    friend size_t qHash(const CharState &state, size_t seed = 0)
    {
        return qHashMulti(seed, state.font, state.halfPoints, state.foreground, state.background,
                          state.link, state.underline, state.verticalAlignment,
                          state.capitalization, state.bold, state.italic, state.strike,
                          state.hidden, state.letterSpacing);
    }
};

struct LegacyNumberingState
{
    LegacyKind kind = NoLegacy;
    qint8 style = QTextListFormat::ListDecimal;
    quint8 level = 0;
    int start = 1;
    int texts = -1;
};

// A pattern of a foreground colour over a background colour, as colour table indexes; the
// percentage in hundredths says how much of the foreground shows.
struct Shading
{
    int background = 0;
    int foreground = 0;
    qint16 percent = 0;
};

// One side of a border: a QTextFrameFormat::BorderStyle, its width in twips and its colour.
struct BorderLine
{
    quint8 style = QTextFrameFormat::BorderStyle_None;
    bool given = false;
    qint16 width = 0;
    int color = 0;
};

// The sides of a border in the order of BorderSide.
using Borders = std::array<BorderLine, 4>;

// What a few paragraphs carry and most do not, kept apart so that group states stay small.
struct ParagraphExtras
{
    QList<QTextOption::Tab> tabs;
    QString leaders;
    QVariantList barTabs;
    Borders borders;
    // The group depth the entry was made at: only that group may change it in place.
    qsizetype depth = 0;
};

// How a cell of a row definition looks.
struct CellLook
{
    Borders borders;
    Shading shading;
};

struct ParagraphState
{
    int left = 0;
    int right = 0;
    int firstLine = 0;
    int before = 0;
    int after = 0;
    int listOverride = NoListOverride;
    int listLevel = 0;
    int tableLevel = 0;
    LegacyNumberingState legacy;
    int alignment = Qt::AlignLeft;
    bool inTable = false;
    bool pageBreakBefore = false;
    bool lineMultiple = false;
    int lineSpacing = 0;
    Shading shading;
    // An index in the reader's paragraph extras, or -1.
    int extras = -1;
};

struct GroupState
{
    CharState character;
    ParagraphState paragraph;
    int field = -1;
    int unicodeSkip = 1;
    Destination destination = Destination::Body;
    // Where the `\ud` version of a `\upr` group goes.
    Destination alternativesTarget = Destination::Body;
    // `\*` was seen: the next word opens a destination that is skipped unless it is read.
    bool ignorable = false;
    bool shapePicture = false;
    bool legacyTextAfter = false;
};

// A group's state, and how many groups nested in it since share it because they changed nothing.
struct GroupLevel
{
    GroupState state;
    qsizetype sharedBy = 0;
};

constexpr size_t MaxGroupStates = MaxGroupStateBytes / sizeof(GroupLevel);

struct FontInfo
{
    QString family;
    int codePage = 0;
};

struct FontEntry
{
    int number = 0;
    int charset = -1;
    int codePage = 0;
    // The name's bytes not yet decoded; `\uN` characters decode the bytes before them.
    QByteArray name;
    QByteArray realName;
    QString decodedName;
    QString decodedRealName;
    bool active = false;
};

struct LevelDefinition
{
    int format = 0;
    int start = 1;
    QString text;
    bool textComplete = false;
};

struct ListDefinition
{
    std::array<LevelDefinition, MaxListLevels> levels;
    int levelCount = 0;
};

struct LegacyTexts
{
    QString before;
    QString after;
};

struct FieldInfo
{
    QString instruction;
};

struct PictureState
{
    int kind = UnknownPicture;
    // `\picw` and `\pich`, in the unit of the picture's kind.
    int width = 0;
    int height = 0;
    int goalWidth = 0;
    int goalHeight = 0;
    int scaleX = 100;
    int scaleY = 100;
    int pendingNibble = -1;
    bool tooLarge = false;
    QByteArray data;
    QByteArray keywords;
};

struct ListLook
{
    QTextListFormat::Style style = QTextListFormat::ListDisc;
    int indent = 1;
    QString prefix;
    QString suffix;

    friend bool operator==(const ListLook &, const ListLook &) = default;
};

// How a paragraph shows its list membership: not at all, by its marker text, or as an item of
// a QTextList (modern lists are keyed by override and level, legacy ones run on while alike).
struct ListChoice
{
    enum Kind { None, Marker, Modern, Legacy } kind = None;
    ListLook look;
    quint64 key = 0;
};

struct OpenTable
{
    QTextTable *table = nullptr;
    int row = 0;
    // Rows made so far: rows are made in batches, as every insertion makes Qt rebuild the
    // table's cell grid, and the ones left over are removed when the table closes.
    int rowsMade = 1;
    int column = 0;
    bool rowOpen = true;
    bool nextCellPending = false;
    int cellParagraphs = 0;
    // Per column, the row where the vertical merge running through it began, or -1, and the
    // last row it has reached. The cells are merged once the merge ends: merging them again at
    // every row would cost as much as the rows so far, each time.
    std::vector<int> mergeStartRows;
    std::vector<int> mergeEndRows;
};

struct MarkerRun
{
    QString text;
    CharState state;
};

// Whether every byte is printable ASCII or a tab, which every code page decodes alike.
[[nodiscard]] bool isPlainAscii(QByteArrayView bytes);

// Drops the characters QTextDocument must not receive as text and turns paragraph separators
// into line separators.
void removeUnwanted(QString &text);

// The fonts of `\fonttbl` by number, and the entry being read.
class FontTable
{
public:
    // Decodes a font name's bytes in a code page.
    using Decoder = std::function<QString(QByteArrayView bytes, int codePage)>;

    void clearEntry() { m_entry = {}; }
    // Starts the entry of font `number`.
    void beginEntry(int number);
    FontEntry &entry() { return m_entry; }
    // Adds the entry read so far, if one is open and the table has room; its name is in the
    // font's code page, or `documentCodePage` when the font names none. False when nothing
    // was added.
    bool commit(int documentCodePage, const Decoder &decode);
    // Adds a `\uN` character to the entry's name, or to its real name.
    void appendUnicode(char16_t unit, bool realName, int documentCodePage, const Decoder &decode);
    [[nodiscard]] const FontInfo *find(int number) const;

private:
    int nameCodePage(int documentCodePage) const;

    QHash<int, FontInfo> m_fonts;
    FontEntry m_entry;
};

// The colours of `\colortbl`, index 0 being the automatic colour.
class ColorTable
{
public:
    void clear();
    // Sets a red, green or blue component of the colour being read.
    void setComponent(Keyword keyword, int value);
    // Ends the colour being read, at a `;`.
    void commit();
    // The colour at `index`, invalid for the automatic colour and for indexes not defined.
    [[nodiscard]] QColor at(int index) const;

private:
    std::vector<QColor> m_colors;
    int m_red = 0;
    int m_green = 0;
    int m_blue = 0;
    bool m_colorGiven = false;
};

// The lists of `\listtable` and the overrides of `\listoverridetable` that paragraphs name.
class ListTable
{
public:
    void addList();
    void addLevel();
    // `\listid`: names the list being defined, or the list of the override being read.
    void setListId(int id, bool inOverrides);
    void beginOverride() { m_overrideListId = 0; }
    void addOverride(int number);
    // The level being defined, or null outside a level or past the ninth.
    LevelDefinition *currentLevel();
    // The definition of `level` in the list that override `number` names, or null.
    [[nodiscard]] const LevelDefinition *level(int number, int level) const;

private:
    std::vector<ListDefinition> m_listDefinitions;
    QHash<int, int> m_listIndexById;
    QHash<int, int> m_listIdByOverride;
    int m_overrideListId = 0;
};

class RtfReader
{
public:
    // Headers, footers, notes and comments are kept aside unless `keepNotes` is false.
    explicit RtfReader(QByteArrayView rtf, bool keepNotes = true);
    std::unique_ptr<QTextDocument> read();

private:
    void readToken(const RtfToken &token);
    const GroupState &current() const { return m_stack.back().state; }
    // The state of the innermost group, to change: a group sharing its parent's state gets its own.
    GroupState &state()
    {
        if (m_stack.back().sharedBy > 0)
            unshareState();
        return m_stack.back().state;
    }
    void unshareState();

    void openGroup();
    void closeGroup();
    void endDestination(const GroupState &closed);
    void controlWord(const RtfToken &token);
    void controlSymbol(int symbol);
    void literalBytes(QByteArrayView bytes);
    void hexByte(int byte);
    void binary(QByteArrayView data);

    // the read loop, groups and destinations (rtfreader.cpp)
    void documentWord(const KeywordEntry &entry, const RtfToken &token);
    void headerWord(const KeywordEntry &entry, int parameter);
    void enterDestination(Keyword keyword);
    void enterBodyDestination(Keyword keyword);

    // text (rtftext.cpp)
    void flushBytes();
    void unicodeCharacter(int parameter);
    void deliver(QStringView text);
    void deliverCharacters(QStringView text);
    void deliverLatin1(QLatin1StringView text);
    void deliverSurrogate();
    void appendToDestination(QStringView text);
    bool beginBodyText();

    // fonts and code pages (rtffonts.cpp)
    void fontTableWord(const KeywordEntry &entry, int parameter);
    void fontTableText(QByteArrayView bytes);
    void commitFont();
    int codePage(const CharState &character);
    QStringDecoder &decoder(int codePage);
    QString decode(QByteArrayView bytes, int codePage);

    // character formatting and colours (rtfcharformat.cpp)
    void characterWord(const KeywordEntry &entry, const RtfToken &token);
    void colorTableText(QByteArrayView bytes);
    QTextCharFormat charFormat(const CharState &character);

    // paragraphs (rtfparagraphs.cpp)
    void paragraphWord(const KeywordEntry &entry, const RtfToken &token);
    void breakWord(const KeywordEntry &entry);
    QTextBlockFormat blockFormat(const ParagraphState &paragraph, bool listItem);
    void flushRun();
    void ensureContentPosition(int tableLevel);
    void finishParagraph(const ParagraphState &paragraph, int tableLevel);
    void breakParagraph(int tableLevel);

    // lists (rtflists.cpp)
    void listTableWord(const KeywordEntry &entry, int parameter);
    void legacyNumberingWord(const KeywordEntry &entry, const RtfToken &token);
    void enterListDestination(Keyword keyword);
    void listLevelText(QByteArrayView bytes);
    void insertMarker(const ParagraphState &paragraph);
    ListChoice listChoice(const ParagraphState &paragraph) const;
    std::optional<ListChoice> modernList(const ParagraphState &paragraph) const;
    ListChoice legacyList(const ParagraphState &paragraph) const;
    void attachToList(const ListChoice &choice);

    // tables (rtftables.cpp)
    void tableWord(const KeywordEntry &entry, const RtfToken &token);
    int tableLevelOf(const ParagraphState &paragraph) const;
    void enterTableLevel(int level);
    void startRow(int index, bool newPart = false);
    void continueCellInNextPart();
    void removeSpareRows(OpenTable &table);
    void markContinuation(const QTextTable &previous, const QTextTable &next);
    void openTable(int rows = 1);
    void closeInnermostTable();
    void moveToCell(OpenTable &table);
    void applyRowDefinition(OpenTable &table, int level);
    void endCell(int level);
    void endRow(int level);
    void finishRow(int level);
    void mergeRowCells(OpenTable &table);
    static void endVerticalMerge(OpenTable &table, int column);
    static void endVerticalMerges(OpenTable &table);

    // pictures (rtfpictures.cpp)
    void pictureWord(const KeywordEntry &entry, const RtfToken &token);
    void enterPictureDestination(Keyword keyword);
    void pictureText(QByteArrayView bytes);
    void pictureData(QByteArrayView data);
    void finishPicture();
    QImage decodeWithinBudget(QImageReader &reader, QSize size);
    QString placeholderName(const PictureState &picture, QSizeF shown);

    // fields (rtffields.cpp)
    void enterFieldDestination(Keyword keyword);

    // borders, shading, tab stops and line spacing (rtfborders.cpp)
    void borderWord(const KeywordEntry &entry, const RtfToken &token);
    void tabWord(const KeywordEntry &entry, const RtfToken &token);
    ParagraphExtras &changeExtras(ParagraphState &paragraph);
    void releaseExtras();
    BorderLine *borderBeingRead(int side);
    QColor shadingColor(const Shading &shading) const;
    void applyParagraphLook(const ParagraphState &paragraph, QTextBlockFormat &format) const;
    void applyCellLooks(OpenTable &table);
    // headers, footers, notes and comments (rtfnotes.cpp)
    void keepTable(Destination table, qsizetype end);
    void enterNote(const KeywordEntry &entry);
    QByteArray noteDocument(QByteArrayView content) const;
    void endNote();
    QByteArray writtenNote(QTextDocument &content) const;
    void anchorNote(const QByteArrayList &note);
    void insertNoteNumber();
    void finishReading();

    RtfTokenizer m_tokenizer;
    std::unique_ptr<QTextDocument> m_document;
    QTextCursor m_cursor;
    // A deque, so that a group getting its own state leaves references to the others valid.
    std::deque<GroupLevel> m_stack;
    qsizetype m_overflowDepth = 0;
    bool m_finished = false;
    bool m_groupJustOpened = false;
    int m_fallbackToSkip = 0;
    char16_t m_highSurrogate = 0;

    int m_headerCodePage = 1252;
    int m_ansiCodePage = 0;
    int m_defaultFont = 0;
    FontTable m_fonts;
    int m_cachedFontNumber = -1;
    int m_cachedCodePage = 0;
    bool m_codePageCached = false;
    std::unordered_map<int, QStringDecoder> m_decoders;
    QByteArray m_bytes;

    ColorTable m_colors;

    QString m_runText;
    CharState m_runState;
    QHash<CharState, QTextCharFormat> m_formats;
    std::vector<MarkerRun> m_marker;
    bool m_paragraphOpen = false;
    bool m_breakPending = false;
    // The cursor's block was made by Qt (a table cell, the block after a table), not by an
    // insertion of an empty block format.
    bool m_blockFormatUnknown = false;
    bool m_pageBreakNext = false;
    bool m_sectionBreakNext = false;
    int m_footnotes = 0;

    std::vector<FieldInfo> m_fields;
    QStringList m_links;
    std::vector<LegacyTexts> m_legacyTexts;

    ListTable m_lists;
    QHash<quint64, QTextList *> m_modernLists;
    QTextList *m_legacyList = nullptr;
    ListLook m_legacyLook;

    std::vector<OpenTable> m_tables;
    std::vector<int> m_cellEdges;
    std::vector<quint8> m_cellMerges;
    quint8 m_nextCellMerge = 0;
    int m_rowLeft = 0;
    bool m_rowDefinitionNested = false;

    std::vector<ParagraphExtras> m_paragraphExtras;
    // Where changes go once the extras are too many to keep.
    ParagraphExtras m_discardedExtras;
    std::vector<CellLook> m_cellLooks;
    CellLook m_nextCellLook;
    enum class BorderTarget : quint8 { None, Paragraph, Cell } m_borderTarget = BorderTarget::None;
    int m_borderSide = TopSide;
    QTextOption::TabType m_nextTabKind = QTextOption::LeftTab;
    char16_t m_nextTabLeader = u' ';

    PictureState m_picture;
    bool m_shapePictureEnded = false;
    int m_imageCount = 0;
    qint64 m_pictureBytes = 0;
    // The resource names of the placeholders made so far, by kind and size.
    QHash<QString, QString> m_placeholders;

    QByteArrayView m_input;
    bool m_keepNotes = true;
    bool m_atEnd = false;
    qsizetype m_groupStart = 0;
    // Where the font, colour or list table being read began, and the last of each read, which
    // notes are read with.
    qsizetype m_tableStart = -1;
    std::array<QByteArray, 4> m_noteTables;
    // The depth of the group of the note being kept aside, or 0.
    size_t m_noteDepth = 0;
    int m_noteGroup = 0;
    QByteArray m_noteWord;
    qsizetype m_noteStart = 0;
    QByteArray m_notePrefix;
    int m_noteCount = 0;
    QString m_commentInitials;
    QString m_commentAuthor;
    QByteArrayList m_headers;
    // The characters of the last automatic note number.
    int m_numberStart = -1;
    int m_numberEnd = -1;
    // The marker text the paragraph being read starts with, where its list is not a QTextList.
    QString m_paragraphMarker;
};

} // namespace Quillmere::Internal
