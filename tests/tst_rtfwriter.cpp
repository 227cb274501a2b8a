// SPDX-License-Identifier: GPL-3.0-or-later
#include "richtexteditor.h"
#include "rtfreader.h"
#include "rtfwriter.h"

#include <QApplication>
#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>
#include <QTextTable>

#include <functional>

#include <csignal>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Quillmere;

using Build = std::function<void(QTextCursor &)>;
Q_DECLARE_METATYPE(Build)

namespace {

// Set in the environment of the child process that is killed while it saves.
constexpr char KilledSaveVariable[] = "QUILLMERE_TEST_KILLED_SAVE";

QTextCharFormat charFormat(const std::function<void(QTextCharFormat &)> &change)
{
    QTextCharFormat format;
    change(format);
    return format;
}

void prepare(QTextDocument &document)
{
    document.setDefaultFont(QFont(u"Arial"_qs, 12));
}

QByteArray writeBuilt(const Build &build)
{
    QTextDocument document;
    prepare(document);
    QTextCursor cursor(&document);
    build(cursor);
    return writeRtf(document);
}

// Readers ignore line ends between tokens, so checks of content look at the output without them.
QByteArray unwrapped(QByteArray rtf)
{
    return rtf.replace("\r\n", "");
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

mode_t modeOf(const QString &path)
{
    struct stat status = {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_mode & 07777
                                                                     : mode_t(0);
}

QImage smallImage()
{
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(QColor(10, 200, 30));
    image.setPixelColor(1, 2, QColor(250, 0, 5));
    return image;
}

// Qt gives tables a border unless told otherwise.
QTextTableFormat borderless()
{
    QTextTableFormat format;
    format.setBorder(0);
    return format;
}

void insertImage(QTextCursor &cursor, const QVariant &resource, double width)
{
    cursor.document()->addResource(QTextDocument::ImageResource, QUrl(u"picture"_qs), resource);
    QTextImageFormat format;
    format.setName(u"picture"_qs);
    if (width > 0)
        format.setWidth(width);
    cursor.insertImage(format);
}

// The editor's text after saving, word by word: list markers, table rules and the marks peers
// print for pictures removed, soft hyphens and object markers dropped.
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
        for (const QString &word :
             line.split(QRegularExpression(u"[ \t\r]+"_qs), Qt::SkipEmptyParts))
            words += word;
    }
    return words;
}

// A document each peer is given, and what it shows.
struct PeerSample
{
    const char *name;
    void (*build)(QTextCursor &cursor);
    // pandoc 2.17 decodes the two halves of a surrogate pair each on its own.
    bool pandocReadsIt;
};

void buildFormattedRuns(QTextCursor &cursor)
{
    cursor.insertText(u"plain "_qs);
    cursor.insertText(u"bold words"_qs, charFormat([](auto &f) { f.setFontWeight(QFont::Bold); }));
    cursor.insertText(u" then "_qs, charFormat([](auto &f) { f.setFontItalic(true); }));
    cursor.insertText(u"red"_qs, charFormat([](auto &f) { f.setForeground(QColor(Qt::red)); }));
    cursor.insertText(u" 2024"_qs, charFormat([](auto &f) { f.setFontPointSize(20); }));
    cursor.insertBlock();
    cursor.insertText(u"under"_qs, charFormat([](auto &f) { f.setFontUnderline(true); }));
    cursor.insertText(u"lined and"_qs, charFormat([](auto &f) { f.setFontStrikeOut(true); }));
    cursor.insertText(u" x"_qs);
    cursor.insertText(u"2"_qs, charFormat([](auto &f) {
                          f.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
                      }));
    cursor.insertText(u"2"_qs, charFormat([](auto &f) {
                          f.setVerticalAlignment(QTextCharFormat::AlignSubScript);
                      }));
}

void buildWesternCharacters(QTextCursor &cursor)
{
    cursor.insertText(u"Café “quoted” — naïve façade, 5 € or £, Œuvre, straße, ñandú ±½"_qs);
}

void buildOtherScripts(QTextCursor &cursor)
{
    cursor.insertText(u"Ωmega Привет мир 中文测试 日本語 Łódź Čeština ğüş"_qs);
}

void buildBeyondBmp(QTextCursor &cursor)
{
    cursor.insertText(u"smile 😊 and gothic 𐌰𐌱 end"_qs);
}

void buildLists(QTextCursor &cursor)
{
    cursor.insertText(u"Before the lists"_qs);
    cursor.insertBlock();
    cursor.insertText(u"apples"_qs);
    cursor.createList(QTextListFormat::ListDisc);
    cursor.insertBlock();
    cursor.insertText(u"pears"_qs);
    cursor.insertBlock(QTextBlockFormat());
    cursor.insertText(u"first step"_qs);
    cursor.createList(QTextListFormat::ListDecimal);
    cursor.insertBlock();
    cursor.insertText(u"second step"_qs);
    cursor.insertBlock(QTextBlockFormat());
    cursor.insertText(u"After the lists"_qs);
}

void buildTable(QTextCursor &cursor)
{
    cursor.insertText(u"Above"_qs);
    cursor.insertBlock();
    QTextTable *table = cursor.insertTable(2, 2);
    const QStringList cells { u"north"_qs, u"east"_qs, u"south"_qs, u"west"_qs };
    for (int i = 0; i < cells.size(); ++i)
        table->cellAt(i / 2, i % 2).firstCursorPosition().insertText(cells.at(i));
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(u"Below"_qs);
}

void buildEscapes(QTextCursor &cursor)
{
    cursor.insertText(u"{braces} back\\slash a\ttab line\u2028break no\u00A0break "
                      "soft\u00ADhyphen non\u2011breaking"_qs);
}

void buildHyperlink(QTextCursor &cursor)
{
    cursor.insertText(u"see "_qs);
    cursor.insertText(u"the site"_qs, charFormat([](auto &f) {
                          f.setAnchor(true);
                          f.setAnchorHref(u"https://example.org/a?b=1&c=%222%22#top"_qs);
                      }));
    cursor.insertText(u" now"_qs, QTextCharFormat());
}

void buildImageAndText(QTextCursor &cursor)
{
    cursor.insertText(u"picture here "_qs);
    insertImage(cursor, smallImage(), 0);
    cursor.insertText(u" after it"_qs);
}

void buildParagraphFormats(QTextCursor &cursor)
{
    QTextBlockFormat centred;
    centred.setAlignment(Qt::AlignHCenter);
    cursor.setBlockFormat(centred);
    cursor.insertText(u"Centred title"_qs);
    QTextBlockFormat indented;
    indented.setLeftMargin(48);
    indented.setTextIndent(-24);
    indented.setTopMargin(12);
    cursor.insertBlock(indented);
    cursor.insertText(u"Indented body text"_qs);
}

// The documents the peers read, each chosen for something RTF writers get wrong.
constexpr std::array<PeerSample, 10> PeerSamples { {
    { "formatted runs", buildFormattedRuns, true },
    { "western characters", buildWesternCharacters, true },
    { "other scripts", buildOtherScripts, true },
    { "characters beyond the BMP", buildBeyondBmp, false },
    { "lists", buildLists, true },
    { "table", buildTable, true },
    { "escapes", buildEscapes, true },
    { "hyperlink", buildHyperlink, true },
    { "image and text", buildImageAndText, true },
    { "paragraph formats", buildParagraphFormats, true },
} };

// Formatting the writer keeps, in words, so that documents can be compared line by line.
QString describeCharacters(const QTextCharFormat &format)
{
    const QFont font = format.font();
    const double points = font.pointSizeF() > 0 ? font.pointSizeF() : font.pixelSize() * 0.75;
    QTextCharFormat::UnderlineStyle underline = format.underlineStyle();
    if (underline == QTextCharFormat::NoUnderline
        && format.boolProperty(QTextFormat::FontUnderline))
        underline = QTextCharFormat::SingleUnderline;
    if (underline == QTextCharFormat::SpellCheckUnderline)
        underline = QTextCharFormat::NoUnderline;
    const auto colour = [](const QBrush &brush) {
        return brush.style() == Qt::NoBrush ? u"none"_qs : brush.color().name();
    };
    const QStringList families = font.families();
    return QStringList {
        families.isEmpty() ? font.family() : families.constFirst(),
        u"%1pt"_qs.arg(qRound(points * 2) / 2.0),
        format.fontWeight() >= QFont::DemiBold ? u"bold"_qs : u"-"_qs,
        format.fontItalic() ? u"italic"_qs : u"-"_qs,
        u"underline%1"_qs.arg(int(underline)),
        format.fontStrikeOut() ? u"strike"_qs : u"-"_qs,
        u"raised%1"_qs.arg(int(format.verticalAlignment())),
        u"caps%1"_qs.arg(int(format.fontCapitalization())),
        u"fg:"_qs + colour(format.foreground()),
        u"bg:"_qs + colour(format.background()),
        u"link:"_qs + (format.isAnchor() ? format.anchorHref() : QString()),
    }
        .join(u' ');
}

QString describeImage(const QTextDocument &document, const QTextImageFormat &format)
{
    const QVariant resource = document.resource(QTextDocument::ImageResource, QUrl(format.name()));
    QImage image = resource.typeId() == QMetaType::QPixmap ? resource.value<QPixmap>().toImage()
                                                           : resource.value<QImage>();
    if (resource.typeId() == QMetaType::QByteArray)
        image = QImage::fromData(resource.toByteArray());
    image.convertTo(QImage::Format_ARGB32);
    const QByteArray pixels(reinterpret_cast<const char *>(image.constBits()), image.sizeInBytes());
    QSizeF shown = image.size();
    if (format.width() > 0)
        shown = QSizeF(format.width(),
                       format.height() > 0 ? format.height()
                                           : format.width() * image.height() / image.width());
    else if (format.height() > 0)
        shown = QSizeF(format.height() * image.width() / image.height(), format.height());
    return u"image %1x%2 shown %3x%4 %5"_qs.arg(image.width())
        .arg(image.height())
        .arg(qRound(shown.width()))
        .arg(qRound(shown.height()))
        .arg(QString::fromLatin1(
            QCryptographicHash::hash(pixels, QCryptographicHash::Sha1).toHex().left(12)));
}

QString describeParagraph(const QTextDocument &document, const QTextBlock &block)
{
    const QTextBlockFormat format = block.blockFormat();
    QStringList words { u"paragraph"_qs };
    const Qt::Alignment alignment
        = format.alignment() & Qt::AlignHorizontal_Mask & ~Qt::AlignAbsolute;
    words << u"align%1"_qs.arg(int(alignment == Qt::AlignLeading ? Qt::AlignLeft : alignment));
    if (const QTextList *list = block.textList()) {
        const QTextListFormat listFormat = list->format();
        words << u"list%1 level%2 marker'%3'"_qs.arg(int(listFormat.style()))
                     .arg(listFormat.indent())
                     .arg(list->itemText(block));
    } else {
        words << u"left%1 first%2"_qs
                     .arg(qRound(format.leftMargin() + format.indent() * document.indentWidth()))
                     .arg(qRound(format.textIndent()));
    }
    words << u"right%1 before%2 after%3 break%4"_qs.arg(qRound(format.rightMargin()))
                 .arg(qRound(format.topMargin()))
                 .arg(qRound(format.bottomMargin()))
                 .arg(int(format.pageBreakPolicy()));
    return words.join(u' ');
}

void describeItems(const QTextDocument &document, QTextFrame::iterator it, QStringList &lines)
{
    for (; !it.atEnd(); ++it) {
        if (QTextFrame *frame = it.currentFrame()) {
            auto *table = qobject_cast<QTextTable *>(frame);
            if (!table) {
                describeItems(document, frame->begin(), lines);
                continue;
            }
            lines += u"table %1x%2"_qs.arg(table->rows()).arg(table->columns());
            for (int row = 0; row < table->rows(); ++row) {
                for (int column = 0; column < table->columns(); ++column) {
                    const QTextTableCell cell = table->cellAt(row, column);
                    if (cell.row() != row || cell.column() != column)
                        continue;
                    lines += u"cell %1,%2 spans %3x%4"_qs.arg(row)
                                 .arg(column)
                                 .arg(cell.rowSpan())
                                 .arg(cell.columnSpan());
                    describeItems(document, cell.begin(), lines);
                }
            }
            lines += u"end of table"_qs;
            continue;
        }
        const QTextBlock block = it.currentBlock();
        lines += describeParagraph(document, block);
        // Runs are merged where their kept formatting is the same: the writer need not keep
        // the boundaries of formats that differ only in what RTF does not say.
        QString run;
        QString text;
        const auto flush = [&] {
            if (!text.isEmpty())
                lines += u"  "_qs + run + u": "_qs + text;
            text.clear();
        };
        for (auto fragment = block.begin(); !fragment.atEnd(); ++fragment) {
            const QTextCharFormat format = fragment.fragment().charFormat();
            if (format.isImageFormat()) {
                flush();
                for (int i = 0; i < fragment.fragment().length(); ++i)
                    lines += u"  "_qs + describeImage(document, format.toImageFormat());
                continue;
            }
            const QString description = describeCharacters(format);
            if (description != run)
                flush();
            run = description;
            text += fragment.fragment().text();
        }
        flush();
    }
}

QStringList describe(const QTextDocument &document)
{
    QStringList lines;
    describeItems(document, document.rootFrame()->begin(), lines);
    return lines;
}

void buildCharacterFormats(QTextCursor &cursor)
{
    const std::array<QTextCharFormat::UnderlineStyle, 6> underlines { {
        QTextCharFormat::SingleUnderline,
        QTextCharFormat::DashUnderline,
        QTextCharFormat::DotLine,
        QTextCharFormat::DashDotLine,
        QTextCharFormat::DashDotDotLine,
        QTextCharFormat::WaveUnderline,
    } };
    for (const auto style : underlines) {
        cursor.insertText(u"under%1 "_qs.arg(int(style)),
                          charFormat([=](auto &f) { f.setUnderlineStyle(style); }));
    }
    cursor.insertBlock();
    cursor.insertText(u"CAPS "_qs,
                      charFormat([](auto &f) { f.setFontCapitalization(QFont::AllUppercase); }));
    cursor.insertText(u"small caps "_qs,
                      charFormat([](auto &f) { f.setFontCapitalization(QFont::SmallCaps); }));
    cursor.insertText(u"marked "_qs, charFormat([](auto &f) {
                          f.setBackground(QColor(255, 255, 0));
                          f.setForeground(QColor(0, 0, 160));
                      }));
    cursor.insertText(u"Times 10.5 "_qs, charFormat([](auto &f) {
                          f.setFontFamilies({ u"Times New Roman"_qs });
                          f.setFontPointSize(10.5);
                      }));
    cursor.insertText(u"H"_qs);
    cursor.insertText(u"2"_qs, charFormat([](auto &f) {
                          f.setVerticalAlignment(QTextCharFormat::AlignSubScript);
                      }));
    cursor.insertText(u"O bold italic"_qs, charFormat([](auto &f) {
                          f.setFontWeight(QFont::Bold);
                          f.setFontItalic(true);
                          f.setFontStrikeOut(true);
                      }));
}

void buildListStyles(QTextCursor &cursor)
{
    const std::array<QTextListFormat::Style, 8> styles { {
        QTextListFormat::ListDisc,
        QTextListFormat::ListCircle,
        QTextListFormat::ListSquare,
        QTextListFormat::ListDecimal,
        QTextListFormat::ListLowerAlpha,
        QTextListFormat::ListUpperAlpha,
        QTextListFormat::ListLowerRoman,
        QTextListFormat::ListUpperRoman,
    } };
    for (size_t i = 0; i < styles.size(); ++i) {
        cursor.insertBlock(QTextBlockFormat());
        cursor.insertText(u"between"_qs);
        cursor.insertBlock();
        cursor.insertText(u"item a"_qs);
        QTextListFormat format;
        format.setStyle(styles[i]);
        format.setIndent(int(i % 3) + 1);
        if (i == 4) {
            format.setNumberPrefix(u"("_qs);
            format.setNumberSuffix(u")"_qs);
        }
        cursor.createList(format);
        cursor.insertBlock();
        cursor.insertText(u"item b"_qs);
    }
}

void buildFixedTable(QTextCursor &cursor)
{
    QTextTableFormat format;
    format.setColumnWidthConstraints(
        { QTextLength(QTextLength::FixedLength, 100), QTextLength(QTextLength::FixedLength, 60) });
    QTextTable *table = cursor.insertTable(2, 2, format);
    for (int cell = 0; cell < 4; ++cell)
        table->cellAt(cell / 2, cell % 2).firstCursorPosition().insertText(u"cell%1"_qs.arg(cell));
    QTextCursor inCell = table->cellAt(1, 0).lastCursorPosition();
    inCell.insertBlock();
    inCell.insertText(u"second paragraph"_qs, charFormat([](auto &f) { f.setFontItalic(true); }));
}

void buildMergedTable(QTextCursor &cursor)
{
    QTextTable *table = cursor.insertTable(3, 3);
    table->mergeCells(0, 0, 1, 2);
    table->mergeCells(1, 2, 2, 1);
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            const QTextTableCell cell = table->cellAt(row, column);
            if (cell.row() == row && cell.column() == column)
                cell.firstCursorPosition().insertText(u"r%1c%2"_qs.arg(row).arg(column));
        }
    }
}

