// SPDX-License-Identifier: GPL-3.0-or-later
// Real RTF files from many producers, checked against the text LibreOffice extracts from them.
#include "richtexteditor.h"
#include "rtfdump.h"
#include "rtfreader.h"
#include "rtfwriter.h"

#include <QDir>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QTest>
#include <QTextDocument>

using namespace Quillmere;

namespace {

QString corpusPath()
{
    return QStringLiteral(QUILLMERE_RTF_CORPUS);
}

QByteArray contentsOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct OracleCorrection
{
    const char16_t *file;
    const char16_t *oracle;
    const char16_t *ours;
    const char *reason;
};

// Where LibreOffice's text is known to be wrong, what it should have said. Applied to the
// oracle's text before comparing.
constexpr OracleCorrection OracleCorrections[] = {
    { u"wptools-hyperlink-styles", u"\uFFFD", u"\u201D",
      "LibreOffice decodes \\fcharset1 with the process locale; it means the document's code "
      "page" },
    { u"textedit-unpaired-surrogates", u"?here", u"\uFFFD here",
      "LibreOffice swallows the space after an unpaired high surrogate" },
    { u"textedit-unpaired-surrogates", u"?", u"\uFFFD",
      "LibreOffice writes unpaired surrogates as '?'; they are U+FFFD here" },
};

// Lines LibreOffice begins with its own list marker: an indent of four spaces a level, then a
// bullet or a number with its punctuation.
const QRegularExpression &oracleMarker()
{
    static const QRegularExpression marker(
        uR"(^(?: {4})+(?:\S|[0-9]{1,3}[.)]|[a-zA-Z][.)]|[ivxlcIVXLC]{1,6}[.)]) )"_qs,
        QRegularExpression::MultilineOption);
    return marker;
}

// A marker kept as text where a list could not become a Qt list: a bullet or a number, then
// one tab (two tabs start a column of a tab-separated table, as in txtextcontrol-sample).
const QRegularExpression &ourMarker()
{
    static const QRegularExpression marker(
        uR"(^\s*(?:[-•◦▪⁃–·o§\x{F000}-\x{F0FF}]|[0-9]{1,3}[.)]|[a-zA-Z][.)])"
        uR"(|[ivxlcIVXLC]{1,6}[.)])\t(?!\t))"_qs,
        QRegularExpression::MultilineOption);
    return marker;
}

// Text with every run of white space as one space and no list markers at line starts.
QString normalized(QString text, const QRegularExpression &marker)
{
    text.replace(u"\r\n"_qs, u"\n"_qs);
    text.remove(marker);
    text.remove(QChar::ObjectReplacementCharacter);
    return text.simplified();
}

QString oracleText(const QString &name)
{
    QString oracle = QString::fromUtf8(contentsOf(corpusPath() + u'/' + name + u".lo.txt"_qs));
    if (oracle.startsWith(QChar::ByteOrderMark))
        oracle.remove(0, 1);
    for (const OracleCorrection &correction : OracleCorrections) {
        if (name == QStringView(correction.file))
            oracle.replace(QString::fromUtf16(correction.oracle),
                           QString::fromUtf16(correction.ours));
    }
    return normalized(oracle, oracleMarker());
}

QString loadedText(const QString &path)
{
    RichTextEditor editor;
    const FileResult result = editor.LoadFile(path);
    if (!result)
        return u"<failed: "_qs + result.reason + u'>';
    return editor.documentText();
}

QStringList corpusFiles()
{
    return QDir(corpusPath()).entryList({ u"*.rtf"_qs }, QDir::Files, QDir::Name);
}

} // namespace

class TestRtfCorpus : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void textMatchesLibreOffice_data();
    void textMatchesLibreOffice();
    void filesLibreOfficeRefusesLoad_data();
    void filesLibreOfficeRefusesLoad();
    void damagedCopiesLoad_data();
    void damagedCopiesLoad();
};

void TestRtfCorpus::initTestCase()
{
    // Damaged copies of JPEG pictures make the decoder complain at length.
    QLoggingCategory::setFilterRules(u"qt.gui.imageio.jpeg=false"_qs);
    if (!QDir(corpusPath()).exists())
        QSKIP(qPrintable(
            u"The RTF corpus is not at %1: the real-file tests are skipped"_qs.arg(corpusPath())));
}

void TestRtfCorpus::textMatchesLibreOffice_data()
{
    QTest::addColumn<QString>("name");
    for (const QString &file : corpusFiles()) {
        const QString name = file.chopped(4);
        if (QFile::exists(corpusPath() + u'/' + name + u".lo.txt"_qs))
            QTest::addRow("%s", qPrintable(name)) << name;
    }
}

void TestRtfCorpus::textMatchesLibreOffice()
{
    QFETCH(QString, name);
    const QString path = corpusPath() + u'/' + name + u".rtf"_qs;
    QCOMPARE(normalized(loadedText(path), ourMarker()), oracleText(name));
    // What we write for it reads back with the same text and pictures.
    const auto document = readRtf(contentsOf(path));
    const auto again = readRtf(writeRtf(*document));
    QCOMPARE(again->toPlainText(), document->toPlainText());
    QCOMPARE(RtfDump::pictureData(*again), RtfDump::pictureData(*document));
}

void TestRtfCorpus::filesLibreOfficeRefusesLoad_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("images");

    QTest::addRow("JPEG after a binary word without length")
        << u"pandoc-image-jpeg"_qs << QString() << 1;
    QTest::addRow("undecodable metafile in binary data")
        << u"word-bin-in-pict"_qs << u"\t\t\t"_qs << 1;
}

void TestRtfCorpus::filesLibreOfficeRefusesLoad()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(int, images);
    RichTextEditor editor;
    QVERIFY(editor.LoadFile(corpusPath() + u'/' + name + u".rtf"_qs));
    QCOMPARE(editor.documentText().remove(QChar::ObjectReplacementCharacter).simplified(),
             text.simplified());
    QCOMPARE(editor.documentText().count(QChar::ObjectReplacementCharacter), images);
}

void TestRtfCorpus::damagedCopiesLoad_data()
{
    QTest::addColumn<QString>("name");
    for (const QString &file : corpusFiles())
        QTest::addRow("%s", qPrintable(file)) << file;
}

// Every prefix length at a few hundred cut points, and copies with bytes overwritten, load
// without crashing and keep text from before the damage.
void TestRtfCorpus::damagedCopiesLoad()
{
    QFETCH(QString, name);
    const QByteArray rtf = contentsOf(corpusPath() + u'/' + name);
    QVERIFY(!rtf.isEmpty());
    const qsizetype step = std::max<qsizetype>(1, rtf.size() / 200);
    for (qsizetype length = 0; length < rtf.size(); length += step)
        QVERIFY(readRtf(QByteArrayView(rtf).first(length)));

    // A fixed sequence, so that a failure can be repeated.
    quint32 seed = 2463534242u;
    const auto nextRandom = [&seed] {
        seed ^= seed << 13;
        seed ^= seed >> 17;
        seed ^= seed << 5;
        return seed;
    };
    const char replacements[] = { '{', '}', '\\', '\'', '0', 'a', ' ', char(0xFF), char(0x80) };
    for (int round = 0; round < 50; ++round) {
        QByteArray damaged = rtf;
        for (int flip = 0; flip < 8; ++flip)
            damaged[nextRandom() % damaged.size()]
                = replacements[nextRandom() % sizeof(replacements)];
        QVERIFY(readRtf(damaged));
    }
}

QTEST_MAIN(TestRtfCorpus)
#include "tst_rtfcorpus.moc"
