// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

namespace QuillmereBench {

// The option that makes a benchmark program act as reportPeakOf() for the rest of its command
// line; main() must hand it over before it starts Qt.
inline constexpr const char *PeakOfOption = "--peak-of";

struct ProcessRun
{
    double seconds = 0;
    double peakMegabytes = 0;
    int exitCode = -1;
    bool ok = false;
};

// Runs `command[0]` with its arguments and prints its peak resident memory in kB; returns its
// exit code. Runs in a small process of its own (see runMeasured()).
int reportPeakOf(char **command);

// Runs a command to its end through `program --peak-of command...`, so that its peak memory is
// its own: a child of the benchmark would inherit the benchmark's peak, as Linux counts the
// memory a process had before it started the new program. `addressSpaceKb`, when positive,
// limits the command's address space.
ProcessRun runMeasured(const QString &program, const QStringList &command,
                       qint64 addressSpaceKb = 0);

} // namespace QuillmereBench
