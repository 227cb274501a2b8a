// SPDX-License-Identifier: GPL-3.0-or-later
#include "libreoffice.h"
#include "rtfdump.h"
#include "rtfproperties.h"
#include "rtfreader.h"
#include "rtfwriter.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>

#include <functional>

using namespace Quillmere;

using Build = std::function<void(QTextCursor &)>;
Q_DECLARE_METATYPE(Build)

namespace {

std::unique_ptr<QTextDocument> newDocument()
{
    auto document = std::make_unique<QTextDocument>();
    document->setDefaultFont(QFont(u"Arial"_qs, 12));
    return document;
}

QByteArray writeBuilt(const Build &build)
{
    const auto document = newDocument();
    QTextCursor cursor(document.get());
    build(cursor);
    return writeRtf(*document);
}

// Readers ignore line ends between tokens, so checks of content look at the output without them.
QByteArray unwrapped(QByteArray rtf)
{
    return rtf.replace("\r\n", "");
}

QImage smallImage()
{
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(QColor(10, 200, 30));
    image.setPixelColor(1, 2, QColor(250, 0, 5));
    return image;
}

void insertImage(QTextCursor &cursor, const QVariant &resource, double width = 0)
{
    cursor.document()->addResource(QTextDocument::ImageResource, QUrl(u"picture"_qs), resource);
    QTextImageFormat format;
    format.setName(u"picture"_qs);
    if (width > 0)
        format.setWidth(width);
    cursor.insertImage(format);
}

// Where the pieces of a fixture case are missing from the written RTF, or present though barred.
QStringList misses(const QByteArray &rtf, const QStringList &pieces)
{
    QStringList misses;
    for (const QString &piece : pieces) {
        const bool barred = piece.startsWith(u'!');
        const QByteArray bytes = piece.mid(barred ? 1 : 0).toLatin1();
        const bool found = bytes.startsWith('^') ? rtf.startsWith(bytes.mid(1))
            : bytes.endsWith('$')                ? rtf.endsWith(bytes.chopped(1))
                                                 : rtf.contains(bytes);
        if (found == barred)
            misses << piece;
    }
    return misses;
}

// What every file we write keeps to, whatever the document: 7-bit ASCII in CR LF lines of at
// most 128 characters, and no font or colour used that the tables do not declare.
void checkFileForm(const QByteArray &rtf)
{
    const QList<QByteArray> lines = rtf.split('\n');
    QVERIFY2(lines.constLast().isEmpty(), "the last line has no line end");
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        QVERIFY2(lines[i].endsWith('\r') && !lines[i].chopped(1).contains('\r'), "a bare LF or CR");
        QVERIFY2(lines[i].size() - 1 <= 128, lines[i].constData());
        for (const char byte : lines[i])
            QVERIFY2(uchar(byte) < 0x80, "a byte outside 7-bit ASCII");
    }
    const QString text = QString::fromLatin1(unwrapped(rtf));
    QSet<int> fonts;
    QStringList names;
    static const QRegularExpression font(u"\\{\\\\f(\\d+)\\\\fnil\\\\fcharset\\d+ ([^;]*);"_qs);
    for (const auto &match : font.globalMatch(text)) {
        fonts.insert(match.captured(1).toInt());
        names << match.captured(2);
    }
    const qsizetype colourTable = text.indexOf(u"{\\colortbl"_qs);
    const qsizetype body = text.indexOf(u'}', colourTable);
    const QStringList colourEntries = text.mid(colourTable, body - colourTable).split(u';');
    const int colours = int(colourEntries.size() - 1);
    // Each font and colour is declared once.
    QCOMPARE(QSet(names.begin(), names.end()).size(), names.size());
    QCOMPARE(QSet(colourEntries.begin(), colourEntries.end()).size(), colourEntries.size());
    for (const auto &match : QRegularExpression(u"\\\\(?:f|pnf)(\\d+)"_qs).globalMatch(text, body))
        QVERIFY2(fonts.contains(match.captured(1).toInt()), qPrintable(match.captured()));
    static const QRegularExpression colourWord(
        u"\\\\(?:cf|highlight|chcbpat|cbpat|clcbpat|brdrcf)(\\d+)"_qs);
    for (const auto &match : colourWord.globalMatch(text, body)) {
        QVERIFY2(match.captured(1).toInt() >= 1 && match.captured(1).toInt() < colours,
                 qPrintable(match.captured()));
    }
}

