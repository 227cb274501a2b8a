// SPDX-License-Identifier: GPL-3.0-or-later
#include "editordocumentlayout.h"

#include <QFontMetricsF>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>
#include <QTextTableCell>

#include <algorithm>
#include <climits>
#include <numeric>
#include <vector>

namespace Quillmere {

namespace {

// One pixel short of the height Qt lays a document out in when it has no page height.
constexpr qreal PageHeight = INT_MAX / 256 - 1;
// A height at which a document with tables gets its page height: one step of Qt's layout in the
// background adds at most 200,000 characters, about 3,000,000 pixels of short lines, so the page
// is in place before the text reaches its bottom.
constexpr qreal TallEnoughForPages = 4'000'000;

// How tall a document with tables is likely to be at `width`: each paragraph as many lines as
// its characters fill at the width of its column (at least one), each line as tall as the
// paragraph's tallest character and its line spacing make it, with the room above and below
// it; each table row as tall as its tallest cell. Sizes come from the document's formats, so
// that large fonts, tall pictures and wide spacing count for what they are.
class HeightEstimator
{
public:
    HeightEstimator(const QTextDocument &document, qreal width)
        : m_document(document)
        , m_width(width > 0 ? width : NominalWidth)
    {
        const QList<QTextFormat> formats = document.allFormats();
        const qreal defaultPoints = std::max<qreal>(document.defaultFont().pointSizeF(), 1);
        const qreal defaultLine = QFontMetricsF(document.defaultFont()).lineSpacing();
        m_sizes.reserve(formats.size());
        for (const QTextFormat &format : formats) {
            Size size { defaultLine, defaultLine / 2 };
            if (format.isImageFormat()) {
                const QTextImageFormat image = format.toImageFormat();
                size.line = image.height();
                size.advance = image.width();
            } else if (format.isBlockFormat()) {
                const QTextBlockFormat block = format.toBlockFormat();
                size.spacing = std::max<qreal>(block.topMargin(), 0)
                    + std::max<qreal>(block.bottomMargin(), 0);
                const qreal rule = std::max<qreal>(block.lineHeight(), 0);
                switch (block.lineHeightType()) {
                case QTextBlockFormat::ProportionalHeight:
                    size.scale = rule / 100;
                    break;
                case QTextBlockFormat::FixedHeight:
                case QTextBlockFormat::MinimumHeight:
                    size.leastLine = rule;
                    break;
                case QTextBlockFormat::LineDistanceHeight:
                    size.addedLine = rule;
                    break;
                default:
                    break;
                }
            } else if (const qreal points = format.toCharFormat().fontPointSize(); points > 0) {
                size.line = defaultLine * points / defaultPoints;
                size.advance = size.line / 2;
            }
            m_sizes.push_back(size);
        }
    }

    // A quick bound, every paragraph and character taken at the largest sizes of any format.
    qreal bound() const
    {
        Size largest { 0, 0 };
        for (const Size &size : m_sizes) {
            largest.line = std::max(largest.line, size.line);
            largest.advance = std::max(largest.advance, size.advance);
            largest.spacing = std::max(largest.spacing, size.spacing);
            largest.scale = std::max(largest.scale, size.scale);
            largest.leastLine = std::max(largest.leastLine, size.leastLine);
            largest.addedLine = std::max(largest.addedLine, size.addedLine);
        }
        const qreal line = largest.lineFor(largest.line);
        return m_document.blockCount() * (line + largest.spacing)
            + m_document.characterCount() * largest.advance / m_width * line;
    }

    qreal estimate() const { return flowHeight(m_document.rootFrame()->begin(), m_width); }

private:
    // What a format says of the room text takes: a character's line height and advance, and a
    // paragraph's spacing and rule for its line height.
    struct Size
    {
        qreal line = 0;
        qreal advance = 0;
        qreal spacing = 0;
        qreal scale = 1;
        qreal leastLine = 0;
        qreal addedLine = 0;

        qreal lineFor(qreal tallest) const
        {
            return std::max(tallest * scale + addedLine, leastLine);
        }
    };

