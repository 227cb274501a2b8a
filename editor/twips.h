// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRect>
#include <QRectF>

class QWidget;

namespace Quillmere {

// A twip is 1/1440 inch: 15 twips a pixel at 96 logical dots per inch.
inline constexpr double TwipsPerInch = 1440.0;
// QTextDocument lengths are pixels at 96 dpi whatever the screen, so RTF twips map at 15 a pixel.
inline constexpr double TwipsPerDocumentPixel = TwipsPerInch / 96.0;

// Converts a length in twips to whole device-independent pixels at the given logical DPI.
int twipsToPixels(double twips, double logicalDpi);
double pixelsToTwips(double pixels, double logicalDpi);

// The same for rectangles: edges are rounded, so neighbouring rectangles never overlap.
QRect twipsToPixels(const QRectF &twips, double logicalDpi);
QRectF pixelsToTwips(const QRect &pixels, double logicalDpi);

// The logical DPI of the screen the widget is on (vertical and horizontal are taken as one).
double logicalDpiOf(const QWidget *widget);

} // namespace Quillmere