// Documents read back by our own reader, beyond those the peers read.
constexpr std::array<PeerSample, 4> RoundTripSamples { {
    { "character formats", buildCharacterFormats, true },
    { "list styles", buildListStyles, true },
    { "table with fixed widths", buildFixedTable, true },
    { "merged cells", buildMergedTable, true },
} };

// The sample's text with every paragraph, line and cell break as LF; unlike toPlainText() it
// keeps no-break spaces, which the peers keep too.
QString plainTextOf(const PeerSample &sample)
{
    QTextDocument document;
    prepare(document);
    QTextCursor cursor(&document);
    sample.build(cursor);
    QString text = document.toRawText();
    for (QChar &character : text) {
        const char16_t unit = character.unicode();
        if (unit == 0x2028 || unit == 0x2029 || unit == 0xFDD0 || unit == 0xFDD1)
            character = u'\n';
    }
    return text;
}

QString sampleFileName(int index)
{
    return u"sample%1.rtf"_qs.arg(index);
}

// Saves a big document with the file size limited, without catching SIGXFSZ: the kernel kills
// the process in the middle of the write, as a crash or a power cut would.
int saveUntilKilled(const QString &path)
{
    signal(SIGXFSZ, SIG_DFL);
    prctl(PR_SET_DUMPABLE, 0);
    RichTextEditor editor;
    editor.setPlainText(QString(200000, u'k'));
    const rlimit small { 4096, 4096 };
    setrlimit(RLIMIT_FSIZE, &small);
    fputs("saving\n", stdout);
    fflush(stdout);
    editor.SaveFile(path);
    return 3;
}

