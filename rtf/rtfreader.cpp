// SPDX-License-Identifier: GPL-3.0-or-later
#include "rtfreader.h"

#include "rtfcodepages.h"
#include "rtftokenizer.h"
#include "rtfunits.h"

#include <QBuffer>
#include <QHash>
#include <QImageReader>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>
#include <QTextTable>
#include <QUrl>

#include <algorithm>
#include <array>
#include <limits>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace Quillmere {
namespace {

// Limits that keep hostile files from exhausting time or memory. Real files stay far below.
constexpr int MaxGroupDepth = 1000;
constexpr int MaxTableDepth = 8;
constexpr int MaxTableColumns = 63;
constexpr int MaxListLevels = 9;
constexpr qsizetype MaxFonts = 10000;
constexpr qsizetype MaxColors = 10000;
constexpr qsizetype MaxListDefinitions = 10000;
constexpr qsizetype MaxShortText = 256;
constexpr qsizetype MaxCachedFormats = 4096;
constexpr qsizetype MaxFieldInstruction = 4096;
constexpr qsizetype MaxPictureBytes = qsizetype(32) << 20;
constexpr qint64 MaxImagePixelBytes = qint64(64) << 20;
constexpr qint64 MaxAllImagePixelBytes = qint64(512) << 20;
constexpr int MaxTwips = 31680;
constexpr int MaxUnicodeSkip = 16;
constexpr int NoListOverride = std::numeric_limits<int>::min();

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
    // groups whose text is not body text
    Skip,
};

enum PictureKind : int { UnknownPicture, PngPicture, JpegPicture, OtherPicture };
enum LegacyKind : quint8 { NoLegacy, LegacyBullet, LegacyNumbered, LegacyContinued };
// How a cell of a row definition is merged with its neighbours, as bits.
enum CellMergeBit : quint8 {
    MergeFirst = 1,
    MergeWithPrevious = 2,
    MergeFirstVertical = 4,
    MergeWithAbove = 8,
};

struct KeywordEntry
{
    std::string_view word;
    Keyword keyword;
    int value = 0;
};

