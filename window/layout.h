// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRectF>
#include <QSizeF>

#include <optional>

namespace Quillmere {

enum class WindowState { Normal, Minimized, Maximized };

// Where the editor goes, in twips of the window's inner area: below the toolbar, full width,
// and 1.7 toolbar heights shorter than the inner area, so a strip stays free above the status
// bar. Nothing while the window is minimised; never a negative height.
std::optional<QRectF> LayoutEditor(WindowState state, double toolbarHeight, QSizeF innerSize);

} // namespace Quillmere
