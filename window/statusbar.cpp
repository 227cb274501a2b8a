// SPDX-License-Identifier: GPL-3.0-or-later
#include "statusbar.h"

#include "keystate.h"
#include "twips.h"

#include <QFontDatabase>
#include <QLabel>
#include <QLocale>
#include <QTimer>

#include <algorithm>
#include <numeric>

namespace Quillmere {
namespace {

// The gap before each panel, the left border included: 2 pixels at 96 dots per inch.
inline constexpr double PanelGapTwips = 30;
// The sizing corner at the right end: 13 pixels at 96 dots per inch, room for Qt's size grip.
inline constexpr double SizingCornerTwips = 195;
// Above and below the panels.
inline constexpr double PanelInsetTwips = 30;
// Four times a second at least, so that a Caps Lock pressed in another program shows at once.
inline constexpr int KeyRefreshMsecs = 200;

// What a screen reader says of a key indicator, whose look tells its state only by colour.
struct IndicatorSpeech
{
    QStringView lit;
    QStringView unlit;
    QStringView description;
};

inline constexpr IndicatorSpeech CapsLockSpeech { u"Caps Lock on", u"Caps Lock off",
                                                  u"Caps Lock indicator" };
inline constexpr IndicatorSpeech InsertSpeech {
    u"Overwrite on", u"Overwrite off",
    u"Insert key indicator: on while typing replaces the characters after the caret"
};

void showIndicator(QLabel &panel, const IndicatorSpeech &speech, bool lit)
{
    const QString name = (lit ? speech.lit : speech.unlit).toString();
    // Only on a change: a screen reader announces every new name.
    if (panel.accessibleName() == name)
        return;
    panel.setEnabled(lit);
    panel.setAccessibleName(name);
    panel.setAccessibleDescription(speech.description.toString());
}

} // namespace

std::array<QRectF, StatusPanels.size()> LayoutStatusPanels(QSizeF barSize)
{
    const double fixedWidths = std::accumulate(
        StatusPanels.begin() + 1, StatusPanels.end(), 0.0,
        [](double sum, const StatusPanelSpec &panel) { return sum + panel.width; });
    const double chrome = PanelGapTwips * StatusPanels.size() + SizingCornerTwips;
    const double height = std::max(0.0, barSize.height() - 2 * PanelInsetTwips);

    std::array<QRectF, StatusPanels.size()> rects;
    double left = PanelGapTwips;
    for (size_t i = 0; i < StatusPanels.size(); ++i) {
        const StatusPanelSpec &panel = StatusPanels.at(i);
        const double width = i == 0
            ? std::max(panel.minimumWidth, barSize.width() - fixedWidths - chrome)
            : panel.width;
        rects.at(i) = QRectF(left, PanelInsetTwips, width, height);
        left += width + PanelGapTwips;
    }
    return rects;
}

int msecsToClockChange(QTime time, bool showsSeconds)
{
    const int period = showsSeconds ? 1000 : 60'000;
    if (!time.isValid())
        return period;
    return period - (time.second() * 1000 + time.msec()) % period;
}

QFont statusBarFont()
{
    const QString preferred = QStringLiteral("MS Sans Serif");
    QFont font(QFontDatabase::hasFamily(preferred) ? preferred : QStringLiteral("sans-serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(8.25);
    font.setBold(true);
    return font;
}

StatusBar::StatusBar(QWidget *parent, std::unique_ptr<KeyStateSource> keys, Clock clock)
    : QStatusBar(parent)
    , m_keys(keys ? std::move(keys) : createKeyStateSource())
    , m_clock(clock ? std::move(clock) : Clock(&QDateTime::currentDateTime))
{
    setFont(statusBarFont());
    setFixedHeight(twipsToPixels(StatusBarHeightTwips, logicalDpiOf(this)));
    createPanels();

    auto *keyTimer = new QTimer(this);
    keyTimer->setInterval(KeyRefreshMsecs);
    connect(keyTimer, &QTimer::timeout, this, &StatusBar::refreshKeys);
    keyTimer->start();

    // Re-armed at each change from the clock, so it never drifts; precise, because a coarse timer
    // may fire a few seconds late on a minute-long wait.
    m_clockTimer = new QTimer(this);
    m_clockTimer->setSingleShot(true);
    m_clockTimer->setTimerType(Qt::PreciseTimer);
    connect(m_clockTimer, &QTimer::timeout, this, &StatusBar::refreshClock);

    refreshKeys();
    refreshClock();
}

StatusBar::~StatusBar() = default;

QLabel *StatusBar::panel(qsizetype index) const
{
    if (index < 0 || index >= qsizetype(m_panels.size()))
        return nullptr;
    return m_panels.at(size_t(index));
}

void StatusBar::createPanels()
{
    for (size_t i = 0; i < StatusPanels.size(); ++i) {
        const StatusPanelSpec &panel = StatusPanels.at(i);
        auto *label = new QLabel(panel.text.toString(), this);
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setAlignment(panel.alignment | Qt::AlignVCenter);
        m_panels.at(i) = label;
    }
}

void StatusBar::resizeEvent(QResizeEvent *event)
{
    QStatusBar::resizeEvent(event);
    layoutPanels();
}

void StatusBar::layoutPanels()
{
    const double dpi = logicalDpiOf(this);
    const auto rects
        = LayoutStatusPanels(QSizeF(pixelsToTwips(width(), dpi), pixelsToTwips(height(), dpi)));
    for (size_t i = 0; i < m_panels.size(); ++i)
        m_panels.at(i)->setGeometry(twipsToPixels(rects.at(i), dpi));
}

QLabel *StatusBar::panelOf(StatusPanelKind kind) const
{
    const auto found
        = std::find_if(StatusPanels.begin(), StatusPanels.end(),
                       [kind](const StatusPanelSpec &panel) { return panel.kind == kind; });
    return m_panels.at(size_t(found - StatusPanels.begin()));
}

void StatusBar::refreshKeys()
{
    showIndicator(*panelOf(StatusPanelKind::CapsLock), CapsLockSpeech, m_keys->isCapsLockOn());
    showIndicator(*panelOf(StatusPanelKind::Insert), InsertSpeech, m_keys->isInsertToggleOn());
}

void StatusBar::refreshClock()
{
    const QDateTime now = m_clock();
    const QLocale locale;
    const QString timeFormat = locale.timeFormat(QLocale::ShortFormat);
    panelOf(StatusPanelKind::Time)->setText(locale.toString(now.time(), timeFormat));
    panelOf(StatusPanelKind::Date)->setText(locale.toString(now.date(), QLocale::ShortFormat));
    // Some short formats, the C locale's among them, show seconds.
    m_clockTimer->start(msecsToClockChange(now.time(), timeFormat.contains(u's')));
}

} // namespace Quillmere