// Limits the size of files this process writes, as a full disk does; the write then fails
// with EFBIG instead of killing the process.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_previous);
        m_previousHandler = signal(SIGXFSZ, SIG_IGN);
        const rlimit limit { bytes, m_previous.rlim_max };
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_previous);
        signal(SIGXFSZ, m_previousHandler);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit m_previous {};
    sighandler_t m_previousHandler = SIG_DFL;
};

} // namespace

Q_DECLARE_METATYPE(PeerSample)

class TestRtfWriter : public QObject
{
    Q_OBJECT

private slots:
    void headerDeclaresCodePageAndTables();
    void writesEachConstruct_data();
    void writesEachConstruct();
    void escapesEveryCharacterAsSevenBitAscii();
    void paragraphsAreSeparatedNotTerminated();
    void everyFontAndColourUsedIsDeclared();
    void linesStayShortAndEndInCrLf();
    void picturesDecodeToTheImage_data();
    void picturesDecodeToTheImage();
    void undecodableImageIsLeftOut();

    void saveWritesTheDocument();
    void failedSaveKeepsOldFile_data();
    void failedSaveKeepsOldFile();
    void readOnlyFolderKeepsOldFile();
    void fullDiskKeepsOldFile_data();
    void fullDiskKeepsOldFile();
    void killedSaveKeepsOldFile();
    void saveKeepsPermissions();
    void newFileFollowsUmask();
    void saveThroughSymlinkKeepsTheLink();

    void readingWhatWeWroteGivesTheDocument_data();
    void readingWhatWeWroteGivesTheDocument();
    void savedFileLoadsIntoAnotherEditor();

    void libreOfficeReadsOurText_data();
    void libreOfficeReadsOurText();
    void pandocReadsOurText_data();
    void pandocReadsOurText();

private:
    void addPeerRows(bool forPandoc);
    const QHash<QString, QString> &libreOfficeTexts();

    QTemporaryDir m_peerFolder;
    std::optional<QHash<QString, QString>> m_libreOfficeTexts;
    QString m_libreOfficeSkip;
};

void TestRtfWriter::headerDeclaresCodePageAndTables()
{
    const QByteArray rtf = writeBuilt([](QTextCursor &cursor) { cursor.insertText(u"x"_qs); });
    QVERIFY(rtf.startsWith("{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1{\\fonttbl{\\f0\\fnil\\fcharset0 "
                           "Arial;}}"));
    QVERIFY(unwrapped(rtf).contains("{\\colortbl ;}"));
    QVERIFY(rtf.endsWith("{\\f0\\fs24 x}}\r\n"));
}

