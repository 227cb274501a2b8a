// SPDX-License-Identifier: GPL-3.0-or-later
// Real RTF files from many producers, checked against the text LibreOffice extracts from them,
// saved and read again, and saved for LibreOffice to read.
#include "libreoffice.h"
#include "richtexteditor.h"
#include "rtfdump.h"
#include "rtfreader.h"
#include "rtfwriter.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <optional>
#include <span>

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

// Where LibreOffice's reading of an original file is known to miss what is there, what it should
// have counted. Applied to the counts from the original's HTML before comparing.
constexpr OracleCorrection StructureCorrections[] = {
    { u"legacy-pntext-list", u", 0 list items,", u", 6 list items,",
      "LibreOffice ignores \\pn numbering in paragraphs that also name a list (\\ls) the file "
      "never defines" },
    { u"word2002-cyrillic-braces", u", 0 bold,", u", 1 bold,",
      "LibreOffice writes the bold of a heading's style in its style sheet, not as a bold run" },
    { u"libreoffice6-image", u", 0 pictures,", u", 1 pictures,",
      "LibreOffice drops a picture the file gives only as the fallback for other readers" },
};

// The oracle's text with the corrections for the named file made.
QString corrected(QString text, const QString &name, std::span<const OracleCorrection> corrections)
{
    for (const OracleCorrection &correction : corrections) {
        if (name == QStringView(correction.file))
            text.replace(QString::fromUtf16(correction.oracle),
                         QString::fromUtf16(correction.ours));
    }
    return text;
}

// Lines LibreOffice begins with its own list marker: an indent of four spaces a level, then a
// bullet or a number with its punctuation, and any word before the number ("Step 1:").
const QRegularExpression &oracleMarker()
{
    static const QRegularExpression marker(
        uR"(^(?: {4})+(?:\S|(?:\w+ )?(?:[0-9]{1,3}|[a-zA-Z]|[ivxlcIVXLC]{1,6})[.):]) )"_qs,
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

// LibreOffice's text of the RTF file at the path, kept beside it.
QString oracleText(const QString &path)
{
    const QString name = QFileInfo(path).completeBaseName();
    QString oracle = QString::fromUtf8(contentsOf(path.chopped(4) + u".lo.txt"_qs));
    if (oracle.startsWith(QChar::ByteOrderMark))
        oracle.remove(0, 1);
    oracle = corrected(oracle, name, OracleCorrections);
    // Markers that LibreOffice too sees as text, where no list could be made of them.
    oracle.remove(ourMarker());
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

// The corpus and the files other programs wrote for us, by name without ".rtf".
QMap<QString, QString> realFiles()
{
    QMap<QString, QString> files;
    for (const QString &folder : { corpusPath(), QFINDTESTDATA("data/peers") }) {
        for (const QString &file : QDir(folder).entryList({ u"*.rtf"_qs }, QDir::Files))
            files.insert(file.chopped(4), folder + u'/' + file);
    }
    return files;
}

struct KnownLoss
{
    const char16_t *file;
    bool seenByLibreOffice;
    const char *missing;
};

// What a save still loses from a real file: in our own reading again, or in LibreOffice's
// reading of the saved file compared with its reading of the original.
constexpr KnownLoss KnownLosses[] = {
    { u"lo-lists", false, "A list that a nested list interrupts is saved as two lists" },
    { u"word2010-lists", false, "A list that other paragraphs interrupt is saved as two lists" },
    { u"word-nested-table", false,
      "The empty paragraph after a nested table loses its right indent of one twip" },
    { u"lo-tables", true,
      "LibreOffice's nested table is read with its outer table's last row moved into a cell" },
};

void expectKnownLoss(const QString &name, bool seenByLibreOffice)
{
    for (const KnownLoss &loss : KnownLosses) {
        if (name == QStringView(loss.file) && loss.seenByLibreOffice == seenByLibreOffice)
            QEXPECT_FAIL("", loss.missing, Abort);
    }
}

// Each picture as its properties other than its name and shown size, data by size and digest.
QStringList pictures(const QTextDocument &document)
{
    const auto described = [](const QVariant &value) {
        if (value.typeId() != QMetaType::QByteArray)
            return value.toString();
        const QByteArray data = value.toByteArray();
        return u"%1 bytes #%2"_qs.arg(data.size())
            .arg(QCryptographicHash::hash(data, QCryptographicHash::Sha1).toHex().left(12));
    };
    QStringList pictures;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto fragment = block.begin(); !fragment.atEnd(); ++fragment) {
            const QTextCharFormat format = fragment.fragment().charFormat();
            if (!format.isImageFormat())
                continue;
            QStringList words;
            const auto properties = format.properties();
            for (auto it = properties.cbegin(); it != properties.cend(); ++it) {
                if (it.key() < QTextFormat::ImageName || it.key() > QTextFormat::ImageHeight)
                    words << u"%1=%2"_qs.arg(it.key(), 0, 16).arg(described(it.value()));
            }
            pictures << words.join(u',');
        }
    }
    return pictures;
}

// The document's lines, then its pictures. Every length is taken to the twip (a fifteenth of a
// pixel), as RTF keeps it, and every run is given a font family and size: a run without them
// shows the document's default font, which a save names.
QStringList documentLines(QTextDocument &document)
{
    const QFont font = document.defaultFont();
    QList<std::pair<int, int>> runsWithoutFont;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto fragment = block.begin(); !fragment.atEnd(); ++fragment) {
            const QTextCharFormat format = fragment.fragment().charFormat();
            if (!format.isImageFormat()
                && (!format.hasProperty(QTextFormat::FontFamilies)
                    || !format.hasProperty(QTextFormat::FontPointSize)))
                runsWithoutFont.emplaceBack(fragment.fragment().position(),
                                            fragment.fragment().length());
        }
    }
    QTextCursor cursor(&document);
    for (const auto &[position, length] : runsWithoutFont) {
        cursor.setPosition(position);
        cursor.setPosition(position + length, QTextCursor::KeepAnchor);
        QTextCharFormat format = cursor.charFormat();
        if (!format.hasProperty(QTextFormat::FontFamilies))
            format.setFontFamilies(font.families().isEmpty() ? QStringList(font.family())
                                                             : font.families());
        if (!format.hasProperty(QTextFormat::FontPointSize))
            format.setFontPointSize(font.pointSizeF());
        cursor.setCharFormat(format);
    }
    static const QRegularExpression decimal(u"[0-9]+\\.[0-9]+(pt)?"_qs);
    QStringList lines = RtfDump::lines(document);
    for (QString &line : lines) {
        QString rounded;
        qsizetype copied = 0;
        for (auto match = decimal.globalMatch(line); match.hasNext();) {
            const QRegularExpressionMatch found = match.next();
            rounded += QStringView(line).sliced(copied, found.capturedStart() - copied);
            rounded += found.hasCaptured(1)
                ? found.captured()
                : QString::number(qRound(found.captured().toDouble() * 15) / 15.0);
            copied = found.capturedEnd();
        }
        line = rounded + line.sliced(copied);
    }
    return lines + pictures(document);
}

