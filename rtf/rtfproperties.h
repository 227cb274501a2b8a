// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTextFormat>

namespace Quillmere {

// The memory the decoded pictures of one document may take together. Pictures are decoded at
// most MaxDecodedPictureSide pixels a side; once the budget is spent, the rest show as a
// plain grey placeholder of their stated size. Pictures Qt cannot decode take from the same
// budget for the framed box, naming their kind, that shows them.
inline constexpr qint64 DecodedPictureBudget = qint64(96) << 20;
inline constexpr int MaxDecodedPictureSide = 2048;

// Properties of a picture's QTextImageFormat that keep the picture as the file held it, so that
// saving writes the same bytes back however the picture was decoded for showing.
enum PictureProperty : int {
    // QByteArray: the picture's data, whatever its kind.
    OriginalPictureBytes = QTextFormat::UserProperty + 0x5100,
    // QByteArray: "png", "jpeg", "emf", "wmf", "pict", "os2", "dib", "bitmap" or "unknown".
    OriginalPictureFormat,
    // QSize: the picture's own size in pixels, where it was decoded.
    OriginalPictureSize,
    // QByteArray: the control words that described the data in its `\pict` group (kind, sizes,
    // scale, cropping), to be written before it again.
    OriginalPictureKeywords,
};

// A property of the block format of the empty paragraph Qt keeps between two tables, set when
// they are parts of one long table: the paragraph is drawn with no height and is not saved.
inline constexpr int TableContinuation = QTextFormat::UserProperty + 0x5200;

// Paragraph formatting Qt has no property for, kept in the block format so that saving writes
// it back; Qt does not draw it.
enum ParagraphProperty : int {
    // double: the width of a paragraph border's top side in pixels; the other sides' widths
    // follow, then the four sides' QTextFrameFormat::BorderStyle as int, then their QBrush, in
    // the order and layout of QTextFormat::TableCellTopBorder and the properties after it.
    ParagraphTopBorder = QTextFormat::UserProperty + 0x5300,
    ParagraphTopBorderStyle = ParagraphTopBorder + 4,
    ParagraphTopBorderBrush = ParagraphTopBorder + 8,
    ParagraphBorderPropertiesEnd = ParagraphTopBorder + 12,
    // QString: the leader that fills up to each tab stop, one character a stop: '.', '-', '_',
    // '=', U+00B7 or U+2501, or a space for none.
    TabLeaders = ParagraphBorderPropertiesEnd,
    // QVariantList of double: the positions of vertical bars drawn through the paragraph, in
    // pixels.
    BarTabs,
};

// Headers, footers, footnotes and comments, kept so that a save writes them back though the
// editor does not show them. Each one's content is kept as RTF our writer made from it, with
// its own font and colour tables, and is written back through the writer, so that the indexes
// it uses are those of the file being written.
enum KeptNoteProperty : int {
    // QByteArrayList, on the character format of a note's reference mark (or on the block's
    // character format when nothing came before the note in its paragraph): four entries a
    // note, its KeptNoteKinds word, the initials and the name of a comment's author in UTF-8,
    // and the note's content.
    KeptNotes = QTextFormat::UserProperty + 0x5400,
    // int: tells marks apart, so that two alike stay two runs and a copy of a mark in the same
    // document does not write its notes twice.
    KeptNoteId,
    // QString, on the characters of a footnote's automatic number: the number as it was read,
    // written back as the automatic number while the characters still say it.
    NoteNumber,
    // QByteArrayList, on the root frame's format: the keyword of each header or footer and its
    // content, in turn.
    KeptHeaders,
    // QString, on the block format of a list paragraph whose marker is kept as text: the marker,
    // written back as the paragraph's list marker while the paragraph still starts with it.
    KeptListMarker,
};

// The kinds of note, as the control words that open them.
inline constexpr char FootnoteWord[] = "footnote";
inline constexpr char EndnoteWord[] = "endnote";
inline constexpr char CommentWord[] = "annotation";

} // namespace Quillmere
