// SPDX-License-Identifier: GPL-3.0-or-later
// Lists: the list and override tables, legacy `\pn` numbering, and the choice between a
// QTextList item and marker text for each list paragraph.
#include "rtfreader_p.h"

#include <QTextList>

#include <algorithm>

namespace Quillmere::Internal {
namespace {

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

} // namespace

void ListTable::addList()
{
    if (m_listDefinitions.size() < size_t(MaxListDefinitions))
        m_listDefinitions.emplace_back();
}

void ListTable::addLevel()
{
    if (!m_listDefinitions.empty()) {
        int &count = m_listDefinitions.back().levelCount;
        count = std::min(count + 1, MaxListLevels + 1);
    }
}

void ListTable::setListId(int id, bool inOverrides)
{
    if (inOverrides)
        m_overrideListId = id;
    else if (!m_listDefinitions.empty() && m_listIndexById.size() < MaxListDefinitions)
        m_listIndexById.insert(id, int(m_listDefinitions.size() - 1));
}

void ListTable::addOverride(int number)
{
    if (m_listIdByOverride.size() < MaxListDefinitions)
        m_listIdByOverride.insert(number, m_overrideListId);
}

LevelDefinition *ListTable::currentLevel()
{
    if (m_listDefinitions.empty())
        return nullptr;
    ListDefinition &list = m_listDefinitions.back();
    if (list.levelCount < 1 || list.levelCount > MaxListLevels)
        return nullptr;
    return &list.levels[size_t(list.levelCount - 1)];
}

const LevelDefinition *ListTable::level(int number, int level) const
{
    const auto id = m_listIdByOverride.constFind(number);
    if (id == m_listIdByOverride.cend())
        return nullptr;
    const auto index = m_listIndexById.constFind(*id);
    if (index == m_listIndexById.cend())
        return nullptr;
    return &m_listDefinitions[size_t(*index)].levels[size_t(level)];
}

void RtfReader::listTableWord(const KeywordEntry &entry, int parameter)
{
    GroupState &group = state();
    const bool overrides = group.destination == Destination::ListOverrideTable;
    LevelDefinition *level = m_lists.currentLevel();
    switch (entry.keyword) {
    case Keyword::List:
        if (!overrides)
            m_lists.addList();
        return;
    case Keyword::ListId:
        m_lists.setListId(parameter, overrides);
        return;
    case Keyword::ListLevelDefinition:
        if (!overrides)
            m_lists.addLevel();
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
        m_lists.beginOverride();
        return;
    case Keyword::ListOverride:
        if (overrides)
            m_lists.addOverride(parameter);
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

void RtfReader::legacyNumberingWord(const KeywordEntry &entry, const RtfToken &token)
{
    GroupState &group = state();
    LegacyNumberingState &legacy = group.paragraph.legacy;
    switch (entry.keyword) {
    case Keyword::LegacyLevel:
        legacy.kind = LegacyKind(entry.value);
        legacy.level = quint8(std::clamp(token.hasParameter ? token.parameter : 0, 0, 9));
        return;
    case Keyword::LegacyStyle:
        legacy.style = qint8(entry.value);
        return;
    case Keyword::LegacyStart:
        legacy.start = token.parameter;
        return;
    case Keyword::LegacyFont:
        group.character.font = token.parameter;
        return;
    case Keyword::LegacyText:
        group.destination = Destination::LegacyNumberingText;
        group.legacyTextAfter = entry.value != 0;
        return;
    default:
        return;
    }
}

void RtfReader::enterListDestination(Keyword keyword)
{
    GroupState &group = state();
    if (keyword == Keyword::ListMarker) {
        group.destination = Destination::ListMarker;
        m_marker.clear();
    } else {
        group.destination = Destination::LegacyNumbering;
        group.paragraph.legacy = {};
        group.paragraph.legacy.texts = int(m_legacyTexts.size());
        m_legacyTexts.emplace_back();
    }
}

void RtfReader::listLevelText(QByteArrayView bytes)
{
    LevelDefinition *level = m_lists.currentLevel();
    for (const char c : bytes) {
        if (!level || level->textComplete || level->text.size() >= MaxShortText)
            break;
        if (c == ';')
            level->textComplete = true;
        else
            level->text.append(QChar(uchar(c)));
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
        // A marker that starts a list paragraph is kept as such, so that a save writes a list.
        const bool keep = choice.kind == ListChoice::Marker
            && m_cursor.position() == m_cursor.block().position();
        for (const MarkerRun &run : m_marker) {
            if (run.state.hidden)
                continue;
            m_cursor.insertText(run.text, charFormat(run.state));
            if (keep)
                m_paragraphMarker += run.text;
        }
    }
    m_marker.clear();
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
    const LevelDefinition *found = m_lists.level(paragraph.listOverride, paragraph.listLevel);
    if (!found)
        return std::nullopt;
    const LevelDefinition &level = *found;

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

} // namespace Quillmere::Internal
