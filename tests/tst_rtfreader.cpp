// SPDX-License-Identifier: GPL-3.0-or-later
#include "documenttext.h"
#include "plaintext.h"
#include "richtexteditor.h"
#include "rtfreader.h"
#include "rtftokenizer.h"

#include <QBuffer>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextList>
#include <QTextTable>

using namespace Quillmere;

namespace {

std::unique_ptr<QTextDocument> read(const QByteArray &rtf)
{
    return readRtf(rtf);
}

// The document's text with "\n" between paragraphs and U+2028 for line breaks; table cells
// and frame edges show as the paragraph breaks they are.
QString textOf(const QTextDocument &document)
{
    QString text = document.toRawText();
    for (QChar &c : text) {
        if (c == QChar::ParagraphSeparator || c == QChar(0xFDD0) || c == QChar(0xFDD1))
            c = u'\n';
    }
    return text;
}

QString readText(const QByteArray &rtf)
{
    return textOf(*read(rtf));
}

QTextCharFormat formatAt(const QTextDocument &document, int position)
{
    QTextCursor cursor(const_cast<QTextDocument *>(&document));
    cursor.setPosition(position + 1);
    return cursor.charFormat();
}

QTextBlock blockWithText(const QTextDocument &document, const QString &text)
{
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (block.text() == text)
            return block;
    }
    return {};
}

QByteArray hexOf(const QByteArray &bytes)
{
    return bytes.toHex();
}

QByteArray encodedImage(const char *format, QSize size, QColor color)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QString describeTokens(const QByteArray &rtf)
{
    RtfTokenizer tokenizer(rtf);
    QStringList parts;
    for (RtfToken token = tokenizer.next(); token.kind != RtfToken::Kind::End;
         token = tokenizer.next()) {
        switch (token.kind) {
        case RtfToken::Kind::GroupStart:
            parts << u"{"_qs;
            break;
        case RtfToken::Kind::GroupEnd:
            parts << u"}"_qs;
            break;
        case RtfToken::Kind::ControlWord:
            parts << u"\\"_qs + QString::fromLatin1(token.bytes)
                    + (token.hasParameter ? QString::number(token.parameter) : QString());
            break;
        case RtfToken::Kind::ControlSymbol:
            parts << u"sym:"_qs
                    + (token.parameter == '\n' ? u"LF"_qs : QString(QChar(token.parameter)));
            break;
        case RtfToken::Kind::HexByte:
            parts << u"hex:"_qs + QString::number(token.parameter, 16);
            break;
        case RtfToken::Kind::Text:
            parts << u"text:"_qs + QString::fromLatin1(token.bytes);
            break;
        case RtfToken::Kind::Binary:
            parts << u"bin:"_qs + QString::fromLatin1(token.bytes.toByteArray().toHex());
            break;
        case RtfToken::Kind::End:
            break;
        }
    }
    return parts.join(u' ');
}

} // namespace

class TestRtfReader : public QObject
{
    Q_OBJECT

private slots:
    void tokenizerSplitsBytes_data();
    void tokenizerSplitsBytes();
    void delimitersAndEscapes_data();
    void delimitersAndEscapes();
    void unicodeEscapes_data();
    void unicodeEscapes();
    void codePages_data();
    void codePages();
    void destinationsLeakNoText_data();
    void destinationsLeakNoText();
    void breaksAndSpecialCharacters_data();
    void breaksAndSpecialCharacters();
    void damagedFilesKeepTheirText_data();
    void damagedFilesKeepTheirText();
    void characterFormatting_data();
    void characterFormatting();
    void paragraphFormatting_data();
    void paragraphFormatting();
    void pageBreaksComeBeforeTheNextParagraph();
    void hyperlinkFieldsBecomeAnchors_data();
    void hyperlinkFieldsBecomeAnchors();
    void plainListsBecomeQtLists_data();
    void plainListsBecomeQtLists();
    void deeperItemsRestartTheirNumbering();
    void otherListsKeepTheirMarkerText_data();
    void otherListsKeepTheirMarkerText();
    void tablesBecomeQTextTables();
    void mergedCellsMerge();
    void tableRowsGrowAndStayBounded();
    void nestedTablesNestAndStayBounded();
    void picturesShowAtTheirStatedSize_data();
    void picturesShowAtTheirStatedSize();
    void unusablePicturesAreLeftOut_data();
    void unusablePicturesAreLeftOut();
    void writerOutputReadsBack();
    void hostileInputLoads_data();
    void hostileInputLoads();
    void plainTextDecoding_data();
    void plainTextDecoding();
    void rtfIsRecognised_data();
    void rtfIsRecognised();
    void loadFileReplacesDocument_data();
    void loadFileReplacesDocument();
    void failedLoadLeavesDocumentUntouched_data();
    void failedLoadLeavesDocumentUntouched();
};

void TestRtfReader::tokenizerSplitsBytes_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("tokens");

    QTest::addRow("space delimiter is consumed, second space is text")
        << QByteArray("\\b bold\\b0  x") << u"\\b text:bold \\b0 text: x"_qs;
    QTest::addRow("other delimiters stay") << QByteArray("\\b0\\i;") << u"\\b0 \\i text:;"_qs;
    QTest::addRow("negative parameter") << QByteArray("\\u-3913?") << u"\\u-3913 text:?"_qs;
    QTest::addRow("minus without digit is text") << QByteArray("\\li-x") << u"\\li text:-x"_qs;
    QTest::addRow("parameter saturates")
        << QByteArray("\\fs99999999999 \\fi-99999999999 ") << u"\\fs2147483647 \\fi-2147483648"_qs;
    QTest::addRow("over-long word has no letters")
        << QByteArray("\\" + QByteArray(40, 'x') + " b") << u"\\ text:b"_qs;
    QTest::addRow("32 letters is still a word")
        << QByteArray("\\" + QByteArray(32, 'x')) << u"\\"_qs + QString(32, u'x');
    QTest::addRow("hex escape") << QByteArray("\\'e9\\'5C") << u"hex:e9 hex:5c"_qs;
    QTest::addRow("malformed hex escape is dropped")
        << QByteArray("a\\'zzb\\'4") << u"text:a text:zzb text:4"_qs;
    QTest::addRow("symbols") << QByteArray("\\{\\}\\\\\\~\\*")
                             << u"sym:{ sym:} sym:\\ sym:~ sym:*"_qs;
    QTest::addRow("backslash before line end is a paragraph")
        << QByteArray("a\\\r\nb\\\nc") << u"text:a sym:LF text:b sym:LF text:c"_qs;
    QTest::addRow("line ends and NUL vanish")
        << QByteArray("a\r\nb\0c", 6) << u"text:a text:b text:c"_qs;
    QTest::addRow("tab byte stays in text") << QByteArray("a\tb") << u"text:a\tb"_qs;
    QTest::addRow("binary data may hold braces")
        << QByteArray("\\bin3 }{\\x") << u"bin:7d7b5c text:x"_qs;
    QTest::addRow("binary length is clamped to the input")
        << QByteArray("\\bin999999999 ab") << u"bin:6162"_qs;
    QTest::addRow("binary without length is empty") << QByteArray("\\bin ff") << u"bin: text:ff"_qs;
    QTest::addRow("negative binary length is empty")
        << QByteArray("\\bin-5 ff") << u"bin: text:ff"_qs;
    QTest::addRow("lone backslash at the end") << QByteArray("a\\") << u"text:a"_qs;
}

void TestRtfReader::tokenizerSplitsBytes()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, tokens);
    QCOMPARE(describeTokens(rtf), tokens);
}

void TestRtfReader::delimitersAndEscapes_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("text");

    QTest::addRow("one delimiter space") << QByteArray("{\\rtf1 \\b bold\\b0  x}") << u"bold x"_qs;
    QTest::addRow("tab word") << QByteArray("{\\rtf1 \\fs24 2024\\tab 7}") << u"2024\t7"_qs;
    QTest::addRow("escaped braces and backslash")
        << QByteArray("{\\rtf1 \\{a\\}\\\\b}") << u"{a}\\b"_qs;
    QTest::addRow("raw tab byte") << QByteArray("{\\rtf1 a\tb}") << u"a\tb"_qs;
    QTest::addRow("raw line ends vanish") << QByteArray("{\\rtf1 a\r\nb c\nd}") << u"ab cd"_qs;
    QTest::addRow("over-long word is ignored")
        << QByteArray("{\\rtf1 a\\" + QByteArray(40, 'x') + " b}") << u"ab"_qs;
    QTest::addRow("unknown word without star keeps its text")
        << QByteArray("{\\rtf1 a{\\foo text}b}") << u"atextb"_qs;
    QTest::addRow("NUL bytes vanish") << QByteArray("{\\rtf1 a\0b}", 11) << u"ab"_qs;
    QTest::addRow("escaped control bytes vanish")
        << QByteArray("{\\rtf1 a\\'00\\'0d\\'0ab}") << u"ab"_qs;
}