QTextCharFormat randomCharacters(QRandomGenerator &random)
{
    static const QString families[]
        = { u"Arial"_qs, u"Times New Roman"_qs, u"Courier New"_qs, u"Noto Sans"_qs };
    static const double sizes[] = { 8, 10.5, 12, 20 };
    QTextCharFormat format;
    // The writer names every run's font and size, so the reader gives every run both.
    format.setFontFamilies({ families[random.bounded(4)] });
    format.setFontPointSize(sizes[random.bounded(4)]);
    const quint32 flags = random.generate();
    if (flags & 1)
        format.setFontWeight(QFont::Bold);
    if (flags & 2)
        format.setFontItalic(true);
    if (flags & 4)
        format.setUnderlineStyle(QTextCharFormat::UnderlineStyle(1 + random.bounded(6)));
    if (flags & 8)
        format.setFontStrikeOut(true);
    if (flags & 16)
        format.setVerticalAlignment(flags & 32 ? QTextCharFormat::AlignSuperScript
                                               : QTextCharFormat::AlignSubScript);
    if (flags & 64)
        format.setFontCapitalization(flags & 128 ? QFont::AllUppercase : QFont::SmallCaps);
    if (flags & 256)
        format.setForeground(QColor::fromRgb(random.generate() & 0xFFFFFF));
    if (flags & 512)
        format.setBackground(QColor::fromRgb(random.generate() & 0xFFFFFF));
    if (flags & 0x2000) {
        format.setFontLetterSpacingType(QFont::AbsoluteSpacing);
        format.setFontLetterSpacing(1 + random.bounded(4));
    }
    if ((flags & 0x1C00) == 0x1C00) {
        format.setAnchor(true);
        format.setAnchorHref(u"https://example.org/%1#part"_qs.arg(
            u"long-path/"_qs.repeated(int(random.bounded(3)) * 20)));
    }
    return format;
}

void insertRuns(QTextCursor &cursor, QRandomGenerator &random)
{
    static const QString texts[] = {
        u"plain words "_qs,
        u"{braces} and \\ backslash"_qs,
        u"a\ttab"_qs,
        u"line\u2028break"_qs,
        u"no\u00A0break soft\u00ADhyphen non\u2011breaking"_qs,
        u"café € “q” — £½"_qs,
        u"Привет мир"_qs,
        u"中文测试 日本語"_qs,
        u"smile 😊 gothic 𐌰𐌱"_qs,
        u"Ωmega Łódź ğüş"_qs,
        u"2024"_qs,
        QString(300, u'x'),
    };
    for (int run = 0, runs = 1 + random.bounded(4); run < runs; ++run)
        cursor.insertText(texts[random.bounded(int(std::size(texts)))], randomCharacters(random));
}

