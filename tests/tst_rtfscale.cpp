// SPDX-License-Identifier: GPL-3.0-or-later
// What the reader does to stay linear on documents of unusual shape: refusing what cannot be
// held, flattening deep nesting, stacking long tables, and keeping pictures' bytes.
#include "documentsize.h"
#include "richtexteditor.h"
#include "rtfproperties.h"
#include "rtfreader.h"
#include "rtfwriter.h"

#include <QBuffer>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>

#include <numeric>

#include <sys/resource.h>

using namespace Quillmere;

namespace {

constexpr qint64 OneMegabyte = qint64(1) << 20;

QByteArray nestedRtf(int depth)
{
    QByteArray rtf = "{\\rtf1 ";
    for (int level = 1; level <= depth; ++level)
        rtf += "\\pard\\intbl\\itap" + QByteArray::number(level) + " level"
            + QByteArray::number(level) + "\\par ";
    for (int level = depth; level > 1; --level)
        rtf += "\\pard\\intbl\\itap" + QByteArray::number(level)
            + "\\nestcell{\\*\\nesttableprops\\trowd\\cellx1000\\nestrow}";
    return rtf + "\\pard\\intbl\\itap1\\cell\\trowd\\cellx5000\\row\\pard after}";
}

// The first column may be merged down the whole table.
QByteArray tableRtf(int rows, bool mergedDown = false)
{
    QByteArray rtf = "{\\rtf1 ";
    for (int row = 0; row < rows; ++row)
        rtf += QByteArray("\\trowd")
            + (!mergedDown    ? ""
                   : row == 0 ? "\\clvmgf"
                              : "\\clvmrg")
            + "\\cellx1000\\cellx2000\\pard\\intbl a" + QByteArray::number(row)
            + "\\cell b\\cell\\row ";
    return rtf + "\\pard after}";
}

QByteArray encoded(const char *format, int side, QColor color)
{
    QImage image(side, side, QImage::Format_RGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

qsizetype paragraphEnds(const QByteArray &rtf)
{
    static const QRegularExpression paragraphEnd(u"\\\\par(?![a-z])"_qs);
    return QString::fromLatin1(rtf).count(paragraphEnd);
}

QStringList paragraphsOf(const QTextDocument &document)
{
    return document.toPlainText().split(u'\n', Qt::SkipEmptyParts);
}

} // namespace

class TestRtfScale : public QObject
{
    Q_OBJECT

private slots:
    void refusesWhatCannotBeHeld_data();
    void refusesWhatCannotBeHeld();
    void refusalLeavesTheDocument();
    void limitOnDataIsTheMemoryAvailable();
    void deepNestingIsFlattened_data();
    void deepNestingIsFlattened();
    void longTablesSaveAsOneTable();
    void picturesKeepTheirBytes();
};

void TestRtfScale::refusesWhatCannotBeHeld_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<qint64>("available");
    QTest::addColumn<bool>("refused");

    const QByteArray paragraphs = "{\\rtf1 " + QByteArray("x\\par ").repeated(100000) + "}";
    const QByteArray cells = "{\\rtf1 " + QByteArray("x\\cell ").repeated(100000) + "}";
    // Its character, its paragraph and the paragraph laid out, at 4, 200 and 48 bytes.
    QTest::addRow("one character in just its memory") << QByteArray("x") << qint64(252) << false;
    QTest::addRow("paragraphs that fit") << paragraphs << 32 * OneMegabyte << false;
    QTest::addRow("as many cells as do not") << cells << 32 * OneMegabyte << true;
    QTest::addRow("paragraphs in too little memory") << paragraphs << 8 * OneMegabyte << true;
    QTest::addRow("text lines in too little memory")
        << QByteArray("x\n").repeated(100000) << 8 * OneMegabyte << true;
    // Qt holds the glyphs of a whole paragraph once it is laid out.
    const QByteArray line = QByteArray(999, 'x') + '\n';
    QTest::addRow("text lines that fit") << line.repeated(1000) << 32 * OneMegabyte << false;
    QTest::addRow("one text line as long as them does not")
        << line.repeated(1000).replace('\n', ' ') << 32 * OneMegabyte << true;
    QTest::addRow("a paragraph as long, in RTF")
        << "{\\rtf1 " + QByteArray("x\\'e9\\b\\b0 ").repeated(300000) + "}" << 32 * OneMegabyte
        << true;
    QTest::addRow("a picture's data, not text") << "{\\rtf1 {\\pict " + QByteArray(1000000, 'a')
            + "}{\\*\\x " + QByteArray(1000000, 'a') + "}\\bin1000000 " + QByteArray(1000000, 'a')
            + "}" << 128 * OneMegabyte << false;
    // Far more than ten times the file, however much memory there is.
    QTest::addRow("empty paragraphs beyond the promise")
        << "{\\rtf1 " + QByteArray("\\par").repeated(3000000) + "}"
        << std::numeric_limits<qint64>::max() << true;
    QTest::addRow("notes beyond the promise")
        << "{\\rtf1 " + QByteArray("a{\\footnote b}").repeated(300000) + "}"
        << std::numeric_limits<qint64>::max() << true;
}

void TestRtfScale::refusesWhatCannotBeHeld()
{
    QFETCH(QByteArray, bytes);
    QFETCH(qint64, available);
    QFETCH(bool, refused);
    const std::optional<QString> reason = whyTooLargeToOpen(bytes, available);
    QCOMPARE(reason.has_value(), refused);
    if (reason)
        QVERIFY2(reason->contains(u"MB"_qs), qPrintable(*reason));
}

void TestRtfScale::refusalLeavesTheDocument()
{
    QTemporaryDir folder;
    const QString path = folder.filePath(u"huge.rtf"_qs);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("{\\rtf1 " + QByteArray("\\par").repeated(3000000) + "}");
    file.close();
    RichTextEditor editor;
    editor.setDocumentText(u"kept"_qs);
    const FileResult result = editor.LoadFile(path);
    QVERIFY(!result);
    QVERIFY2(result.reason.contains(u"memory"_qs), qPrintable(result.reason));
    QCOMPARE(editor.documentText(), u"kept"_qs);
}

// However much memory the machine has, the process has no more than its limit lets it take.
void TestRtfScale::limitOnDataIsTheMemoryAvailable()
{
    const rlim_t limit = rlim_t(1024 * OneMegabyte);
    rlimit saved {};
    QCOMPARE(getrlimit(RLIMIT_DATA, &saved), 0);
    if (saved.rlim_max != RLIM_INFINITY && saved.rlim_max < limit)
        QSKIP("the hard limit on data is under 1 GB");
    rlimit lowered = saved;
    lowered.rlim_cur = limit;
    QCOMPARE(setrlimit(RLIMIT_DATA, &lowered), 0);
    const qint64 available = availableMemoryBytes();
    QCOMPARE(setrlimit(RLIMIT_DATA, &saved), 0);
    QVERIFY2(available > 0 && available <= qint64(limit), qPrintable(QString::number(available)));
}

void TestRtfScale::deepNestingIsFlattened_data()
{
    QTest::addColumn<int>("depth");
    QTest::addColumn<int>("keptDepth");

    QTest::addRow("two levels kept") << 2 << 2;
    QTest::addRow("three levels kept") << 3 << 3;
    QTest::addRow("fifty levels flattened") << 50 << 3;
}

void TestRtfScale::deepNestingIsFlattened()
{
    QFETCH(int, depth);
    QFETCH(int, keptDepth);
    const auto document = readRtf(nestedRtf(depth));
    int kept = 0;
    for (const QTextFrame *frame = document->rootFrame(); !frame->childFrames().isEmpty();
         frame = frame->childFrames().constFirst())
        ++kept;
    QCOMPARE(kept, keptDepth);
    QStringList levels;
    for (int level = 1; level <= depth; ++level)
        levels.append(u"level%1"_qs.arg(level));
    const QString text = paragraphsOf(*document).join(u' ');
    QCOMPARE(text, levels.join(u' ') + u" after"_qs);
}

// A long table is built as several tables, and saves as the rows of one; a long vertical merge
// or a cell of very many paragraphs goes on in the next of them.
void TestRtfScale::longTablesSaveAsOneTable()
{
    const auto parts = [](const QByteArray &rtf) {
        const auto document = readRtf(rtf);
        return std::pair(int(document->rootFrame()->childFrames().size()),
                         paragraphEnds(writeRtf(*document)));
    };
    const auto [shortTables, shortParagraphs] = parts(tableRtf(10));
    const auto [longTables, longParagraphs] = parts(tableRtf(100));
    QCOMPARE(shortTables, 1);
    QVERIFY(longTables > 1);
    QCOMPARE(longParagraphs, shortParagraphs);

    QStringList cells;
    for (int row = 0; row < 100; ++row)
        cells << u"a%1"_qs.arg(row) << u"b"_qs;
    const auto again = readRtf(writeRtf(*readRtf(tableRtf(100))));
    QCOMPARE(paragraphsOf(*again), cells << u"after"_qs);

    // A merge keeps its rows together in longer parts, each merged whole.
    const auto merged = readRtf(tableRtf(300, true));
    QList<int> spans;
    for (const QTextFrame *frame : merged->rootFrame()->childFrames()) {
        const auto *table = qobject_cast<const QTextTable *>(frame);
        QVERIFY(table);
        QCOMPARE(table->cellAt(0, 0).rowSpan(), table->rows());
        spans.append(table->rows());
    }
    QVERIFY(spans.size() > 1);
    QVERIFY(spans.first() > 16);
    QCOMPARE(std::accumulate(spans.cbegin(), spans.cend(), 0), 300);

    // A long cell goes on in its column in the next part, with the list marker of the
    // paragraph at the cut.
    QByteArray longCell = "{\\rtf1 \\trowd\\cellx1000\\cellx2000\\pard\\intbl a\\cell ";
    QStringList expected { u"a"_qs };
    for (int paragraph = 0; paragraph < 4500; ++paragraph) {
        const bool marked = paragraph == 2000;
        longCell
            += (marked ? "{\\pntext -\\tab}p" : "p") + QByteArray::number(paragraph) + "\\par ";
        expected << (marked ? u"-\tp%1"_qs : u"p%1"_qs).arg(paragraph);
    }
    const auto split = readRtf(longCell + "\\cell\\row\\pard after}");
    const QList<QTextFrame *> splitParts = split->rootFrame()->childFrames();
    QCOMPARE(splitParts.size(), 3);
    const auto *second = qobject_cast<const QTextTable *>(splitParts.at(1));
    QCOMPARE(second->cellAt(0, 1).firstCursorPosition().block().text(), expected.at(2001));
    QCOMPARE(paragraphsOf(*split), expected << u"after"_qs);
}

// Every picture saves with the bytes it was read from, whether it is shown at full size,
// scaled down, or as a placeholder once the budget for decoded pictures is spent.
void TestRtfScale::picturesKeepTheirBytes()
{
    const QList<QByteArray> pictures
        = { encoded("PNG", 4, Qt::red), encoded("JPEG", 8, Qt::blue),
            encoded("PNG", 3000, Qt::green), encoded("PNG", 2048, Qt::yellow) };
    QByteArray rtf = "{\\rtf1 ";
    for (const QByteArray &picture : pictures) {
        const bool png = picture.startsWith("\x89PNG");
        rtf += QByteArray("{\\pict") + (png ? "\\pngblip " : "\\jpegblip ") + picture.toHex() + "}";
    }
    // Six more of 2048 pixels a side spend the budget of decoded pictures, which the box that
    // stands for a metafile then goes without.
    rtf += ("{\\pict\\pngblip " + pictures.last().toHex() + "}").repeated(6);
    rtf += "{\\pict\\wmetafile8\\picwgoal31680\\pichgoal31680 0100}}";

    const auto document = readRtf(rtf);
    QList<QSize> shown;
    QList<QSize> decoded;
    for (QTextBlock::iterator it = document->begin().begin(); !it.atEnd(); ++it) {
        const QTextImageFormat format = it.fragment().charFormat().toImageFormat();
        shown.append(QSizeF(format.width(), format.height()).toSize());
        decoded.append(document->resource(QTextDocument::ImageResource, QUrl(format.name()))
                           .value<QImage>()
                           .size());
    }
    QCOMPARE(shown.size(), 11);
    QCOMPARE(shown.at(2), QSize(3000, 3000));
    QCOMPARE(decoded.at(0), QSize(4, 4));
    QCOMPARE(decoded.at(2), QSize(2048, 2048));
    QCOMPARE(decoded.at(6), QSize(2048, 2048));
    QCOMPARE(decoded.at(7), QSize(1, 1));
    QCOMPARE(decoded.at(10), QSize(1, 1));
    QCOMPARE(shown.at(10), QSize(2112, 2112));

    const QByteArray saved = writeRtf(*document);
    const auto again = readRtf(saved);
    QList<QByteArray> savedPictures;
    for (QTextBlock::iterator it = again->begin().begin(); !it.atEnd(); ++it)
        savedPictures.append(
            it.fragment().charFormat().property(OriginalPictureBytes).toByteArray());
    QCOMPARE(savedPictures.mid(0, 4), pictures);
    QCOMPARE(savedPictures.count(pictures.last()), 7);
}

QTEST_MAIN(TestRtfScale)
#include "tst_rtfscale.moc"
