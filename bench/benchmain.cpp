// SPDX-License-Identifier: GPL-3.0-or-later
#include "benchmain.h"

#include "richtexteditor.h"

#include <QAbstractTextDocumentLayout>
#include <QCoreApplication>
#include <QTextBlock>
#include <QTextDocument>

#include <benchmark/benchmark.h>

namespace QuillmereBench {

void preferOffscreenPlatform()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

void showAtInitialSize(Quillmere::RichTextEditor &editor)
{
    editor.resize(532, 375);
    editor.show();
    QCoreApplication::processEvents();
}

void settle(Quillmere::RichTextEditor &editor)
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QTextDocument *document = editor.document();
    document->documentLayout()->blockBoundingRect(document->lastBlock());
    QCoreApplication::processEvents();
}

void paint(Quillmere::RichTextEditor &editor)
{
    editor.viewport()->repaint();
}

int runBenchmarks(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace QuillmereBench