// A document of paragraphs, lists, tables and pictures, the same for the same seed, holding only
// what RTF can say, so that reading what was written for it gives it back.
std::unique_ptr<QTextDocument> generatedDocument(quint32 seed)
{
    QRandomGenerator random(seed);
    auto document = newDocument();
    QTextCursor cursor(document.get());
    static const Qt::Alignment alignments[]
        = { Qt::AlignHCenter, Qt::AlignRight, Qt::AlignJustify };
    for (int part = 0; part < 10; ++part) {
        if (part > 0)
            cursor.insertBlock(QTextBlockFormat(), QTextCharFormat());
        switch (random.bounded(6)) {
        case 0: {
            QTextListFormat list;
            list.setStyle(QTextListFormat::Style(-1 - int(random.bounded(8))));
            list.setIndent(1 + random.bounded(3));
            if (list.style() <= QTextListFormat::ListDecimal && random.bounded(2)) {
                list.setNumberPrefix(u"("_qs);
                list.setNumberSuffix(u")"_qs);
            }
            cursor.createList(list);
            for (int item = 0, items = 1 + random.bounded(3); item < items; ++item) {
                if (item > 0)
                    cursor.insertBlock();
                insertRuns(cursor, random);
            }
            cursor.insertBlock(QTextBlockFormat(), QTextCharFormat());
            break;
        }
        case 1: {
            const int rows = 1 + random.bounded(3);
            const int columns = 1 + random.bounded(3);
            QTextTableFormat format;
            QList<QTextLength> widths;
            for (int column = 0; column < columns; ++column)
                widths << QTextLength(QTextLength::FixedLength, 40 + 20 * random.bounded(5));
            format.setColumnWidthConstraints(widths);
            QTextTableFormat nestedFormat;
            if (random.bounded(2)) {
                format.setBorder(1 + random.bounded(3));
                format.setBorderStyle(QTextFrameFormat::BorderStyle(1 + random.bounded(9)));
                nestedFormat = format;
            }
            QTextTable *table = cursor.insertTable(rows, columns, format);
            const bool merged = rows > 1 && columns > 1 && random.bounded(2);
            if (merged)
                table->mergeCells(0, 0, 1 + random.bounded(rows), 2);
            QTextTableCellFormat look;
            look.setBackground(QColor::fromRgb(random.generate() & 0xFFFFFF));
            // A lone cell with borders of its own leaves the table's border nowhere to be seen.
            if (rows * columns > 1 && !merged && random.bounded(2)) {
                look.setTopBorder(1 + random.bounded(4));
                look.setTopBorderStyle(QTextFrameFormat::BorderStyle(1 + random.bounded(10)));
                look.setTopBorderBrush(QColor::fromRgb(random.generate() & 0xFFFFFF));
                look.setBottomBorder(0);
                look.setBottomBorderStyle(QTextFrameFormat::BorderStyle_None);
                look.setLeftBorder(1);
                look.setLeftBorderStyle(QTextFrameFormat::BorderStyle_Dotted);
                look.setRightBorder(0);
                look.setRightBorderStyle(QTextFrameFormat::BorderStyle_None);
            }
            table->cellAt(rows - 1, columns - 1).setFormat(look);
            // A table in a cell, itself with a table in one of its cells.
            if (random.bounded(3) == 0) {
                QTextCursor inCell = table->cellAt(0, columns - 1).firstCursorPosition();
                nestedFormat.setColumnWidthConstraints(
                    { QTextLength(QTextLength::FixedLength, 40),
                      QTextLength(QTextLength::FixedLength, 60) });
                QTextTable *nested = inCell.insertTable(1 + random.bounded(2), 2, nestedFormat);
                nestedFormat.setColumnWidthConstraints(
                    { QTextLength(QTextLength::FixedLength, 40) });
                nested->cellAt(0, 1).firstCursorPosition().insertTable(1, 1, nestedFormat);
            }
            for (int cell = 0; cell < rows * columns; ++cell) {
                QTextCursor inCell
                    = table->cellAt(cell / columns, cell % columns).lastCursorPosition();
                if (inCell.block().text().isEmpty())
                    insertRuns(inCell, random);
            }
            cursor.movePosition(QTextCursor::End);
            break;
        }
        case 2: {
            QImage image(1 + random.bounded(30), 1 + random.bounded(30), QImage::Format_RGB32);
            image.fill(QColor::fromRgb(random.generate() & 0xFFFFFF));
            const QString name = u"picture%1"_qs.arg(part);
            // Pictures come as images, pixmaps or the bytes of an image file.
            const QVariant resources[]
                = { image, QPixmap::fromImage(image), RtfDump::encoded(image, "BMP") };
            document->addResource(QTextDocument::ImageResource, QUrl(name), resources[part % 3]);
            QTextImageFormat format;
            format.setName(name);
            format.setWidth(image.width() * 2);
            format.setHeight(image.height() + 3);
            insertRuns(cursor, random);
            cursor.insertImage(format);
            break;
        }
        default: {
            QTextBlockFormat format;
            if (random.bounded(2))
                format.setAlignment(alignments[random.bounded(3)]);
            // Lengths of zero are not written, and space above or below is never negative.
            const auto setLength = [&](QTextFormat::Property property, int step, int lowest) {
                if (const int length = step * (lowest + int(random.bounded(5))))
                    format.setProperty(property, double(length));
            };
            setLength(QTextFormat::BlockLeftMargin, 24, -2);
            setLength(QTextFormat::TextIndent, 12, -2);
            setLength(QTextFormat::BlockRightMargin, 8, -2);
            setLength(QTextFormat::BlockTopMargin, 4, 0);
            setLength(QTextFormat::BlockBottomMargin, 6, 0);
            if (random.bounded(8) == 0)
                format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
            static const int lineHeights[]
                = { QTextBlockFormat::ProportionalHeight, QTextBlockFormat::FixedHeight,
                    QTextBlockFormat::MinimumHeight };
            if (random.bounded(2))
                format.setLineHeight(15 * (4 + int(random.bounded(10))),
                                     lineHeights[random.bounded(3)]);
            if (random.bounded(2)) {
                format.setTabPositions(
                    { QTextOption::Tab(48, QTextOption::RightTab),
                      QTextOption::Tab(96 + random.bounded(9), QTextOption::CenterTab) });
                format.setBackground(QColor::fromRgb(random.generate() & 0xFFFFFF));
            }
            cursor.setBlockFormat(format);
            insertRuns(cursor, random);
        }
        }
    }
    return document;
}

