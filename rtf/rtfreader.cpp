// SPDX-License-Identifier: GPL-3.0-or-later
// The read loop: tokens in, groups opened and closed, and every control word sent on by its
// family or by the destination it is read in.
#include "rtfreader.h"
#include "rtfreader_p.h"

#include "rtfcodepages.h"

#include <algorithm>

namespace Quillmere {
namespace Internal {

RtfReader::RtfReader(QByteArrayView rtf, bool keepNotes)
    : m_tokenizer(rtf)
    , m_document(std::make_unique<QTextDocument>())
    , m_cursor(m_document.get())
    , m_input(rtf)
    , m_keepNotes(keepNotes)
{
    m_document->setUndoRedoEnabled(false);
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
        readToken(token);
    }

    // A file cut short keeps what it has: every group still open is closed.
    m_atEnd = true;
    while (m_stack.size() > 1 || (!m_stack.empty() && m_stack.back().sharedBy > 0))
        closeGroup();
    if (!m_stack.empty()) {
        flushBytes();
        flushRun();
        if (m_breakPending || m_paragraphOpen || !m_marker.empty())
            finishParagraph(current().paragraph, int(m_tables.size()));
    }
    for (OpenTable &table : m_tables) {
        endVerticalMerges(table);
        removeSpareRows(table);
    }
    finishReading();
    m_cursor.endEditBlock();

