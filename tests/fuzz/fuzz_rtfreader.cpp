// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer entry point: every input is read as RTF, and as plain text when it is not RTF, the
// way LoadFile reads a file.
#include "plaintext.h"
#include "rtfreader.h"

#include <QGuiApplication>
#include <QTextDocument>

#include <cstddef>
#include <cstdint>

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
    const auto document = Quillmere::readRtf(bytes);
    // What the reader promises besides not crashing: a document with no history, whole text.
    if (document->availableUndoSteps() != 0
        || document->toRawText().size() + 1 != document->characterCount())
        __builtin_trap();
    if (!Quillmere::looksLikeRtf(bytes))
        Quillmere::readPlainText(bytes);
    return 0;
}
