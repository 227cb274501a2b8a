// SPDX-License-Identifier: GPL-3.0-or-later
#include "slicedinsert.h"

#include "documenttext.h"
#include "rtfproperties.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextFrame>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>

#include <sys/resource.h>

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

// The units Qt adds to a document's text buffer for `text`: the text itself, and a paragraph
// separator for each line break, which Qt appends besides the break it keeps.
qsizetype bufferUnitsFor(QStringView text)
{
    qsizetype breaks = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar unit = text[i];
        if (unit == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            continue;
        if (unit == u'\n' || unit == u'\r' || unit == QChar::ParagraphSeparator)
            ++breaks;
    }
    return text.size() + breaks;
}

// bufferUnitsFor(text), guessed from its first slice: counting the line breaks of megabytes
// takes tens of milliseconds.
qsizetype expectedBufferUnits(QStringView text)
{
    const QStringView head = text.first(std::min<qsizetype>(text.size(), SliceUnits));
    if (head.isEmpty())
        return 0;
    return text.size() + (bufferUnitsFor(head) - head.size()) * text.size() / head.size();
}

// Under a limit on address space, or where the kernel counts every allocation against a
// commit limit, room held but never used could make Qt's own allocations fail, which Qt does
// not survive.
bool mayHoldUnusedMemory()
{
    if (rlimit limit {}; getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur != RLIM_INFINITY)
        return false;
    static const bool strictCommit = [] {
        QFile policy(u"/proc/sys/vm/overcommit_memory"_qs);
        return !policy.open(QIODevice::ReadOnly) || policy.readAll().trimmed() == "2";
    }();
    return !strictCommit;
}

// Qt keeps a document's text in one buffer that doubles as it grows. After a large document is
// freed, glibc hands that buffer the freed holes in its heap, one after another, until it
// outgrows the largest; the move after that copies tens of megabytes into fresh pages in one
// go, which freezes the window for about 200 ms on a slow machine. While a large text goes in,
// blocks of the buffer's last two sizes hold the largest holes, so that the buffer leaves the
// heap while still small for a mapping of its own, which grows without a copy. Each block is
// given back just before the buffer reaches its size, for a buffer still in the heap to move
// into. Where the heap has no such hole, the blocks are mappings never written to.
class BufferRoom
{
public:
    BufferRoom(qsizetype unitsNow, qsizetype unitsToCome)
        : m_units(unitsNow)
    {
        if (!mayHoldUnusedMemory())
            return;
        auto bytes = std::bit_ceil(quint64(unitsNow + unitsToCome) * sizeof(QChar)
                                   + BufferHeaderBytes);
        for (Block &block : m_blocks) {
            if (bytes < SmallestBlockBytes)
                break;
            block = { bytes, std::malloc(bytes + BufferHeaderBytes) };
            bytes /= 2;
        }
    }
    ~BufferRoom()
    {
        for (const Block &block : m_blocks)
            std::free(block.memory);
    }
    Q_DISABLE_COPY_MOVE(BufferRoom)

    // To be called before `slice` goes into the buffer. Once no block is held, the slices need
    // no counting.
    void grow(QStringView slice)
    {
        if (std::none_of(m_blocks.begin(), m_blocks.end(),
                         [](const Block &block) { return block.memory; }))
            return;
        m_units += bufferUnitsFor(slice);
        const quint64 bytes = quint64(m_units) * sizeof(QChar) + BufferHeaderBytes;
        for (Block &block : m_blocks) {
            if (block.memory && bytes > block.bytes / 2) {
                std::free(block.memory);
                block.memory = nullptr;
            }
        }
    }

private:
    // Qt's header and the terminating null, rounded up.
    static constexpr quint64 BufferHeaderBytes = 64;
    // Below this, a copy into fresh pages takes under about 50 ms on a slow machine.
    static constexpr quint64 SmallestBlockBytes = quint64(32) << 20;
    struct Block
    {
        quint64 bytes = 0;
        void *memory = nullptr;
    };
    std::array<Block, 2> m_blocks;
    qsizetype m_units = 0;
};

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
    BufferRoom room(cursor.document()->characterCount(), expectedBufferUnits(text));
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = std::min(text.size(), start + SliceUnits);
        // A CR LF pair split between slices would become two line breaks.
        if (end < text.size() && text[end - 1] == u'\r' && text[end] == u'\n')
            ++end;
        const QStringView slice = text.sliced(start, end - start);
        room.grow(slice);
        cursor.insertText(slice.toString(), format);
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
