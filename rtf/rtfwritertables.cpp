// SPDX-License-Identifier: GPL-3.0-or-later
// Tables: row definitions with merged cells, borders and shading, and nested tables.
#include "rtfwriter_p.h"

#include "rtfwriterkeywords.h"

#include <QScopedValueRollback>
#include <QTextTable>

namespace Quillmere::Internal {

namespace {

bool containsTable(const QTextTableCell &cell)
{
    for (auto it = cell.begin(); !it.atEnd(); ++it) {
        if (qobject_cast<QTextTable *>(it.currentFrame()))
            return true;
    }
    return false;
}

// The right edge of each column in twips from the row's left edge.
QList<int> columnEdges(const QTextTable &table)
{
    const int columns = table.columns();
    const QList<QTextLength> constraints = table.format().columnWidthConstraints();
    QList<int> widths(columns, 0);
    int assigned = 0;
    int variable = 0;
    for (int column = 0; column < columns; ++column) {
        const QTextLength length
            = column < constraints.size() ? constraints.at(column) : QTextLength();
        switch (length.type()) {
        case QTextLength::FixedLength:
            widths[column] = toTwips(length.rawValue());
            break;
        case QTextLength::PercentageLength:
            widths[column] = qRound(length.rawValue() * TextWidthTwips / 100.0);
            break;
        case QTextLength::VariableLength:
            ++variable;
            continue;
        }
        widths[column] = qMax(widths[column], MinimumColumnTwips);
        assigned += widths[column];
    }
    const int share
        = variable > 0 ? qMax(MinimumColumnTwips, (TextWidthTwips - assigned) / variable) : 0;
    QList<int> edges(columns, 0);
    int edge = 0;
    for (int column = 0; column < columns; ++column) {
        edge += widths[column] > 0 ? widths[column] : share;
        edges[column] = edge;
    }
    return edges;
}

} // namespace

// Nested tables go as Word writes them: their paragraphs and cell ends carry the level, and
// each nested row's definition comes after its cells, just before it ends.
void RtfWriter::writeTable(QTextTable &table)
{
    endParagraph();
    const QList<int> edges = columnEdges(table);
    const QScopedValueRollback depth(m_tableDepth, m_tableDepth + 1);
    const bool nested = m_tableDepth > 1;
    for (int row = 0; row < table.rows(); ++row) {
        if (!nested)
            writeRowDefinition(table, row, edges);
        bool holdsTable = false;
        for (int column = 0; column < table.columns(); ++column) {
            const QTextTableCell cell = table.cellAt(row, column);
            if (cell.row() == row && cell.column() == column) {
                holdsTable = holdsTable || containsTable(cell);
                writeItems(cell.begin());
            } else {
                writeParagraphStart();
            }
            m_out.word(nested ? "\\nestcell" : "\\cell");
            m_paragraphOpen = false;
        }
        if (nested) {
            m_out.open();
            m_out.symbol("\\*");
            m_out.word("\\nesttableprops");
            writeRowDefinition(table, row, edges);
            m_out.word("\\nestrow");
            m_out.close();
            // What readers that know no nesting take for the row's end.
            m_out.open();
            m_out.word("\\nonesttables");
            m_out.word("\\par");
            m_out.close();
        } else {
            // The nested rows' definitions came since this row's: readers need it again.
            if (holdsTable)
                writeRowDefinition(table, row, edges);
            m_out.word("\\row");
        }
        m_out.lineEnd();
    }
}

void RtfWriter::writeRowDefinition(const QTextTable &table, int row, const QList<int> &edges)
{
    const QTextTableFormat format = table.format();
    m_out.word("\\trowd");
    m_out.word("\\trgaph", 108);
    const Qt::Alignment alignment = format.alignment() & Qt::AlignHorizontal_Mask;
    for (const AlignmentKeyword &entry : RowAlignmentKeywords) {
        if (alignment & entry.alignment)
            m_out.word(entry.keyword);
    }
    for (int column = 0; column < table.columns(); ++column) {
        const QTextTableCell cell = table.cellAt(row, column);
        if (cell.columnSpan() > 1)
            m_out.word(cell.column() == column ? "\\clmgf" : "\\clmrg");
        if (cell.rowSpan() > 1)
            m_out.word(cell.row() == row ? "\\clvmgf" : "\\clvmrg");
        const QTextTableCellFormat cellFormat = cell.format().toTableCellFormat();
        for (size_t index = 0; index < CellBorderKeywords.size(); ++index) {
            const int side = BorderPropertySides[index];
            if (cellFormat.hasProperty(QTextFormat::TableCellTopBorderStyle + side))
                writeBorderSide(cellFormat, QTextFormat::TableCellTopBorder, side,
                                CellBorderKeywords[index]);
            else
                writeTableBorder(format, CellBorderKeywords[index]);
        }
        const QBrush shading = cellFormat.background();
        if (shading.style() != Qt::NoBrush && shading.color().alpha() > 0)
            m_out.word("\\clcbpat", colorIndex(shading.color()));
        m_out.word("\\cellx", edges.at(column));
    }
    m_out.lineEnd();
}

// A side of a cell as the table's border draws it.
void RtfWriter::writeTableBorder(const QTextTableFormat &format, const char *sideKeyword)
{
    const QTextFrameFormat::BorderStyle style = format.borderStyle();
    if (format.border() <= 0 || style == QTextFrameFormat::BorderStyle_None) {
        // A table the file gave no lines keeps none; left unsaid, a reader draws its own.
        if (style == QTextFrameFormat::BorderStyle_None
            && format.hasProperty(QTextFormat::FrameBorderStyle)) {
            m_out.word(sideKeyword);
            m_out.word("\\brdrnone");
        }
        return;
    }
    if (size_t(style) >= BorderStyleKeywords.size())
        return;
    m_out.word(sideKeyword);
    // Outset is Qt's default, not a style anyone chose: it goes as a plain line.
    m_out.word(style == QTextFrameFormat::BorderStyle_Outset ? "\\brdrs"
                                                             : BorderStyleKeywords[style]);
    m_out.word("\\brdrw", qBound(1, toTwips(format.border()), WidestBorderTwips));
    // Qt's default dark grey is no colour anyone chose either.
    const QBrush brush = format.borderBrush();
    if (brush.style() != Qt::NoBrush && brush.color().isValid() && brush != QBrush(Qt::darkGray))
        m_out.word("\\brdrcf", colorIndex(brush.color()));
}

} // namespace Quillmere::Internal
