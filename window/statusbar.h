// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "keystate.h"

#include <QDateTime>
#include <QFont>
#include <QRectF>
#include <QSizeF>
#include <QStatusBar>
#include <QStringView>

#include <array>
#include <functional>
#include <memory>

class QLabel;
class QTimer;

namespace Quillmere {

enum class StatusPanelKind { Text, CapsLock, Insert, Time, Date };

// One panel of the status bar; sizes in twips.
struct StatusPanelSpec
{
    StatusPanelKind kind;
    QStringView text; // empty for the time and the date, which the panel finds itself
    double width; // at the window's initial size; the first panel's is what the others leave
    double minimumWidth;
    Qt::AlignmentFlag alignment;
};

// The status bar's panels, left to right. The first one takes whatever width the others leave.
inline constexpr std::array<StatusPanelSpec, 5> StatusPanels { {
    { StatusPanelKind::Text, u"Quillmere", 3555, 1440, Qt::AlignLeft },
    { StatusPanelKind::CapsLock, u"CAPS", 700, 700, Qt::AlignHCenter },
    { StatusPanelKind::Insert, u"INS", 500, 500, Qt::AlignHCenter },
    { StatusPanelKind::Time, {}, 1440, 1440, Qt::AlignHCenter },
    { StatusPanelKind::Date, {}, 1440, 1440, Qt::AlignHCenter },
} };

inline constexpr double StatusBarHeightTwips = 375;

// Where each panel goes in a status bar of `barSize` twips, as rectangles in twips from its
// top-left corner. Panels after the first keep their widths; the first takes what they, the
// borders and the sizing corner leave, never less than its minimum. Panels that no longer fit
// run past the right edge.
std::array<QRectF, StatusPanels.size()> LayoutStatusPanels(QSizeF barSize);

// Milliseconds from `time` until a clock showing it changes: to the start of the next minute, or
// of the next second when the clock shows seconds. A whole minute or second at the very start of
// one.
int msecsToClockChange(QTime time, bool showsSeconds);

// Bold 8.25-point "MS Sans Serif", or the system's sans-serif where that is not installed.
QFont statusBarFont();

// The window's status bar. It runs by itself: the Caps Lock and Insert indicators follow the
// key state (read several times a second), and the time and the date, in the locale's short
// formats, change as each minute (or second, if the format shows seconds) begins. Inactive
// indicators are greyed out; each indicator's accessible name says its state in words.
class StatusBar : public QStatusBar
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StatusBar)

public:
    using Clock = std::function<QDateTime()>;

    // Reads the key states from `keys` and the time from `clock`; when left empty, either is the
    // system's.
    explicit StatusBar(QWidget *parent = nullptr, std::unique_ptr<KeyStateSource> keys = nullptr,
                       Clock clock = {});
    ~StatusBar() override;

    // The panel at `index` in StatusPanels' order, or nullptr.
    QLabel *panel(qsizetype index) const;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void createPanels();
    void layoutPanels();
    QLabel *panelOf(StatusPanelKind kind) const;
    void refreshKeys();
    void refreshClock();

    std::unique_ptr<KeyStateSource> m_keys;
    Clock m_clock;
    std::array<QLabel *, StatusPanels.size()> m_panels {};
    QTimer *m_clockTimer = nullptr;
};

} // namespace Quillmere