    // The width of text assumed when the document has none yet.
    static constexpr qreal NominalWidth = 600;

    // The paragraphs and tables of the document, one below the other.
    qreal flowHeight(QTextFrame::iterator it, qreal width) const
    {
        qreal height = 0;
        for (; !it.atEnd(); ++it) {
            if (const auto *table = qobject_cast<const QTextTable *>(it.currentFrame()))
                height += tableHeight(*table, width);
            else if (const QTextFrame *frame = it.currentFrame())
                height += flowHeight(frame->begin(), width);
            else
                height += blockHeight(it.currentBlock(), width);
        }
        return height;
    }

    // A table's rows each as tall as its tallest cell, the width shared out over the columns (a
    // merged cell taken as one column wide, and a nested table's paragraphs as one below the
    // other, which make neither shorter). The cells' paragraphs are walked in order, each cell
    // ending where the next one starts.
    qreal tableHeight(const QTextTable &table, qreal width) const
    {
        const int rows = table.rows();
        const int columns = table.columns();
        const qreal columnWidth = width / std::max(1, columns);
        std::vector<qreal> rowHeights(size_t(rows), 0);
        QTextBlock block = m_document.findBlock(table.firstPosition());
        int position = block.position();
        const auto walkTo = [&](int end, int row) {
            qreal cell = 0;
            for (; block.isValid() && position < end; block = block.next()) {
                cell += blockHeight(block, columnWidth);
                position += block.length();
            }
            if (row >= 0)
                rowHeights[size_t(row)] = std::max(rowHeights[size_t(row)], cell);
        };
        int previousRow = -1;
        for (int row = 0; row < rows; ++row) {
            for (int column = 0; column < columns; ++column) {
                // A merged cell is met again to its right and below; it counts where it starts.
                const QTextTableCell cell = table.cellAt(row, column);
                if ((column > 0 && cell == table.cellAt(row, column - 1))
                    || (row > 0 && cell == table.cellAt(row - 1, column))) {
                    continue;
                }
                walkTo(cell.firstPosition(), previousRow);
                previousRow = row;
            }
        }
        walkTo(table.lastPosition() + 1, previousRow);
        return std::accumulate(rowHeights.cbegin(), rowHeights.cend(), qreal(0));
    }

    qreal blockHeight(const QTextBlock &block, qreal width) const
    {
        // An empty paragraph is as tall as its own character format makes it.
        qreal tallest = block.length() > 1 ? 0 : sizeOf(block.charFormatIndex()).line;
        qreal advance = 0;
        for (auto fragment = block.begin(); !fragment.atEnd(); ++fragment) {
            const QTextFragment piece = fragment.fragment();
            const Size size = sizeOf(piece.charFormatIndex());
            tallest = std::max(tallest, size.line);
            advance += size.advance * piece.length();
        }
        const Size paragraph = sizeOf(block.blockFormatIndex());
        return std::max<qreal>(1, advance / std::max<qreal>(width, 1)) * paragraph.lineFor(tallest)
            + paragraph.spacing;
    }

    Size sizeOf(int formatIndex) const
    {
        return formatIndex >= 0 && formatIndex < qsizetype(m_sizes.size())
            ? m_sizes[size_t(formatIndex)]
            : Size {};
    }

    const QTextDocument &m_document;
    const qreal m_width;
    std::vector<Size> m_sizes; // by format index
};

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
        if (!shown->rootFrame()->childFrames().isEmpty()) {
            // Weighed at the width of the first layout of each revision: a narrower window
            // makes it taller, which the margin to Qt's limit and the watch on the part laid
            // out allow for.
            if (shown->revision() != m_weighedRevision) {
                m_weighedRevision = shown->revision();
                const HeightEstimator likely(*shown, shown->textWidth());
                const qreal bound = likely.bound();
                m_likelyHeight = bound < TallEnoughForPages ? bound : likely.estimate();
            }
            if (m_likelyHeight < TallEnoughForPages)
                return false;
        }
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
