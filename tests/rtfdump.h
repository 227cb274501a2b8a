// SPDX-License-Identifier: GPL-3.0-or-later
// A document as lines of text naming every property it holds, so that the RTF tests compare
// documents as text and fixtures can state a whole document in one line.
//   [table2x2,100px,25%,auto] [cell0,1,span1x2] [end]  tables and their cells
//   [list1,decimal,indent2,item0,'1.']                  list membership (lists counted in order)
//   [center,left48,first-24]                            block properties, in pixels
//   <b,i,font=Courier New,12pt,fg#ff0000>text            a run and its character properties
//   [img4x2,40x20,#ff0000]                              picture: its pixels, shown size, colour
//   [cell0,0,bg#ff0000,#4816=1,#481a=3]                 a cell's shading and borders
// Hard-to-see characters come out as \uXXXX; '\', '[', '<' and '|' are escaped with '\'.
#pragma once

#include "rtfnotes.h"
#include "rtfproperties.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QPixmap>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextList>
#include <QTextTable>

namespace RtfDump {

inline QString escaped(QStringView text)
{
    QString out;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'\\' || u == u'[' || u == u'<' || u == u'|')
            out += u'\\' + QString(c);
        else if (u == u'\t')
            out += u"\\t"_qs;
        else if (u == u' '
                 || (c.isPrint() && !c.isSpace() && c.category() != QChar::Other_Format
                     && c.category() != QChar::Other_PrivateUse && u != 0xFFFD))
            out += c;
        else
            out += u"\\u%1"_qs.arg(int(u), 4, 16, QChar(u'0'));
    }
    return out;
}

// Names of the properties the codec reads or writes: by value where the value is one of a few,
// else a prefix and a suffix around the value. Other properties come out as #key=value.
inline const QHash<int, QStringList> &choiceNames()
{
    static const QHash<int, QStringList> names {
        { QTextFormat::FontItalic, { u"i0"_qs, u"i"_qs } },
        { QTextFormat::FontStrikeOut, { u"strike0"_qs, u"strike"_qs } },
        { QTextFormat::FontUnderline, { u"ul0"_qs, u"ul"_qs } },
        { QTextFormat::IsAnchor, { u"anchor0"_qs, u"anchor"_qs } },
        { QTextFormat::TextUnderlineStyle,
          { u"ulnone"_qs, u"ul"_qs, u"uldash"_qs, u"uldot"_qs, u"uldashdot"_qs, u"uldashdotdot"_qs,
            u"ulwave"_qs, u"ulspell"_qs } },
        { QTextFormat::TextVerticalAlignment, { u"normal"_qs, u"super"_qs, u"sub"_qs } },
        { QTextFormat::FontCapitalization,
          { u"mixed"_qs, u"caps"_qs, u"lower"_qs, u"smallcaps"_qs, u"capitalize"_qs } },
        { QTextFormat::BlockAlignment,
          { {}, u"left"_qs, u"right"_qs, {}, u"center"_qs, {}, {}, {}, u"justify"_qs } },
        { QTextFormat::LineHeightType,
          { u"single"_qs, u"proportional"_qs, u"fixed"_qs, u"minimum"_qs, u"distance"_qs } },
        { QTextFormat::FontLetterSpacingType, { u"spacing%"_qs, u"spacingpx"_qs } },
    };
    return names;
}