// The text a peer should show: every paragraph, line and cell break as LF, no-break spaces kept.
QString textOf(const QTextDocument &document)
{
    QString text = document.toRawText();
    for (QChar &character : text) {
        const char16_t unit = character.unicode();
        if (unit == 0x2028 || unit == 0x2029 || unit == 0xFDD0 || unit == 0xFDD1)
            character = u'\n';
    }
    return text;
}

// A text, word by word: list markers, table rules and the marks peers print for pictures
// removed, soft hyphens and object markers dropped.
QStringList wordsOf(QString text)
{
    static const QRegularExpression marker(
        u"^(?:[\u2022\u25e6\u25aa\u00b7*-]|\\d+[.)]|[a-zA-Z][.)]|[ivxlcdmIVXLCDM]+[.)])\\s+"_qs);
    static const QRegularExpression rule(u"^[-+=|: ]+$"_qs);
    text.remove(QChar(0xFEFF)).remove(QChar(0x00AD)).remove(QChar(0xFFFC));
    text.replace(u"[image]"_qs, u" "_qs);
    QStringList words;
    for (QString line : text.split(u'\n')) {
        line = line.trimmed();
        if (rule.match(line).hasMatch())
            continue;
        line.remove(marker);
        words += line.split(QRegularExpression(u"[ \t\r]+"_qs), Qt::SkipEmptyParts);
    }
    return words;
}

} // namespace

class TestRtfWriter : public QObject
{
    Q_OBJECT

private slots:
    void fixtures_data();
    void fixtures();
    void writesWhatOnlyQtMakes_data();
    void writesWhatOnlyQtMakes();
    void escapesEveryCharacterAsSevenBitAscii();
    void generatedDocumentsReadBack_data();
    void generatedDocumentsReadBack();
    void libreOfficeReadsOurText_data();
    void libreOfficeReadsOurText();
    void pandocReadsOurText_data();
    void pandocReadsOurText();

private:
    const LibreOffice::Conversion &libreOfficeTexts();

    QTemporaryDir m_peerFolder;
    std::optional<LibreOffice::Conversion> m_libreOffice;
};

void TestRtfWriter::fixtures_data()
{
    RtfDump::addFixtureRows(QFINDTESTDATA("data/rtf-write.txt"));
}

void TestRtfWriter::fixtures()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, input);
    QFETCH(QString, expected);
    QVERIFY(kind == u"write" || kind == u"keeps");
    const auto document = readRtf(input);
    document->setDefaultFont(QFont(u"Arial"_qs, 12));
    const QByteArray rtf = unwrapped(writeRtf(*document));
    QStringList pieces = expected.split(u'\t');
    // What a save keeps, and the same again after a second save.
    if (kind == u"keeps") {
        checkFileForm(writeRtf(*document));
        const auto saved = readRtf(rtf);
        saved->setDefaultFont(QFont(u"Arial"_qs, 12));
        QCOMPARE(RtfDump::line(*saved), pieces.takeFirst());
        QCOMPARE(RtfDump::line(*readRtf(writeRtf(*saved))), RtfDump::line(*saved));
    }
    const QStringList missed = misses(rtf, pieces);
    QVERIFY2(missed.isEmpty(), qPrintable(missed.join(u" and ") + u" in "_qs + rtf));
}