// Every control word the reader acts on, with the value it stands for where several words
// share one action. Words not here are ignored, and so are groups they open after `\*`.
constexpr auto Keywords = std::to_array<KeywordEntry>({
    { "ansi", Keyword::Ansi, 1252 },
    { "mac", Keyword::Ansi, 10000 },
    { "pc", Keyword::Ansi, 437 },
    { "pca", Keyword::Ansi, 850 },
    { "ansicpg", Keyword::AnsiCodePage },
    { "deff", Keyword::DefaultFont },
    { "uc", Keyword::UnicodeSkip },
    { "u", Keyword::UnicodeCharacter },
    { "upr", Keyword::UnicodeAlternatives },
    { "ud", Keyword::UnicodeVersion },
    { "fonttbl", Keyword::FontTable },
    { "f", Keyword::Font },
    { "fcharset", Keyword::FontCharset },
    { "cpg", Keyword::FontCodePage },
    { "fname", Keyword::FontRealName },
    { "colortbl", Keyword::ColorTable },
    { "red", Keyword::Red },
    { "green", Keyword::Green },
    { "blue", Keyword::Blue },
    { "plain", Keyword::Plain },
    { "b", Keyword::Bold },
    { "i", Keyword::Italic },
    { "ul", Keyword::Underline, QTextCharFormat::SingleUnderline },
    { "uld", Keyword::Underline, QTextCharFormat::DotLine },
    { "uldash", Keyword::Underline, QTextCharFormat::DashUnderline },
    { "uldashd", Keyword::Underline, QTextCharFormat::DashDotLine },
    { "uldashdd", Keyword::Underline, QTextCharFormat::DashDotDotLine },
    { "uldb", Keyword::Underline, QTextCharFormat::SingleUnderline },
    { "ulhwave", Keyword::Underline, QTextCharFormat::WaveUnderline },
    { "ulldash", Keyword::Underline, QTextCharFormat::DashUnderline },
    { "ulnone", Keyword::Underline, QTextCharFormat::NoUnderline },
    { "ulth", Keyword::Underline, QTextCharFormat::SingleUnderline },
    { "ulthd", Keyword::Underline, QTextCharFormat::DotLine },
    { "ulthdash", Keyword::Underline, QTextCharFormat::DashUnderline },
    { "ulthdashd", Keyword::Underline, QTextCharFormat::DashDotLine },
    { "ulthdashdd", Keyword::Underline, QTextCharFormat::DashDotDotLine },
    { "ulthldash", Keyword::Underline, QTextCharFormat::DashUnderline },
    { "ululdbwave", Keyword::Underline, QTextCharFormat::WaveUnderline },
    { "ulw", Keyword::Underline, QTextCharFormat::SingleUnderline },
    { "ulwave", Keyword::Underline, QTextCharFormat::WaveUnderline },
    { "strike", Keyword::Strike },
    { "striked", Keyword::Strike },
    { "super", Keyword::VerticalAlignment, QTextCharFormat::AlignSuperScript },
    { "sub", Keyword::VerticalAlignment, QTextCharFormat::AlignSubScript },
    { "nosupersub", Keyword::VerticalAlignment, QTextCharFormat::AlignNormal },
    { "up", Keyword::Raise },
    { "dn", Keyword::Lower },
    { "caps", Keyword::Capitalization, QFont::AllUppercase },
    { "scaps", Keyword::Capitalization, QFont::SmallCaps },
    { "fs", Keyword::FontSize },
    { "cf", Keyword::Foreground },
    { "cb", Keyword::Background },
    { "chcbpat", Keyword::Background },
    { "highlight", Keyword::Background },
    { "v", Keyword::Hidden },
    { "pard", Keyword::ParagraphDefaults },
    { "ql", Keyword::Alignment, Qt::AlignLeft },
    { "qc", Keyword::Alignment, Qt::AlignHCenter },
    { "qr", Keyword::Alignment, Qt::AlignRight },
    { "qj", Keyword::Alignment, Qt::AlignJustify },
    { "qd", Keyword::Alignment, Qt::AlignJustify },
    { "li", Keyword::LeftIndent },
    { "lin", Keyword::LeftIndent },
    { "ri", Keyword::RightIndent },
    { "rin", Keyword::RightIndent },
    { "fi", Keyword::FirstLineIndent },
    { "sb", Keyword::SpaceBefore },
    { "sa", Keyword::SpaceAfter },
    { "pagebb", Keyword::PageBreakBefore },
    { "intbl", Keyword::InTable },
    { "itap", Keyword::TableLevel },
    { "ls", Keyword::ListOverride },
    { "ilvl", Keyword::ListLevel },
    { "par", Keyword::Paragraph },
    { "line", Keyword::Character, 0x2028 },
    { "tab", Keyword::Character, '\t' },
    { "emdash", Keyword::Character, 0x2014 },
    { "endash", Keyword::Character, 0x2013 },
    { "emspace", Keyword::Character, 0x2003 },
    { "enspace", Keyword::Character, 0x2002 },
    { "qmspace", Keyword::Character, 0x2005 },
    { "bullet", Keyword::Character, 0x2022 },
    { "lquote", Keyword::Character, 0x2018 },
    { "rquote", Keyword::Character, 0x2019 },
    { "ldblquote", Keyword::Character, 0x201C },
    { "rdblquote", Keyword::Character, 0x201D },
    { "zwbo", Keyword::Character, 0x200B },
    { "zwj", Keyword::Character, 0x200D },
    { "zwnj", Keyword::Character, 0x200C },
    { "ltrmark", Keyword::Character, 0x200E },
    { "rtlmark", Keyword::Character, 0x200F },
    { "page", Keyword::Page },
    { "sect", Keyword::Section },
    { "sbknone", Keyword::SectionNoBreak },
    { "chftn", Keyword::FootnoteNumber },
    { "trowd", Keyword::RowDefaults },
    { "trleft", Keyword::RowLeft },
    { "cellx", Keyword::CellEdge },
    { "clmgf", Keyword::CellMerge, MergeFirst },
    { "clmrg", Keyword::CellMerge, MergeWithPrevious },
    { "clvmgf", Keyword::CellMerge, MergeFirstVertical },
    { "clvmrg", Keyword::CellMerge, MergeWithAbove },
    { "cell", Keyword::Cell },
    { "row", Keyword::Row },
    { "nestcell", Keyword::NestedCell },
    { "nestrow", Keyword::NestedRow },
    { "nesttableprops", Keyword::NestedTableProperties },
    { "field", Keyword::Field },
    { "fldinst", Keyword::FieldInstruction },
    { "fldrslt", Keyword::FieldResult },
    { "pict", Keyword::Picture },
    { "pngblip", Keyword::PictureType, PngPicture },
    { "jpegblip", Keyword::PictureType, JpegPicture },
    { "emfblip", Keyword::PictureType, OtherPicture },
    { "wmetafile", Keyword::PictureType, OtherPicture },
    { "macpict", Keyword::PictureType, OtherPicture },
    { "pmmetafile", Keyword::PictureType, OtherPicture },
    { "dibitmap", Keyword::PictureType, OtherPicture },
    { "wbitmap", Keyword::PictureType, OtherPicture },
    { "picwgoal", Keyword::PictureGoalWidth },
    { "pichgoal", Keyword::PictureGoalHeight },
    { "picscalex", Keyword::PictureScaleX },
    { "picscaley", Keyword::PictureScaleY },
    { "shppict", Keyword::ShapePicture },
    { "nonshppict", Keyword::NonShapePicture },
    { "shprslt", Keyword::BodyText },
    { "listtable", Keyword::ListTable },
    { "list", Keyword::List },
    { "listid", Keyword::ListId },
    { "listlevel", Keyword::ListLevelDefinition },
    { "levelnfc", Keyword::LevelFormat },
    { "levelnfcn", Keyword::LevelFormat },
    { "levelstartat", Keyword::LevelStart },
    { "leveltext", Keyword::LevelText },
    { "listoverridetable", Keyword::ListOverrideTable },
    { "listoverride", Keyword::ListOverrideEntry },
    { "listtext", Keyword::ListMarker },
    { "pntext", Keyword::ListMarker },
    { "pn", Keyword::LegacyNumbering },
    { "pnlvlblt", Keyword::LegacyLevel, LegacyBullet },
    { "pnlvlbody", Keyword::LegacyLevel, LegacyNumbered },
    { "pnlvlcont", Keyword::LegacyLevel, LegacyContinued },
    { "pnlvl", Keyword::LegacyLevel, LegacyNumbered },
    { "pndec", Keyword::LegacyStyle, QTextListFormat::ListDecimal },
    { "pnucltr", Keyword::LegacyStyle, QTextListFormat::ListUpperAlpha },
    { "pnlcltr", Keyword::LegacyStyle, QTextListFormat::ListLowerAlpha },
    { "pnucrm", Keyword::LegacyStyle, QTextListFormat::ListUpperRoman },
    { "pnlcrm", Keyword::LegacyStyle, QTextListFormat::ListLowerRoman },
    { "pnstart", Keyword::LegacyStart },
    { "pnf", Keyword::LegacyFont },
    { "pntxtb", Keyword::LegacyText, 0 },
    { "pntxta", Keyword::LegacyText, 1 },
    { "stylesheet", Keyword::Skip },
    { "info", Keyword::Skip },
    { "header", Keyword::Skip },
    { "headerl", Keyword::Skip },
    { "headerr", Keyword::Skip },
    { "headerf", Keyword::Skip },
    { "footer", Keyword::Skip },
    { "footerl", Keyword::Skip },
    { "footerr", Keyword::Skip },
    { "footerf", Keyword::Skip },
    { "footnote", Keyword::Skip },
    { "ftnsep", Keyword::Skip },
    { "ftnsepc", Keyword::Skip },
    { "ftncn", Keyword::Skip },
    { "aftnsep", Keyword::Skip },
    { "aftnsepc", Keyword::Skip },
    { "aftncn", Keyword::Skip },
    { "annotation", Keyword::Skip },
    { "atnid", Keyword::Skip },
    { "atnauthor", Keyword::Skip },
    { "atndate", Keyword::Skip },
    { "atnicn", Keyword::Skip },
    { "atnref", Keyword::Skip },
    { "atntime", Keyword::Skip },
    { "atrfstart", Keyword::Skip },
    { "atrfend", Keyword::Skip },
    { "xe", Keyword::Skip },
    { "tc", Keyword::Skip },
    { "txe", Keyword::Skip },
    { "rxe", Keyword::Skip },
    { "bkmkstart", Keyword::Skip },
    { "bkmkend", Keyword::Skip },
    { "objdata", Keyword::Skip },
    { "objclass", Keyword::Skip },
    { "objname", Keyword::Skip },
    { "template", Keyword::Skip },
    { "comment", Keyword::Skip },
    { "private", Keyword::Skip },
    { "revtbl", Keyword::Skip },
    { "rsidtbl", Keyword::Skip },
    { "filetbl", Keyword::Skip },
    { "pgdsctbl", Keyword::Skip },
    { "nonesttables", Keyword::Skip },
    { "listname", Keyword::Skip },
    { "levelnumbers", Keyword::Skip },
    { "lfolevel", Keyword::Skip },
    { "shpinst", Keyword::Skip },
    { "shptxt", Keyword::Skip },
    { "do", Keyword::Skip },
    { "themedata", Keyword::Skip },
    { "colorschememapping", Keyword::Skip },
    { "latentstyles", Keyword::Skip },
    { "datastore", Keyword::Skip },
    { "xmlnstbl", Keyword::Skip },
    { "generator", Keyword::Skip },
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

const KeywordEntry *findKeyword(QByteArrayView word)
{
    static const KeywordIndex index;
    return index.find(std::string_view(word.data(), size_t(word.size())));
}

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

// Words that may follow `\*` and still be read.
constexpr bool isReadDestination(Keyword keyword)
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
        return true;
    default:
        return false;
    }
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

    friend bool operator==(const CharState &, const CharState &) = default;
    friend size_t qHash(const CharState &state, size_t seed = 0)
    {
        return qHashMulti(seed, state.font, state.halfPoints, state.foreground, state.background,
                          state.link, state.underline, state.verticalAlignment,
                          state.capitalization, state.bold, state.italic, state.strike,
                          state.hidden);
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
    QByteArray name;
    QByteArray realName;
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
    int goalWidth = 0;
    int goalHeight = 0;
    int scaleX = 100;
    int scaleY = 100;
    int pendingNibble = -1;
    bool tooLarge = false;
    QByteArray data;
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
    int column = 0;
    bool rowOpen = true;
    bool nextCellPending = false;
    // Per column, the row where the vertical merge running through it began, or -1.
    std::vector<int> mergeStartRows;
};

struct MarkerRun
{
    QString text;
    CharState state;
};

constexpr bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

constexpr int hexDigitValue(char c)
{
    return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
}

// Characters QTextDocument must not receive as text: they would end blocks or frames behind
// the reader's back, or they are controls no font shows.
constexpr bool isUnwanted(char16_t c)
{
    return (c < 0x20 && c != '\t') || c == 0xFDD0 || c == 0xFDD1;
}

void removeUnwanted(QString &text)
{
    const auto unwanted = [](QChar c) { return isUnwanted(c.unicode()); };
    if (std::any_of(text.cbegin(), text.cend(), unwanted))
        text.removeIf(unwanted);
    text.replace(QChar::ParagraphSeparator, QChar::LineSeparator);
}

void appendBounded(QString &target, QStringView text, qsizetype limit)
{
    target.append(text.first(std::clamp<qsizetype>(limit - target.size(), 0, text.size())));
}

bool isPlainAscii(QByteArrayView bytes)
{
    return std::all_of(bytes.begin(), bytes.end(),
                       [](char c) { return (c >= 0x20 && c < 0x7F) || c == '\t'; });
}

constexpr bool isNumbered(QTextListFormat::Style style)
{
    return style != QTextListFormat::ListDisc && style != QTextListFormat::ListCircle
        && style != QTextListFormat::ListSquare && style != QTextListFormat::ListStyleUndefined;
}

// The list style Qt draws for a bullet character, if it has one.
std::optional<QTextListFormat::Style> bulletStyle(char16_t bullet)
{
    switch (bullet) {
    case 0:
    case 0x2022:
    case 0x00B7:
    case 0x25CF:
    case 0xF0B7:
        return QTextListFormat::ListDisc;
    case u'o':
    case 0x25CB:
    case 0x25E6:
    case 0xF06F:
        return QTextListFormat::ListCircle;
    case 0x00A7:
    case 0x25A0:
    case 0x25AA:
    case 0xF0A7:
    case 0xF06E:
        return QTextListFormat::ListSquare;
    default:
        return std::nullopt;
    }
}

// The Qt list style for a `\levelnfcN` number format, if Qt has it.
std::optional<QTextListFormat::Style> numberStyle(int format)
{
    switch (format) {
    case 0:
        return QTextListFormat::ListDecimal;
    case 1:
        return QTextListFormat::ListUpperRoman;
    case 2:
        return QTextListFormat::ListLowerRoman;
    case 3:
        return QTextListFormat::ListUpperAlpha;
    case 4:
        return QTextListFormat::ListLowerAlpha;
    default:
        return std::nullopt;
    }
}

// A field instruction split into its words; a quoted word may hold spaces or be empty.
QStringList fieldArguments(QStringView instruction)
{
    QStringList arguments;
    QString current;
    bool quoted = false;
    bool pending = false;
    const auto finish = [&] {
        if (pending)
            arguments.append(current);
        current.clear();
        pending = false;
    };
    for (const QChar c : instruction) {
        if (c == u'"') {
            finish();
            quoted = !quoted;
            pending = quoted;
        } else if (c.isSpace() && !quoted) {
            finish();
        } else {
            current.append(c);
            pending = true;
        }
    }
    finish();
    return arguments;
}

// The link target of a HYPERLINK field instruction, empty for other fields.
QString hyperlinkTarget(const QString &instruction)
{
    const QStringList arguments = fieldArguments(instruction);
    if (arguments.isEmpty() || arguments.first().compare(u"HYPERLINK", Qt::CaseInsensitive) != 0)
        return {};
    QString target;
    QString bookmark;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument.startsWith(u'\\') && argument.size() == 2) {
            const QChar option = argument.at(1).toLower();
            const bool takesValue = option == u'l' || option == u'o' || option == u't';
            if (takesValue && i + 1 < arguments.size()) {
                if (option == u'l')
                    bookmark = arguments.at(i + 1);
                ++i;
            }
        } else if (target.isEmpty()) {
            target = argument;
        }
    }
    if (!bookmark.isEmpty())
        target += u'#' + bookmark;
    return target;
}

