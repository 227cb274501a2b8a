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

// Runs the benchmarks the command line selects, as BENCHMARK_MAIN would; the exit status.
int runBenchmarks(int argc, char **argv);

} // namespace QuillmereBench
