// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "rtfunits.h"

#include <QRect>
#include <QRectF>

class QWidget;

namespace Quillmere {

// Converts a length in twips to whole device-independent pixels at the given logical DPI.
int twipsToPixels(double twips, double logicalDpi);
double pixelsToTwips(double pixels, double logicalDpi);

// The same for rectangles: edges are rounded, so neighbouring rectangles never overlap.
QRect twipsToPixels(const QRectF &twips, double logicalDpi);
QRectF pixelsToTwips(const QRect &pixels, double logicalDpi);

// The logical DPI of the screen the widget is on (vertical and horizontal are taken as one).
double logicalDpiOf(const QWidget *widget);

} // namespace Quillmere
