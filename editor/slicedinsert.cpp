// SPDX-License-Identifier: GPL-3.0-or-later
#include "slicedinsert.h"

#include "documenttext.h"
#include "rtfproperties.h"

#include <QCoreApplication>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextFrame>

namespace Quillmere {
namespace {

// About 10 ms of work on a slow machine: small enough that the breaks come on time, large
// enough that their cost does not show.
constexpr int SliceUnits = 128 * 1024;
constexpr qint64 LongestStallMs = 40;

// Whether a slice may end where `block` starts: a part inserted on its own makes its own
// tables and lists, so a cut must fall outside both, and text read on its own must keep the
// two markers where parts of one table meet together.
bool canCutBefore(const QTextBlock &block)
{
    if (block.textList() || block.blockFormat().boolProperty(TableContinuation))
        return false;
    const QTextDocument *document = block.document();
    return QTextCursor(block).currentFrame() == document->rootFrame();
}

// Where the slice that begins at `start` ends, at most `to`.
int sliceEnd(const QTextDocument &source, int start, int to)
{
    if (to - start <= SliceUnits)
        return to;
    for (QTextBlock block = source.findBlock(start + SliceUnits); block.isValid();
         block = block.next()) {
        if (block.position() >= to)
            break;
        if (block.position() > start && canCutBefore(block))
            return block.position();
    }
    return to;
}

} // namespace

PaintBreaks::PaintBreaks()
{
    m_sinceBreak.start();
}

void PaintBreaks::take()
{
    if (m_sinceBreak.elapsed() < LongestStallMs)
        return;
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    m_sinceBreak.restart();
}

void insertTextInSlices(QTextCursor &cursor, QStringView text, const QTextCharFormat &format,
                        PaintBreaks &breaks)
{
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = std::min(text.size(), start + SliceUnits);
        // A CR LF pair split between slices would become two line breaks.
        if (end < text.size() && text[end - 1] == u'\r' && text[end] == u'\n')
            ++end;
        cursor.insertText(text.sliced(start, end - start).toString(), format);
        start = end;
        if (start < text.size())
            breaks.take();
    }
}

void insertDocumentPartInSlices(QTextCursor &cursor, const QTextDocument &source, int from, int to,
                                PaintBreaks &breaks)
{
    QTextCursor part(const_cast<QTextDocument *>(&source));
    while (from < to) {
        const int end = sliceEnd(source, from, to);
        part.setPosition(from);
        part.setPosition(end, QTextCursor::KeepAnchor);
        cursor.insertFragment(QTextDocumentFragment(part));
        from = end;
        if (from < to)
            breaks.take();
    }
}

QString documentTextInSlices(const QTextDocument &document, PaintBreaks &breaks)
{
    // QTextDocument's raw text leaves out the last paragraph's separator.
    const int end = document.characterCount() - 1;
    QString text;
    text.reserve(qsizetype(end) + document.blockCount());
    QTextCursor part(const_cast<QTextDocument *>(&document));
    for (int from = 0; from < end;) {
        const int to = sliceEnd(document, from, end);
        part.setPosition(from);
        part.setPosition(to, QTextCursor::KeepAnchor);
        text += toDocumentText(joinTableParts(document, part.selectedText(), from));
        from = to;
        if (from < end)
            breaks.take();
    }
    return text;
}

QString copyInSlices(QStringView text, PaintBreaks &breaks)
{
    QString copy(text.size(), Qt::Uninitialized);
    auto *target = copy.data();
    for (qsizetype start = 0; start < text.size(); start += SliceUnits) {
        const QStringView slice
            = text.sliced(start, std::min<qsizetype>(SliceUnits, text.size() - start));
        std::copy(slice.begin(), slice.end(), target + start);
        breaks.take();
    }
    return copy;
}

} // namespace Quillmere