inline const QHash<int, QPair<QString, QString>> &valueNames()
{
    static const QHash<int, QPair<QString, QString>> names {
        { QTextFormat::FontWeight, { u"weight"_qs, {} } },
        { QTextFormat::FontFamilies, { u"font="_qs, {} } },
        { QTextFormat::FontPointSize, { {}, u"pt"_qs } },
        { QTextFormat::FontPixelSize, { {}, u"px"_qs } },
        { QTextFormat::ForegroundBrush, { u"fg"_qs, {} } },
        { QTextFormat::BackgroundBrush, { u"bg"_qs, {} } },
        { QTextFormat::AnchorHref, { u"href="_qs, {} } },
        { QTextFormat::BlockLeftMargin, { u"left"_qs, {} } },
        { QTextFormat::BlockRightMargin, { u"right"_qs, {} } },
        { QTextFormat::TextIndent, { u"first"_qs, {} } },
        { QTextFormat::BlockTopMargin, { u"above"_qs, {} } },
        { QTextFormat::BlockBottomMargin, { u"below"_qs, {} } },
        { QTextFormat::BlockIndent, { u"level"_qs, {} } },
        { QTextFormat::PageBreakPolicy, { u"pagebreak"_qs, {} } },
        { QTextFormat::LineHeight, { u"lh"_qs, {} } },
        { QTextFormat::TabPositions, { u"tabs="_qs, {} } },
        { QTextFormat::FontLetterSpacing, { u"spacing"_qs, {} } },
        { Quillmere::NoteNumber, { u"number="_qs, {} } },
    };
    return names;
}

inline QString line(const QTextDocument &document);

inline QString valueText(const QVariant &value)
{
    if (value.typeId() == QMetaType::QBrush) {
        const QBrush brush = value.value<QBrush>();
        return brush.style() == Qt::NoBrush ? u"none"_qs
                                            : brush.color().name(QColor::HexArgb).remove(1, 2);
    }
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(u'/');
    if (value.typeId() == QMetaType::QVariantList) {
        // Tab stops as type and position: l, r, c or the delimiter.
        QStringList items;
        for (const QVariant &item : value.toList()) {
            if (!item.canConvert<QTextOption::Tab>()) {
                items << valueText(item);
                continue;
            }
            const auto tab = item.value<QTextOption::Tab>();
            const QString types[] = { u"l"_qs, u"r"_qs, u"c"_qs, QString(tab.delimiter) };
            items << types[tab.type] + QString::number(tab.position);
        }
        return items.join(u'/');
    }
    if (value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Int)
        return QString::number(value.toDouble());
    return value.toString();
}

// The properties of a format, each as a word; the underline flag and the anchor flag only where
// the underline style and the link target do not say them already.
inline QStringList properties(const QTextFormat &format)
{
    QStringList words;
    const auto all = format.properties();
    for (auto it = all.cbegin(); it != all.cend(); ++it) {
        const int key = it.key();
        const QVariant &value = it.value();
        const QStringList choices = choiceNames().value(key);
        const int index = value.toInt();
        if (key == Quillmere::KeptListMarker) {
            words << u"marker="_qs + escaped(value.toString());
            continue;
        }
        if (key == Quillmere::KeptNotes) {
            const QByteArrayList notes = value.value<QByteArrayList>();
            for (qsizetype i = 0; i + 3 < notes.size(); i += 4) {
                const auto content = Quillmere::Internal::readNoteContent(notes[i + 3]);
                words << QString::fromUtf8(notes[i] + ' ' + notes[i + 1] + ' ' + notes[i + 2])
                             .trimmed()
                        + u'{' + line(*content) + u'}';
            }
            continue;
        }
        if (key == QTextFormat::ObjectIndex || key == QTextFormat::ObjectType
            || key == Quillmere::KeptNoteId
            || (key >= QTextFormat::ImageName && key <= QTextFormat::ImageHeight)
            || (key == QTextFormat::FontUnderline
                && format.hasProperty(QTextFormat::TextUnderlineStyle))
            || (key == QTextFormat::IsAnchor && value.toBool()
                && format.hasProperty(QTextFormat::AnchorHref)))
            continue;
        if (key == QTextFormat::FontWeight && index == QFont::Bold)
            words << u"b"_qs;
        else if (index >= 0 && index < choices.size() && !choices[index].isEmpty())
            words << choices[index];
        else if (const auto name = valueNames().constFind(key); name != valueNames().cend())
            words << name->first + valueText(value) + name->second;
        else
            words << u"#%1=%2"_qs.arg(key, 0, 16).arg(valueText(value));
    }
    return words;
}

