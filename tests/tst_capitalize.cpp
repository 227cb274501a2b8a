// SPDX-License-Identifier: GPL-3.0-or-later
#include "capitalize.h"
#include "capitalize_p.h"

#include <QLocale>
#include <QTest>

#include <vector>

using namespace Quillmere;
using Internal::InstructionSet;

Q_DECLARE_METATYPE(InstructionSet)

namespace {

struct NamedInstructionSet
{
    InstructionSet set;
    const char *name;
};

constexpr NamedInstructionSet InstructionSets[] = {
    { InstructionSet::Scalar, "scalar" },
    { InstructionSet::Sse2, "SSE2" },
    { InstructionSet::Avx2, "AVX2" },
    { InstructionSet::Avx512, "AVX-512" },
};

// The rule on one kernel, reading a shared string and writing a new one.
QString capitalizeCopy(InstructionSet set, const QString &text, bool mapPunctuation)
{
    return mapPunctuation ? Internal::capitalizeWordsWith(set, text)
                          : Internal::properCaseWith(set, text);
}

// The rule on one kernel, rewriting a buffer it owns, as the editor's command does.
QString capitalizeInPlace(InstructionSet set, const QString &text, bool mapPunctuation)
{
    QString buffer = text;
    buffer.detach();
    return mapPunctuation ? Internal::capitalizeWordsWith(set, std::move(buffer))
                          : Internal::properCaseWith(set, std::move(buffer));
}

// The first unit where `result` differs from `expected`, for a failure message that says which
// unit went wrong; empty when they agree.
QString firstDifference(const QString &input, const QString &result, const QString &expected)
{
    if (result.size() != expected.size())
        return QStringLiteral("length %1, expected %2").arg(result.size()).arg(expected.size());
    for (qsizetype i = 0; i < input.size(); ++i) {
        if (result.at(i) != expected.at(i))
            return QStringLiteral("U+%1 at %2 gave U+%3, expected U+%4")
                .arg(input.at(i).unicode(), 4, 16, QLatin1Char('0'))
                .arg(i)
                .arg(result.at(i).unicode(), 4, 16, QLatin1Char('0'))
                .arg(expected.at(i).unicode(), 4, 16, QLatin1Char('0'));
    }
    return QString();
}

// A straightforward restatement of the rule, unit by unit, to check the fast paths against.
char16_t oracleCase(char16_t unit, bool upper)
{
    if (unit < 0x80) {
        if (upper && unit >= u'a' && unit <= u'z')
            return unit - 32;
        if (!upper && unit >= u'A' && unit <= u'Z')
            return unit + 32;
        return unit;
    }
    if (QChar::isSurrogate(unit))
        return unit;
    const char32_t mapped = upper ? QChar::toUpper(char32_t(unit)) : QChar::toLower(char32_t(unit));
    if (mapped > 0xFFFF || QChar::isSurrogate(mapped))
        return unit;
    return char16_t(mapped);
}

QString oracleCapitalizeWords(const QString &text, bool mapPunctuation = true)
{
    QString result;
    bool atWordStart = true;
    for (QChar character : text) {
        char16_t unit = character.unicode();
        switch (mapPunctuation ? unit : 0) {
        case u'"':
        case u'+':
        case u',':
        case u'(':
        case u')':
            unit = u' ';
            break;
        case u';':
        case u'_':
            unit = u'-';
            break;
        default:
            break;
        }
        const bool separator = unit == 0 || unit == 9 || unit == 10 || unit == 11 || unit == 12
            || unit == 13 || unit == 32;
        result.append(QChar(separator ? unit : oracleCase(unit, atWordStart)));
        atWordStart = separator;
    }
    return result;
}

// Records every whole-text read and write, standing in for the editor.
struct RecordingDocument
{
    struct WriteBatch
    {
        explicit WriteBatch(RecordingDocument &document)
            : m_document(document)
        {
            ++m_document.batchesOpened;
        }
        ~WriteBatch() { ++m_document.batchesClosed; }
        RecordingDocument &m_document;
    };

    QString documentText() const
    {
        log.append(QStringLiteral("read"));
        return text;
    }
    void setDocumentText(const QString &newText)
    {
        log.append(QStringLiteral("write:") + newText);
        text = newText;
    }

    QString text;
    mutable QStringList log;
    int batchesOpened = 0;
    int batchesClosed = 0;
};

} // namespace

