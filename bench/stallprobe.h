// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>

namespace QuillmereBench {

// Processor time used by the calling thread.
qint64 threadCpuNanoseconds();

// The longest time the event loop went without running, from start() to finish(): what a
// person sees as the window freezing. On a shared machine that wall-clock figure mostly shows
// how long the process waited for a core, so the processor time this thread spent in the
// longest such gap is kept as well.
class StallProbe
{
public:
    StallProbe()
    {
        m_timer.setInterval(0);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { mark(); });
    }

    void start()
    {
        m_clock.start();
        m_last = 0;
        m_lastCpu = threadCpuNanoseconds();
        m_timer.start();
    }

    double finish()
    {
        mark();
        m_timer.stop();
        return double(m_longest) / 1e6;
    }

    // The longest gap in processor time of this thread, in milliseconds.
    double longestCpuMs() const { return double(m_longestCpu) / 1e6; }

private:
    void mark()
    {
        const qint64 now = m_clock.nsecsElapsed();
        m_longest = std::max(m_longest, now - m_last);
        m_last = now;
        const qint64 cpu = threadCpuNanoseconds();
        m_longestCpu = std::max(m_longestCpu, cpu - m_lastCpu);
        m_lastCpu = cpu;
    }

    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longest = 0;
    qint64 m_lastCpu = 0;
    qint64 m_longestCpu = 0;
};

// The resident memory of this process in megabytes, now.
double residentMegabytes();

// The most resident memory this process has had so far, in megabytes.
double peakResidentMegabytes();

} // namespace QuillmereBench