inline QString image(const QTextDocument &document, const QTextImageFormat &format)
{
    const QVariant resource = document.resource(QTextDocument::ImageResource, QUrl(format.name()));
    QImage image = resource.typeId() == QMetaType::QPixmap ? resource.value<QPixmap>().toImage()
                                                           : resource.value<QImage>();
    if (resource.typeId() == QMetaType::QByteArray)
        image = QImage::fromData(resource.toByteArray());
    const QString pixels
        = image.isNull() ? u"?"_qs : u"%1x%2"_qs.arg(image.width()).arg(image.height());
    QString colour = image.isNull() ? QString() : u","_qs + image.pixelColor(0, 0).name();
    // A picture kept from a file but not decoded shows as a box: say what kind it stands for.
    if (format.hasProperty(Quillmere::OriginalPictureFormat)
        && !format.hasProperty(Quillmere::OriginalPictureSize))
        colour += u',' + format.property(Quillmere::OriginalPictureFormat).toString();
    return u"[img%1,%2x%3%4]"_qs.arg(pixels).arg(QString::number(format.width()),
                                                 QString::number(format.height()), colour);
}

// The data of every picture read from a file, with the words that described it.
inline QStringList pictureData(const QTextDocument &document)
{
    QStringList pictures;
    using namespace Quillmere;
    for (const QTextFormat &format : document.allFormats()) {
        if (format.isImageFormat() && format.hasProperty(OriginalPictureBytes))
            pictures << format.property(OriginalPictureKeywords).toString() + u' '
                    + QString::fromLatin1(
                            format.property(OriginalPictureBytes).toByteArray().toHex());
    }
    return pictures;
}

inline QString block(const QTextBlock &block, QList<const QTextList *> &lists)
{
    QString line;
    if (const QTextList *list = block.textList()) {
        static const char16_t *const styles[]
            = { u"",           u"disc",        u"circle",      u"square",
                u"decimal",    u"lower-alpha", u"upper-alpha", u"lower-roman",
                u"upper-roman" };
        if (!lists.contains(list))
            lists << list;
        const int style = -int(list->format().style());
        line += u"[list%1,%2,indent%3,item%4,'%5']"_qs.arg(lists.indexOf(list) + 1)
                    .arg(QString::fromUtf16(styles[qBound(0, style, 8)]))
                    .arg(list->format().indent())
                    .arg(list->itemNumber(block))
                    .arg(escaped(list->itemText(block)));
    }
    if (block.charFormat().hasProperty(Quillmere::KeptNotes))
        line += u'[' + properties(block.charFormat()).join(u',') + u']';
    const QStringList words = properties(block.blockFormat());
    if (!words.isEmpty())
        line += u'[' + words.join(u',') + u']';
    // Fragments whose properties read the same are one run.
    QString run;
    for (auto fragment = block.begin(); !fragment.atEnd(); ++fragment) {
        const QTextCharFormat format = fragment.fragment().charFormat();
        if (format.isImageFormat()) {
            for (int i = 0; i < fragment.fragment().length(); ++i)
                line += image(*block.document(), format.toImageFormat());
            run = u"\1"_qs;
            continue;
        }
        const QString description = properties(format).join(u',');
        if (description != run && !(run.isNull() && description.isEmpty()))
            line += u'<' + description + u'>';
        run = description;
        line += escaped(fragment.fragment().text());
    }
    return line;
}

