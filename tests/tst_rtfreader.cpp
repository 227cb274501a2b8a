// SPDX-License-Identifier: GPL-3.0-or-later
#include "plaintext.h"
#include "rtfdump.h"
#include "rtfreader.h"
#include "rtftokenizer.h"
#include "rtfwriter.h"

#include <QRegularExpression>
#include <QTest>

using namespace Quillmere;

namespace {

QString describeTokens(QByteArrayView rtf)
{
    static const QString kinds[]
        = { u"{"_qs, u"}"_qs, u"\\"_qs, u"sym:"_qs, u"hex:"_qs, u"text:"_qs, u"bin:"_qs };
    RtfTokenizer tokenizer(rtf);
    QStringList parts;
    for (RtfToken token = tokenizer.next(); token.kind != RtfToken::Kind::End;
         token = tokenizer.next()) {
        QString value = QString::fromLatin1(token.bytes);
        if (token.kind == RtfToken::Kind::ControlWord && token.hasParameter)
            value += QString::number(token.parameter);
        else if (token.kind == RtfToken::Kind::ControlSymbol)
            value = token.parameter == '\n' ? u"LF"_qs : QString(QChar(token.parameter));
        else if (token.kind == RtfToken::Kind::HexByte)
            value = QString::number(token.parameter, 16);
        else if (token.kind == RtfToken::Kind::Binary)
            value = QString::fromLatin1(token.bytes.toByteArray().toHex());
        parts << kinds[int(token.kind)] + value;
    }
    return parts.join(u' ');
}

// The writer names every run's font and size, which the document it was given may leave out.
void forgetRunFonts(QTextDocument &document)
{
    QTextCursor cursor(&document);
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            QTextCharFormat format = it.fragment().charFormat();
            format.clearProperty(QTextFormat::FontFamilies);
            format.clearProperty(QTextFormat::FontPointSize);
            cursor.setPosition(it.fragment().position());
            cursor.setPosition(it.fragment().position() + it.fragment().length(),
                               QTextCursor::KeepAnchor);
            cursor.setCharFormat(format);
        }
    }
}

} // namespace

class TestRtfReader : public QObject
{
    Q_OBJECT

private slots:
    void fixtures_data();
    void fixtures();
    void hostileInputLoads_data();
    void hostileInputLoads();
    void longRowsAreBounded();
    void placeholderNamesItsKindWhereItFits();
};

void TestRtfReader::fixtures_data()
{
    RtfDump::addFixtureRows(QFINDTESTDATA("data/rtf-read.txt"));
}

void TestRtfReader::fixtures()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, input);
    QFETCH(QString, expected);
    if (kind == u"tokens") {
        QCOMPARE(describeTokens(input), expected);
    } else if (kind == u"read" || kind == u"keep") {
        const auto document = readRtf(input);
        QCOMPARE(RtfDump::line(*document), expected);
        QVERIFY(document->isUndoRedoEnabled());
        QCOMPARE(document->availableUndoSteps(), 0);
        if (kind == u"keep") {
            // A save keeps it: read back, the same document with the pictures' own data, and
            // saved again, the same bytes. Runs come back in the font the writer names.
            const QByteArray saved = writeRtf(*document);
            const auto reread = readRtf(saved);
            QCOMPARE(RtfDump::pictureData(*reread), RtfDump::pictureData(*document));
            QCOMPARE(writeRtf(*reread), saved);
            forgetRunFonts(*reread);
            QCOMPARE(RtfDump::line(*reread), expected);
        }
    } else if (kind == u"roundtrip") {
        // Saved in a default font of Arial 12 pt, which every run then names.
        const auto document = readRtf(input);
        document->setDefaultFont(QFont(u"Arial"_qs, 12));
        const auto readBack = readRtf(writeRtf(*document));
        QCOMPARE(readBack->toPlainText(), document->toPlainText());
        QCOMPARE(RtfDump::line(*readBack), expected);
    } else if (kind == u"plain") {
        QStringList lines = decodePlainText(input).split(u'\n');
        for (QString &line : lines)
            line = RtfDump::escaped(line);
        QCOMPARE(lines.join(u'|'), expected);
        const auto document = readPlainText(input);
        QCOMPARE(RtfDump::line(*document), expected);
        QVERIFY(document->isUndoRedoEnabled());
        QCOMPARE(document->availableUndoSteps(), 0);
    } else {
        QVERIFY2(kind == u"rtf" || kind == u"not-rtf", qPrintable(kind));
        QCOMPARE(looksLikeRtf(input), kind == u"rtf");
    }
}