void TestRtfWriter::writesEachConstruct_data()
{
    QTest::addColumn<Build>("build");
    QTest::addColumn<QByteArrayList>("expected");
    QTest::addColumn<QByteArrayList>("absent");

    auto text = [](const QString &text, const std::function<void(QTextCharFormat &)> &change) {
        return Build([=](QTextCursor &cursor) { cursor.insertText(text, charFormat(change)); });
    };
    auto underlined = [&](QTextCharFormat::UnderlineStyle style) {
        return text(u"u"_qs, [=](auto &f) { f.setUnderlineStyle(style); });
    };
    auto paragraph = [](const std::function<void(QTextBlockFormat &)> &change) {
        return Build([=](QTextCursor &cursor) {
            QTextBlockFormat format;
            change(format);
            cursor.setBlockFormat(format);
            cursor.insertText(u"p"_qs);
        });
    };
    auto list = [](QTextListFormat::Style style,
                   const std::function<void(QTextListFormat &)> &change = {}) {
        QTextListFormat format;
        format.setStyle(style);
        format.setIndent(1);
        if (change)
            change(format);
        return Build([=](QTextCursor &cursor) {
            cursor.insertText(u"one"_qs);
            cursor.createList(format);
            cursor.insertBlock();
            cursor.insertText(u"two"_qs);
        });
    };
    const QByteArrayList none;

    QTest::addRow("bold") << text(u"b"_qs, [](auto &f) { f.setFontWeight(QFont::Bold); })
                          << QByteArrayList { "{\\f0\\fs24\\b b}" } << none;
    QTest::addRow("italic") << text(u"i"_qs, [](auto &f) { f.setFontItalic(true); })
                            << QByteArrayList { "{\\f0\\fs24\\i i}" } << none;
    QTest::addRow("underline flag") << text(u"u"_qs, [](auto &f) { f.setFontUnderline(true); })
                                    << QByteArrayList { "{\\f0\\fs24\\ul u}" } << none;
    QTest::addRow("dashed underline")
        << underlined(QTextCharFormat::DashUnderline) << QByteArrayList { "\\uldash u}" } << none;
    QTest::addRow("dotted underline")
        << underlined(QTextCharFormat::DotLine) << QByteArrayList { "\\uld u}" } << none;
    QTest::addRow("dash-dot underline")
        << underlined(QTextCharFormat::DashDotLine) << QByteArrayList { "\\uldashd u}" } << none;
    QTest::addRow("dash-dot-dot underline") << underlined(QTextCharFormat::DashDotDotLine)
                                            << QByteArrayList { "\\uldashdd u}" } << none;
    QTest::addRow("wavy underline")
        << underlined(QTextCharFormat::WaveUnderline) << QByteArrayList { "\\ulwave u}" } << none;
    QTest::addRow("spell-check underline is not formatting")
        << underlined(QTextCharFormat::SpellCheckUnderline) << QByteArrayList { "{\\f0\\fs24 u}" }
        << QByteArrayList { "\\ul" };
    QTest::addRow("strike") << text(u"s"_qs, [](auto &f) { f.setFontStrikeOut(true); })
                            << QByteArrayList { "{\\f0\\fs24\\strike s}" } << none;
    QTest::addRow("superscript") << text(
        u"2"_qs, [](auto &f) { f.setVerticalAlignment(QTextCharFormat::AlignSuperScript); })
                                 << QByteArrayList { "{\\f0\\fs24\\super 2}" } << none;
    QTest::addRow("subscript") << text(
        u"2"_qs, [](auto &f) { f.setVerticalAlignment(QTextCharFormat::AlignSubScript); })
                               << QByteArrayList { "{\\f0\\fs24\\sub 2}" } << none;
    QTest::addRow("font family") << text(u"m"_qs,
                                         [](auto &f) { f.setFontFamilies({ u"Courier New"_qs }); })
                                 << QByteArrayList { "{\\f1\\fnil\\fcharset0 Courier New;}",
                                                     "{\\f1\\fs24 m}" }
                                 << none;
    QTest::addRow("font name with braces and semicolon")
        << text(u"m"_qs, [](auto &f) { f.setFontFamilies({ u"Odd {Font}; Name"_qs }); })
        << QByteArrayList { "{\\f1\\fnil\\fcharset0 Odd \\{Font\\} Name;}" } << none;
    QTest::addRow("point size") << text(u"z"_qs, [](auto &f) { f.setFontPointSize(15); })
                                << QByteArrayList { "{\\f0\\fs30 z}" } << none;
    QTest::addRow("half-point size") << text(u"z"_qs, [](auto &f) { f.setFontPointSize(10.5); })
                                     << QByteArrayList { "{\\f0\\fs21 z}" } << none;
    QTest::addRow("pixel size in points")
        << text(u"z"_qs, [](auto &f) { f.setProperty(QTextFormat::FontPixelSize, 20); })
        << QByteArrayList { "{\\f0\\fs30 z}" } << none;
    QTest::addRow("size beyond RTF's range is clamped")
        << text(u"z"_qs, [](auto &f) { f.setFontPointSize(5000); })
        << QByteArrayList { "{\\f0\\fs3276 z}" } << none;
    QTest::addRow("foreground colour")
        << text(u"r"_qs, [](auto &f) { f.setForeground(QColor(255, 0, 0)); })
        << QByteArrayList { "{\\colortbl ;\\red255\\green0\\blue0 ;}", "{\\f0\\fs24\\cf1 r}" }
        << none;
    QTest::addRow("background colour")
        << text(u"h"_qs, [](auto &f) { f.setBackground(QColor(255, 255, 0)); })
        << QByteArrayList { "{\\colortbl ;\\red255\\green255\\blue0 ;}",
                            "{\\f0\\fs24\\highlight1 h}" }
        << none;
    QTest::addRow("one colour, one table entry")
        << text(u"c"_qs,
                [](auto &f) {
                    f.setForeground(QColor(0, 0, 128));
                    f.setBackground(QColor(0, 0, 128));
                })
        << QByteArrayList { "{\\colortbl ;\\red0\\green0\\blue128 ;}", "\\cf1\\highlight1 c}" }
        << none;
    QTest::addRow("everything at once")
        << text(u"all"_qs,
                [](auto &f) {
                    f.setFontWeight(QFont::Bold);
                    f.setFontItalic(true);
                    f.setFontUnderline(true);
                    f.setFontFamilies({ u"Times"_qs });
                    f.setFontPointSize(12);
                    f.setForeground(QColor(0, 128, 0));
                })
        << QByteArrayList { "{\\f1\\fs24\\b\\i\\ul\\cf1 all}" } << none;
    QTest::addRow("digits after a keyword are delimited")
        << text(u"2024"_qs, [](auto &) {}) << QByteArrayList { "{\\f0\\fs24 2024}" } << none;
    QTest::addRow("centred") << paragraph([](auto &f) { f.setAlignment(Qt::AlignHCenter); })
                             << QByteArrayList { "\\pard\\qc{" } << none;
    QTest::addRow("right-aligned") << paragraph([](auto &f) { f.setAlignment(Qt::AlignRight); })
                                   << QByteArrayList { "\\pard\\qr{" } << none;
    QTest::addRow("justified") << paragraph([](auto &f) { f.setAlignment(Qt::AlignJustify); })
                               << QByteArrayList { "\\pard\\qj{" } << none;
    QTest::addRow("left is the default")
        << paragraph([](auto &f) { f.setAlignment(Qt::AlignLeft); }) << QByteArrayList { "\\pard{" }
        << QByteArrayList { "\\ql" };
    QTest::addRow("indents in twips") << paragraph([](auto &f) {
        f.setLeftMargin(48);
        f.setRightMargin(24);
        f.setTextIndent(-12);
    }) << QByteArrayList { "\\pard\\fi-180\\li720\\ri360{" }
                                      << none;
    QTest::addRow("indent level") << paragraph([](auto &f) { f.setIndent(2); })
                                  << QByteArrayList { "\\pard\\li1200{" } << none;
    QTest::addRow("space before and after") << paragraph([](auto &f) {
        f.setTopMargin(12);
        f.setBottomMargin(6);
    }) << QByteArrayList { "\\pard\\sb180\\sa90{" }
                                            << none;
    QTest::addRow("page break before")
        << paragraph([](auto &f) { f.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore); })
        << QByteArrayList { "\\pard\\pagebb{" } << none;
    QTest::addRow("bullet list")
        << list(QTextListFormat::ListDisc)
        << QByteArrayList { "{\\f1\\fnil\\fcharset2 Symbol;}",
                            "\\pard\\fi-360\\li600{\\pntext\\f1\\'b7\\tab}{\\*\\pn\\pnlvlblt\\pnf1"
                            "\\pnindent0{\\pntxtb\\'b7}}{\\f0\\fs24 one}\\par" }
        << none;
    QTest::addRow("circle bullets as Courier New o")
        << list(QTextListFormat::ListCircle)
        << QByteArrayList { "{\\f1\\fnil\\fcharset0 Courier New;}",
                            "{\\pntext\\f1\\'6f\\tab}{\\*\\pn\\pnlvlblt\\pnf1\\pnindent0"
                            "{\\pntxtb\\'6f}}" }
        << none;
    QTest::addRow("square bullets in Wingdings")
        << list(QTextListFormat::ListSquare)
        << QByteArrayList { "{\\f1\\fnil\\fcharset2 Wingdings;}",
                            "{\\pntext\\f1\\'a7\\tab}{\\*\\pn\\pnlvlblt\\pnf1\\pnindent0"
                            "{\\pntxtb\\'a7}}" }
        << none;
    QTest::addRow("numbered list")
        << list(QTextListFormat::ListDecimal)
        << QByteArrayList { "{\\pntext\\f0 1.\\tab}{\\*\\pn\\pnlvlbody\\pnf0\\pnindent0\\pnstart1"
                            "\\pndec{\\pntxta .}}{\\f0\\fs24 one}",
                            "{\\pntext\\f0 2.\\tab}" }
        << QByteArrayList { "Symbol" };
    QTest::addRow("upper roman list")
        << list(QTextListFormat::ListUpperRoman)
        << QByteArrayList { "{\\pntext\\f0 II.\\tab}", "\\pnucrm{" } << none;
    QTest::addRow("lettered list with prefix and suffix, indented twice")
        << list(QTextListFormat::ListLowerAlpha,
                [](auto &f) {
                    f.setNumberPrefix(u"("_qs);
                    f.setNumberSuffix(u")"_qs);
                    f.setIndent(2);
                })
        << QByteArrayList { "\\pard\\fi-360\\li1200{\\pntext\\f0 (b)\\tab}",
                            "\\pnlcltr{\\pntxtb (}{\\pntxta )}}" }
        << none;
    QTest::addRow("table")
        << Build([](QTextCursor &cursor) {
               cursor.insertText(u"before"_qs);
               QTextTable *table = cursor.insertTable(1, 2, borderless());
               table->cellAt(0, 0).firstCursorPosition().insertText(u"A"_qs);
               table->cellAt(0, 1).firstCursorPosition().insertText(u"B"_qs);
               cursor.movePosition(QTextCursor::End);
               cursor.insertText(u"after"_qs);
           })
        << QByteArrayList { "{\\f0\\fs24 before}\\par\\trowd\\trgaph108\\cellx4680\\cellx9360"
                            "\\pard\\intbl{\\f0\\fs24 A}\\cell\\pard\\intbl{\\f0\\fs24 "
                            "B}\\cell\\row"
                            "\\pard{\\f0\\fs24 after}}" }
        << none;
    QTest::addRow("table first in the document has no paragraph before it")
        << Build([](QTextCursor &cursor) { cursor.insertTable(1, 1, borderless()); })
        << QByteArrayList { "Quillmere;}\\trowd" } << QByteArrayList { "\\par\\", "\\par}" };
    QTest::addRow("fixed column widths") << Build([](QTextCursor &cursor) {
        QTextTableFormat format = borderless();
        format.setColumnWidthConstraints({ QTextLength(QTextLength::FixedLength, 100),
                                           QTextLength(QTextLength::PercentageLength, 25),
                                           QTextLength(QTextLength::VariableLength, 0) });
        cursor.insertTable(1, 3, format);
    }) << QByteArrayList { "\\cellx1500\\cellx3840\\cellx9360" }
                                         << none;
    QTest::addRow("cell with two paragraphs")
        << Build([](QTextCursor &cursor) {
               QTextTable *table = cursor.insertTable(1, 1, borderless());
               QTextCursor cell = table->cellAt(0, 0).firstCursorPosition();
               cell.insertText(u"x"_qs);
               cell.insertBlock();
               cell.insertText(u"y"_qs);
           })
        << QByteArrayList { "\\pard\\intbl{\\f0\\fs24 x}\\par\\pard\\intbl{\\f0\\fs24 "
                            "y}\\cell\\row" }
        << none;
    QTest::addRow("merged cells")
        << Build([](QTextCursor &cursor) {
               QTextTable *table = cursor.insertTable(2, 2, borderless());
               table->mergeCells(0, 0, 2, 2);
               table->cellAt(0, 0).firstCursorPosition().insertText(u"big"_qs);
           })
        << QByteArrayList { "\\trowd\\trgaph108\\clmgf\\clvmgf\\cellx4680\\clmrg\\clvmgf\\cellx9360"
                            "\\pard\\intbl{\\f0\\fs24 big}\\cell\\pard\\intbl\\cell\\row",
                            "\\trowd\\trgaph108\\clmgf\\clvmrg\\cellx4680\\clmrg\\clvmrg\\cellx936"
                            "0" }
        << none;
    QTest::addRow("table borders and shading")
        << Build([](QTextCursor &cursor) {
               QTextTableFormat format;
               format.setBorder(1);
               format.setAlignment(Qt::AlignHCenter);
               QTextTable *table = cursor.insertTable(1, 1, format);
               QTextTableCellFormat shaded;
               shaded.setBackground(QColor(200, 200, 200));
               table->cellAt(0, 0).setFormat(shaded);
           })
        << QByteArrayList { "\\trowd\\trgaph108\\trqc\\clbrdrt\\brdrs\\brdrw15\\clbrdrl\\brdrs"
                            "\\brdrw15\\clbrdrb\\brdrs\\brdrw15\\clbrdrr\\brdrs\\brdrw15\\clcbpat1"
                            "\\cellx9360" }
        << none;
    QTest::addRow("nested table flattened into its cell")
        << Build([](QTextCursor &cursor) {
               QTextTable *outer = cursor.insertTable(1, 1, borderless());
               QTextCursor cell = outer->cellAt(0, 0).firstCursorPosition();
               cell.insertText(u"out"_qs);
               QTextTable *inner = cell.insertTable(1, 2);
               inner->cellAt(0, 0).firstCursorPosition().insertText(u"in1"_qs);
               inner->cellAt(0, 1).firstCursorPosition().insertText(u"in2"_qs);
           })
        << QByteArrayList { "\\pard\\intbl{\\f0\\fs24 in1}\\par\\pard\\intbl{\\f0\\fs24 in2}" }
        << QByteArrayList { "\\itap", "\\nestcell" };
    QTest::addRow("hyperlink")
        << Build([](QTextCursor &cursor) {
               cursor.insertText(u"go"_qs, charFormat([](auto &f) {
                                     f.setAnchor(true);
                                     f.setAnchorHref(u"http://example.org/a"_qs);
                                 }));
           })
        << QByteArrayList { "{\\field{\\*\\fldinst{HYPERLINK \"http://example.org/a\"}}{\\fldrslt"
                            "{\\f0\\fs24 go}}}" }
        << none;
    QTest::addRow("hyperlink over two runs is one field") << Build([](QTextCursor &cursor) {
        for (const bool bold : { false, true }) {
            cursor.insertText(u"x"_qs, charFormat([=](auto &f) {
                                  f.setAnchor(true);
                                  f.setAnchorHref(u"http://example.org/"_qs);
                                  f.setFontWeight(bold ? QFont::Bold : QFont::Normal);
                              }));
        }
    }) << QByteArrayList { "{\\fldrslt{\\f0\\fs24 x}{\\f0\\fs24\\b x}}}" }
                                                          << none;
    QTest::addRow("quote and backslash in a link") << Build([](QTextCursor &cursor) {
        cursor.insertText(u"q"_qs, charFormat([](auto &f) {
                              f.setAnchor(true);
                              f.setAnchorHref(u"http://e.org/\"a\"\\b"_qs);
                          }));
    }) << QByteArrayList { "HYPERLINK \"http://e.org/%22a%22%5Cb\"" }
                                                   << none;
    QTest::addRow("line break") << Build(
        [](QTextCursor &cursor) { cursor.insertText(u"one\u2028two"_qs); })
                                << QByteArrayList { "{\\f0\\fs24 one\\line two}" } << none;
    QTest::addRow("tab") << Build([](QTextCursor &cursor) { cursor.insertText(u"a\tb"_qs); })
                         << QByteArrayList { "{\\f0\\fs24 a\\tab b}" } << none;
    QTest::addRow("no-break space, soft hyphen, no-break hyphen")
        << Build([](QTextCursor &cursor) { cursor.insertText(u"a\u00A0b\u00ADc\u2011d"_qs); })
        << QByteArrayList { "{\\f0\\fs24 a\\~b\\-c\\_d}" } << none;
    QTest::addRow("braces and backslash")
        << Build([](QTextCursor &cursor) { cursor.insertText(u"{x}\\"_qs); })
        << QByteArrayList { "{\\f0\\fs24\\{x\\}\\\\}" } << none;
    QTest::addRow("Windows-1252 characters as hex")
        << Build([](QTextCursor &cursor) { cursor.insertText(u"café € “q” —"_qs); })
        << QByteArrayList { "caf\\'e9 \\'80 \\'93q\\'94 \\'97}" } << none;
    QTest::addRow("other characters as signed \\u")
        << Build([](QTextCursor &cursor) { cursor.insertText(u"\u03A9\uFFFF\u8000"_qs); })
        << QByteArrayList { "\\u937 ?\\u-1 ?\\u-32768 ?" } << none;
    QTest::addRow("beyond the BMP as a surrogate pair")
        << Build([](QTextCursor &cursor) { cursor.insertText(u"😊"_qs); })
        << QByteArrayList { "\\u-10179 ?\\u-8694 ?" } << none;
    QTest::addRow("image") << Build([](QTextCursor &cursor) {
        insertImage(cursor, smallImage(), 40);
    }) << QByteArrayList { "{\\pict\\pngblip\\picw4\\pich3\\picwgoal600\\pichgoal450 89504e47" }
                           << none;
}

