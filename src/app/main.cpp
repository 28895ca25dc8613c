// SPDX-License-Identifier: MIT
#include "application_identity.h"
#include "dialog_font.h"
#include "form1.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    sheetfind::identifyApplication();
    sheetfind::useProportionalDialogFont();
    sheetfind::Form1 window;
    window.show();
    return QApplication::exec();
}
