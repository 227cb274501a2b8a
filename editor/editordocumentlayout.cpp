// SPDX-License-Identifier: GPL-3.0-or-later
#include "editordocumentlayout.h"

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
qreal leastHeight(const QTextDocument &document, const QList<QTextFrame *> &frames)
{
    qsizetype lines = document.blockCount();
    for (const QTextFrame *frame : frames) {
        const int blocks = document.findBlock(frame->lastPosition()).blockNumber()
            - document.findBlock(frame->firstPosition()).blockNumber() + 1;
        const auto *table = qobject_cast<const QTextTable *>(frame);
        lines -= blocks - blocks / std::max(1, table ? table->columns() : 1);
    }
    return qreal(lines) * QFontMetricsF(document.defaultFont()).lineSpacing();
}

// Words longer than this are broken anywhere: Qt's cost for one is quadratic in its length,
// about 50 ms at this length.
constexpr qsizetype LongestWrappedWord = 20'000;

// Whether a paragraph of `document` has a run of more than LongestWrappedWord units with nowhere
// to break a line. Only paragraphs that long are read.
bool hasLongWord(const QTextDocument &document)
{
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (block.length() <= LongestWrappedWord)
            continue;
        qsizetype run = 0;
        const QString text = block.text();
        for (const QChar unit : text) {
            const QChar::Script script = unit.script();
            const bool breaks = unit.isSpace() || unit == u'-' || script == QChar::Script_Han
                || script == QChar::Script_Hiragana || script == QChar::Script_Katakana;
            run = breaks ? 0 : run + 1;
            if (run > LongestWrappedWord)
                return true;
        }
    }
    return false;
}

// Found by its name: asking a document for its layout would make it lay itself out first.
const QString LayoutName = u"EditorDocumentLayout"_qs;

} // namespace

EditorDocumentLayout::EditorDocumentLayout(QTextDocument *document)
    : QTextDocumentLayout(document)
{
    setObjectName(LayoutName);
}

void EditorDocumentLayout::install(QTextDocument &document)
{
    if (!document.findChild<QAbstractTextDocumentLayout *>(LayoutName, Qt::FindDirectChildrenOnly))
        document.setDocumentLayout(new EditorDocumentLayout(&document));
}

bool EditorDocumentLayout::pageWhereNeeded(bool wholeDocument)
{
    QTextDocument *shown = document();
    const QSizeF page = shown->pageSize();
    if (page.height() >= 0)
        return false;
    // Only a document with tables goes without a page. It is weighed when the whole of it is
    // laid out again, not at every key typed into a table.
    if (dynamicDocumentSize().height() < TallEnoughForPages) {
        if (!wholeDocument)
            return false;
        const QList<QTextFrame *> frames = shown->rootFrame()->childFrames();
        if (!frames.isEmpty() && leastHeight(*shown, frames) < TallEnoughForPages)
            return false;
    }
    // Lays the document out again, from here with the page in place.
    shown->setPageSize(QSizeF(page.width(), PageHeight));
    return true;
}

bool EditorDocumentLayout::wrapAnywhereIfNeeded()
{
    QTextDocument *shown = document();
    if (shown->revision() != m_checkedRevision) {
        m_checkedRevision = shown->revision();
        m_hasLongWord = hasLongWord(*shown);
    }
    QTextOption option = shown->defaultTextOption();
    if (!m_hasLongWord || option.wrapMode() == QTextOption::WrapAnywhere
        || option.wrapMode() == QTextOption::NoWrap)
        return false;
    option.setWrapMode(QTextOption::WrapAnywhere);
    // Lays the document out again, from here wrapped anywhere.
    shown->setDefaultTextOption(option);
    return true;
}

void EditorDocumentLayout::documentChanged(int from, int oldLength, int length)
{
    // The editor sets its width with no page height, and its wrapping, whenever it lays the
    // whole document out again; both are put right before anything is laid out without them.
    const bool wholeDocument
        = from == 0 && oldLength == 0 && length == document()->characterCount();
    if ((wholeDocument && wrapAnywhereIfNeeded()) || pageWhereNeeded(wholeDocument))
        return;
    QTextDocumentLayout::documentChanged(from, oldLength, length);
}

void EditorDocumentLayout::timerEvent(QTimerEvent *event)
{
    // Each tick lays out the next part of the document.
    if (!pageWhereNeeded(false))
        QTextDocumentLayout::timerEvent(event);
}

} // namespace Quillmere