// What LibreOffice shows of a document, counted from its HTML: tables, cells, list items,
// pictures, runs of bold, italic and underlined text, shaded cells, headers and footers that hold
// text, and notes (footnote marks, and comments, which LibreOffice writes as HTML comments). Runs
// are counted where text starts to be bold (or italic, or underlined), so that LibreOffice
// splitting a run at a change of font or language does not count. Highlighting does not count:
// LibreOffice's HTML leaves out what \highlight gives, though it shows it.
QString structureOf(const QString &html)
{
    static const QRegularExpression tag(u"<(/?)([a-zA-Z0-9]+)([^>]*)>|<!--"_qs);
    static const QRegularExpression shading(u"bgcolor=|background(?:-color)?:\\s*#"_qs);
    static const QRegularExpression headerOrFooter(u"title=\"[^\"]*(?:header|footer)\""_qs);
    static const QRegularExpression noteMark(u"class=\"sd(?:foot|end)noteanc\""_qs);
    enum Count { Tables, Cells, Items, Pictures, Bold, Italic, Underline, Shaded, Headers, Notes };
    static const char *const names[]
        = { "tables", "cells",      "list items",   "pictures",           "bold",
            "italic", "underlined", "shaded cells", "headers or footers", "notes" };
    int counts[std::size(names)] = {};
    struct Style
    {
        QStringList tags;
        Count count;
        int depth = 0;
        bool inRun = false;
    };
    Style styles[] = { { { u"b"_qs, u"strong"_qs }, Bold },
                       { { u"i"_qs, u"em"_qs }, Italic },
                       { { u"u"_qs }, Underline } };
    const qsizetype bodyStart = std::max<qsizetype>(0, html.indexOf(u"<body"_qs));
    qsizetype textStart = bodyStart;
    bool inHeaderOrFooter = false;
    for (auto match = tag.globalMatch(html, bodyStart); match.hasNext();) {
        const QRegularExpressionMatch found = match.next();
        if (std::any_of(html.cbegin() + textStart, html.cbegin() + found.capturedStart(),
                        [](QChar c) { return !c.isSpace(); })) {
            for (Style &style : styles) {
                counts[style.count] += style.depth > 0 && !style.inRun;
                style.inRun = style.depth > 0;
            }
            counts[Headers] += std::exchange(inHeaderOrFooter, false);
        }
        textStart = found.capturedEnd();
        const QString name = found.captured(2).toLower();
        const bool closing = !found.capturedView(1).isEmpty();
        for (Style &style : styles) {
            if (style.tags.contains(name))
                style.depth = std::max(0, style.depth + (closing ? -1 : 1));
        }
        const QStringView attributes = found.capturedView(3);
        if (found.captured() == u"<!--")
            ++counts[Notes];
        else if (closing)
            inHeaderOrFooter = inHeaderOrFooter && name != u"div";
        else if (name == u"table")
            ++counts[Tables];
        else if (name == u"td" || name == u"th")
            ++counts[Cells], counts[Shaded] += attributes.contains(shading);
        else if (name == u"li")
            ++counts[Items];
        else if (name == u"img")
            ++counts[Pictures];
        else if (name == u"div")
            inHeaderOrFooter = attributes.contains(headerOrFooter);
        else if (name == u"a")
            counts[Notes] += attributes.contains(noteMark);
    }
    QStringList words;
    for (size_t count = 0; count < std::size(names); ++count)
        words << u"%1 %2"_qs.arg(counts[count]).arg(QLatin1String(names[count]));
    return words.join(u", "_qs);
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
    void saveKeepsDocument_data();
    void saveKeepsDocument();
    void libreOfficeSeesSameStructure_data();
    void libreOfficeSeesSameStructure();

private:
    const LibreOffice::Conversion &libreOfficeHtml();

    QTemporaryDir m_peerFolder;
    std::optional<LibreOffice::Conversion> m_libreOffice;
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
    QTest::addColumn<QString>("path");
    const QMap<QString, QString> files = realFiles();
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        if (QFile::exists(it.value().chopped(4) + u".lo.txt"_qs))
            QTest::addRow("%s", qPrintable(it.key())) << it.value();
    }
}

