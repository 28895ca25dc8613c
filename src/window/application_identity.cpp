// SPDX-License-Identifier: MIT
#include "application_identity.h"

#include <QGuiApplication>

namespace sheetfind {

void identifyApplication() {
    QCoreApplication::setApplicationName(kApplicationName);
    QCoreApplication::setApplicationVersion(kApplicationVersion);
    QGuiApplication::setDesktopFileName(kApplicationId);
}

} // namespace sheetfind