class RtfReader
{
public:
    explicit RtfReader(QByteArrayView rtf);
    std::unique_ptr<QTextDocument> read();

private:
    GroupState &state() { return m_stack.back(); }

    void openGroup();
    void closeGroup();
    void endDestination(const GroupState &closed);
    void controlWord(const RtfToken &token);
    void controlSymbol(int symbol);
    void literalBytes(QByteArrayView bytes);
    void hexByte(int byte);
    void binary(QByteArrayView data);

    void documentWord(const KeywordEntry &entry, const RtfToken &token);
    void fontTableWord(const KeywordEntry &entry, int parameter);
    void listTableWord(const KeywordEntry &entry, int parameter);
    void pictureWord(const KeywordEntry &entry, int parameter);
    bool characterWord(const KeywordEntry &entry, const RtfToken &token);
    bool paragraphWord(const KeywordEntry &entry, const RtfToken &token);
    void structureWord(const KeywordEntry &entry, const RtfToken &token);
    void enterDestination(Keyword keyword);

    // text
    int codePage(const CharState &character);
    QStringDecoder &decoder(int codePage);
    QString decode(QByteArrayView bytes, int codePage);
    void flushBytes();
    void unicodeCharacter(int parameter);
    void deliver(QStringView text);
    void deliverCharacters(QStringView text);
    void deliverLatin1(QLatin1StringView text);
    void deliverSurrogate();
    void appendToDestination(QStringView text);
    bool beginBodyText();

    // fonts, colours, lists
    void commitFont();
    void commitColor();
    LevelDefinition *currentLevel();
    ListChoice listChoice(const ParagraphState &paragraph) const;
    std::optional<ListChoice> modernList(const ParagraphState &paragraph) const;
    ListChoice legacyList(const ParagraphState &paragraph) const;

    // document structure
    QTextCharFormat charFormat(const CharState &character);
    QTextBlockFormat blockFormat(const ParagraphState &paragraph, bool listItem);
    void flushRun();
    void ensureContentPosition(int tableLevel);
    void insertMarker(const ParagraphState &paragraph);
    void finishParagraph(const ParagraphState &paragraph, int tableLevel);
    void attachToList(const ListChoice &choice);
    void breakParagraph(int tableLevel);
    void enterTableLevel(int level);
    void openTable();
    void closeInnermostTable();
    void moveToCell(OpenTable &table);
    void applyRowDefinition(OpenTable &table, int level);
    void endCell(int level);
    void endRow(int level);
    void mergeRowCells(OpenTable &table);
    void finishPicture();
    int tableLevelOf(const ParagraphState &paragraph) const;

    RtfTokenizer m_tokenizer;
    std::unique_ptr<QTextDocument> m_document;
    QTextCursor m_cursor;
    std::vector<GroupState> m_stack;
    int m_overflowDepth = 0;
    bool m_finished = false;
    int m_fallbackToSkip = 0;
    char16_t m_highSurrogate = 0;

    int m_headerCodePage = 1252;
    int m_ansiCodePage = 0;
    int m_defaultFont = 0;
    QHash<int, FontInfo> m_fonts;
    FontEntry m_fontEntry;
    int m_cachedFontNumber = -1;
    int m_cachedCodePage = 0;
    bool m_codePageCached = false;
    std::unordered_map<int, QStringDecoder> m_decoders;
    QByteArray m_bytes;

    std::vector<QColor> m_colors;
    int m_red = 0;
    int m_green = 0;
    int m_blue = 0;
    bool m_colorGiven = false;

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

    std::vector<ListDefinition> m_listDefinitions;
    QHash<int, int> m_listIndexById;
    QHash<int, int> m_listIdByOverride;
    int m_overrideListId = 0;
    QHash<quint64, QTextList *> m_modernLists;
    QTextList *m_legacyList = nullptr;
    ListLook m_legacyLook;

    std::vector<OpenTable> m_tables;
    std::vector<int> m_cellEdges;
    std::vector<quint8> m_cellMerges;
    quint8 m_nextCellMerge = 0;
    int m_rowLeft = 0;
    bool m_rowDefinitionNested = false;

    PictureState m_picture;
    bool m_shapePictureEnded = false;
    int m_imageCount = 0;
    qint64 m_imageBytes = 0;
};

RtfReader::RtfReader(QByteArrayView rtf)
    : m_tokenizer(rtf)
    , m_document(std::make_unique<QTextDocument>())
    , m_cursor(m_document.get())
{
    m_document->setUndoRedoEnabled(false);
    m_stack.reserve(64);
    // Inside an edit block the cursor does not lay out each block again after every insertion.
    m_cursor.beginEditBlock();
}

std::unique_ptr<QTextDocument> RtfReader::read()
{
    while (!m_finished) {
        const RtfToken token = m_tokenizer.next();
        if (token.kind == RtfToken::Kind::End)
            break;
        if (m_stack.empty()) {
            if (token.kind == RtfToken::Kind::GroupStart)
                m_stack.emplace_back();
            continue;
        }
        if (m_overflowDepth > 0) {
            if (token.kind == RtfToken::Kind::GroupStart)
                ++m_overflowDepth;
            else if (token.kind == RtfToken::Kind::GroupEnd)
                --m_overflowDepth;
            continue;
        }
        switch (token.kind) {
        case RtfToken::Kind::GroupStart:
            openGroup();
            break;
        case RtfToken::Kind::GroupEnd:
            closeGroup();
            break;
        case RtfToken::Kind::ControlWord:
            controlWord(token);
            break;
        case RtfToken::Kind::ControlSymbol:
            controlSymbol(token.parameter);
            break;
        case RtfToken::Kind::HexByte:
            hexByte(token.parameter);
            break;
        case RtfToken::Kind::Text:
            literalBytes(token.bytes);
            break;
        case RtfToken::Kind::Binary:
            binary(token.bytes);
            break;
        case RtfToken::Kind::End:
            break;
        }
    }

    // A file cut short keeps what it has: every group still open is closed.
    while (m_stack.size() > 1)
        closeGroup();
    if (!m_stack.empty()) {
        flushBytes();
        flushRun();
        if (m_breakPending || m_paragraphOpen || !m_marker.empty())
            finishParagraph(state().paragraph, int(m_tables.size()));
    }
    m_cursor.endEditBlock();

    m_document->setUndoRedoEnabled(true);
    return std::move(m_document);
}

