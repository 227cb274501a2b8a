// SPDX-License-Identifier: GPL-3.0-or-later
#include "layout.h"

#include <algorithm>

namespace Quillmere {

std::optional<QRectF> LayoutEditor(WindowState state, double toolbarHeight, QSizeF innerSize)
{
    if (state == WindowState::Minimized)
        return std::nullopt;
    const double height = std::max(0.0, innerSize.height() - 1.7 * toolbarHeight);
    return QRectF(0.0, toolbarHeight, innerSize.width(), height);
}

} // namespace Quillmere
