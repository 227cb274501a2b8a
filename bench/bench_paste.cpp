// SPDX-License-Identifier: GPL-3.0-or-later
// Pasting plain text into a shown editor, against one plain replacement of the editor's text
// with the same text. Both are timed up to the first paint; the layout both leave to the
// background is followed to its end, with the longest stall of the event loop meanwhile.
#include "benchmain.h"
#include "clipboard.h"
#include "prose.h"
#include "richtexteditor.h"
#include "stallprobe.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QElapsedTimer>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>

#include <benchmark/benchmark.h>

namespace {

constexpr qsizetype OneKilobyte = 1024;
constexpr qsizetype OneMegabyte = qsizetype(1) << 20;

Quillmere::RichTextEditor *editor = nullptr;

class FixedClipboard final : public Quillmere::TextClipboard
{
public:
    explicit FixedClipboard(QString text)
        : m_text(std::move(text))
    {
    }
    std::optional<QString> text() override { return m_text; }
    bool setText(const QString &) override { return false; }

private:
    QString m_text;
};

// Whether the caret's block is laid out and shown, which is when the view can show the caret.
bool caretLaidOut()
{
    const QTextBlock block = editor->textCursor().block();
    return block.isVisible() && block.layout()->lineCount() > 0;
}

bool documentLaidOut()
{
    return editor->document()->lastBlock().layout()->lineCount() > 0;
}

// Lets the event loop run until `done` holds; the milliseconds since `clock` started, then.
template<typename Done> double waitUntil(const QElapsedTimer &clock, Done done)
{
    while (!done())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return double(clock.nsecsElapsed()) / 1e6;
}

// Runs `edit` on the settled, empty editor once per iteration and times it to the first paint.
// The background layout that follows is not timed but counted: when the caret came into view,
// when the whole text was laid out, the longest stall of the event loop throughout and the
// growth of resident memory once it was all done. The peak is the whole process's: run one size
// at a time to read it.
template<typename Edit> void measure(benchmark::State &state, Edit edit)
{
    QuillmereBench::StallProbe probe;
    double longest = 0;
    double caretInView = 0;
    double laidOut = 0;
    double growth = 0;
    for (auto _ : state) {
        state.PauseTiming();
        editor->clear();
        editor->document()->clearUndoRedoStacks();
        QuillmereBench::settle(*editor);
        const double before = QuillmereBench::residentMegabytes();
        state.ResumeTiming();
        QElapsedTimer clock;
        clock.start();
        probe.start();
        edit();
        QuillmereBench::paint(*editor);
        state.PauseTiming();
        caretInView = std::max(caretInView, waitUntil(clock, caretLaidOut));
        if (!editor->viewport()->rect().contains(editor->cursorRect().center()))
            state.SkipWithError("the caret did not come into view");
        laidOut = std::max(laidOut, waitUntil(clock, documentLaidOut));
        longest = std::max(longest, probe.finish());
        growth = std::max(growth, QuillmereBench::residentMegabytes() - before);
        state.ResumeTiming();
    }
    state.counters["caret_in_view_ms"] = caretInView;
    state.counters["laid_out_ms"] = laidOut;
    state.counters["longest_stall_ms"] = longest;
    state.counters["longest_stall_cpu_ms"] = probe.longestCpuMs();
    state.counters["rss_growth_mb"] = growth;
    state.counters["peak_rss_mb"] = QuillmereBench::peakResidentMegabytes();
}

// Baseline: the text replaced in one step, with no undo, then painted.
void BM_PasteBaseline(benchmark::State &state)
{
    const QString text = QuillmereBench::makeLineFeedProse(state.range(0));
    measure(state, [&] { editor->setPlainText(text); });
}

// The Paste command, one undo step, then painted.
void BM_PasteClipboard(benchmark::State &state)
{
    FixedClipboard clipboard(QuillmereBench::makeLineFeedProse(state.range(0)));
    measure(state, [&] { Quillmere::PasteClipboard(*editor, clipboard); });
}

// QTextCursor::insertText on the shown document: what the Paste command does below
// RichTextEditor::LargeInsertUnits, to see where the fresh document starts to pay.
void BM_InsertInShownDocument(benchmark::State &state)
{
    const QString text
        = Quillmere::fromClipboardText(QuillmereBench::makeLineFeedProse(state.range(0)));
    measure(state, [&] {
        QTextCursor cursor = editor->textCursor();
        cursor.insertText(text);
        editor->setTextCursor(cursor);
    });
}

void sizes(benchmark::internal::Benchmark *benchmark)
{
    benchmark->ArgName("units");
    for (const qsizetype units : { 16 * OneKilobyte, 64 * OneKilobyte, 256 * OneKilobyte,
                                   OneMegabyte, 10 * OneMegabyte, 50 * OneMegabyte })
        benchmark->Arg(units);
    benchmark->Unit(benchmark::kMillisecond)->UseRealTime();
}

// The old way is too slow to run on the largest sizes.
void smallSizes(benchmark::internal::Benchmark *benchmark)
{
    benchmark->ArgName("units");
    for (const qsizetype units :
         { 16 * OneKilobyte, 64 * OneKilobyte, 256 * OneKilobyte, OneMegabyte })
        benchmark->Arg(units);
    benchmark->Unit(benchmark::kMillisecond)->UseRealTime();
}

} // namespace

BENCHMARK(BM_PasteBaseline)->Apply(sizes);
BENCHMARK(BM_PasteClipboard)->Apply(sizes);
BENCHMARK(BM_InsertInShownDocument)->Apply(smallSizes);

int main(int argc, char **argv)
{
    QuillmereBench::preferOffscreenPlatform();
    QApplication application(argc, argv);
    Quillmere::RichTextEditor shownEditor;
    QuillmereBench::showAtInitialSize(shownEditor);
    editor = &shownEditor;

    return QuillmereBench::runBenchmarks(argc, argv);
}
