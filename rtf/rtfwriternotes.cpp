// SPDX-License-Identifier: GPL-3.0-or-later
// Headers, footers, footnotes and comments, which the reader keeps as RTF on the formats:
// each is read and written again into the file being written.
#include "rtfwriter_p.h"

#include "rtfnotes.h"
#include "rtfproperties.h"

#include <QTextDocument>

#include <algorithm>

namespace Quillmere::Internal {

void RtfWriter::writeHeaders()
{
    const QByteArrayList headers
        = m_document.rootFrame()->frameFormat().property(KeptHeaders).value<QByteArrayList>();
    for (qsizetype i = 0; i + 1 < headers.size(); i += 2) {
        const QByteArray &word = headers.at(i);
        // The word is written as it is: it must be one.
        if (word.isEmpty() || word.size() > 32
            || !std::all_of(word.begin(), word.end(), [](char c) { return c >= 'a' && c <= 'z'; }))
            continue;
        m_out.open();
        m_out.word(("\\" + word).constData());
        writeNoteContent(headers.at(i + 1));
        m_out.close();
        m_out.lineEnd();
    }
}

// Notes go back after their mark, once however often the mark was copied.
void RtfWriter::writeNotes(const QTextFormat &format)
{
    if (!outermost().m_notesWritten.insert(format.intProperty(KeptNoteId)).second)
        return;
    const QByteArrayList notes = format.property(KeptNotes).value<QByteArrayList>();
    for (qsizetype i = 0; i + 3 < notes.size(); i += 4) {
        m_out.open();
        if (notes[i] == CommentWord) {
            writeTextGroup("\\atnid", QString::fromUtf8(notes[i + 1]), true);
            writeTextGroup("\\atnauthor", QString::fromUtf8(notes[i + 2]), true);
            m_out.word("\\chatn");
            m_out.open();
            m_out.symbol("\\*");
            m_out.word("\\annotation");
            writeNoteContent(notes[i + 3]);
            m_out.close();
        } else {
            m_out.word("\\footnote");
            if (notes[i] == EndnoteWord)
                m_out.word("\\ftnalt");
            writeNoteContent(notes[i + 3]);
        }
        m_out.close();
    }
}

// The content is read and written again rather than copied, so that whatever it holds, it
// uses this file's fonts and colours and its groups are balanced.
void RtfWriter::writeNoteContent(const QByteArray &rtf)
{
    const auto content = readNoteContent(rtf);
    RtfWriter inner(*content, *this);
    inner.writeItems(content->rootFrame()->begin());
    inner.m_out.finishLine();
    m_out.embed(inner.m_out.bytes);
}

} // namespace Quillmere::Internal
