// SPDX-License-Identifier: GPL-3.0-or-later
// The RTF writer, shared by the files that write each concern: each group of its functions
// below names the file that holds them.
#pragma once

#include "rtfoutput.h"
#include "rtfunits.h"
#include "rtfwriterpictures.h"

#include <QHash>
#include <QTextFormat>
#include <QTextFrame>

#include <limits>
#include <optional>
#include <set>
#include <vector>

class QTextBlock;
class QTextDocument;
class QTextList;
class QTextTable;

namespace Quillmere::Internal {

inline int toTwips(double pixels)
{
    return qRound(pixels * TwipsPerDocumentPixel);
}

// What a run needs from its character format, worked out once per format.
struct RunFormat
{
    QByteArray keywords;
    QString href;
    bool image = false;
    // The run's font draws symbols in place of letters: 1 for any, 2 for the Symbol font.
    int symbolFont = 0;
    // The run is a note's reference mark, or a footnote's automatic number.
    bool note = false;
    bool noteNumber = false;
};

class RtfWriter
{
public:
    explicit RtfWriter(const QTextDocument &document);
    // Writes the content of a note into the file `outer` writes, with its font and colour tables.
    RtfWriter(const QTextDocument &document, RtfWriter &outer);

    QByteArray write();

private:
    RtfWriter &outermost() { return m_outermost ? *m_outermost : *this; }

    // The document walk.
    void writeItems(QTextFrame::iterator it);
    void writeParagraphStart();
    bool tableFollows(QTextFrame::iterator it) const;
    void endParagraph();
    void writeBlock(const QTextBlock &block);

    // Character formatting and the font and colour tables (rtfwritercharformat.cpp).
    static QString familyOf(const QFont &font);
    int fontIndex(const QString &family, bool symbol = false);
    int colorIndex(const QColor &color);
    void writeFontTable(RtfOutput &out);
    void writeColorTable(RtfOutput &out);
    const RunFormat &runFormat(int formatIndex)
    {
        std::optional<RunFormat> &cached = m_runFormats[size_t(formatIndex)];
        if (!cached)
            cached = describeRun(m_formats.at(formatIndex).toCharFormat());
        return *cached;
    }
    RunFormat describeRun(const QTextCharFormat &format);

    // Runs of text, note marks and links (rtfwriterruns.cpp).
    void writeRuns(const QTextBlock &block, qsizetype from = 0,
                   qsizetype to = std::numeric_limits<qsizetype>::max());
    void writeTextRun(const RunFormat &run, QStringView text);
    void writeMarkedRun(const QTextFormat &format, const RunFormat &run, QStringView piece);
    void writeSymbolText(QStringView text, bool symbolFont);
    void writeTextGroup(const char *keyword, const QString &text, bool ignorable = false);
    void openLinkField(const QString &href);
    void closeLink();

    // Paragraph formatting and borders (rtfwriterparagraphs.cpp).
    void writeParagraphFormat(const QTextBlockFormat &format, const QTextList *list);
    bool hasParagraphLook(int formatIndex);
    void writeParagraphLook(const QTextBlockFormat &format);
    void writeLineHeight(const QTextBlockFormat &format);
    void writeTabs(const QTextBlockFormat &format);
    void writeBorderSide(const QTextFormat &format, int widthProperty, int side,
                         const char *sideKeyword);

    // Lists, and the list table of markers kept as text (rtfwriterlists.cpp).
    void writeListMarker(const QTextBlock &block, const QTextList &list);
    void writeKeptMarker(const QTextBlock &block, const QString &marker);
    int markerList(const QString &marker);
    void writeMarkerLists(RtfOutput &out);

    // Headers, footers, footnotes and comments (rtfwriternotes.cpp).
    void writeHeaders();
    void writeNotes(const QTextFormat &format);
    void writeNoteContent(const QByteArray &rtf);

    // Tables, nested ones too (rtfwritertables.cpp).
    void writeTable(QTextTable &table);
    void writeRowDefinition(const QTextTable &table, int row, const QList<int> &edges);
    void writeTableBorder(const QTextTableFormat &format, const char *sideKeyword);

    // Pictures (rtfwriterpictures.cpp).
    std::optional<EncodedPicture> pictureOf(const QTextImageFormat &format);
    void writeImage(const QTextImageFormat &format);
    void writeOriginalPicture(const EncodedPicture &picture);

    struct Font
    {
        QString family;
        bool symbol = false;
    };

    const QTextDocument &m_document;
    const QList<QTextFormat> m_formats;
    std::vector<std::optional<RunFormat>> m_runFormats;
    // Per format index: whether a block format has a look beyond margins and alignment, or
    // -1 where not yet known.
    std::vector<qint8> m_paragraphLooks;
    bool m_hasNotes = false;
    std::vector<Font> m_fonts;
    QHash<QString, int> m_fontIndexes;
    std::vector<QRgb> m_colors;
    QHash<QRgb, int> m_colorIndexes;
    QHash<QString, std::optional<EncodedPicture>> m_images;
    RtfOutput m_out;
    int m_tableDepth = 0;
    // The writer of the file, when this one writes a note's content into it.
    RtfWriter *m_outermost = nullptr;
    std::set<int> m_notesWritten;
    QHash<QString, int> m_markerLists;
    std::vector<QString> m_markers;
    bool m_paragraphOpen = false;
};

} // namespace Quillmere::Internal
