// SPDX-License-Identifier: MIT
#pragma once

#include "sheetfind_version.h"

#include <QString>

namespace sheetfind {

// Who the program is to the desktop. The id names the .desktop file, the
// AppStream metainfo and the installed icons, and on Wayland it is the window's
// app id, which is how the desktop finds the icon for a running window.
inline const QString kApplicationName = QStringLiteral("Sheetfind");
inline const QString kApplicationVersion =
    QString::fromLatin1(kVersion.data(), static_cast<qsizetype>(kVersion.size()));
inline const QString kApplicationId = QStringLiteral("ca.sheetfind.Sheetfind");

// Gives the application its name, version and desktop id. Call it before the
// first window is shown.
void identifyApplication();

} // namespace sheetfind
