// SPDX-License-Identifier: GPL-3.0-or-later
#include "benchmain.h"

#include "richtexteditor.h"

#include <QCoreApplication>

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