// Documents the reader never makes, as a user's edits or a paste can.
void TestRtfWriter::writesWhatOnlyQtMakes_data()
{
    QTest::addColumn<Build>("build");
    QTest::addColumn<QStringList>("expected");

    const auto text = [](const std::function<void(QTextCharFormat &)> &change) {
        return Build([=](QTextCursor &cursor) {
            QTextCharFormat format;
            change(format);
            cursor.insertText(u"z"_qs, format);
        });
    };
    QTest::addRow("pixel size in points")
        << text([](auto &f) { f.setProperty(QTextFormat::FontPixelSize, 20); })
        << QStringList { u"{\\f0\\fs30 z}"_qs };
    QTest::addRow("size beyond RTF's range") << text([](auto &f) { f.setFontPointSize(5000); })
                                             << QStringList { u"{\\f0\\fs3276 z}"_qs };
    QTest::addRow("spell-check underline is no formatting")
        << text([](auto &f) { f.setUnderlineStyle(QTextCharFormat::SpellCheckUnderline); })
        << QStringList { u"{\\f0\\fs24 z}"_qs, u"!\\ul"_qs };
    QTest::addRow("font name with braces and semicolon")
        << text([](auto &f) { f.setFontFamilies({ u"Odd {Font}; Name"_qs }); })
        << QStringList { u"{\\f1\\fnil\\fcharset0 Odd \\{Font\\} Name;}"_qs };
    QTest::addRow("quote and backslash in a link") << text([](auto &f) {
        f.setAnchor(true);
        f.setAnchorHref(u"http://e.org/\"a\"\\b"_qs);
    }) << QStringList { u"HYPERLINK \"http://e.org/%22a%22\\\\b\""_qs };
    QTest::addRow("indent level") << Build([](QTextCursor &cursor) {
        QTextBlockFormat format;
        format.setIndent(2);
        cursor.setBlockFormat(format);
        cursor.insertText(u"p"_qs);
    }) << QStringList { u"\\pard\\li1200{"_qs };
    QTest::addRow("column widths of every kind") << Build([](QTextCursor &cursor) {
        QTextTableFormat format;
        format.setBorder(0);
        format.setColumnWidthConstraints({ QTextLength(QTextLength::FixedLength, 100),
                                           QTextLength(QTextLength::PercentageLength, 25),
                                           QTextLength(QTextLength::VariableLength, 0) });
        cursor.insertTable(1, 3, format);
    }) << QStringList { u"\\cellx1500\\cellx3840\\cellx9360"_qs };
    QTest::addRow("table borders, alignment and shading")
        << Build([](QTextCursor &cursor) {
               QTextTableFormat format;
               format.setBorder(1);
               format.setAlignment(Qt::AlignHCenter);
               QTextTableCellFormat shaded;
               shaded.setBackground(QColor(200, 200, 200));
               cursor.insertTable(1, 1, format)->cellAt(0, 0).setFormat(shaded);
           })
        << QStringList {
               u"\\trowd\\trgaph108\\trqc\\clbrdrt\\brdrs\\brdrw15\\clbrdrl\\brdrs\\brdrw15"
               "\\clbrdrb\\brdrs\\brdrw15\\clbrdrr\\brdrs\\brdrw15\\clcbpat1\\cellx9360"_qs
           };
    QTest::addRow("table border style Qt does not have") << Build([](QTextCursor &cursor) {
        QTextTableFormat format;
        format.setBorderStyle(QTextFrameFormat::BorderStyle(11));
        cursor.insertTable(1, 1, format);
    }) << QStringList { u"\\trowd\\trgaph108\\cellx9360"_qs };
    // Typing after a mark gives the text the mark's format; a copy of a mark has its notes too.
    QTest::addRow("text typed after a note's mark, and the mark copied")
        << Build([](QTextCursor &cursor) {
               QTextCharFormat mark;
               mark.setProperty(NoteNumber, u"1"_qs);
               mark.setProperty(
                   KeptNotes,
                   QVariant::fromValue(QByteArrayList { FootnoteWord, {}, {}, "{\\rtf1 note}" }));
               mark.setProperty(KeptNoteId, 1);
               cursor.insertText(u"1xyz"_qs, mark);
               cursor.insertText(u" again "_qs, QTextCharFormat());
               cursor.insertText(u"1"_qs, mark);
           })
        << QStringList { u"{\\f0\\fs24\\chftn}{\\footnote \\pard{"_qs,
                         u" note}}{\\f0\\fs24 xyz}{\\f0\\fs24  again }{\\f0\\fs24 1}}$"_qs };
    QTest::addRow("picture scaled by its width")
        << Build([](QTextCursor &cursor) { insertImage(cursor, smallImage(), 8); })
        << QStringList { u"{\\pict\\pngblip\\picw4\\pich3\\picwgoal120\\pichgoal90 89504e47"_qs };
    // A picture no reader could decode is left out rather than written.
    QTest::addRow("undecodable and missing pictures") << Build([](QTextCursor &cursor) {
        cursor.insertText(u"before "_qs);
        insertImage(cursor, QByteArray("\x89PNG not really a picture"));
        QTextImageFormat missing;
        missing.setName(u"nowhere"_qs);
        cursor.insertImage(missing);
        cursor.insertText(u" after"_qs);
    }) << QStringList { u"{\\f0\\fs24 before }{\\f0\\fs24  after}"_qs, u"!\\pict"_qs };
}