void TestRtfWriter::writesEachConstruct()
{
    QFETCH(Build, build);
    QFETCH(QByteArrayList, expected);
    QFETCH(QByteArrayList, absent);

    const QByteArray rtf = unwrapped(writeBuilt(build));
    for (const QByteArray &piece : expected) {
        if (!rtf.contains(piece))
            QFAIL(qPrintable(
                u"missing %1 in %2"_qs.arg(QString::fromLatin1(piece), QString::fromLatin1(rtf))));
    }
    for (const QByteArray &piece : absent) {
        if (rtf.contains(piece))
            QFAIL(qPrintable(u"unexpected %1 in %2"_qs.arg(QString::fromLatin1(piece),
                                                           QString::fromLatin1(rtf))));
    }
}

void TestRtfWriter::escapesEveryCharacterAsSevenBitAscii()
{
    // Every BMP character that can stand in a paragraph, each followed by a separator, against
    // a plain statement of the rule; Qt's own encoder decides what Windows-1252 has.
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
        if (unit == u'\\' || unit == u'{' || unit == u'}')
            expected += '\\' + QByteArray(1, char(unit));
        else if (unit < 0x7F)
            expected += char(unit);
        else if (unit == 0xA0)
            expected += "\\~";
        else if (unit == 0xAD)
            expected += "\\-";
        else if (unit == 0x2011)
            expected += "\\_";
        else if (unit == 0x2028)
            expected += "\\line ";
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
    for (const char byte : rtf)
        QVERIFY2(uchar(byte) < 0x80, "a byte outside 7-bit ASCII");
    const QByteArray body = unwrapped(rtf);
    const qsizetype start = body.indexOf("{\\f0\\fs24 ") + 10;
    QCOMPARE(body.mid(start, expected.size()), expected);
    QCOMPARE(body.mid(start + expected.size()), QByteArray("}}"));
}

