// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace Quillmere {
class RichTextEditor;
}

namespace QuillmereBench {

// Qt's offscreen platform, unless the environment chooses another (an X server, to watch).
void preferOffscreenPlatform();

// Gives `editor` the editing area of the window at its initial size, shows it and lets it
// paint once, so that every run starts from the same shown editor.
void showAtInitialSize(Quillmere::RichTextEditor &editor);

// Lets pending work (lazy layout, documents released by undo history) finish between runs, so
// that each starts from a fully laid out document, as one a person has been working on would be.
void settle(Quillmere::RichTextEditor &editor);

// Paints the editor's visible part now: the end of an edit as the person sees it.
void paint(Quillmere::RichTextEditor &editor);

// Runs the benchmarks the command line selects, as BENCHMARK_MAIN would; the exit status.
int runBenchmarks(int argc, char **argv);

} // namespace QuillmereBench