void TestRtfReader::delimitersAndEscapes()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, text);
    QCOMPARE(readText(rtf), text);
}

void TestRtfReader::unicodeEscapes_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("text");

    QTest::addRow("fallback skipped") << QByteArray("{\\rtf1 caf\\u233?s}") << u"cafés"_qs;
    QTest::addRow("uc0 skips nothing") << QByteArray("{\\rtf1\\uc0 caf\\u233 s}") << u"cafés"_qs;
    QTest::addRow("uc restored at group end")
        << QByteArray("{\\rtf1\\uc1 {\\uc0\\u233 }\\u233?x}") << u"ééx"_qs;
    QTest::addRow("negative value") << QByteArray("{\\rtf1 \\u-3913?}") << u"\uF0B7"_qs;
    QTest::addRow("surrogate pair joined")
        << QByteArray("{\\rtf1 \\u-10179?\\u-8694?!}") << u"\U0001F60A!"_qs;
    QTest::addRow("fallback is any character")
        << QByteArray("{\\rtf1 a\\u160?c}") << u"a\u00A0c"_qs;
    QTest::addRow("skipping stops at group end")
        << QByteArray("{\\rtf1\\uc2 {\\u233?}x}") << u"éx"_qs;
    QTest::addRow("skipping stops at a control word")
        << QByteArray("{\\rtf1\\uc3 \\u233?\\tab x}") << u"é\tx"_qs;
    QTest::addRow("hex escapes count as one unit each")
        << QByteArray("{\\rtf1\\uc2 \\u24180\\'94\\'4eabc}") << u"年abc"_qs;
    QTest::addRow("fallback digit after delimiter")
        << QByteArray("{\\rtf1 \\u48 0 x}") << u"0 x"_qs;
    QTest::addRow("unicode version of upr only")
        << QByteArray("{\\rtf1 {\\upr{caf\\'e9}{\\*\\ud{caf\\u233?}}}}") << u"café"_qs;
    QTest::addRow("lone high surrogate") << QByteArray("{\\rtf1 a\\u-10179?b}") << u"a\uFFFDb"_qs;
    QTest::addRow("lone low surrogate") << QByteArray("{\\rtf1 a\\u-8694?b}") << u"a\uFFFDb"_qs;
    QTest::addRow("reversed pair")
        << QByteArray("{\\rtf1\\uc0 \\u-8694\\u-10179 x}") << u"\uFFFD\uFFFDx"_qs;
    QTest::addRow("high surrogate at end of group")
        << QByteArray("{\\rtf1 {a\\u-10179?}b}") << u"a\uFFFDb"_qs;
    QTest::addRow("out of range value is ignored")
        << QByteArray("{\\rtf1 a\\u70000 b}") << u"ab"_qs;
    QTest::addRow("skip count clamped")
        << QByteArray("{\\rtf1\\uc99 \\u233 abcdefghijklmnopqrstuvwxyz}") << u"éqrstuvwxyz"_qs;
    QTest::addRow("control character values vanish")
        << QByteArray("{\\rtf1 a\\u0?\\u13?\\u-560?b}") << u"ab"_qs;
}

void TestRtfReader::unicodeEscapes()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, text);
    QCOMPARE(readText(rtf), text);
}

void TestRtfReader::codePages_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("text");

    QTest::addRow("ansicpg 1251") << QByteArray(
        "{\\rtf1\\ansi\\ansicpg1251 \\'cf\\'f0\\'e8\\'e2\\'e5\\'f2}")
                                  << u"Привет"_qs;
    QTest::addRow("font charset wins over ansicpg")
        << QByteArray("{\\rtf1\\ansi\\ansicpg1252{\\fonttbl{\\f0\\fcharset0 Arial;}"
                      "{\\f1\\fcharset204 Arial;}}\\f0 \\'e0 \\f1 \\'e0}")
        << u"à а"_qs;
    QTest::addRow("font charset in a group")
        << QByteArray("{\\rtf1\\ansi{\\fonttbl{\\f0\\fcharset0 A;}{\\f1\\fcharset161 T;}}"
                      "\\f0{\\f1 \\'e1}\\'e1}")
        << u"αá"_qs;
    QTest::addRow("double-byte run with 0x5C trail byte")
        << QByteArray("{\\rtf1\\ansi\\ansicpg932{\\fonttbl{\\f0\\fcharset128 G;}}\\f0 \\'83\\'5cx}")
        << u"ソx"_qs;
    QTest::addRow("double-byte fallback skipped")
        << QByteArray("{\\rtf1\\ansi\\ansicpg936 {\\uc2\\u20013\\'d6\\'d0}x}") << u"中x"_qs;
    QTest::addRow("raw double-byte bytes")
        << QByteArray("{\\rtf1\\ansi\\ansicpg936 \xd6\xd0\xce\xc4}") << u"中文"_qs;
    QTest::addRow("raw and escaped bytes in one run")
        << QByteArray("{\\rtf1\\ansi\\ansicpg936 \xd6\\'d0}") << u"中"_qs;
    QTest::addRow("font name never in text")
        << QByteArray("{\\rtf1{\\fonttbl{\\f0\\fnil\\fcharset134 \\'cb\\'ce\\'cc\\'e5"
                      "{\\*\\falt SimSun};}}\\f0 \\'d6\\'d0}")
        << u"中"_qs;
    QTest::addRow("mac header") << QByteArray("{\\rtf1\\mac \\'8e}") << u"é"_qs;
    QTest::addRow("pc header") << QByteArray("{\\rtf1\\pc \\'82}") << u"é"_qs;
    QTest::addRow("ansicpg0 falls back to 1252")
        << QByteArray("{\\rtf1\\ansi\\ansicpg0 \\'e9}") << u"é"_qs;
    QTest::addRow("unknown ansicpg falls back to the header")
        << QByteArray("{\\rtf1\\mac\\ansicpg12345 \\'8e}") << u"é"_qs;
    QTest::addRow("default charset means ansicpg")
        << QByteArray("{\\rtf1\\ansi\\ansicpg1251{\\fonttbl{\\f0\\fcharset1 A;}}\\f0 \\'e0}")
        << u"а"_qs;
    QTest::addRow("fcharset0 means 1252 under another ansicpg")
        << QByteArray("{\\rtf1\\ansi\\ansicpg1251{\\fonttbl{\\f0\\fcharset0 A;}}\\f0 \\'e0}")
        << u"à"_qs;
    QTest::addRow("deff supplies the font")
        << QByteArray("{\\rtf1\\ansi\\deff1{\\fonttbl{\\f1\\fcharset238 A;}}\\'9a}") << u"š"_qs;
    QTest::addRow("cpg wins over fcharset")
        << QByteArray("{\\rtf1{\\fonttbl{\\f0\\fcharset0\\cpg1253 A;}}\\f0 \\'e1}") << u"α"_qs;
    QTest::addRow("name suffix hints the charset")
        << QByteArray("{\\rtf1{\\fonttbl{\\f0 Arial CE;}}\\f0 \\'9a}") << u"š"_qs;
    QTest::addRow("symbol font bullet")
        << QByteArray("{\\rtf1{\\fonttbl{\\f0\\fcharset2 Symbol;}}\\f0 \\'b7\\'61a}")
        << u"\u2022aa"_qs;
    QTest::addRow("symbol font by name")
        << QByteArray("{\\rtf1{\\fonttbl{\\f3 Symbol;}}\\f3 \\'b7}") << u"\u2022"_qs;
    QTest::addRow("raw 8-bit bytes") << QByteArray("{\\rtf1\\ansi caf\xe9}") << u"café"_qs;
    QTest::addRow("missing font uses the document code page")
        << QByteArray("{\\rtf1\\ansi\\ansicpg1253\\f77 \\'e1}") << u"α"_qs;
    QTest::addRow("lone lead byte at run end")
        << QByteArray("{\\rtf1\\ansi\\ansicpg932 a\\'83\\par b}") << u"a\nb"_qs;
}