class TestCapitalize : public QObject
{
    Q_OBJECT

private slots:
    void capitalizeWords_data();
    void capitalizeWords();
    void everySeparatorStartsAWord_data();
    void everySeparatorStartsAWord();
    void caseMappingOutsideAscii_data();
    void caseMappingOutsideAscii();
    void replacePunctuationChangesOneCharacter_data();
    void replacePunctuationChangesOneCharacter();
    void properCaseLeavesPunctuationAlone();
    void asciiIgnoresTurkishLocale();
    void sharedInputIsNotModified();
    void matchesOracleOverEveryCodeUnit_data();
    void matchesOracleOverEveryCodeUnit();
    void matchesOracleAcrossVectorBoundaries_data();
    void matchesOracleAcrossVectorBoundaries();
    void publicFunctionsUseTheWidestSupportedKernel();
    void applyRunsEightCyclesInOrder();
};

void TestCapitalize::capitalizeWords_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");

    QTest::addRow("empty stays empty") << QString() << QString();
    QTest::addRow("mixed case words") << u"hello WORLD"_qs << u"Hello World"_qs;
    QTest::addRow("all capitals lowered after first") << u"LOUD"_qs << u"Loud"_qs;
    QTest::addRow("quick brown fox") << u"the QUICK brown FOX"_qs << u"The Quick Brown Fox"_qs;
    QTest::addRow("parentheses become spaces") << u"(note) and more"_qs << u" Note  And More"_qs;
    QTest::addRow("double quote becomes space") << u"say \"hi\" now"_qs << u"Say  Hi  Now"_qs;
    QTest::addRow("plus and comma become spaces") << u"a+b,c"_qs << u"A B C"_qs;
    QTest::addRow("semicolon and underscore become hyphens")
        << u"first_name;last_name"_qs << u"First-name-last-name"_qs;
    QTest::addRow("hyphen joins a word") << u"x-ray"_qs << u"X-ray"_qs;
    QTest::addRow("apostrophe joins a word") << u"it's"_qs << u"It's"_qs;
    QTest::addRow("full stop joins a word") << u"e.g. this"_qs << u"E.g. This"_qs;
    QTest::addRow("digit starts a word") << u"3rd place"_qs << u"3rd Place"_qs;
    QTest::addRow("only mapped punctuation") << u"(+,;)"_qs << u"   - "_qs;
    QTest::addRow("lines") << u"one two\r\nthree\r\nfour"_qs << u"One Two\r\nThree\r\nFour"_qs;
    QTest::addRow("tab") << u"a\tb"_qs << u"A\tB"_qs;
    QTest::addRow("spaces are never collapsed") << u"  a   b  "_qs << u"  A   B  "_qs;
    QTest::addRow("other punctuation is part of a word")
        << u"a:b!c?d/e[f]g{h}i.j"_qs << u"A:b!c?d/e[f]g{h}i.j"_qs;
    QTest::addRow("no-break space is not a separator") << u"a\u00A0b"_qs << u"A\u00A0b"_qs;
}

void TestCapitalize::capitalizeWords()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QCOMPARE(CapitalizeWords(input), expected);
    QCOMPARE(oracleCapitalizeWords(input), expected);
}

void TestCapitalize::everySeparatorStartsAWord_data()
{
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<bool>("startsWord");

    for (const char16_t unit : { 0, 9, 10, 11, 12, 13, 32 })
        QTest::addRow("U+%04X separates", unsigned(unit)) << QChar(unit) << true;
    for (const char16_t unit : { u'-', u'\'', u'.', u':', u'!', u'?', u'/', u'1', u'[', u'\u00A0',
                                 u'\u2028', u'\u3000', u'\x1F', u'\x0E', u'\x08' })
        QTest::addRow("U+%04X joins", unsigned(unit)) << QChar(unit) << false;
}

void TestCapitalize::everySeparatorStartsAWord()
{
    QFETCH(QChar, separator);
    QFETCH(bool, startsWord);
    const QString input = u"aB"_qs + separator + u"cD"_qs;
    const QString expected = u"Ab"_qs + separator + (startsWord ? u"Cd"_qs : u"cd"_qs);
    QCOMPARE(ProperCase(input), expected);
    QCOMPARE(CapitalizeWords(input), expected);
}

