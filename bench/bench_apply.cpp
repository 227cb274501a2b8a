// SPDX-License-Identifier: GPL-3.0-or-later
// The capitalisation command end to end on a shown editor, against one plain replacement of
// the editor's text with the same text. Both are timed up to the first paint.
#include "benchmain.h"
#include "capitalize.h"
#include "prose.h"
#include "richtexteditor.h"
#include "stallprobe.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QElapsedTimer>
#include <QTextBlock>
#include <QTextDocument>

#include <benchmark/benchmark.h>

#include <sys/resource.h>

namespace {

constexpr qsizetype OneMegabyte = qsizetype(1) << 20;

Quillmere::RichTextEditor *editor = nullptr;

// Baseline: the text replaced in one step, with no undo, then painted.
void BM_SetPlainText(benchmark::State &state)
{
    const QString text = QuillmereBench::makeLineFeedProse(state.range(0));
    QuillmereBench::StallProbe probe;
    double longest = 0;
    for (auto _ : state) {
        probe.start();
        editor->setPlainText(text);
        QuillmereBench::paint(*editor);
        longest = std::max(longest, probe.finish());
        state.PauseTiming();
        editor->clear();
        QuillmereBench::settle(*editor);
        state.ResumeTiming();
    }
    state.counters["longest_stall_ms"] = longest;
    state.counters["longest_stall_cpu_ms"] = probe.longestCpuMs();
}

// The command: eight read-modify-write cycles, one undo step, then painted.
void BM_ApplyCapitalizeWords(benchmark::State &state)
{
    const QString text = QuillmereBench::makeLineFeedProse(state.range(0));
    QuillmereBench::StallProbe probe;
    double longest = 0;
    for (auto _ : state) {
        state.PauseTiming();
        editor->setPlainText(text);
        QuillmereBench::settle(*editor);
        state.ResumeTiming();
        probe.start();
        Quillmere::ApplyCapitalizeWords(*editor);
        QuillmereBench::paint(*editor);
        longest = std::max(longest, probe.finish());
        state.PauseTiming();
        if (!editor->document()->isUndoAvailable())
            state.SkipWithError("the command left nothing to undo");
        editor->clear();
        QuillmereBench::settle(*editor);
        state.ResumeTiming();
    }
    state.counters["longest_stall_ms"] = longest;
    state.counters["longest_stall_cpu_ms"] = probe.longestCpuMs();
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_mb"] = double(usage.ru_maxrss) / 1024.0;
}

void sizes(benchmark::internal::Benchmark *benchmark)
{
    benchmark->ArgName("units")->Arg(OneMegabyte)->Arg(10 * OneMegabyte)->Arg(50 * OneMegabyte);
    benchmark->Unit(benchmark::kMillisecond)->UseRealTime();
}

} // namespace

BENCHMARK(BM_SetPlainText)->Apply(sizes);
BENCHMARK(BM_ApplyCapitalizeWords)->Apply(sizes);

int main(int argc, char **argv)
{
    QuillmereBench::preferOffscreenPlatform();
    QApplication application(argc, argv);
    Quillmere::RichTextEditor shownEditor;
    QuillmereBench::showAtInitialSize(shownEditor);
    editor = &shownEditor;

    return QuillmereBench::runBenchmarks(argc, argv);
}