void TestRtfWriter::paragraphsAreSeparatedNotTerminated()
{
    QTextDocument document;
    prepare(document);
    document.setPlainText(u"one\n\ntwo"_qs);
    const QByteArray rtf = unwrapped(writeRtf(document));
    QVERIFY(rtf.endsWith("{\\f0\\fs24 one}\\par\\pard\\par\\pard{\\f0\\fs24 two}}"));
    QCOMPARE(rtf.count("\\par\\"), 2);
}

void TestRtfWriter::everyFontAndColourUsedIsDeclared()
{
    QTextDocument document;
    prepare(document);
    QTextCursor cursor(&document);
    const QStringList families { u"Arial"_qs, u"Times"_qs, u"Courier"_qs, u"Noto Sans"_qs };
    QSet<QRgb> colours;
    for (int i = 0; i < 200; ++i) {
        QTextCharFormat format;
        format.setFontFamilies({ families.at(i % families.size()) });
        format.setForeground(QColor::fromHsv(i * 7 % 360, 255, 255));
        colours.insert(format.foreground().color().rgb());
        if (i % 3 == 0) {
            format.setBackground(QColor::fromHsv(i * 11 % 360, 100, 255));
            colours.insert(format.background().color().rgb());
        }
        cursor.insertText(u"w%1 "_qs.arg(i), format);
        if (i % 10 == 9)
            cursor.insertBlock();
        if (i == 50)
            cursor.createList(QTextListFormat::ListDisc);
    }
    const QString rtf = QString::fromLatin1(unwrapped(writeRtf(document)));

    const qsizetype fontTable = rtf.indexOf(u"{\\fonttbl"_qs);
    const qsizetype colourTable = rtf.indexOf(u"{\\colortbl"_qs);
    const QString fonts = rtf.mid(fontTable, colourTable - fontTable);
    QSet<int> declaredFonts;
    for (const auto &match : QRegularExpression(u"\\{\\\\f(\\d+)\\\\fnil"_qs).globalMatch(fonts))
        declaredFonts.insert(match.captured(1).toInt());
    const qsizetype colourEnd = rtf.indexOf(u'}', colourTable);
    const int declaredColours = int(rtf.mid(colourTable, colourEnd - colourTable).count(u';'));
    QCOMPARE(declaredFonts.size(), families.size() + 1);
    QCOMPARE(declaredColours, 1 + colours.size());

    const QString body = rtf.mid(colourEnd);
    int fontUses = 0;
    for (const auto &match : QRegularExpression(u"\\\\(?:f|pnf)(\\d+)"_qs).globalMatch(body)) {
        QVERIFY2(declaredFonts.contains(match.captured(1).toInt()), qPrintable(match.captured()));
        ++fontUses;
    }
    int colourUses = 0;
    const QRegularExpression colourWord(u"\\\\(?:cf|highlight|clcbpat)(\\d+)"_qs);
    for (const auto &match : colourWord.globalMatch(body)) {
        QVERIFY(match.captured(1).toInt() >= 1);
        QVERIFY(match.captured(1).toInt() < declaredColours);
        ++colourUses;
    }
    QVERIFY(fontUses >= 200);
    QCOMPARE(colourUses, 200 + 67);
}

void TestRtfWriter::linesStayShortAndEndInCrLf()
{
    QTextDocument document;
    prepare(document);
    QTextCursor cursor(&document);
    for (int i = 0; i < 300; ++i) {
        QTextCharFormat format;
        format.setFontWeight(i % 2 ? QFont::Bold : QFont::Normal);
        format.setFontFamilies({ u"Family number %1"_qs.arg(i % 7) });
        format.setForeground(QColor::fromRgb(quint32(i * 7919)));
        format.setUnderlineStyle(QTextCharFormat::DashDotDotLine);
        cursor.insertText(u"word "_qs.repeated(i % 13) + u"Ωé😊"_qs, format);
    }
    cursor.insertText(u"x"_qs.repeated(1000) + u"\\{}"_qs.repeated(200) + u"Ж"_qs.repeated(200));
    cursor.insertText(u"link"_qs, charFormat([](auto &f) {
                          f.setAnchor(true);
                          f.setAnchorHref(u"https://example.org/"_qs
                                          + u"long-path/"_qs.repeated(30));
                      }));
    QImage wide(300, 200, QImage::Format_ARGB32);
    wide.fill(Qt::transparent);
    for (int x = 0; x < 300; ++x)
        wide.setPixel(x, x % 200, qRgba(x, 255 - x % 256, 7, 200));
    insertImage(cursor, wide, 0);

    const QByteArray rtf = writeRtf(document);
    const QList<QByteArray> lines = rtf.split('\n');
    QVERIFY(lines.size() > 100);
    QVERIFY2(lines.constLast().isEmpty(), "the last line has no line end");
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        const QByteArray &line = lines.at(i);
        QVERIFY2(line.endsWith('\r'), "a bare LF");
        QVERIFY2(!line.chopped(1).contains('\r'), "a bare CR");
        QVERIFY2(line.size() - 1 <= 128, line.constData());
    }
}

