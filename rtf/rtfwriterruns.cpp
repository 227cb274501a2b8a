// SPDX-License-Identifier: GPL-3.0-or-later
// Runs of text: escaped, in a symbol font's bytes, inside links, and around notes' marks.
#include "rtfwriter_p.h"

#include "rtfcodepages.h"
#include "rtfproperties.h"

#include <QTextBlock>

#include <algorithm>

namespace Quillmere::Internal {

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