void TestRtfWriter::writesWhatOnlyQtMakes()
{
    QFETCH(Build, build);
    QFETCH(QStringList, expected);
    const QByteArray rtf = unwrapped(writeBuilt(build));
    QVERIFY2(misses(rtf, expected).isEmpty(), rtf.constData());
}

void TestRtfWriter::escapesEveryCharacterAsSevenBitAscii()
{
    // Every BMP character that can stand in a paragraph, each followed by a separator, against
    // a plain statement of the rule; Qt's own encoder decides what Windows-1252 has.
    static const QHash<char32_t, QByteArray> specials {
        { u'\\', "\\\\" }, { u'{', "\\{" },   { u'}', "\\}" },       { 0xA0, "\\~" },
        { 0xAD, "\\-" },   { 0x2011, "\\_" }, { 0x2028, "\\line " },
    };
    QStringEncoder windows1252("windows-1252");
    QStringDecoder fromWindows1252("windows-1252");
    QVERIFY(windows1252.isValid() && fromWindows1252.isValid());
    QString text;
    QByteArray expected;
    for (char32_t unit = 0x20; unit <= 0xFFFF; ++unit) {
        if ((unit >= 0xD800 && unit <= 0xDFFF) || unit == 0x2029 || unit == 0xFDD0
            || unit == 0xFDD1)
            continue;
        const QChar character { char16_t(unit) };
        text += character;
        text += u'|';
        const QByteArray encoded = windows1252.encode(QStringView(&character, 1));
        if (specials.contains(unit))
            expected += specials.value(unit);
        else if (unit < 0x7F)
            expected += char(unit);
        else if (unit >= 0xA0 && encoded.size() == 1
                 && QString(fromWindows1252.decode(encoded)) == QString(character))
            expected += "\\'" + encoded.toHex();
        else
            expected += "\\u" + QByteArray::number(unit > 0x7FFF ? int(unit) - 0x10000 : int(unit))
                + " ?";
        windows1252.resetState();
        fromWindows1252.resetState();
        expected += '|';
    }
    const QByteArray rtf = writeBuilt([&](QTextCursor &cursor) { cursor.insertText(text); });
    checkFileForm(rtf);
    const QByteArray body = unwrapped(rtf);
    const qsizetype start = body.indexOf("{\\f0\\fs24 ") + 10;
    QCOMPARE(body.mid(start, expected.size()), expected);
    QCOMPARE(body.mid(start + expected.size()), QByteArray("}}"));
}

void TestRtfWriter::generatedDocumentsReadBack_data()
{
    QTest::addColumn<quint32>("seed");
    for (quint32 seed = 1; seed <= 100; ++seed)
        QTest::addRow("seed %u", seed) << seed;
}

