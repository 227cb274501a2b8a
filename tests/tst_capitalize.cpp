// SPDX-License-Identifier: GPL-3.0-or-later
#include "capitalize.h"
#include "capitalize_p.h"

#include <QLocale>
#include <QTest>

#include <algorithm>

using namespace Quillmere;
using Internal::InstructionSet;

Q_DECLARE_METATYPE(InstructionSet)

namespace {

// The rule on one kernel, on a string shared with the caller or, `inPlace`, on a buffer it may
// rewrite, as the editor's command gives it.
QString capitalizeWith(InstructionSet set, const QString &text, bool mapPunctuation, bool inPlace)
{
    QString buffer = text;
    if (inPlace)
        buffer.detach();
    return mapPunctuation ? Internal::capitalizeWordsWith(set, std::move(buffer))
                          : Internal::properCaseWith(set, std::move(buffer));
}

// Where `result` first differs from `expected`, so that a failure names the unit; -1 if nowhere.
qsizetype firstDifference(const QString &result, const QString &expected)
{
    const auto [here, there]
        = std::mismatch(result.begin(), result.end(), expected.begin(), expected.end());
    return here == result.end() && there == expected.end() ? -1 : here - result.begin();
}

// A straightforward restatement of the rule, unit by unit, to check the fast paths against. Qt's
// case data holds for ASCII too; a unit whose other case is no single unit keeps its own.
char16_t oracleCase(char16_t unit, bool upper)
{
    const char32_t mapped = upper ? QChar::toUpper(char32_t(unit)) : QChar::toLower(char32_t(unit));
    if (QChar::isSurrogate(unit) || mapped > 0xFFFF || QChar::isSurrogate(mapped))
        return unit;
    return char16_t(mapped);
}

QString oracleCapitalizeWords(const QString &text, bool mapPunctuation = true)
{
    QString result;
    bool atWordStart = true;
    for (QChar character : text) {
        char16_t unit = character.unicode();
        if (mapPunctuation && QStringView(u"\"+,()").contains(QChar(unit)))
            unit = u' ';
        else if (mapPunctuation && (unit == u';' || unit == u'_'))
            unit = u'-';
        const bool separator = unit == 0 || (unit >= 9 && unit <= 13) || unit == 32;
        result.append(QChar(separator ? unit : oracleCase(unit, atWordStart)));
        atWordStart = separator;
    }
    return result;
}

// Records every whole-text read and write, and the batch around them, standing in for the editor.
struct RecordingDocument
{
    struct WriteBatch
    {
        explicit WriteBatch(RecordingDocument &document)
            : m_document(document)
        {
            m_document.log.append(u"batch"_qs);
        }
        ~WriteBatch() { m_document.log.append(u"end"_qs); }
        RecordingDocument &m_document;
    };

    QString documentText() const
    {
        log.append(u"read"_qs);
        return text;
    }
    void setDocumentText(const QString &newText)
    {
        log.append(u"write:"_qs + newText);
        text = newText;
    }

    QString text;
    mutable QStringList log;
};

} // namespace

class TestCapitalize : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void capitalizeWords_data();
    void capitalizeWords();
    void matchesOracleOnEveryKernel_data();
    void matchesOracleOnEveryKernel();
    void publicFunctionsUseTheWidestSupportedKernel();
    void applyRunsEightCyclesInOrder();
    void replacementCopiesOnlyTheLentText();
};

// Case follows no locale: every check runs under Turkish rules, where i would become a dotted I.
void TestCapitalize::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::Turkish, QLocale::Turkey));
}

void TestCapitalize::capitalizeWords_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");

    // These pin down the oracle below where it could be wrong unseen: Turkish rules, units that
    // do not end a word, case outside ASCII. The recorded cycles below pin the punctuation.
    QTest::addRow("ASCII i and I") << u"istanbul IZMIR"_qs << u"Istanbul Izmir"_qs;
    QTest::addRow("one letter") << u"i"_qs << u"I"_qs;
    QTest::addRow("joiners") << u"x-ray it's e.g. 3rd a\u00A0b"_qs
                             << u"X-ray It's E.g. 3rd A\u00A0b"_qs;
    QTest::addRow("outside ASCII") << u"\u00E9COLE \u00FFes \u043F\u0420\u0418"_qs
                                   << u"\u00C9cole \u0178es \u041F\u0440\u0438"_qs;
    QTest::addRow("no single upper case")
        << u"\u00DFa \uFB01ne STRA\u00DFE"_qs << u"\u00DFa \uFB01ne Stra\u00DFe"_qs;
    QTest::addRow("surrogates") << u"\U0001F60Aa \U00010428b"_qs + QChar(0xD800) + u"c"_qs
                                << u"\U0001F60Aa \U00010428b"_qs + QChar(0xD800) + u"c"_qs;
}

void TestCapitalize::capitalizeWords()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    const QString untouched(input.constData(), input.size());
    QCOMPARE(CapitalizeWords(input), expected);
    QCOMPARE(oracleCapitalizeWords(input), expected);
    QCOMPARE(input, untouched);
}

