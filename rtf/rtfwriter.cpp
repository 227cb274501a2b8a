// SPDX-License-Identifier: GPL-3.0-or-later
#include "rtfwriter.h"
#include "rtfwriter_p.h"

#include "rtfcodepages.h"
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

// The runs of the block's characters from `from` up to `to`.
void RtfWriter::writeRuns(const QTextBlock &block, qsizetype from, qsizetype to)
{
    const QString text = block.text();
    const qsizetype blockStart = block.position();
    QString openLink;
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        const qsizetype start = fragment.position() - blockStart;
        if (start + fragment.length() <= from)
            continue;
        if (start >= to)
            break;
        const RunFormat &run = runFormat(fragment.charFormatIndex());
        if (run.href != openLink) {
            if (!openLink.isEmpty())
                closeLink();
            if (!run.href.isEmpty())
                openLinkField(run.href);
            openLink = run.href;
        }
        const qsizetype pieceStart = std::max(start, from);
        const QStringView piece = QStringView(text).mid(
            pieceStart, std::min<qsizetype>(start + fragment.length(), to) - pieceStart);
        const QTextFormat &format = m_formats.at(fragment.charFormatIndex());
        if (run.image) {
            const QTextImageFormat image = format.toImageFormat();
            for (qsizetype i = 0; i < piece.size(); ++i)
                writeImage(image);
        } else if ((run.note || run.noteNumber) && pieceStart == start) {
            writeMarkedRun(format, run, piece);
            continue;
        } else {
            writeTextRun(run, piece);
        }
        if (run.note)
            writeNotes(format);
    }
    if (!openLink.isEmpty())
        closeLink();
}

void RtfWriter::writeTextRun(const RunFormat &run, QStringView text)
{
    m_out.open();
    m_out.words(run.keywords);
    if (run.symbolFont)
        writeSymbolText(text, run.symbolFont == 2);
    else
        m_out.writeText(text);
    m_out.close();
}

// A run that starts with a note's mark: the notes go right after the mark, and text typed
// after it, which took on its format, goes after them. The automatic number stays one
// while its characters still say it, and where this is the copy of the mark that gets the
// notes, or the number inside a note.
void RtfWriter::writeMarkedRun(const QTextFormat &format, const RunFormat &run, QStringView piece)
{
    const QString number = run.noteNumber ? format.stringProperty(NoteNumber) : QString();
    const bool notesDue
        = run.note && !outermost().m_notesWritten.count(format.intProperty(KeptNoteId));
    qsizetype markLength = piece.size() > 1 && piece.front().isHighSurrogate() ? 2 : 1;
    if (!number.isEmpty() && piece.startsWith(number) && (notesDue || !run.note)) {
        markLength = number.size();
        m_out.open();
        m_out.words(run.keywords);
        m_out.word("\\chftn");
        m_out.close();
    } else {
        writeTextRun(run, piece.first(qMin(markLength, piece.size())));
    }
    if (run.note)
        writeNotes(format);
    if (markLength < piece.size())
        writeTextRun(run, piece.sliced(markLength));
}

// Readers map a symbol font's bytes to the characters it draws, so each character goes out
// as the byte that the reader maps back to it, or as itself in `\uN`.
void RtfWriter::writeSymbolText(QStringView text, bool symbolFont)
{
    for (const QChar character : text) {
        const char16_t unit = character.unicode();
        const int byte = symbolByte(unit, symbolFont);
        if (byte >= 0x80) {
            m_out.hexByte(uchar(byte));
        } else if (byte >= 0) {
            const char16_t ascii = char16_t(byte);
            m_out.writeText(QStringView(&ascii, 1));
        } else if (unit < 0x20 || unit == 0x00A0 || unit == 0x00AD || unit == 0x2011
                   || unit == 0x2028) {
            m_out.writeCharacter(unit);
        } else {
            m_out.unicodeUnit(unit);
        }
    }
}

void RtfWriter::writeTextGroup(const char *keyword, const QString &text, bool ignorable)
{
    if (text.isEmpty())
        return;
    m_out.open();
    if (ignorable)
        m_out.symbol("\\*");
    m_out.word(keyword);
    m_out.writeText(text);
    m_out.close();
}

namespace {

// A quote would end the field's argument; in a URL it means the same percent-encoded.
// Backslashes stay as they are (Windows paths): readers take a quoted argument as written.
QString escapedHref(QString href)
{
    return href.replace(u'"', u"%22"_qs);
}

} // namespace

void RtfWriter::openLinkField(const QString &href)
{
    m_out.open();
    m_out.word("\\field");
    m_out.open();
    m_out.symbol("\\*");
    m_out.word("\\fldinst");
    m_out.open();
    m_out.writeText(u"HYPERLINK \""_qs + escapedHref(href) + u'"');
    m_out.close();
    m_out.close();
    m_out.open();
    m_out.word("\\fldrslt");
}

void RtfWriter::closeLink()
{
    m_out.close();
    m_out.close();
}

} // namespace Quillmere::Internal

namespace Quillmere {

QByteArray writeRtf(const QTextDocument &document)
{
    return Internal::RtfWriter(document).write();
}

} // namespace Quillmere
