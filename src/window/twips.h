// SPDX-License-Identifier: MIT
#pragma once

#include <QRect>

namespace sheetfind {

// The window is laid out in twips, 1/1440 of an inch, the unit Windows dialogs
// were designed in. At 96 logical dots per inch a pixel is 1/96 inch, so 15
// twips make one logical pixel. Qt scales logical pixels to the screen's real
// density, which is what keeps the layout in proportion on high-DPI screens.
inline constexpr int kTwipsPerPixel = 15;

// A control's place and size in twips, relative to the client area.
struct TwipRect {
    int left;
    int top;
    int width;
    int height;
};

// The one conversion from twips to logical pixels, rounded to the nearest pixel.
constexpr int twipsToPixels(int twips) {
    return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel;
}

constexpr QRect twipsToPixels(TwipRect rect) {
    return QRect(twipsToPixels(rect.left), twipsToPixels(rect.top), twipsToPixels(rect.width),
                 twipsToPixels(rect.height));
}

} // namespace sheetfind
