// SPDX-License-Identifier: GPL-3.0-or-later
// Tables: row definitions, cells and rows, nesting, and merged cells.
#include "rtfreader_p.h"

#include "rtfproperties.h"

#include <QTextTable>

#include <algorithm>

namespace Quillmere::Internal {

void RtfReader::tableWord(const KeywordEntry &entry, const RtfToken &token)
{
    const GroupState &group = state();
    const bool body = group.destination == Destination::Body;
    const int level = tableLevelOf(group.paragraph);
    const int nestedLevel = std::max(2, level);
    switch (entry.keyword) {
    case Keyword::RowDefaults:
        m_cellEdges.clear();
        m_cellMerges.clear();
        m_cellLooks.clear();
        m_nextCellLook = {};
        m_borderTarget = BorderTarget::None;
        m_nextCellMerge = 0;
        m_rowLeft = 0;
        m_rowDefinitionNested = group.destination == Destination::TableProperties;
        return;
    case Keyword::RowLeft:
        m_rowLeft = std::clamp(token.parameter, -MaxTwips, MaxTwips);
        return;
    case Keyword::CellEdge:
        if (m_cellEdges.size() < size_t(MaxTableColumns)) {
            const int previous = m_cellEdges.empty() ? m_rowLeft : m_cellEdges.back();
            m_cellEdges.push_back(
                std::max(std::clamp(token.parameter, -MaxTwips, MaxTwips), previous + 1));
            m_cellMerges.push_back(m_nextCellMerge);
            m_cellLooks.push_back(m_nextCellLook);
        }
        m_nextCellMerge = 0;
        m_nextCellLook = {};
        m_borderTarget = BorderTarget::None;
        return;
    case Keyword::CellMerge:
        m_nextCellMerge |= quint8(entry.value);
        return;
    case Keyword::Cell:
    case Keyword::NestedCell:
        // Outside every table a cell end can only mean the end of a paragraph.
        if (body && level == 0 && m_tables.empty())
            breakParagraph(0);
        else if (body)
            endCell(entry.keyword == Keyword::Cell ? 1 : std::min(nestedLevel, MaxTableDepth));
        return;
    case Keyword::Row:
        if (body)
            endRow(1);
        return;
    case Keyword::NestedRow:
        if (body || group.destination == Destination::TableProperties)
            endRow(std::min(nestedLevel, MaxTableDepth));
        return;
    default:
        return;
    }
}

int RtfReader::tableLevelOf(const ParagraphState &paragraph) const
{
    return std::max(paragraph.tableLevel, paragraph.inTable ? 1 : 0);
}

void RtfReader::enterTableLevel(int level)
{
    while (int(m_tables.size()) > level)
        closeInnermostTable();
    for (int index = 0; index < level; ++index) {
        if (index == int(m_tables.size()))
            openTable();
        OpenTable &table = m_tables[size_t(index)];
        if (!table.rowOpen) {
            startRow(index);
        } else if (table.nextCellPending) {
            table.nextCellPending = false;
            if (table.column + 1 < MaxTableColumns) {
                ++table.column;
                if (table.column >= table.table->columns())
                    table.table->appendColumns(1);
                moveToCell(table);
            } else {
                // Cells past the widest row Word allows go on in a row of their own.
                startRow(index);
            }
        }
    }
}

void RtfReader::startRow(int index, bool newPart)
{
    OpenTable *table = &m_tables[size_t(index)];
    const bool merging = std::any_of(table->mergeStartRows.cbegin(), table->mergeStartRows.cend(),
                                     [](int start) { return start >= 0; });
    const int rows = table->row + 1;
    if (index + 1 == int(m_tables.size())
        && (newPart || (merging ? rows >= MaxRowsPerMergedTable : rows >= MaxRowsPerTable))) {
        const QTextTable *previous = table->table;
        std::vector<int> mergingColumns;
        for (int column = 0; column < int(table->mergeStartRows.size()); ++column) {
            if (table->mergeStartRows[size_t(column)] >= 0)
                mergingColumns.push_back(column);
        }
        closeInnermostTable();
        // A table that ran to a part's end will likely fill the next one as well.
        openTable(MaxRowsPerTable);
        table = &m_tables.back();
        markContinuation(*previous, *table->table);
        // The merges still running go on from the new part's first row.
        table->mergeStartRows.resize(size_t(table->table->columns()), -1);
        table->mergeEndRows.resize(size_t(table->table->columns()), -1);
        for (const int column : mergingColumns) {
            if (column < table->table->columns())
                table->mergeStartRows[size_t(column)] = table->mergeEndRows[size_t(column)] = 0;
        }
    } else {
        if (++table->row >= table->rowsMade) {
            const int batch = std::min(table->rowsMade, MaxRowsPerTable);
            table->table->appendRows(batch);
            table->rowsMade += batch;
        }
    }
    table->column = 0;
    table->rowOpen = true;
    table->nextCellPending = false;
    moveToCell(*table);
}

void RtfReader::continueCellInNextPart()
{
    const int level = int(m_tables.size());
    const int column = m_tables.back().column;
    finishRow(level);
    startRow(level - 1, true);
    OpenTable &table = m_tables.back();
    if (column >= table.table->columns())
        table.table->appendColumns(column + 1 - table.table->columns());
    table.column = column;
    moveToCell(table);
}

void RtfReader::moveToCell(OpenTable &table)
{
    table.cellParagraphs = 0;
    m_cursor = table.table->cellAt(table.row, table.column).firstCursorPosition();
    m_blockFormatUnknown = true;
    m_breakPending = false;
    m_paragraphOpen = false;
}

void RtfReader::openTable(int rows)
{
    const int level = int(m_tables.size()) + 1;
    const bool definitionFits = m_rowDefinitionNested == (level > 1);
    const int columns = definitionFits ? std::max<int>(1, int(m_cellEdges.size())) : 1;
    m_breakPending = false;
    OpenTable table;
    table.table = m_cursor.insertTable(rows, columns);
    table.rowsMade = rows;
    m_blockFormatUnknown = true;
    m_paragraphOpen = false;
    applyRowDefinition(table, level);
    m_tables.push_back(table);
}

// The paragraph Qt keeps between two parts of one long table takes no room and is not saved.
void RtfReader::markContinuation(const QTextTable &previous, const QTextTable &next)
{
    QTextCursor between(m_document.get());
    between.setPosition(previous.lastPosition() + 1);
    if (between.currentTable() == &next || between.block().length() > 1)
        return;
    QTextBlockFormat format;
    format.setProperty(TableContinuation, true);
    format.setLineHeight(0, QTextBlockFormat::FixedHeight);
    between.setBlockFormat(format);
    QTextCharFormat tiny;
    tiny.setFontPointSize(1);
    between.setBlockCharFormat(tiny);
}

void RtfReader::removeSpareRows(OpenTable &table)
{
    if (table.rowsMade > table.row + 1)
        table.table->removeRows(table.row + 1, table.rowsMade - table.row - 1);
    table.rowsMade = table.row + 1;
}

void RtfReader::closeInnermostTable()
{
    endVerticalMerges(m_tables.back());
    removeSpareRows(m_tables.back());
    QTextTable *table = m_tables.back().table;
    m_tables.pop_back();
    m_cursor.setPosition(table->lastPosition() + 1);
    m_blockFormatUnknown = true;
    m_breakPending = false;
    m_paragraphOpen = false;
}

void RtfReader::applyRowDefinition(OpenTable &table, int level)
{
    if (m_cellEdges.empty() || m_rowDefinitionNested != (level > 1))
        return;
    QList<QTextLength> widths;
    int previous = m_rowLeft;
    for (const int edge : m_cellEdges) {
        widths.append(
            QTextLength(QTextLength::FixedLength, (edge - previous) / TwipsPerDocumentPixel));
        previous = edge;
    }
    if (table.table->columns() < widths.size())
        table.table->appendColumns(int(widths.size()) - table.table->columns());
    // One constraint per column, always: Qt 6.4 writes past the end of a shorter list when it
    // inserts columns later.
    widths.resize(table.table->columns(), QTextLength(QTextLength::VariableLength, 0));
    QTextTableFormat format = table.table->format();
    format.setColumnWidthConstraints(widths);
    table.table->setFormat(format);
}

void RtfReader::endCell(int level)
{
    flushRun();
    enterTableLevel(level);
    finishParagraph(state().paragraph, level);
    m_tables.back().nextCellPending = true;
}

void RtfReader::endRow(int level)
{
    flushRun();
    if (int(m_tables.size()) < level)
        return;
    while (int(m_tables.size()) > level)
        closeInnermostTable();
    if (m_paragraphOpen || !m_marker.empty())
        finishParagraph(state().paragraph, level);
    finishRow(level);
}

void RtfReader::finishRow(int level)
{
    OpenTable &table = m_tables.back();
    if (table.row == 0)
        applyRowDefinition(table, level);
    if (m_rowDefinitionNested == (level > 1)) {
        mergeRowCells(table);
        applyCellLooks(table);
        // A nested row's definition follows its cells: the next nested table must not take it.
        if (level > 1) {
            m_cellEdges.clear();
            m_cellMerges.clear();
            m_cellLooks.clear();
        }
    }
    table.rowOpen = false;
    table.nextCellPending = false;
    m_breakPending = false;
}

// Merges the cells of the row just ended as its definition says: across the row now, down
// from the row where a vertical merge began.
void RtfReader::mergeRowCells(OpenTable &table)
{
    QTextTable *const qtTable = table.table;
    const int count = std::min(int(m_cellMerges.size()), qtTable->columns());
    for (int column = 0; column < count; ++column) {
        if (!(m_cellMerges[size_t(column)] & MergeFirst))
            continue;
        int span = 1;
        while (column + span < count && (m_cellMerges[size_t(column + span)] & MergeWithPrevious))
            ++span;
        qtTable->mergeCells(table.row, column, 1, span);
    }
    table.mergeStartRows.resize(size_t(qtTable->columns()), -1);
    table.mergeEndRows.resize(size_t(qtTable->columns()), -1);
    for (int column = 0; column < count; ++column) {
        const quint8 merge = m_cellMerges[size_t(column)];
        if ((merge & MergeWithAbove) && !(merge & MergeFirstVertical)
            && table.mergeStartRows[size_t(column)] >= 0) {
            table.mergeEndRows[size_t(column)] = table.row;
            continue;
        }
        endVerticalMerge(table, column);
        if (merge & MergeFirstVertical)
            table.mergeStartRows[size_t(column)] = table.mergeEndRows[size_t(column)] = table.row;
    }
}

void RtfReader::endVerticalMerge(OpenTable &table, int column)
{
    int &start = table.mergeStartRows[size_t(column)];
    const int end = table.mergeEndRows[size_t(column)];
    if (start >= 0 && end > start) {
        const int columns = table.table->cellAt(start, column).columnSpan();
        table.table->mergeCells(start, column, end - start + 1, columns);
    }
    start = -1;
}

void RtfReader::endVerticalMerges(OpenTable &table)
{
    for (int column = 0; column < int(table.mergeStartRows.size()); ++column)
        endVerticalMerge(table, column);
}

} // namespace Quillmere::Internal
