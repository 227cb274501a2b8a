// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QStringView>

class QTextCharFormat;
class QTextCursor;
class QTextDocument;

namespace Quillmere {

// Lets the window repaint now and then during a long edit of a document that is not shown.
// Keyboard and mouse input wait in the queue until the edit is done, so nothing the person does
// can land in a document that is about to be replaced.
class PaintBreaks
{
public:
    PaintBreaks();
    // Processes the pending events other than input once enough time has passed since the last
    // break.
    void take();

private:
    QElapsedTimer m_sinceBreak;
};

// Inserts `text` at `cursor` in `format` exactly as QTextCursor::insertText does, a slice at a
// time with paint breaks between slices. Meant for a document that is not shown: one that is
// lays out every slice at once.
void insertTextInSlices(QTextCursor &cursor, QStringView text, const QTextCharFormat &format,
                        PaintBreaks &breaks);

// Inserts the part of `source` from `from` to `to`, formats and all, at `cursor`, a slice at a
// time with paint breaks between slices. Tables, frames and lists are never cut, so each still
// comes out as one.
void insertDocumentPartInSlices(QTextCursor &cursor, const QTextDocument &source, int from, int to,
                                PaintBreaks &breaks);

// The document's text as documentText() gives it (joinTableParts, then toDocumentText), read a
// slice at a time with paint breaks between slices.
[[nodiscard]] QString documentTextInSlices(const QTextDocument &document, PaintBreaks &breaks);

// A copy of `text` made a slice at a time with paint breaks between slices: the first writes to
// fresh memory cost far more than the copying, and a copy nobody else holds can be rewritten in
// place.
[[nodiscard]] QString copyInSlices(QStringView text, PaintBreaks &breaks);

} // namespace Quillmere
