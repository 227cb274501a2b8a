// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>

namespace QuillmereBench {

// The longest time the event loop went without running, from start() to finish(): what a
// person sees as the window freezing.
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
        m_timer.start();
    }

    double finish()
    {
        mark();
        m_timer.stop();
        return double(m_longest) / 1e6;
    }

private:
    void mark()
    {
        const qint64 now = m_clock.nsecsElapsed();
        m_longest = std::max(m_longest, now - m_last);
        m_last = now;
    }

    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longest = 0;
};

// The resident memory of this process in megabytes, now.
double residentMegabytes();

} // namespace QuillmereBench
