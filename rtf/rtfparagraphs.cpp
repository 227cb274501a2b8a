// SPDX-License-Identifier: GPL-3.0-or-later
// Paragraphs: their formatting, the breaks that end them, and the runs of text inserted
// into them.
#include "rtfproperties.h"
#include "rtfreader_p.h"

#include <algorithm>

namespace Quillmere::Internal {

void RtfReader::paragraphWord(const KeywordEntry &entry, const RtfToken &token)
{
    ParagraphState &paragraph = state().paragraph;
    const int twips = std::clamp(token.parameter, -MaxTwips, MaxTwips);
    switch (entry.keyword) {
    case Keyword::ParagraphDefaults:
        paragraph = {};
        m_borderTarget = BorderTarget::None;
        return;
    case Keyword::Alignment:
        paragraph.alignment = entry.value;
        return;
    case Keyword::LeftIndent:
        paragraph.left = twips;
        return;
    case Keyword::RightIndent:
        paragraph.right = twips;
        return;
    case Keyword::FirstLineIndent:
        paragraph.firstLine = twips;
        return;
    case Keyword::SpaceBefore:
        paragraph.before = std::max(0, twips);
        return;
    case Keyword::SpaceAfter:
        paragraph.after = std::max(0, twips);
        return;
    case Keyword::PageBreakBefore:
        paragraph.pageBreakBefore = !token.hasParameter || token.parameter != 0;
        return;
    case Keyword::InTable:
        paragraph.inTable = !token.hasParameter || token.parameter != 0;
        return;
    case Keyword::TableLevel:
        paragraph.tableLevel = std::clamp(token.parameter, 0, MaxTableDepth);
        return;
    case Keyword::ListOverride:
        paragraph.listOverride = token.parameter;
        return;
    case Keyword::ListLevel:
        paragraph.listLevel = std::clamp(token.parameter, 0, MaxListLevels - 1);
        return;
    case Keyword::LineSpacing:
    case Keyword::LineSpacingMultiple:
    case Keyword::TabKind:
    case Keyword::TabLeader:
    case Keyword::TabStop:
    case Keyword::BarTab:
        tabWord(entry, token);
        return;
    default:
        return;
    }
}

void RtfReader::breakWord(const KeywordEntry &entry)
{
    if (entry.keyword == Keyword::SectionNoBreak) {
        m_sectionBreakNext = false;
        return;
    }
    if (state().destination != Destination::Body)
        return;
    const int level = tableLevelOf(state().paragraph);
    switch (entry.keyword) {
    case Keyword::Paragraph:
        breakParagraph(level);
        return;
    case Keyword::Page:
        breakParagraph(level);
        m_pageBreakNext = true;
        return;
    case Keyword::Section:
        breakParagraph(level);
        m_sectionBreakNext = true;
        return;
    case Keyword::FootnoteNumber:
        insertNoteNumber();
        return;
    default:
        return;
    }
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
    applyParagraphLook(paragraph, format);
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
    if (m_breakPending && !m_tables.empty()
        && ++m_tables.back().cellParagraphs >= MaxParagraphsPerCell) {
        continueCellInNextPart();
    } else if (m_breakPending) {
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
    QTextBlockFormat format = blockFormat(paragraph, listItem);
    if (!m_paragraphMarker.isEmpty()) {
        format.setProperty(KeptListMarker, m_paragraphMarker);
        m_paragraphMarker.clear();
    }
    if (!format.isEmpty() || (m_blockFormatUnknown && !m_cursor.blockFormat().isEmpty()))
        m_cursor.setBlockFormat(format);
    m_blockFormatUnknown = false;
    attachToList(choice);
    m_paragraphOpen = false;
    m_pageBreakNext = false;
    m_sectionBreakNext = false;
}

void RtfReader::breakParagraph(int tableLevel)
{
    finishParagraph(state().paragraph, tableLevel);
    m_breakPending = true;
}

} // namespace Quillmere::Internal
