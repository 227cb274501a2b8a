// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "rtfunits.h"

#include <QRect>
#include <QRectF>

class QWidget;

namespace Quillmere {

// Converts a length in twips to whole device-independent pixels at the given logical DPI.
[[nodiscard]] int twipsToPixels(double twips, double logicalDpi);
[[nodiscard]] double pixelsToTwips(double pixels, double logicalDpi);

// The same for a rectangle: edges are rounded, so neighbouring rectangles never overlap.
[[nodiscard]] QRect twipsToPixels(const QRectF &twips, double logicalDpi);

// The logical DPI of the screen the widget is on (vertical and horizontal are taken as one).
[[nodiscard]] double logicalDpiOf(const QWidget *widget);

} // namespace Quillmere