void TestCapitalize::caseMappingOutsideAscii_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");

    QTest::addRow("Latin-1 letters") << u"éCOLE ÉTÉ"_qs << u"École Été"_qs;
    QTest::addRow("y diaeresis maps outside Latin-1") << u"ÿes"_qs << u"Ÿes"_qs;
    QTest::addRow("Cyrillic") << u"пРИВЕТ мир"_qs << u"Привет Мир"_qs;
    QTest::addRow("Greek") << u"ΑΛΦΑ βήτα"_qs << u"Αλφα Βήτα"_qs;
    QTest::addRow("sharp s has no single upper case") << u"ßa STRAßE"_qs << u"ßa Straße"_qs;
    QTest::addRow("n apostrophe has no single upper case") << u"ŉa"_qs << u"ŉa"_qs;
    QTest::addRow("ligature has no single upper case") << u"ﬁne"_qs << u"ﬁne"_qs;
    QTest::addRow("ideographs have no case") << u"中文 abc"_qs << u"中文 Abc"_qs;
    QTest::addRow("surrogate pairs pass through") << u"😊a 𐐨b"_qs << u"😊a 𐐨b"_qs;
    const QString loneSurrogates
        = QString(QChar(0xD800)) + u"a "_qs + QChar(0xDC00) + u"b"_qs + QChar(0xDBFF);
    QTest::addRow("lone surrogates pass through") << loneSurrogates << loneSurrogates;
    QTest::addRow("fullwidth letters") << u"ａｂ ＣＤ"_qs << u"Ａｂ Ｃｄ"_qs;
}

void TestCapitalize::caseMappingOutsideAscii()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    const QString result = CapitalizeWords(input);
    QCOMPARE(result, expected);
    QCOMPARE(result.size(), input.size());
}

void TestCapitalize::replacePunctuationChangesOneCharacter_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("expected");

    const QString input = u"\"+,();_x"_qs;
    QTest::addRow("double quote") << 0 << u" +,();_x"_qs;
    QTest::addRow("plus") << 1 << u"\" ,();_x"_qs;
    QTest::addRow("comma") << 2 << u"\"+ ();_x"_qs;
    QTest::addRow("left parenthesis") << 3 << u"\"+, );_x"_qs;
    QTest::addRow("right parenthesis") << 4 << u"\"+,( ;_x"_qs;
    QTest::addRow("semicolon") << 5 << u"\"+,()-_x"_qs;
    QTest::addRow("underscore") << 6 << u"\"+,();-x"_qs;
}

void TestCapitalize::replacePunctuationChangesOneCharacter()
{
    QFETCH(int, row);
    QFETCH(QString, expected);
    const QString input = u"\"+,();_x"_qs;
    QCOMPARE(ReplacePunctuation(input + input, PunctuationMap.at(row)), expected + expected);
}

void TestCapitalize::properCaseLeavesPunctuationAlone()
{
    QCOMPARE(ProperCase(u"(note) first_name a,b"_qs), u"(note) First_name A,b"_qs);
}

void TestCapitalize::asciiIgnoresTurkishLocale()
{
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::Turkish, QLocale::Turkey));
    const QString result = CapitalizeWords(u"istanbul IZMIR"_qs);
    QLocale::setDefault(previous);
    QCOMPARE(result, u"Istanbul Izmir"_qs);
}

void TestCapitalize::sharedInputIsNotModified()
{
    const QString input = u"some words here, (and more)"_qs;
    const QString copy = input;
    const QString result = CapitalizeWords(copy);
    QCOMPARE(copy, input);
    QCOMPARE(result, u"Some Words Here   And More "_qs);
}

void TestCapitalize::matchesOracleOverEveryCodeUnit_data()
{
    QTest::addColumn<InstructionSet>("set");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("suffix");
    for (const NamedInstructionSet &named : InstructionSets) {
        QTest::addRow("%s: each unit alone at a word start", named.name)
            << named.set << u" "_qs << QString();
        QTest::addRow("%s: each unit inside a word", named.name)
            << named.set << u"a"_qs << QString();
        QTest::addRow("%s: each unit before a letter", named.name)
            << named.set << u" "_qs << u"A"_qs;
        QTest::addRow("%s: each unit between letters", named.name)
            << named.set << u"b"_qs << u"C"_qs;
    }
}