void TestRtfReader::codePages()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, text);
    QCOMPARE(readText(rtf), text);
}

void TestRtfReader::destinationsLeakNoText_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("text");

    QTest::addRow("binary data in a skipped group")
        << QByteArray("{\\rtf1 a{\\*\\foo \\bin3 }{\\}b}") << u"ab"_qs;
    QTest::addRow("binary without length") << QByteArray("{\\rtf1 a\\bin b}") << u"ab"_qs;
    QTest::addRow("unknown starred destination")
        << QByteArray("{\\rtf1 a{\\*\\unknownthing secret}b}") << u"ab"_qs;
    QTest::addRow("tables and info")
        << QByteArray("{\\rtf1{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red255\\green0\\blue0;}"
                      "{\\info{\\title T}}x}")
        << u"x"_qs;
    QTest::addRow("empty field result")
        << QByteArray("{\\rtf1 p{\\field{\\*\\fldinst PAGE}{\\fldrslt }}.}") << u"p."_qs;
    QTest::addRow("field instruction without star")
        << QByteArray("{\\rtf1 {\\field{\\fldinst PAGE}{\\fldrslt 7}}}") << u"7"_qs;
    QTest::addRow("hidden text") << QByteArray("{\\rtf1 a{\\v hidden}b}") << u"ab"_qs;
    QTest::addRow("footnote body out, number in") << QByteArray(
        "{\\rtf1 text{\\super\\chftn}{\\footnote\\pard\\plain{\\super\\chftn} note}.}")
                                                  << u"text1."_qs;
    QTest::addRow("headers and footers")
        << QByteArray("{\\rtf1{\\header head}{\\footerr foot}{\\headerf first}body}") << u"body"_qs;
    QTest::addRow("annotations") << QByteArray("{\\rtf1 a{\\*\\atnid X}{\\annotation note}b}")
                                 << u"ab"_qs;
    QTest::addRow("stylesheet") << QByteArray("{\\rtf1{\\stylesheet{\\s0 Normal;}}x}") << u"x"_qs;
    QTest::addRow("object data but its result")
        << QByteArray("{\\rtf1{\\object{\\*\\objdata 0102}{\\result shown}}}") << u"shown"_qs;
    QTest::addRow("shape instructions but their result")
        << QByteArray("{\\rtf1{\\shp{\\*\\shpinst{\\sp{\\sn a}{\\sv b}}}{\\shprslt r}}}")
        << u"r"_qs;
    QTest::addRow("no nested tables fallback")
        << QByteArray("{\\rtf1 a{\\nonesttables\\par}b}") << u"ab"_qs;
    QTest::addRow("bookmarks") << QByteArray("{\\rtf1 a{\\*\\bkmkstart x}b}") << u"ab"_qs;
    QTest::addRow("HTML tags in encapsulated mail")
        << QByteArray("{\\rtf1 {\\*\\htmltag64 <p>}a\\htmlrtf b\\htmlrtf0 c}") << u"abc"_qs;
    QTest::addRow("generator") << QByteArray("{\\rtf1{\\*\\generator Writer;}x}") << u"x"_qs;
    QTest::addRow("text after the last brace") << QByteArray("{\\rtf1 a}}junk") << u"a"_qs;
    QTest::addRow("nested rtf header") << QByteArray("{\\rtf1 a{\\rtf1 b}c}") << u"abc"_qs;
    QTest::addRow("ANSI version of upr in the font table")
        << QByteArray("{\\rtf1{\\upr{\\fonttbl{\\f0 X;}}{\\*\\ud{\\fonttbl{\\f0 Y;}}}}\\f0 z}")
        << u"z"_qs;
}

void TestRtfReader::destinationsLeakNoText()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, text);
    QCOMPARE(readText(rtf), text);
}

void TestRtfReader::breaksAndSpecialCharacters_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("text");

    QTest::addRow("line and paragraph")
        << QByteArray("{\\rtf1 a\\line b\\par c}") << u"a\u2028b\nc"_qs;
    QTest::addRow("backslash newline is a paragraph")
        << QByteArray("{\\rtf1 a\\\nb}") << u"a\nb"_qs;
    QTest::addRow("special characters") << QByteArray(
        "{\\rtf1 \\~|\\-|\\_|\\emdash|\\endash|\\lquote\\rquote|\\ldblquote\\rdblquote|"
        "\\bullet}") << u"\u00A0|\u00AD|\u2011|—|–|‘’|“”|•"_qs;
    QTest::addRow("spaces") << QByteArray("{\\rtf1 \\emspace\\enspace\\qmspace}")
                            << u"\u2003\u2002\u2005"_qs;
    QTest::addRow("page and section") << QByteArray("{\\rtf1 a\\page b\\sect c}") << u"a\nb\nc"_qs;
    QTest::addRow("empty paragraphs kept")
        << QByteArray("{\\rtf1 a\\par\\par\\par b}") << u"a\n\n\nb"_qs;
    QTest::addRow("trailing paragraph mark") << QByteArray("{\\rtf1 a\\par}") << u"a\n"_qs;
    QTest::addRow("paragraph separator value becomes a line break")
        << QByteArray("{\\rtf1 a\\u8233?b}") << u"a\u2028b"_qs;
}

void TestRtfReader::breaksAndSpecialCharacters()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, text);
    QCOMPARE(readText(rtf), text);
}

void TestRtfReader::damagedFilesKeepTheirText_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("text");

    QTest::addRow("groups left open") << QByteArray("{\\rtf1 a\\par b") << u"a\nb"_qs;
    QTest::addRow("deeply left open") << QByteArray("{\\rtf1 a{\\b b{\\i c") << u"abc"_qs;
    QTest::addRow("extra closing braces") << QByteArray("{\\rtf1 a}}}") << u"a"_qs;
    QTest::addRow("cut inside a hex escape") << QByteArray("{\\rtf1 a\\'e") << u"ae"_qs;
    QTest::addRow("cut inside a control word") << QByteArray("{\\rtf1 a\\pa") << u"a"_qs;
    QTest::addRow("cut inside binary data") << QByteArray("{\\rtf1 a{\\*\\x\\bin10 12") << u"a"_qs;
    QTest::addRow("cut inside a table")
        << QByteArray("{\\rtf1\\trowd\\cellx100\\intbl A\\cell B") << u"\nA\nB\n"_qs;
    QTest::addRow("missing backslashes show literally")
        << QByteArray("{\\rtf1 T'd3RAX {*\\cs10 x}}") << u"T'd3RAX *x"_qs;
    QTest::addRow("text before the header") << QByteArray("\xEF\xBB\xBF{\\rtf1 x}") << u"x"_qs;
}

void TestRtfReader::damagedFilesKeepTheirText()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, text);
    QCOMPARE(readText(rtf), text);
}

