// SPDX-License-Identifier: MIT
#pragma once

#include "twips.h"

#include <string_view>

// Form1 as both toolkits draw it: its title, captions, places in twips, tab order
// and the result's font. The Qt view and the Win32 view read these and nothing
// else decides how the window looks.
namespace sheetfind::form1 {

inline constexpr std::string_view kTitle = "Sheetfind Reference";

inline constexpr TwipRect kClientArea{0, 0, 7395, 3090};

// The controls in tab order: only the two boxes and the button take the focus.
inline constexpr std::string_view kLatitudeCaption = "Latitude (DD.DDDDD)";
inline constexpr std::string_view kLongitudeCaption = "Longitude";
inline constexpr std::string_view kButtonCaption = "Sheetfind Reference";
inline constexpr TwipRect kTxtLat{240, 600, 3135, 285};         // tab index 0
inline constexpr TwipRect kLabel1{120, 240, 1590, 195};         // 1, sizes itself to its caption
inline constexpr TwipRect kLabel2{3840, 240, 705, 195};         // 2, sizes itself to its caption
inline constexpr TwipRect kTxtLon{3840, 600, 3255, 285};        // 3
inline constexpr TwipRect kLabel3{480, 1440, 135, 555};         // 4, the size of an empty result
inline constexpr TwipRect kCmdSheetfind{4440, 2280, 2415, 495}; // 5

// The result: the classic Windows dialog face at 24 points, regular, in pure blue.
inline constexpr std::string_view kResultFamily = "MS Sans Serif";
inline constexpr int kResultPointSize = 24;
inline constexpr int kResultWeight = 400;
inline constexpr unsigned kResultRgb = 0x0000FF; // red, green, blue

// No coordinate needs more than a few dozen characters, even in degrees, minutes
// and seconds with every digit a double holds. The limit keeps a runaway paste
// or a stuck key from filling a box with text that every edit and repaint of the
// box then pays for over its whole length; a longer paste keeps its first part.
inline constexpr int kMaxBoxLength = 256;

} // namespace sheetfind::form1
