// SPDX-License-Identifier: GPL-3.0-or-later
// Lists as WordPad writes them, and a list table entry for each marker kept as text.
#include "rtfwriter_p.h"

#include "rtfwriterkeywords.h"

#include <QTextBlock>
#include <QTextList>

namespace Quillmere::Internal {

// The marker as text for readers without list support, then the list as WordPad states it.
void RtfWriter::writeListMarker(const QTextBlock &block, const QTextList &list)
{
    const QTextListFormat format = list.format();
    const char *numbering = nullptr;
    for (const NumberingKeyword &entry : NumberingKeywords) {
        if (entry.style == format.style())
            numbering = entry.keyword;
    }
    const BulletMarker *bullet = &BulletMarkers.front();
    for (const BulletMarker &entry : BulletMarkers) {
        if (entry.style == format.style())
            bullet = &entry;
    }
    const int bulletFont
        = numbering ? 0 : fontIndex(QString::fromUtf16(bullet->family), bullet->symbolCharset);

    m_out.open();
    m_out.word("\\pntext");
    m_out.word("\\f", bulletFont);
    if (numbering)
        m_out.writeText(list.itemText(block));
    else
        m_out.hexByte(bullet->byte);
    m_out.word("\\tab");
    m_out.close();

    m_out.open();
    m_out.symbol("\\*");
    m_out.word("\\pn");
    m_out.word(numbering ? "\\pnlvlbody" : "\\pnlvlblt");
    m_out.word("\\pnf", bulletFont);
    m_out.word("\\pnindent", 0);
    if (numbering) {
        m_out.word("\\pnstart", 1);
        m_out.word(numbering);
        writeTextGroup("\\pntxtb", format.numberPrefix());
        writeTextGroup("\\pntxta",
                       format.hasProperty(QTextFormat::ListNumberSuffix) ? format.numberSuffix()
                                                                         : u"."_qs);
    } else {
        m_out.open();
        m_out.word("\\pntxtb");
        m_out.hexByte(bullet->byte);
        m_out.close();
    }
    m_out.close();
}

// A marker kept as text is written as the item of a list whose level shows that very text,
// so that other readers see a list item with the marker it had.
void RtfWriter::writeKeptMarker(const QTextBlock &block, const QString &marker)
{
    m_out.word("\\ls", outermost().markerList(marker));
    m_out.word("\\ilvl", 0);
    m_out.open();
    m_out.word("\\listtext");
    writeRuns(block, 0, marker.size());
    m_out.close();
}

int RtfWriter::markerList(const QString &marker)
{
    const auto found = m_markerLists.constFind(marker);
    if (found != m_markerLists.constEnd())
        return found.value();
    m_markers.push_back(marker);
    return *m_markerLists.insert(marker, FirstMarkerList + int(m_markers.size()) - 1);
}

// One list a marker, whose level shows the marker, less the white space after it, as text
// with no number in it.
void RtfWriter::writeMarkerLists(RtfOutput &out)
{
    if (m_markers.empty())
        return;
    out.open();
    out.symbol("\\*");
    out.word("\\listtable");
    for (size_t index = 0; index < m_markers.size(); ++index) {
        QStringView text = QStringView(m_markers[index]).trimmed();
        text = text.first(qMin(text.size(), MaxLevelTextLength));
        out.open();
        out.word("\\list");
        out.word("\\listsimple");
        out.open();
        out.word("\\listlevel");
        out.word("\\levelnfc", 255);
        out.word("\\levelstartat", 1);
        out.open();
        out.word("\\leveltext");
        out.hexByte(uchar(text.size()));
        // A tab as a byte: a control word stands for no character in a level's text, and
        // a semicolon would end it.
        for (const QChar character : text) {
            const char16_t unit = character.unicode();
            if (unit == u'\t')
                out.hexByte('\t');
            else if (unit > 0x20 && unit < 0x7F && unit != ';' && unit != '\\' && unit != '{'
                     && unit != '}')
                out.literal(char(unit));
            else
                out.writeCharacter(unit);
        }
        out.literal(';');
        out.close();
        out.close();
        out.word("\\listid", FirstMarkerList + qint64(index));
        out.close();
        out.lineEnd();
    }
    out.close();
    out.open();
    out.symbol("\\*");
    out.word("\\listoverridetable");
    for (size_t index = 0; index < m_markers.size(); ++index) {
        out.open();
        out.word("\\listoverride");
        out.word("\\listid", FirstMarkerList + qint64(index));
        out.word("\\listoverridecount", 0);
        out.word("\\ls", FirstMarkerList + qint64(index));
        out.close();
    }
    out.close();
    out.lineEnd();
}

} // namespace Quillmere::Internal