void TestRtfReader::characterFormatting_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QTextFormat>("expected");

    const QByteArray header = "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset0 Courier New;}}"
                              "{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}";
    QTextCharFormat format;
    QTest::addRow("no formatting") << header + "x}" << QTextFormat(format);
    format.setFontWeight(QFont::Bold);
    QTest::addRow("bold") << header + "\\b x}" << QTextFormat(format);
    format = {};
    QTest::addRow("bold off") << header + "\\b\\b0 x}" << QTextFormat(format);
    format.setFontItalic(true);
    QTest::addRow("italic") << header + "\\i x}" << QTextFormat(format);
    format = {};
    format.setUnderlineStyle(QTextCharFormat::SingleUnderline);
    QTest::addRow("underline") << header + "\\ul x}" << QTextFormat(format);
    QTest::addRow("double underline shows single") << header + "\\uldb x}" << QTextFormat(format);
    format.setUnderlineStyle(QTextCharFormat::WaveUnderline);
    QTest::addRow("wave underline") << header + "\\ulwave x}" << QTextFormat(format);
    format.setUnderlineStyle(QTextCharFormat::DotLine);
    QTest::addRow("dotted underline") << header + "\\uld x}" << QTextFormat(format);
    format.setUnderlineStyle(QTextCharFormat::DashUnderline);
    QTest::addRow("dashed underline") << header + "\\uldash x}" << QTextFormat(format);
    format = {};
    QTest::addRow("underline none") << header + "\\ul\\ulnone x}" << QTextFormat(format);
    QTest::addRow("underline zero") << header + "\\ul\\ul0 x}" << QTextFormat(format);
    format.setFontStrikeOut(true);
    QTest::addRow("strike") << header + "\\strike x}" << QTextFormat(format);
    format = {};
    format.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
    QTest::addRow("superscript") << header + "\\super x}" << QTextFormat(format);
    QTest::addRow("raised") << header + "\\up6 x}" << QTextFormat(format);
    format.setVerticalAlignment(QTextCharFormat::AlignSubScript);
    QTest::addRow("subscript") << header + "\\sub x}" << QTextFormat(format);
    format = {};
    QTest::addRow("no super or sub") << header + "\\super\\nosupersub x}" << QTextFormat(format);
    format.setFontCapitalization(QFont::SmallCaps);
    QTest::addRow("small caps") << header + "\\scaps x}" << QTextFormat(format);
    format = {};
    format.setFontFamilies({ u"Courier New"_qs });
    QTest::addRow("font family") << header + "\\f1 x}" << QTextFormat(format);
    format = {};
    format.setFontPointSize(10.5);
    QTest::addRow("size in half points") << header + "\\fs21 x}" << QTextFormat(format);
    format = {};
    format.setForeground(QColor(255, 0, 0));
    QTest::addRow("foreground") << header + "\\cf1 x}" << QTextFormat(format);
    format = {};
    format.setBackground(QColor(0, 0, 255));
    QTest::addRow("highlight") << header + "\\highlight2 x}" << QTextFormat(format);
    QTest::addRow("cb background") << header + "\\cb2 x}" << QTextFormat(format);
    QTest::addRow("chcbpat background") << header + "\\chcbpat2 x}" << QTextFormat(format);
    format = {};
    QTest::addRow("automatic colour") << header + "\\cf0\\highlight0 x}" << QTextFormat(format);
    QTest::addRow("missing colour") << header + "\\cf77777 x}" << QTextFormat(format);
    QTest::addRow("missing font") << header + "\\f2147483647 x}" << QTextFormat(format);
    QTest::addRow("plain resets") << header + "\\b\\i\\ul\\strike\\f1\\fs40\\cf1\\super\\plain x}"
                                  << QTextFormat(format);
    QTest::addRow("group restores") << header + "{\\b\\i\\f1\\cf2 y}x}" << QTextFormat(format);
    QTest::addRow("huge size ignored") << header + "\\fs-5 x}" << QTextFormat(format);
    format.setFontPointSize(1638);
    QTest::addRow("size clamped") << header + "\\fs99999999999 x}" << QTextFormat(format);
    format = {};
    format.setFontWeight(QFont::Bold);
    format.setFontItalic(true);
    format.setUnderlineStyle(QTextCharFormat::SingleUnderline);
    format.setFontFamilies({ u"Courier New"_qs });
    format.setFontPointSize(12);
    format.setForeground(QColor(0, 0, 255));
    QTest::addRow("combined run") << header + "{\\b\\i\\ul\\f1\\fs24\\cf2 x}}"
                                  << QTextFormat(format);
}

void TestRtfReader::characterFormatting()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QTextFormat, expected);
    const auto document = read(rtf);
    const QString text = textOf(*document);
    QVERIFY(text.endsWith(u'x'));
    // Compared as maps: QTextFormat's own comparison depends on the order properties were set.
    QCOMPARE(formatAt(*document, int(text.size()) - 1).properties(), expected.properties());
}

void TestRtfReader::paragraphFormatting_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QTextFormat>("expected");

    QTextBlockFormat format;
    QTest::addRow("no formatting") << QByteArray("{\\rtf1 x}") << QTextFormat(format);
    QTest::addRow("left alignment is the default")
        << QByteArray("{\\rtf1\\ql x}") << QTextFormat(format);
    format.setAlignment(Qt::AlignHCenter);
    QTest::addRow("centred") << QByteArray("{\\rtf1\\qc x}") << QTextFormat(format);
    format.setAlignment(Qt::AlignRight);
    QTest::addRow("right") << QByteArray("{\\rtf1\\qr x}") << QTextFormat(format);
    format.setAlignment(Qt::AlignJustify);
    QTest::addRow("justified") << QByteArray("{\\rtf1\\qj x}") << QTextFormat(format);
    format = {};
    format.setLeftMargin(48);
    format.setTextIndent(-24);
    format.setRightMargin(12);
    QTest::addRow("indents in twips")
        << QByteArray("{\\rtf1\\li720\\fi-360\\ri180 x}") << QTextFormat(format);
    format = {};
    format.setTopMargin(8);
    format.setBottomMargin(16);
    QTest::addRow("space before and after")
        << QByteArray("{\\rtf1\\sb120\\sa240 x}") << QTextFormat(format);
    format = {};
    format.setLeftMargin(31680 / 15.0);
    QTest::addRow("indent clamped") << QByteArray("{\\rtf1\\li99999999 x}") << QTextFormat(format);
    format = {};
    QTest::addRow("pard resets") << QByteArray("{\\rtf1\\qc\\li720\\sb120\\pard x}")
                                 << QTextFormat(format);
    QTest::addRow("negative space ignored")
        << QByteArray("{\\rtf1\\sb-100 x}") << QTextFormat(format);
    format.setAlignment(Qt::AlignRight);
    QTest::addRow("last setting before the mark counts")
        << QByteArray("{\\rtf1\\qc x\\qr\\par}") << QTextFormat(format);
}

void TestRtfReader::paragraphFormatting()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QTextFormat, expected);
    const auto document = read(rtf);
    QCOMPARE(document->begin().blockFormat().properties(), expected.properties());
    QCOMPARE(document->begin().text(), u"x"_qs);
}

void TestRtfReader::pageBreaksComeBeforeTheNextParagraph()
{
    const auto document = read("{\\rtf1 a\\page b\\sect c\\sect\\sectd\\sbknone d\\par\\pagebb e}");
    QCOMPARE(textOf(*document), u"a\nb\nc\nd\ne"_qs);
    QList<bool> breaks;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
        breaks << (block.blockFormat().pageBreakPolicy() == QTextFormat::PageBreak_AlwaysBefore);
    QCOMPARE(breaks, QList<bool>({ false, true, true, false, true }));
}

void TestRtfReader::hyperlinkFieldsBecomeAnchors_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("href");

    QTest::addRow("quoted target")
        << QByteArray("{\\rtf1 see {\\field{\\*\\fldinst HYPERLINK \"http://a.example/\"}"
                      "{\\fldrslt link}} now}")
        << u"see link now"_qs << u"http://a.example/"_qs;
    QTest::addRow("grouped instruction with formatting in the result")
        << QByteArray("{\\rtf1 {\\field{\\*\\fldinst{HYPERLINK \"http://b.example/x y\"}}"
                      "{\\fldrslt{\\ul\\cf1 link}}}}")
        << u"link"_qs << u"http://b.example/x y"_qs;
    QTest::addRow("unquoted target and switches")
        << QByteArray("{\\rtf1 {\\field{\\*\\fldinst HYPERLINK http://c.example/ \\\\o \"tip\"}"
                      "{\\fldrslt link}}}")
        << u"link"_qs << u"http://c.example/"_qs;
    QTest::addRow("bookmark only")
        << QByteArray("{\\rtf1 {\\field{\\*\\fldinst HYPERLINK \\\\l \"_Toc1\"}{\\fldrslt link}}}")
        << u"link"_qs << u"#_Toc1"_qs;
    QTest::addRow("field nested in the result")
        << QByteArray("{\\rtf1 {\\field{\\*\\fldinst HYPERLINK \"http://d.example/\"}{\\fldrslt "
                      "{\\field{\\*\\fldinst PAGEREF x}{\\fldrslt link}}}}}")
        << u"link"_qs << u"http://d.example/"_qs;
    QTest::addRow("other field") << QByteArray(
        "{\\rtf1 {\\field{\\*\\fldinst DATE}{\\fldrslt link}}}")
                                 << u"link"_qs << QString();
}

void TestRtfReader::hyperlinkFieldsBecomeAnchors()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, text);
    QFETCH(QString, href);
    const auto document = read(rtf);
    QCOMPARE(textOf(*document), text);
    const int position = int(text.indexOf(u"link"_qs));
    for (int offset = 0; offset < 4; ++offset) {
        const QTextCharFormat format = formatAt(*document, position + offset);
        QCOMPARE(format.isAnchor(), !href.isEmpty());
        QCOMPARE(format.anchorHref(), href);
    }
    if (position > 0)
        QVERIFY(!formatAt(*document, 0).isAnchor());
}