void RtfReader::openGroup()
{
    flushBytes();
    m_fallbackToSkip = 0;
    if (m_stack.size() >= MaxGroupDepth) {
        m_overflowDepth = 1;
        return;
    }
    GroupState child = state();
    child.ignorable = false;
    if (child.destination == Destination::UnicodeAlternatives)
        child.destination = Destination::UnicodeChoice;
    m_stack.push_back(child);
}

void RtfReader::closeGroup()
{
    flushBytes();
    m_fallbackToSkip = 0;
    if (m_highSurrogate)
        deliverSurrogate();
    // The outermost group stays, so that the last paragraph can still be finished.
    if (m_stack.size() == 1) {
        m_finished = true;
        return;
    }
    const GroupState closed = state();
    m_stack.pop_back();
    endDestination(closed);
}

void RtfReader::endDestination(const GroupState &closed)
{
    GroupState &parent = state();
    if (closed.shapePicture && !parent.shapePicture)
        m_shapePictureEnded = true;
    switch (closed.destination) {
    case Destination::FontTable:
        commitFont();
        break;
    case Destination::Picture:
        if (parent.destination != Destination::Picture)
            finishPicture();
        break;
    case Destination::LegacyNumbering:
        if (parent.destination != Destination::LegacyNumbering)
            parent.paragraph.legacy = closed.paragraph.legacy;
        break;
    case Destination::ListMarker:
        // A marker that comes after the paragraph's first text belongs where it stands.
        if (parent.destination != Destination::ListMarker && m_paragraphOpen) {
            flushRun();
            insertMarker(parent.paragraph);
        }
        break;
    default:
        break;
    }
}

void RtfReader::controlWord(const RtfToken &token)
{
    flushBytes();
    m_fallbackToSkip = 0;
    GroupState &group = state();
    if (group.destination == Destination::Skip)
        return;
    const KeywordEntry *entry = findKeyword(token.bytes);
    if (group.ignorable) {
        group.ignorable = false;
        if (!entry || !isReadDestination(entry->keyword)) {
            group.destination = Destination::Skip;
            return;
        }
    }
    if (!entry)
        return;
    if (group.destination == Destination::UnicodeChoice) {
        group.destination = entry->keyword == Keyword::UnicodeVersion ? group.alternativesTarget
                                                                      : Destination::Skip;
        return;
    }

    const int parameter = token.parameter;
    switch (group.destination) {
    case Destination::FontTable:
    case Destination::FontRealName:
        fontTableWord(*entry, parameter);
        return;
    case Destination::ColorTable: {
        int *component = entry->keyword == Keyword::Red ? &m_red
            : entry->keyword == Keyword::Green          ? &m_green
            : entry->keyword == Keyword::Blue           ? &m_blue
                                                        : nullptr;
        if (component) {
            *component = std::clamp(parameter, 0, 255);
            m_colorGiven = true;
        }
        return;
    }
    case Destination::ListTable:
    case Destination::ListOverrideTable:
        listTableWord(*entry, parameter);
        return;
    case Destination::Picture:
        pictureWord(*entry, parameter);
        return;
    default:
        break;
    }
    documentWord(*entry, token);
}

void RtfReader::documentWord(const KeywordEntry &entry, const RtfToken &token)
{
    GroupState &group = state();
    const int parameter = token.parameter;
    switch (entry.keyword) {
    case Keyword::Ansi:
        m_headerCodePage = entry.value;
        m_codePageCached = false;
        return;
    case Keyword::AnsiCodePage:
        m_ansiCodePage = codePageName(parameter).isEmpty() ? 0 : parameter;
        m_codePageCached = false;
        return;
    case Keyword::DefaultFont:
        m_defaultFont = parameter;
        m_codePageCached = false;
        return;
    case Keyword::UnicodeSkip:
        group.unicodeSkip = std::clamp(parameter, 0, MaxUnicodeSkip);
        return;
    case Keyword::UnicodeCharacter:
        unicodeCharacter(parameter);
        return;
    case Keyword::Character:
        if (takesCharacters(group.destination)) {
            const char16_t character = char16_t(entry.value);
            deliver(QStringView(&character, 1));
        }
        return;
    default:
        break;
    }
    if (characterWord(entry, token) || paragraphWord(entry, token))
        return;
    if (group.destination == Destination::LegacyNumbering) {
        LegacyNumberingState &legacy = group.paragraph.legacy;
        switch (entry.keyword) {
        case Keyword::LegacyLevel:
            legacy.kind = LegacyKind(entry.value);
            legacy.level = quint8(std::clamp(token.hasParameter ? parameter : 0, 0, 9));
            return;
        case Keyword::LegacyStyle:
            legacy.style = qint8(entry.value);
            return;
        case Keyword::LegacyStart:
            legacy.start = parameter;
            return;
        case Keyword::LegacyFont:
            group.character.font = parameter;
            return;
        case Keyword::LegacyText:
            group.destination = Destination::LegacyNumberingText;
            group.legacyTextAfter = entry.value != 0;
            return;
        default:
            break;
        }
    }
    if (entry.keyword >= Keyword::Paragraph && entry.keyword <= Keyword::NestedRow) {
        structureWord(entry, token);
        return;
    }
    enterDestination(entry.keyword);
}

void RtfReader::enterDestination(Keyword keyword)
{
    GroupState &group = state();
    const Destination current = group.destination;
    switch (keyword) {
    case Keyword::UnicodeAlternatives:
        group.alternativesTarget = current;
        group.destination = Destination::UnicodeAlternatives;
        return;
    case Keyword::UnicodeVersion:
        group.destination = group.alternativesTarget;
        return;
    case Keyword::FontTable:
        group.destination = Destination::FontTable;
        m_fontEntry = {};
        return;
    case Keyword::ColorTable:
        group.destination = Destination::ColorTable;
        m_colors.clear();
        m_colorGiven = false;
        m_red = m_green = m_blue = 0;
        return;
    case Keyword::ListTable:
        group.destination = Destination::ListTable;
        return;
    case Keyword::ListOverrideTable:
        group.destination = Destination::ListOverrideTable;
        return;
    case Keyword::NestedTableProperties:
        group.destination = Destination::TableProperties;
        return;
    case Keyword::Skip:
        group.destination = Destination::Skip;
        return;
    default:
        break;
    }
    if (current != Destination::Body) {
        // Pictures, markers and numbering have nowhere to go outside the body text.
        if (keyword == Keyword::Picture || keyword == Keyword::ListMarker
            || keyword == Keyword::LegacyNumbering)
            group.destination = Destination::Skip;
        return;
    }
    switch (keyword) {
    case Keyword::Field:
        group.field = int(m_fields.size());
        m_fields.emplace_back();
        return;
    case Keyword::FieldInstruction:
        group.destination = group.field >= 0 ? Destination::FieldInstruction : Destination::Skip;
        return;
    case Keyword::FieldResult:
        if (group.field >= 0) {
            const QString target = hyperlinkTarget(m_fields[size_t(group.field)].instruction);
            if (!target.isEmpty()) {
                group.character.link = int(m_links.size());
                m_links.append(target);
            }
        }
        return;
    case Keyword::Picture:
        group.destination = Destination::Picture;
        m_picture = {};
        return;
    case Keyword::ShapePicture:
        group.shapePicture = true;
        return;
    case Keyword::NonShapePicture:
        // The same picture again for readers that lack the one before it.
        if (m_shapePictureEnded)
            group.destination = Destination::Skip;
        return;
    case Keyword::ListMarker:
        group.destination = Destination::ListMarker;
        m_marker.clear();
        return;
    case Keyword::LegacyNumbering:
        group.destination = Destination::LegacyNumbering;
        group.paragraph.legacy = {};
        group.paragraph.legacy.texts = int(m_legacyTexts.size());
        m_legacyTexts.emplace_back();
        return;
    default:
        return;
    }
}

