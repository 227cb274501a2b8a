// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "keystate.h"

#include <memory>

namespace Quillmere {

// A source that asks the X server for Caps Lock and follows Insert presses as PressedKeyState
// does; nothing when the program does not run on X11.
std::unique_ptr<KeyStateSource> createX11KeyState();

} // namespace Quillmere