void TestRtfCorpus::textMatchesLibreOffice()
{
    QFETCH(QString, path);
    QCOMPARE(normalized(loadedText(path), ourMarker()), oracleText(path));
    // What we write for it reads back with the same text; its pictures are compared in
    // saveKeepsDocument.
    const auto document = readRtf(contentsOf(path));
    QCOMPARE(readRtf(writeRtf(*document))->toPlainText(), document->toPlainText());
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

void TestRtfCorpus::saveKeepsDocument_data()
{
    QTest::addColumn<QString>("path");
    const QMap<QString, QString> files = realFiles();
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        QTest::addRow("%s", qPrintable(it.key())) << it.value();
}

// Load, save and load again gives the same document, pictures byte for byte.
void TestRtfCorpus::saveKeepsDocument()
{
    QFETCH(QString, path);
    const auto loaded = readRtf(contentsOf(path));
    const auto reloaded = readRtf(writeRtf(*loaded));
    expectKnownLoss(QFileInfo(path).completeBaseName(), false);
    QCOMPARE(documentLines(*reloaded), documentLines(*loaded));
}

// Saves every real file for one LibreOffice run to convert with the originals to HTML.
const LibreOffice::Conversion &TestRtfCorpus::libreOfficeHtml()
{
    if (m_libreOffice)
        return *m_libreOffice;
    m_libreOffice.emplace();
    QStringList paths;
    const QMap<QString, QString> files = realFiles();
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        QFile saved(m_peerFolder.filePath(it.key() + u".saved.rtf"_qs));
        if (!saved.open(QIODevice::WriteOnly)
            || saved.write(writeRtf(*readRtf(contentsOf(it.value())))) < 0)
            return *m_libreOffice;
        paths << it.value() << saved.fileName();
    }
    m_libreOffice = LibreOffice::convert(paths, u"html"_qs, m_peerFolder.filePath(u"html"_qs),
                                         u"compare its reading of saved files"_qs);
    return *m_libreOffice;
}

void TestRtfCorpus::libreOfficeSeesSameStructure_data()
{
    if (!qEnvironmentVariableIsSet("QUILLMERE_PEER"))
        QSKIP("LibreOffice's reading is compared under the peer label (ctest -L peer), or with "
              "QUILLMERE_PEER=1");
    saveKeepsDocument_data();
}

// LibreOffice finds as many tables, cells, list items, pictures, formatted runs and shaded
// cells in our saved file as in the original.
void TestRtfCorpus::libreOfficeSeesSameStructure()
{
    const LibreOffice::Conversion &conversion = libreOfficeHtml();
    if (!conversion.skipReason.isEmpty())
        QSKIP(qPrintable(conversion.skipReason));
    const QHash<QString, QString> &html = conversion.files;
    const QString name = QString::fromLatin1(QTest::currentDataTag());
    if (!html.contains(name))
        QSKIP("LibreOffice cannot read the original file");
    QVERIFY2(html.contains(name + u".saved"_qs), "LibreOffice could not read the saved file");
    const QString expected = corrected(structureOf(html[name]), name, StructureCorrections);
    expectKnownLoss(name, true);
    QCOMPARE(structureOf(html[name + u".saved"_qs]), expected);
}

QTEST_MAIN(TestRtfCorpus)
#include "tst_rtfcorpus.moc"
