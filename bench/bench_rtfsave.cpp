// SPDX-License-Identifier: GPL-3.0-or-later
// Saving a formatted document as RTF, against QTextDocument::toHtml() of the same document:
// both walk the whole document and write every run with its formatting.
#include "benchmain.h"
#include "formatted.h"
#include "richtexteditor.h"
#include "rtfwriter.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTextDocument>

#include <benchmark/benchmark.h>

#include <map>
#include <memory>

namespace {

constexpr qsizetype OneMegabyte = qsizetype(1) << 20;

// One editor per size, filled once: building the document takes longer than saving it.
Quillmere::RichTextEditor &editorOf(qsizetype units)
{
    static std::map<qsizetype, std::unique_ptr<Quillmere::RichTextEditor>> editors;
    std::unique_ptr<Quillmere::RichTextEditor> &editor = editors[units];
    if (!editor) {
        editor = std::make_unique<Quillmere::RichTextEditor>();
        QuillmereBench::fillFormatted(*editor->document(), units);
    }
    return *editor;
}

// Baseline: the document as HTML, in memory.
void BM_ToHtml(benchmark::State &state)
{
    const QTextDocument &document = *editorOf(state.range(0)).document();
    qsizetype size = 0;
    for (auto _ : state) {
        const QString html = document.toHtml();
        size = html.size();
        benchmark::DoNotOptimize(html.constData());
    }
    state.counters["output_mb"] = double(size) * 2 / OneMegabyte;
}

// The document as RTF, in memory.
void BM_WriteRtf(benchmark::State &state)
{
    const QTextDocument &document = *editorOf(state.range(0)).document();
    qsizetype size = 0;
    for (auto _ : state) {
        const QByteArray rtf = Quillmere::writeRtf(document);
        size = rtf.size();
        benchmark::DoNotOptimize(rtf.constData());
    }
    state.counters["output_mb"] = double(size) / OneMegabyte;
}

// The whole save: RTF written to a new file that replaces the old one.
void BM_SaveFile(benchmark::State &state)
{
    Quillmere::RichTextEditor &editor = editorOf(state.range(0));
    const QTemporaryDir folder;
    const QString path = folder.filePath(u"saved.rtf"_qs);
    for (auto _ : state) {
        if (!editor.SaveFile(path).ok)
            state.SkipWithError("the save failed");
    }
}

void sizes(benchmark::internal::Benchmark *benchmark)
{
    benchmark->ArgName("units")->Arg(OneMegabyte)->Arg(10 * OneMegabyte);
    benchmark->Unit(benchmark::kMillisecond)->UseRealTime();
}

} // namespace

BENCHMARK(BM_ToHtml)->Apply(sizes);
BENCHMARK(BM_WriteRtf)->Apply(sizes);
BENCHMARK(BM_SaveFile)->Apply(sizes);

int main(int argc, char **argv)
{
    QuillmereBench::preferOffscreenPlatform();
    QApplication application(argc, argv);
    return QuillmereBench::runBenchmarks(argc, argv);
}
