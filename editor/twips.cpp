// SPDX-License-Identifier: GPL-3.0-or-later
#include "twips.h"

#include <QWidget>

#include <cmath>

namespace Quillmere {

int twipsToPixels(double twips, double logicalDpi)
{
    return int(std::lround(twips * logicalDpi / TwipsPerInch));
}

double pixelsToTwips(double pixels, double logicalDpi)
{
    return pixels * TwipsPerInch / logicalDpi;
}

QRect twipsToPixels(const QRectF &twips, double logicalDpi)
{
    const int left = twipsToPixels(twips.left(), logicalDpi);
    const int top = twipsToPixels(twips.top(), logicalDpi);
    const int right = twipsToPixels(twips.left() + twips.width(), logicalDpi);
    const int bottom = twipsToPixels(twips.top() + twips.height(), logicalDpi);
    return QRect(left, top, std::max(0, right - left), std::max(0, bottom - top));
}

double logicalDpiOf(const QWidget *widget)
{
    return widget->logicalDpiY();
}

} // namespace Quillmere