void TestRtfReader::plainListsBecomeQtLists_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<int>("style");
    QTest::addColumn<int>("indent");
    QTest::addColumn<QString>("suffix");

    QTest::addRow("legacy numbered")
        << QByteArray("{\\rtf1{\\pntext 1.\\tab}{\\*\\pn\\pnlvlbody\\pndec\\pnstart1{\\pntxta .}}"
                      "one\\par{\\pntext 2.\\tab}two}")
        << int(QTextListFormat::ListDecimal) << 1 << u"."_qs;
    QTest::addRow("legacy bullet in a symbol font")
        << QByteArray("{\\rtf1{\\fonttbl{\\f1\\fcharset2 Symbol;}}{\\pntext\\f1\\'b7\\tab}"
                      "{\\*\\pn\\pnlvlblt\\pnf1\\pnindent0{\\pntxtb\\'b7}}one\\par two}")
        << int(QTextListFormat::ListDisc) << 1 << QString();
    QTest::addRow("legacy indent from the left indent")
        << QByteArray("{\\rtf1{\\*\\pn\\pnlvlbody\\pnlcltr\\pnstart1{\\pntxta )}}\\li1200\\fi-360 "
                      "one\\par two}")
        << int(QTextListFormat::ListLowerAlpha) << 2 << u")"_qs;
    QTest::addRow("modern numbered") << QByteArray(
        "{\\rtf1{\\*\\listtable{\\list\\listtemplateid1{\\listlevel\\levelnfc0"
        "\\levelstartat1{\\leveltext\\'02\\'00.;}{\\levelnumbers\\'01;}}{\\listname ;}"
        "\\listid7}}{\\*\\listoverridetable{\\listoverride\\listid7"
        "\\listoverridecount0\\ls1}}"
        "{\\listtext 1.\\tab}\\pard\\ls1\\ilvl0\\li720\\fi-360 one\\par"
        "{\\listtext 2.\\tab}\\pard\\ls1\\ilvl0\\li720\\fi-360 two}")
                                     << int(QTextListFormat::ListDecimal) << 1 << u"."_qs;
    QTest::addRow("modern bullet")
        << QByteArray("{\\rtf1{\\*\\listtable{\\list{\\listlevel\\levelnfc23{\\leveltext"
                      "\\'01\\u-3913 ?;}}\\listid3}}{\\*\\listoverridetable{\\listoverride\\listid3"
                      "\\ls2}}\\ls2 {\\listtext\\tab}one\\par two}")
        << int(QTextListFormat::ListDisc) << 1 << QString();
    QTest::addRow("modern roman with brackets")
        << QByteArray("{\\rtf1{\\*\\listtable{\\list{\\listlevel\\levelnfc2{\\leveltext"
                      "\\'03(\\'00);}}\\listid3}}{\\*\\listoverridetable{\\listoverride\\listid3"
                      "\\ls2}}\\ls2 one\\par two}")
        << int(QTextListFormat::ListLowerRoman) << 1 << u")"_qs;
}

void TestRtfReader::plainListsBecomeQtLists()
{
    QFETCH(QByteArray, rtf);
    QFETCH(int, style);
    QFETCH(int, indent);
    QFETCH(QString, suffix);
    const auto document = read(rtf);
    QCOMPARE(textOf(*document), u"one\ntwo"_qs);
    const QTextBlock one = document->begin();
    const QTextBlock two = one.next();
    QVERIFY(one.textList());
    QCOMPARE(one.textList(), two.textList());
    QCOMPARE(one.textList()->count(), 2);
    const QTextListFormat format = one.textList()->format();
    QCOMPARE(int(format.style()), style);
    QCOMPARE(format.indent(), indent);
    if (!suffix.isNull()) {
        const bool ownSuffix = format.hasProperty(QTextFormat::ListNumberSuffix);
        QCOMPARE(ownSuffix ? format.numberSuffix() : u"."_qs, suffix);
    }
    QCOMPARE(one.blockFormat().leftMargin(), 0.0);
    QCOMPARE(one.blockFormat().textIndent(), 0.0);
}

void TestRtfReader::deeperItemsRestartTheirNumbering()
{
    const QByteArray listTable
        = "{\\*\\listtable{\\list{\\listlevel\\levelnfc0{\\leveltext\\'02\\'00.;}}"
          "{\\listlevel\\levelnfc4{\\leveltext\\'02\\'01.;}}\\listid9}}"
          "{\\*\\listoverridetable{\\listoverride\\listid9\\ls4}}";
    const auto document = read("{\\rtf1" + listTable
                               + "\\pard\\ls4\\ilvl0 A\\par\\pard\\ls4\\ilvl1 a\\par b\\par"
                                 "\\pard\\ls4\\ilvl0 B\\par\\pard\\ls4\\ilvl1 c\\par"
                                 "\\pard between\\par\\pard\\ls4\\ilvl0 C}");
    const auto itemOf = [&](const QString &text) {
        const QTextBlock block = blockWithText(*document, text);
        return block.textList() ? block.textList()->itemNumber(block) : -1;
    };
    QCOMPARE(itemOf(u"A"_qs), 0);
    QCOMPARE(itemOf(u"a"_qs), 0);
    QCOMPARE(itemOf(u"b"_qs), 1);
    QCOMPARE(itemOf(u"B"_qs), 1);
    QCOMPARE(itemOf(u"c"_qs), 0);
    QCOMPARE(itemOf(u"between"_qs), -1);
    QCOMPARE(itemOf(u"C"_qs), 2);
    QCOMPARE(blockWithText(*document, u"a"_qs).textList()->format().indent(), 2);
    QCOMPARE(int(blockWithText(*document, u"a"_qs).textList()->format().style()),
             int(QTextListFormat::ListLowerAlpha));
}

void TestRtfReader::otherListsKeepTheirMarkerText_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("text");

    QTest::addRow("legacy list starting at 3")
        << QByteArray("{\\rtf1{\\pntext 3.\\tab}{\\*\\pn\\pnlvlbody\\pndec\\pnstart3{\\pntxta .}}"
                      "item\\par}")
        << u"3.\titem\n"_qs;
    QTest::addRow("override without a list")
        << QByteArray("{\\rtf1\\ls5{\\listtext 1)\\tab}item}") << u"1)\titem"_qs;
    QTest::addRow("multi-level numbers") << QByteArray(
        "{\\rtf1{\\*\\listtable{\\list{\\listlevel\\levelnfc0{\\leveltext\\'02\\'00.;}}"
        "{\\listlevel\\levelnfc0{\\leveltext\\'04\\'00.\\'01.;}}\\listid1}}"
        "{\\*\\listoverridetable{\\listoverride\\listid1\\ls1}}"
        "{\\listtext 1.1.\\tab}\\pard\\ls1\\ilvl1 item}")
                                         << u"1.1.\titem"_qs;
    QTest::addRow("bullet Qt cannot draw") << QByteArray(
        "{\\rtf1{\\*\\listtable{\\list{\\listlevel\\levelnfc23{\\leveltext\\'01\\u8259 ?;}}"
        "\\listid1}}{\\*\\listoverridetable{\\listoverride\\listid1\\ls1}}"
        "\\ls1{\\listtext\\u8259 ?\\tab}item}")
                                           << u"\u2043\titem"_qs;
    QTest::addRow("marker after the first text stays in place")
        << QByteArray("{\\rtf1 a{\\listtext \\bullet}b}") << u"a•b"_qs;
    QTest::addRow("hidden marker") << QByteArray("{\\rtf1{\\listtext\\v 1.}item}") << u"item"_qs;
}

void TestRtfReader::otherListsKeepTheirMarkerText()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, text);
    const auto document = read(rtf);
    QCOMPARE(textOf(*document), text);
    QVERIFY(!document->begin().textList());
}

