// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace Quillmere {

// A twip is 1/1440 inch: 15 twips a pixel at 96 logical dots per inch.
inline constexpr double TwipsPerInch = 1440.0;
// QTextDocument lengths are pixels at 96 dpi whatever the screen, so RTF twips map at 15 a pixel.
inline constexpr double TwipsPerDocumentPixel = TwipsPerInch / 96.0;

// The largest font size `\fs` allows, in half points.
inline constexpr int MaxHalfPoints = 3276;

} // namespace Quillmere
