// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer entry point: every input goes the whole way a file goes through the editor. It is
// read (as RTF, or as plain text when it is not RTF), laid out, written, and what was written is
// read again: it must hold the same text.
#include "readdocument.h"
#include "rtfcodepages.h"
#include "rtfreader.h"
#include "rtfwriter.h"
#include "editordocumentlayout.h"

#include <QAbstractTextDocumentLayout>
#include <QGuiApplication>
#include <QTextBlock>
#include <QTextDocument>

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace {

// Whether a run set in a font named like a symbol font holds text beyond ASCII. That text does
// not survive yet: it is written in Windows-1252 and read back as symbols.
bool hasSymbolFontText(const QTextDocument &document)
{
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QStringList families = it.fragment().charFormat().fontFamilies().toStringList();
            const QString text = it.fragment().text();
            if (!families.isEmpty()
                && Quillmere::codePageForFontName(families.first()) == Quillmere::SymbolCodePage
                && std::any_of(text.begin(), text.end(),
                               [](QChar c) { return c.unicode() > 0x7E; }))
                return true;
        }
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Broken pictures make the image decoders complain on every run, drowning libFuzzer's report.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    // Qt gets arguments of its own: libFuzzer's options are none of its business.
    static int argumentCount = 1;
    static char name[] = "fuzz_rtfreader";
    static char *arguments[] = { name, nullptr };
    static QGuiApplication application(argumentCount, arguments);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const auto document = Quillmere::readDocument(bytes);
    // What the reader promises besides not crashing: a document with no history, whole text.
    if (document->availableUndoSteps() != 0
        || document->toRawText().size() + 1 != document->characterCount())
        __builtin_trap();
    // Laid out as the editor lays it out.
    Quillmere::EditorDocumentLayout::install(*document);
    document->setTextWidth(400);
    document->documentLayout()->documentSize();
    const auto reread = Quillmere::readRtf(Quillmere::writeRtf(*document));
    QString expected = document->toPlainText();
    // Plain text may hold control characters, which a rich-text document does not keep; a
    // vertical tab is saved as the line break Qt takes it for.
    if (!Quillmere::looksLikeRtf(bytes)) {
        expected.replace(u'\v', u'\n');
        expected.removeIf([](QChar c) { return c.unicode() < 0x20 && c != u'\t' && c != u'\n'; });
    }
    if (reread->toPlainText() != expected && !hasSymbolFontText(*document))
        __builtin_trap();
    return 0;
}
