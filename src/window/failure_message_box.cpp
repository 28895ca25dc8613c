// SPDX-License-Identifier: MIT
#include "failure_message_box.h"

#include <QMessageBox>

namespace sheetfind {

void showFailureMessageBox(QWidget* parent, const InputFailure& failure) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Sheetfind Reference"),
                    QString::fromStdString(describe(failure)), QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

} // namespace sheetfind