bool RtfReader::characterWord(const KeywordEntry &entry, const RtfToken &token)
{
    CharState &character = state().character;
    const int parameter = token.parameter;
    const bool on = !token.hasParameter || parameter != 0;
    switch (entry.keyword) {
    case Keyword::Plain: {
        const int link = character.link;
        character = {};
        character.link = link;
        return true;
    }
    case Keyword::Bold:
        character.bold = on;
        return true;
    case Keyword::Italic:
        character.italic = on;
        return true;
    case Keyword::Underline:
        character.underline = quint8(on ? entry.value : QTextCharFormat::NoUnderline);
        return true;
    case Keyword::Strike:
        character.strike = on;
        return true;
    case Keyword::VerticalAlignment:
        character.verticalAlignment = quint8(entry.value);
        return true;
    case Keyword::Raise:
    case Keyword::Lower:
        character.verticalAlignment
            = quint8(!on                                   ? QTextCharFormat::AlignNormal
                         : entry.keyword == Keyword::Raise ? QTextCharFormat::AlignSuperScript
                                                           : QTextCharFormat::AlignSubScript);
        return true;
    case Keyword::Capitalization:
        character.capitalization = quint8(on ? entry.value : QFont::MixedCase);
        return true;
    case Keyword::FontSize:
        character.halfPoints = parameter > 0 ? std::min(parameter, MaxHalfPoints) : 0;
        return true;
    case Keyword::Font:
        character.font = parameter;
        return true;
    case Keyword::Foreground:
        character.foreground = parameter;
        return true;
    case Keyword::Background:
        character.background = parameter;
        return true;
    case Keyword::Hidden:
        character.hidden = on;
        return true;
    default:
        return false;
    }
}

bool RtfReader::paragraphWord(const KeywordEntry &entry, const RtfToken &token)
{
    ParagraphState &paragraph = state().paragraph;
    const int twips = std::clamp(token.parameter, -MaxTwips, MaxTwips);
    switch (entry.keyword) {
    case Keyword::ParagraphDefaults:
        paragraph = {};
        return true;
    case Keyword::Alignment:
        paragraph.alignment = entry.value;
        return true;
    case Keyword::LeftIndent:
        paragraph.left = twips;
        return true;
    case Keyword::RightIndent:
        paragraph.right = twips;
        return true;
    case Keyword::FirstLineIndent:
        paragraph.firstLine = twips;
        return true;
    case Keyword::SpaceBefore:
        paragraph.before = std::max(0, twips);
        return true;
    case Keyword::SpaceAfter:
        paragraph.after = std::max(0, twips);
        return true;
    case Keyword::PageBreakBefore:
        paragraph.pageBreakBefore = !token.hasParameter || token.parameter != 0;
        return true;
    case Keyword::InTable:
        paragraph.inTable = !token.hasParameter || token.parameter != 0;
        return true;
    case Keyword::TableLevel:
        paragraph.tableLevel = std::clamp(token.parameter, 0, MaxTableDepth);
        return true;
    case Keyword::ListOverride:
        paragraph.listOverride = token.parameter;
        return true;
    case Keyword::ListLevel:
        paragraph.listLevel = std::clamp(token.parameter, 0, MaxListLevels - 1);
        return true;
    default:
        return false;
    }
}

void RtfReader::structureWord(const KeywordEntry &entry, const RtfToken &token)
{
    const GroupState &group = state();
    const bool body = group.destination == Destination::Body;
    const int level = tableLevelOf(group.paragraph);
    const int nestedLevel = std::max(2, level);
    switch (entry.keyword) {
    case Keyword::Paragraph:
        if (body)
            breakParagraph(level);
        return;
    case Keyword::Page:
        if (body) {
            breakParagraph(level);
            m_pageBreakNext = true;
        }
        return;
    case Keyword::Section:
        if (body) {
            breakParagraph(level);
            m_sectionBreakNext = true;
        }
        return;
    case Keyword::SectionNoBreak:
        m_sectionBreakNext = false;
        return;
    case Keyword::FootnoteNumber:
        if (body) {
            const QString number = QString::number(++m_footnotes);
            deliver(number);
        }
        return;
    case Keyword::RowDefaults:
        m_cellEdges.clear();
        m_cellMerges.clear();
        m_nextCellMerge = 0;
        m_rowLeft = 0;
        m_rowDefinitionNested = group.destination == Destination::TableProperties;
        return;
    case Keyword::RowLeft:
        m_rowLeft = std::clamp(token.parameter, -MaxTwips, MaxTwips);
        return;
    case Keyword::CellEdge:
        if (m_cellEdges.size() < size_t(MaxTableColumns)) {
            const int previous = m_cellEdges.empty() ? m_rowLeft : m_cellEdges.back();
            m_cellEdges.push_back(
                std::max(std::clamp(token.parameter, -MaxTwips, MaxTwips), previous + 1));
            m_cellMerges.push_back(m_nextCellMerge);
        }
        m_nextCellMerge = 0;
        return;
    case Keyword::CellMerge:
        m_nextCellMerge |= quint8(entry.value);
        return;
    case Keyword::Cell:
    case Keyword::NestedCell:
        // Outside every table a cell end can only mean the end of a paragraph.
        if (body && level == 0 && m_tables.empty())
            breakParagraph(0);
        else if (body)
            endCell(entry.keyword == Keyword::Cell ? 1 : std::min(nestedLevel, MaxTableDepth));
        return;
    case Keyword::Row:
        if (body)
            endRow(1);
        return;
    case Keyword::NestedRow:
        if (body || group.destination == Destination::TableProperties)
            endRow(std::min(nestedLevel, MaxTableDepth));
        return;
    default:
        return;
    }
}

void RtfReader::fontTableWord(const KeywordEntry &entry, int parameter)
{
    GroupState &group = state();
    switch (entry.keyword) {
    case Keyword::Font:
        commitFont();
        m_fontEntry = {};
        m_fontEntry.number = parameter;
        m_fontEntry.active = true;
        return;
    case Keyword::FontCharset:
        m_fontEntry.charset = parameter;
        return;
    case Keyword::FontCodePage:
        m_fontEntry.codePage = parameter;
        return;
    case Keyword::FontRealName:
        group.destination = Destination::FontRealName;
        return;
    case Keyword::UnicodeSkip:
        group.unicodeSkip = std::clamp(parameter, 0, MaxUnicodeSkip);
        return;
    case Keyword::UnicodeCharacter:
        m_fallbackToSkip = group.unicodeSkip;
        return;
    default:
        return;
    }
}

void RtfReader::listTableWord(const KeywordEntry &entry, int parameter)
{
    GroupState &group = state();
    const bool overrides = group.destination == Destination::ListOverrideTable;
    LevelDefinition *level = currentLevel();
    switch (entry.keyword) {
    case Keyword::List:
        if (!overrides && m_listDefinitions.size() < size_t(MaxListDefinitions))
            m_listDefinitions.emplace_back();
        return;
    case Keyword::ListId:
        if (overrides)
            m_overrideListId = parameter;
        else if (!m_listDefinitions.empty() && m_listIndexById.size() < MaxListDefinitions)
            m_listIndexById.insert(parameter, int(m_listDefinitions.size() - 1));
        return;
    case Keyword::ListLevelDefinition:
        if (!overrides && !m_listDefinitions.empty()) {
            int &count = m_listDefinitions.back().levelCount;
            count = std::min(count + 1, MaxListLevels + 1);
        }
        return;
    case Keyword::LevelFormat:
        if (level)
            level->format = parameter;
        return;
    case Keyword::LevelStart:
        if (level)
            level->start = parameter;
        return;
    case Keyword::LevelText:
        group.destination = level ? Destination::ListLevelText : Destination::Skip;
        return;
    case Keyword::ListOverrideEntry:
        m_overrideListId = 0;
        return;
    case Keyword::ListOverride:
        if (overrides && m_listIdByOverride.size() < MaxListDefinitions)
            m_listIdByOverride.insert(parameter, m_overrideListId);
        return;
    case Keyword::UnicodeSkip:
        group.unicodeSkip = std::clamp(parameter, 0, MaxUnicodeSkip);
        return;
    case Keyword::UnicodeCharacter:
        unicodeCharacter(parameter);
        return;
    case Keyword::Skip:
        group.destination = Destination::Skip;
        return;
    default:
        return;
    }
}

LevelDefinition *RtfReader::currentLevel()
{
    if (m_listDefinitions.empty())
        return nullptr;
    ListDefinition &list = m_listDefinitions.back();
    if (list.levelCount < 1 || list.levelCount > MaxListLevels)
        return nullptr;
    return &list.levels[size_t(list.levelCount - 1)];
}