void TestRtfReader::tablesBecomeQTextTables()
{
    const auto document = read("{\\rtf1 before\\par\\trowd\\trgaph108\\cellx1500\\cellx3000"
                               "\\pard\\intbl A\\cell{\\b B}\\par B2\\cell\\row"
                               "\\trowd\\cellx1500\\cellx3000\\pard\\intbl C\\cell\\cell\\row"
                               "\\pard after}");
    QCOMPARE(document->rootFrame()->childFrames().size(), 1);
    auto *table = qobject_cast<QTextTable *>(document->rootFrame()->childFrames().first());
    QVERIFY(table);
    QCOMPARE(table->rows(), 2);
    QCOMPARE(table->columns(), 2);
    const auto cellText = [&](int row, int column) {
        const QTextTableCell cell = table->cellAt(row, column);
        QTextCursor cursor = cell.firstCursorPosition();
        cursor.setPosition(cell.lastCursorPosition().position(), QTextCursor::KeepAnchor);
        return cursor.selection().toPlainText();
    };
    QCOMPARE(cellText(0, 0), u"A"_qs);
    QCOMPARE(cellText(0, 1), u"B\nB2"_qs);
    QCOMPARE(cellText(1, 0), u"C"_qs);
    QCOMPARE(cellText(1, 1), QString());
    QVERIFY(formatAt(*document, table->cellAt(0, 1).firstPosition()).fontWeight() == QFont::Bold);
    const QList<QTextLength> widths = table->format().columnWidthConstraints();
    QCOMPARE(widths,
             QList<QTextLength>({ QTextLength(QTextLength::FixedLength, 100),
                                  QTextLength(QTextLength::FixedLength, 100) }));
    QCOMPARE(document->begin().text(), u"before"_qs);
    QCOMPARE(document->lastBlock().text(), u"after"_qs);
    QCOMPARE(document->lastBlock().previous(), document->findBlock(table->lastPosition()));
    QCOMPARE(textOf(*document), u"before\nA\nB\nB2\nC\n\nafter"_qs);
}

void TestRtfReader::mergedCellsMerge()
{
    const auto document = read("{\\rtf1\\trowd\\clmgf\\cellx1000\\clmrg\\cellx2000\\cellx3000"
                               "\\pard\\intbl wide\\cell\\cell c\\cell\\row"
                               "\\trowd\\clvmgf\\cellx1000\\cellx2000\\cellx3000"
                               "\\pard\\intbl tall\\cell b\\cell c\\cell\\row"
                               "\\trowd\\clvmrg\\cellx1000\\cellx2000\\cellx3000"
                               "\\pard\\intbl\\cell e\\cell f\\cell\\row}");
    auto *table = qobject_cast<QTextTable *>(document->rootFrame()->childFrames().first());
    QVERIFY(table);
    QCOMPARE(table->rows(), 3);
    QCOMPARE(table->columns(), 3);
    const QTextTableCell wide = table->cellAt(0, 1);
    QCOMPARE(wide.column(), 0);
    QCOMPARE(wide.columnSpan(), 2);
    QCOMPARE(wide.firstCursorPosition().block().text(), u"wide"_qs);
    const QTextTableCell tall = table->cellAt(2, 0);
    QCOMPARE(tall.row(), 1);
    QCOMPARE(tall.rowSpan(), 2);
    QCOMPARE(tall.firstCursorPosition().block().text(), u"tall"_qs);
    QCOMPARE(table->cellAt(2, 1).firstCursorPosition().block().text(), u"e"_qs);
}

void TestRtfReader::tableRowsGrowAndStayBounded()
{
    const auto document = read("{\\rtf1\\trowd\\cellx1000\\intbl A\\cell B\\cell C\\cell\\row"
                               "\\trowd\\intbl "
                               + QByteArray("x\\cell ").repeated(100) + "\\row}");
    auto *table = qobject_cast<QTextTable *>(document->rootFrame()->childFrames().first());
    QVERIFY(table);
    // Cells past the 63rd go on in a row of their own.
    QCOMPARE(table->rows(), 3);
    QCOMPARE(table->columns(), 63);
    QCOMPARE(table->cellAt(0, 2).firstCursorPosition().block().text(), u"C"_qs);
    QCOMPARE(table->cellAt(1, 62).firstCursorPosition().block().text(), u"x"_qs);
    QCOMPARE(table->cellAt(2, 36).firstCursorPosition().block().text(), u"x"_qs);
    QCOMPARE(textOf(*document).count(u'x'), 100);
}

void TestRtfReader::nestedTablesNestAndStayBounded()
{
    const auto document = read("{\\rtf1\\trowd\\cellx5000\\pard\\intbl outer\\par"
                               "\\pard\\intbl\\itap2 a\\nestcell b\\nestcell"
                               "{\\*\\nesttableprops\\trowd\\cellx1000\\cellx2000\\nestrow}"
                               "{\\nonesttables\\par}"
                               "\\pard\\intbl\\itap2 c\\nestcell d\\nestcell"
                               "{\\*\\nesttableprops\\trowd\\cellx1000\\cellx2000\\nestrow}"
                               "\\pard\\intbl tail\\cell\\row\\pard after}");
    auto *outer = qobject_cast<QTextTable *>(document->rootFrame()->childFrames().first());
    QVERIFY(outer);
    QCOMPARE(outer->rows(), 1);
    QCOMPARE(outer->columns(), 1);
    QCOMPARE(outer->childFrames().size(), 1);
    auto *inner = qobject_cast<QTextTable *>(outer->childFrames().first());
    QVERIFY(inner);
    QCOMPARE(inner->rows(), 2);
    QCOMPARE(inner->columns(), 2);
    QCOMPARE(inner->cellAt(1, 1).firstCursorPosition().block().text(), u"d"_qs);
    QCOMPARE(inner->format().columnWidthConstraints().size(), 2);
    QCOMPARE(document->lastBlock().text(), u"after"_qs);
    QVERIFY(textOf(*document).contains(u"tail"_qs));

    // Deeper nesting than real files have is flattened at three levels.
    const auto deep = read("{\\rtf1\\pard\\intbl\\itap30000000 deep\\nestcell"
                           "{\\*\\nesttableprops\\trowd\\cellx100\\nestrow}\\pard after}");
    int depth = 0;
    for (QTextFrame *frame = deep->rootFrame(); !frame->childFrames().isEmpty();
         frame = frame->childFrames().first())
        ++depth;
    QCOMPARE(depth, 3);
    QCOMPARE(textOf(*deep).remove(u'\n'), u"deepafter"_qs);
}

void TestRtfReader::picturesShowAtTheirStatedSize_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QSizeF>("size");
    QTest::addColumn<QColor>("color");

    const QByteArray png = hexOf(encodedImage("PNG", QSize(4, 2), Qt::red));
    const QByteArray otherPng = hexOf(encodedImage("PNG", QSize(4, 2), Qt::blue));
    const QByteArray jpeg = encodedImage("JPEG", QSize(8, 8), Qt::white);
    QTest::addRow("PNG at its goal size")
        << "{\\rtf1 a{\\pict\\pngblip\\picw4\\pich2\\picwgoal600\\pichgoal300 " + png + "}b}"
        << QSizeF(40, 20) << QColor(Qt::red);
    QTest::addRow("scaled") << "{\\rtf1 a{\\pict\\pngblip\\picwgoal600\\pichgoal300\\picscalex50"
                               "\\picscaley200\n"
            + png + "}b}" << QSizeF(20, 40)
                            << QColor(Qt::red);
    QTest::addRow("no goal: the image's pixels")
        << "{\\rtf1 a{\\pict\\pngblip " + png + "}b}" << QSizeF(4, 2) << QColor(Qt::red);
    QTest::addRow("JPEG as binary data")
        << "{\\rtf1 a{\\pict\\jpegblip\\picwgoal120\\pichgoal120\\bin"
            + QByteArray::number(jpeg.size()) + " " + jpeg + "}b}"
        << QSizeF(8, 8) << QColor(Qt::white);
    QTest::addRow("shape picture preferred") << "{\\rtf1 a{\\*\\shppict{\\pict\\pngblip " + png
            + "}}{\\nonshppict{\\pict\\pngblip " + otherPng
            + "}}b}" << QSizeF(4, 2) << QColor(Qt::red);
    QTest::addRow("non-shape picture used alone") << "{\\rtf1 a{\\nonshppict{\\pict\\pngblip " + png
            + "}}b}" << QSizeF(4, 2) << QColor(Qt::red);
    QTest::addRow("odd digit count drops the last nibble")
        << "{\\rtf1 a{\\pict\\pngblip " + png + "f}b}" << QSizeF(4, 2) << QColor(Qt::red);
}

void TestRtfReader::picturesShowAtTheirStatedSize()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QSizeF, size);
    QFETCH(QColor, color);
    const auto document = read(rtf);
    QCOMPARE(textOf(*document), u"a\uFFFCb"_qs);
    const QTextCharFormat format = formatAt(*document, 1);
    QVERIFY(format.isImageFormat());
    const QTextImageFormat image = format.toImageFormat();
    QCOMPARE(QSizeF(image.width(), image.height()), size);
    const QVariant resource = document->resource(QTextDocument::ImageResource, QUrl(image.name()));
    const QImage decoded = resource.value<QImage>();
    QVERIFY(!decoded.isNull());
    QCOMPARE(decoded.pixelColor(0, 0).rgb() & 0xF0F0F0, color.rgb() & 0xF0F0F0);
}