void TestRtfWriter::picturesDecodeToTheImage_data()
{
    QTest::addColumn<QVariant>("resource");
    QTest::addColumn<double>("width");
    QTest::addColumn<QSize>("shownTwips");

    const QImage image = smallImage();
    QByteArray bmp;
    {
        QBuffer buffer(&bmp);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "BMP");
    }
    QTest::addRow("QImage at natural size") << QVariant(image) << 0.0 << QSize(60, 45);
    QTest::addRow("QImage scaled by width") << QVariant(image) << 8.0 << QSize(120, 90);
    QTest::addRow("QPixmap") << QVariant(QPixmap::fromImage(image)) << 0.0 << QSize(60, 45);
    QTest::addRow("encoded bytes of another format") << QVariant(bmp) << 0.0 << QSize(60, 45);
}

void TestRtfWriter::picturesDecodeToTheImage()
{
    QFETCH(QVariant, resource);
    QFETCH(double, width);
    QFETCH(QSize, shownTwips);

    const QByteArray rtf = unwrapped(writeBuilt([&](QTextCursor &cursor) {
        cursor.insertText(u"a"_qs);
        insertImage(cursor, resource, width);
        insertImage(cursor, resource, width);
    }));
    static const QRegularExpression picture(
        u"\\{\\\\pict\\\\pngblip\\\\picw(\\d+)\\\\pich(\\d+)\\\\picwgoal(\\d+)\\\\pichgoal(\\d+) "
        "([0-9a-f]+)\\}"_qs);
    auto matches = picture.globalMatch(QString::fromLatin1(rtf));
    int count = 0;
    while (matches.hasNext()) {
        const QRegularExpressionMatch match = matches.next();
        QCOMPARE(QSize(match.captured(1).toInt(), match.captured(2).toInt()), QSize(4, 3));
        QCOMPARE(QSize(match.captured(3).toInt(), match.captured(4).toInt()), shownTwips);
        const QImage decoded
            = QImage::fromData(QByteArray::fromHex(match.captured(5).toLatin1()), "PNG");
        QCOMPARE(decoded.convertToFormat(QImage::Format_RGB32), smallImage());
        ++count;
    }
    QCOMPARE(count, 2);
}

void TestRtfWriter::undecodableImageIsLeftOut()
{
    const QByteArray rtf = writeBuilt([](QTextCursor &cursor) {
        cursor.insertText(u"before "_qs);
        insertImage(cursor, QByteArray("\x89PNG not really a picture"), 0);
        QTextImageFormat missing;
        missing.setName(u"nowhere"_qs);
        cursor.insertImage(missing);
        cursor.insertText(u" after"_qs);
    });
    QVERIFY(!rtf.contains("\\pict"));
    QVERIFY(unwrapped(rtf).contains("{\\f0\\fs24 before }{\\f0\\fs24  after}"));
}

void TestRtfWriter::saveWritesTheDocument()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString path = folder.filePath(u"saved.rtf"_qs);
    writeFile(path, "old contents that are longer than the new ones will be, by far, surely");
    RichTextEditor editor;
    editor.setPlainText(u"new text"_qs);

    const FileResult result = editor.SaveFile(path);
    QVERIFY2(result.ok, qPrintable(result.reason));
    QCOMPARE(readAll(path), writeRtf(*editor.document()));
    QCOMPARE(entriesOf(folder.path()), QStringList { u"saved.rtf"_qs });
}

void TestRtfWriter::failedSaveKeepsOldFile_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("kept");

    // Each of these fails for root too, so the test holds wherever it runs.
    QTest::addRow("parent is a regular file") << u"old.rtf/new.rtf"_qs << u"old.rtf"_qs;
    QTest::addRow("folder does not exist") << u"missing/new.rtf"_qs << u"old.rtf"_qs;
    QTest::addRow("path is a folder") << u"folder"_qs << u"folder/inside.rtf"_qs;
    QTest::addRow("kernel file system") << u"/proc/version"_qs << u"/proc/version"_qs;
    QTest::addRow("empty path") << QString() << u"old.rtf"_qs;
}

void TestRtfWriter::failedSaveKeepsOldFile()
{
    QFETCH(QString, target);
    QFETCH(QString, kept);

    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    writeFile(folder.filePath(u"old.rtf"_qs), "{\\rtf1 old}");
    QVERIFY(QDir(folder.path()).mkdir(u"folder"_qs));
    writeFile(folder.filePath(u"folder/inside.rtf"_qs), "{\\rtf1 inside}");
    const QString keptPath = QDir(folder.path()).filePath(kept);
    const QByteArray before = readAll(keptPath);
    QVERIFY(!before.isEmpty());
    const QStringList entries = entriesOf(folder.path());

    RichTextEditor editor;
    editor.setPlainText(u"replacement"_qs);
    const FileResult result
        = editor.SaveFile(target.isEmpty() ? target : QDir(folder.path()).filePath(target));
    QVERIFY(!result.ok);
    QVERIFY(!result.reason.isEmpty());
    QCOMPARE(readAll(keptPath), before);
    QCOMPARE(entriesOf(folder.path()), entries);
    QCOMPARE(entriesOf(folder.filePath(u"folder"_qs)), QStringList { u"inside.rtf"_qs });
}

void TestRtfWriter::readOnlyFolderKeepsOldFile()
{
    if (geteuid() == 0)
        QSKIP("root writes into read-only folders; the other failed-save cases still run");
    QTemporaryDir folder;
    const QString path = folder.filePath(u"old.rtf"_qs);
    writeFile(path, "{\\rtf1 old}");
    QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::ExeOwner);
    RichTextEditor editor;
    editor.setPlainText(u"replacement"_qs);
    const FileResult result = editor.SaveFile(path);
    QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY(!result.ok);
    QVERIFY(result.reason.contains(path));
    QCOMPARE(readAll(path), QByteArray("{\\rtf1 old}"));
    QCOMPARE(entriesOf(folder.path()), QStringList { u"old.rtf"_qs });
}

void TestRtfWriter::fullDiskKeepsOldFile_data()
{
    QTest::addColumn<int>("limit");
    QTest::addColumn<int>("textLength");

    // A short write with no error at all: through a write buffer, this one was taken for
    // success and the old file replaced by the first 16 bytes of the new one.
    QTest::addRow("file cut short in its only write") << 16 << 10;
    QTest::addRow("disk full after some writes") << 8192 << 100000;
}

void TestRtfWriter::fullDiskKeepsOldFile()
{
    QFETCH(int, limit);
    QFETCH(int, textLength);
    QTemporaryDir folder;
    const QString path = folder.filePath(u"old.rtf"_qs);
    writeFile(path, "{\\rtf1 old}");
    RichTextEditor editor;
    editor.setPlainText(QString(textLength, u'w'));

    FileResult result;
    {
        const FileSizeLimit sizeLimit { rlim_t(limit) };
        result = editor.SaveFile(path);
    }
    QVERIFY(!result.ok);
    QVERIFY(result.reason.contains(path));
    QCOMPARE(readAll(path), QByteArray("{\\rtf1 old}"));
    QCOMPARE(entriesOf(folder.path()), QStringList { u"old.rtf"_qs });
}

void TestRtfWriter::killedSaveKeepsOldFile()
{
    QTemporaryDir folder;
    const QString path = folder.filePath(u"old.rtf"_qs);
    writeFile(path, "{\\rtf1 old}");

    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(KilledSaveVariable), path);
    environment.insert(u"QT_QPA_PLATFORM"_qs, u"offscreen"_qs);
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), {});
    QVERIFY(child.waitForFinished(60000));
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);
    QCOMPARE(readAll(path), QByteArray("{\\rtf1 old}"));
    QCOMPARE(child.readAllStandardOutput(), QByteArray("saving\n"));
}

