// SPDX-License-Identifier: GPL-3.0-or-later
// Headers, footers, footnotes and comments: each is kept aside whole, as RTF of its own read
// and written again, and attached to the document or to its reference mark.
#include "rtfnotes.h"
#include "rtfproperties.h"
#include "rtfreader_p.h"
#include "rtfwriter.h"

#include <QFont>
#include <QTextBlock>
#include <QTextFrame>

namespace Quillmere::Internal {
namespace {

// Font, colour and list tables larger than this are not handed to each note: a hostile file
// could otherwise make every note read megabytes again.
constexpr qsizetype MaxTableBytesForNotes = qsizetype(256) << 10;

// Whether `\ftnalt` stands in the footnote's own group, making it an endnote.
bool isEndnote(QByteArrayView content)
{
    RtfTokenizer tokenizer(content);
    int depth = 0;
    for (RtfToken token = tokenizer.next(); token.kind != RtfToken::Kind::End;
         token = tokenizer.next()) {
        if (token.kind == RtfToken::Kind::GroupStart)
            ++depth;
        else if (token.kind == RtfToken::Kind::GroupEnd)
            --depth;
        else if (depth == 0 && token.kind == RtfToken::Kind::ControlWord && token.bytes == "ftnalt")
            return true;
    }
    return false;
}

} // namespace

std::unique_ptr<QTextDocument> readNoteContent(QByteArrayView rtf)
{
    return RtfReader(rtf, false).read();
}

void RtfReader::keepTable(Destination table, qsizetype end)
{
    if (!m_keepNotes || m_tableStart < 0 || end <= m_tableStart)
        return;
    const qsizetype index = qsizetype(table == Destination::FontTable        ? 0
                                          : table == Destination::ColorTable ? 1
                                          : table == Destination::ListTable  ? 2
                                                                             : 3);
    const qsizetype length = end - m_tableStart;
    m_noteTables[index] = length <= MaxTableBytesForNotes
        ? m_input.sliced(m_tableStart, length).toByteArray()
        : QByteArray();
    m_tableStart = -1;
}

void RtfReader::enterNote(const KeywordEntry &entry)
{
    GroupState &group = state();
    const bool inBody = group.destination == Destination::Body;
    group.destination = Destination::Skip;
    if (!m_keepNotes || !inBody)
        return;
    m_noteDepth = m_stack.size();
    m_noteGroup = entry.value;
    m_noteWord = QByteArray(entry.word.data(), qsizetype(entry.word.size()));
    m_noteStart = m_tokenizer.position();
    // The note starts in the character formatting around it.
    m_notePrefix = "\\uc" + QByteArray::number(group.unicodeSkip);
    if (group.character.font >= 0)
        m_notePrefix += "\\f" + QByteArray::number(group.character.font);
    if (group.character.halfPoints > 0)
        m_notePrefix += "\\fs" + QByteArray::number(group.character.halfPoints);
}

// A document of the note's content alone, in the code page and tables of this one.
QByteArray RtfReader::noteDocument(QByteArrayView content) const
{
    QByteArray rtf = "{\\rtf1\\ansi\\ansicpg";
    rtf += QByteArray::number(m_ansiCodePage ? m_ansiCodePage : m_headerCodePage);
    rtf += "\\deff" + QByteArray::number(m_defaultFont);
    for (const QByteArray &table : m_noteTables)
        rtf += table;
    rtf += "\\pard\\plain" + m_notePrefix + ' ';
    rtf += content;
    rtf += '}';
    return rtf;
}

void RtfReader::endNote()
{
    m_noteDepth = 0;
    qsizetype end = m_tokenizer.position();
    // The closing brace is not the note's, unless the file ended inside the note.
    if (!m_atEnd)
        --end;
    const QByteArrayView source = m_input.sliced(m_noteStart, qMax(0, end - m_noteStart));
    const auto content = readNoteContent(noteDocument(source));
    switch (m_noteGroup) {
    case CommentIdGroup:
        m_commentInitials = content->toPlainText().left(MaxShortText);
        return;
    case CommentAuthorGroup:
        m_commentAuthor = content->toPlainText().left(MaxShortText);
        return;
    case HeaderGroup:
        m_headers << m_noteWord << writtenNote(*content);
        return;
    default:
        break;
    }
    QByteArrayList note;
    if (m_noteGroup == CommentGroup) {
        note << CommentWord << std::exchange(m_commentInitials, QString()).toUtf8()
             << std::exchange(m_commentAuthor, QString()).toUtf8();
    } else {
        note << (isEndnote(source) ? EndnoteWord : FootnoteWord) << QByteArray() << QByteArray();
    }
    note << writtenNote(*content);
    anchorNote(note);
}

// The note as our writer writes it, in the font RTF means where its text names none.
QByteArray RtfReader::writtenNote(QTextDocument &content) const
{
    if (const FontInfo *font = m_fonts.find(m_defaultFont))
        content.setDefaultFont(QFont(font->family, 12));
    return writeRtf(content);
}

// A note belongs to the mark before it: the automatic number just read, else the character
// before, else, at the start of a paragraph, the paragraph itself. Notes that follow one mark
// are kept together on it.
void RtfReader::anchorNote(const QByteArrayList &note)
{
    flushRun();
    ensureContentPosition(tableLevelOf(state().paragraph));
    const int position = m_cursor.position();
    const int blockStart = m_cursor.block().position();
    QTextCursor mark(m_document.get());
    if (position > blockStart) {
        mark.setPosition(position == m_numberEnd && m_numberStart >= blockStart ? m_numberStart
                                                                                : position - 1);
        mark.setPosition(position, QTextCursor::KeepAnchor);
    }
    const QTextCharFormat current
        = position > blockStart ? mark.charFormat() : m_cursor.blockCharFormat();
    QTextCharFormat format;
    format.setProperty(
        KeptNotes, QVariant::fromValue(current.property(KeptNotes).value<QByteArrayList>() + note));
    format.setProperty(KeptNoteId, ++m_noteCount);
    if (position > blockStart)
        mark.mergeCharFormat(format);
    else
        m_cursor.mergeBlockCharFormat(format);
}

void RtfReader::insertNoteNumber()
{
    flushRun();
    const QString number = QString::number(++m_footnotes);
    deliver(number);
    if (m_runText.isEmpty())
        return;
    QTextCharFormat format = charFormat(m_runState);
    format.setProperty(NoteNumber, number);
    m_numberStart = m_cursor.position();
    m_cursor.insertText(m_runText, format);
    m_numberEnd = m_cursor.position();
    m_runText.resize(0);
}

void RtfReader::finishReading()
{
    if (m_headers.isEmpty())
        return;
    QTextFrameFormat format = m_document->rootFrame()->frameFormat();
    format.setProperty(KeptHeaders, QVariant::fromValue(m_headers));
    m_document->rootFrame()->setFrameFormat(format);
}

} // namespace Quillmere::Internal