void TestRtfReader::unusablePicturesAreLeftOut_data()
{
    QTest::addColumn<QByteArray>("rtf");

    QTest::addRow("metafile") << QByteArray("{\\rtf1 a{\\pict\\wmetafile8 0100090000}b}");
    QTest::addRow("metafile as binary with braces")
        << QByteArray("{\\rtf1 a{\\pict\\wmetafile8\\bin4 }{}\\}b}");
    QTest::addRow("undecodable PNG")
        << QByteArray("{\\rtf1 a{\\pict\\pngblip 89504e470d0a1a0a0000}b}");
    QTest::addRow("empty PNG") << QByteArray("{\\rtf1 a{\\pict\\pngblip}b}");
    QTest::addRow("picture in a list marker")
        << QByteArray("{\\rtf1 a{\\listtext{\\pict\\pngblip 00}}b}");
    QTest::addRow("PNG claiming a huge size")
        << QByteArray("{\\rtf1 a{\\pict\\pngblip 89504e470d0a1a0a0000000d49484452"
                      "0000fffe0000fffe0806000000}b}");
}

void TestRtfReader::unusablePicturesAreLeftOut()
{
    QFETCH(QByteArray, rtf);
    const auto document = read(rtf);
    QCOMPARE(textOf(*document), u"ab"_qs);
}

// What the editor's own RTF writer emits reads back into the same structure.
void TestRtfReader::writerOutputReadsBack()
{
    const QByteArray png = hexOf(encodedImage("PNG", QSize(3, 3), Qt::green));
    const QByteArray rtf
        = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1{\\fonttbl{\\f0\\fnil\\fcharset0 Sans;}"
          "{\\f1\\fnil\\fcharset0 Symbol;}{\\f2\\fnil\\fcharset0 Serif;}}"
          "{\\colortbl ;\\red0\\green0\\blue255;\\red255\\green255\\blue0;}\r\n"
          "{\\b\\i\\ul\\f2\\fs24\\cf1 bold\\~it\\'e9}{\\f0\\fs20 \\u8364?\\-x\\_y}\\par\r\n"
          "{\\pntext\\f1\\'b7\\tab}{\\*\\pn\\pnlvlblt\\pnf1\\pnindent0{\\pntxtb\\'b7}}"
          "\\li600\\fi-360{\\f0\\fs20 dot}\\par\r\n"
          "\\pard{\\pntext\\f0 1.\\tab}{\\*\\pn\\pnlvlbody\\pndec\\pnstart1\\pnindent0{\\pntxta .}}"
          "\\li1200\\fi-360{\\f0\\fs20 num}\\par\r\n"
          "\\pard\\trowd\\trgaph108\\cellx1500\\cellx3000\\pard\\intbl{\\f0 c1}\\cell"
          "\\pard\\intbl{\\f0 c2}\\cell\\row\r\n"
          "\\pard\\qc{\\field{\\*\\fldinst{HYPERLINK \"http://q.example/\"}}{\\fldrslt{\\ul\\cf1 "
          "link}}}{\\highlight2 hi}\\line{\\cb2 bg}\\tab end\\par\r\n"
          "{\\pict\\pngblip\\picw3\\pich3\\picwgoal90\\pichgoal45 "
        + png + "}}";
    const auto document = read(rtf);
    QCOMPARE(textOf(*document),
             u"bold\u00A0it\u00E9\u20AC\u00ADx\u2011y\ndot\nnum\nc1\nc2\nlink"
             "hi\u2028bg\tend\n\uFFFC"_qs);

    QTextCharFormat first = formatAt(*document, 0);
    QVERIFY(first.fontWeight() == QFont::Bold && first.fontItalic() && first.fontUnderline());
    QCOMPARE(first.fontFamilies().toStringList(), QStringList({ u"Serif"_qs }));
    QCOMPARE(first.fontPointSize(), 12.0);
    QCOMPARE(first.foreground().color(), QColor(0, 0, 255));
    QCOMPARE(formatAt(*document, 10).fontPointSize(), 10.0);

    const QTextBlock dot = blockWithText(*document, u"dot"_qs);
    QVERIFY(dot.textList());
    QCOMPARE(dot.textList()->format().style(), QTextListFormat::ListDisc);
    QCOMPARE(dot.textList()->format().indent(), 1);
    const QTextBlock num = blockWithText(*document, u"num"_qs);
    QVERIFY(num.textList());
    QVERIFY(num.textList() != dot.textList());
    QCOMPARE(num.textList()->format().style(), QTextListFormat::ListDecimal);
    QCOMPARE(num.textList()->format().indent(), 2);

    auto *table = qobject_cast<QTextTable *>(document->rootFrame()->childFrames().first());
    QVERIFY(table);
    QCOMPARE(table->rows(), 1);
    QCOMPARE(table->columns(), 2);

    const QTextBlock linkBlock = blockWithText(*document, u"linkhi\u2028bg\tend"_qs);
    QVERIFY(linkBlock.isValid());
    QCOMPARE(linkBlock.blockFormat().alignment(), Qt::AlignHCenter);
    const QTextCharFormat link = formatAt(*document, linkBlock.position());
    QCOMPARE(link.anchorHref(), u"http://q.example/"_qs);
    QVERIFY(link.fontUnderline());
    QCOMPARE(formatAt(*document, linkBlock.position() + 4).background().color(),
             QColor(255, 255, 0));
    QCOMPARE(formatAt(*document, linkBlock.position() + 7).background().color(),
             QColor(255, 255, 0));
    QVERIFY(!formatAt(*document, linkBlock.position() + 4).isAnchor());

    const QTextImageFormat image
        = formatAt(*document, document->lastBlock().position()).toImageFormat();
    QCOMPARE(QSizeF(image.width(), image.height()), QSizeF(6, 3));
}

void TestRtfReader::hostileInputLoads_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("text");

    QTest::addRow("100000 nested groups")
        << "{\\rtf1 a" + QByteArray(100000, '{') + "deep" + QByteArray(100000, '}') + "b}"
        << u"ab"_qs;
    QTest::addRow("100000 unclosed groups") << "{\\rtf1 a" + QByteArray(100000, '{') << u"a"_qs;
    QByteArray fonts = "{\\rtf1{\\fonttbl";
    for (int i = 0; i < 100000; ++i)
        fonts += "{\\f" + QByteArray::number(i) + "\\fcharset204 F" + QByteArray::number(i) + ";}";
    QTest::addRow("font table of 100000 entries")
        << fonts + "}\\f5 \\'e0\\f99999 \\'e0\\f-2147483648 x}" << u"аàx"_qs;
    QTest::addRow("font numbers past 32767")
        << QByteArray("{\\rtf1{\\fonttbl{\\f40000\\fcharset204 A;}}\\f40000 \\'e0\\f-25536 \\'e0}")
        << u"аà"_qs;
    QTest::addRow("huge and negative parameters")
        << QByteArray("{\\rtf1\\fs99999999999 x\\f2147483649 y\\cf77777 z\\cf-1\\li-99999999"
                      "\\fi2147483647\\sb-4\\ilvl-3\\ls-2147483648\\uc-7\\u2147483647 w}")
        << u"xyzw"_qs;
    QTest::addRow("binary length beyond the end")
        << QByteArray("{\\rtf1 a\\bin2147483647 bc}") << u"a"_qs;
    QTest::addRow("table level of 30000000")
        << QByteArray("{\\rtf1\\trowd\\itap30000000\\cellx100\\intbl a\\nestcell\\nestrow}")
        << u"\n\n\na\n\n\n"_qs;
    QTest::addRow("over-long control words")
        << "{\\rtf1 a\\" + QByteArray(100000, 'x') + "99999999999999999999 b}" << u"ab"_qs;
    QTest::addRow("100000 colours") << "{\\rtf1{\\colortbl" + QByteArray(";\\red1").repeated(100000)
            + "}\\cf99999 x}" << u"x"_qs;
    QTest::addRow("list numbers out of range")
        << QByteArray("{\\rtf1{\\*\\listtable{\\list{\\listlevel\\levelnfc0}\\listid-1}}"
                      "{\\*\\listoverridetable{\\listoverride\\listid-1\\ls-1}}\\ls-1\\ilvl99 x}")
        << u"x"_qs;
    QTest::addRow("10000 list levels") << "{\\rtf1{\\*\\listtable{\\list"
            + QByteArray("{\\listlevel\\levelnfc4}").repeated(10000)
            + "\\listid1}}x}" << u"x"_qs;
    QTest::addRow("picture with broken hex and binary")
        << QByteArray("{\\rtf1 a{\\pict\\pngblip\\picw-5\\pich99999999 zz\\bin5 12}b}") << u"a"_qs;
    QTest::addRow("fields without results") << QByteArray(
        "{\\rtf1 " + QByteArray("{\\field{\\*\\fldinst HYPERLINK x}}").repeated(1000) + "x}")
                                            << u"x"_qs;
    QTest::addRow("table cell words without a table")
        << QByteArray("{\\rtf1 \\row\\nestrow a\\cell b\\nestcell c}") << u"a\nb\nc"_qs;
}