// Reading what was written gives the document back, and writing that again the same file.
void TestRtfWriter::generatedDocumentsReadBack()
{
    QFETCH(quint32, seed);
    const auto document = generatedDocument(seed);
    const QByteArray rtf = writeRtf(*document);
    checkFileForm(rtf);
    const auto loaded = readRtf(rtf);
    QCOMPARE(RtfDump::lines(*loaded), RtfDump::lines(*document));
    loaded->setDefaultFont(document->defaultFont());
    QCOMPARE(writeRtf(*loaded), rtf);
}

// Saves every sample for one LibreOffice run to convert.
const LibreOffice::Conversion &TestRtfWriter::libreOfficeTexts()
{
    if (m_libreOffice)
        return *m_libreOffice;
    m_libreOffice.emplace();
    QStringList paths;
    QFile samples(QFINDTESTDATA("data/rtf-peers.txt"));
    if (!samples.open(QIODevice::ReadOnly))
        return *m_libreOffice;
    for (int line = 1; !samples.atEnd(); ++line) {
        const QList<QByteArray> fields = samples.readLine().chopped(1).split('\t');
        if (fields.size() < 3)
            continue;
        const QString path = m_peerFolder.filePath(u"line%1.rtf"_qs.arg(line));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly)
            || file.write(writeRtf(*readRtf(RtfDump::fixtureInput(QString::fromUtf8(fields[1])))))
                < 0)
            return *m_libreOffice;
        paths << path;
    }
    m_libreOffice = LibreOffice::convert(paths, u"txt:Text (encoded):UTF8"_qs,
                                         m_peerFolder.filePath(u"lo"_qs),
                                         u"check that it reads our files"_qs);
    return *m_libreOffice;
}

void TestRtfWriter::libreOfficeReadsOurText_data()
{
    RtfDump::addFixtureRows(QFINDTESTDATA("data/rtf-peers.txt"));
}

void TestRtfWriter::libreOfficeReadsOurText()
{
    QFETCH(QByteArray, input);
    const LibreOffice::Conversion &conversion = libreOfficeTexts();
    if (!conversion.skipReason.isEmpty())
        QSKIP(qPrintable(conversion.skipReason));
    const QHash<QString, QString> &texts = conversion.files;
    const auto converted
        = texts.constFind(QString::fromLatin1(QTest::currentDataTag()).remove(u' '));
    QVERIFY2(converted != texts.constEnd(), "LibreOffice could not read the file");
    QCOMPARE(wordsOf(*converted), wordsOf(textOf(*readRtf(input))));
}

void TestRtfWriter::pandocReadsOurText_data()
{
    RtfDump::addFixtureRows(QFINDTESTDATA("data/rtf-peers.txt"));
}

void TestRtfWriter::pandocReadsOurText()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, input);
    if (kind != u"pandoc")
        QSKIP("pandoc 2.17 misreads this document: its name in rtf-peers.txt says how");
    const QString pandoc = QStandardPaths::findExecutable(u"pandoc"_qs);
    if (pandoc.isEmpty())
        QSKIP("pandoc is not installed: install it to check that it reads our files");
    const auto document = readRtf(input);
    QProcess process;
    // Without these extensions pandoc writes text, not its marks for formatting.
    process.start(pandoc,
                  { u"-f"_qs, u"rtf"_qs, u"-t"_qs, u"plain-strikeout-superscript-subscript"_qs,
                    u"--wrap=none"_qs });
    QVERIFY(process.waitForStarted());
    process.write(writeRtf(*document));
    process.closeWriteChannel();
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 0);
    // Its plain text still shows superscripts and subscripts: as ^(x) and _(x), and digits as
    // the Unicode superscript and subscript digits.
    static const QRegularExpression raised(u"[_^]\\(([^)]*)\\)"_qs);
    QString text = QString::fromUtf8(process.readAllStandardOutput()).replace(raised, u"\\1"_qs);
    for (QChar &character : text) {
        if (character.category() == QChar::Number_Other && character.digitValue() >= 0)
            character = QChar(u'0' + character.digitValue());
    }
    QCOMPARE(wordsOf(text), wordsOf(textOf(*document)));
}

QTEST_MAIN(TestRtfWriter)
#include "tst_rtfwriter.moc"
