// SPDX-License-Identifier: GPL-3.0-or-later
// Borders and shading of paragraphs and cells, tab stops and line spacing: the paragraph and
// cell properties a plain document does without.
#include "rtfreader_p.h"

#include "rtfproperties.h"

#include <QTextTable>

#include <algorithm>

namespace Quillmere::Internal {
namespace {

// A border's width where the file gives none, in twips: the thinnest line Word draws.
constexpr int DefaultBorderTwips = 15;
// The widest border `\brdrw` allows.
constexpr int MaxBorderTwips = 75;

// A drawn line's width in pixels: Qt draws nothing of a line thinner than one, and Word's
// everyday half-point line is.
double shownWidth(int twips)
{
    return std::max(1.0, twips / TwipsPerDocumentPixel);
}

// Sets the side of a border whose width property is `widthProperty`; Qt orders the properties
// of the four sides' widths, then styles, then brushes, and so do ours.
void setBorderSide(QTextFormat &format, int widthProperty, int side, const BorderLine &line,
                   const QColor &color)
{
    const bool drawn = line.style != QTextFrameFormat::BorderStyle_None;
    // Paragraph borders are kept for the save only, so they keep their exact width.
    const double width = widthProperty == QTextFormat::TableCellTopBorder
        ? shownWidth(line.width)
        : line.width / TwipsPerDocumentPixel;
    format.setProperty(widthProperty + side, drawn ? width : 0.0);
    format.setProperty(widthProperty + 4 + side, int(line.style));
    if (drawn && color.isValid())
        format.setProperty(widthProperty + 8 + side, QBrush(color));
}

// Whether two sides look alike: a side not drawn has no width or colour.
bool looksAlike(const BorderLine &a, const BorderLine &b)
{
    return a.style == b.style
        && (a.style == QTextFrameFormat::BorderStyle_None
            || (a.width == b.width && a.color == b.color));
}

// The line most sides of the cells have, the first of those as common as it.
BorderLine commonLine(const std::vector<CellLook> &looks)
{
    BorderLine common;
    int commonCount = 0;
    std::vector<std::pair<BorderLine, int>> counts;
    for (const CellLook &look : looks) {
        for (const BorderLine &line : look.borders) {
            auto found = std::find_if(counts.begin(), counts.end(), [&](const auto &entry) {
                return looksAlike(entry.first, line);
            });
            if (found == counts.end())
                found = counts.insert(counts.end(), { line, 0 });
            if (++found->second > commonCount) {
                common = found->first;
                commonCount = found->second;
            }
        }
    }
    return common;
}

bool anyGiven(const Borders &borders)
{
    return std::any_of(borders.cbegin(), borders.cend(),
                       [](const BorderLine &line) { return line.given; });
}

} // namespace

void RtfReader::tabWord(const KeywordEntry &entry, const RtfToken &token)
{
    ParagraphState &paragraph = state().paragraph;
    const int twips = std::clamp(token.parameter, -MaxTwips, MaxTwips);
    switch (entry.keyword) {
    case Keyword::LineSpacing:
        paragraph.lineSpacing = twips;
        return;
    case Keyword::LineSpacingMultiple:
        paragraph.lineMultiple = !token.hasParameter || token.parameter != 0;
        return;
    case Keyword::TabKind:
        m_nextTabKind = QTextOption::TabType(entry.value);
        return;
    case Keyword::TabLeader:
        m_nextTabLeader = char16_t(entry.value);
        return;
    case Keyword::TabStop:
    case Keyword::BarTab: {
        ParagraphExtras &extras = changeExtras(paragraph);
        const double position = std::max(0, twips) / TwipsPerDocumentPixel;
        if (entry.keyword == Keyword::BarTab) {
            if (extras.barTabs.size() < MaxTabStops)
                extras.barTabs.append(position);
        } else if (extras.tabs.size() < MaxTabStops) {
            const QChar delimiter = m_nextTabKind == QTextOption::DelimiterTab ? u'.' : QChar();
            extras.tabs.append(QTextOption::Tab(position, m_nextTabKind, delimiter));
            extras.leaders += QChar(m_nextTabLeader);
        }
        m_nextTabKind = QTextOption::LeftTab;
        m_nextTabLeader = u' ';
        return;
    }
    default:
        return;
    }
}

// The extras of a paragraph, made its own so that a change leaves enclosing groups' as they were.
ParagraphExtras &RtfReader::changeExtras(ParagraphState &paragraph)
{
    const qsizetype depth = qsizetype(m_stack.size());
    if (paragraph.extras >= 0 && m_paragraphExtras[size_t(paragraph.extras)].depth == depth)
        return m_paragraphExtras[size_t(paragraph.extras)];
    if (m_paragraphExtras.size() >= size_t(MaxParagraphExtras)) {
        m_discardedExtras = {};
        return m_discardedExtras;
    }
    ParagraphExtras extras
        = paragraph.extras >= 0 ? m_paragraphExtras[size_t(paragraph.extras)] : ParagraphExtras();
    extras.depth = depth;
    paragraph.extras = int(m_paragraphExtras.size());
    m_paragraphExtras.push_back(std::move(extras));
    return m_paragraphExtras.back();
}

// Drops the extras only groups now closed could see: those made deeper than the open groups.
void RtfReader::releaseExtras()
{
    while (!m_paragraphExtras.empty() && m_paragraphExtras.back().depth > qsizetype(m_stack.size()))
        m_paragraphExtras.pop_back();
}

void RtfReader::borderWord(const KeywordEntry &entry, const RtfToken &token)
{
    const int parameter = token.parameter;
    ParagraphState &paragraph = state().paragraph;
    switch (entry.keyword) {
    case Keyword::ParagraphBorderSide:
    case Keyword::CellBorderSide: {
        m_borderTarget = entry.keyword == Keyword::CellBorderSide ? BorderTarget::Cell
                                                                  : BorderTarget::Paragraph;
        m_borderSide = entry.value;
        const int first = entry.value == AllSides ? 0 : entry.value;
        const int last = entry.value == AllSides ? 3 : entry.value;
        for (int side = first; side <= last; ++side) {
            BorderLine *line = borderBeingRead(side);
            *line = {};
            line->given = true;
            line->width = DefaultBorderTwips;
        }
        return;
    }
    case Keyword::RowBorderSide:
        m_borderTarget = BorderTarget::None;
        return;
    case Keyword::BorderStyle:
    case Keyword::BorderWidth:
    case Keyword::BorderColor:
        for (int side = 0; side < 4; ++side) {
            if (m_borderSide != AllSides && side != m_borderSide)
                continue;
            BorderLine *line = borderBeingRead(side);
            if (!line)
                return;
            if (entry.keyword == Keyword::BorderStyle)
                line->style = quint8(entry.value);
            else if (entry.keyword == Keyword::BorderWidth)
                line->width = qint16(std::clamp(parameter, 0, MaxBorderTwips));
            else
                line->color = parameter;
        }
        return;
    case Keyword::ParagraphShadingBackground:
        paragraph.shading.background = parameter;
        return;
    case Keyword::ParagraphShadingForeground:
        paragraph.shading.foreground = parameter;
        return;
    case Keyword::ParagraphShadingPercent:
        paragraph.shading.percent = qint16(std::clamp(parameter, 0, 10000));
        return;
    case Keyword::CellShadingBackground:
        m_nextCellLook.shading.background = parameter;
        return;
    case Keyword::CellShadingForeground:
        m_nextCellLook.shading.foreground = parameter;
        return;
    case Keyword::CellShadingPercent:
        m_nextCellLook.shading.percent = qint16(std::clamp(parameter, 0, 10000));
        return;
    default:
        return;
    }
}

// The side of the border the last border keyword named, or null after a row border's.
BorderLine *RtfReader::borderBeingRead(int side)
{
    switch (m_borderTarget) {
    case BorderTarget::Paragraph:
        return &changeExtras(state().paragraph).borders[size_t(side)];
    case BorderTarget::Cell:
        return &m_nextCellLook.borders[size_t(side)];
    case BorderTarget::None:
        break;
    }
    return nullptr;
}

// The colour a shading shows: the foreground over the background in the stated share, white
// and black standing in for the automatic colours. Invalid where nothing is shaded.
QColor RtfReader::shadingColor(const Shading &shading) const
{
    const QColor background = m_colors.at(shading.background);
    if (shading.percent == 0)
        return background;
    const QColor foreground = m_colors.at(shading.foreground);
    const QColor under = background.isValid() ? background : QColor(Qt::white);
    const QColor over = foreground.isValid() ? foreground : QColor(Qt::black);
    const auto mix = [&](int a, int b) {
        return (a * shading.percent + b * (10000 - shading.percent)) / 10000;
    };
    return QColor(mix(over.red(), under.red()), mix(over.green(), under.green()),
                  mix(over.blue(), under.blue()));
}

void RtfReader::applyParagraphLook(const ParagraphState &paragraph, QTextBlockFormat &format) const
{
    if (paragraph.lineSpacing > 0 && paragraph.lineMultiple)
        format.setLineHeight(paragraph.lineSpacing * 100.0 / 240,
                             QTextBlockFormat::ProportionalHeight);
    else if (paragraph.lineSpacing != 0 && !paragraph.lineMultiple)
        format.setLineHeight(std::abs(paragraph.lineSpacing) / TwipsPerDocumentPixel,
                             paragraph.lineSpacing < 0 ? QTextBlockFormat::FixedHeight
                                                       : QTextBlockFormat::MinimumHeight);
    if (const QColor shade = shadingColor(paragraph.shading); shade.isValid())
        format.setBackground(shade);
    if (paragraph.extras < 0)
        return;
    const ParagraphExtras &extras = m_paragraphExtras[size_t(paragraph.extras)];
    if (!extras.tabs.isEmpty())
        format.setTabPositions(extras.tabs);
    if (extras.leaders.trimmed().size() > 0)
        format.setProperty(TabLeaders, extras.leaders);
    if (!extras.barTabs.isEmpty())
        format.setProperty(BarTabs, extras.barTabs);
    for (int side = 0; side < 4; ++side) {
        const BorderLine &line = extras.borders[size_t(side)];
        if (line.given && line.style != QTextFrameFormat::BorderStyle_None)
            setBorderSide(format, ParagraphTopBorder, side, line, m_colors.at(line.color));
    }
}

// Gives the cells of the row just ended their shading and borders. The line most sides of a
// table's first row have is the table's border, as Qt draws it; cells that differ keep their own.
void RtfReader::applyCellLooks(OpenTable &table)
{
    if (m_cellLooks.empty())
        return;
    QTextTable *const qtTable = table.table;
    const bool bordered = std::any_of(m_cellLooks.cbegin(), m_cellLooks.cend(),
                                      [](const CellLook &look) { return anyGiven(look.borders); });
    const bool shaded
        = std::any_of(m_cellLooks.cbegin(), m_cellLooks.cend(), [](const CellLook &look) {
              return look.shading.background != 0 || look.shading.percent != 0;
          });
    if (!bordered && !shaded)
        return;
    if (bordered && table.row == 0) {
        const BorderLine common = commonLine(m_cellLooks);
        const bool drawn = common.style != QTextFrameFormat::BorderStyle_None;
        QTextTableFormat format = qtTable->format();
        format.setBorder(drawn ? shownWidth(common.width) : 0);
        format.setBorderStyle(QTextFrameFormat::BorderStyle(common.style));
        if (const QColor color = m_colors.at(common.color); drawn && color.isValid())
            format.setBorderBrush(color);
        format.setBorderCollapse(true);
        qtTable->setFormat(format);
    }
    const QTextTableFormat tableFormat = qtTable->format();
    BorderLine tableLine;
    tableLine.style = quint8(tableFormat.borderStyle());
    const double tableWidth = tableFormat.border();
    const QColor tableColor = tableFormat.borderBrush().color();
    const auto likeTable = [&](const BorderLine &line) {
        return line.style == tableLine.style
            && (line.style == QTextFrameFormat::BorderStyle_None
                || (qFuzzyCompare(shownWidth(line.width), tableWidth)
                    && (m_colors.at(line.color).isValid() ? m_colors.at(line.color) == tableColor
                                                          : tableColor == QColor(Qt::darkGray))));
    };
    const int count = std::min(int(m_cellLooks.size()), qtTable->columns());
    for (int column = 0; column < count; ++column) {
        QTextTableCell cell = qtTable->cellAt(table.row, column);
        if (cell.row() != table.row || cell.column() != column)
            continue;
        const CellLook &look = m_cellLooks[size_t(column)];
        const QColor shade = shadingColor(look.shading);
        const bool ownBorders
            = bordered && !std::all_of(look.borders.cbegin(), look.borders.cend(), likeTable);
        if (!shade.isValid() && !ownBorders)
            continue;
        QTextTableCellFormat format = cell.format().toTableCellFormat();
        if (shade.isValid())
            format.setBackground(shade);
        for (int side = 0; ownBorders && side < 4; ++side) {
            const BorderLine &line = look.borders[size_t(side)];
            setBorderSide(format, QTextFormat::TableCellTopBorder, side, line,
                          m_colors.at(line.color));
        }
        cell.setFormat(format);
    }
}

} // namespace Quillmere::Internal