// Every one of the 65,536 code units, in each position the vector loops can give it, on each
// kernel, both copying and in place.
void TestCapitalize::matchesOracleOverEveryCodeUnit()
{
    QFETCH(InstructionSet, set);
    QFETCH(QString, prefix);
    QFETCH(QString, suffix);
    if (!Internal::isSupported(set))
        QSKIP("this processor cannot run the kernel");
    QString input;
    for (char32_t unit = 0; unit < 0x10000; ++unit) {
        input += prefix;
        input += QChar(char16_t(unit));
        input += suffix;
    }
    for (const bool mapPunctuation : { true, false }) {
        const QString expected = oracleCapitalizeWords(input, mapPunctuation);
        QCOMPARE(firstDifference(input, capitalizeCopy(set, input, mapPunctuation), expected),
                 QString());
        QCOMPARE(firstDifference(input, capitalizeInPlace(set, input, mapPunctuation), expected),
                 QString());
    }
}

void TestCapitalize::matchesOracleAcrossVectorBoundaries_data()
{
    QTest::addColumn<InstructionSet>("set");
    for (const NamedInstructionSet &named : InstructionSets)
        QTest::addRow("%s", named.name) << named.set;
}

void TestCapitalize::matchesOracleAcrossVectorBoundaries()
{
    QFETCH(InstructionSet, set);
    if (!Internal::isSupported(set))
        QSKIP("this processor cannot run the kernel");
    // Words ending and starting at every offset around the blocks of 8, 16 and 32 units, with
    // non-ASCII letters and separators falling on lane edges; non-ASCII units whose low byte
    // is a separator or mapped punctuation (U+0120, U+0122, U+0109, U+015F); and units that
    // the vector kernels leave to the tables (final sigma, ÿ, surrogates).
    const QString pieces[]
        = { u"a"_qs, u"B"_qs, u" "_qs, u"é"_qs, u"\r\n"_qs, u"("_qs, u"Ж"_qs, u"_"_qs, u"\t"_qs,
            u"x"_qs, u"ß"_qs, u"Ġ"_qs, u"Ģ"_qs, u"ĉ"_qs,    u"ş"_qs, u"ς"_qs, u"ÿ"_qs, u"😊"_qs };
    quint32 state = 12345;
    for (int length = 0; length < 300; ++length) {
        QString input;
        for (int i = 0; i < length; ++i) {
            state = state * 1103515245u + 12345u;
            input += pieces[(state >> 16) % std::size(pieces)];
        }
        for (const bool mapPunctuation : { true, false }) {
            const QString expected = oracleCapitalizeWords(input, mapPunctuation);
            QCOMPARE(capitalizeCopy(set, input, mapPunctuation), expected);
            QCOMPARE(capitalizeInPlace(set, input, mapPunctuation), expected);
        }
    }
}

void TestCapitalize::publicFunctionsUseTheWidestSupportedKernel()
{
    const InstructionSet preferred = Internal::preferredInstructionSet();
    QVERIFY(Internal::isSupported(preferred));
    for (const NamedInstructionSet &named : InstructionSets) {
        if (named.set > preferred)
            QVERIFY2(!Internal::isSupported(named.set), named.name);
    }
    const QString input = u"(the) QUICK brown_fox; ÉTÉ пРИВЕТ "_qs.repeated(20);
    QCOMPARE(CapitalizeWords(input), Internal::capitalizeWordsWith(preferred, input));
    QCOMPARE(ProperCase(input), Internal::properCaseWith(preferred, input));
}

void TestCapitalize::applyRunsEightCyclesInOrder()
{
    RecordingDocument document;
    document.text = u"(a+b), \"c\"; d_e"_qs;
    ApplyCapitalizeWords(document);

    const QStringList expectedLog = {
        u"read"_qs, u"write:(a+b),  c ; d_e"_qs, u"read"_qs, u"write:(a b),  c ; d_e"_qs,
        u"read"_qs, u"write:(a b)   c ; d_e"_qs, u"read"_qs, u"write: a b)   c ; d_e"_qs,
        u"read"_qs, u"write: a b    c ; d_e"_qs, u"read"_qs, u"write: a b    c - d_e"_qs,
        u"read"_qs, u"write: a b    c - d-e"_qs, u"read"_qs, u"write: A B    C - D-e"_qs,
    };
    QCOMPARE(document.log, expectedLog);
    QCOMPARE(document.text, CapitalizeWords(u"(a+b), \"c\"; d_e"_qs));
    QCOMPARE(document.batchesOpened, 1);
    QCOMPARE(document.batchesClosed, 1);
}

QTEST_APPLESS_MAIN(TestCapitalize)
#include "tst_capitalize.moc"
