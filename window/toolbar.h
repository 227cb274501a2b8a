// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringView>

#include <array>

namespace Quillmere {

enum class ToolbarEntryStyle { Button, Separator };

// One entry of the toolbar; separators carry no caption, key, tooltip or image.
struct ToolbarButtonSpec
{
    ToolbarEntryStyle style;
    QStringView caption;
    QStringView key;
    QStringView toolTip;
    int image; // 1-based number in the image list, 0 for none
};

constexpr ToolbarButtonSpec separatorEntry()
{
    return { ToolbarEntryStyle::Separator, {}, {}, {}, 0 };
}

// The toolbar, left to right: three groups of buttons set apart by runs of separators.
inline constexpr std::array<ToolbarButtonSpec, 17> ToolbarButtons { {
    { ToolbarEntryStyle::Button, u"Open File", u"open", u"Open File", 2 },
    separatorEntry(),
    { ToolbarEntryStyle::Button, u"Apply Crownify", u"edit", u"Edit Case", 1 },
    separatorEntry(),
    { ToolbarEntryStyle::Button, u"Save File", u"save", u"Save File", 3 },
    separatorEntry(),
    separatorEntry(),
    separatorEntry(),
    separatorEntry(),
    { ToolbarEntryStyle::Button, u"Copy", u"copy", u"Copy", 4 },
    separatorEntry(),
    { ToolbarEntryStyle::Button, u"Paste", u"paste", u"Paste", 5 },
    separatorEntry(),
    separatorEntry(),
    separatorEntry(),
    separatorEntry(),
    { ToolbarEntryStyle::Button, u"Exit Program", u"exitp", u"Exit Program", 6 },
} };

// Toolbar geometry in twips.
inline constexpr double ToolbarHeightTwips = 630;
inline constexpr double ToolbarButtonWidthTwips = 1095;
inline constexpr double ToolbarButtonHeightTwips = 540;
inline constexpr double ToolbarSeparatorWidthTwips = 120;
// What a button's frame and padding take from the width its caption may use.
inline constexpr double ToolbarCaptionMarginTwips = 150;

// The pictures of the image list, in its order (number 1 first), as resource base names.
inline constexpr std::array<QStringView, 6> ToolbarImages { {
    u"pencil",
    u"folder",
    u"floppy",
    u"clip",
    u"clipnote",
    u"stop",
} };

} // namespace Quillmere
