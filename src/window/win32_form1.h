// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

// Form1 in native Win32 controls, for Sheetfind.exe. It lays the controls out
// from the same table as the Qt view, reads numbers in the user's regional
// settings, and leaves every decision to the toolkit-free lookup.
namespace sheetfind::win32 {

// The controls' identifiers, in tab order. None is IDOK or IDCANCEL, which the
// dialog keyboard interface sends for Enter and Escape: the window has no default
// or cancel button.
enum ControlId : int {
    kTxtLatId = 100,
    kLabel1Id,
    kLabel2Id,
    kTxtLonId,
    kLabel3Id,
    kCmdSheetfindId,
};

// The window class, which the tests' probe finds the window by.
inline constexpr const wchar_t* kForm1Class = L"SheetfindForm1";

// Creates Form1 and shows it as `showCommand` asks, the focus in the latitude
// box; nullptr if Windows could not make it.
HWND createForm1(HINSTANCE instance, int showCommand);

// Runs the window's messages until it is closed, with the dialog keyboard
// interface: Tab and Shift+Tab move between the boxes and the button, Space
// presses the focused button, and Enter and Escape do nothing. Returns the
// program's exit status.
int runMessageLoop(HWND form);

} // namespace sheetfind::win32
