// SPDX-License-Identifier: GPL-3.0-or-later
#include "talldocumentlayout.h"

#include <QFontMetricsF>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextTable>

#include <algorithm>
#include <climits>

namespace Quillmere {

namespace {

// One pixel short of the height Qt lays a document out in when it has no page height.
constexpr qreal PageHeight = INT_MAX / 256 - 1;
// A height at which a document with tables gets its page height: one step of Qt's layout in the
// background adds at most 200,000 characters, about 3,000,000 pixels of short lines, so the page
// is in place before the text reaches its bottom.
constexpr qreal TallEnoughForPages = 4'000'000;

// How tall `document` is at least in its default font: a line for each paragraph outside tables,
// and for each table its paragraphs shared out over its columns.
qreal leastHeight(const QTextDocument &document)
{
    qsizetype lines = document.blockCount();
    const QList<QTextFrame *> frames = document.rootFrame()->childFrames();
    for (const QTextFrame *frame : frames) {
        const int blocks = document.findBlock(frame->lastPosition()).blockNumber()
            - document.findBlock(frame->firstPosition()).blockNumber() + 1;
        const auto *table = qobject_cast<const QTextTable *>(frame);
        lines -= blocks - blocks / std::max(1, table ? table->columns() : 1);
    }
    return qreal(lines) * QFontMetricsF(document.defaultFont()).lineSpacing();
}

// Found by its name: asking a document for its layout would make it lay itself out first.
const QString LayoutName = u"TallDocumentLayout"_qs;

} // namespace

TallDocumentLayout::TallDocumentLayout(QTextDocument *document)
    : QTextDocumentLayout(document)
{
    setObjectName(LayoutName);
}

void TallDocumentLayout::install(QTextDocument &document)
{
    if (!document.findChild<QAbstractTextDocumentLayout *>(LayoutName, Qt::FindDirectChildrenOnly))
        document.setDocumentLayout(new TallDocumentLayout(&document));
}

bool TallDocumentLayout::pageWhereNeeded(bool wholeDocument)
{
    QTextDocument *shown = document();
    const QSizeF page = shown->pageSize();
    if (page.height() >= 0)
        return false;
    // Weighed when the whole document is laid out again, not at every key typed into a table.
    const bool tall = dynamicDocumentSize().height() >= TallEnoughForPages
        || (wholeDocument && leastHeight(*shown) >= TallEnoughForPages);
    if (!tall && !shown->rootFrame()->childFrames().isEmpty())
        return false;
    // Lays the document out again, from here with the page in place.
    shown->setPageSize(QSizeF(page.width(), PageHeight));
    return true;
}

void TallDocumentLayout::documentChanged(int from, int oldLength, int length)
{
    // The editor sets its width with no page height at every resize; the page goes back before
    // anything is laid out without it.
    const bool wholeDocument
        = from == 0 && oldLength == 0 && length == document()->characterCount();
    if (!pageWhereNeeded(wholeDocument))
        QTextDocumentLayout::documentChanged(from, oldLength, length);
}

void TallDocumentLayout::timerEvent(QTimerEvent *event)
{
    // Each tick lays out the next part of the document.
    if (!pageWhereNeeded(false))
        QTextDocumentLayout::timerEvent(event);
}

} // namespace Quillmere
