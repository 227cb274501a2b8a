// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QKeyCombination>
#include <QStringView>

#include <array>

namespace Quillmere {

// One item of the editor's right-button menu. Its name is its objectName and also the command
// key it runs, so the menu goes through the same command table as the toolbar.
struct PopupMenuItemSpec
{
    QStringView name;
    QStringView caption;
    QKeyCombination shortcut; // shown beside the caption
};

inline constexpr QStringView PopupMenuTitle = u"Popup";

// The right-button menu's items, top to bottom.
inline constexpr std::array<PopupMenuItemSpec, 2> PopupMenuItems { {
    { u"copy", u"Copy", QKeyCombination(Qt::ControlModifier, Qt::Key_C) },
    { u"paste", u"Paste", QKeyCombination(Qt::ControlModifier, Qt::Key_V) },
} };

} // namespace Quillmere