void RtfReader::pictureWord(const KeywordEntry &entry, int parameter)
{
    switch (entry.keyword) {
    case Keyword::PictureType:
        m_picture.kind = entry.value;
        return;
    case Keyword::PictureGoalWidth:
        m_picture.goalWidth = std::clamp(parameter, 0, MaxTwips);
        return;
    case Keyword::PictureGoalHeight:
        m_picture.goalHeight = std::clamp(parameter, 0, MaxTwips);
        return;
    case Keyword::PictureScaleX:
        m_picture.scaleX = std::clamp(parameter, 1, 1000);
        return;
    case Keyword::PictureScaleY:
        m_picture.scaleY = std::clamp(parameter, 1, 1000);
        return;
    case Keyword::Picture:
    case Keyword::Skip:
        state().destination = Destination::Skip;
        return;
    default:
        return;
    }
}

void RtfReader::controlSymbol(int symbol)
{
    if (symbol == '\\' || symbol == '{' || symbol == '}') {
        const char byte = char(symbol);
        literalBytes(QByteArrayView(&byte, 1));
        return;
    }
    flushBytes();
    m_fallbackToSkip = 0;
    GroupState &group = state();
    if (group.destination == Destination::Skip)
        return;
    switch (symbol) {
    case '*':
        group.ignorable = true;
        return;
    case '\n':
        if (group.destination == Destination::Body)
            breakParagraph(tableLevelOf(group.paragraph));
        return;
    case '~':
    case '-':
    case '_': {
        if (!takesCharacters(group.destination))
            return;
        const char16_t character = symbol == '~' ? 0x00A0 : symbol == '-' ? 0x00AD : 0x2011;
        deliver(QStringView(&character, 1));
        return;
    }
    default:
        return;
    }
}

void RtfReader::literalBytes(QByteArrayView bytes)
{
    if (m_fallbackToSkip > 0) {
        const qsizetype skipped = std::min<qsizetype>(m_fallbackToSkip, bytes.size());
        m_fallbackToSkip -= int(skipped);
        bytes = bytes.sliced(skipped);
    }
    if (bytes.isEmpty())
        return;
    GroupState &group = state();
    switch (group.destination) {
    case Destination::Body:
        if (m_bytes.isEmpty() && isPlainAscii(bytes)) {
            deliverLatin1(QLatin1StringView(bytes.data(), bytes.size()));
            return;
        }
        [[fallthrough]];
    case Destination::ListMarker:
    case Destination::FieldInstruction:
    case Destination::LegacyNumberingText:
        m_bytes.append(bytes);
        return;
    case Destination::FontTable:
    case Destination::FontRealName: {
        if (!m_fontEntry.active)
            return;
        const qsizetype end = bytes.indexOf(';');
        QByteArray &name
            = group.destination == Destination::FontTable ? m_fontEntry.name : m_fontEntry.realName;
        const qsizetype length = std::min(end < 0 ? bytes.size() : end, MaxShortText - name.size());
        name.append(bytes.first(std::max<qsizetype>(0, length)));
        if (end >= 0 && group.destination == Destination::FontTable)
            commitFont();
        return;
    }
    case Destination::ColorTable:
        for (const char c : bytes) {
            if (c == ';')
                commitColor();
        }
        return;
    case Destination::ListLevelText: {
        LevelDefinition *level = currentLevel();
        for (const char c : bytes) {
            if (!level || level->textComplete || level->text.size() >= MaxShortText)
                break;
            if (c == ';')
                level->textComplete = true;
            else
                level->text.append(QChar(uchar(c)));
        }
        return;
    }
    case Destination::Picture:
        if (m_picture.kind != PngPicture && m_picture.kind != JpegPicture)
            return;
        for (const char c : bytes) {
            if (!isHexDigit(c))
                continue;
            if (m_picture.pendingNibble < 0) {
                m_picture.pendingNibble = hexDigitValue(c);
            } else if (m_picture.data.size() < MaxPictureBytes) {
                m_picture.data.append(char(m_picture.pendingNibble * 16 + hexDigitValue(c)));
                m_picture.pendingNibble = -1;
            } else {
                m_picture.tooLarge = true;
                return;
            }
        }
        return;
    case Destination::UnicodeChoice:
        group.destination = Destination::Skip;
        return;
    default:
        return;
    }
}

void RtfReader::hexByte(int byte)
{
    if (m_fallbackToSkip > 0) {
        --m_fallbackToSkip;
        return;
    }
    const char value = char(byte);
    if (state().destination == Destination::Body) {
        m_bytes.append(value);
        return;
    }
    literalBytes(QByteArrayView(&value, 1));
}

void RtfReader::binary(QByteArrayView data)
{
    flushBytes();
    m_fallbackToSkip = 0;
    if (state().destination != Destination::Picture
        || (m_picture.kind != PngPicture && m_picture.kind != JpegPicture))
        return;
    if (m_picture.data.size() + data.size() > MaxPictureBytes)
        m_picture.tooLarge = true;
    else
        m_picture.data.append(data);
}

int RtfReader::codePage(const CharState &character)
{
    const int number = character.font >= 0 ? character.font : m_defaultFont;
    if (m_codePageCached && number == m_cachedFontNumber)
        return m_cachedCodePage;
    const auto font = m_fonts.constFind(number);
    int result = font != m_fonts.cend() ? font->codePage : 0;
    if (result == 0)
        result = m_ansiCodePage != 0 ? m_ansiCodePage : m_headerCodePage;
    m_cachedFontNumber = number;
    m_cachedCodePage = result;
    m_codePageCached = true;
    return result;
}

QStringDecoder &RtfReader::decoder(int codePage)
{
    auto found = m_decoders.find(codePage);
    if (found == m_decoders.end()) {
        QStringDecoder created(codePageName(codePage).constData(),
                               QStringConverter::Flag::Stateless);
        if (!created.isValid())
            created = QStringDecoder("windows-1252", QStringConverter::Flag::Stateless);
        found = m_decoders.emplace(codePage, std::move(created)).first;
    }
    return found->second;
}

QString RtfReader::decode(QByteArrayView bytes, int codePage)
{
    QString text;
    if (isPlainAscii(bytes)) {
        return QString::fromLatin1(bytes);
    } else if (codePage == SymbolCodePage) {
        text.reserve(bytes.size());
        for (const char c : bytes) {
            const auto byte = uchar(c);
            // Word's symbol bullet is the one symbol plain text needs as itself.
            text.append(QChar(byte < 0x80 ? byte : byte == 0xB7 ? 0x2022 : 0xF000 + byte));
        }
    } else {
        QStringDecoder &codec = decoder(codePage);
        if (codec.isValid())
            text = codec(bytes);
        else
            text = QString::fromLatin1(bytes);
    }
    removeUnwanted(text);
    return text;
}

