// SPDX-License-Identifier: GPL-3.0-or-later
// The walk through the document's frames, tables and blocks, and the file's header.
#include "rtfwriter.h"
#include "rtfwriter_p.h"

#include "rtfproperties.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QTextList>
#include <QTextTable>

#include <algorithm>

namespace Quillmere::Internal {

namespace {

bool anyHasNotes(const QList<QTextFormat> &formats)
{
    return std::any_of(formats.cbegin(), formats.cend(),
                       [](const QTextFormat &format) { return format.hasProperty(KeptNotes); });
}

} // namespace

RtfWriter::RtfWriter(const QTextDocument &document)
    : m_document(document)
    , m_formats(document.allFormats())
    , m_runFormats(size_t(m_formats.size()))
    , m_paragraphLooks(size_t(m_formats.size()), -1)
    , m_hasNotes(anyHasNotes(m_formats))
{
    fontIndex(familyOf(document.defaultFont()));
}

RtfWriter::RtfWriter(const QTextDocument &document, RtfWriter &outer)
    : m_document(document)
    , m_formats(document.allFormats())
    , m_runFormats(size_t(m_formats.size()))
    , m_paragraphLooks(size_t(m_formats.size()), -1)
    , m_hasNotes(anyHasNotes(m_formats))
    , m_outermost(&outer.outermost())
{
}

QByteArray RtfWriter::write()
{
    m_out.bytes.reserve(m_document.characterCount() * 5 / 4 + 1024);
    writeHeaders();
    writeItems(m_document.rootFrame()->begin());

    m_out.close();
    m_out.finishLine();

    RtfOutput header;
    header.bytes.reserve(m_out.bytes.size() + 256 + 32 * qsizetype(m_fonts.size())
                         + 24 * qsizetype(m_colors.size()));
    header.open();
    header.word("\\rtf1");
    header.word("\\ansi");
    header.word("\\ansicpg", 1252);
    header.word("\\deff", 0);
    header.word("\\uc", 1);
    writeFontTable(header);
    writeColorTable(header);
    writeMarkerLists(header);
    header.open();
    header.symbol("\\*");
    header.word("\\generator");
    header.writeText(u"Quillmere;");
    header.close();
    header.finishLine();
    header.bytes += m_out.bytes;
    return std::move(header.bytes);
}

// Walks the blocks and frames of one frame or table cell in document order.
void RtfWriter::writeItems(QTextFrame::iterator it)
{
    for (bool first = true; !it.atEnd(); ++it, first = false) {
        if (QTextFrame *frame = it.currentFrame()) {
            auto *table = qobject_cast<QTextTable *>(frame);
            if (table)
                writeTable(*table);
            else
                writeItems(frame->begin());
            continue;
        }
        // A frame that starts with a table always has an empty block before it, which the
        // table would become the second paragraph of if it were written.
        if (first && it.currentBlock().length() <= 1 && tableFollows(it))
            continue;
        if (it.currentBlock().blockFormat().boolProperty(TableContinuation))
            continue;
        writeBlock(it.currentBlock());
    }
}

void RtfWriter::writeParagraphStart()
{
    m_out.word("\\pard");
    if (m_tableDepth > 0)
        m_out.word("\\intbl");
    if (m_tableDepth > 1)
        m_out.word("\\itap", m_tableDepth);
}

bool RtfWriter::tableFollows(QTextFrame::iterator it) const
{
    ++it;
    return !it.atEnd() && qobject_cast<QTextTable *>(it.currentFrame());
}

// Paragraphs are ended lazily, so that the last one of the document gets no \par and the
// last one of a cell gets \cell instead.
void RtfWriter::endParagraph()
{
    if (!m_paragraphOpen)
        return;
    m_out.word("\\par");
    m_out.lineEnd();
    m_paragraphOpen = false;
}

void RtfWriter::writeBlock(const QTextBlock &block)
{
    endParagraph();
    writeParagraphStart();
    QTextList *list = block.textList();
    const QTextBlockFormat format = block.blockFormat();
    writeParagraphFormat(format, list);
    if (hasParagraphLook(block.blockFormatIndex()))
        writeParagraphLook(format);
    qsizetype markerLength = 0;
    if (list) {
        writeListMarker(block, *list);
    } else if (format.hasProperty(KeptListMarker)) {
        const QString marker = format.stringProperty(KeptListMarker);
        if (block.text().startsWith(marker)) {
            writeKeptMarker(block, marker);
            markerLength = marker.size();
        }
    }
    // Finding a block's character format costs a search through the document.
    if (m_hasNotes && m_formats.at(block.charFormatIndex()).hasProperty(KeptNotes))
        writeNotes(m_formats.at(block.charFormatIndex()));
    writeRuns(block, markerLength);
    m_paragraphOpen = true;
}

} // namespace Quillmere::Internal

namespace Quillmere {

QByteArray writeRtf(const QTextDocument &document)
{
    return Internal::RtfWriter(document).write();
}

} // namespace Quillmere
