// SPDX-License-Identifier: MIT
#pragma once

namespace sheetfind {

// The window is laid out in twips, 1/1440 of an inch, the unit Windows dialogs
// were designed in. At 96 dots per inch a pixel is 1/96 inch, so 15 twips make
// one pixel; each toolkit converts with its own screen's density.
inline constexpr int kTwipsPerInch = 1440;
inline constexpr int kStandardDpi = 96;
inline constexpr int kTwipsPerPixel = kTwipsPerInch / kStandardDpi;

// A control's place and size in twips, relative to the client area.
struct TwipRect {
    int left;
    int top;
    int width;
    int height;
};

// Twips to pixels at `dpi` dots per inch, rounded to the nearest pixel. Qt works in
// logical pixels, which are at the standard density by definition; Win32 gives the
// screen's.
constexpr int twipsToPixels(int twips, int dpi = kStandardDpi) {
    return (twips * dpi + kTwipsPerInch / 2) / kTwipsPerInch;
}

} // namespace sheetfind
