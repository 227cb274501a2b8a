// SPDX-License-Identifier: GPL-3.0-or-later
#include "x11keystate.h"

#include <QGuiApplication>

// Last: Xlib defines macros (KeyPress, Bool, None, ...) that clash with Qt's names.
#include <X11/XKBlib.h>

namespace Quillmere {
namespace {

class X11KeyState final : public PressedKeyState
{
public:
    explicit X11KeyState(Display *display)
        : m_display(display)
    {
    }

    // The Lock modifier the server keeps locked while Caps Lock is on, which also drives the
    // keyboard's Caps Lock light; right even when the key was pressed in another program.
    bool isCapsLockOn() override
    {
        XkbStateRec state {};
        if (XkbGetState(m_display, XkbUseCoreKbd, &state) != Success)
            return PressedKeyState::isCapsLockOn();
        return (state.locked_mods & LockMask) != 0;
    }

private:
    Display *m_display;
};

} // namespace

std::unique_ptr<KeyStateSource> createX11KeyState()
{
    const auto *x11
        = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->display())
        return nullptr;
    return std::make_unique<X11KeyState>(x11->display());
}

} // namespace Quillmere
