// SPDX-License-Identifier: MIT
#include "dialog_font.h"

#include <QApplication>
#include <QFont>
#include <QFontInfo>

namespace sheetfind {

void useProportionalDialogFont() {
    QFont font = QApplication::font();
    if (!QFontInfo(font).fixedPitch()) {
        return;
    }
    font.setFamilies(kDialogFamilies);
    font.setStyleHint(QFont::SansSerif);
    QApplication::setFont(font);
}

} // namespace sheetfind
