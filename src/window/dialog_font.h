// SPDX-License-Identifier: MIT
#pragma once

#include <QStringList>

namespace sheetfind {

// The proportional faces the window's controls fall back to, in order: DejaVu Sans
// (Debian's fonts-dejavu-core), then Liberation Sans (fonts-liberation), both
// installed with the window.
inline const QStringList kDialogFamilies{QStringLiteral("DejaVu Sans"),
                                         QStringLiteral("Liberation Sans")};

// Gives the application a proportional default font where the platform's is
// monospaced: with Liberation's fonts alone, fontconfig resolves the generic
// sans-serif to Liberation Mono, and the labels, boxes and button would look typed
// on a terminal. A desktop's own proportional font, and its size, stay. Call it
// before the first window is made.
void useProportionalDialogFont();

} // namespace sheetfind