    m_document->setUndoRedoEnabled(true);
    return std::move(m_document);
}

void RtfReader::readToken(const RtfToken &token)
{
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
    m_groupJustOpened = token.kind == RtfToken::Kind::GroupStart;
}

void RtfReader::openGroup()
{
    flushBytes();
    m_fallbackToSkip = 0;
    m_groupStart = m_tokenizer.position() - 1;
    GroupLevel &parent = m_stack.back();
    if (m_stack.size() >= MaxGroupStates
        || parent.sharedBy == std::numeric_limits<qsizetype>::max()) {
        m_overflowDepth = 1;
        return;
    }
    if (!parent.state.ignorable && parent.state.destination != Destination::UnicodeAlternatives) {
        ++parent.sharedBy;
        return;
    }
    GroupState child = parent.state;
    child.ignorable = false;
    if (child.destination == Destination::UnicodeAlternatives)
        child.destination = Destination::UnicodeChoice;
    m_stack.push_back({ child, 0 });
}

void RtfReader::unshareState()
{
    --m_stack.back().sharedBy;
    GroupState copy = m_stack.back().state;
    m_stack.push_back({ std::move(copy), 0 });
}

void RtfReader::closeGroup()
{
    flushBytes();
    m_fallbackToSkip = 0;
    if (m_highSurrogate)
        deliverSurrogate();
    // The outermost group stays, so that the last paragraph can still be finished.
    GroupLevel &innermost = m_stack.back();
    if (innermost.sharedBy > 0) {
        --innermost.sharedBy;
        endDestination(GroupState(innermost.state));
        return;
    }
    if (m_stack.size() == 1) {
        m_finished = true;
        return;
    }
    const bool noteEnds = m_stack.size() == m_noteDepth;
    const GroupState closed = innermost.state;
    m_stack.pop_back();
    if (!m_paragraphExtras.empty())
        releaseExtras();
    endDestination(closed);
    if (noteEnds)
        endNote();
}

void RtfReader::endDestination(const GroupState &closed)
{
    const GroupState &parent = current();
    if (closed.shapePicture && !parent.shapePicture)
        m_shapePictureEnded = true;
    switch (closed.destination) {
    case Destination::FontTable:
        commitFont();
        if (parent.destination != Destination::FontTable)
            keepTable(closed.destination, m_tokenizer.position());
        break;
    case Destination::ColorTable:
    case Destination::ListTable:
    case Destination::ListOverrideTable:
        if (parent.destination != closed.destination)
            keepTable(closed.destination, m_tokenizer.position());
        break;
    case Destination::Picture:
        if (parent.destination != Destination::Picture)
            finishPicture();
        break;
    case Destination::LegacyNumbering:
        if (parent.destination != Destination::LegacyNumbering)
            state().paragraph.legacy = closed.paragraph.legacy;
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
    if (current().destination == Destination::Skip)
        return;
    const KeywordEntry *entry = findKeyword(token.bytes);
    GroupState &group = state();
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
    case Destination::ColorTable:
        m_colors.setComponent(entry->keyword, parameter);
        return;
    case Destination::ListTable:
    case Destination::ListOverrideTable:
        listTableWord(*entry, parameter);
        return;
    case Destination::Picture:
        pictureWord(*entry, token);
        return;
    default:
        break;
    }
    documentWord(*entry, token);
}

// Dispatches a word read in the body or in a destination that takes its words, by family.
void RtfReader::documentWord(const KeywordEntry &entry, const RtfToken &token)
{
    GroupState &group = state();
    switch (entry.family) {
    case KeywordFamily::Document:
        headerWord(entry, token.parameter);
        return;
    case KeywordFamily::Unicode:
        if (entry.keyword == Keyword::UnicodeSkip)
            group.unicodeSkip = std::clamp(token.parameter, 0, MaxUnicodeSkip);
        else
            unicodeCharacter(token.parameter);
        return;
    case KeywordFamily::SpecialCharacter:
        if (takesCharacters(group.destination)) {
            const char16_t character = char16_t(entry.value);
            deliver(QStringView(&character, 1));
        }
        return;
    case KeywordFamily::CharacterFormat:
        characterWord(entry, token);
        return;
    case KeywordFamily::ParagraphFormat:
        paragraphWord(entry, token);
        return;
    case KeywordFamily::Break:
        breakWord(entry);
        return;
    case KeywordFamily::Table:
        tableWord(entry, token);
        return;
    case KeywordFamily::LegacyNumbering:
        if (group.destination == Destination::LegacyNumbering)
            legacyNumberingWord(entry, token);
        return;
    case KeywordFamily::Destination:
        if (entry.keyword == Keyword::Note)
            enterNote(entry);
        else
            enterDestination(entry.keyword);
        return;
    case KeywordFamily::TableEntry:
        // A list definition outside the list table has nowhere to go; its level texts
        // must not become body text.
        if (entry.keyword == Keyword::List || entry.keyword == Keyword::ListLevelDefinition
            || entry.keyword == Keyword::LevelText)
            group.destination = Destination::Skip;
        return;
    case KeywordFamily::BorderOrShading:
        borderWord(entry, token);
        return;
    }
}

void RtfReader::headerWord(const KeywordEntry &entry, int parameter)
{
    switch (entry.keyword) {
    case Keyword::Ansi:
        m_headerCodePage = entry.value;
        break;
    case Keyword::AnsiCodePage:
        m_ansiCodePage = codePageName(parameter).isEmpty() ? 0 : parameter;
        break;
    case Keyword::DefaultFont:
        m_defaultFont = parameter;
        break;
    default:
        return;
    }
    m_codePageCached = false;
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
        m_tableStart = m_groupStart;
        group.destination = Destination::FontTable;
        m_fonts.clearEntry();
        return;
    case Keyword::ColorTable:
        m_tableStart = m_groupStart;
        group.destination = Destination::ColorTable;
        m_colors.clear();
        return;
    case Keyword::ListTable:
        m_tableStart = m_groupStart;
        group.destination = Destination::ListTable;
        return;
    case Keyword::ListOverrideTable:
        m_tableStart = m_groupStart;
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
    enterBodyDestination(keyword);
}

void RtfReader::enterBodyDestination(Keyword keyword)
{
    switch (keyword) {
    case Keyword::Field:
    case Keyword::FieldInstruction:
    case Keyword::FieldResult:
        enterFieldDestination(keyword);
        return;
    case Keyword::Picture:
    case Keyword::ShapePicture:
    case Keyword::NonShapePicture:
        enterPictureDestination(keyword);
        return;
    case Keyword::ListMarker:
    case Keyword::LegacyNumbering:
        enterListDestination(keyword);
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
    const GroupState &group = current();
    if (group.destination == Destination::Skip)
        return;
    switch (symbol) {
    case '*':
        // Elsewhere in a group (StarWriter writes `\b0\*\cs7 text`) the group's text is kept.
        if (m_groupJustOpened)
            state().ignorable = true;
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
    switch (current().destination) {
    case Destination::Body:
        // The Symbol font draws Greek letters and signs for most ASCII bytes.
        if (m_bytes.isEmpty() && isPlainAscii(bytes)
            && codePage(current().character) != SymbolFontCodePage) {
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
    case Destination::FontRealName:
        fontTableText(bytes);
        return;
    case Destination::ColorTable:
        colorTableText(bytes);
        return;
    case Destination::ListLevelText:
        listLevelText(bytes);
        return;
    case Destination::Picture:
        pictureText(bytes);
        return;
    case Destination::UnicodeChoice:
        state().destination = Destination::Skip;
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
    if (current().destination == Destination::Body) {
        m_bytes.append(value);
        return;
    }
    literalBytes(QByteArrayView(&value, 1));
}

void RtfReader::binary(QByteArrayView data)
{
    flushBytes();
    m_fallbackToSkip = 0;
    if (current().destination == Destination::Picture)
        pictureData(data);
}

} // namespace Internal

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
    return Internal::RtfReader(rtf).read();
}

} // namespace Quillmere
