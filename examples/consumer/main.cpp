// SPDX-License-Identifier: MIT
// Prints the 1:50 000 sheet that covers Vancouver: 092G06.
#include <sheetfind/grid.h>

#include <iostream>

int main() {
    const auto sheet =
        sheetref::locate({.latitude = 49.25, .longitude = -123.1}, sheetref::Scale::Sheet);
    std::cout << (sheet ? sheet->text() : "") << '\n';
    return sheet ? 0 : 1;
}