void TestRtfWriter::saveKeepsPermissions()
{
    QTemporaryDir folder;
    const QString path = folder.filePath(u"shared.rtf"_qs);
    writeFile(path, "{\\rtf1 old}");
    QCOMPARE(::chmod(QFile::encodeName(path).constData(), 0604), 0);

    RichTextEditor editor;
    editor.setPlainText(u"new"_qs);
    QVERIFY(editor.SaveFile(path).ok);
    QCOMPARE(modeOf(path), mode_t(0604));
    QCOMPARE(readAll(path), writeRtf(*editor.document()));
}

void TestRtfWriter::newFileFollowsUmask()
{
    const mode_t mask = ::umask(022);
    QTemporaryDir folder;
    const QString path = folder.filePath(u"fresh.rtf"_qs);
    RichTextEditor editor;
    const bool saved = editor.SaveFile(path).ok;
    ::umask(mask);
    QVERIFY(saved);
    QCOMPARE(modeOf(path), mode_t(0644));
}

void TestRtfWriter::saveThroughSymlinkKeepsTheLink()
{
    QTemporaryDir folder;
    const QString target = folder.filePath(u"real.rtf"_qs);
    const QString link = folder.filePath(u"link.rtf"_qs);
    writeFile(target, "{\\rtf1 old}");
    QVERIFY(QFile::link(target, link));

    RichTextEditor editor;
    editor.setPlainText(u"through the link"_qs);
    QVERIFY(editor.SaveFile(link).ok);
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(readAll(target), writeRtf(*editor.document()));
    QCOMPARE(entriesOf(folder.path()), (QStringList { u"link.rtf"_qs, u"real.rtf"_qs }));
}

void TestRtfWriter::readingWhatWeWroteGivesTheDocument_data()
{
    QTest::addColumn<PeerSample>("sample");
    for (const PeerSample &sample : PeerSamples)
        QTest::addRow("%s", sample.name) << sample;
    for (const PeerSample &sample : RoundTripSamples)
        QTest::addRow("%s", sample.name) << sample;
}

void TestRtfWriter::readingWhatWeWroteGivesTheDocument()
{
    QFETCH(PeerSample, sample);
    QTextDocument document;
    prepare(document);
    QTextCursor cursor(&document);
    sample.build(cursor);

    const std::unique_ptr<QTextDocument> loaded = readRtf(writeRtf(document));
    QCOMPARE(describe(*loaded), describe(document));
    const std::unique_ptr<QTextDocument> reloaded = readRtf(writeRtf(*loaded));
    QCOMPARE(describe(*reloaded), describe(*loaded));
}

void TestRtfWriter::savedFileLoadsIntoAnotherEditor()
{
    QTemporaryDir folder;
    const QString path = folder.filePath(u"round.rtf"_qs);
    RichTextEditor writer;
    QTextCursor cursor(writer.document());
    buildFormattedRuns(cursor);
    cursor.insertBlock();
    buildImageAndText(cursor);
    QVERIFY(writer.SaveFile(path).ok);

    RichTextEditor reader;
    const FileResult loaded = reader.LoadFile(path);
    QVERIFY2(loaded.ok, qPrintable(loaded.reason));
    QCOMPARE(describe(*reader.document()), describe(*writer.document()));
    QCOMPARE(reader.documentText(), writer.documentText());
}

void TestRtfWriter::addPeerRows(bool forPandoc)
{
    QTest::addColumn<int>("sample");
    for (int i = 0; i < int(PeerSamples.size()); ++i) {
        if (!forPandoc || PeerSamples[size_t(i)].pandocReadsIt)
            QTest::addRow("%s", PeerSamples[size_t(i)].name) << i;
    }
}

// Saves every sample and has one LibreOffice run convert them all: it takes seconds to start.
const QHash<QString, QString> &TestRtfWriter::libreOfficeTexts()
{
    if (m_libreOfficeTexts)
        return *m_libreOfficeTexts;
    m_libreOfficeTexts.emplace();
    const QString soffice = QStandardPaths::findExecutable(u"soffice"_qs);
    if (soffice.isEmpty()) {
        m_libreOfficeSkip = u"LibreOffice (soffice) is not installed: install "
                            "libreoffice-writer-nogui to check that it reads our files"_qs;
        return *m_libreOfficeTexts;
    }
    QStringList arguments;
    arguments << u"-env:UserInstallation=%1"_qs.arg(
        QUrl::fromLocalFile(QCoreApplication::applicationDirPath() + u"/rtfwriter-lo-profile"_qs)
            .toString())
              << u"--headless"_qs << u"--convert-to"_qs << u"txt:Text (encoded):UTF8"_qs
              << u"--outdir"_qs << m_peerFolder.filePath(u"lo"_qs);
    for (int i = 0; i < int(PeerSamples.size()); ++i) {
        QTextDocument document;
        prepare(document);
        QTextCursor cursor(&document);
        PeerSamples[size_t(i)].build(cursor);
        const QString path = m_peerFolder.filePath(sampleFileName(i));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(writeRtf(document)) < 0)
            return *m_libreOfficeTexts;
        arguments << path;
    }
    QProcess process;
    process.start(soffice, arguments);
    if (!process.waitForFinished(300000)) {
        process.kill();
        m_libreOfficeSkip = u"LibreOffice did not finish converting within five minutes"_qs;
        return *m_libreOfficeTexts;
    }
    for (int i = 0; i < int(PeerSamples.size()); ++i) {
        QFile converted(m_peerFolder.filePath(u"lo/sample%1.txt"_qs.arg(i)));
        if (converted.open(QIODevice::ReadOnly))
            m_libreOfficeTexts->insert(sampleFileName(i), QString::fromUtf8(converted.readAll()));
    }
    return *m_libreOfficeTexts;
}

void TestRtfWriter::libreOfficeReadsOurText_data()
{
    addPeerRows(false);
}

void TestRtfWriter::libreOfficeReadsOurText()
{
    QFETCH(int, sample);
    const QHash<QString, QString> &texts = libreOfficeTexts();
    if (!m_libreOfficeSkip.isEmpty())
        QSKIP(qPrintable(m_libreOfficeSkip));
    const auto converted = texts.constFind(sampleFileName(sample));
    QVERIFY2(converted != texts.constEnd(), "LibreOffice could not read the file");
    QCOMPARE(wordsOf(*converted), wordsOf(plainTextOf(PeerSamples[size_t(sample)])));
}

void TestRtfWriter::pandocReadsOurText_data()
{
    addPeerRows(true);
}

void TestRtfWriter::pandocReadsOurText()
{
    QFETCH(int, sample);
    const QString pandoc = QStandardPaths::findExecutable(u"pandoc"_qs);
    if (pandoc.isEmpty())
        QSKIP("pandoc is not installed: install it to check that it reads our files");
    QTextDocument document;
    prepare(document);
    QTextCursor cursor(&document);
    PeerSamples[size_t(sample)].build(cursor);
    QProcess process;
    // Without these extensions pandoc writes text, not its marks for formatting.
    process.start(pandoc,
                  { u"-f"_qs, u"rtf"_qs, u"-t"_qs, u"plain-strikeout-superscript-subscript"_qs,
                    u"--wrap=none"_qs });
    QVERIFY(process.waitForStarted());
    process.write(writeRtf(document));
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
    QCOMPARE(wordsOf(text), wordsOf(plainTextOf(PeerSamples[size_t(sample)])));
}

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    if (const QString path = qEnvironmentVariable(KilledSaveVariable); !path.isEmpty())
        return saveUntilKilled(path);
    TestRtfWriter test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_rtfwriter.moc"