void TestCapitalize::matchesOracleOnEveryKernel_data()
{
    QTest::addColumn<InstructionSet>("set");
    QTest::addRow("scalar") << InstructionSet::Scalar;
    QTest::addRow("SSE2") << InstructionSet::Sse2;
    QTest::addRow("AVX2") << InstructionSet::Avx2;
    QTest::addRow("AVX-512") << InstructionSet::Avx512;
}

// On each kernel, both copying and in place: every one of the 65,536 code units in each
// position the vector loops can give it, then random texts across the vector blocks.
void TestCapitalize::matchesOracleOnEveryKernel()
{
    QFETCH(InstructionSet, set);
    if (!Internal::isSupported(set))
        QSKIP("this processor cannot run the kernel");
    const auto verify = [set](const QString &input) {
        for (const bool mapPunctuation : { true, false }) {
            const QString expected = oracleCapitalizeWords(input, mapPunctuation);
            for (const bool inPlace : { false, true })
                QCOMPARE(
                    firstDifference(capitalizeWith(set, input, mapPunctuation, inPlace), expected),
                    -1);
        }
    };
    // Alone at a word start, inside a word, before a letter and between letters.
    for (const auto &[prefix, suffix] : { std::pair(u" "_qs, QString()),
                                          { u"a"_qs, QString() },
                                          { u" "_qs, u"A"_qs },
                                          { u"b"_qs, u"C"_qs } }) {
        QString input;
        for (char32_t unit = 0; unit < 0x10000; ++unit)
            input += prefix + QChar(char16_t(unit)) + suffix;
        verify(input);
        if (QTest::currentTestFailed())
            QFAIL(qPrintable(u"with \""_qs + prefix + u"\" before and \""_qs + suffix
                             + u"\" after"_qs));
    }

    // Words ending and starting at every offset around the blocks of 8, 16 and 32 units, with
    // non-ASCII letters and separators falling on lane edges; non-ASCII units whose low byte
    // is a separator or mapped punctuation (U+0120, U+0122, U+0109, U+015F); and units that
    // the vector kernels leave to the tables (final sigma, ÿ, surrogates).
    const QString pieces[]
        = { u"a"_qs, u"B"_qs, u" "_qs, u"é"_qs, u"\r\n"_qs, u"("_qs, u"Ж"_qs, u"_"_qs, u"\t"_qs,
            u"x"_qs, u"ß"_qs, u"Ġ"_qs, u"Ģ"_qs, u"ĉ"_qs,    u"ş"_qs, u"ς"_qs, u"ÿ"_qs, u"😊"_qs };
    quint32 state = 12345;
    for (int length = 0; length < 300 && !QTest::currentTestFailed(); ++length) {
        QString input;
        for (int i = 0; i < length; ++i) {
            state = state * 1103515245u + 12345u;
            input += pieces[(state >> 16) % std::size(pieces)];
        }
        verify(input);
    }
}

void TestCapitalize::publicFunctionsUseTheWidestSupportedKernel()
{
    const InstructionSet preferred = Internal::preferredInstructionSet();
    QVERIFY(Internal::isSupported(InstructionSet::Scalar) && Internal::isSupported(preferred));
    for (const InstructionSet set :
         { InstructionSet::Sse2, InstructionSet::Avx2, InstructionSet::Avx512 })
        QVERIFY2(set <= preferred || !Internal::isSupported(set), "a wider kernel is left unused");
    const QString input = u"(the) QUICK brown_fox; ÉTÉ пРИВЕТ "_qs.repeated(20);
    QCOMPARE(CapitalizeWords(input), Internal::capitalizeWordsWith(preferred, input));
    QCOMPARE(ProperCase(input), Internal::properCaseWith(preferred, input));
}

void TestCapitalize::applyRunsEightCyclesInOrder()
{
    RecordingDocument document;
    document.text = u"(a+b), \"c\"; d_e"_qs;
    ApplyCapitalizeWords(document);

    // A read and a write for each of the seven punctuation rows, then for the case.
    const QString expectedLog = u"batch|read|write:(a+b),  c ; d_e|read|write:(a b),  c ; d_e|"
                                "read|write:(a b)   c ; d_e|read|write: a b)   c ; d_e|"
                                "read|write: a b    c ; d_e|read|write: a b    c - d_e|"
                                "read|write: a b    c - d-e|read|write: A B    C - D-e|end"_qs;
    QCOMPARE(document.log.join(u'|'), expectedLog);
    QCOMPARE(document.text, CapitalizeWords(u"(a+b), \"c\"; d_e"_qs));
}

// A string lent as raw data, with more of the lender's text after it: the copy holds the lent
// units and its terminator, nothing beyond.
void TestCapitalize::replacementCopiesOnlyTheLentText()
{
    const QString lender = u"a(b(c)d"_qs;
    const QString replaced
        = ReplacePunctuation(QString::fromRawData(lender.constData(), 3), { u'(', u' ' });
    QCOMPARE(replaced, u"a b"_qs);
    QCOMPARE(replaced.utf16()[replaced.size()], u'\0');
    QCOMPARE(lender, u"a(b(c)d"_qs);
}

QTEST_APPLESS_MAIN(TestCapitalize)
#include "tst_capitalize.moc"
