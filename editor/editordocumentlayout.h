// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGui/private/qtextdocumentlayout_p.h>

namespace Quillmere {

// Qt's document layout, kept from two ways Qt 6.4 stops responding on documents it is given.
//
// A very tall document: without a page height Qt lays a document out as one page 8,388,607
// pixels tall, and loops for ever on the first line that would go past that page's bottom: a
// text of 600,000 short lines, or a paragraph of a few thousand words in the largest font, would
// hang the editor. With a page just short of that height, Qt moves such a line to a next page,
// as it does in print. Any page height also makes Qt lay out every table again on every change,
// so a document with tables gets one only when it is tall enough to come near that bottom: when
// its paragraphs and rows, at the sizes its formats give them, would be likely to, or the part
// of it laid out so far is.
//
// A very long word: Qt breaks a word wider than the line after looking for the word's end again
// for every line, so a word of 500,000 letters (a pasted blob, say) takes a minute to lay out. A
// document holding one is wrapped anywhere, which Qt does in a single pass.
class EditorDocumentLayout final : public QTextDocumentLayout
{
public:
    explicit EditorDocumentLayout(QTextDocument *document);

    // Gives `document` this layout, unless it has it already.
    static void install(QTextDocument &document);

protected:
    void documentChanged(int from, int oldLength, int length) override;
    void timerEvent(QTimerEvent *event) override;

private:
    // Sets the page height if the document has none and needs one; whether it did.
    bool pageWhereNeeded(bool wholeDocument);
    // Wraps the document anywhere if it holds a very long word and is not so wrapped yet;
    // whether it did.
    bool wrapAnywhereIfNeeded();

    int m_checkedRevision = -1;
    bool m_hasLongWord = false;
    // The height a document with tables is likely to take, weighed once for each revision.
    int m_weighedRevision = -1;
    qreal m_likelyHeight = 0;
};

} // namespace Quillmere