void TestRtfReader::hostileInputLoads()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, text);
    const auto document = read(rtf);
    QVERIFY(document);
    QCOMPARE(textOf(*document), text);
}

void TestRtfReader::plainTextDecoding_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");

    QTest::addRow("ASCII") << QByteArray("plain") << u"plain"_qs;
    QTest::addRow("UTF-8 without mark") << QByteArray("caf\xc3\xa9 \xe2\x82\xac") << u"café €"_qs;
    QTest::addRow("UTF-8 with mark") << QByteArray("\xef\xbb\xbf\xc3\xa9") << u"é"_qs;
    QTest::addRow("UTF-16 little-endian with mark")
        << QByteArray::fromHex("fffe6100ac20") << u"a€"_qs;
    QTest::addRow("UTF-16 big-endian with mark") << QByteArray::fromHex("feff006120ac") << u"a€"_qs;
    QTest::addRow("invalid UTF-8 is Windows-1252")
        << QByteArray("caf\xe9 \x80 \x93q\x94") << u"café € “q”"_qs;
    QTest::addRow("truncated UTF-8 is Windows-1252") << QByteArray("a\xc3") << u"aÃ"_qs;
    QTest::addRow("undefined Windows-1252 bytes survive")
        << QByteArray("\x81\x8d\xe9") << u"\u0081\u008Dé"_qs;
    QTest::addRow("CR LF") << QByteArray("a\r\nb\r\n") << u"a\nb\n"_qs;
    QTest::addRow("CR") << QByteArray("a\rb\r\rc") << u"a\nb\n\nc"_qs;
    QTest::addRow("LF") << QByteArray("a\nb") << u"a\nb"_qs;
    QTest::addRow("mixed") << QByteArray("a\r\nb\rc\nd\n\re") << u"a\nb\nc\nd\n\ne"_qs;
    QTest::addRow("UTF-16 with CR LF") << QByteArray::fromHex("fffe61000d000a006200") << u"a\nb"_qs;
    QTest::addRow("empty") << QByteArray() << QString();
}

void TestRtfReader::plainTextDecoding()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(decodePlainText(bytes), text);
    const auto document = readPlainText(bytes);
    QCOMPARE(document->toPlainText(), text);
    QCOMPARE(document->blockCount(), text.count(u'\n') + 1);
    QVERIFY(document->isUndoRedoEnabled());
    QCOMPARE(document->availableUndoSteps(), 0);
}

void TestRtfReader::rtfIsRecognised_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("rtf");

    QTest::addRow("header") << QByteArray("{\\rtf1 x}") << true;
    QTest::addRow("header without version") << QByteArray("{\\rtf") << true;
    QTest::addRow("after white space") << QByteArray(" \r\n\t{\\rtf1}") << true;
    QTest::addRow("after a byte order mark") << QByteArray("\xef\xbb\xbf{\\rtf1}") << true;
    QTest::addRow("plain text") << QByteArray("rtf1 x") << false;
    QTest::addRow("text mentioning RTF") << QByteArray("see {\\rtf1}") << false;
    QTest::addRow("upper case") << QByteArray("{\\RTF1}") << false;
    QTest::addRow("empty") << QByteArray() << false;
    QTest::addRow("brace only") << QByteArray("{") << false;
}

void TestRtfReader::rtfIsRecognised()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, rtf);
    QCOMPARE(looksLikeRtf(bytes), rtf);
}

void TestRtfReader::loadFileReplacesDocument_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("bold");

    QTest::addRow("RTF") << QByteArray("{\\rtf1 {\\b Hello}\\par world}") << u"Hello\r\nworld"_qs
                         << true;
    QTest::addRow("plain text") << QByteArray("{Hello}\r\nworld") << u"{Hello}\r\nworld"_qs
                                << false;
    QTest::addRow("RTF cut short")
        << QByteArray("{\\rtf1 {\\b Hello}\\par world") << u"Hello\r\nworld"_qs << true;
    QTest::addRow("empty file") << QByteArray() << QString() << false;
}

void TestRtfReader::loadFileReplacesDocument()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QFETCH(bool, bold);
    QTemporaryDir folder;
    QFile file(folder.filePath(u"document.rtf"_qs));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();

    RichTextEditor editor;
    editor.setDocumentText(u"old text"_qs);
    QVERIFY(editor.document()->isUndoAvailable());
    const FileResult result = editor.LoadFile(file.fileName());
    QVERIFY2(result.ok, qPrintable(result.reason));
    QCOMPARE(editor.documentText(), text);
    QVERIFY(!editor.document()->isUndoAvailable());
    QVERIFY(!editor.document()->isRedoAvailable());
    QVERIFY(editor.document()->isUndoRedoEnabled());
    if (!text.isEmpty())
        QCOMPARE(formatAt(*editor.document(), 0).fontWeight() == QFont::Bold, bold);

    // The loaded document is editable and undoable like any other.
    QTextCursor cursor(editor.document());
    cursor.insertText(u"x"_qs);
    QVERIFY(editor.document()->isUndoAvailable());
}

void TestRtfReader::failedLoadLeavesDocumentUntouched_data()
{
    QTest::addColumn<QString>("name");

    QTest::addRow("missing file") << u"missing.rtf"_qs;
    QTest::addRow("folder") << u"folder"_qs;
    QTest::addRow("file over 200 MB") << u"huge.rtf"_qs;
    QTest::addRow("unreadable file") << u"unreadable.rtf"_qs;
    QTest::addRow("path through a file") << u"huge.rtf/inner.rtf"_qs;
    QTest::addRow("empty path") << QString();
}

void TestRtfReader::failedLoadLeavesDocumentUntouched()
{
    QFETCH(QString, name);
    QTemporaryDir folder;
    QVERIFY(QDir(folder.path()).mkdir(u"folder"_qs));
    QFile huge(folder.filePath(u"huge.rtf"_qs));
    QVERIFY(huge.open(QIODevice::WriteOnly));
    QVERIFY(huge.write("{\\rtf1 x}") > 0);
    QVERIFY(huge.resize((qint64(200) << 20) + 1));
    huge.close();
    QFile unreadable(folder.filePath(u"unreadable.rtf"_qs));
    QVERIFY(unreadable.open(QIODevice::WriteOnly));
    unreadable.write("{\\rtf1 x}");
    unreadable.close();
    unreadable.setPermissions(QFileDevice::WriteOwner);
    if (name == u"unreadable.rtf" && QFile(unreadable.fileName()).open(QIODevice::ReadOnly))
        QSKIP("Running as a user who can read any file");

    RichTextEditor editor;
    editor.setHtml(u"<p><b>bold</b> <i style='color:#ff0000'>red</i></p><ul><li>item</li></ul>"_qs);
    editor.setDocumentText(u"first"_qs);
    editor.setDocumentText(u"second\r\nline"_qs);
    QTextDocument *before = editor.document();
    const QString html = before->toHtml();
    const int undoSteps = before->availableUndoSteps();
    QVERIFY(undoSteps > 0);

    const FileResult result = editor.LoadFile(name.isEmpty() ? name : folder.filePath(name));
    QVERIFY(!result.ok);
    QVERIFY(!result.reason.isEmpty());
    QCOMPARE(editor.document(), before);
    QCOMPARE(before->toHtml(), html);
    QCOMPARE(editor.documentText(), u"second\r\nline"_qs);
    QCOMPARE(before->availableUndoSteps(), undoSteps);
    editor.undo();
    QCOMPARE(editor.documentText(), u"first"_qs);
    editor.undo();
    QVERIFY(editor.document()->toPlainText().startsWith(u"bold red"_qs));
}

QTEST_MAIN(TestRtfReader)
#include "tst_rtfreader.moc"