// Inputs too big to write out in the fixtures: each loads in a moment with its text.
void TestRtfReader::hostileInputLoads_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("text");

    QTest::addRow("2000000 nested groups")
        << "{\\rtf1 a" + QByteArray(2000000, '{') + "deep" + QByteArray(2000000, '}') + "b}"
        << u"adeepb"_qs;
    QTest::addRow("5000 nested groups with formats") << "{\\rtf1 a"
            + QByteArray("{\\b{\\i ").repeated(2500) + "deep" + QByteArray(5000, '}')
            + "b}" << u"a<b,i>deep<>b"_qs;
    // Past the memory kept for the states of groups, the text inside them is dropped.
    QTest::addRow("2000000 nested groups with formats") << "{\\rtf1 a"
            + QByteArray("{\\b ").repeated(2000000) + "deep" + QByteArray(2000000, '}')
            + "b}" << u"ab"_qs;
    QTest::addRow("100000 unclosed groups") << "{\\rtf1 a" + QByteArray(100000, '{') << u"a"_qs;
    QByteArray fonts = "{\\rtf1{\\fonttbl";
    for (int i = 0; i < 100000; ++i)
        fonts += "{\\f" + QByteArray::number(i) + "\\fcharset204 F" + QByteArray::number(i) + ";}";
    QTest::addRow("font table of 100000 entries")
        << fonts + "}\\f5 \\'e0\\f99999 \\'e0\\f-2147483648 x}" << u"<font=F5>а<>àx"_qs;
    QTest::addRow("over-long control words")
        << "{\\rtf1 a\\" + QByteArray(100000, 'x') + "99999999999999999999 b}" << u"ab"_qs;
    QTest::addRow("100000 colours") << "{\\rtf1{\\colortbl" + QByteArray(";\\red1").repeated(100000)
            + "}\\cf99999 x}" << u"x"_qs;
    QTest::addRow("10000 list levels") << "{\\rtf1{\\*\\listtable{\\list"
            + QByteArray("{\\listlevel\\levelnfc4}").repeated(10000)
            + "\\listid1}}x}" << u"x"_qs;
    QTest::addRow("tab stops and borders in 100000 nested groups") << "{\\rtf1 a"
            + QByteArray("{\\tx1\\tqr\\tx2\\tb3\\brdrt\\brdrs").repeated(100000)
            + QByteArray(100000, '}') + "b}" << u"ab"_qs;
    QTest::addRow("100000 nested groups in a footnote") << "{\\rtf1 a{\\footnote "
            + QByteArray(100000, '{') + "deep" + QByteArray(100000, '}')
            + "}b}" << u"<footnote{<font=Sans Serif,9pt>deep}>a<>b"_qs;
    QTest::addRow("1000 footnotes each in the one before")
        << "{\\rtf1 a" + QByteArray("{\\footnote n").repeated(1000) + QByteArray(1000, '}') + "b}"
        << u"<footnote{<font=Sans Serif,9pt>n}>a<>b"_qs;
    QTest::addRow("10000 footnotes") << "{\\rtf1 " + QByteArray("x{\\footnote n}").repeated(10000)
            + "}" << u"<footnote{<font=Sans Serif,9pt>n}>"_qs + QString(10000, u'x');
    QTest::addRow("fields without results")
        << "{\\rtf1 " + QByteArray("{\\field{\\*\\fldinst HYPERLINK x}}").repeated(1000) + "x}"
        << u"x"_qs;
    QTest::addRow("marker text past its bound")
        << "{\\rtf1{\\listtext " + QByteArray(300, 'm') + "\\tab z}x}" << QString(256, u'm') + u'x';
    // The level's number arrives past the bound of its text, so the text has none.
    QTest::addRow("list level text past its bound")
        << "{\\rtf1{\\*\\listtable{\\list{\\listlevel{\\leveltext\\u300?" + QByteArray(255, 'x')
            + "\\u0 ?;}}\\listid1}}{\\*\\listoverridetable{\\listoverride\\listid1\\ls1}}\\ls1 y}"
        << u"y"_qs;
}

void TestRtfReader::hostileInputLoads()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, text);
    QCOMPARE(RtfDump::line(*readRtf(rtf)), text);
}

// A row grows to hold the cells it has, up to a bound; the cells beyond it keep their text.
void TestRtfReader::longRowsAreBounded()
{
    const auto document = readRtf("{\\rtf1\\trowd\\cellx1000\\intbl A\\cell B\\cell C\\cell\\row"
                                  "\\trowd\\intbl "
                                  + QByteArray("x\\cell ").repeated(100) + "\\row}");
    const QStringList lines = RtfDump::lines(*document);
    // Cells past the 63rd go on in a row of their own.
    QVERIFY(lines.at(1).startsWith(u"[table3x63,"));
    QCOMPARE(lines.mid(2, 6),
             QStringList(
                 { u"[cell0,0]"_qs, u"A"_qs, u"[cell0,1]"_qs, u"B"_qs, u"[cell0,2]"_qs, u"C"_qs }));
    QCOMPARE(lines.filter(u"[cell1,"_qs).size(), 63);
    QCOMPARE(lines.indexOf(u"[cell2,36]"_qs) + 1, lines.lastIndexOf(u"x"_qs));
    QCOMPARE(lines.filter(QRegularExpression(u"^x$"_qs)).size(), 100);
}

// The box for a picture not decoded names its kind where the name fits, 16 by 10 pixels.
void TestRtfReader::placeholderNamesItsKindWhereItFits()
{
    const auto named = [](int width, int height) {
        const auto document
            = readRtf(u"{\\rtf1{\\pict\\picw%1\\pich%2 00}}"_qs.arg(width).arg(height).toLatin1());
        const QString name
            = document->begin().begin().fragment().charFormat().toImageFormat().name();
        QImage inside
            = document->resource(QTextDocument::ImageResource, QUrl(name)).value<QImage>();
        // Inside the frame, the name is whatever differs from the box's own colour.
        inside = inside.copy(inside.rect().adjusted(1, 1, -1, -1));
        QImage empty(inside.size(), inside.format());
        empty.fill(inside.pixel(0, 0));
        return inside != empty;
    };
    QVERIFY(named(16, 10));
    QVERIFY(!named(15, 10));
    QVERIFY(!named(16, 9));
}

QTEST_MAIN(TestRtfReader)
#include "tst_rtfreader.moc"