void RtfReader::flushBytes()
{
    if (m_bytes.isEmpty())
        return;
    const QString text = decode(m_bytes, codePage(state().character));
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
        LevelDefinition *level = currentLevel();
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
    if (state().destination != Destination::Body) {
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
    const CharState &character = state().character;
    if (character.hidden)
        return false;
    if (!m_runText.isEmpty() && !(character == m_runState))
        flushRun();
    if (m_runText.isEmpty()) {
        ensureContentPosition(tableLevelOf(state().paragraph));
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

void RtfReader::commitFont()
{
    if (!m_fontEntry.active)
        return;
    m_fontEntry.active = false;
    if (m_fonts.size() >= MaxFonts && !m_fonts.contains(m_fontEntry.number))
        return;

    int fontCodePage = 0;
    if (m_fontEntry.codePage > 0 && !codePageName(m_fontEntry.codePage).isEmpty())
        fontCodePage = m_fontEntry.codePage;
    else if (m_fontEntry.charset >= 0)
        fontCodePage = codePageForCharset(m_fontEntry.charset);
    const int nameCodePage
        = fontCodePage != 0 ? fontCodePage : (m_ansiCodePage ? m_ansiCodePage : m_headerCodePage);
    const QString name = decode(m_fontEntry.name, nameCodePage).trimmed();
    const QString realName = decode(m_fontEntry.realName, nameCodePage).trimmed();

    const int hinted = codePageForFontName(name);
    if (hinted == SymbolCodePage && m_fontEntry.codePage <= 0)
        fontCodePage = SymbolCodePage;
    else if (fontCodePage == 0 && m_fontEntry.charset < 0)
        fontCodePage = hinted;

    m_fonts.insert(m_fontEntry.number, { realName.isEmpty() ? name : realName, fontCodePage });
    m_codePageCached = false;
    m_formats.clear();
}

void RtfReader::commitColor()
{
    if (m_colors.size() < size_t(MaxColors))
        m_colors.push_back(m_colorGiven ? QColor(m_red, m_green, m_blue) : QColor());
    m_formats.clear();
    m_colorGiven = false;
    m_red = m_green = m_blue = 0;
}

int RtfReader::tableLevelOf(const ParagraphState &paragraph) const
{
    return std::max(paragraph.tableLevel, paragraph.inTable ? 1 : 0);
}

ListChoice RtfReader::listChoice(const ParagraphState &paragraph) const
{
    if (paragraph.listOverride != NoListOverride) {
        if (const std::optional<ListChoice> modern = modernList(paragraph))
            return *modern;
    }
    return legacyList(paragraph);
}

std::optional<ListChoice> RtfReader::modernList(const ParagraphState &paragraph) const
{
    const auto id = m_listIdByOverride.constFind(paragraph.listOverride);
    if (id == m_listIdByOverride.cend())
        return std::nullopt;
    const auto index = m_listIndexById.constFind(*id);
    if (index == m_listIndexById.cend())
        return std::nullopt;
    const LevelDefinition &level
        = m_listDefinitions[size_t(*index)].levels[size_t(paragraph.listLevel)];

    ListChoice choice;
    choice.kind = ListChoice::Marker;
    const qsizetype length = level.text.isEmpty() ? 0 : level.text.at(0).unicode();
    const QString text = level.text.mid(1, length);
    ListLook &look = choice.look;
    look.indent = paragraph.listLevel + 1;
    if (level.format == 23) {
        const std::optional style = bulletStyle(text.isEmpty() ? 0 : text.at(0).unicode());
        if (!style || text.size() > 1)
            return choice;
        look.style = *style;
    } else {
        const std::optional style = numberStyle(level.format);
        if (!style || level.start != 1)
            return choice;
        look.style = *style;
        look.suffix = u"."_qs;
        if (!text.isEmpty()) {
            // Qt numbers one level only: the text must hold this level's number and no other.
            const auto isPlaceholder = [](QChar c) { return c.unicode() < MaxListLevels; };
            const qsizetype placeholder
                = std::find_if(text.begin(), text.end(), isPlaceholder) - text.begin();
            if (placeholder == text.size() || text.at(placeholder).unicode() != paragraph.listLevel
                || std::any_of(text.begin() + placeholder + 1, text.end(), isPlaceholder))
                return choice;
            look.prefix = text.first(placeholder);
            look.suffix = text.sliced(placeholder + 1);
        }
    }
    choice.kind = ListChoice::Modern;
    choice.key = (quint64(quint32(paragraph.listOverride)) << 8) | quint64(paragraph.listLevel);
    return choice;
}

ListChoice RtfReader::legacyList(const ParagraphState &paragraph) const
{
    const LegacyNumberingState &legacy = paragraph.legacy;
    if (legacy.kind != LegacyBullet && legacy.kind != LegacyNumbered)
        return {};
    ListChoice choice;
    choice.kind = ListChoice::Marker;
    const LegacyTexts texts
        = legacy.texts >= 0 ? m_legacyTexts[size_t(legacy.texts)] : LegacyTexts();
    ListLook &look = choice.look;
    const double twipsPerIndent = m_document->indentWidth() * TwipsPerDocumentPixel;
    look.indent = std::clamp(int(std::lround(paragraph.left / twipsPerIndent)), 1, MaxListLevels);
    if (paragraph.left <= 0 && legacy.level > 0)
        look.indent = legacy.level;
    if (legacy.kind == LegacyBullet) {
        const std::optional style
            = bulletStyle(texts.before.isEmpty() ? 0 : texts.before.at(0).unicode());
        if (!style || texts.before.size() > 1 || !texts.after.isEmpty())
            return choice;
        look.style = *style;
    } else {
        look.style = QTextListFormat::Style(legacy.style);
        look.prefix = texts.before;
        look.suffix = texts.after;
        const bool continues = m_legacyList && m_legacyLook == look;
        if (!continues && legacy.start != 1)
            return choice;
    }
    choice.kind = ListChoice::Legacy;
    return choice;
}

QTextCharFormat RtfReader::charFormat(const CharState &character)
{
    const auto cached = m_formats.constFind(character);
    if (cached != m_formats.cend())
        return *cached;
    QTextCharFormat format;
    if (character.bold)
        format.setFontWeight(QFont::Bold);
    if (character.italic)
        format.setFontItalic(true);
    if (character.underline != QTextCharFormat::NoUnderline)
        format.setUnderlineStyle(QTextCharFormat::UnderlineStyle(character.underline));
    if (character.strike)
        format.setFontStrikeOut(true);
    if (character.verticalAlignment != QTextCharFormat::AlignNormal)
        format.setVerticalAlignment(
            QTextCharFormat::VerticalAlignment(character.verticalAlignment));
    if (character.capitalization != QFont::MixedCase)
        format.setFontCapitalization(QFont::Capitalization(character.capitalization));
    if (character.halfPoints > 0)
        format.setFontPointSize(character.halfPoints / 2.0);
    if (character.font >= 0) {
        const auto font = m_fonts.constFind(character.font);
        if (font != m_fonts.cend() && !font->family.isEmpty())
            format.setFontFamilies({ font->family });
    }
    const auto color = [this](int index) {
        return index > 0 && size_t(index) < m_colors.size() ? m_colors[size_t(index)] : QColor();
    };
    if (const QColor foreground = color(character.foreground); foreground.isValid())
        format.setForeground(foreground);
    if (const QColor background = color(character.background); background.isValid())
        format.setBackground(background);
    if (character.link >= 0) {
        format.setAnchor(true);
        format.setAnchorHref(m_links.at(character.link));
    }
    if (m_formats.size() >= MaxCachedFormats)
        m_formats.clear();
    m_formats.insert(character, format);
    return format;
}

QTextBlockFormat RtfReader::blockFormat(const ParagraphState &paragraph, bool listItem)
{
    QTextBlockFormat format;
    if (paragraph.alignment != Qt::AlignLeft)
        format.setAlignment(Qt::Alignment(paragraph.alignment));
    if (!listItem && paragraph.left != 0)
        format.setLeftMargin(paragraph.left / TwipsPerDocumentPixel);
    if (!listItem && paragraph.firstLine != 0)
        format.setTextIndent(paragraph.firstLine / TwipsPerDocumentPixel);
    if (paragraph.right != 0)
        format.setRightMargin(paragraph.right / TwipsPerDocumentPixel);
    if (paragraph.before != 0)
        format.setTopMargin(paragraph.before / TwipsPerDocumentPixel);
    if (paragraph.after != 0)
        format.setBottomMargin(paragraph.after / TwipsPerDocumentPixel);
    if (paragraph.pageBreakBefore || m_pageBreakNext || m_sectionBreakNext)
        format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    return format;
}

void RtfReader::flushRun()
{
    if (m_runText.isEmpty())
        return;
    m_cursor.insertText(m_runText, charFormat(m_runState));
    m_runText.resize(0);
}

void RtfReader::ensureContentPosition(int tableLevel)
{
    enterTableLevel(tableLevel);
    if (m_breakPending) {
        m_cursor.insertBlock(QTextBlockFormat(), QTextCharFormat());
        m_breakPending = false;
        m_blockFormatUnknown = false;
    }
    m_shapePictureEnded = false;
    if (!m_paragraphOpen) {
        m_paragraphOpen = true;
        insertMarker(state().paragraph);
    }
}

// The marker text of a list paragraph goes in as text when the paragraph does not become an
// item of a QTextList, which draws its own.
void RtfReader::insertMarker(const ParagraphState &paragraph)
{
    if (m_marker.empty())
        return;
    const ListChoice choice = listChoice(paragraph);
    if (choice.kind != ListChoice::Modern && choice.kind != ListChoice::Legacy) {
        for (const MarkerRun &run : m_marker) {
            if (!run.state.hidden)
                m_cursor.insertText(run.text, charFormat(run.state));
        }
    }
    m_marker.clear();
}

void RtfReader::finishParagraph(const ParagraphState &paragraph, int tableLevel)
{
    flushRun();
    if (m_highSurrogate) {
        deliverSurrogate();
        flushRun();
    }
    ensureContentPosition(tableLevel);
    const ListChoice choice = listChoice(paragraph);
    const bool listItem = choice.kind == ListChoice::Modern || choice.kind == ListChoice::Legacy;
    const QTextBlockFormat format = blockFormat(paragraph, listItem);
    if (!format.isEmpty() || (m_blockFormatUnknown && !m_cursor.blockFormat().isEmpty()))
        m_cursor.setBlockFormat(format);
    m_blockFormatUnknown = false;
    attachToList(choice);
    m_paragraphOpen = false;
    m_pageBreakNext = false;
    m_sectionBreakNext = false;
}

void RtfReader::attachToList(const ListChoice &choice)
{
    if (choice.kind != ListChoice::Legacy)
        m_legacyList = nullptr;
    if (choice.kind != ListChoice::Modern && choice.kind != ListChoice::Legacy)
        return;

    QTextListFormat format;
    format.setStyle(choice.look.style);
    format.setIndent(choice.look.indent);
    if (isNumbered(choice.look.style)) {
        if (!choice.look.prefix.isEmpty())
            format.setNumberPrefix(choice.look.prefix);
        if (choice.look.suffix != u".")
            format.setNumberSuffix(choice.look.suffix);
    }

    if (choice.kind == ListChoice::Legacy) {
        if (m_legacyList && m_legacyLook == choice.look) {
            m_legacyList->add(m_cursor.block());
        } else {
            m_legacyList = m_cursor.createList(format);
            m_legacyLook = choice.look;
        }
        return;
    }
    // A new item of a level restarts the numbering of the levels below it.
    const quint64 override = choice.key & ~quint64(0xFF);
    for (quint64 deeper = (choice.key & 0xFF) + 1; deeper < MaxListLevels; ++deeper)
        m_modernLists.remove(override | deeper);
    QTextList *&list = m_modernLists[choice.key];
    if (list)
        list->add(m_cursor.block());
    else
        list = m_cursor.createList(format);
}

void RtfReader::breakParagraph(int tableLevel)
{
    finishParagraph(state().paragraph, tableLevel);
    m_breakPending = true;
}

void RtfReader::enterTableLevel(int level)
{
    while (int(m_tables.size()) > level)
        closeInnermostTable();
    for (int index = 0; index < level; ++index) {
        if (index == int(m_tables.size()))
            openTable();
        OpenTable &table = m_tables[size_t(index)];
        if (!table.rowOpen) {
            table.table->appendRows(1);
            table.row = table.table->rows() - 1;
            table.column = 0;
            table.rowOpen = true;
            table.nextCellPending = false;
            moveToCell(table);
        } else if (table.nextCellPending) {
            table.nextCellPending = false;
            if (table.column + 1 < MaxTableColumns) {
                ++table.column;
                if (table.column >= table.table->columns())
                    table.table->appendColumns(1);
                moveToCell(table);
            } else {
                // Cells past the widest row Word allows share the last one.
                m_breakPending = true;
            }
        }
    }
}

void RtfReader::moveToCell(OpenTable &table)
{
    m_cursor = table.table->cellAt(table.row, table.column).firstCursorPosition();
    m_blockFormatUnknown = true;
    m_breakPending = false;
    m_paragraphOpen = false;
}

void RtfReader::openTable()
{
    const int level = int(m_tables.size()) + 1;
    const bool definitionFits = m_rowDefinitionNested == (level > 1);
    const int columns = definitionFits ? std::max<int>(1, int(m_cellEdges.size())) : 1;
    m_breakPending = false;
    OpenTable table;
    table.table = m_cursor.insertTable(1, columns);
    m_blockFormatUnknown = true;
    m_paragraphOpen = false;
    applyRowDefinition(table, level);
    m_tables.push_back(table);
}

void RtfReader::closeInnermostTable()
{
    QTextTable *table = m_tables.back().table;
    m_tables.pop_back();
    m_cursor.setPosition(table->lastPosition() + 1);
    m_blockFormatUnknown = true;
    m_breakPending = false;
    m_paragraphOpen = false;
}

void RtfReader::applyRowDefinition(OpenTable &table, int level)
{
    if (m_cellEdges.empty() || m_rowDefinitionNested != (level > 1))
        return;
    QList<QTextLength> widths;
    int previous = m_rowLeft;
    for (const int edge : m_cellEdges) {
        widths.append(
            QTextLength(QTextLength::FixedLength, (edge - previous) / TwipsPerDocumentPixel));
        previous = edge;
    }
    if (table.table->columns() < widths.size())
        table.table->appendColumns(int(widths.size()) - table.table->columns());
    // One constraint per column, always: Qt 6.4 writes past the end of a shorter list when it
    // inserts columns later.
    widths.resize(table.table->columns(), QTextLength(QTextLength::VariableLength, 0));
    QTextTableFormat format = table.table->format();
    format.setColumnWidthConstraints(widths);
    table.table->setFormat(format);
}

void RtfReader::endCell(int level)
{
    flushRun();
    enterTableLevel(level);
    finishParagraph(state().paragraph, level);
    m_tables.back().nextCellPending = true;
}

void RtfReader::endRow(int level)
{
    flushRun();
    if (int(m_tables.size()) < level)
        return;
    while (int(m_tables.size()) > level)
        closeInnermostTable();
    if (m_paragraphOpen || !m_marker.empty())
        finishParagraph(state().paragraph, level);
    OpenTable &table = m_tables.back();
    if (table.row == 0)
        applyRowDefinition(table, level);
    if (m_rowDefinitionNested == (level > 1))
        mergeRowCells(table);
    table.rowOpen = false;
    table.nextCellPending = false;
    m_breakPending = false;
}

// Merges the cells of the row just ended as its definition says: across the row now, down
// from the row where a vertical merge began.
void RtfReader::mergeRowCells(OpenTable &table)
{
    QTextTable *const qtTable = table.table;
    const int count = std::min(int(m_cellMerges.size()), qtTable->columns());
    for (int column = 0; column < count; ++column) {
        if (!(m_cellMerges[size_t(column)] & MergeFirst))
            continue;
        int span = 1;
        while (column + span < count && (m_cellMerges[size_t(column + span)] & MergeWithPrevious))
            ++span;
        qtTable->mergeCells(table.row, column, 1, span);
    }
    table.mergeStartRows.resize(size_t(qtTable->columns()), -1);
    for (int column = 0; column < count; ++column) {
        int &start = table.mergeStartRows[size_t(column)];
        const quint8 merge = m_cellMerges[size_t(column)];
        if (merge & MergeFirstVertical) {
            start = table.row;
        } else if ((merge & MergeWithAbove) && start >= 0) {
            const int columns = qtTable->cellAt(start, column).columnSpan();
            qtTable->mergeCells(start, column, table.row - start + 1, columns);
        } else {
            start = -1;
        }
    }
}

void RtfReader::finishPicture()
{
    PictureState picture = std::move(m_picture);
    m_picture = {};
    if (picture.tooLarge || picture.data.isEmpty()
        || (picture.kind != PngPicture && picture.kind != JpegPicture))
        return;

    QBuffer buffer(&picture.data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    const qint64 pixelBytes = qint64(size.width()) * size.height() * 4;
    if (!size.isValid() || size.isEmpty() || pixelBytes > MaxImagePixelBytes
        || m_imageBytes + pixelBytes > MaxAllImagePixelBytes)
        return;
    const QImage image = reader.read();
    if (image.isNull())
        return;
    m_imageBytes += pixelBytes;

    const double width = (picture.goalWidth > 0 ? picture.goalWidth / TwipsPerDocumentPixel
                                                : double(image.width()))
        * picture.scaleX / 100.0;
    const double height = (picture.goalHeight > 0 ? picture.goalHeight / TwipsPerDocumentPixel
                                                  : double(image.height()))
        * picture.scaleY / 100.0;
    const QString name = u"rtf-image:%1"_qs.arg(++m_imageCount);
    m_document->addResource(QTextDocument::ImageResource, QUrl(name), image);

    QTextImageFormat format;
    format.setName(name);
    format.setWidth(width);
    format.setHeight(height);
    flushRun();
    ensureContentPosition(tableLevelOf(state().paragraph));
    m_cursor.insertImage(format);
}

} // namespace

bool looksLikeRtf(QByteArrayView bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);
    while (!bytes.isEmpty() && QChar::isSpace(uchar(bytes.front())))
        bytes = bytes.sliced(1);
    return bytes.startsWith("{\\rtf");
}

std::unique_ptr<QTextDocument> readRtf(QByteArrayView rtf)
{
    return RtfReader(rtf).read();
}

} // namespace Quillmere
