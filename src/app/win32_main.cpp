// SPDX-License-Identifier: MIT
// Sheetfind.exe: shows Form1 and runs its messages until it is closed. It reads
// no arguments.
#include "win32_form1.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    HWND form = sheetfind::win32::createForm1(instance, showCommand);
    if (form == nullptr) {
        return 1;
    }
    return sheetfind::win32::runMessageLoop(form);
}