inline void frame(QTextFrame::iterator it, QStringList &lines, QList<const QTextList *> &lists)
{
    for (; !it.atEnd(); ++it) {
        QTextFrame *child = it.currentFrame();
        auto *table = qobject_cast<QTextTable *>(child);
        if (child && !table) {
            frame(child->begin(), lines, lists);
        } else if (table) {
            QStringList widths;
            for (const QTextLength &width : table->format().columnWidthConstraints()) {
                widths << (width.type() == QTextLength::FixedLength            ? u"%1px"_qs
                               : width.type() == QTextLength::PercentageLength ? u"%1%"_qs
                                                                               : u"auto"_qs)
                              .arg(width.rawValue());
            }
            // The border where it is not Qt's default or the plain line the writer makes of it.
            const QTextTableFormat format = table->format();
            if (format.border() != 1
                || (format.borderStyle() != QTextFrameFormat::BorderStyle_Outset
                    && format.borderStyle() != QTextFrameFormat::BorderStyle_Solid)
                || format.borderBrush() != QBrush(Qt::darkGray))
                widths << u"border%1,style%2,%3"_qs.arg(format.border())
                              .arg(int(format.borderStyle()))
                              .arg(valueText(format.borderBrush()));
            lines << u"[table%1x%2%3]"_qs.arg(table->rows())
                         .arg(table->columns())
                         .arg(widths.isEmpty() ? QString() : u","_qs + widths.join(u','));
            for (int row = 0; row < table->rows(); ++row) {
                for (int column = 0; column < table->columns(); ++column) {
                    const QTextTableCell cell = table->cellAt(row, column);
                    if (cell.row() != row || cell.column() != column)
                        continue;
                    const bool spans = cell.rowSpan() > 1 || cell.columnSpan() > 1;
                    // Only the cell's own properties: the rest are its first character's.
                    QTextFormat look;
                    const auto all = cell.format().properties();
                    for (auto it = all.cbegin(); it != all.cend(); ++it) {
                        if (it.key() == QTextFormat::BackgroundBrush
                            || (it.key() >= QTextFormat::TableCellTopBorder
                                && it.key() <= QTextFormat::TableCellRightBorderBrush))
                            look.setProperty(it.key(), it.value());
                    }
                    const QStringList words = properties(look);
                    lines << u"[cell%1,%2%3%4]"_qs.arg(row).arg(column).arg(
                        spans ? u",span%1x%2"_qs.arg(cell.rowSpan()).arg(cell.columnSpan())
                              : QString(),
                        words.isEmpty() ? QString() : u","_qs + words.join(u','));
                    frame(cell.begin(), lines, lists);
                }
            }
            lines << u"[end]"_qs;
        } else {
            lines << block(it.currentBlock(), lists);
        }
    }
}

inline QStringList lines(const QTextDocument &document)
{
    QStringList lines;
    const QByteArrayList headers = document.rootFrame()
                                       ->frameFormat()
                                       .property(Quillmere::KeptHeaders)
                                       .value<QByteArrayList>();
    for (qsizetype i = 0; i + 1 < headers.size(); i += 2) {
        lines << u"[%1{%2}]"_qs.arg(QString::fromLatin1(headers[i]),
                                    line(*Quillmere::Internal::readNoteContent(headers[i + 1])));
    }
    QList<const QTextList *> lists;
    frame(document.rootFrame()->begin(), lines, lists);
    return lines;
}

// The whole document on one line, lines separated by '|'.
inline QString line(const QTextDocument &document)
{
    return lines(document).join(u'|');
}

inline QByteArray encoded(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

inline QImage filled(QColor color, int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

// The fixture's input: %XX escapes decoded and the picture placeholders filled in.
inline QByteArray fixtureInput(const QString &field)
{
    const QByteArray png = encoded(filled(Qt::red, 4, 2), "PNG").toHex();
    const QByteArray jpeg = encoded(filled(Qt::white, 8, 8), "JPEG");
    return QByteArray::fromPercentEncoding(field.toUtf8())
        .replace("$pngf", png + 'f')
        .replace("$png2", encoded(filled(Qt::blue, 4, 2), "PNG").toHex())
        .replace("$png", png)
        .replace("$jpeg", "\\bin" + QByteArray::number(jpeg.size()) + ' ' + jpeg);
}

// Adds a test row for each case of a fixture file: lines of kind TAB input TAB expected
// (expected may hold tabs), '#' starting a comment line. Columns: kind, input, expected.
inline void addFixtureRows(const QString &path)
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("expected");
    QFile file(path);
    QVERIFY2(file.open(QIODevice::ReadOnly | QIODevice::Text), qPrintable(path));
    int number = 0;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).chopped(1);
        ++number;
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        const QStringList fields = line.split(u'\t');
        QVERIFY2(fields.size() >= 3, qPrintable(u"line %1: not three fields"_qs.arg(number)));
        QTest::addRow("line %d", number)
            << fields[0] << fixtureInput(fields[1]) << fields.mid(2).join(u'\t');
    }
}

} // namespace RtfDump
