// SPDX-License-Identifier: GPL-3.0-or-later
// Paragraph formatting: alignment, indents and spacing, and the rarer line spacing, tab
// stops, shading and borders.
#include "rtfwriter_p.h"

#include "rtfproperties.h"
#include "rtfwriterkeywords.h"

#include <QTextDocument>
#include <QTextList>

namespace Quillmere::Internal {

void RtfWriter::writeParagraphFormat(const QTextBlockFormat &format, const QTextList *list)
{
    const Qt::Alignment alignment = format.alignment() & Qt::AlignHorizontal_Mask;
    for (const AlignmentKeyword &entry : AlignmentKeywords) {
        if (alignment & entry.alignment)
            m_out.word(entry.keyword);
    }
    double left = format.leftMargin() + format.indent() * m_document.indentWidth();
    int firstLine = toTwips(format.textIndent());
    if (list) {
        left += list->format().indent() * m_document.indentWidth();
        firstLine -= ListMarkerTwips;
    }
    const int leftTwips = toTwips(left);
    if (firstLine != 0)
        m_out.word("\\fi", firstLine);
    if (leftTwips != 0)
        m_out.word("\\li", leftTwips);
    if (const int right = toTwips(format.rightMargin()); right != 0)
        m_out.word("\\ri", right);
    if (const int before = toTwips(format.topMargin()); before != 0)
        m_out.word("\\sb", before);
    if (const int after = toTwips(format.bottomMargin()); after != 0)
        m_out.word("\\sa", after);
    if (format.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore)
        m_out.word("\\pagebb");
}

// Whether a block format has line spacing, tab stops, shading or borders: few have, and
// looking for them in every paragraph's format would slow down saving plain documents.
bool RtfWriter::hasParagraphLook(int formatIndex)
{
    if (formatIndex < 0 || size_t(formatIndex) >= m_paragraphLooks.size())
        return false;
    qint8 &known = m_paragraphLooks[size_t(formatIndex)];
    if (known < 0) {
        const QTextFormat &format = m_formats.at(formatIndex);
        const auto has = [&](int property) { return format.hasProperty(property); };
        known = has(QTextFormat::LineHeightType) || has(QTextFormat::TabPositions) || has(BarTabs)
            || has(QTextFormat::BackgroundBrush) || has(ParagraphTopBorderStyle)
            || has(ParagraphTopBorderStyle + 1) || has(ParagraphTopBorderStyle + 2)
            || has(ParagraphTopBorderStyle + 3);
    }
    return known > 0;
}

void RtfWriter::writeParagraphLook(const QTextBlockFormat &format)
{
    writeLineHeight(format);
    writeTabs(format);
    const QBrush shading = format.background();
    if (shading.style() != Qt::NoBrush && shading.color().alpha() > 0)
        m_out.word("\\cbpat", colorIndex(shading.color()));
    for (size_t index = 0; index < ParagraphBorderKeywords.size(); ++index)
        writeBorderSide(format, ParagraphTopBorder, BorderPropertySides[index],
                        ParagraphBorderKeywords[index]);
}

void RtfWriter::writeLineHeight(const QTextBlockFormat &format)
{
    const double height = format.lineHeight();
    switch (format.lineHeightType()) {
    case QTextBlockFormat::ProportionalHeight:
        m_out.word("\\sl", qMax(1, qRound(height * 240 / 100)));
        m_out.word("\\slmult", 1);
        break;
    case QTextBlockFormat::FixedHeight:
        m_out.word("\\sl", -qMax(1, toTwips(height)));
        m_out.word("\\slmult", 0);
        break;
    case QTextBlockFormat::MinimumHeight:
        m_out.word("\\sl", qMax(1, toTwips(height)));
        m_out.word("\\slmult", 0);
        break;
    default:
        break;
    }
}

void RtfWriter::writeTabs(const QTextBlockFormat &format)
{
    const QList<QTextOption::Tab> tabs = format.tabPositions();
    const QString leaders = format.stringProperty(TabLeaders);
    for (qsizetype index = 0; index < tabs.size(); ++index) {
        for (const TabKeyword &entry : TabKeywords) {
            if (entry.type == tabs[index].type)
                m_out.word(entry.keyword);
        }
        const char16_t leader = index < leaders.size() ? leaders[index].unicode() : u' ';
        for (const LeaderKeyword &entry : LeaderKeywords) {
            if (entry.leader == leader)
                m_out.word(entry.keyword);
        }
        m_out.word("\\tx", toTwips(tabs[index].position));
    }
    for (const QVariant &position : format.property(BarTabs).toList())
        m_out.word("\\tb", toTwips(position.toDouble()));
}

// One side of a border whose width property is `widthProperty`, if it has a style.
void RtfWriter::writeBorderSide(const QTextFormat &format, int widthProperty, int side,
                                const char *sideKeyword)
{
    const int style = format.intProperty(widthProperty + 4 + side);
    if (style <= QTextFrameFormat::BorderStyle_None || style >= int(BorderStyleKeywords.size()))
        return;
    m_out.word(sideKeyword);
    m_out.word(BorderStyleKeywords[size_t(style)]);
    m_out.word("\\brdrw",
               qBound(0, toTwips(format.doubleProperty(widthProperty + side)), WidestBorderTwips));
    const QBrush brush = format.brushProperty(widthProperty + 8 + side);
    if (brush.style() != Qt::NoBrush && brush.color().isValid())
        m_out.word("\\brdrcf", colorIndex(brush.color()));
}

} // namespace Quillmere::Internal
